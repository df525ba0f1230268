#pragma once
// TLumoBlobStream: the stream over one memo or blob field of a TLumoDaoTable record, made by
// the dataset's OpenBlobStream (through TDataSet::CreateBlobStream) for the framework's blob
// fields: AsString, LoadFromStream, LoadFromFile, SaveToStream, SaveToFile and data-aware
// memo controls read and write through it. The caller owns the stream.
//
// The content is loaded once, when the stream is made: from the record buffer when the field
// is cached (CacheMemos for memo fields, CacheBlobs for blob fields) or was written since the
// record was read, otherwise from the engine's field of the buffer's record (the engine's
// cursor is moved there and back). A record deleted by another user gives an empty stream and
// the dataset recovers its cursor. Writes land in the record buffer at once, marking the value
// changed, so that posting the record carries the content to the engine; a stream freed
// without a post leaves the change pending, and cancelling the edit drops it.
//
// Write mode (bmWrite) starts empty and marks the field changed even when nothing is written;
// read-write (bmReadWrite) keeps the content until the first write. A write replaces
// everything after the bytes written. After its first write the stream's content is the
// record buffer's value itself, extended in place, so that a content written in many pieces
// costs time in proportion to its size.
//
// Positions are not limited to the content: a read outside it copies nothing and answers 0; a
// write beyond the end appends at the end; a write at a negative position writes nothing and
// answers 0 (WriteBuffer then raises "Stream write error").
//
// Errors: "Cannot write to ReadOnly table!" (EDatabaseError) for bmWrite or bmReadWrite on a
// read-only dataset; "<dataset>: Dataset not in edit or insert mode" and "Field '<name>'
// cannot be modified" for those modes outside editing or on a read-only field; "Field
// '<name>' is not a blob field" for a field of another type. Errors while the stream is freed
// go to the message handler, not to the caller.
//
// The dataset tells its open streams when a record buffer is refilled or freed, and when the
// record they belong to is posted or its edit cancelled: the stream then keeps what it holds
// for reading, and its writes answer 0, since its record is gone.

#include <cstddef>
#include <cstdint>
#include <string>

#include "db/DbTypes.h"
#include "db/Stream.h"

namespace lumo {

class TField;
class TLumoDaoTable;

class TLumoBlobStream : public TStream {
 public:
  TLumoBlobStream(TField* field, TBlobStreamMode mode);
  ~TLumoBlobStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

  TField* Field() const noexcept { return field_; }
  // The record buffer the stream reads and writes; none when it has let go of it.
  TRecordBuffer Buffer() const noexcept { return buffer_; }
  TBlobStreamMode Mode() const noexcept { return mode_; }
  bool Modified() const noexcept { return modified_; }

  // For the dataset: the record buffer is about to be refilled or freed (nullptr: every
  // buffer, the dataset closes); `orphan`: the dataset itself goes away. When the buffer's
  // value stays as it is (the record was posted or its edit cancelled), `entryStays` keeps
  // it there and the stream takes a copy.
  void ForgetBuffer(TRecordBuffer buffer, bool orphan, bool entryStays = false);

 private:
  void Load();
  void LoadFromEngine();
  void Truncate();
  // The record buffer's value of the field, with its changed flag.
  std::string& Entry() const;
  uint8_t& EntryChanged() const;
  // Where the content lies now: the record buffer's value once written, else own_.
  const std::string& Content() const { return inEntry_ ? Entry() : own_; }
  // Moves the content into the record buffer's value (the first write).
  void TakeOverEntry();

  TField* field_;
  TLumoDaoTable* dataSet_ = nullptr;  // not owned; cleared when the dataset goes away
  TRecordBuffer buffer_ = nullptr;    // the dataset's state buffer at creation; not owned
  TBlobStreamMode mode_;
  bool opened_ = false;
  bool modified_ = false;
  bool inEntry_ = false;  // the content is the buffer's value itself
  size_t index_ = 0;      // the field's entry in the buffer's value list
  int64_t position_ = 0;
  std::string own_;  // the content while it is not in the buffer
};

}  // namespace lumo

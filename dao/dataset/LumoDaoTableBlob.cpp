// TLumoDaoTable: blob streams over memo and blob fields (TLumoBlobStream), and the dataset's
// bookkeeping of the streams open on its record buffers.

#include "dao/dataset/LumoDaoTableBlob.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "dao/dataset/DaoValueText.h"
#include "dao/dataset/LumoDaoTable.h"
#include "db/Field.h"
#include "jet/Field.h"
#include "jet/Recordset.h"

namespace lumo {

namespace {

// Contents above this size are read from the engine in pieces of it, so that loading never
// holds a second whole copy of the value beside the engine's row and the stream's content.
constexpr int kLoadPiece = 1 << 20;

int64_t SaturatingAdd(int64_t a, int64_t b) {
  int64_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) {
    return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
  }
  return sum;
}

void AppendChunk(std::string& content, const Variant& chunk) {
  if (const std::string* text = chunk.TextIf()) {
    content += *text;
  } else if (const std::vector<uint8_t>* bytes = chunk.BytesIf()) {
    content.append(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  }
}

}  // namespace

// --- the dataset's side --------------------------------------------------------------------------

std::unique_ptr<TStream> TLumoDaoTable::OpenBlobStream(TField* field, TBlobStreamMode mode) {
  return std::make_unique<TLumoBlobStream>(field, mode);
}

void TLumoDaoTable::ForgetBlobBuffer(TRecordBuffer buffer) {
  for (TLumoBlobStream* stream : blobStreams_) stream->ForgetBuffer(buffer, false);
}

void TLumoDaoTable::LeaveBlobRecord(TRecordBuffer buffer) {
  for (TLumoBlobStream* stream : blobStreams_) stream->ForgetBuffer(buffer, false, true);
}

void TLumoDaoTable::OrphanBlobStreams() noexcept {
  for (TLumoBlobStream* stream : blobStreams_) stream->ForgetBuffer(nullptr, true);
  blobStreams_.clear();
}

// --- posting large contents
// ---------------------------------------------------------------------------
//
// An uncached memo or blob value in a record buffer is the only copy the dataset needs until
// the post; keeping it beside the engine's copy while SQLite builds the row would hold the
// content three times over. So once the engine has taken the value, the buffer lets its copy
// go, and takes it back from the engine's edit buffer if the post fails (before any
// CancelUpdate, which would drop it). Cached values stay: the buffer shows them after the
// post. So do values an open stream on the buffer works on, and encrypted ones.

bool TLumoDaoTable::HandOverBlob(TRecordBuffer buffer, size_t index) {
  const TFieldType type = defTypes_[index];
  const bool blob = type == ftBlob || type == ftMemo || type == ftGraphic || type == ftFmtMemo;
  const bool cached = (type == ftMemo && cacheMemos_) || (type == ftBlob && cacheBlobs_);
  if (!blob || cached || encrypterActive_) return false;
  for (const TLumoBlobStream* stream : blobStreams_) {
    if (stream->Buffer() == buffer) return false;
  }
  std::string& entry = Header(buffer).ValueList->text[index];
  const size_t size = entry.size();
  fieldObjectArray_[index]->SetValue(
      type == ftMemo ? Variant(entry) : Variant(std::vector<uint8_t>(entry.begin(), entry.end())));
  // The engine has it now (an assignment it refuses leaves the buffer's copy in place).
  std::string().swap(entry);
  handedOver_.emplace_back(index, size);
  return true;
}

void TLumoDaoTable::TakeBackBlobs(TRecordBuffer buffer) noexcept {
  if (handedOver_.empty()) return;
  TDaoValueList& values = *Header(buffer).ValueList;
  for (const auto& [index, size] : handedOver_) {
    try {
      if (recordset_ && recordset_->EditMode() != jet::dbEditNone) {
        values.text[index] = ArrayToText(defTypes_[index] == ftMemo,
                                         fieldObjectArray_[index]->Value(), static_cast<int>(size));
      }
    } catch (...) {
      // The engine's copy is unreadable; nothing else holds the value.
    }
  }
  handedOver_.clear();
}

void TLumoDaoTable::ReleasePostedBlobs(TRecordBuffer buffer) {
  // The contents are in the file; the buffer holds their sizes, as a record read from the
  // engine does.
  TDaoValueList& values = *Header(buffer).ValueList;
  for (const auto& [index, size] : handedOver_) {
    values.text[index] = size == 0 ? std::string() : std::to_string(size);
    values.changed[index] = 0;
  }
  handedOver_.clear();
}

// --- creation ------------------------------------------------------------------------------------

TLumoBlobStream::TLumoBlobStream(TField* field, TBlobStreamMode mode) : field_(field), mode_(mode) {
  if (field == nullptr) throw EDatabaseError("Blob stream without a field");
  if (!field->IsBlob())
    throw EDatabaseError("Field '" + field->FieldName() + "' is not a blob field");
  TDataSet* owner = field->DataSet();
  if (owner == nullptr) throw EDatabaseError("Field '" + field->FieldName() + "' has no dataset");
  auto* dataSet = dynamic_cast<TLumoDaoTable*>(owner);
  if (dataSet == nullptr) throw EDatabaseError("Invalid class typecast");

  if (mode != TBlobStreamMode::bmRead) {
    if (dataSet->readOnly_) throw EDatabaseError("Cannot write to ReadOnly table!");
    // What is written goes to the record being edited; outside editing it would be dropped
    // with the next record read.
    const TDataSetState state = dataSet->State();
    if (state != TDataSetState::dsEdit && state != TDataSetState::dsInsert) {
      dataSet->DatabaseError("Dataset not in edit or insert mode");
    }
    if (field->ReadOnly())
      throw EDatabaseError("Field '" + field->FieldName() + "' cannot be modified");
  }

  dataSet_ = dataSet;
  opened_ = true;
  buffer_ = dataSet->StateRecordBuffer();
  const int number = field->FieldNo();
  if (buffer_ != nullptr &&
      (number < 1 ||
       static_cast<size_t>(number) > TLumoDaoTable::Header(buffer_).ValueList->text.size())) {
    buffer_ = nullptr;  // a calculated field has no value in the record
  }
  index_ = number > 0 ? static_cast<size_t>(number - 1) : 0;
  dataSet->blobStreams_.push_back(this);
  try {
    if (buffer_ == nullptr) return;  // nothing to read, nowhere to write
    if (mode == TBlobStreamMode::bmWrite) {
      Truncate();
    } else {
      Load();
    }
  } catch (...) {
    auto& streams = dataSet->blobStreams_;
    streams.erase(std::remove(streams.begin(), streams.end(), this), streams.end());
    throw;
  }
}

std::string& TLumoBlobStream::Entry() const {
  return TLumoDaoTable::Header(buffer_).ValueList->text[index_];
}

uint8_t& TLumoBlobStream::EntryChanged() const {
  return TLumoDaoTable::Header(buffer_).ValueList->changed[index_];
}

void TLumoBlobStream::Load() {
  TLumoDaoTable& table = *dataSet_;
  // A value written since the record was read is the content, cached or not.
  if (EntryChanged() != 0) {
    own_ = Entry();
    return;
  }
  const TFieldType type = field_->DataType();
  const bool cached =
      (type == ftMemo && table.cacheMemos_) || (type == ftBlob && table.cacheBlobs_);
  if (!cached) {
    LoadFromEngine();
    return;
  }
  own_ = Entry();
  if (own_.empty() && TLumoDaoTable::Header(buffer_).RecordPosition == -1 &&
      index_ < table.defaultValueList_.size()) {
    own_ = table.defaultValueList_[index_];
  }
}

void TLumoBlobStream::LoadFromEngine() {
  TLumoDaoTable& table = *dataSet_;
  if (!table.recordset_) return;
  jet::Recordset& recordset = *table.recordset_;
  const TDaoRecordHeader header = TLumoDaoTable::Header(buffer_);
  const int32_t saved = table.CurrentBookmarkValue(recordset);
  try {
    if (header.BookmarkValue > 0) table.GoToBookmarkValue(header.BookmarkValue);
    if (buffer_ == nullptr) {
      // Going to the record read the window again: the record is gone.
    } else if (table.State() == TDataSetState::dsInsert && header.RecordPosition == -1) {
      own_ = Entry();
      if (own_.empty() && index_ < table.defaultValueList_.size())
        own_ = table.defaultValueList_[index_];
    } else {
      std::shared_ptr<jet::Field> daoField = recordset.Fields().Item(static_cast<int>(index_));
      const int size = daoField->FieldSize();
      if (size > kLoadPiece) {
        own_.reserve(static_cast<size_t>(size));
        for (int64_t offset = 0; offset < size; offset += kLoadPiece) {
          const size_t before = own_.size();
          const int piece = static_cast<int>(std::min<int64_t>(kLoadPiece, size - offset));
          AppendChunk(own_, daoField->GetChunk(static_cast<int>(offset), piece));
          if (own_.size() == before) break;
        }
      } else {
        const Variant value = daoField->Value();
        own_ =
            value.IsNull() ? std::string() : ArrayToText(field_->DataType() == ftMemo, value, size);
      }
      if (table.encrypterActive_) own_ = table.DecryptText(own_);
    }
  } catch (const std::exception&) {
    // The record is gone or unreadable: the stream stays empty and the cursor is put right;
    // nothing is reported.
    own_.clear();
    if (table.tableType_ != jet::dbOpenForwardOnly) {
      try {
        table.RecoverCursor();
      } catch (const std::exception&) {
        // The next move shows what is wrong with the recordset.
      }
    }
  }
  if (saved > 0) {
    try {
      table.GoToBookmarkValue(saved);
    } catch (const std::exception&) {
      // The record the cursor stood on went away meanwhile; the cursor stays where it is.
    }
  }
}

void TLumoBlobStream::Truncate() {
  if (!opened_ || buffer_ == nullptr) return;
  TakeOverEntry();
  std::string& content = Entry();
  if (position_ < static_cast<int64_t>(content.size())) {
    content.resize(static_cast<size_t>(std::max<int64_t>(position_, 0)));
  }
  EntryChanged() = 1;
  modified_ = true;
}

void TLumoBlobStream::TakeOverEntry() {
  if (inEntry_) return;
  Entry() = std::move(own_);
  own_.clear();
  inEntry_ = true;
}

// --- reading and writing
// ---------------------------------------------------------------------------

int64_t TLumoBlobStream::Read(void* buffer, int64_t count) {
  if (!opened_ || count <= 0 || position_ < 0) return 0;
  const std::string& content = Content();
  const auto size = static_cast<int64_t>(content.size());
  if (position_ >= size) return 0;
  const int64_t moved = std::min(count, size - position_);
  std::memcpy(buffer, content.data() + position_, static_cast<size_t>(moved));
  position_ += moved;
  return moved;
}

int64_t TLumoBlobStream::Write(const void* buffer, int64_t count) {
  // Without a record there is nowhere to keep the bytes: answering 0 lets WriteBuffer raise.
  if (!opened_ || buffer_ == nullptr || count < 0 || position_ < 0) return 0;
  TakeOverEntry();
  std::string& content = Entry();
  // Everything after the bytes written goes; past the end they are appended.
  if (position_ < static_cast<int64_t>(content.size()))
    content.resize(static_cast<size_t>(position_));
  content.append(static_cast<const char*>(buffer), static_cast<size_t>(count));
  EntryChanged() = 1;
  modified_ = true;
  position_ = SaturatingAdd(position_, count);
  return count;
}

int64_t TLumoBlobStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case TSeekOrigin::soBeginning: position_ = offset; break;
    case TSeekOrigin::soCurrent: position_ = SaturatingAdd(position_, offset); break;
    case TSeekOrigin::soEnd:
      position_ = SaturatingAdd(static_cast<int64_t>(Content().size()), offset);
      break;
  }
  return position_;
}

// --- the record going away, and destruction
// ----------------------------------------------------------

void TLumoBlobStream::ForgetBuffer(TRecordBuffer buffer, bool orphan, bool entryStays) {
  if (buffer_ != nullptr && (buffer == nullptr || buffer == buffer_)) {
    // What was written stays readable here.
    if (inEntry_) {
      if (entryStays) {
        own_ = Entry();
      } else {
        own_ = std::move(Entry());
        Entry().clear();
      }
      inEntry_ = false;
    }
    buffer_ = nullptr;
  }
  if (orphan) dataSet_ = nullptr;
}

TLumoBlobStream::~TLumoBlobStream() {
  TLumoDaoTable* dataSet = dataSet_;
  if (dataSet == nullptr) return;
  // Data-aware controls show the new content, and the record counts as changed. A stream
  // whose record was posted or left meanwhile has nothing left to announce.
  if (modified_ && buffer_ != nullptr) {
    try {
      dataSet->DataEvent(TDataEvent::deFieldChange, reinterpret_cast<intptr_t>(field_));
    } catch (...) {
      dataSet->HandleOperationError();
    }
  }
  own_.clear();
  buffer_ = nullptr;
  opened_ = false;
  auto& streams = dataSet->blobStreams_;
  streams.erase(std::remove(streams.begin(), streams.end(), this), streams.end());
}

}  // namespace lumo

#pragma once
// Byte streams: the abstract TStream (what blob fields and blob streams of a dataset are),
// TMemoryStream / TStringStream that keep their bytes in memory, and TFileStream over a file.
//
// Read and Write move the position and answer the number of bytes moved; ReadBuffer and
// WriteBuffer raise EReadError / EWriteError when fewer bytes could be moved. Seeking beyond
// the end is allowed; writing there fills the gap with zero bytes.

#include "runtime/Exceptions.h"

#include <cstdint>
#include <string>

namespace lumo {

class EStreamError : public Exception {
 public:
  using Exception::Exception;
};
class EReadError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;
  virtual ~TStream() = default;

  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Answers the new position.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size();
  // Default: raises EStreamError (a stream that cannot change its size).
  virtual void SetSize(int64_t size);

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies count bytes from source's position (count 0: the whole source from its start);
  // answers the number of bytes copied.
  int64_t CopyFrom(TStream& source, int64_t count);
  // The rest of the stream from the position, as bytes.
  std::string ReadAll();
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string bytes) : data_(std::move(bytes)) {}

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t size) override;
  void Clear();

  const std::string& Bytes() const noexcept { return data_; }
  const char* Memory() const noexcept { return data_.data(); }

 private:
  std::string data_;
  int64_t position_ = 0;
};

// A file opened for reading, or created (truncated when it exists) for writing. Errors name
// the file and the system's reason: EFOpenError "Cannot open file "<name>". <reason>",
// EFCreateError "Cannot create file "<name>". <reason>", EReadError / EWriteError
// "Cannot read file "<name>". <reason>" / "Cannot write file ..." when a transfer fails (a
// full disk, a folder given as file).
class TFileStream : public TStream {
 public:
  enum class Mode { kOpenRead, kCreate };
  TFileStream(const std::string& fileName, Mode mode);
  ~TFileStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  // Makes what was written durable on the disk (EWriteError when it cannot be).
  void Flush();

  const std::string& FileName() const noexcept { return fileName_; }

 private:
  [[noreturn]] void RaiseTransfer(const char* what) const;

  std::string fileName_;
  int fd_ = -1;
};

// A memory stream read and written as text.
class TStringStream : public TMemoryStream {
 public:
  explicit TStringStream(std::string text = {}) : TMemoryStream(std::move(text)) {}
  const std::string& DataString() const noexcept { return Bytes(); }
  void WriteString(const std::string& text) {
    WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  }
};

}  // namespace lumo

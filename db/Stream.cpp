// Streams: the shared helpers of TStream and the memory stream.

#include "db/Stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace lumo {

int64_t TStream::Size() {
  int64_t position = Seek(0, TSeekOrigin::soCurrent);
  int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(position, TSeekOrigin::soBeginning);
  return size;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream size cannot be changed"); }

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count > 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count > 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  // Pieces large enough that per-call costs vanish beside the copying.
  constexpr int64_t kPiece = 64 * 1024;
  std::vector<char> chunk(static_cast<size_t>(std::min(std::max<int64_t>(count, 1), kPiece)));
  int64_t copied = 0;
  while (copied < count) {
    int64_t wanted = std::min<int64_t>(count - copied, static_cast<int64_t>(chunk.size()));
    source.ReadBuffer(chunk.data(), wanted);
    WriteBuffer(chunk.data(), wanted);
    copied += wanted;
  }
  return copied;
}

std::string TStream::ReadAll() {
  std::string bytes;
  char chunk[8192];
  for (;;) {
    int64_t got = Read(chunk, sizeof chunk);
    if (got <= 0) break;
    bytes.append(chunk, static_cast<size_t>(got));
  }
  return bytes;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  int64_t available = static_cast<int64_t>(data_.size()) - position_;
  if (count <= 0 || available <= 0) return 0;
  int64_t moved = std::min(count, available);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(moved));
  position_ += moved;
  return moved;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  if (position_ + count > static_cast<int64_t>(data_.size())) {
    data_.resize(static_cast<size_t>(position_ + count), '\0');
  }
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ += count;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::soBeginning ? 0
                 : origin == TSeekOrigin::soCurrent ? position_
                                                    : static_cast<int64_t>(data_.size());
  position_ = std::max<int64_t>(0, base + offset);
  return position_;
}

void TMemoryStream::SetSize(int64_t size) {
  data_.resize(static_cast<size_t>(std::max<int64_t>(size, 0)), '\0');
  position_ = std::min(position_, static_cast<int64_t>(data_.size()));
}

void TMemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}

// --- files ---------------------------------------------------------------------------------------

namespace {

std::string Reason(int error) { return std::strerror(error); }

}  // namespace

TFileStream::TFileStream(const std::string& fileName, Mode mode) : fileName_(fileName) {
  if (mode == Mode::kOpenRead) {
    fd_ = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd_ >= 0 && (::fstat(fd_, &info) != 0 || S_ISDIR(info.st_mode))) {
      const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
      ::close(fd_);
      fd_ = -1;
      errno = error;
    }
    if (fd_ < 0) throw EFOpenError("Cannot open file \"" + fileName + "\". " + Reason(errno));
  } else {
    fd_ = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) throw EFCreateError("Cannot create file \"" + fileName + "\". " + Reason(errno));
  }
}

TFileStream::~TFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

void TFileStream::RaiseTransfer(const char* what) const {
  const std::string text =
      std::string("Cannot ") + what + " file \"" + fileName_ + "\". " + Reason(errno);
  if (std::strcmp(what, "read") == 0) throw EReadError(text);
  throw EWriteError(text);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t got =
        ::read(fd_, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done));
    if (got < 0) {
      if (errno == EINTR) continue;
      RaiseTransfer("read");
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t put =
        ::write(fd_, static_cast<const char*>(buffer) + done, static_cast<size_t>(count - done));
    if (put < 0) {
      if (errno == EINTR) continue;
      RaiseTransfer("write");
    }
    done += put;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                     : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                        : SEEK_END;
  const off_t position = ::lseek(fd_, static_cast<off_t>(offset), whence);
  if (position < 0) RaiseTransfer("read");
  return position;
}

void TFileStream::SetSize(int64_t size) {
  if (::ftruncate(fd_, static_cast<off_t>(std::max<int64_t>(size, 0))) != 0) RaiseTransfer("write");
}

void TFileStream::Flush() {
  if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) RaiseTransfer("write");
}

}  // namespace lumo

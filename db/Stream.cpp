// Streams: the shared helpers of TStream and the memory stream.

#include "db/Stream.h"

#include <algorithm>
#include <cstring>

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
  char chunk[8192];
  int64_t copied = 0;
  while (copied < count) {
    int64_t wanted = std::min<int64_t>(count - copied, sizeof chunk);
    source.ReadBuffer(chunk, wanted);
    WriteBuffer(chunk, wanted);
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

}  // namespace lumo

#include "runtime/Guid.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>

#include "runtime/Exceptions.h"

namespace lumo {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
// Positions of the dashes in the braced text.
constexpr size_t kDashes[] = {9, 14, 19, 24};
constexpr size_t kTextLength = 38;

void AppendHex(std::string& out, uint64_t value, int digits) {
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
    out += kHexDigits[(value >> shift) & 0xF];
  }
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads `digits` hex digits at `pos`.
bool ReadHex(std::string_view text, size_t pos, int digits, uint64_t& value) {
  value = 0;
  for (int i = 0; i < digits; ++i) {
    int digit = HexValue(text[pos + i]);
    if (digit < 0) return false;
    value = value << 4 | static_cast<uint64_t>(digit);
  }
  return true;
}

}  // namespace

std::string GuidToString(const TGuid& guid) {
  std::string text;
  text.reserve(kTextLength);
  text += '{';
  AppendHex(text, guid.D1, 8);
  text += '-';
  AppendHex(text, guid.D2, 4);
  text += '-';
  AppendHex(text, guid.D3, 4);
  text += '-';
  AppendHex(text, guid.D4[0], 2);
  AppendHex(text, guid.D4[1], 2);
  text += '-';
  for (int i = 2; i < 8; ++i) AppendHex(text, guid.D4[i], 2);
  text += '}';
  return text;
}

bool TryStringToGuid(std::string_view text, TGuid& guid) {
  if (text.size() != kTextLength || text.front() != '{' || text.back() != '}') return false;
  for (size_t dash : kDashes) {
    if (text[dash] != '-') return false;
  }
  TGuid result;
  uint64_t value;
  if (!ReadHex(text, 1, 8, value)) return false;
  result.D1 = static_cast<uint32_t>(value);
  if (!ReadHex(text, 10, 4, value)) return false;
  result.D2 = static_cast<uint16_t>(value);
  if (!ReadHex(text, 15, 4, value)) return false;
  result.D3 = static_cast<uint16_t>(value);
  // D4: two bytes before the last dash, six after it.
  constexpr size_t kD4Positions[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(text, kD4Positions[i], 2, value)) return false;
    result.D4[i] = static_cast<uint8_t>(value);
  }
  guid = result;
  return true;
}

TGuid StringToGuid(std::string_view text) {
  TGuid guid;
  if (!TryStringToGuid(text, guid)) {
    throw EConvertError("'" + std::string(text) + "' is not a valid GUID value");
  }
  return guid;
}

GuidBytes GuidToBytes(const TGuid& guid) {
  GuidBytes bytes;
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(guid.D1 >> (8 * i));
  for (int i = 0; i < 2; ++i) bytes[4 + i] = static_cast<uint8_t>(guid.D2 >> (8 * i));
  for (int i = 0; i < 2; ++i) bytes[6 + i] = static_cast<uint8_t>(guid.D3 >> (8 * i));
  std::memcpy(bytes.data() + 8, guid.D4, 8);
  return bytes;
}

TGuid GuidFromBytes(const GuidBytes& bytes) {
  TGuid guid;
  guid.D1 = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
            static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  guid.D2 = static_cast<uint16_t>(bytes[4] | bytes[5] << 8);
  guid.D3 = static_cast<uint16_t>(bytes[6] | bytes[7] << 8);
  std::memcpy(guid.D4, bytes.data() + 8, 8);
  return guid;
}

TGuid GuidFromBytes(const uint8_t* bytes, size_t size) {
  if (size != 16) {
    throw EConvertError("A GUID needs 16 bytes, not " + std::to_string(size));
  }
  GuidBytes array;
  std::memcpy(array.data(), bytes, 16);
  return GuidFromBytes(array);
}

bool IsNullGuid(const TGuid& guid) {
  GuidBytes bytes = GuidToBytes(guid);
  for (uint8_t byte : bytes) {
    if (byte != 0) return false;
  }
  return true;
}

TGuid CreateGuid() {
  GuidBytes bytes;
  size_t filled = 0;
  while (filled < bytes.size()) {
    ssize_t got = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw EOleSysError("The system's random source failed: " + std::string(std::strerror(errno)),
                         errno);
    }
    filled += static_cast<size_t>(got);
  }
  TGuid guid = GuidFromBytes(bytes);
  guid.D3 = static_cast<uint16_t>((guid.D3 & 0x0FFF) | 0x4000);   // version 4
  guid.D4[0] = static_cast<uint8_t>((guid.D4[0] & 0x3F) | 0x80);  // RFC 4122 variant
  return guid;
}

}  // namespace lumo

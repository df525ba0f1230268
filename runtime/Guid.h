#pragma once
// Globally unique identifiers as the platform knows them: the record, its braced text form
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and the 16-byte layout that databases store
// (D1, D2 and D3 little-endian, then D4's bytes). Stands for the runtime's GUID helpers and
// the system's GUID generator (random, version 4).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace lumo {

struct TGuid {
  uint32_t D1;
  uint16_t D2, D3;
  uint8_t D4[8];

  bool operator==(const TGuid&) const = default;
};

using GuidBytes = std::array<uint8_t, 16>;

// "{" + upper-case hex 8-4-4-4-12 + "}", 38 characters.
std::string GuidToString(const TGuid& guid);
// Reads exactly the 38-character braced form, hex digits in either case. Raises
// EConvertError "'<text>' is not a valid GUID value".
TGuid StringToGuid(std::string_view text);
bool TryStringToGuid(std::string_view text, TGuid& guid);

GuidBytes GuidToBytes(const TGuid& guid);
TGuid GuidFromBytes(const GuidBytes& bytes);
// Raises EConvertError unless exactly 16 bytes are given.
TGuid GuidFromBytes(const uint8_t* bytes, size_t size);

bool IsNullGuid(const TGuid& guid);
// A new random GUID (version 4, RFC 4122 variant) from the kernel's random source.
TGuid CreateGuid();

}  // namespace lumo

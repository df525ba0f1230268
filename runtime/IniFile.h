#pragma once
// Private-profile (INI) files: the runtime's replacement for the platform's profile calls and
// its INI-file class, read with the same rules:
//   - section and key names compare without regard to (ASCII) case;
//   - blanks around names and values are trimmed, and a value enclosed in matching double or
//     single quotes loses them;
//   - a line whose first non-blank character is ';' is a comment; lines that are neither a
//     section header nor name=value, and pairs before the first section, are ignored;
//   - when a section occurs twice only the first occurrence counts, and within it the first
//     matching key wins;
//   - CR LF and LF line ends both work; a UTF-8 byte-order mark at the start is skipped.
// A missing or unreadable file, section or key gives the caller's default. Nothing here raises.
// Text is UTF-8 and returned byte for byte.

#include <cstdint>
#include <string>
#include <vector>

namespace lumo {

// Reads one value from `fileName`. The default loses its trailing blanks, as the platform call
// strips them before handing the default back.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& fileName);

// An INI file read once, at construction; later changes to the file are not seen. Copyable.
class TIniFile {
 public:
  explicit TIniFile(std::string fileName);

  const std::string& FileName() const noexcept { return fileName_; }

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // Decimal, or hexadecimal with a "$" or "0x" prefix, optionally signed, within 32 bits;
  // anything else (an empty value included) gives the default.
  int32_t ReadInteger(const std::string& section, const std::string& key,
                      int32_t defaultValue) const;
  // An integer value other than 0 is true; a value that is no integer gives the default.
  bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;

  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& key) const;
  // Key names of the section in file order (duplicates once), empty when there is no section.
  std::vector<std::string> ReadSection(const std::string& section) const;
  // Section names in file order, each name once.
  std::vector<std::string> ReadSections() const;

 private:
  struct Entry {
    std::string key;
    std::string value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };

  const Section* FindSection(const std::string& name) const;
  const Entry* FindEntry(const std::string& section, const std::string& key) const;

  std::string fileName_;
  std::vector<Section> sections_;
};

}  // namespace lumo

#include "runtime/IniFile.h"

#include <charconv>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <string_view>

namespace lumo {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// The whole file, or nothing when it cannot be read (a folder, a missing file, no rights).
bool ReadWholeFile(const std::string& fileName, std::string& text) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return false;
  text = content.str();
  return true;
}

std::optional<int32_t> ParseInteger(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text.front() == '$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return std::nullopt;
  uint64_t magnitude = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  // Hexadecimal texts name the bit pattern, so $FFFFFFFF is -1 as the platform reads it.
  if (base == 16 && !negative) {
    if (magnitude > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    return static_cast<int32_t>(static_cast<uint32_t>(magnitude));
  }
  const uint64_t limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
  if (magnitude > limit) return std::nullopt;
  return static_cast<int32_t>(negative ? -static_cast<int64_t>(magnitude)
                                       : static_cast<int64_t>(magnitude));
}

}  // namespace

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& fileName) {
  TIniFile file(fileName);
  if (file.ValueExists(section, key)) return file.ReadString(section, key, std::string());
  std::string result = defaultValue;
  while (!result.empty() && IsBlank(result.back())) result.pop_back();
  return result;
}

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {
  std::string text;
  if (!ReadWholeFile(fileName_, text)) return;
  std::string_view rest(text);
  if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);

  Section* current = nullptr;
  while (!rest.empty()) {
    size_t lineEnd = rest.find('\n');
    std::string_view line = Trim(rest.substr(0, lineEnd));
    rest.remove_prefix(lineEnd == std::string_view::npos ? rest.size() : lineEnd + 1);

    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      size_t close = line.rfind(']');
      std::string_view name =
          Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
      // A repeated section header continues nothing: only the first occurrence is read.
      current = FindSection(std::string(name)) == nullptr
                    ? &sections_.emplace_back(Section{std::string(name), {}})
                    : nullptr;
      continue;
    }
    size_t equals = line.find('=');
    if (current == nullptr || equals == std::string_view::npos) continue;
    std::string_view name = Trim(line.substr(0, equals));
    std::string_view value = Unquote(Trim(line.substr(equals + 1)));
    current->entries.push_back(Entry{std::string(name), std::string(value)});
  }
}

const TIniFile::Section* TIniFile::FindSection(const std::string& name) const {
  for (const Section& section : sections_) {
    if (SameName(section.name, Trim(name))) return &section;
  }
  return nullptr;
}

const TIniFile::Entry* TIniFile::FindEntry(const std::string& section,
                                           const std::string& key) const {
  const Section* found = FindSection(section);
  if (found == nullptr) return nullptr;
  for (const Entry& entry : found->entries) {
    if (SameName(entry.key, Trim(key))) return &entry;
  }
  return nullptr;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const {
  const Entry* entry = FindEntry(section, key);
  return entry != nullptr ? entry->value : defaultValue;
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key,
                              int32_t defaultValue) const {
  const Entry* entry = FindEntry(section, key);
  if (entry == nullptr) return defaultValue;
  return ParseInteger(entry->value).value_or(defaultValue);
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key,
                        bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

bool TIniFile::SectionExists(const std::string& section) const {
  return FindSection(section) != nullptr;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
  return FindEntry(section, key) != nullptr;
}

std::vector<std::string> TIniFile::ReadSection(const std::string& section) const {
  std::vector<std::string> keys;
  const Section* found = FindSection(section);
  if (found == nullptr) return keys;
  for (const Entry& entry : found->entries) {
    bool seen = false;
    for (const std::string& key : keys) seen = seen || SameName(key, entry.key);
    if (!seen) keys.push_back(entry.key);
  }
  return keys;
}

std::vector<std::string> TIniFile::ReadSections() const {
  std::vector<std::string> names;
  names.reserve(sections_.size());
  for (const Section& section : sections_) names.push_back(section.name);
  return names;
}

}  // namespace lumo

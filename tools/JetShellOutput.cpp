// jetsh: how values and results look, and how a script splits into statements.

#include <algorithm>
#include <cstdio>
#include <ostream>

#include "runtime/DateTime.h"
#include "runtime/StrUtils.h"
#include "jet/DaoConstants.h"
#include "jet/JetTypes.h"
#include "tools/JetShell.h"

namespace lumo::tools {

namespace {

// Characters, not bytes, decide the width of a UTF-8 text.
size_t DisplayWidth(const std::string& text) {
  size_t width = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++width;
  }
  return width;
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

std::string ShellText(const Variant& value) {
  char buffer[64];
  switch (value.Type()) {
    case VarType::kEmpty:
    case VarType::kNull:
      return {};
    case VarType::kBoolean:
      return value.AsBoolean() ? "True" : "False";
    case VarType::kSmallint:
    case VarType::kInteger:
    case VarType::kInt64:
      return std::to_string(value.AsInt64());
    case VarType::kDouble:
      std::snprintf(buffer, sizeof buffer, "%.15g", value.AsDouble());
      return buffer;
    case VarType::kCurrency: {
      const int64_t scaled = value.AsCurrency().Scaled();
      const int64_t magnitude = scaled < 0 ? -scaled : scaled;
      std::snprintf(buffer, sizeof buffer, "%s%lld.%04lld", scaled < 0 ? "-" : "",
                    static_cast<long long>(magnitude / 10000), static_cast<long long>(magnitude % 10000));
      return buffer;
    }
    case VarType::kDate: {
      std::string text = jet::FormatStorageDate(value.AsDateTime());
      if (text.size() > 4 && text.compare(text.size() - 4, 4, ".000") == 0) text.resize(text.size() - 4);
      return text;
    }
    case VarType::kString:
      return value.AsString();
    case VarType::kBytes: {
      std::string text = "0x";
      for (uint8_t byte : value.AsBytes()) {
        std::snprintf(buffer, sizeof buffer, "%02X", byte);
        text += buffer;
      }
      return text;
    }
    case VarType::kArray: {
      std::string text = "(";
      for (const Variant& item : value.Items()) text += (text.size() > 1 ? ", " : "") + ShellText(item);
      return text + ")";
    }
  }
  return {};
}

std::string DaoTypeName(int type) {
  switch (type) {
    case jet::dbBoolean: return "Yes/No";
    case jet::dbByte: return "Byte";
    case jet::dbInteger: return "Integer";
    case jet::dbLong: return "Long";
    case jet::dbCurrency: return "Currency";
    case jet::dbSingle: return "Single";
    case jet::dbDouble: return "Double";
    case jet::dbDate: return "Date/Time";
    case jet::dbBinary: return "Binary";
    case jet::dbText: return "Text";
    case jet::dbLongBinary: return "Long Binary";
    case jet::dbMemo: return "Memo";
    case jet::dbGUID: return "GUID";
    case jet::dbBigInt: return "BigInt";
    case jet::dbVarBinary: return "VarBinary";
    case jet::dbChar: return "Char";
    case jet::dbNumeric: return "Numeric";
    case jet::dbDecimal: return "Decimal";
    case jet::dbFloat: return "Float";
    case jet::dbTime: return "Time";
    case jet::dbTimeStamp: return "TimeStamp";
    default: return "Type " + std::to_string(type);
  }
}

std::string QueryTypeName(int type) {
  const std::string_view name = jet::QueryDefTypeName(type);
  if (name.empty()) return "Type " + std::to_string(type);
  return std::string(name.substr(3));  // without "dbQ"
}

void WriteAligned(std::ostream& out, const std::vector<std::string>& header,
                  const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> widths;
  for (const std::string& name : header) widths.push_back(DisplayWidth(name));
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.size() && i < widths.size(); ++i) widths[i] = std::max(widths[i], DisplayWidth(row[i]));
  }
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (size_t i = 0; i < widths.size(); ++i) {
      const std::string& cell = i < cells.size() ? cells[i] : std::string();
      if (i > 0) text += "  ";
      text += cell;
      text.append(widths[i] - DisplayWidth(cell), ' ');
    }
    // No blanks at the end of a line, where the last cells are empty.
    text.erase(text.find_last_not_of(' ') + 1);
    out << text << '\n';
  };
  line(header);
  std::vector<std::string> rule;
  for (size_t width : widths) rule.push_back(std::string(width, '-'));
  line(rule);
  for (const auto& row : rows) line(row);
}

void WriteCsv(std::ostream& out, const std::vector<std::string>& header,
              const std::vector<std::vector<std::string>>& rows) {
  auto line = [&](const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) out << (i > 0 ? "," : "") << CsvField(cells[i]);
    out << "\r\n";
  };
  line(header);
  for (const auto& row : rows) line(row);
}

std::vector<std::string> SplitScript(const std::string& text) {
  std::vector<std::string> statements;
  std::string current;
  auto finish = [&] {
    size_t begin = current.find_first_not_of(" \t\r\n");
    if (begin != std::string::npos) {
      size_t end = current.find_last_not_of(" \t\r\n");
      statements.push_back(current.substr(begin, end - begin + 1));
    }
    current.clear();
  };
  char closing = 0;  // the character that ends the literal or name we are in
  bool lineStart = true;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (closing == 0 && lineStart && c == '.' && current.find_first_not_of(" \t\r\n") == std::string::npos) {
      // A command line: up to the end of the line.
      size_t end = text.find('\n', i);
      if (end == std::string::npos) end = text.size();
      current = text.substr(i, end - i);
      finish();
      i = end;
      lineStart = true;
      continue;
    }
    lineStart = c == '\n' || (lineStart && (c == ' ' || c == '\t' || c == '\r'));
    if (closing != 0) {
      current += c;
      if (c == closing) closing = 0;
      continue;
    }
    switch (c) {
      case '\'': closing = '\''; break;
      case '"': closing = '"'; break;
      case '[': closing = ']'; break;
      case '#': closing = '#'; break;
      case ';':
        // The ";" that ends a PARAMETERS declaration belongs to the query that follows it.
        if (StartsText("PARAMETERS", Trim(current)) && current.find(';') == std::string::npos) break;
        finish();
        continue;
      default: break;
    }
    current += c;
  }
  finish();
  return statements;
}

}  // namespace lumo::tools

// jetsh: how values and results look in each output mode.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>

#include "jet/DaoConstants.h"
#include "jet/JetTypes.h"
#include "runtime/DateTime.h"
#include "runtime/StrUtils.h"
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

}  // namespace

std::string ShellText(const Variant& value) {
  char buffer[64];
  switch (value.Type()) {
    case VarType::kEmpty:
    case VarType::kNull: return {};
    case VarType::kBoolean: return value.AsBoolean() ? "True" : "False";
    case VarType::kSmallint:
    case VarType::kInteger:
    case VarType::kInt64: return std::to_string(value.AsInt64());
    case VarType::kDouble: std::snprintf(buffer, sizeof buffer, "%.15g", value.AsDouble()); return buffer;
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
    case VarType::kString: return value.AsString();
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

namespace {

bool HasControl(const std::string& text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

// A column cell that holds a line break (or begins with a quote, so that it cannot be taken
// for a quoted one) is shown quoted with escapes: the rows stay one line each.
std::string ColumnCell(const std::string& text) {
  if (!HasControl(text) && (text.empty() || text[0] != '"')) return text;
  std::string quoted = "\"";
  char buffer[8];
  for (char c : text) {
    switch (c) {
      case '\n': quoted += "\\n"; break;
      case '\r': quoted += "\\r"; break;
      case '\t': quoted += "\\t"; break;
      case '"': quoted += "\\\""; break;
      case '\\': quoted += "\\\\"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          std::snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<unsigned char>(c));
          quoted += buffer;
        } else {
          quoted += c;
        }
    }
  }
  return quoted + "\"";
}

// CSV's quoting, for CSV (separator ",") and lists (separator "|").
std::string SeparatedField(const std::string& text, char separator) {
  if (text.find_first_of("\"\r\n") == std::string::npos && text.find(separator) == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string JsonString(const std::string& text) {
  std::string quoted = "\"";
  char buffer[8];
  for (char c : text) {
    switch (c) {
      case '"': quoted += "\\\""; break;
      case '\\': quoted += "\\\\"; break;
      case '\n': quoted += "\\n"; break;
      case '\r': quoted += "\\r"; break;
      case '\t': quoted += "\\t"; break;
      case '\b': quoted += "\\b"; break;
      case '\f': quoted += "\\f"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned char>(c));
          quoted += buffer;
        } else {
          quoted += c;
        }
    }
  }
  return quoted + "\"";
}

// Numbers and Booleans as JSON's own, Null as null, everything else as a string of what
// the other modes show.
std::string JsonValue(const Variant& value) {
  switch (value.Type()) {
    case VarType::kEmpty:
    case VarType::kNull: return "null";
    case VarType::kBoolean: return value.AsBoolean() ? "true" : "false";
    case VarType::kSmallint:
    case VarType::kInteger:
    case VarType::kInt64:
    case VarType::kCurrency: return ShellText(value);
    case VarType::kDouble:
      // JSON has no infinities and no NaN.
      return std::isfinite(value.AsDouble()) ? ShellText(value) : "null";
    default: return JsonString(ShellText(value));
  }
}

void WriteColumns(std::ostream& out, bool headers, const ResultTable& table) {
  std::vector<std::vector<std::string>> cells;
  for (const auto& row : table.rows) {
    std::vector<std::string> line;
    for (const Variant& value : row) line.push_back(ColumnCell(ShellText(value)));
    cells.push_back(std::move(line));
  }
  std::vector<std::string> header;
  for (const std::string& name : table.header) header.push_back(ColumnCell(name));
  std::vector<size_t> widths;
  for (const std::string& name : header) widths.push_back(headers ? DisplayWidth(name) : 0);
  for (const auto& row : cells) {
    for (size_t i = 0; i < row.size() && i < widths.size(); ++i) widths[i] = std::max(widths[i], DisplayWidth(row[i]));
  }
  auto line = [&](const std::vector<std::string>& row) {
    std::string text;
    for (size_t i = 0; i < widths.size(); ++i) {
      const std::string& cell = i < row.size() ? row[i] : std::string();
      if (i > 0) text += "  ";
      text += cell;
      text.append(widths[i] - DisplayWidth(cell), ' ');
    }
    // No blanks at the end of a line, where the last cells are empty.
    text.erase(text.find_last_not_of(' ') + 1);
    out << text << '\n';
  };
  if (headers) {
    line(header);
    std::vector<std::string> rule;
    for (size_t width : widths) rule.push_back(std::string(width, '-'));
    line(rule);
  }
  for (const auto& row : cells) line(row);
}

void WriteSeparated(std::ostream& out, bool headers, const ResultTable& table, char separator, const char* lineEnd) {
  auto line = [&](const auto& cells, auto text) {
    for (size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) out << separator;
      out << SeparatedField(text(cells[i]), separator);
    }
    out << lineEnd;
  };
  if (headers) line(table.header, [](const std::string& name) { return name; });
  for (const auto& row : table.rows) line(row, [](const Variant& value) { return ShellText(value); });
}

void WriteJson(std::ostream& out, const ResultTable& table) {
  out << '[';
  for (size_t r = 0; r < table.rows.size(); ++r) {
    if (r > 0) out << ",\n";
    out << '{';
    const auto& row = table.rows[r];
    for (size_t i = 0; i < row.size() && i < table.header.size(); ++i) {
      if (i > 0) out << ',';
      out << JsonString(table.header[i]) << ':' << JsonValue(row[i]);
    }
    out << '}';
  }
  out << "]\n";
}

}  // namespace

void WriteResult(std::ostream& out, OutputMode mode, bool headers, const ResultTable& table) {
  switch (mode) {
    case OutputMode::kColumn: WriteColumns(out, headers, table); break;
    case OutputMode::kList: WriteSeparated(out, headers, table, '|', "\n"); break;
    case OutputMode::kCsv: WriteSeparated(out, headers, table, ',', "\r\n"); break;
    case OutputMode::kJson: WriteJson(out, table); break;
  }
}

}  // namespace lumo::tools

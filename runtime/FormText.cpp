#include "runtime/FormText.h"

#include "runtime/StrUtils.h"

#include <charconv>
#include <cstring>

namespace lumo {

// ---------------------------------------------------------------------------------------------
// Value factories

FormValue FormValue::Integer(int64_t value) {
  FormValue result;
  result.kind = FormValueKind::kInteger;
  result.integer = value;
  return result;
}

FormValue FormValue::Float(double value) {
  FormValue result;
  result.kind = FormValueKind::kFloat;
  result.number = value;
  return result;
}

FormValue FormValue::String(std::string value) {
  FormValue result;
  result.kind = FormValueKind::kString;
  result.text = std::move(value);
  return result;
}

FormValue FormValue::Identifier(std::string name) {
  FormValue result;
  result.kind = FormValueKind::kIdentifier;
  result.text = std::move(name);
  return result;
}

FormValue FormValue::List(std::vector<FormValue> values) {
  FormValue result;
  result.kind = FormValueKind::kList;
  result.list = std::move(values);
  return result;
}

FormValue FormValue::Set(std::vector<std::string> members) {
  FormValue result;
  result.kind = FormValueKind::kSet;
  result.set = std::move(members);
  return result;
}

FormValue FormValue::Collection(std::vector<FormItem> items) {
  FormValue result;
  result.kind = FormValueKind::kCollection;
  result.items = std::move(items);
  return result;
}

FormValue FormValue::Binary(std::string bytes) {
  FormValue result;
  result.kind = FormValueKind::kBinary;
  result.text = std::move(bytes);
  return result;
}

namespace {

// ---------------------------------------------------------------------------------------------
// Tokenizer

enum class TokenKind { kEnd, kIdentifier, kInteger, kFloat, kString, kSymbol };

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;  // identifier or string contents
  int64_t integer = 0;
  double number = 0;
  char symbol = 0;
  int line = 1;
};

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  return (c | 0x20) - 'a' + 10;
}

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  Token Next() {
    SkipBlanks();
    Token token;
    token.line = line_;
    if (position_ >= text_.size()) return token;
    char c = text_[position_];
    if (IsLetter(c)) {
      token.kind = TokenKind::kIdentifier;
      token.text = ReadIdentifier();
    } else if (IsDigit(c) || c == '$' ||
               (c == '-' && position_ + 1 < text_.size() &&
                (IsDigit(text_[position_ + 1]) || text_[position_ + 1] == '$'))) {
      ReadNumber(token);
    } else if (c == '\'' || c == '#') {
      token.kind = TokenKind::kString;
      token.text = ReadString();
    } else if (std::strchr("=:()[]<>,+{}", c) != nullptr) {
      token.kind = TokenKind::kSymbol;
      token.symbol = c;
      ++position_;
    } else {
      std::string shown = static_cast<unsigned char>(c) < 0x80 && c > ' '
                              ? "'" + std::string(1, c) + "'"
                              : Format("#%d", static_cast<unsigned char>(c));
      throw EFilerError(line_, "Invalid character " + shown);
    }
    return token;
  }

  // The bytes of a binary value; the opening brace has been read.
  std::string ReadBinary(int startLine) {
    std::string bytes;
    int high = -1;
    while (true) {
      SkipBlanks();
      if (position_ >= text_.size()) throw EFilerError(startLine, "Unterminated binary value");
      char c = text_[position_++];
      if (c == '}') break;
      if (!IsHexDigit(c)) throw EFilerError(line_, "Invalid binary value");
      if (high < 0) {
        high = HexValue(c);
      } else {
        bytes.push_back(static_cast<char>(high * 16 + HexValue(c)));
        high = -1;
      }
    }
    if (high >= 0) throw EFilerError(line_, "Invalid binary value");
    return bytes;
  }

 private:
  void SkipBlanks() {
    while (position_ < text_.size()) {
      char c = text_[position_];
      if (c == '\n') {
        ++line_;
      } else if (c == '\r') {
        if (position_ + 1 >= text_.size() || text_[position_ + 1] != '\n') ++line_;
      } else if (static_cast<unsigned char>(c) > ' ') {
        break;
      }
      ++position_;
    }
  }

  std::string ReadIdentifier() {
    size_t start = position_;
    while (true) {
      while (position_ < text_.size() &&
             (IsLetter(text_[position_]) || IsDigit(text_[position_]))) {
        ++position_;
      }
      // a dot continues a dotted name only when a name part follows
      if (position_ + 1 < text_.size() && text_[position_] == '.' &&
          IsLetter(text_[position_ + 1])) {
        ++position_;
        continue;
      }
      break;
    }
    return std::string(text_.substr(start, position_ - start));
  }

  void ReadNumber(Token& token) {
    size_t start = position_;
    bool negative = text_[position_] == '-';
    if (negative) ++position_;
    if (text_[position_] == '$') {
      ++position_;
      size_t digits = position_;
      while (position_ < text_.size() && IsHexDigit(text_[position_])) ++position_;
      uint64_t value = 0;
      auto [end, error] =
          std::from_chars(text_.data() + digits, text_.data() + position_, value, 16);
      if (digits == position_ || error != std::errc() || value > uint64_t{INT64_MAX}) {
        throw EFilerError(line_, "Invalid number");
      }
      token.kind = TokenKind::kInteger;
      token.integer = negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
      return;
    }
    while (position_ < text_.size() && IsDigit(text_[position_])) ++position_;
    bool isFloat = false;
    if (position_ + 1 < text_.size() && text_[position_] == '.' && IsDigit(text_[position_ + 1])) {
      isFloat = true;
      ++position_;
      while (position_ < text_.size() && IsDigit(text_[position_])) ++position_;
    }
    if (position_ < text_.size() && (text_[position_] == 'e' || text_[position_] == 'E')) {
      size_t exponent = position_ + 1;
      if (exponent < text_.size() && (text_[exponent] == '+' || text_[exponent] == '-')) ++exponent;
      if (exponent < text_.size() && IsDigit(text_[exponent])) {
        isFloat = true;
        position_ = exponent;
        while (position_ < text_.size() && IsDigit(text_[position_])) ++position_;
      }
    }
    if (position_ < text_.size() && (IsLetter(text_[position_]) || text_[position_] == '.')) {
      throw EFilerError(line_, "Invalid number");
    }
    const char* first = text_.data() + start;
    const char* last = text_.data() + position_;
    if (isFloat) {
      token.kind = TokenKind::kFloat;
      auto [end, error] = std::from_chars(first, last, token.number);
      if (error != std::errc() || end != last) throw EFilerError(line_, "Invalid number");
    } else {
      token.kind = TokenKind::kInteger;
      auto [end, error] = std::from_chars(first, last, token.integer);
      if (error != std::errc() || end != last) throw EFilerError(line_, "Invalid number");
    }
  }

  // Quoted parts and #nnn character codes written next to each other form one string.
  std::string ReadString() {
    std::string value;
    while (position_ < text_.size()) {
      char c = text_[position_];
      if (c == '\'') {
        ++position_;
        while (true) {
          if (position_ >= text_.size() || text_[position_] == '\n' || text_[position_] == '\r') {
            throw EFilerError(line_, "Unterminated string");
          }
          char inner = text_[position_++];
          if (inner == '\'') {
            if (position_ < text_.size() && text_[position_] == '\'') {
              value.push_back('\'');
              ++position_;
              continue;
            }
            break;
          }
          value.push_back(inner);
        }
      } else if (c == '#') {
        ++position_;
        bool hex = position_ < text_.size() && text_[position_] == '$';
        if (hex) ++position_;
        size_t digits = position_;
        while (position_ < text_.size() &&
               (hex ? IsHexDigit(text_[position_]) : IsDigit(text_[position_]))) {
          ++position_;
        }
        uint32_t code = 0;
        auto [end, error] =
            std::from_chars(text_.data() + digits, text_.data() + position_, code, hex ? 16 : 10);
        if (digits == position_ || error != std::errc() || code > 0x10FFFF) {
          throw EFilerError(line_, "Invalid character code");
        }
        value += EncodeUtf8(code);
      } else {
        break;
      }
    }
    return value;
  }

  std::string_view text_;
  size_t position_ = 0;
  int line_ = 1;
};

// ---------------------------------------------------------------------------------------------
// Parser

class Parser {
 public:
  explicit Parser(std::string_view text) : lexer_(text) { Advance(); }

  FormObject ParseRoot() {
    if (!IsKeyword("object")) throw EFilerError(token_.line, "'object' expected");
    FormObject root = ParseObject();
    if (token_.kind != TokenKind::kEnd) throw EFilerError(token_.line, "End of text expected");
    return root;
  }

 private:
  void Advance() { token_ = lexer_.Next(); }

  bool IsKeyword(const char* keyword) const {
    return token_.kind == TokenKind::kIdentifier && SameText(token_.text, keyword);
  }
  bool IsSymbol(char symbol) const {
    return token_.kind == TokenKind::kSymbol && token_.symbol == symbol;
  }
  void ExpectSymbol(char symbol) {
    if (!IsSymbol(symbol)) throw EFilerError(token_.line, Format("'%c' expected", symbol));
    Advance();
  }
  std::string ExpectIdentifier() {
    if (token_.kind != TokenKind::kIdentifier)
      throw EFilerError(token_.line, "Identifier expected");
    std::string name = token_.text;
    Advance();
    return name;
  }

  // The current token is the keyword "object".
  FormObject ParseObject() {
    FormObject object;
    object.line = token_.line;
    Advance();
    std::string first = ExpectIdentifier();
    if (IsSymbol(':')) {
      Advance();
      object.name = first;
      object.className = ExpectIdentifier();
    } else {
      object.className = first;
    }
    if (object.name.find('.') != std::string::npos ||
        object.className.find('.') != std::string::npos) {
      throw EFilerError(object.line, "Invalid object header");
    }
    while (true) {
      if (token_.kind == TokenKind::kEnd) throw EFilerError(object.line, "Unterminated object");
      if (IsKeyword("end")) {
        Advance();
        return object;
      }
      if (IsKeyword("object")) {
        object.children.push_back(ParseObject());
        continue;
      }
      if (!object.children.empty()) throw EFilerError(token_.line, "'object' or 'end' expected");
      object.properties.push_back(ParseProperty());
    }
  }

  FormProperty ParseProperty() {
    FormProperty property;
    property.line = token_.line;
    property.name = ExpectIdentifier();
    ExpectSymbol('=');
    property.value = ParseValue();
    return property;
  }

  FormValue ParseValue() {
    FormValue value;
    value.line = token_.line;
    switch (token_.kind) {
      case TokenKind::kInteger:
        value.kind = FormValueKind::kInteger;
        value.integer = token_.integer;
        Advance();
        return value;
      case TokenKind::kFloat:
        value.kind = FormValueKind::kFloat;
        value.number = token_.number;
        Advance();
        return value;
      case TokenKind::kIdentifier:
        value.kind = FormValueKind::kIdentifier;
        value.text = token_.text;
        Advance();
        return value;
      case TokenKind::kString:
        value.kind = FormValueKind::kString;
        value.text = token_.text;
        Advance();
        while (IsSymbol('+')) {
          Advance();
          if (token_.kind != TokenKind::kString) throw EFilerError(token_.line, "String expected");
          value.text += token_.text;
          Advance();
        }
        return value;
      case TokenKind::kSymbol: break;
      case TokenKind::kEnd: throw EFilerError(token_.line, "Value expected");
    }
    int line = token_.line;
    char symbol = token_.symbol;
    if (symbol == '{') {  // hex digits are not tokens: the lexer reads them raw
      value.kind = FormValueKind::kBinary;
      value.text = lexer_.ReadBinary(line);
      Advance();
      return value;
    }
    Advance();
    switch (symbol) {
      case '(':
        value.kind = FormValueKind::kList;
        while (!IsSymbol(')')) {
          if (token_.kind == TokenKind::kEnd) throw EFilerError(line, "Unterminated list");
          value.list.push_back(ParseValue());
        }
        Advance();
        return value;
      case '[':
        value.kind = FormValueKind::kSet;
        if (IsSymbol(']')) {
          Advance();
          return value;
        }
        while (true) {
          if (token_.kind == TokenKind::kEnd) throw EFilerError(line, "Unterminated set");
          value.set.push_back(ExpectIdentifier());
          if (IsSymbol(']')) break;
          if (token_.kind == TokenKind::kEnd) throw EFilerError(line, "Unterminated set");
          ExpectSymbol(',');
        }
        Advance();
        return value;
      case '<':
        value.kind = FormValueKind::kCollection;
        while (!IsSymbol('>')) {
          if (token_.kind == TokenKind::kEnd) throw EFilerError(line, "Unterminated collection");
          if (!IsKeyword("item")) throw EFilerError(token_.line, "'item' expected");
          value.items.push_back(ParseItem());
        }
        Advance();
        return value;
      default: throw EFilerError(line, "Value expected");
    }
  }

  // The current token is the keyword "item".
  FormItem ParseItem() {
    FormItem item;
    item.line = token_.line;
    Advance();
    while (!IsKeyword("end")) {
      if (token_.kind == TokenKind::kEnd) throw EFilerError(item.line, "Unterminated item");
      item.properties.push_back(ParseProperty());
    }
    Advance();
    return item;
  }

  Lexer lexer_;
  Token token_;
};

// ---------------------------------------------------------------------------------------------
// Formatter

constexpr size_t kStringPartLength = 64;

std::string Indent(int level) { return std::string(static_cast<size_t>(level) * 2, ' '); }

// The string in its quoted form, cut into parts of about kStringPartLength characters (never
// inside a UTF-8 sequence); one part for short strings.
std::vector<std::string> QuotedParts(const std::string& text) {
  std::vector<std::string> parts;
  std::string part;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    bool continuation = (c & 0xC0) == 0x80;
    if (!continuation && part.size() >= kStringPartLength) {
      if (quoted) part += '\'';
      parts.push_back(std::move(part));
      part.clear();
      quoted = false;
    }
    if (c < ' ' || c == 127) {
      if (quoted) part += '\'';
      quoted = false;
      part += "#" + std::to_string(c);
    } else {
      if (!quoted) part += '\'';
      quoted = true;
      part += c == '\'' ? std::string("''") : std::string(1, static_cast<char>(c));
    }
  }
  if (quoted) part += '\'';
  if (part.empty()) part = "''";
  parts.push_back(std::move(part));
  return parts;
}

std::string FloatText(double value) {
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, error == std::errc() ? end : buffer);
  if (text.find_first_of(".eEn") == std::string::npos) text += ".0";  // stays a float when read
  return text;
}

void AppendValue(std::string& out, const FormValue& value, int level);

void AppendString(std::string& out, const std::string& text, int level, bool ownLines) {
  std::vector<std::string> parts = QuotedParts(text);
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += " +";
    if (i > 0 || ownLines) out += "\n" + Indent(level);
    out += parts[i];
  }
}

void AppendProperties(std::string& out, const std::vector<FormProperty>& properties, int level) {
  for (const FormProperty& property : properties) {
    out += Indent(level) + property.name + " =";
    if (property.value.kind == FormValueKind::kString &&
        QuotedParts(property.value.text).size() > 1) {
      AppendString(out, property.value.text, level + 1, true);
    } else {
      out += ' ';
      AppendValue(out, property.value, level);
    }
    out += '\n';
  }
}

void AppendValue(std::string& out, const FormValue& value, int level) {
  switch (value.kind) {
    case FormValueKind::kInteger: out += std::to_string(value.integer); break;
    case FormValueKind::kFloat: out += FloatText(value.number); break;
    case FormValueKind::kString: AppendString(out, value.text, level, false); break;
    case FormValueKind::kIdentifier: out += value.text; break;
    case FormValueKind::kList:
      out += '(';
      for (const FormValue& element : value.list) {
        out += "\n" + Indent(level + 1);
        AppendValue(out, element, level + 1);
      }
      out += ')';
      break;
    case FormValueKind::kSet:
      out += '[';
      for (size_t i = 0; i < value.set.size(); ++i) {
        if (i > 0) out += ", ";
        out += value.set[i];
      }
      out += ']';
      break;
    case FormValueKind::kCollection:
      out += '<';
      for (const FormItem& item : value.items) {
        out += "\n" + Indent(level + 1) + "item\n";
        AppendProperties(out, item.properties, level + 2);
        out += Indent(level + 1) + "end";
      }
      out += '>';
      break;
    case FormValueKind::kBinary: {
      static const char kHex[] = "0123456789ABCDEF";
      out += '{';
      for (size_t i = 0; i < value.text.size(); ++i) {
        if (i % 32 == 0) out += "\n" + Indent(level + 1);
        unsigned char byte = static_cast<unsigned char>(value.text[i]);
        out += kHex[byte >> 4];
        out += kHex[byte & 15];
      }
      out += '}';
      break;
    }
  }
}

void AppendObject(std::string& out, const FormObject& object, int level) {
  out += Indent(level) + "object ";
  out += object.name.empty() ? object.className : object.name + ": " + object.className;
  out += '\n';
  AppendProperties(out, object.properties, level + 1);
  for (const FormObject& child : object.children) AppendObject(out, child, level + 1);
  out += Indent(level) + "end\n";
}

}  // namespace

FormObject ParseFormText(std::string_view text) { return Parser(text).ParseRoot(); }

std::string FormatFormText(const FormObject& root) {
  std::string out;
  AppendObject(out, root, 0);
  return out;
}

}  // namespace lumo

#include "jet/sql/JetSqlTokenizer.h"

#include <cctype>

#include "jet/sql/JetDateText.h"

namespace lumo::jet {

namespace {

bool IsNameStart(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }
bool IsNameChar(unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0x80; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return result;
}

class Tokenizer {
 public:
  explicit Tokenizer(std::string_view source) : source_(source) {}

  std::vector<Token> Run() {
    std::vector<Token> tokens;
    while (true) {
      SkipBlanks();
      if (pos_ >= source_.size()) break;
      tokens.push_back(Next());
    }
    Token end;
    end.begin = end.end = source_.size();
    tokens.push_back(end);
    return tokens;
  }

 private:
  void SkipBlanks() {
    while (pos_ < source_.size()) {
      unsigned char c = static_cast<unsigned char>(source_[pos_]);
      if (c == 0 || c > ' ') break;
      ++pos_;
    }
  }

  Token Make(TokenKind kind, size_t begin, std::string text) {
    Token token;
    token.kind = kind;
    token.begin = begin;
    token.end = pos_;
    token.text = std::move(text);
    return token;
  }

  Token Error(size_t begin, const char* message) {
    // An error swallows the rest of the text: nothing after it can be read reliably.
    pos_ = source_.size();
    return Make(TokenKind::kError, begin, message);
  }

  Token Next() {
    const size_t begin = pos_;
    const char c = source_[pos_];
    const unsigned char uc = static_cast<unsigned char>(c);
    if (IsNameStart(uc)) {
      while (pos_ < source_.size() && IsNameChar(static_cast<unsigned char>(source_[pos_]))) ++pos_;
      // The text functions have "$" forms (Left$, Mid$): the sign ends the name.
      if (pos_ < source_.size() && source_[pos_] == '$') ++pos_;
      Token token = Make(TokenKind::kWord, begin, std::string(source_.substr(begin, pos_ - begin)));
      token.upper = Upper(token.text);
      return token;
    }
    if (IsDigit(c) || (c == '.' && pos_ + 1 < source_.size() && IsDigit(source_[pos_ + 1]))) {
      return Number(begin);
    }
    switch (c) {
      case '\'':
      case '"': return String(begin, c);
      case '[': {
        size_t close = source_.find(']', pos_ + 1);
        if (close == std::string_view::npos) return Error(begin, syntax::kMissingParen);
        // Jet names hold no control characters (and SQLite's text ends at a zero byte).
        for (size_t i = begin + 1; i < close; ++i) {
          if (static_cast<unsigned char>(source_[i]) < ' ') return Error(begin, syntax::kGeneric);
        }
        pos_ = close + 1;
        return Make(TokenKind::kBracketName, begin, std::string(source_.substr(begin + 1, close - begin - 1)));
      }
      case '#': return Date(begin);
      case '{': return Guid(begin);
      case '@':
        if (source_.substr(pos_, 2) == "@@" && pos_ + 2 < source_.size() &&
            IsNameStart(static_cast<unsigned char>(source_[pos_ + 2]))) {
          pos_ += 2;
          while (pos_ < source_.size() && IsNameChar(static_cast<unsigned char>(source_[pos_]))) ++pos_;
          Token token = Make(TokenKind::kWord, begin, std::string(source_.substr(begin, pos_ - begin)));
          token.upper = Upper(token.text);
          return token;
        }
        return Error(begin, syntax::kGeneric);
      case '<':
        if (pos_ + 1 < source_.size() && (source_[pos_ + 1] == '>' || source_[pos_ + 1] == '=')) {
          pos_ += 2;
          return Make(TokenKind::kSymbol, begin, std::string(source_.substr(begin, 2)));
        }
        ++pos_;
        return Make(TokenKind::kSymbol, begin, "<");
      case '>':
        if (pos_ + 1 < source_.size() && source_[pos_ + 1] == '=') {
          pos_ += 2;
          return Make(TokenKind::kSymbol, begin, ">=");
        }
        ++pos_;
        return Make(TokenKind::kSymbol, begin, ">");
      case '(':
      case ')':
      case ',':
      case '.':
      case '!':
      case ';':
      case '=':
      case '+':
      case '-':
      case '*':
      case '/':
      case '\\':
      case '^':
      case '&': ++pos_; return Make(TokenKind::kSymbol, begin, std::string(1, c));
      default: return Error(begin, syntax::kGeneric);
    }
  }

  Token Number(size_t begin) {
    size_t end = pos_;
    while (end < source_.size() && IsDigit(source_[end])) ++end;
    std::string_view integer = source_.substr(pos_, end - pos_);
    std::string text(integer.empty() ? std::string_view("0") : integer);
    pos_ = end;
    if (pos_ < source_.size() && source_[pos_] == '.') {
      size_t fractionEnd = pos_ + 1;
      while (fractionEnd < source_.size() && IsDigit(source_[fractionEnd])) ++fractionEnd;
      std::string_view fraction = source_.substr(pos_ + 1, fractionEnd - pos_ - 1);
      text += '.';
      text += fraction.empty() ? std::string_view("0") : fraction;
      pos_ = fractionEnd;
    }
    if (pos_ < source_.size() && (source_[pos_] == 'e' || source_[pos_] == 'E')) {
      size_t look = pos_ + 1;
      std::string exponent = "e";
      if (look < source_.size() && (source_[look] == '+' || source_[look] == '-')) exponent += source_[look++];
      if (look >= source_.size() || !IsDigit(source_[look])) return Error(begin, syntax::kNumber);
      while (look < source_.size() && IsDigit(source_[look])) exponent += source_[look++];
      pos_ = look;
      text += exponent;
    }
    return Make(TokenKind::kNumber, begin, text);
  }

  Token String(size_t begin, char delimiter) {
    std::string value;
    ++pos_;
    while (true) {
      if (pos_ >= source_.size()) return Error(begin, syntax::kString);
      char c = source_[pos_++];
      if (c == delimiter) {
        if (pos_ < source_.size() && source_[pos_] == delimiter) {
          value += delimiter;
          ++pos_;
          continue;
        }
        break;
      }
      value += c;
    }
    return Make(TokenKind::kString, begin, std::move(value));
  }

  Token Date(size_t begin) {
    size_t close = source_.find('#', pos_ + 1);
    if (close == std::string_view::npos) return Error(begin, syntax::kDate);
    auto parts = ParseJetDateText(source_.substr(pos_ + 1, close - pos_ - 1));
    if (!parts) return Error(begin, syntax::kDate);
    pos_ = close + 1;
    return Make(TokenKind::kDate, begin, FormatStorageDate(*parts));
  }

  // {guid {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}}
  Token Guid(size_t begin) {
    size_t p = pos_ + 1;
    auto skip = [&] {
      while (p < source_.size() && static_cast<unsigned char>(source_[p]) <= ' ' && source_[p] != 0) ++p;
    };
    skip();
    if (Upper(source_.substr(p, 4)) != "GUID") return Error(begin, syntax::kGeneric);
    p += 4;
    skip();
    if (p >= source_.size() || source_[p] != '{') return Error(begin, syntax::kGeneric);
    size_t inner = source_.find('}', p);
    if (inner == std::string_view::npos) return Error(begin, syntax::kMissingParen);
    auto text = NormalizeGuidText(source_.substr(p, inner - p + 1));
    p = inner + 1;
    skip();
    if (p >= source_.size() || source_[p] != '}' || !text) return Error(begin, syntax::kGeneric);
    pos_ = p + 1;
    return Make(TokenKind::kGuid, begin, *text);
  }

  std::string_view source_;
  size_t pos_ = 0;
};

}  // namespace

std::vector<Token> TokenizeJetSql(std::string_view source) { return Tokenizer(source).Run(); }

}  // namespace lumo::jet

// The text, conversion and arithmetic functions of Jet SQL, registered as SQLite functions.
// Texts are handled as code points; Null arguments give Null.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "jet/sql/JetText.h"
#include "jet/sqlite/functions/JetSqlFunctionSupport.h"

namespace lumo::jet::fn {

namespace {

#define JET_NULL_IF_NULL(index) \
  if (IsNull(argv[index])) return sqlite3_result_null(context)

std::vector<char32_t> CodePoints(sqlite3_value* value) { return DecodeUtf8All(TextOf(value)); }

int64_t NonNegative(sqlite3_value* value) {
  int64_t n = IntegerOf(value);
  if (n < 0) Fail(kInvalidArgument);
  return n;
}

void LCase(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  ResultText(context, Utf8ToLower(TextOf(argv[0])));
}

void UCase(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  ResultText(context, Utf8ToUpper(TextOf(argv[0])));
}

void Left(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  JET_NULL_IF_NULL(1);
  const int64_t n = NonNegative(argv[1]);
  std::vector<char32_t> text = CodePoints(argv[0]);
  if (static_cast<uint64_t>(n) < text.size()) text.resize(static_cast<size_t>(n));
  ResultText(context, EncodeUtf8All(text));
}

void Right(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  JET_NULL_IF_NULL(1);
  const int64_t n = NonNegative(argv[1]);
  std::vector<char32_t> text = CodePoints(argv[0]);
  if (static_cast<uint64_t>(n) < text.size()) text.erase(text.begin(), text.end() - n);
  ResultText(context, EncodeUtf8All(text));
}

void Mid(sqlite3_context* context, int argc, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  JET_NULL_IF_NULL(1);
  const int64_t start = IntegerOf(argv[1]);
  if (start < 1) Fail(kInvalidArgument);
  int64_t length = INT64_MAX;
  if (argc > 2) {
    JET_NULL_IF_NULL(2);
    length = NonNegative(argv[2]);
  }
  std::vector<char32_t> text = CodePoints(argv[0]);
  std::vector<char32_t> result;
  for (uint64_t i = static_cast<uint64_t>(start - 1); i < text.size() && length > 0; ++i, --length) {
    result.push_back(text[i]);
  }
  ResultText(context, EncodeUtf8All(result));
}

// Compare: 0 binary; 1 (and Jet's default) text, without regard to case.
bool BinaryCompare(sqlite3_value* value) {
  if (IsNull(value)) return false;
  return IntegerOf(value) == 0;
}

std::vector<char32_t> Folded(std::vector<char32_t> text, bool binary) {
  if (!binary) {
    for (char32_t& c : text) c = FoldCase(c);
  }
  return text;
}

// InStr([start, ]text, sought[, compare])
void InStr(sqlite3_context* context, int argc, sqlite3_value** argv) {
  int64_t start = 1;
  int first = 0;
  bool binary = false;
  if (argc >= 3) {
    JET_NULL_IF_NULL(0);
    start = IntegerOf(argv[0]);
    if (start < 1) Fail(kInvalidArgument);
    first = 1;
    if (argc == 4) binary = BinaryCompare(argv[3]);
  }
  JET_NULL_IF_NULL(first);
  JET_NULL_IF_NULL(first + 1);
  const std::vector<char32_t> text = Folded(CodePoints(argv[first]), binary);
  const std::vector<char32_t> sought = Folded(CodePoints(argv[first + 1]), binary);
  if (static_cast<uint64_t>(start) > text.size() + (sought.empty() ? 1 : 0)) return sqlite3_result_int(context, 0);
  if (sought.empty()) return sqlite3_result_int64(context, start);
  for (size_t i = static_cast<size_t>(start - 1); i + sought.size() <= text.size(); ++i) {
    if (std::equal(sought.begin(), sought.end(), text.begin() + static_cast<std::ptrdiff_t>(i))) {
      return sqlite3_result_int64(context, static_cast<int64_t>(i + 1));
    }
  }
  sqlite3_result_int(context, 0);
}

// InStrRev(text, sought[, start[, compare]])
void InStrRev(sqlite3_context* context, int argc, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  JET_NULL_IF_NULL(1);
  int64_t start = -1;
  if (argc > 2) {
    JET_NULL_IF_NULL(2);
    start = IntegerOf(argv[2]);
    if (start == 0 || start < -1) Fail(kInvalidArgument);
  }
  const bool binary = argc > 3 && BinaryCompare(argv[3]);
  const std::vector<char32_t> text = Folded(CodePoints(argv[0]), binary);
  const std::vector<char32_t> sought = Folded(CodePoints(argv[1]), binary);
  const int64_t length = static_cast<int64_t>(text.size());
  if (start == -1) start = length;
  if (start > length) return sqlite3_result_int(context, 0);
  if (sought.empty()) return sqlite3_result_int64(context, start);
  const int64_t soughtLength = static_cast<int64_t>(sought.size());
  for (int64_t i = start - soughtLength; i >= 0; --i) {
    if (std::equal(sought.begin(), sought.end(), text.begin() + i)) return sqlite3_result_int64(context, i + 1);
  }
  sqlite3_result_int(context, 0);
}

constexpr int64_t kMaxGeneratedText = 100000000;

void Space(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  const int64_t n = NonNegative(argv[0]);
  if (n > kMaxGeneratedText) Fail(kInvalidArgument);
  ResultText(context, std::string(static_cast<size_t>(n), ' '));
}

// String(n, character): the character as text (its first one) or as a character code.
void StringOf(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  JET_NULL_IF_NULL(1);
  const int64_t n = NonNegative(argv[0]);
  if (n > kMaxGeneratedText) Fail(kInvalidArgument);
  char32_t c;
  if (sqlite3_value_type(argv[1]) == SQLITE_TEXT) {
    std::vector<char32_t> text = CodePoints(argv[1]);
    if (text.empty()) Fail(kInvalidArgument);
    c = text[0];
  } else {
    int64_t code = IntegerOf(argv[1]);
    if (code < 0 || code > 0x10FFFF) Fail(kInvalidArgument);
    c = static_cast<char32_t>(code);
  }
  std::string one;
  AppendUtf8(one, c);
  std::string result;
  result.reserve(one.size() * static_cast<size_t>(n));
  for (int64_t i = 0; i < n; ++i) result += one;
  ResultText(context, result);
}

void Asc(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  std::vector<char32_t> text = CodePoints(argv[0]);
  if (text.empty()) Fail(kInvalidArgument);
  sqlite3_result_int64(context, text[0] > 0x10FFFF ? text[0] - 0x110000 : text[0]);
}

void Chr(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  const int64_t code = IntegerOf(argv[0]);
  if (code < 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) Fail(kInvalidArgument);
  std::string text;
  AppendUtf8(text, static_cast<char32_t>(code));
  ResultText(context, text);
}

void StrComp(sqlite3_context* context, int argc, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  JET_NULL_IF_NULL(1);
  const bool binary = argc > 2 && BinaryCompare(argv[2]);
  const std::vector<char32_t> a = Folded(CodePoints(argv[0]), binary);
  const std::vector<char32_t> b = Folded(CodePoints(argv[1]), binary);
  sqlite3_result_int(context, a < b ? -1 : (b < a ? 1 : 0));
}

// Str: a number with a blank where the sign of a positive number would be.
void Str(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  Number number = NumberOf(argv[0]);
  std::string text = number.integer ? std::to_string(number.i) : NumberText(number.d);
  if (text[0] != '-') text = " " + text;
  ResultText(context, text);
}

// Val: the number at the start of a text, blanks ignored, &H and &O prefixes understood.
void Val(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) return ResultNumber(context, NumberOf(argv[0]));
  std::string compact;
  for (char c : TextOf(argv[0])) {
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') compact += c;
  }
  if (compact.size() > 2 && compact[0] == '&' &&
      (compact[1] == 'H' || compact[1] == 'h' || compact[1] == 'O' || compact[1] == 'o')) {
    const int base = (compact[1] == 'H' || compact[1] == 'h') ? 16 : 8;
    int64_t value = 0;
    for (size_t i = 2; i < compact.size() && i < 18; ++i) {
      const char c = compact[i];
      int digit = (c >= '0' && c <= '9')   ? c - '0'
                  : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                  : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                           : 99;
      if (digit >= base) break;
      value = value * base + digit;
    }
    return sqlite3_result_int64(context, value);
  }
  // The longest prefix that reads as a number.
  size_t end = 0;
  size_t pos = 0;
  if (pos < compact.size() && (compact[pos] == '+' || compact[pos] == '-')) ++pos;
  bool digits = false;
  while (pos < compact.size() && std::isdigit(static_cast<unsigned char>(compact[pos]))) ++pos, digits = true;
  if (digits) end = pos;
  if (pos < compact.size() && compact[pos] == '.') {
    ++pos;
    while (pos < compact.size() && std::isdigit(static_cast<unsigned char>(compact[pos]))) ++pos, digits = true;
    if (digits) end = pos;
  }
  if (digits && pos < compact.size() &&
      (compact[pos] == 'e' || compact[pos] == 'E' || compact[pos] == 'd' || compact[pos] == 'D')) {
    size_t look = pos + 1;
    if (look < compact.size() && (compact[look] == '+' || compact[look] == '-')) ++look;
    size_t expStart = look;
    while (look < compact.size() && std::isdigit(static_cast<unsigned char>(compact[look]))) ++look;
    if (look > expStart) {
      compact[pos] = 'e';
      end = look;
    }
  }
  if (end == 0) return sqlite3_result_int(context, 0);
  auto number = ParseNumberText(compact.substr(0, end));
  if (!number) return sqlite3_result_int(context, 0);
  if (!number->integer && std::isfinite(number->d) && number->d == std::trunc(number->d) &&
      std::fabs(number->d) < 9e15) {
    return sqlite3_result_int64(context, static_cast<int64_t>(number->d));
  }
  ResultNumber(context, *number);
}

// Hex and Oct show negative numbers in the two's complement of the smallest width that
// holds them (16 or 32 bits, then 64).
std::string InBase(int64_t value, int bitsPerDigit) {
  uint64_t bits;
  if (value >= 0) {
    bits = static_cast<uint64_t>(value);
  } else if (value >= -32768) {
    bits = static_cast<uint64_t>(value) & 0xFFFF;
  } else if (value >= INT32_MIN) {
    bits = static_cast<uint64_t>(value) & 0xFFFFFFFF;
  } else {
    bits = static_cast<uint64_t>(value);
  }
  const char* digits = "0123456789ABCDEF";
  const uint64_t mask = (1u << bitsPerDigit) - 1;
  std::string text;
  do {
    text.insert(text.begin(), digits[bits & mask]);
    bits >>= bitsPerDigit;
  } while (bits != 0);
  return text;
}

void Hex(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  ResultText(context, InBase(IntegerOf(argv[0]), 4));
}

void Oct(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  ResultText(context, InBase(IntegerOf(argv[0]), 3));
}

void Format(sqlite3_context* context, int argc, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  std::string format = argc > 1 && !IsNull(argv[1]) ? TextOf(argv[1]) : std::string();
  ResultText(context, FormatValue(argv[0], format));
}

// Replace(text, find, replacement[, start[, count[, compare]]]): the result begins at start.
void Replace(sqlite3_context* context, int argc, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  JET_NULL_IF_NULL(1);
  JET_NULL_IF_NULL(2);
  int64_t start = 1;
  int64_t count = -1;
  if (argc > 3 && !IsNull(argv[3])) start = IntegerOf(argv[3]);
  if (argc > 4 && !IsNull(argv[4])) count = IntegerOf(argv[4]);
  const bool binary = argc <= 5 || IsNull(argv[5]) || IntegerOf(argv[5]) == 0;
  if (start < 1 || count < -1) Fail(kInvalidArgument);
  std::vector<char32_t> text = CodePoints(argv[0]);
  if (static_cast<uint64_t>(start) > text.size()) return ResultText(context, "");
  text.erase(text.begin(), text.begin() + (start - 1));
  const std::vector<char32_t> find = CodePoints(argv[1]);
  const std::vector<char32_t> replacement = CodePoints(argv[2]);
  if (find.empty() || count == 0) return ResultText(context, EncodeUtf8All(text));
  const std::vector<char32_t> foldedText = Folded(text, binary);
  const std::vector<char32_t> foldedFind = Folded(find, binary);
  std::vector<char32_t> result;
  size_t i = 0;
  while (i < text.size()) {
    if (count != 0 && i + find.size() <= text.size() &&
        std::equal(foldedFind.begin(), foldedFind.end(), foldedText.begin() + static_cast<std::ptrdiff_t>(i))) {
      result.insert(result.end(), replacement.begin(), replacement.end());
      i += find.size();
      if (count > 0) --count;
      continue;
    }
    result.push_back(text[i++]);
  }
  ResultText(context, EncodeUtf8All(result));
}

void StrReverse(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  std::vector<char32_t> text = CodePoints(argv[0]);
  std::reverse(text.begin(), text.end());
  ResultText(context, EncodeUtf8All(text));
}

// --- conversions ------------------------------------------------------------------------------

void CBool(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
    std::string upper = Utf8ToUpper(TextOf(argv[0]));
    if (upper == "TRUE") return ResultTruth(context, true);
    if (upper == "FALSE") return ResultTruth(context, false);
  }
  ResultTruth(context, DoubleOf(argv[0]) != 0);
}

void IntegerInRange(sqlite3_context* context, sqlite3_value* value, int64_t low, int64_t high) {
  const int64_t n = IntegerOf(value);
  if (n < low || n > high) Fail(kOverflow);
  sqlite3_result_int64(context, n);
}

void CByte(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  IntegerInRange(context, argv[0], 0, 255);
}

void CInt(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  IntegerInRange(context, argv[0], -32768, 32767);
}

void CLng(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  IntegerInRange(context, argv[0], INT32_MIN, INT32_MAX);
}

void CDbl(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  ResultNumber(context, Number::Of(DoubleOf(argv[0])));
}

// A Single has about seven significant digits; the result shows no more.
void CSng(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  const double value = DoubleOf(argv[0]);
  if (std::fabs(value) > 3.402823466e38) Fail(kOverflow);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.7g", value);
  ResultNumber(context, Number::Of(std::strtod(buffer, nullptr)));
}

void CStr(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  ResultText(context, TextOf(argv[0]));
}

void IsNumeric(sqlite3_context* context, int, sqlite3_value** argv) {
  switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: return ResultTruth(context, true);
    case SQLITE_TEXT: return ResultTruth(context, ParseNumberText(TextOf(argv[0])).has_value());
    default: return ResultTruth(context, false);
  }
}

// --- arithmetic -------------------------------------------------------------------------------

void Abs(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  Number number = NumberOf(argv[0]);
  if (number.integer && number.i != INT64_MIN)
    return sqlite3_result_int64(context, number.i < 0 ? -number.i : number.i);
  ResultNumber(context, Number::Of(std::fabs(number.AsDouble())));
}

void Rounded(sqlite3_context* context, sqlite3_value* value, double (*round)(double)) {
  Number number = NumberOf(value);
  if (number.integer) return sqlite3_result_int64(context, number.i);
  ResultNumber(context, Number::Of(round(number.d)));
}

void Int(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  Rounded(context, argv[0], [](double x) { return std::floor(x); });
}

void Fix(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  Rounded(context, argv[0], [](double x) { return std::trunc(x); });
}

void Sgn(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  const double x = DoubleOf(argv[0]);
  sqlite3_result_int(context, x > 0 ? 1 : (x < 0 ? -1 : 0));
}

void MathResult(sqlite3_context* context, double result) {
  if (std::isnan(result)) Fail(kInvalidArgument);
  if (std::isinf(result)) Fail(kOverflow);
  sqlite3_result_double(context, result);
}

void Sqr(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  const double x = DoubleOf(argv[0]);
  if (x < 0) Fail(kInvalidArgument);
  MathResult(context, std::sqrt(x));
}

void Exp(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  MathResult(context, std::exp(DoubleOf(argv[0])));
}

void Log(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  const double x = DoubleOf(argv[0]);
  if (x <= 0) Fail(kInvalidArgument);
  MathResult(context, std::log(x));
}

void Sin(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  MathResult(context, std::sin(DoubleOf(argv[0])));
}

void Cos(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  MathResult(context, std::cos(DoubleOf(argv[0])));
}

void Tan(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  MathResult(context, std::tan(DoubleOf(argv[0])));
}

void Atn(sqlite3_context* context, int, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  MathResult(context, std::atan(DoubleOf(argv[0])));
}

void Rnd(sqlite3_context* context, int, sqlite3_value**) {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  sqlite3_result_double(context, std::uniform_real_distribution<double>(0.0, 1.0)(generator));
}

// Round(x[, places]): half to even, as the expression service rounds.
void Round(sqlite3_context* context, int argc, sqlite3_value** argv) {
  JET_NULL_IF_NULL(0);
  int64_t places = 0;
  if (argc > 1) {
    JET_NULL_IF_NULL(1);
    places = IntegerOf(argv[1]);
    if (places < 0 || places > 22) Fail(kInvalidArgument);
  }
  Number number = NumberOf(argv[0]);
  if (number.integer) return sqlite3_result_int64(context, number.i);
  const double scale = std::pow(10.0, static_cast<double>(places));
  const double scaled = number.d * scale;
  if (!std::isfinite(scaled) || std::fabs(scaled) >= 9e18) return ResultNumber(context, number);
  const double rounded = std::nearbyint(scaled) / scale;
  if (places == 0) return sqlite3_result_int64(context, static_cast<int64_t>(rounded));
  ResultNumber(context, Number::Of(rounded));
}

#undef JET_NULL_IF_NULL

constexpr FunctionEntry kEntries[] = {
    {"jet_lcase", 1, true, Guarded<LCase>},
    {"jet_ucase", 1, true, Guarded<UCase>},
    {"jet_left", 2, true, Guarded<Left>},
    {"jet_right", 2, true, Guarded<Right>},
    {"jet_mid", -1, true, Guarded<Mid>},
    {"jet_instr", -1, true, Guarded<InStr>},
    {"jet_instrrev", -1, true, Guarded<InStrRev>},
    {"jet_space", 1, true, Guarded<Space>},
    {"jet_string", 2, true, Guarded<StringOf>},
    {"jet_asc", 1, true, Guarded<Asc>},
    {"jet_chr", 1, true, Guarded<Chr>},
    {"jet_strcomp", -1, true, Guarded<StrComp>},
    {"jet_str", 1, true, Guarded<Str>},
    {"jet_val", 1, true, Guarded<Val>},
    {"jet_hex", 1, true, Guarded<Hex>},
    {"jet_oct", 1, true, Guarded<Oct>},
    {"jet_format", -1, true, Guarded<Format>},
    {"jet_replace", -1, true, Guarded<Replace>},
    {"jet_strreverse", 1, true, Guarded<StrReverse>},
    {"jet_cbool", 1, true, Guarded<CBool>},
    {"jet_cbyte", 1, true, Guarded<CByte>},
    {"jet_cdbl", 1, true, Guarded<CDbl>},
    {"jet_cint", 1, true, Guarded<CInt>},
    {"jet_clng", 1, true, Guarded<CLng>},
    {"jet_csng", 1, true, Guarded<CSng>},
    {"jet_cstr", 1, true, Guarded<CStr>},
    {"jet_isnumeric", 1, true, Guarded<IsNumeric>},
    {"jet_abs", 1, true, Guarded<Abs>},
    {"jet_int", 1, true, Guarded<Int>},
    {"jet_fix", 1, true, Guarded<Fix>},
    {"jet_sgn", 1, true, Guarded<Sgn>},
    {"jet_sqr", 1, true, Guarded<Sqr>},
    {"jet_exp", 1, true, Guarded<Exp>},
    {"jet_log", 1, true, Guarded<Log>},
    {"jet_sin", 1, true, Guarded<Sin>},
    {"jet_cos", 1, true, Guarded<Cos>},
    {"jet_tan", 1, true, Guarded<Tan>},
    {"jet_atn", 1, true, Guarded<Atn>},
    {"jet_rnd", -1, false, Guarded<Rnd>},
    {"jet_round", -1, true, Guarded<Round>},
};

}  // namespace

int RegisterTextFunctions(sqlite3* db) { return RegisterEntries(db, kEntries, std::size(kEntries)); }

}  // namespace lumo::jet::fn

#include "jet/odbc/OdbcFunctions.h"

#include <algorithm>
#include <functional>
#include <map>

#include "jet/JetTypes.h"
#include "jet/sql/JetText.h"

namespace lumo::jet::odbc {

using storage::SqlOperand;

namespace {

bool IsTextType(int type) { return type == dbText || type == dbMemo || type == dbChar; }

std::string Quoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

// The value of an operand written as a text literal ('...'), or nullopt.
std::optional<std::string> LiteralText(const SqlOperand& operand) {
  const std::string& t = operand.text;
  if (t.size() < 2 || t.front() != '\'' || t.back() != '\'') return std::nullopt;
  std::string value;
  for (size_t i = 1; i + 1 < t.size(); ++i) {
    if (t[i] == '\'') {
      if (t[i + 1] != '\'') return std::nullopt;  // two literals joined: not one
      ++i;
    }
    value += t[i];
  }
  return value;
}

// The value of an operand written as an integer literal, or nullopt.
std::optional<long long> LiteralInteger(const SqlOperand& operand) {
  std::string t = operand.text;
  t.erase(std::remove(t.begin(), t.end(), ' '), t.end());
  while (t.size() > 2 && t.front() == '(' && t.back() == ')') t = t.substr(1, t.size() - 2);
  if (t.empty()) return std::nullopt;
  size_t i = t[0] == '-' ? 1 : 0;
  if (i == t.size() || t.size() - i > 18) return std::nullopt;
  for (size_t k = i; k < t.size(); ++k) {
    if (t[k] < '0' || t[k] > '9') return std::nullopt;
  }
  return std::stoll(t);
}

// The operand as the server's text, timestamp, number or integer.
std::string Text(const SqlOperand& operand) {
  if (operand.storedBoolean) return "CAST(-CAST(" + operand.text + " AS integer) AS text)";
  if (IsTextType(operand.daoType)) return operand.text;
  return "CAST(" + operand.text + " AS text)";
}

std::string Stamp(const SqlOperand& operand) { return "CAST(" + operand.text + " AS timestamp)"; }

std::string Number(const SqlOperand& operand) {
  if (operand.storedBoolean) return "(-CAST(" + operand.text + " AS integer))";
  return "(" + operand.text + ")";
}

// Jet rounds to a whole number half to even, as the server's conversion of a double does.
std::string Whole(const SqlOperand& operand, const char* type = "integer") {
  if (LiteralInteger(operand)) return operand.text;
  return "CAST(CAST(" + Number(operand) + " AS double precision) AS " + type + ")";
}

std::string Double(const SqlOperand& operand) { return "CAST(" + Number(operand) + " AS double precision)"; }

std::string Extract(const char* field, const std::string& stamp) {
  return "CAST(EXTRACT(" + std::string(field) + " FROM " + stamp + ") AS integer)";
}

// Interval names of DateAdd, DateDiff and DatePart, lower case.
std::optional<std::string> IntervalName(const SqlOperand& operand) {
  auto text = LiteralText(operand);
  if (!text) return std::nullopt;
  return Utf8ToLower(*text);
}

std::optional<std::string> DateAdd(const std::string& interval, const SqlOperand& count, const SqlOperand& date) {
  static const std::map<std::string, std::pair<int, const char*>> kUnits = {
      {"yyyy", {1, "year"}}, {"q", {3, "month"}}, {"m", {1, "month"}}, {"y", {1, "day"}},    {"d", {1, "day"}},
      {"w", {1, "day"}},     {"ww", {7, "day"}},  {"h", {1, "hour"}},  {"n", {1, "minute"}}, {"s", {1, "second"}},
  };
  auto unit = kUnits.find(interval);
  if (unit == kUnits.end()) return std::nullopt;
  std::string amount = Whole(count);
  if (unit->second.first != 1) amount = "(" + amount + ") * " + std::to_string(unit->second.first);
  return "(" + Stamp(date) + " + " + amount + " * INTERVAL '1 " + unit->second.second + "')";
}

// The first day of the Sunday-based week a date lies in.
std::string WeekStart(const std::string& stamp) {
  return "(CAST(" + stamp + " AS date) - " + Extract("DOW", stamp) + ")";
}

std::optional<std::string> DateDiff(const std::string& interval, const SqlOperand& from, const SqlOperand& to) {
  const std::string a = Stamp(from);
  const std::string b = Stamp(to);
  auto months = [](const std::string& s) { return Extract("YEAR", s) + " * 12 + " + Extract("MONTH", s); };
  auto quarters = [](const std::string& s) { return Extract("YEAR", s) + " * 4 + " + Extract("QUARTER", s); };
  auto seconds = [&](const char* unit, int size) {
    return "CAST(EXTRACT(EPOCH FROM date_trunc('" + std::string(unit) + "', " + b + ") - date_trunc('" + unit + "', " +
           a + ")) / " + std::to_string(size) + " AS bigint)";
  };
  if (interval == "yyyy") return "(" + Extract("YEAR", b) + " - " + Extract("YEAR", a) + ")";
  if (interval == "q") return "((" + quarters(b) + ") - (" + quarters(a) + "))";
  if (interval == "m") return "((" + months(b) + ") - (" + months(a) + "))";
  if (interval == "d" || interval == "y") return "(CAST(" + b + " AS date) - CAST(" + a + " AS date))";
  if (interval == "w") return "((CAST(" + b + " AS date) - CAST(" + a + " AS date)) / 7)";
  if (interval == "ww") return "((" + WeekStart(b) + " - " + WeekStart(a) + ") / 7)";
  if (interval == "h") return seconds("hour", 3600);
  if (interval == "n") return seconds("minute", 60);
  if (interval == "s") return seconds("second", 1);
  return std::nullopt;
}

std::optional<std::string> DatePart(const std::string& interval, const SqlOperand& date) {
  const std::string d = Stamp(date);
  if (interval == "yyyy") return Extract("YEAR", d);
  if (interval == "q") return Extract("QUARTER", d);
  if (interval == "m") return Extract("MONTH", d);
  if (interval == "y") return Extract("DOY", d);
  if (interval == "d") return Extract("DAY", d);
  if (interval == "w") return "(" + Extract("DOW", d) + " + 1)";
  // Week 1 holds the 1st of January; weeks begin on Sunday.
  if (interval == "ww") {
    return "((" + Extract("DOY", d) + " + " + Extract("DOW", "date_trunc('year', " + d + ")") + " - 1) / 7 + 1)";
  }
  if (interval == "h") return Extract("HOUR", d);
  if (interval == "n") return Extract("MINUTE", d);
  if (interval == "s") return "CAST(floor(EXTRACT(SECOND FROM " + d + ")) AS integer)";
  return std::nullopt;
}

// InStr and StrComp compare as text (case ignored) unless their compare argument is 0.
std::optional<bool> BinaryCompare(const SqlOperand* compare) {
  if (compare == nullptr) return false;
  auto value = LiteralInteger(*compare);
  if (!value) return std::nullopt;
  return *value == 0;
}

std::string Folded(const std::string& text, bool binary) { return binary ? text : "lower(" + text + ")"; }

// A Like pattern that only the running statement knows (a parameter, a column): turned into
// a regular expression by the server. The characters the expression language gives a meaning
// are escaped, then Jet's wildcards become the language's own; inside a [...] list the
// wildcards keep their meaning there too (a small difference from Jet's "[*]", which takes
// the star alone).
std::string RuntimeLikeRegex(const std::string& pattern) {
  std::string p = "regexp_replace(" + pattern + ", '([.^$+(){}|\\\\])', '\\\\\\1', 'g')";
  p = "regexp_replace(" + p + ", '\\*', '.*', 'g')";
  p = "regexp_replace(" + p + ", '\\?', '.', 'g')";
  p = "regexp_replace(" + p + ", '#', '[0-9]', 'g')";
  p = "regexp_replace(" + p + ", '\\[!', '[^', 'g')";
  return "('^(?:' || " + p + " || ')$')";
}

std::string Like(const SqlOperand& text, const SqlOperand& pattern) {
  if (auto literal = LiteralText(pattern)) {
    if (auto regex = PostgresLikeRegex(*literal)) return "(" + Text(text) + " ~* " + Quoted(*regex) + ")";
  }
  return "(" + Text(text) + " ~* " + RuntimeLikeRegex(Text(pattern)) + ")";
}

std::optional<std::string> Format(const std::vector<SqlOperand>& a) {
  if (a.size() != 2) return std::nullopt;
  auto format = LiteralText(a[1]);
  if (!format) return std::nullopt;
  if (auto number = PostgresNumberFormat(*format)) return "to_char(" + Number(a[0]) + ", " + Quoted(*number) + ")";
  if (auto date = PostgresDateFormat(*format)) return "to_char(" + Stamp(a[0]) + ", " + Quoted(*date) + ")";
  return std::nullopt;
}

std::optional<std::string> InStr(const std::vector<SqlOperand>& a) {
  if (a.size() == 2) return "strpos(lower(" + Text(a[0]) + "), lower(" + Text(a[1]) + "))";
  auto binary = BinaryCompare(a.size() == 4 ? &a[3] : nullptr);
  if (!binary) return std::nullopt;
  const std::string start = Whole(a[0]);
  const std::string found = "strpos(" + Folded("substr(" + Text(a[1]) + ", " + start + ")", *binary) + ", " +
                            Folded(Text(a[2]), *binary) + ")";
  return "(CASE WHEN " + found + " > 0 THEN " + found + " + " + start + " - 1 ELSE 0 END)";
}

std::optional<std::string> StrComp(const std::vector<SqlOperand>& a) {
  auto binary = BinaryCompare(a.size() == 3 ? &a[2] : nullptr);
  if (!binary) return std::nullopt;
  const std::string x = Folded(Text(a[0]), *binary);
  const std::string y = Folded(Text(a[1]), *binary);
  // Code point order, as the engine's own comparison.
  const std::string c = *binary ? "" : " COLLATE \"C\"";
  return "(CASE WHEN " + x + c + " < " + y + " THEN -1 WHEN " + x + c + " > " + y + " THEN 1 WHEN " + x + " = " + y +
         " THEN 0 END)";
}

// Two values of one type for LEAST and GREATEST: dates as timestamps (a date parameter may
// arrive as text).
std::string Pair(const std::vector<SqlOperand>& a) {
  if (a[0].daoType == dbDate || a[1].daoType == dbDate) return Stamp(a[0]) + ", " + Stamp(a[1]);
  return a[0].text + ", " + a[1].text;
}

// A name shortened to three letters when the argument at `index` is given and not 0.
std::string Abbreviated(const std::vector<SqlOperand>& a, size_t index, const std::string& name) {
  if (a.size() <= index) return name;
  if (auto value = LiteralInteger(a[index])) return *value == 0 ? name : "left(" + name + ", 3)";
  return "(CASE WHEN " + Whole(a[index]) + " <> 0 THEN left(" + name + ", 3) ELSE " + name + " END)";
}

using Form = std::function<std::optional<std::string>(const std::vector<SqlOperand>&)>;

const std::map<std::string, Form, std::less<>>& Forms() {
  using A = std::vector<SqlOperand>;
  static const std::map<std::string, Form, std::less<>> kForms = {
      // Operators.
      {"jet_concat",
       [](const A& a) {
         // One Null counts as "", both Null give Null.
         return "COALESCE(" + Text(a[0]) + " || COALESCE(" + Text(a[1]) + ", ''), " + Text(a[1]) + ")";
       }},
      {"jet_add",
       [](const A& a) -> std::optional<std::string> {
         if (IsTextType(a[0].daoType) || IsTextType(a[1].daoType)) return "(" + Text(a[0]) + " || " + Text(a[1]) + ")";
         if (a[0].daoType == dbDate && a[1].daoType != dbDate) {
           return "(" + Stamp(a[0]) + " + " + Number(a[1]) + " * INTERVAL '1 day')";
         }
         if (a[1].daoType == dbDate && a[0].daoType != dbDate) {
           return "(" + Stamp(a[1]) + " + " + Number(a[0]) + " * INTERVAL '1 day')";
         }
         return "(" + Number(a[0]) + " + " + Number(a[1]) + ")";
       }},
      {"jet_sub",
       [](const A& a) -> std::optional<std::string> {
         if (a[0].daoType == dbDate && a[1].daoType == dbDate) {
           return "(EXTRACT(EPOCH FROM " + Stamp(a[0]) + " - " + Stamp(a[1]) + ") / 86400)";
         }
         if (a[0].daoType == dbDate) return "(" + Stamp(a[0]) + " - " + Number(a[1]) + " * INTERVAL '1 day')";
         return "(" + Number(a[0]) + " - " + Number(a[1]) + ")";
       }},
      {"jet_mul", [](const A& a) { return "(" + Number(a[0]) + " * " + Number(a[1]) + ")"; }},
      {"jet_div", [](const A& a) { return "(" + Double(a[0]) + " / " + Number(a[1]) + ")"; }},
      {"jet_idiv", [](const A& a) { return "(" + Whole(a[0], "bigint") + " / " + Whole(a[1], "bigint") + ")"; }},
      {"jet_mod", [](const A& a) { return "(" + Whole(a[0], "bigint") + " % " + Whole(a[1], "bigint") + ")"; }},
      {"jet_pow", [](const A& a) { return "power(" + Double(a[0]) + ", " + Number(a[1]) + ")"; }},
      {"jet_neg", [](const A& a) { return "(-" + Number(a[0]) + ")"; }},
      {"jet_not",
       [](const A& a) {
         if (a[0].storedBoolean) return "(-CAST(NOT " + a[0].text + " AS integer))";
         return "(~" + Whole(a[0], "bigint") + ")";
       }},
      // The logical operators work bit by bit on numbers, True being -1.
      {"jet_and", [](const A& a) { return "(" + Whole(a[0], "bigint") + " & " + Whole(a[1], "bigint") + ")"; }},
      {"jet_or", [](const A& a) { return "(" + Whole(a[0], "bigint") + " | " + Whole(a[1], "bigint") + ")"; }},
      {"jet_xor", [](const A& a) { return "(" + Whole(a[0], "bigint") + " # " + Whole(a[1], "bigint") + ")"; }},
      {"jet_eqv", [](const A& a) { return "(~(" + Whole(a[0], "bigint") + " # " + Whole(a[1], "bigint") + "))"; }},
      {"jet_imp", [](const A& a) { return "(~" + Whole(a[0], "bigint") + " | " + Whole(a[1], "bigint") + ")"; }},
      {"jet_like", [](const A& a) { return Like(a[0], a[1]); }},
      {"jet_identity", [](const A&) { return std::string("lastval()"); }},
      // Dates compared: the server keeps them as timestamps, in one form.
      {"jet_datekey", [](const A& a) { return a[0].text; }},
      {"jet_date_day", [](const A& a) { return "date_trunc('day', " + Stamp(a[0]) + ")"; }},
      {"jet_date_nextday",
       [](const A& a) { return "(date_trunc('day', " + Stamp(a[0]) + ") + INTERVAL '1 day')"; }},
      // Currency: numeric(19,4) is exact already.
      {"jet_cur", [](const A& a) { return "round(CAST(" + a[0].text + " AS numeric), 4)"; }},
      {"jet_cur_add", [](const A& a) { return "(" + Number(a[0]) + " + " + Number(a[1]) + ")"; }},
      {"jet_cur_sub", [](const A& a) { return "(" + Number(a[0]) + " - " + Number(a[1]) + ")"; }},
      {"jet_cur_mul",
       [](const A& a) { return "round(CAST(" + Number(a[0]) + " AS numeric) * " + Number(a[1]) + ", 4)"; }},
      {"jet_cur_sum", [](const A& a) { return "sum(" + a[0].text + ")"; }},
      {"jet_cur_avg", [](const A& a) { return "round(avg(" + a[0].text + "), 4)"; }},
      // Two values (the bounds of a Between known only when the statement runs).
      {"min", [](const A& a) { return a.size() == 2 ? "LEAST(" + Pair(a) + ")" : "min(" + a[0].text + ")"; }},
      {"max", [](const A& a) { return a.size() == 2 ? "GREATEST(" + Pair(a) + ")" : "max(" + a[0].text + ")"; }},
      // Aggregates.
      {"count", [](const A& a) { return "count(" + a[0].text + ")"; }},
      {"sum", [](const A& a) { return "sum(" + Number(a[0]) + ")"; }},
      {"avg", [](const A& a) { return "CAST(avg(" + Number(a[0]) + ") AS double precision)"; }},
      {"jet_first", [](const A& a) { return "(array_agg(" + a[0].text + "))[1]"; }},
      {"jet_last", [](const A& a) { return "(array_agg(" + a[0].text + "))[count(*)]"; }},
      {"jet_stdev", [](const A& a) { return "stddev_samp(" + Double(a[0]) + ")"; }},
      {"jet_stdevp", [](const A& a) { return "stddev_pop(" + Double(a[0]) + ")"; }},
      {"jet_var", [](const A& a) { return "var_samp(" + Double(a[0]) + ")"; }},
      {"jet_varp", [](const A& a) { return "var_pop(" + Double(a[0]) + ")"; }},
      // Text.
      {"jet_lcase", [](const A& a) { return "lower(" + Text(a[0]) + ")"; }},
      {"jet_ucase", [](const A& a) { return "upper(" + Text(a[0]) + ")"; }},
      {"length", [](const A& a) { return "length(" + Text(a[0]) + ")"; }},
      {"jet_left", [](const A& a) { return "left(" + Text(a[0]) + ", " + Whole(a[1]) + ")"; }},
      {"jet_right", [](const A& a) { return "right(" + Text(a[0]) + ", " + Whole(a[1]) + ")"; }},
      {"jet_mid",
       [](const A& a) {
         return a.size() == 2 ? "substr(" + Text(a[0]) + ", " + Whole(a[1]) + ")"
                              : "substr(" + Text(a[0]) + ", " + Whole(a[1]) + ", " + Whole(a[2]) + ")";
       }},
      // Jet trims blanks only, as the server's trim does by default.
      {"trim", [](const A& a) { return "trim(" + Text(a[0]) + ")"; }},
      {"ltrim", [](const A& a) { return "ltrim(" + Text(a[0]) + ")"; }},
      {"rtrim", [](const A& a) { return "rtrim(" + Text(a[0]) + ")"; }},
      {"jet_instr", InStr},
      {"jet_space", [](const A& a) { return "repeat(' ', " + Whole(a[0]) + ")"; }},
      {"jet_string",
       [](const A& a) {
         const std::string c = IsTextType(a[1].daoType) || LiteralText(a[1]) ? "left(" + Text(a[1]) + ", 1)"
                                                                               : "chr(" + Whole(a[1]) + ")";
         return "repeat(" + c + ", " + Whole(a[0]) + ")";
       }},
      {"jet_asc", [](const A& a) { return "ascii(" + Text(a[0]) + ")"; }},
      {"jet_chr", [](const A& a) { return "chr(" + Whole(a[0]) + ")"; }},
      {"jet_strcomp", StrComp},
      {"jet_str",
       [](const A& a) {
         const std::string n = Number(a[0]);
         return "(CASE WHEN " + n + " >= 0 THEN ' ' || CAST(" + n + " AS text) ELSE CAST(" + n + " AS text) END)";
       }},
      {"jet_hex", [](const A& a) { return "upper(to_hex(" + Whole(a[0]) + "))"; }},
      {"jet_format", Format},
      {"jet_replace",
       [](const A& a) -> std::optional<std::string> {
         if (a.size() != 3) return std::nullopt;
         return "replace(" + Text(a[0]) + ", " + Text(a[1]) + ", " + Text(a[2]) + ")";
       }},
      {"jet_strreverse", [](const A& a) { return "reverse(" + Text(a[0]) + ")"; }},
      // Dates and times. Now, Date and Time read the clock, not the transaction's start.
      {"jet_now", [](const A&) { return std::string("date_trunc('second', CAST(clock_timestamp() AS timestamp))"); }},
      {"jet_date", [](const A&) { return std::string("date_trunc('day', CAST(clock_timestamp() AS timestamp))"); }},
      {"jet_time",
       [](const A&) {
         return std::string("(DATE '1899-12-30' + CAST(date_trunc('second', CAST(clock_timestamp() AS timestamp)) AS "
                            "time))");
       }},
      {"jet_year", [](const A& a) { return Extract("YEAR", Stamp(a[0])); }},
      {"jet_month", [](const A& a) { return Extract("MONTH", Stamp(a[0])); }},
      {"jet_day", [](const A& a) { return Extract("DAY", Stamp(a[0])); }},
      {"jet_hour", [](const A& a) { return Extract("HOUR", Stamp(a[0])); }},
      {"jet_minute", [](const A& a) { return Extract("MINUTE", Stamp(a[0])); }},
      {"jet_second", [](const A& a) { return "CAST(floor(EXTRACT(SECOND FROM " + Stamp(a[0]) + ")) AS integer)"; }},
      {"jet_weekday",
       [](const A& a) {
         if (a.size() == 1) return "(" + Extract("DOW", Stamp(a[0])) + " + 1)";
         return "((" + Extract("DOW", Stamp(a[0])) + " + 8 - " + Whole(a[1]) + ") % 7 + 1)";
       }},
      {"jet_dateadd",
       [](const A& a) -> std::optional<std::string> {
         auto interval = IntervalName(a[0]);
         return interval ? DateAdd(*interval, a[1], a[2]) : std::nullopt;
       }},
      {"jet_datediff",
       [](const A& a) -> std::optional<std::string> {
         auto interval = IntervalName(a[0]);
         if (!interval || a.size() > 3) return std::nullopt;
         return DateDiff(*interval, a[1], a[2]);
       }},
      {"jet_datepart",
       [](const A& a) -> std::optional<std::string> {
         auto interval = IntervalName(a[0]);
         if (!interval || a.size() > 2) return std::nullopt;
         return DatePart(*interval, a[1]);
       }},
      {"jet_dateserial",
       [](const A& a) {
         return "(make_timestamp(" + Whole(a[0]) + ", 1, 1, 0, 0, 0) + (" + Whole(a[1]) + " - 1) * INTERVAL '1 month' + (" +
                Whole(a[2]) + " - 1) * INTERVAL '1 day')";
       }},
      {"jet_timeserial",
       [](const A& a) {
         return "(TIMESTAMP '1899-12-30 00:00:00' + " + Whole(a[0]) + " * INTERVAL '1 hour' + " + Whole(a[1]) +
                " * INTERVAL '1 minute' + " + Whole(a[2]) + " * INTERVAL '1 second')";
       }},
      {"jet_datevalue", [](const A& a) { return "date_trunc('day', " + Stamp(a[0]) + ")"; }},
      {"jet_timevalue", [](const A& a) { return "(DATE '1899-12-30' + CAST(" + Stamp(a[0]) + " AS time))"; }},
      {"jet_cdate", [](const A& a) { return Stamp(a[0]); }},
      // Conversions: whole numbers rounded half to even, as Jet rounds them.
      {"jet_cbool", [](const A& a) { return "(-CAST(" + Number(a[0]) + " <> 0 AS integer))"; }},
      {"jet_cbyte", [](const A& a) { return Whole(a[0], "smallint"); }},
      {"jet_cint", [](const A& a) { return Whole(a[0], "smallint"); }},
      {"jet_clng", [](const A& a) { return Whole(a[0], "integer"); }},
      {"jet_ccur", [](const A& a) { return "round(CAST(" + Number(a[0]) + " AS numeric), 4)"; }},
      {"jet_cdbl", [](const A& a) { return Double(a[0]); }},
      {"jet_csng", [](const A& a) { return "CAST(" + Number(a[0]) + " AS real)"; }},
      {"jet_cstr", [](const A& a) { return Text(a[0]); }},
      // Arithmetic.
      {"jet_abs", [](const A& a) { return "abs" + Number(a[0]); }},
      {"jet_int", [](const A& a) { return "floor" + Number(a[0]); }},
      {"jet_fix", [](const A& a) { return "trunc" + Number(a[0]); }},
      {"jet_sgn", [](const A& a) { return "CAST(sign" + Number(a[0]) + " AS integer)"; }},
      {"jet_sqr", [](const A& a) { return "sqrt(" + Double(a[0]) + ")"; }},
      {"jet_exp", [](const A& a) { return "exp(" + Double(a[0]) + ")"; }},
      {"jet_log", [](const A& a) { return "ln(" + Double(a[0]) + ")"; }},
      {"jet_sin", [](const A& a) { return "sin(" + Double(a[0]) + ")"; }},
      {"jet_cos", [](const A& a) { return "cos(" + Double(a[0]) + ")"; }},
      {"jet_tan", [](const A& a) { return "tan(" + Double(a[0]) + ")"; }},
      {"jet_atn", [](const A& a) { return "atan(" + Double(a[0]) + ")"; }},
      {"jet_rnd", [](const A&) { return std::string("CAST(random() AS real)"); }},
      {"jet_round",
       [](const A& a) {
         // round() of a double rounds half to even, as Jet does.
         if (a.size() == 1) return "round(" + Double(a[0]) + ")";
         const std::string scale = "power(10, " + Whole(a[1]) + ")";
         return "(round(" + Double(a[0]) + " * " + scale + ") / " + scale + ")";
       }},
      {"jet_isnumeric",
       [](const A& a) {
         return "(-CAST(COALESCE(" + Text(a[0]) +
                " ~ '^\\s*[-+]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][-+]?[0-9]+)?\\s*$', false) AS integer))";
       }},
      // English names, as the engine's own.
      {"jet_monthname",
       [](const A& a) {
         return Abbreviated(a, 1, "to_char(make_date(2000, " + Whole(a[0]) + ", 1), 'FMMonth')");
       }},
      {"jet_weekdayname",
       [](const A& a) {
         // The 31st of December 2023 was a Sunday, the first day unless the third argument says.
         const std::string first = a.size() > 2 ? Whole(a[2]) : "1";
         return Abbreviated(a, 1, "to_char(DATE '2023-12-31' + (" + Whole(a[0]) + " - 1 + " + first +
                                      " - 1) % 7, 'FMDay')");
       }},
      {"jet_instrrev",
       [](const A& a) -> std::optional<std::string> {
         if (a.size() != 2) return std::nullopt;
         const std::string text = "lower(" + Text(a[0]) + ")";
         const std::string sought = "lower(" + Text(a[1]) + ")";
         return "(CASE WHEN length(" + sought + ") = 0 THEN length(" + text + ") WHEN strpos(" + text + ", " + sought +
                ") = 0 THEN 0 ELSE length(" + text + ") - strpos(reverse(" + text + "), reverse(" + sought +
                ")) - length(" + sought + ") + 2 END)";
       }},
      // The leading number of a text, blanks left out; 0 when there is none.
      {"jet_val",
       [](const A& a) -> std::optional<std::string> {
         if (!IsTextType(a[0].daoType) && a[0].daoType != 0) return Double(a[0]);
         const std::string compact = "regexp_replace(" + Text(a[0]) + ", '\\s', '', 'g')";
         return "(CASE WHEN " + a[0].text + " IS NULL THEN NULL ELSE COALESCE(CAST(substring(" + compact +
                " FROM '^[-+]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eE][-+]?[0-9]+)?') AS double precision), 0) END)";
       }},
  };
  return kForms;
}

}  // namespace

std::optional<std::string> PostgresEngineCall(std::string_view name, const std::vector<SqlOperand>& operands) {
  auto form = Forms().find(name);
  if (form == Forms().end()) return std::nullopt;
  return form->second(operands);
}

std::optional<std::string> PostgresLikeRegex(std::string_view pattern) {
  const std::vector<char32_t> cps = DecodeUtf8All(pattern);
  auto escaped = [](char32_t c, bool inList) {
    std::string out;
    const std::string_view special = inList ? "\\]^-[" : "\\.^$|?*+()[]{}";
    if (c < 0x80 && special.find(static_cast<char>(c)) != std::string_view::npos) out += '\\';
    AppendUtf8(out, c);
    return out;
  };
  std::string regex = "^(?:";
  for (size_t i = 0; i < cps.size(); ++i) {
    const char32_t c = cps[i];
    if (c == '*') {
      regex += ".*";
    } else if (c == '?') {
      regex += '.';
    } else if (c == '#') {
      regex += "[0-9]";
    } else if (c == '[') {
      size_t close = i + 1;
      while (close < cps.size() && cps[close] != ']') ++close;
      if (close >= cps.size()) return std::nullopt;
      size_t first = i + 1;
      i = close;
      if (first == close) continue;  // "[]" matches the empty text
      bool negated = false;
      if (cps[first] == '!') {
        negated = true;
        ++first;
      }
      if (first == close) {  // "[!]" lists nothing and so takes any character
        regex += '.';
        continue;
      }
      std::string list;
      for (size_t k = first; k < close; ++k) {
        if (k + 2 < close && cps[k + 1] == '-') {
          if (cps[k] > cps[k + 2]) return std::nullopt;
          list += escaped(cps[k], true) + "-" + escaped(cps[k + 2], true);
          k += 2;
        } else {
          list += escaped(cps[k], true);
        }
      }
      regex += (negated ? "[^" : "[") + list + "]";
    } else {
      regex += escaped(c, false);
    }
  }
  return regex + ")$";
}

std::optional<std::string> PostgresNumberFormat(std::string_view format) {
  if (format.empty() || format.find_first_not_of("0#.,") != std::string_view::npos) return std::nullopt;
  const size_t point = format.find('.');
  const std::string_view wholePart = format.substr(0, point);
  const std::string_view places = point == std::string_view::npos ? std::string_view{} : format.substr(point + 1);
  if (places.find_first_of(".,") != std::string_view::npos) return std::nullopt;
  const bool grouped = wholePart.find(',') != std::string_view::npos;
  std::string digits;
  for (char c : wholePart) {
    if (c != ',') digits += c == '0' ? '0' : '9';
  }
  // Room for the digits the format does not show; its own last places keep their zeros.
  constexpr size_t kWidth = 16;
  if (digits.size() < kWidth) digits.insert(0, kWidth - digits.size(), '9');
  std::string out = "FM";
  for (size_t i = 0; i < digits.size(); ++i) {
    if (grouped && i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  if (point != std::string_view::npos) {
    out += '.';
    for (char c : places) out += c == '0' ? '0' : '9';
  }
  return out;
}

std::optional<std::string> PostgresDateFormat(std::string_view format) {
  std::string out;
  std::string literal;  // characters shown as they are, quoted for the server
  auto flush = [&] {
    if (!literal.empty()) out += "\"" + literal + "\"";
    literal.clear();
  };
  bool afterHour = false;  // "m" right after an hour stands for minutes
  bool any = false;
  size_t i = 0;
  auto run = [&](char c) {
    size_t n = 0;
    while (i + n < format.size() && (format[i + n] | 0x20) == c) ++n;
    return n;
  };
  while (i < format.size()) {
    const char c = static_cast<char>(format[i] | 0x20);
    const size_t n = (c >= 'a' && c <= 'z') ? run(c) : 0;
    std::string token;
    if (c == 'y' && (n == 2 || n == 4)) {
      token = n == 4 ? "YYYY" : "YY";
    } else if (c == 'd' && n >= 1 && n <= 4) {
      token = n == 1 ? "FMDD" : n == 2 ? "DD" : n == 3 ? "Dy" : "FMDay";
    } else if (c == 'm' && n >= 1 && n <= 4) {
      if (afterHour && n <= 2)
        token = n == 1 ? "FMMI" : "MI";
      else
        token = n == 1 ? "FMMM" : n == 2 ? "MM" : n == 3 ? "Mon" : "FMMonth";
    } else if (c == 'h' && n >= 1 && n <= 2) {
      token = n == 1 ? "FMHH24" : "HH24";
    } else if (c == 'n' && n >= 1 && n <= 2) {
      token = n == 1 ? "FMMI" : "MI";
    } else if (c == 's' && n >= 1 && n <= 2) {
      token = n == 1 ? "FMSS" : "SS";
    } else if (n > 0) {
      return std::nullopt;  // a letter the date patterns do not know (a named format ...)
    }
    if (!token.empty()) {
      flush();
      // FM switches filling off up to the next FM: each token sets its own.
      out += token;
      afterHour = c == 'h';
      any = true;
      i += n;
      continue;
    }
    const char ch = format[i];
    // "/" stands for the date separator of the program's settings, which the server has not.
    if (ch == '"' || ch == '\\' || ch == '/') return std::nullopt;
    if (ch != ' ' && ch != ':') afterHour = false;
    literal += ch;
    ++i;
  }
  flush();
  if (!any) return std::nullopt;
  return out;
}

}  // namespace lumo::jet::odbc

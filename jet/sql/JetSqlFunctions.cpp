#include "jet/sql/JetSqlFunctions.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "jet/sql/JetLike.h"
#include "jet/sql/JetSqlFunctionSupport.h"
#include "jet/sql/JetText.h"

namespace lumo::jet {

namespace {

using R = FunctionRole;

// Jet's functions. sqliteName "jet_..." are ours (registered below and in the other
// JetSqlFunctions*.cpp files); the others are SQLite's own where they behave alike.
constexpr JetFunctionInfo kCatalogue[] = {
    // text
    {"LCASE", "jet_lcase", 1, 1, R::kScalar, false, kResultTextOfArgument},
    {"UCASE", "jet_ucase", 1, 1, R::kScalar, false, kResultTextOfArgument},
    {"LEN", "length", 1, 1, R::kScalar, true, dbLong},
    {"LEFT", "jet_left", 2, 2, R::kScalar, false, kResultTextOfArgument},
    {"RIGHT", "jet_right", 2, 2, R::kScalar, false, kResultTextOfArgument},
    {"MID", "jet_mid", 2, 3, R::kScalar, false, kResultTextOfArgument},
    {"TRIM", "trim", 1, 1, R::kScalar, false, kResultTextOfArgument},
    {"LTRIM", "ltrim", 1, 1, R::kScalar, false, kResultTextOfArgument},
    {"RTRIM", "rtrim", 1, 1, R::kScalar, false, kResultTextOfArgument},
    {"INSTR", "jet_instr", 2, 4, R::kScalar, true, dbLong},
    {"INSTRREV", "jet_instrrev", 2, 4, R::kScalar, true, dbLong},
    {"SPACE", "jet_space", 1, 1, R::kScalar, false, dbText},
    {"STRING", "jet_string", 2, 2, R::kScalar, false, dbText},
    {"ASC", "jet_asc", 1, 1, R::kScalar, true, dbInteger},
    {"CHR", "jet_chr", 1, 1, R::kScalar, false, dbText},
    {"STRCOMP", "jet_strcomp", 2, 3, R::kScalar, true, dbInteger},
    {"STR", "jet_str", 1, 1, R::kScalar, false, dbText},
    {"VAL", "jet_val", 1, 1, R::kScalar, true, dbDouble},
    {"HEX", "jet_hex", 1, 1, R::kScalar, false, dbText},
    {"OCT", "jet_oct", 1, 1, R::kScalar, false, dbText},
    {"FORMAT", "jet_format", 1, 4, R::kScalar, false, dbText},
    {"REPLACE", "jet_replace", 3, 6, R::kScalar, false, kResultTextOfArgument},
    {"STRREVERSE", "jet_strreverse", 1, 1, R::kScalar, false, kResultTextOfArgument},
    // dates and times
    {"NOW", "jet_now", 0, 0, R::kScalar, false, dbDate},
    {"DATE", "jet_date", 0, 0, R::kScalar, false, dbDate},
    {"TIME", "jet_time", 0, 0, R::kScalar, false, dbDate},
    {"YEAR", "jet_year", 1, 1, R::kScalar, true, dbInteger},
    {"MONTH", "jet_month", 1, 1, R::kScalar, true, dbInteger},
    {"DAY", "jet_day", 1, 1, R::kScalar, true, dbInteger},
    {"HOUR", "jet_hour", 1, 1, R::kScalar, true, dbInteger},
    {"MINUTE", "jet_minute", 1, 1, R::kScalar, true, dbInteger},
    {"SECOND", "jet_second", 1, 1, R::kScalar, true, dbInteger},
    {"WEEKDAY", "jet_weekday", 1, 2, R::kScalar, true, dbInteger},
    {"DATEADD", "jet_dateadd", 3, 3, R::kScalar, false, dbDate},
    {"DATEDIFF", "jet_datediff", 3, 5, R::kScalar, true, dbLong},
    {"DATEPART", "jet_datepart", 2, 4, R::kScalar, true, dbInteger},
    {"DATESERIAL", "jet_dateserial", 3, 3, R::kScalar, false, dbDate},
    {"TIMESERIAL", "jet_timeserial", 3, 3, R::kScalar, false, dbDate},
    {"DATEVALUE", "jet_datevalue", 1, 1, R::kScalar, false, dbDate},
    {"TIMEVALUE", "jet_timevalue", 1, 1, R::kScalar, false, dbDate},
    {"MONTHNAME", "jet_monthname", 1, 2, R::kScalar, false, dbText},
    {"WEEKDAYNAME", "jet_weekdayname", 1, 3, R::kScalar, false, dbText},
    // conversions
    {"CBOOL", "jet_cbool", 1, 1, R::kScalar, true, dbBoolean},
    {"CBYTE", "jet_cbyte", 1, 1, R::kScalar, true, dbByte},
    {"CCUR", "jet_ccur", 1, 1, R::kScalar, true, dbCurrency},
    {"CDATE", "jet_cdate", 1, 1, R::kScalar, false, dbDate},
    {"CVDATE", "jet_cdate", 1, 1, R::kScalar, false, dbDate},
    {"CDBL", "jet_cdbl", 1, 1, R::kScalar, true, dbDouble},
    {"CDEC", "jet_cdbl", 1, 1, R::kScalar, true, dbDouble},
    {"CINT", "jet_cint", 1, 1, R::kScalar, true, dbInteger},
    {"CLNG", "jet_clng", 1, 1, R::kScalar, true, dbLong},
    {"CSNG", "jet_csng", 1, 1, R::kScalar, true, dbSingle},
    {"CSTR", "jet_cstr", 1, 1, R::kScalar, false, dbText},
    {"CVAR", "", 1, 1, R::kIdentity, false, kResultOfArgument},
    // arithmetic
    {"ABS", "jet_abs", 1, 1, R::kScalar, true, kResultNumberOfArgument},
    {"INT", "jet_int", 1, 1, R::kScalar, true, kResultNumberOfArgument},
    {"FIX", "jet_fix", 1, 1, R::kScalar, true, kResultNumberOfArgument},
    {"SGN", "jet_sgn", 1, 1, R::kScalar, true, dbInteger},
    {"SQR", "jet_sqr", 1, 1, R::kScalar, true, dbDouble},
    {"EXP", "jet_exp", 1, 1, R::kScalar, true, dbDouble},
    {"LOG", "jet_log", 1, 1, R::kScalar, true, dbDouble},
    {"SIN", "jet_sin", 1, 1, R::kScalar, true, dbDouble},
    {"COS", "jet_cos", 1, 1, R::kScalar, true, dbDouble},
    {"TAN", "jet_tan", 1, 1, R::kScalar, true, dbDouble},
    {"ATN", "jet_atn", 1, 1, R::kScalar, true, dbDouble},
    {"RND", "jet_rnd", 0, 1, R::kScalar, true, dbSingle},
    {"ROUND", "jet_round", 1, 2, R::kScalar, true, kResultNumberOfArgument},
    // decisions
    {"IIF", "", 3, 3, R::kIIf, false, kResultDecided},
    {"SWITCH", "", 2, 126, R::kSwitch, false, kResultDecided},
    {"CHOOSE", "", 2, 126, R::kChoose, false, kResultDecided},
    {"ISNULL", "", 1, 1, R::kIsNull, true, dbBoolean},
    {"ISNUMERIC", "jet_isnumeric", 1, 1, R::kScalar, true, dbBoolean},
    {"ISDATE", "jet_isdate", 1, 1, R::kScalar, true, dbBoolean},
    // aggregates
    {"COUNT", "count", 1, 1, R::kAggregate, true, dbLong},
    {"SUM", "sum", 1, 1, R::kAggregate, false, kResultDecided},
    {"AVG", "avg", 1, 1, R::kAggregate, true, dbDouble},
    {"MIN", "min", 1, 1, R::kAggregate, false, kResultOfArgument},
    {"MAX", "max", 1, 1, R::kAggregate, false, kResultOfArgument},
    {"FIRST", "jet_first", 1, 1, R::kAggregate, false, kResultOfArgument},
    {"LAST", "jet_last", 1, 1, R::kAggregate, false, kResultOfArgument},
    {"STDEV", "jet_stdev", 1, 1, R::kAggregate, true, dbDouble},
    {"STDEVP", "jet_stdevp", 1, 1, R::kAggregate, true, dbDouble},
    {"VAR", "jet_var", 1, 1, R::kAggregate, true, dbDouble},
    {"VARP", "jet_varp", 1, 1, R::kAggregate, true, dbDouble},
};

// ---------------------------------------------------------------------------------------------
// Operators

using fn::Fail;
using fn::Number;

// + - * on numbers: integers while they fit, then doubles.
Number Arithmetic(char op, const Number& a, const Number& b) {
  if (a.integer && b.integer) {
    int64_t result = 0;
    bool overflow = op == '+'   ? __builtin_add_overflow(a.i, b.i, &result)
                    : op == '-' ? __builtin_sub_overflow(a.i, b.i, &result)
                                : __builtin_mul_overflow(a.i, b.i, &result);
    if (!overflow) return Number::Of(result);
  }
  const double x = a.AsDouble();
  const double y = b.AsDouble();
  return Number::Of(op == '+' ? x + y : op == '-' ? x - y : x * y);
}

// Jet's +: texts concatenate, numbers add, a date moves by days, Null wins.
void Add(sqlite3_context* context, int, sqlite3_value** argv) {
  if (fn::IsNull(argv[0]) || fn::IsNull(argv[1])) return sqlite3_result_null(context);
  const bool text0 = sqlite3_value_type(argv[0]) == SQLITE_TEXT;
  const bool text1 = sqlite3_value_type(argv[1]) == SQLITE_TEXT;
  const bool date0 = fn::IsDateText(argv[0]);
  const bool date1 = fn::IsDateText(argv[1]);
  if (text0 && text1 && !(date0 && !date1 && fn::ParseNumberText(fn::TextOf(argv[1]))) &&
      !(date1 && !date0 && fn::ParseNumberText(fn::TextOf(argv[0])))) {
    return fn::ResultText(context, fn::TextOf(argv[0]) + fn::TextOf(argv[1]));
  }
  Number sum = Arithmetic('+', fn::NumberOf(argv[0]), fn::NumberOf(argv[1]));
  if (date0 || date1) return fn::ResultDate(context, sum.AsDouble());
  fn::ResultNumber(context, sum);
}

void Subtract(sqlite3_context* context, int, sqlite3_value** argv) {
  if (fn::IsNull(argv[0]) || fn::IsNull(argv[1])) return sqlite3_result_null(context);
  const bool date0 = fn::IsDateText(argv[0]);
  const bool date1 = fn::IsDateText(argv[1]);
  Number difference = Arithmetic('-', fn::NumberOf(argv[0]), fn::NumberOf(argv[1]));
  // A date minus days is a date; the difference of two dates is a number of days.
  if (date0 && !date1) return fn::ResultDate(context, difference.AsDouble());
  fn::ResultNumber(context, difference);
}

void Multiply(sqlite3_context* context, int, sqlite3_value** argv) {
  if (fn::IsNull(argv[0]) || fn::IsNull(argv[1])) return sqlite3_result_null(context);
  fn::ResultNumber(context, Arithmetic('*', fn::NumberOf(argv[0]), fn::NumberOf(argv[1])));
}

void Divide(sqlite3_context* context, int, sqlite3_value** argv) {
  if (fn::IsNull(argv[0]) || fn::IsNull(argv[1])) return sqlite3_result_null(context);
  const double divisor = fn::DoubleOf(argv[1]);
  if (divisor == 0) Fail(fn::kDivisionByZero);
  fn::ResultNumber(context, Number::Of(fn::DoubleOf(argv[0]) / divisor));
}

// \ and Mod round their operands to integers first.
void IntegerDivide(sqlite3_context* context, int, sqlite3_value** argv) {
  if (fn::IsNull(argv[0]) || fn::IsNull(argv[1])) return sqlite3_result_null(context);
  const int64_t a = fn::IntegerOf(argv[0]);
  const int64_t b = fn::IntegerOf(argv[1]);
  if (b == 0) Fail(fn::kDivisionByZero);
  if (a == INT64_MIN && b == -1) Fail(fn::kOverflow);
  sqlite3_result_int64(context, a / b);
}

void Modulo(sqlite3_context* context, int, sqlite3_value** argv) {
  if (fn::IsNull(argv[0]) || fn::IsNull(argv[1])) return sqlite3_result_null(context);
  const int64_t a = fn::IntegerOf(argv[0]);
  const int64_t b = fn::IntegerOf(argv[1]);
  if (b == 0) Fail(fn::kDivisionByZero);
  if (b == -1) return sqlite3_result_int64(context, 0);
  sqlite3_result_int64(context, a % b);
}

void Power(sqlite3_context* context, int, sqlite3_value** argv) {
  if (fn::IsNull(argv[0]) || fn::IsNull(argv[1])) return sqlite3_result_null(context);
  const double base = fn::DoubleOf(argv[0]);
  const double exponent = fn::DoubleOf(argv[1]);
  const double result = std::pow(base, exponent);
  if (std::isnan(result)) Fail(fn::kInvalidArgument);
  if (std::isinf(result)) Fail(fn::kOverflow);
  fn::ResultNumber(context, Number::Of(result));
}

void Negate(sqlite3_context* context, int, sqlite3_value** argv) {
  if (fn::IsNull(argv[0])) return sqlite3_result_null(context);
  Number number = fn::NumberOf(argv[0]);
  if (number.integer && number.i != INT64_MIN) return sqlite3_result_int64(context, -number.i);
  fn::ResultNumber(context, Number::Of(-number.AsDouble()));
}

// &: Null acts as empty text unless both sides are Null.
void Concat(sqlite3_context* context, int, sqlite3_value** argv) {
  if (fn::IsNull(argv[0]) && fn::IsNull(argv[1])) return sqlite3_result_null(context);
  fn::ResultText(context, fn::TextOf(argv[0]) + fn::TextOf(argv[1]));
}

// The logical operators work bit by bit on integers, True being -1.
void Not(sqlite3_context* context, int, sqlite3_value** argv) {
  if (fn::IsNull(argv[0])) return sqlite3_result_null(context);
  sqlite3_result_int64(context, ~fn::IntegerOf(argv[0]));
}

void And(sqlite3_context* context, int, sqlite3_value** argv) {
  const bool null0 = fn::IsNull(argv[0]);
  const bool null1 = fn::IsNull(argv[1]);
  if (null0 && null1) return sqlite3_result_null(context);
  if (null0 || null1) {
    // False And Null is False.
    if (fn::IntegerOf(argv[null0 ? 1 : 0]) == 0) return sqlite3_result_int64(context, 0);
    return sqlite3_result_null(context);
  }
  sqlite3_result_int64(context, fn::IntegerOf(argv[0]) & fn::IntegerOf(argv[1]));
}

void Or(sqlite3_context* context, int, sqlite3_value** argv) {
  const bool null0 = fn::IsNull(argv[0]);
  const bool null1 = fn::IsNull(argv[1]);
  if (null0 && null1) return sqlite3_result_null(context);
  if (null0 || null1) {
    // True Or Null is True.
    if (fn::IntegerOf(argv[null0 ? 1 : 0]) == -1) return sqlite3_result_int64(context, -1);
    return sqlite3_result_null(context);
  }
  sqlite3_result_int64(context, fn::IntegerOf(argv[0]) | fn::IntegerOf(argv[1]));
}

void Xor(sqlite3_context* context, int, sqlite3_value** argv) {
  if (fn::IsNull(argv[0]) || fn::IsNull(argv[1])) return sqlite3_result_null(context);
  sqlite3_result_int64(context, fn::IntegerOf(argv[0]) ^ fn::IntegerOf(argv[1]));
}

void Eqv(sqlite3_context* context, int, sqlite3_value** argv) {
  if (fn::IsNull(argv[0]) || fn::IsNull(argv[1])) return sqlite3_result_null(context);
  sqlite3_result_int64(context, ~(fn::IntegerOf(argv[0]) ^ fn::IntegerOf(argv[1])));
}

void Imp(sqlite3_context* context, int, sqlite3_value** argv) {
  const bool null0 = fn::IsNull(argv[0]);
  const bool null1 = fn::IsNull(argv[1]);
  if (null0 && null1) return sqlite3_result_null(context);
  // False Imp anything and anything Imp True are True; the other Null cases are Null.
  if (null0) {
    if (fn::IntegerOf(argv[1]) == -1) return sqlite3_result_int64(context, -1);
    return sqlite3_result_null(context);
  }
  if (null1) {
    if (fn::IntegerOf(argv[0]) == 0) return sqlite3_result_int64(context, -1);
    return sqlite3_result_null(context);
  }
  sqlite3_result_int64(context, ~fn::IntegerOf(argv[0]) | fn::IntegerOf(argv[1]));
}

void DeletePattern(void* pattern) { delete static_cast<JetLikePattern*>(pattern); }

// Like: the pattern is compiled once per statement and kept with the argument.
void Like(sqlite3_context* context, int, sqlite3_value** argv) {
  if (fn::IsNull(argv[0]) || fn::IsNull(argv[1])) return sqlite3_result_null(context);
  auto* pattern = static_cast<JetLikePattern*>(sqlite3_get_auxdata(context, 1));
  if (pattern == nullptr) {
    auto compiled = JetLikePattern::Compile(fn::TextOf(argv[1]));
    if (!compiled) Fail(fn::kInvalidPattern);
    pattern = new JetLikePattern(std::move(*compiled));
    sqlite3_set_auxdata(context, 1, pattern, DeletePattern);
    pattern = static_cast<JetLikePattern*>(sqlite3_get_auxdata(context, 1));
    if (pattern == nullptr) return sqlite3_result_error_nomem(context);
  }
  sqlite3_result_int(context, pattern->Matches(fn::TextOf(argv[0])) ? 1 : 0);
}

// ---------------------------------------------------------------------------------------------
// Aggregates

// First and Last keep the value of the first and the last row they see, Null included.
struct PickState {
  sqlite3_value* value;
  bool seen;
};

void PickStep(sqlite3_context* context, sqlite3_value* value, bool keepFirst) {
  auto* state = static_cast<PickState*>(sqlite3_aggregate_context(context, sizeof(PickState)));
  if (state == nullptr) return sqlite3_result_error_nomem(context);
  if (state->seen && keepFirst) return;
  sqlite3_value* copy = sqlite3_value_dup(value);
  if (copy == nullptr) return sqlite3_result_error_nomem(context);
  sqlite3_value_free(state->value);
  state->value = copy;
  state->seen = true;
}

void FirstStep(sqlite3_context* context, int, sqlite3_value** argv) { PickStep(context, argv[0], true); }
void LastStep(sqlite3_context* context, int, sqlite3_value** argv) { PickStep(context, argv[0], false); }

void PickFinal(sqlite3_context* context) {
  auto* state = static_cast<PickState*>(sqlite3_aggregate_context(context, 0));
  if (state == nullptr || !state->seen) return sqlite3_result_null(context);
  sqlite3_result_value(context, state->value);
  sqlite3_value_free(state->value);
  state->value = nullptr;
}

// Welford's running mean and sum of squares, Nulls skipped.
struct SpreadState {
  int64_t count;
  double mean;
  double squares;
};

void SpreadStepBody(sqlite3_context* context, int, sqlite3_value** argv) {
  if (fn::IsNull(argv[0])) return;
  const double x = fn::DoubleOf(argv[0]);
  auto* state = static_cast<SpreadState*>(sqlite3_aggregate_context(context, sizeof(SpreadState)));
  if (state == nullptr) return sqlite3_result_error_nomem(context);
  ++state->count;
  const double delta = x - state->mean;
  state->mean += delta / static_cast<double>(state->count);
  state->squares += delta * (x - state->mean);
}

void SpreadFinal(sqlite3_context* context, bool sample, bool root) {
  auto* state = static_cast<SpreadState*>(sqlite3_aggregate_context(context, 0));
  const int64_t count = state == nullptr ? 0 : state->count;
  if (count < (sample ? 2 : 1)) return sqlite3_result_null(context);
  double variance = state->squares / static_cast<double>(sample ? count - 1 : count);
  if (variance < 0) variance = 0;
  sqlite3_result_double(context, root ? std::sqrt(variance) : variance);
}

void StDevFinal(sqlite3_context* context) { SpreadFinal(context, true, true); }
void StDevPFinal(sqlite3_context* context) { SpreadFinal(context, false, true); }
void VarFinal(sqlite3_context* context) { SpreadFinal(context, true, false); }
void VarPFinal(sqlite3_context* context) { SpreadFinal(context, false, false); }

constexpr fn::FunctionEntry kOperators[] = {
    {"jet_add", 2, true, fn::Guarded<Add>},
    {"jet_sub", 2, true, fn::Guarded<Subtract>},
    {"jet_mul", 2, true, fn::Guarded<Multiply>},
    {"jet_div", 2, true, fn::Guarded<Divide>},
    {"jet_idiv", 2, true, fn::Guarded<IntegerDivide>},
    {"jet_mod", 2, true, fn::Guarded<Modulo>},
    {"jet_pow", 2, true, fn::Guarded<Power>},
    {"jet_neg", 1, true, fn::Guarded<Negate>},
    {"jet_concat", 2, true, fn::Guarded<Concat>},
    {"jet_not", 1, true, fn::Guarded<Not>},
    {"jet_and", 2, true, fn::Guarded<And>},
    {"jet_or", 2, true, fn::Guarded<Or>},
    {"jet_xor", 2, true, fn::Guarded<Xor>},
    {"jet_eqv", 2, true, fn::Guarded<Eqv>},
    {"jet_imp", 2, true, fn::Guarded<Imp>},
    {"jet_like", 2, true, fn::Guarded<Like>},
};

struct AggregateEntry {
  const char* name;
  void (*step)(sqlite3_context*, int, sqlite3_value**);
  void (*final)(sqlite3_context*);
};

constexpr AggregateEntry kAggregates[] = {
    {"jet_first", FirstStep, PickFinal},
    {"jet_last", LastStep, PickFinal},
    {"jet_stdev", fn::Guarded<SpreadStepBody>, StDevFinal},
    {"jet_stdevp", fn::Guarded<SpreadStepBody>, StDevPFinal},
    {"jet_var", fn::Guarded<SpreadStepBody>, VarFinal},
    {"jet_varp", fn::Guarded<SpreadStepBody>, VarPFinal},
};

}  // namespace

const JetFunctionInfo* FindJetFunction(std::string_view name) {
  std::string upper;
  for (char c : name) upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  if (!upper.empty() && upper.back() == '$') upper.pop_back();
  for (const JetFunctionInfo& info : kCatalogue) {
    if (upper == info.jetName) return &info;
  }
  return nullptr;
}

std::span<const JetFunctionInfo> JetFunctionCatalogue() { return kCatalogue; }

namespace {

void IdentityFunction(sqlite3_context* context, int, sqlite3_value**) {
  const auto* identity = static_cast<const std::shared_ptr<const int64_t>*>(sqlite3_user_data(context));
  sqlite3_result_int64(context, **identity);
}

void ForgetIdentity(void* data) { delete static_cast<std::shared_ptr<const int64_t>*>(data); }

}  // namespace

int RegisterIdentityFunction(sqlite3* db, std::shared_ptr<const int64_t> identity) {
  // The connection keeps its own share of the value until it closes.
  auto* held = new std::shared_ptr<const int64_t>(std::move(identity));
  return sqlite3_create_function_v2(db, "jet_identity", 0, SQLITE_UTF8, held, IdentityFunction, nullptr, nullptr,
                                    ForgetIdentity);
}

int RegisterJetFunctions(sqlite3* db) {
  // An unknown "name" must fail as a missing column, never turn into a string literal.
  int rc = sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  if (rc == SQLITE_OK) rc = fn::RegisterEntries(db, kOperators, std::size(kOperators));
  for (const AggregateEntry& entry : kAggregates) {
    if (rc != SQLITE_OK) break;
    rc = sqlite3_create_function_v2(db, entry.name, 1, SQLITE_UTF8, nullptr, nullptr, entry.step, entry.final, nullptr);
  }
  if (rc == SQLITE_OK) rc = fn::RegisterTextFunctions(db);
  if (rc == SQLITE_OK) rc = fn::RegisterDateFunctions(db);
  if (rc == SQLITE_OK) rc = fn::RegisterCurrencyFunctions(db);
  if (rc == SQLITE_OK) rc = fn::RegisterCompareFunctions(db);
  return rc;
}

}  // namespace lumo::jet

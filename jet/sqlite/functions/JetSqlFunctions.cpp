#include "jet/sqlite/functions/JetSqlFunctions.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "jet/sql/JetLike.h"
#include "jet/sql/JetText.h"
#include "jet/sqlite/functions/JetSqlFunctionSupport.h"

namespace lumo::jet {

namespace {

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

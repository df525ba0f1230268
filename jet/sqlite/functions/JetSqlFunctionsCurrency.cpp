// Currency in SQL: fixed point with four decimals, as DAO keeps it.
//
// A Currency value is stored as the number closest to its four-decimal value (an integer
// when it is whole), so that the stock shell shows it as written and that equal amounts are
// equal numbers, which comparisons and indexes rely on. Arithmetic on such numbers in
// floating point would drift (0.1 + 0.2 is not 0.3); these functions compute on the amounts
// scaled by 10,000 as 64-bit integers instead and hand back the stored form:
//   jet_cur(x)        x rounded to Currency (what a Currency column stores; CCur)
//   jet_cur_add/sub/mul(a, b)   + - * whose result is Currency
//   jet_cur_sum(x), jet_cur_avg(x)   Sum (Currency) and Avg (Double) of Currency values
// Beyond the Currency range (about ±922,337,203,685,477) they fail with overflow.

#include <cmath>
#include <cstdint>

#include "jet/sqlite/functions/JetSqlFunctionSupport.h"

namespace lumo::jet::fn {

namespace {

constexpr int64_t kScale = 10000;
constexpr double kTwoPow63 = 9223372036854775808.0;

// A value as Currency scaled by 10,000, rounded half to even as assignment rounds.
int64_t ScaledOf(sqlite3_value* value) {
  const Number number = NumberOf(value);
  if (number.integer) {
    int64_t scaled = 0;
    if (__builtin_mul_overflow(number.i, kScale, &scaled)) Fail(kOverflow);
    return scaled;
  }
  const double scaled = std::nearbyint(number.d * kScale);
  if (!(scaled >= -kTwoPow63 && scaled < kTwoPow63)) Fail(kOverflow);
  return static_cast<int64_t>(scaled);
}

// An operand of + - *: an amount (an integer, or a number with at most four decimals, which
// is what a Currency column holds) is exact; any other number, say a Double's 1.23456, takes
// part with all its digits, and only the result is rounded.
struct Operand {
  bool exact = true;
  int64_t scaled = 0;
  long double value = 0;  // the number itself when not exact
};

Operand OperandOf(sqlite3_value* value) {
  const Number number = NumberOf(value);
  Operand operand;
  if (number.integer) {
    if (__builtin_mul_overflow(number.i, kScale, &operand.scaled)) Fail(kOverflow);
    return operand;
  }
  const double scaled = std::nearbyint(number.d * kScale);
  if (scaled >= -kTwoPow63 && scaled < kTwoPow63 && scaled / kScale == number.d) {
    operand.scaled = static_cast<int64_t>(scaled);
    return operand;
  }
  if (!std::isfinite(number.d)) Fail(kOverflow);
  operand.exact = false;
  operand.value = number.d;
  return operand;
}

long double ValueOf(const Operand& operand) {
  return operand.exact ? static_cast<long double>(operand.scaled) / kScale : operand.value;
}

// A result computed in extended precision, rounded half to even to four decimals.
int64_t RoundScaled(long double value) {
  const long double scaled = std::nearbyintl(value * kScale);
  if (!(scaled >= -static_cast<long double>(kTwoPow63) && scaled < static_cast<long double>(kTwoPow63))) {
    Fail(kOverflow);
  }
  return static_cast<int64_t>(scaled);
}

void ResultScaled(sqlite3_context* context, int64_t scaled) {
  if (scaled % kScale == 0) return sqlite3_result_int64(context, scaled / kScale);
  sqlite3_result_double(context, static_cast<double>(scaled) / kScale);
}

void Round(sqlite3_context* context, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return sqlite3_result_null(context);
  ResultScaled(context, ScaledOf(argv[0]));
}

void AddOrSubtract(sqlite3_context* context, sqlite3_value** argv, bool subtract) {
  if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(context);
  const Operand a = OperandOf(argv[0]);
  const Operand b = OperandOf(argv[1]);
  if (!a.exact || !b.exact) {
    return ResultScaled(context, RoundScaled(subtract ? ValueOf(a) - ValueOf(b) : ValueOf(a) + ValueOf(b)));
  }
  int64_t result = 0;
  const bool overflow = subtract ? __builtin_sub_overflow(a.scaled, b.scaled, &result)
                                 : __builtin_add_overflow(a.scaled, b.scaled, &result);
  if (overflow) Fail(kOverflow);
  ResultScaled(context, result);
}

void Add(sqlite3_context* context, int, sqlite3_value** argv) { AddOrSubtract(context, argv, false); }
void Subtract(sqlite3_context* context, int, sqlite3_value** argv) { AddOrSubtract(context, argv, true); }

// The exact product of two amounts has eight decimals; it is rounded half to even to four.
void Multiply(sqlite3_context* context, int, sqlite3_value** argv) {
  if (IsNull(argv[0]) || IsNull(argv[1])) return sqlite3_result_null(context);
  const Operand a = OperandOf(argv[0]);
  const Operand b = OperandOf(argv[1]);
  if (!a.exact || !b.exact) return ResultScaled(context, RoundScaled(ValueOf(a) * ValueOf(b)));
  const __int128 product = static_cast<__int128>(a.scaled) * b.scaled;
  __int128 quotient = product / kScale;
  const __int128 remainder = product % kScale;
  const __int128 twice = (remainder < 0 ? -remainder : remainder) * 2;
  if (twice > kScale || (twice == kScale && quotient % 2 != 0)) quotient += product < 0 ? -1 : 1;
  if (quotient > INT64_MAX || quotient < INT64_MIN) Fail(kOverflow);
  ResultScaled(context, static_cast<int64_t>(quotient));
}

struct SumState {
  int64_t sum;
  int64_t count;
  bool overflow;
};

void SumStepBody(sqlite3_context* context, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) return;
  const int64_t scaled = ScaledOf(argv[0]);
  auto* state = static_cast<SumState*>(sqlite3_aggregate_context(context, sizeof(SumState)));
  if (state == nullptr) return sqlite3_result_error_nomem(context);
  if (__builtin_add_overflow(state->sum, scaled, &state->sum)) state->overflow = true;
  ++state->count;
}

void SumFinal(sqlite3_context* context) {
  auto* state = static_cast<SumState*>(sqlite3_aggregate_context(context, 0));
  if (state == nullptr || state->count == 0) return sqlite3_result_null(context);
  if (state->overflow) {
    return sqlite3_result_error(context, FunctionErrorMessage(kOverflow).c_str(), -1);
  }
  ResultScaled(context, state->sum);
}

void AvgFinal(sqlite3_context* context) {
  auto* state = static_cast<SumState*>(sqlite3_aggregate_context(context, 0));
  if (state == nullptr || state->count == 0) return sqlite3_result_null(context);
  if (state->overflow) {
    return sqlite3_result_error(context, FunctionErrorMessage(kOverflow).c_str(), -1);
  }
  // The exact sum divided once: both operands are exact, so the quotient is the nearest
  // Double to the true mean of the amounts.
  const double mean = static_cast<double>(state->sum) / (static_cast<double>(state->count) * kScale);
  sqlite3_result_double(context, mean);
}

constexpr FunctionEntry kEntries[] = {
    {"jet_cur", 1, true, Guarded<Round>},        {"jet_ccur", 1, true, Guarded<Round>},
    {"jet_cur_add", 2, true, Guarded<Add>},      {"jet_cur_sub", 2, true, Guarded<Subtract>},
    {"jet_cur_mul", 2, true, Guarded<Multiply>},
};

}  // namespace

int RegisterCurrencyFunctions(sqlite3* db) {
  int rc = RegisterEntries(db, kEntries, std::size(kEntries));
  if (rc == SQLITE_OK) {
    rc = sqlite3_create_function_v2(db, "jet_cur_sum", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr,
                                    Guarded<SumStepBody>, SumFinal, nullptr);
  }
  if (rc == SQLITE_OK) {
    rc = sqlite3_create_function_v2(db, "jet_cur_avg", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr,
                                    Guarded<SumStepBody>, AvgFinal, nullptr);
  }
  return rc;
}

}  // namespace lumo::jet::fn

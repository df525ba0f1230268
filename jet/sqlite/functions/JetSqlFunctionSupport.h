#pragma once
// Internal to the registered SQL functions: reading Jet values from SQLite arguments the way
// the expression service coerces them, writing results in the stored forms, and reporting
// failures as "jet error <number>: <text>". Only the JetSqlFunctions*.cpp files include it.

#include <sqlite3.h>

#include <cstdint>
#include <new>
#include <optional>
#include <string>

#include "jet/DaoErrors.h"
#include "jet/JetTypes.h"
#include "jet/sql/JetNumberText.h"

namespace lumo::jet::fn {

// The expression service's errors as they reach DAO callers.
inline constexpr int kInvalidArgument = 5;
inline constexpr int kOverflow = 6;
inline constexpr int kDivisionByZero = 11;
inline constexpr int kInvalidPattern = 93;
inline constexpr int kTypeMismatch = kDaoTypeMismatch;

// Thrown inside a function body; Guarded turns it into the SQLite error result.
struct Failure {
  int number;
};
[[noreturn]] inline void Fail(int number) { throw Failure{number}; }

using Body = void (*)(sqlite3_context*, int, sqlite3_value**);

// SQLite calls C callbacks: no exception may leave them.
template <Body F>
void Guarded(sqlite3_context* context, int argc, sqlite3_value** argv) {
  try {
    F(context, argc, argv);
  } catch (const Failure& failure) {
    sqlite3_result_error(context, FunctionErrorMessage(failure.number).c_str(), -1);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(context);
  } catch (...) {
    sqlite3_result_error(context, FunctionErrorMessage(kInvalidArgument).c_str(), -1);
  }
}

struct FunctionEntry {
  const char* name;
  int argumentCount;  // -1: any
  bool deterministic;
  Body body;
};

// A number as Jet sees it: integers stay integers until they overflow.
struct Number {
  bool integer = true;
  int64_t i = 0;
  double d = 0;
  double AsDouble() const { return integer ? static_cast<double>(i) : d; }
  static Number Of(int64_t value) { return {true, value, 0}; }
  static Number Of(double value) { return {false, 0, value}; }
};

inline bool IsNull(sqlite3_value* value) { return sqlite3_value_type(value) == SQLITE_NULL; }

// The text of a value, numbers written as the expression service writes them.
std::string TextOf(sqlite3_value* value);
// A text that reads as a number (blanks around it allowed); nullopt otherwise.
std::optional<Number> ParseNumberText(std::string_view text);
// A numeric value; a stored date text counts as its date double; anything else fails with
// a type mismatch.
Number NumberOf(sqlite3_value* value);
double DoubleOf(sqlite3_value* value);
// Rounds to an integer as the expression service does (half to even); fails with overflow
// outside the 64-bit range.
int64_t IntegerOf(sqlite3_value* value);
int64_t RoundHalfEven(double value);
// A date argument: stored date text, a date text Jet reads, or a date double.
double DateOf(sqlite3_value* value);
// True for the stored date text form.
bool IsDateText(sqlite3_value* value);

void ResultNumber(sqlite3_context* context, const Number& number);
void ResultDate(sqlite3_context* context, double oleDate);
void ResultText(sqlite3_context* context, const std::string& text);
void ResultTruth(sqlite3_context* context, bool value);  // -1 / 0

// Registration of each group of functions; each returns an SQLite result code.
int RegisterEntries(sqlite3* db, const FunctionEntry* entries, size_t count);
int RegisterTextFunctions(sqlite3* db);
int RegisterDateFunctions(sqlite3* db);
int RegisterCurrencyFunctions(sqlite3* db);
int RegisterCompareFunctions(sqlite3* db);

// Format(value[, format]): the text of a value by a named or custom format.
std::string FormatValue(sqlite3_value* value, const std::string& format);

// Date parts and helpers shared by the date functions and Format.
DateParts PartsOf(double oleDate);
int WeekdayOf(const DateParts& parts, int firstDayOfWeek);  // 1..7
int DayOfYear(const DateParts& parts);
extern const char* const kMonthNames[12];
extern const char* const kDayNames[7];  // Sunday first

}  // namespace lumo::jet::fn

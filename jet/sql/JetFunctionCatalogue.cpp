#include "jet/sql/JetFunctionCatalogue.h"

#include <string>

namespace lumo::jet {

namespace {

using R = FunctionRole;

// Jet's functions. The names "jet_..." are the engine's own functions, which every back-end
// registers on its connections; the others are SQL built-ins that behave as Jet's do.
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

}  // namespace lumo::jet

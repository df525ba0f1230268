// Jet's text comparison on SQLite: the collation "jet_text" (every letter without regard to
// case, see CompareTextFolded) and the bounds by which a NOCASE index finds the candidates of
// such a comparison (see JetText.h):
//   jet_text_first(x), jet_text_last(x)   the first and last text that folds like x
//   jet_text_floor(x), jet_text_ceiling(x)  what a text greater (smaller) than x is at least
//                                          (at most); without a bound '' and X'' (which
//                                          every text lies below)
//   jet_text_cased(x)                     whether x has a non-ASCII letter with another case
// A value that is no text comes back as it is: numbers compare as numbers, and Null stays
// Null. The collation lives only on the engine's connections; the file keeps NOCASE, which
// any reader has.

#include <string_view>

#include "jet/sql/JetText.h"
#include "jet/sqlite/functions/JetSqlFunctionSupport.h"

namespace lumo::jet::fn {

namespace {

std::string_view TextView(sqlite3_value* value) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
  return {text != nullptr ? text : "", static_cast<size_t>(sqlite3_value_bytes(value))};
}

int Collate(void*, int lengthA, const void* a, int lengthB, const void* b) {
  return CompareTextFolded({static_cast<const char*>(a), static_cast<size_t>(lengthA)},
                           {static_cast<const char*>(b), static_cast<size_t>(lengthB)});
}

template <std::string (*Bound)(std::string_view)>
void TextBound(sqlite3_context* context, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) return sqlite3_result_value(context, argv[0]);
  ResultText(context, Bound(TextView(argv[0])));
}

void Ceiling(sqlite3_context* context, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) return sqlite3_result_value(context, argv[0]);
  if (auto ceiling = FoldCeiling(TextView(argv[0]))) return ResultText(context, *ceiling);
  sqlite3_result_zeroblob(context, 0);
}

void Cased(sqlite3_context* context, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) return sqlite3_result_int(context, 0);
  sqlite3_result_int(context, HasFoldVariants(TextView(argv[0])) ? 1 : 0);
}

constexpr FunctionEntry kEntries[] = {
    {"jet_text_first", 1, true, Guarded<TextBound<FirstFoldVariant>>},
    {"jet_text_last", 1, true, Guarded<TextBound<LastFoldVariant>>},
    {"jet_text_floor", 1, true, Guarded<TextBound<FoldFloor>>},
    {"jet_text_ceiling", 1, true, Guarded<Ceiling>},
    {"jet_text_cased", 1, true, Guarded<Cased>},
};

}  // namespace

int RegisterCompareFunctions(sqlite3* db) {
  const int rc = sqlite3_create_collation_v2(db, "jet_text", SQLITE_UTF8, nullptr, Collate, nullptr);
  if (rc != SQLITE_OK) return rc;
  return RegisterEntries(db, kEntries, std::size(kEntries));
}

}  // namespace lumo::jet::fn

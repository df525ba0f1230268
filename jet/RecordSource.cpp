// What the row engines share: stored values, sort terms and the conditions that continue a
// key list from a position, row reads by id, bookmark numbering.

#include "jet/RecordSource.h"

#include <algorithm>
#include <cctype>

#include "jet/DaoConstants.h"
#include "jet/DatabaseFile.h"
#include "jet/ValueCodec.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

StoredValue StoredValue::Read(const storage::Statement& statement, int column) {
  StoredValue value;
  value.type = statement.TypeOf(column);
  switch (value.type) {
    case ColumnType::Integer: value.integer = statement.ColumnInt64(column); break;
    case ColumnType::Float: value.real = statement.ColumnDouble(column); break;
    case ColumnType::Text: value.bytes = std::string(statement.ColumnTextView(column)); break;
    case ColumnType::Blob: {
      std::vector<uint8_t> blob = statement.ColumnBlob(column);
      value.bytes.assign(blob.begin(), blob.end());
      break;
    }
    case ColumnType::Null: break;
  }
  return value;
}

void StoredValue::Bind(storage::Statement& statement, int index) const {
  switch (type) {
    case ColumnType::Integer: statement.BindInt64(index, integer); break;
    case ColumnType::Float: statement.BindDouble(index, real); break;
    case ColumnType::Text: statement.BindText(index, bytes); break;
    case ColumnType::Blob: statement.BindBlob(index, bytes.data(), bytes.size()); break;
    case ColumnType::Null: statement.BindNull(index); break;
  }
}

void ReadColumnInto(const storage::Statement& statement, int column, const JetFieldType& type, Variant& cell) {
  if (std::string* held = cell.TextIf();
      held != nullptr && (type.type == dbText || type.type == dbChar) && statement.TypeOf(column) == ColumnType::Text) {
    held->assign(statement.ColumnTextView(column));
    return;
  }
  cell = ReadColumnValue(statement, column, type);
}

bool TimeStampOfValue(const Variant& value, TTimeStamp& stamp) {
  if (value.Type() != VarType::kDate) return false;
  return TryDateTimeToTimeStamp(value.AsDateTime(), stamp);
}

bool StoredDateTimeStamp(std::string_view text, TTimeStamp& stamp) {
  const std::optional<DateParts> parts = ParseStorageDate(text);
  TDateTime days = 0;
  if (!parts || !TryEncodeDate(parts->year, parts->month, parts->day, days)) return false;
  stamp.Date = static_cast<int32_t>(days) + kDateDelta;
  stamp.Time = ((parts->hour * 60 + parts->minute) * 60 + parts->second) * 1000 + parts->millisecond;
  return true;
}

void BoundParameters::BindTo(storage::Statement& statement) const {
  for (const auto& [number, value] : values) BindPlainValue(statement, number, value);
}

void BindStoredForm(storage::Statement& statement, int index, const Variant& value, const JetFieldType& type) {
  if (type.type == dbGUID) {
    if (auto text = StoredGuidText(value)) {
      statement.BindText(index, *text);
      return;
    }
  }
  BindPlainValue(statement, index, value);
}

std::string QuoteName(std::string_view name) { return "\"" + ReplaceAll(name, "\"", "\"\"") + "\""; }

namespace {

// Index just past a quoted run that starts at `i` (', ", [ or `), or the text's end.
size_t SkipQuoted(std::string_view text, size_t i) {
  const char open = text[i];
  const char close = open == '[' ? ']' : open;
  for (size_t j = i + 1; j < text.size(); ++j) {
    if (text[j] != close) continue;
    if (close != ']' && j + 1 < text.size() && text[j + 1] == close) {
      ++j;  // a doubled quote stays inside
      continue;
    }
    return j + 1;
  }
  return text.size();
}

bool EndsWithWord(std::string_view text, std::string_view word) {
  if (text.size() <= word.size()) return false;
  std::string_view tail = text.substr(text.size() - word.size());
  if (!AnsiSameText(tail, word)) return false;
  return std::isspace(static_cast<unsigned char>(text[text.size() - word.size() - 1])) != 0;
}

SortTerm MakeTerm(std::string_view text) {
  std::string term = Trim(std::string(text));
  SortTerm result;
  // Where Null goes follows from the direction (SortTermText writes it again).
  for (std::string_view nulls : {"NULLS FIRST", "NULLS LAST"}) {
    if (EndsWithWord(term, nulls)) term = Trim(term.substr(0, term.size() - nulls.size()));
  }
  if (EndsWithWord(term, "DESC")) {
    result.descending = true;
    term = Trim(term.substr(0, term.size() - 4));
  } else if (EndsWithWord(term, "ASC")) {
    term = Trim(term.substr(0, term.size() - 3));
  }
  result.expr = std::move(term);
  return result;
}

}  // namespace

std::vector<SortTerm> SplitSortTerms(std::string_view orderBy) {
  std::vector<SortTerm> terms;
  int depth = 0;
  size_t start = 0;
  for (size_t i = 0; i < orderBy.size();) {
    const char c = orderBy[i];
    if (c == '\'' || c == '"' || c == '[' || c == '`') {
      i = SkipQuoted(orderBy, i);
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (c == ',' && depth == 0) {
      terms.push_back(MakeTerm(orderBy.substr(start, i - start)));
      start = i + 1;
    }
    ++i;
  }
  if (!Trim(std::string(orderBy.substr(start))).empty()) {
    terms.push_back(MakeTerm(orderBy.substr(start)));
  }
  return terms;
}

std::string SortTermText(const SortTerm& term, bool reversed, const storage::SqlDialect& dialect) {
  const bool descending = term.descending != reversed;
  std::string text = term.expr;
  if (descending) text += " DESC";
  text.append(dialect.NullsFirst(descending));
  return text;
}

std::string OrderText(const std::vector<SortTerm>& terms, bool reversed, std::string_view rowKey,
                      const storage::SqlDialect& dialect) {
  std::string text;
  for (const SortTerm& term : terms) text += SortTermText(term, reversed, dialect) + ", ";
  text += rowKey;
  if (reversed) text += " DESC";
  return text;
}

namespace {

std::string Or(const std::string& a, const std::string& b) {
  if (a == "0") return b;
  if (b == "0") return a;
  if (a == "1" || b == "1") return "1";
  return "(" + a + " OR " + b + ")";
}

std::string And(const std::string& a, const std::string& b) {
  if (a == "0" || b == "0") return "0";
  if (a == "1") return b;
  if (b == "1") return a;
  return "(" + a + " AND " + b + ")";
}

}  // namespace

PositionConditions BuildPositionConditions(const std::vector<SortTerm>& terms, const std::vector<StoredValue>& values,
                                           Bound bound, std::string_view rowKey, int firstParameter) {
  const bool backward = bound == Bound::kBefore || bound == Bound::kAtOrBefore;
  const bool inclusive = bound == Bound::kAtOrAfter || bound == Bound::kAtOrBefore;
  const int rowKeyParameter = firstParameter + static_cast<int>(terms.size());

  // What lies beyond once every sort value is equal.
  std::string tail;
  if (!rowKey.empty()) {
    const char* op = backward ? (inclusive ? "<=" : "<") : (inclusive ? ">=" : ">");
    tail = std::string(rowKey) + " " + op + " ?" + std::to_string(rowKeyParameter);
  } else {
    tail = inclusive ? "1" : "0";
  }

  // SQLite puts Null first in ascending order, last in descending order. Walking an order
  // forward, "beyond v" is "greater than v" for an ascending term and "less" for a
  // descending one; a backward walk turns both round.
  auto ascendingWalk = [&](size_t i) { return terms[i].descending == backward; };
  auto param = [&](size_t i) { return "?" + std::to_string(firstParameter + static_cast<int>(i)); };
  auto e = [&](size_t i) { return "(" + terms[i].expr + ")"; };
  auto beyond = [&](size_t i) -> std::string {
    const bool isNull = i < values.size() ? values[i].IsNull() : true;
    if (ascendingWalk(i)) return isNull ? e(i) + " IS NOT NULL" : e(i) + " > " + param(i);
    return isNull ? std::string("0") : "(" + e(i) + " < " + param(i) + " OR " + e(i) + " IS NULL)";
  };
  auto equal = [&](size_t i) -> std::string {
    const bool isNull = i < values.size() ? values[i].IsNull() : true;
    return isNull ? e(i) + " IS NULL" : e(i) + " = " + param(i);
  };

  PositionConditions result;
  if (terms.empty()) {
    result.sameClass = tail;
    return result;
  }
  std::string rest = tail;
  for (size_t i = terms.size(); i-- > 1;) rest = Or(beyond(i), And(equal(i), rest));

  // The first term is written so that an index on it gives a range.
  const bool firstNull = values.empty() || values[0].IsNull();
  if (firstNull) {
    result.sameClass = And(e(0) + " IS NULL", rest);
    if (ascendingWalk(0)) result.otherClass = e(0) + " IS NOT NULL";
  } else {
    const std::string p = param(0);
    const bool ascending = ascendingWalk(0);
    const std::string strictly = e(0) + (ascending ? " > " : " < ") + p;
    const std::string range = e(0) + (ascending ? " >= " : " <= ") + p;
    if (rest == "0") {
      result.sameClass = strictly;
    } else if (rest == "1") {
      result.sameClass = range;
    } else {
      result.sameClass = "(" + range + " AND (" + strictly + " OR " + rest + "))";
    }
    if (!ascending) result.otherClass = e(0) + " IS NULL";
  }
  return result;
}

RowReader::RowReader(DatabaseFile& file, const QueryPlan& plan, const std::vector<RecordsetColumn>& columns)
    : file_(file), plan_(plan), columns_(columns) {
  sql_ = "SELECT " + plan.selectList + " FROM " + plan.from + " WHERE " + RowCondition(plan, plan.parameterCount + 1);
}

bool RowReader::Read(RowKey key, std::vector<Variant>& values) {
  // The row read before goes first: with large memo or binary values, holding it while the
  // new one is read would double what the read costs in memory.
  for (Variant& value : values) value = Variant();
  StatementUse statement(file_.Statement(sql_));
  if (plan_.selectUsesParameters) plan_.parameters.BindTo(*statement);
  BindRowKey(plan_, *statement, key, plan_.parameterCount + 1);
  if (!statement->Step()) return false;
  values.resize(columns_.size());
  for (size_t i = 0; i < columns_.size(); ++i) {
    values[i] = ReadColumnValue(*statement, static_cast<int>(i), columns_[i].type);
  }
  return true;
}

std::optional<std::vector<StoredValue>> RowReader::ReadStored(RowKey key) {
  StatementUse statement(file_.Statement(sql_));
  if (plan_.selectUsesParameters) plan_.parameters.BindTo(*statement);
  BindRowKey(plan_, *statement, key, plan_.parameterCount + 1);
  if (!statement->Step()) return std::nullopt;
  std::vector<StoredValue> values;
  for (size_t i = 0; i < columns_.size(); ++i) {
    if (!columns_[i].baseColumn.empty()) {
      values.push_back(StoredValue::Read(*statement, static_cast<int>(i)));
    }
  }
  return values;
}

namespace {

std::string MemoryCriterionSql(const storage::SqlDialect& dialect, const QueryPlan& plan,
                               const std::vector<RecordsetColumn>& columns, const FindCriteria& criteria) {
  const int firstValue = plan.parameterCount + criteria.parameterCount + 1;
  std::string values;
  for (size_t i = 0; i < columns.size(); ++i) {
    if (!values.empty()) values += ", ";
    // Typed as the field, since the values travel as the row's stored forms.
    const int type = columns[i].type.type;
    values += dialect.ParameterMarker(firstValue + static_cast<int>(i), type);
    if (type == dbText || type == dbMemo || type == dbChar) values += dialect.JetTextCollation();
    values += " AS " + QuoteName(columns[i].name);
  }
  return "SELECT 1 FROM (SELECT " + values + ")" + dialect.DerivedTableName("lumo_row") + " WHERE " + criteria.sql;
}

}  // namespace

// Prepared for this search alone: criteria carry the values searched for.
MemoryCriterion::MemoryCriterion(DatabaseFile& file, const QueryPlan& plan, const std::vector<RecordsetColumn>& columns,
                                 const FindCriteria& criteria)
    : columns_(columns),
      criteria_(criteria),
      firstValue_(plan.parameterCount + criteria.parameterCount + 1),
      check_(file.Connection().Prepare(MemoryCriterionSql(file.Connection().Dialect(), plan, columns, criteria))) {}

bool MemoryCriterion::Matches(const Variant* values) {
  StatementUse statement(*check_);
  statement->ClearBindings();
  criteria_.parameters.BindTo(*statement);
  for (size_t i = 0; i < columns_.size(); ++i) {
    BindStoredForm(*statement, firstValue_ + static_cast<int>(i), values[i], columns_[i].type);
  }
  return statement->Step();
}

ScanStatement OpenScan(DatabaseFile& file, const QueryPlan& plan) {
  ScanStatement scan;
  scan.connection = file.OpenScanConnection();
  scan.statement = (scan.connection ? *scan.connection : file.Connection()).Prepare(plan.fullSql);
  plan.parameters.BindTo(*scan.statement);
  return scan;
}

uint32_t BookmarkTable::BookmarkOf(RowKey key, RowPosition positionHint) {
  uint32_t bookmark = 0;
  if (key >= 0 && static_cast<uint64_t>(key) < denseBookmarkOf_.size()) {
    bookmark = denseBookmarkOf_[static_cast<size_t>(key)];
  }
  if (bookmark == 0 && !bookmarkOf_.empty()) {
    auto found = bookmarkOf_.find(key);
    if (found != bookmarkOf_.end()) bookmark = found->second;
  }
  if (bookmark != 0) {
    entries_[bookmark - 1].hint = positionHint;
    return bookmark;
  }
  entries_.push_back({key, positionHint});
  bookmark = static_cast<uint32_t>(entries_.size());
  // Row ids are mostly small and close together, so most keys index a flat array; the array
  // may be at most a few times larger than the bookmarks given out, sparse keys go to the map.
  const uint64_t room = std::max<uint64_t>(kDenseMinimum, 4 * static_cast<uint64_t>(entries_.size()));
  if (key >= 0 && static_cast<uint64_t>(key) < room) {
    const auto index = static_cast<size_t>(key);
    if (index >= denseBookmarkOf_.size()) {
      denseBookmarkOf_.resize(std::max(index + 1, 2 * denseBookmarkOf_.size()), 0);
    }
    denseBookmarkOf_[index] = bookmark;
  } else {
    bookmarkOf_.emplace(key, bookmark);
  }
  return bookmark;
}

std::optional<std::pair<RowKey, RowPosition>> BookmarkTable::RowOf(uint32_t bookmark) const {
  if (bookmark == 0 || bookmark > entries_.size()) return std::nullopt;
  const Entry& entry = entries_[bookmark - 1];
  return std::make_pair(entry.key, entry.hint);
}

void BookmarkTable::NoteHint(uint32_t bookmark, RowPosition position) {
  if (bookmark != 0 && bookmark <= entries_.size()) entries_[bookmark - 1].hint = position;
}

}  // namespace lumo::jet

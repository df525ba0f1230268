// JetSqlEmitter: queries (SELECT with its FROM list and joins, TOP, DISTINCTROW, unions).

#include <algorithm>
#include <set>

#include "jet/sql/JetSqlEmitter.h"
#include "jet/sql/JetSqlEmitterUtil.h"

namespace lumo::jet {

using namespace emit;

std::string JetSqlEmitter::TableRefText(const TableRef& ref) {
  switch (ref.kind) {
    case TableRef::Kind::kTable:
      return Quote(TableName(ref.name)) + (ref.alias.empty() ? "" : " AS " + Quote(ref.alias));
    case TableRef::Kind::kSubquery:
      return "(" + Select(*ref.subquery) + ")" + (ref.alias.empty() ? "" : " AS " + Quote(ref.alias));
    case TableRef::Kind::kJoin: {
      // SQLite reads RIGHT JOIN itself since 3.39; swapping the sides into a LEFT JOIN would
      // reverse the column order of SELECT *.
      std::string text = TableRefText(*ref.left);
      text += ref.join == JoinKind::kInner  ? " INNER JOIN "
              : ref.join == JoinKind::kLeft ? " LEFT JOIN "
                                            : " RIGHT JOIN ";
      const std::string right = TableRefText(*ref.right);
      text += ref.right->kind == TableRef::Kind::kJoin ? "(" + right + ")" : right;
      text += " ON " + Condition(*ref.on).text;
      return text;
    }
  }
  return {};
}

// Jet's DISTINCTROW drops rows that come from the same records of the tables delivering
// columns; that matters only when some joined table delivers none.
std::string JetSqlEmitter::DistinctRowGroup(const SelectCore& core) {
  if (CoreIsAggregated(core)) return {};
  std::vector<const TableRef*> tables;
  bool hasSubquery = false;
  for (const TableRefPtr& ref : core.from) CollectTables(*ref, tables, &hasSubquery);
  if (hasSubquery || tables.size() < 2) return {};
  std::set<std::string> used;
  // Collects the qualifiers of the columns an expression reads; false for an unqualified one.
  struct Walker {
    const JetSqlEmitter& emitter;
    std::set<std::string>& used;
    bool Walk(const Expr& expr) {
      if (expr.kind == ExprKind::kColumn && emitter.IsPlainColumn(expr)) {
        if (expr.names.size() < 2) return false;
        used.insert(UpperName(expr.names[expr.names.size() - 2]));
      }
      for (const ExprPtr& child : expr.children) {
        if (!Walk(*child)) return false;
      }
      return true;
    }
  } walker{*this, used};
  for (const SelectItem& item : core.items) {
    if (item.star) {
      if (item.starQualifier.empty()) return {};
      used.insert(UpperName(item.starQualifier));
    } else if (!walker.Walk(*item.expr)) {
      return {};
    }
  }
  std::string group;
  size_t delivering = 0;
  for (const TableRef* table : tables) {
    if (used.count(UpperName(RefName(*table))) == 0) continue;
    ++delivering;
    if (!group.empty()) group += ", ";
    group += Quote(RefName(*table)) + "." + std::string(dialect_.RowIdName());
  }
  if (delivering == 0 || delivering == tables.size()) return {};
  return group;
}

std::string JetSqlEmitter::FromTail(const SelectCore& core, const std::string& distinctRowGroup) {
  std::string text;
  if (!core.from.empty()) {
    text += " FROM ";
    for (size_t i = 0; i < core.from.size(); ++i) {
      if (i > 0) text += ", ";
      text += TableRefText(*core.from[i]);
    }
  }
  if (core.where) text += " WHERE " + Condition(*core.where).text;
  if (!core.groupBy.empty()) {
    text += " GROUP BY ";
    for (size_t i = 0; i < core.groupBy.size(); ++i) {
      if (i > 0) text += ", ";
      text += GroupTerm(*core.groupBy[i]);
    }
  } else if (!distinctRowGroup.empty()) {
    text += " GROUP BY " + distinctRowGroup;
  }
  if (core.having) text += " HAVING " + Condition(*core.having).text;
  return text;
}

// TOP n keeps every row that ties with the n-th on the sort keys: the limit counts the rows
// whose rank is at most n.
std::string JetSqlEmitter::Top(const SelectCore& core, const std::vector<OrderItem>* orderBy, const std::string& items,
                               const std::string& tail) {
  const std::string n = std::to_string(*core.top);
  // SQLite's LIMIT cannot see the columns of an outer query, so a subquery inside an
  // expression (which may be correlated) takes its first n rows without the ties.
  const bool ordered =
      orderBy != nullptr && !orderBy->empty() && core.distinct != DistinctMode::kDistinct && expressionSubqueries_ == 0;
  if (!ordered) {
    if (!core.topPercent) return dialect_.Limit(n);
    std::string counted =
        core.distinct == DistinctMode::kDistinct ? "SELECT DISTINCT " + items + tail : "SELECT 1" + tail;
    return dialect_.Limit("(SELECT (count(*) * " + n + " + 99) / 100 FROM (" + counted + ")" +
                          dialect_.DerivedTableName("jet_top") + ")");
  }
  std::string inner = "SELECT rank() OVER (ORDER BY " + EmitSortList(*orderBy) + ") AS \"jet_rank\"";
  if (core.topPercent) inner += ", count(*) OVER () AS \"jet_total\"";
  inner += tail;
  const std::string bound = core.topPercent ? "(\"jet_total\" * " + n + " + 99) / 100" : n;
  return dialect_.Limit("(SELECT count(*) FROM (" + inner + ")" + dialect_.DerivedTableName("jet_top") +
                        " WHERE \"jet_rank\" <= " + bound + ")");
}

std::string JetSqlEmitter::Core(const SelectCore& core, const std::vector<OrderItem>* orderBy, bool nameExpressions,
                                const std::string& firstItemAlias) {
  // Only the outermost query hands its pieces over; the subqueries inside its select list,
  // FROM, WHERE or sort are emitted with the capture switched off.
  CoreCapture* capture = capture_;
  capture_ = nullptr;
  const std::vector<JetFieldType>* store = coreStoreTypes_;
  coreStoreTypes_ = nullptr;
  const bool storesCurrency = store != nullptr && std::any_of(store->begin(), store->end(), [](const JetFieldType& t) {
                                return t.type == dbCurrency;
                              });
  ScopeUse scope(*this, core);
  std::string items;
  size_t position = 0;  // of the next value among the columns an INSERT writes
  for (size_t i = 0; i < core.items.size(); ++i) {
    const SelectItem& item = core.items[i];
    if (i > 0) items += ", ";
    if (item.star) {
      items += storesCurrency ? StarForStoring(item, *store, position)
                              : (item.starQualifier.empty() ? "*" : Quote(item.starQualifier) + ".*");
      continue;
    }
    const JetFieldType* target = store != nullptr && position < store->size() ? &(*store)[position] : nullptr;
    ++position;
    items += Stored(Value(*item.expr).text, target);
    std::string alias = (i == 0 && !firstItemAlias.empty()) ? firstItemAlias : item.alias;
    // Jet names an unnamed expression Expr1000, Expr1001, ...
    if (alias.empty() && nameExpressions && !IsPlainColumn(*item.expr)) {
      alias = "Expr" + std::to_string(expressionNames_++);
    }
    if (!alias.empty()) items += " AS " + Quote(alias);
    if (capture != nullptr) {
      const SchemaColumn* source = FindColumn(StripParens(*item.expr));
      // The server names an unnamed column of the result as it stores it.
      std::string name = alias.empty() ? ResultName(item) : alias;
      if (alias.empty() && source != nullptr && dialect_.NamesAsStored()) name = source->name;
      capture->columnTypes.push_back({name, TypeOf(*item.expr), source == nullptr || source->noCase});
    }
  }
  const std::string distinctRowGroup = core.distinct == DistinctMode::kDistinctRow ? DistinctRowGroup(core) : "";
  const std::string tail = FromTail(core, distinctRowGroup);
  std::string text = "SELECT ";
  if (core.distinct == DistinctMode::kDistinct) text += "DISTINCT ";
  text += items + tail;
  std::string sort;
  const bool savedPlainOrder = plainTextOrder_;
  plainTextOrder_ = core.distinct == DistinctMode::kDistinct && dialect_.JetTextOnBothSides();
  if (orderBy != nullptr && !orderBy->empty()) {
    sort = EmitSortList(*orderBy);
    text += " ORDER BY " + sort;
  }
  if (core.top) text += Top(core, orderBy, items, tail);
  if (capture != nullptr) {
    capture->selectList = items;
    capture->sort = sort;
    if (!sort.empty() && !dialect_.NullsFirst(false).empty()) {
      bareSort_ = true;
      capture->sort = EmitSortList(*orderBy);
      bareSort_ = false;
    }
  }
  plainTextOrder_ = savedPlainOrder;
  return text;
}

// A "*" or "t.*" whose columns go into columns of an INSERT, spelled out so that each value
// takes the stored form of its column. Without the names of the columns it stands for, the
// star stays, and the values after it are written as they come.
std::string JetSqlEmitter::StarForStoring(const SelectItem& item, const std::vector<JetFieldType>& store,
                                          size_t& position) {
  const std::string star = item.starQualifier.empty() ? "*" : Quote(item.starQualifier) + ".*";
  std::string text;
  for (const ScopeEntry& entry : scopes_.back()) {
    if (!item.starQualifier.empty() && !SameName(entry.name, item.starQualifier)) continue;
    const std::vector<SchemaColumn>* columns = entry.columns != nullptr ? entry.columns : &entry.derived;
    if (entry.name.empty() || (entry.columns == nullptr && entry.derived.empty())) {
      position = store.size();
      return star;
    }
    for (const SchemaColumn& column : *columns) {
      if (!text.empty()) text += ", ";
      const JetFieldType* target = position < store.size() ? &store[position] : nullptr;
      ++position;
      text += Stored(Quote(entry.name) + "." + Quote(column.name), target);
    }
  }
  return text.empty() ? star : text;
}

std::string JetSqlEmitter::ExpressionSubquery(const SelectStatement& select, const std::string& firstItemAlias) {
  ++expressionSubqueries_;
  std::string text = Select(select, firstItemAlias);
  --expressionSubqueries_;
  return text;
}

std::string JetSqlEmitter::Select(const SelectStatement& select, const std::string& firstItemAlias) {
  const bool nameExpressions = nameNextQuery_;
  nameNextQuery_ = false;
  const std::vector<JetFieldType>* store = storeTypes_;
  storeTypes_ = nullptr;
  if (!select.IsUnion()) {
    coreStoreTypes_ = store;
    return Core(select.cores[0], &select.orderBy, nameExpressions, firstItemAlias);
  }
  std::string text;
  for (size_t i = 0; i < select.cores.size(); ++i) {
    coreStoreTypes_ = store;
    std::string member = Core(select.cores[i], nullptr, nameExpressions && i == 0, i == 0 ? firstItemAlias : "");
    if (select.cores[i].top) member = "SELECT * FROM (" + member + ")" + dialect_.DerivedTableName("jet_member");
    if (i > 0) text += select.unionAll[i - 1] ? " UNION ALL " : " UNION ";
    text += member;
  }
  if (!select.orderBy.empty()) {
    // The sort of a union names the columns of its result.
    const bool saved = stripQualifiers_;
    stripQualifiers_ = true;
    text = "SELECT * FROM (" + text + ")" + dialect_.DerivedTableName("jet_union") + " ORDER BY " +
           EmitSortList(select.orderBy);
    stripQualifiers_ = saved;
  }
  return text;
}

}  // namespace lumo::jet

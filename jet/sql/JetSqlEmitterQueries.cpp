// JetSqlEmitter: queries (SELECT with its FROM list and joins, TOP, DISTINCTROW, unions).

#include <set>

#include "jet/sql/JetSqlEmitter.h"
#include "jet/sql/JetSqlEmitterUtil.h"

namespace lumo::jet {

using namespace emit;

std::string JetSqlEmitter::TableRefText(const TableRef& ref) {
  switch (ref.kind) {
    case TableRef::Kind::kTable:
      return Quote(ref.name) + (ref.alias.empty() ? "" : " AS " + Quote(ref.alias));
    case TableRef::Kind::kSubquery:
      return "(" + Select(*ref.subquery) + ")" + (ref.alias.empty() ? "" : " AS " + Quote(ref.alias));
    case TableRef::Kind::kJoin: {
      // SQLite reads RIGHT JOIN itself since 3.39; swapping the sides into a LEFT JOIN would
      // reverse the column order of SELECT *.
      std::string text = TableRefText(*ref.left);
      text += ref.join == JoinKind::kInner ? " INNER JOIN " : ref.join == JoinKind::kLeft ? " LEFT JOIN " : " RIGHT JOIN ";
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
    group += Quote(RefName(*table)) + ".rowid";
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
std::string JetSqlEmitter::Top(const SelectCore& core, const std::vector<OrderItem>* orderBy,
                               const std::string& items, const std::string& tail) {
  const std::string n = std::to_string(*core.top);
  // SQLite's LIMIT cannot see the columns of an outer query, so a subquery inside an
  // expression (which may be correlated) takes its first n rows without the ties.
  const bool ordered = orderBy != nullptr && !orderBy->empty() && core.distinct != DistinctMode::kDistinct &&
                       expressionSubqueries_ == 0;
  if (!ordered) {
    if (!core.topPercent) return " LIMIT " + n;
    std::string counted = core.distinct == DistinctMode::kDistinct ? "SELECT DISTINCT " + items + tail : "SELECT 1" + tail;
    return " LIMIT (SELECT (count(*) * " + n + " + 99) / 100 FROM (" + counted + "))";
  }
  std::string inner = "SELECT rank() OVER (ORDER BY " + EmitSortList(*orderBy) + ") AS \"jet_rank\"";
  if (core.topPercent) inner += ", count(*) OVER () AS \"jet_total\"";
  inner += tail;
  const std::string bound = core.topPercent ? "(\"jet_total\" * " + n + " + 99) / 100" : n;
  return " LIMIT (SELECT count(*) FROM (" + inner + ") WHERE \"jet_rank\" <= " + bound + ")";
}

std::string JetSqlEmitter::Core(const SelectCore& core, const std::vector<OrderItem>* orderBy, bool nameExpressions,
                                const std::string& firstItemAlias) {
  // Only the outermost query hands its pieces over; the subqueries inside its select list,
  // FROM, WHERE or sort are emitted with the capture switched off.
  CoreCapture* capture = capture_;
  capture_ = nullptr;
  ScopeUse scope(*this, core);
  std::string items;
  for (size_t i = 0; i < core.items.size(); ++i) {
    const SelectItem& item = core.items[i];
    if (i > 0) items += ", ";
    if (item.star) {
      items += item.starQualifier.empty() ? "*" : Quote(item.starQualifier) + ".*";
      continue;
    }
    items += Value(*item.expr).text;
    std::string alias = (i == 0 && !firstItemAlias.empty()) ? firstItemAlias : item.alias;
    // Jet names an unnamed expression Expr1000, Expr1001, ...
    if (alias.empty() && nameExpressions && !IsPlainColumn(*item.expr)) {
      alias = "Expr" + std::to_string(expressionNames_++);
    }
    if (!alias.empty()) items += " AS " + Quote(alias);
    if (capture != nullptr) {
      capture->columnTypes.push_back({alias.empty() ? ResultName(item) : alias, TypeOf(*item.expr)});
    }
  }
  const std::string distinctRowGroup = core.distinct == DistinctMode::kDistinctRow ? DistinctRowGroup(core) : "";
  const std::string tail = FromTail(core, distinctRowGroup);
  std::string text = "SELECT ";
  if (core.distinct == DistinctMode::kDistinct) text += "DISTINCT ";
  text += items + tail;
  std::string sort;
  if (orderBy != nullptr && !orderBy->empty()) {
    sort = EmitSortList(*orderBy);
    text += " ORDER BY " + sort;
  }
  if (core.top) text += Top(core, orderBy, items, tail);
  if (capture != nullptr) {
    capture->selectList = items;
    capture->sort = sort;
  }
  return text;
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
  if (!select.IsUnion()) return Core(select.cores[0], &select.orderBy, nameExpressions, firstItemAlias);
  std::string text;
  for (size_t i = 0; i < select.cores.size(); ++i) {
    std::string member = Core(select.cores[i], nullptr, nameExpressions && i == 0, i == 0 ? firstItemAlias : "");
    if (select.cores[i].top) member = "SELECT * FROM (" + member + ")";
    if (i > 0) text += select.unionAll[i - 1] ? " UNION ALL " : " UNION ";
    text += member;
  }
  if (!select.orderBy.empty()) {
    // The sort of a union names the columns of its result.
    const bool saved = stripQualifiers_;
    stripQualifiers_ = true;
    text = "SELECT * FROM (" + text + ") ORDER BY " + EmitSortList(select.orderBy);
    stripQualifiers_ = saved;
  }
  return text;
}

}  // namespace lumo::jet

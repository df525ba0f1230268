#pragma once
// Helpers shared by the files of JetSqlEmitter: quoting, literals and walks over the tree.

#include <string>
#include <string_view>
#include <vector>

#include "jet/sql/JetFunctionCatalogue.h"
#include "jet/sql/JetSqlAst.h"
#include "jet/sql/JetText.h"

namespace lumo::jet::emit {

inline std::string Quote(std::string_view name) {
  std::string text = "\"";
  for (char c : name) {
    if (c == '"') text += '"';
    text += c;
  }
  text += '"';
  return text;
}

// A text literal. SQLite's tokenizer stops at a zero byte, so one inside the text is spliced
// in with char(0).
inline std::string Literal(std::string_view value) {
  std::string text = "'";
  bool spliced = false;
  for (char c : value) {
    if (c == '\0') {
      text += "' || char(0) || '";
      spliced = true;
      continue;
    }
    if (c == '\'') text += '\'';
    text += c;
  }
  text += '\'';
  return spliced ? "(" + text + ")" : text;
}

inline std::string Wrap(const std::string& text, int precedence, int minimum) {
  return precedence < minimum ? "(" + text + ")" : text;
}

inline std::string UpperName(std::string_view name) { return Utf8ToUpper(name); }

inline std::string JoinNames(const std::vector<std::string>& names) {
  std::string joined;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) joined += '.';
    joined += names[i];
  }
  return joined;
}

inline const Expr& StripParens(const Expr& expr) {
  const Expr* e = &expr;
  while (e->kind == ExprKind::kParen) e = e->children[0].get();
  return *e;
}

inline bool ContainsAggregate(const Expr& expr) {
  if (expr.kind == ExprKind::kFunction) {
    const JetFunctionInfo* info = FindJetFunction(expr.upper);
    if (info != nullptr && info->role == FunctionRole::kAggregate) return true;
  }
  for (const ExprPtr& child : expr.children) {
    if (ContainsAggregate(*child)) return true;
  }
  return false;
}

inline bool CoreIsAggregated(const SelectCore& core) {
  if (!core.groupBy.empty() || core.having) return true;
  for (const SelectItem& item : core.items) {
    if (item.expr && ContainsAggregate(*item.expr)) return true;
  }
  return false;
}

// Base tables of a FROM entry in order; subqueries are skipped, *hasSubquery tells.
inline void CollectTables(const TableRef& ref, std::vector<const TableRef*>& tables, bool* hasSubquery) {
  switch (ref.kind) {
    case TableRef::Kind::kTable: tables.push_back(&ref); break;
    case TableRef::Kind::kSubquery:
      if (hasSubquery != nullptr) *hasSubquery = true;
      break;
    case TableRef::Kind::kJoin:
      CollectTables(*ref.left, tables, hasSubquery);
      CollectTables(*ref.right, tables, hasSubquery);
      break;
  }
}

inline std::string RefName(const TableRef& ref) { return ref.alias.empty() ? ref.name : ref.alias; }

inline bool SameName(std::string_view a, std::string_view b) { return UpperName(a) == UpperName(b); }

inline bool RefMatches(const TableRef& ref, std::string_view qualifier) {
  return SameName(RefName(ref), qualifier) || (ref.alias.empty() && SameName(ref.name, qualifier));
}

}  // namespace lumo::jet::emit

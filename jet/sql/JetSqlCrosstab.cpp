#include "jet/sql/JetSqlCrosstab.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "jet/DaoErrors.h"
#include "jet/sql/JetNumberText.h"
#include "jet/sql/JetSqlEmitterUtil.h"
#include "jet/sql/JetSqlParser.h"

namespace lumo::jet {

namespace {

// Jet's limit on the columns of a query.
constexpr size_t kMaxColumns = 255;

// A copy of an expression without subqueries (the parser refuses them in the value and the
// pivot); null when it holds one.
ExprPtr Clone(const Expr& expr) {
  if (expr.subquery) return nullptr;
  auto copy = std::make_unique<Expr>();
  copy->kind = expr.kind;
  copy->begin = expr.begin;
  copy->end = expr.end;
  copy->depth = expr.depth;
  copy->text = expr.text;
  copy->upper = expr.upper;
  copy->names = expr.names;
  copy->unaryOp = expr.unaryOp;
  copy->binaryOp = expr.binaryOp;
  copy->negated = expr.negated;
  copy->star = expr.star;
  copy->all = expr.all;
  copy->number = expr.number;
  for (const ExprPtr& child : expr.children) {
    ExprPtr childCopy = Clone(*child);
    if (!childCopy) return nullptr;
    copy->children.push_back(std::move(childCopy));
  }
  return copy;
}

ExprPtr Node(ExprKind kind, std::vector<ExprPtr> children, std::string text = {}) {
  auto node = std::make_unique<Expr>();
  node->kind = kind;
  node->text = std::move(text);
  int depth = 0;
  for (const ExprPtr& child : children) depth = std::max(depth, child->depth);
  node->depth = depth + 1;
  node->children = std::move(children);
  return node;
}

// m/d/yyyy, with h:nn:ss AM/PM when the time is not midnight; a time alone (on 30 Dec 1899)
// without the date.
std::string DateHeading(const DateParts& parts) {
  char date[32];
  std::snprintf(date, sizeof date, "%d/%d/%d", parts.month, parts.day, parts.year);
  if (parts.hour == 0 && parts.minute == 0 && parts.second == 0) return date;
  char time[32];
  const int hour = parts.hour % 12 == 0 ? 12 : parts.hour % 12;
  std::snprintf(time, sizeof time, "%d:%02d:%02d %s", hour, parts.minute, parts.second, parts.hour < 12 ? "AM" : "PM");
  if (parts.year == 1899 && parts.month == 12 && parts.day == 30) return time;
  return std::string(date) + " " + time;
}

// A number literal's heading: as Jet writes the value, not as the SQL text did (2.50 is "2.5").
std::string NumberHeading(const std::string& text) {
  if (text.find_first_of(".eE") == std::string::npos && text.size() <= 18) {
    return std::to_string(std::strtoll(text.c_str(), nullptr, 10));
  }
  return fn::NumberText(std::strtod(text.c_str(), nullptr));
}

// The heading's condition on a row: its pivot value is the heading's value (Jet's comparison,
// so that texts match without regard to case, as they grouped).
ExprPtr HeadingCondition(const Expr& pivot, const PivotHeading& heading) {
  std::vector<ExprPtr> sides;
  sides.push_back(Clone(pivot));
  if (!heading.value) return Node(ExprKind::kIsNull, std::move(sides));
  sides.push_back(Clone(*heading.value));
  ExprPtr comparison = Node(ExprKind::kBinary, std::move(sides));
  comparison->binaryOp = BinaryOp::kEqual;
  return comparison;
}

// Every aggregate of `expr` takes only the rows that meet `condition`.
void FilterAggregates(ExprPtr& expr, const Expr& condition) {
  if (expr->kind == ExprKind::kFunction) {
    const JetFunctionInfo* info = FindJetFunction(expr->upper);
    if (info != nullptr && info->role == FunctionRole::kAggregate) {
      std::vector<ExprPtr> parts;
      parts.push_back(std::move(expr));
      parts.push_back(Clone(condition));
      expr = Node(ExprKind::kFiltered, std::move(parts));
      return;
    }
  }
  for (ExprPtr& child : expr->children) FilterAggregates(child, condition);
}

}  // namespace

std::vector<PivotHeading> FixedHeadings(const CrosstabStatement& crosstab) {
  std::vector<PivotHeading> headings;
  std::vector<std::string> seen;
  for (const ExprPtr& given : crosstab.headings) {
    const bool negative = given->kind == ExprKind::kUnary;
    const Expr& literal = negative ? *given->children[0] : *given;
    PivotHeading heading;
    heading.value = Clone(*given);
    switch (literal.kind) {
      case ExprKind::kNumber: {
        heading.name = NumberHeading(literal.text);
        if (negative && heading.name != "0") heading.name = "-" + heading.name;
        break;
      }
      case ExprKind::kDate: heading.name = DateHeading(ParseStorageDate(literal.text).value_or(DateParts{})); break;
      case ExprKind::kBoolean: heading.name = literal.number == 0 ? "0" : "-1"; break;
      default: heading.name = literal.text; break;
    }
    const std::string upper = emit::UpperName(heading.name);
    if (std::find(seen.begin(), seen.end(), upper) != seen.end()) {
      throw JetSqlError{kDaoHeadingTwice, {heading.name}};
    }
    seen.push_back(upper);
    headings.push_back(std::move(heading));
  }
  return headings;
}

std::vector<PivotHeading> HeadingsOf(const std::vector<PivotValue>& values) {
  std::vector<PivotHeading> headings;
  for (const PivotValue& value : values) {
    PivotHeading heading;
    switch (value.kind) {
      case PivotValue::Kind::kNull: heading.name = "<>"; break;
      case PivotValue::Kind::kInteger:
        heading.name = std::to_string(value.integer);
        heading.value = Node(ExprKind::kNumber, {}, heading.name);
        break;
      case PivotValue::Kind::kReal: {
        std::string text;
        if (std::isfinite(value.real)) {
          char buffer[40];
          std::snprintf(buffer, sizeof buffer, "%.17g", value.real);
          text = buffer;
        } else {
          text = value.real < 0 ? "-9e999" : "9e999";  // what SQLite reads as infinity
        }
        heading.name = fn::NumberText(value.real);
        heading.value = Node(ExprKind::kNumber, {}, text);
        break;
      }
      case PivotValue::Kind::kText: {
        // A date arrives as its stored text.
        const std::optional<DateParts> date =
            value.text.size() == 23 ? ParseStorageDate(value.text) : std::optional<DateParts>();
        heading.name = date ? DateHeading(*date) : value.text;
        heading.value = Node(date ? ExprKind::kDate : ExprKind::kString, {}, value.text);
        break;
      }
    }
    headings.push_back(std::move(heading));
  }
  return headings;
}

Statement PivotValuesStatement(Statement& crosstab) {
  const Expr& pivot = *crosstab.crosstab->pivot;
  SelectCore& source = crosstab.select->cores[0];
  Statement values;
  values.kind = StatementKind::kSelect;
  values.parameters = crosstab.parameters;
  values.select = std::make_unique<SelectStatement>();
  SelectCore& core = values.select->cores.emplace_back();
  SelectItem item;
  item.expr = Clone(pivot);
  core.items.push_back(std::move(item));
  core.from = std::move(source.from);
  core.where = std::move(source.where);
  // Grouped and sorted as Jet compares: texts without regard to case, Null first.
  core.groupBy.push_back(Clone(pivot));
  OrderItem order;
  order.expr = Clone(pivot);
  values.select->orderBy.push_back(std::move(order));
  return values;
}

void RewriteCrosstab(Statement& statement, std::vector<PivotHeading> headings) {
  const CrosstabStatement& crosstab = *statement.crosstab;
  SelectStatement& select = *statement.select;
  SelectCore& core = select.cores[0];
  if (core.items.size() + headings.size() > kMaxColumns) throw JetSqlError{kDaoTooManyFields, {}};
  if (select.orderBy.empty()) {
    std::vector<OrderItem> order;
    for (const ExprPtr& group : core.groupBy) {
      OrderItem item;
      item.expr = Clone(*group);
      if (!item.expr) break;
      order.push_back(std::move(item));
    }
    if (order.size() == core.groupBy.size()) select.orderBy = std::move(order);
  }
  for (PivotHeading& heading : headings) {
    ExprPtr condition = HeadingCondition(*crosstab.pivot, heading);
    ExprPtr value = Clone(*crosstab.value);
    FilterAggregates(value, *condition);
    std::vector<ExprPtr> cell;
    cell.push_back(std::move(condition));
    cell.push_back(std::move(value));
    SelectItem item;
    item.expr = Node(ExprKind::kPivotCell, std::move(cell));
    // A text may hold a zero byte, which no name can.
    std::erase(heading.name, '\0');
    item.alias = std::move(heading.name);
    core.items.push_back(std::move(item));
  }
  statement.kind = StatementKind::kSelect;
}

}  // namespace lumo::jet

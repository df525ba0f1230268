#pragma once
// Crosstabs (TRANSFORM ... PIVOT) as SQLite can run them: rewritten, on the syntax tree, into
// a grouped SELECT with one column per heading.
//
// The headings are the IN list's, in its order, or else the values the pivot expression takes
// over the rows the WHERE lets through, ascending, Null first. Finding those needs the data,
// so a crosstab without an IN list is translated twice: first into the query that finds them
// (PivotValuesStatement), then, given its values, into the crosstab itself.
//
// The rewritten query keeps the SELECT's row headings and adds, for each heading, the TRANSFORM
// value with every aggregate in it taking only the rows whose pivot value is the heading
// (an aggregate FILTER); a cell of a group without such rows is Null, as Jet leaves it empty,
// even for Count. The column is named by the heading: a text as it is, a number as Jet writes
// it, a date as m/d/yyyy [h:nn:ss AM], Null as "<>". Rows come in the order of the GROUP BY
// unless the SELECT has an ORDER BY.
//
// Errors (JetSqlError): 3104 for a fixed heading given twice, 3190 beyond 255 columns.

#include <string>
#include <vector>

#include "jet/sql/JetSqlAst.h"
#include "jet/sql/JetSqlTranslator.h"

namespace lumo::jet {

struct PivotHeading {
  ExprPtr value;     // a literal; null for the heading of Null pivot values
  std::string name;  // the column's name
};

// The IN list's headings.
std::vector<PivotHeading> FixedHeadings(const CrosstabStatement& crosstab);
// Headings for the values the first query found.
std::vector<PivotHeading> HeadingsOf(const std::vector<PivotValue>& values);

// The first query of a crosstab without an IN list. Takes the FROM and WHERE of `crosstab`,
// which is of no further use.
Statement PivotValuesStatement(Statement& crosstab);

// Makes `statement` (a crosstab) the grouped SELECT answering it; statement.crosstab stays.
void RewriteCrosstab(Statement& statement, std::vector<PivotHeading> headings);

}  // namespace lumo::jet

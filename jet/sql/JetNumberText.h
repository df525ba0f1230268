#pragma once
// A Double written as the expression service writes it: fifteen significant digits, an
// exponent without leading zeros. The translator needs it for crosstab headings taken from
// numbers, the SQL functions for every number they turn into text.

#include <string>

namespace lumo::jet::fn {

std::string NumberText(double value);

}  // namespace lumo::jet::fn

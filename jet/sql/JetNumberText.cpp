#include "jet/sql/JetNumberText.h"

#include <cmath>
#include <cstdio>

namespace lumo::jet::fn {

std::string NumberText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  // Fifteen significant digits, as the expression service shows a Double.
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15G", value);
  std::string text = buffer;
  size_t e = text.find('E');
  if (e != std::string::npos) {
    // 1E+20 rather than 1E+020 or 1.00000000000000E+20.
    std::string mantissa = text.substr(0, e);
    std::string exponent = text.substr(e + 1);
    char sign = exponent[0];
    exponent = exponent.substr(1);
    while (exponent.size() > 1 && exponent[0] == '0') exponent.erase(0, 1);
    return mantissa + "E" + sign + exponent;
  }
  return text;
}

}  // namespace lumo::jet::fn

#pragma once
// Date texts as Jet reads them: the inside of a #...# literal, and the text CDate, DateValue
// and IsDate are given.

#include <optional>
#include <string_view>

#include "jet/JetTypes.h"

namespace lumo::jet {

// Reads the inside of a #...# literal (also the text of CDate/DateValue): month/day/year
// with "/", "-" or "." (a year of four digits may come first), month names in English, an
// optional time h:n[:s] with optional AM/PM. A day/month order is accepted where month/day
// is impossible (#13/5/2020# is 13 May). Two-digit years 00-29 are 2000-2029, 30-99 are
// 1930-1999; a missing year is the current one; a time alone lies on 30 Dec 1899.
std::optional<DateParts> ParseJetDateText(std::string_view text);

}  // namespace lumo::jet

#pragma once

#include <QString>

// Money as the shop sees it: to the cent. Sums of binary amounts leave
// leftovers such as -8.88178419700125E-16 where the true total is 0; every
// total is rounded here before it is shown, compared, printed or written in
// capital numerals.
namespace Money {

// Two decimals, half away from zero on the number as it reads with 15
// significant digits (1.005 gives 1.01 although its binary value lies just
// below). A result of zero is +0, never -0; NaN and infinities give 0.
double roundToCents(double value);

// The rounded amount in the general decimal form ("37.5", "0", "-12").
QString text(double value);

} // namespace Money

#pragma once

#include <QString>
#include <QVariant>

// How numbers are shown in lists and boxes: the display patterns of the grid
// columns ("#0.###", "#0.##", "0.00"), the general decimal form used when no
// pattern is given, and the whole-number rounding of the stock alarm.
namespace NumberFormat {

// Formats with a pattern of the form "#0.###": the digits after the point
// that are "0" are always shown, those that are "#" only when not zero. The
// value is first taken to 15 significant digits (as the operator typed it,
// not its binary approximation) and then rounded half away from zero on that
// decimal text, so 1.005 with "#0.##" reads "1.01". No thousands separator;
// a result that rounds to zero never carries a minus sign. An empty pattern
// gives general(). Infinite or NaN values give an empty text.
QString format(double value, const QString &pattern);

// The general decimal form: shortest text up to 15 significant digits, no
// thousands separator; very large or very small values as "1.5E20", "1E-5".
QString general(double value);

// A database value for a grid cell: null gives an empty text, numbers go
// through format(), anything else is shown as its text.
QString formatValue(const QVariant &value, const QString &pattern);

// Whole number nearest to value, halves to the even neighbour (4.5 -> 4, 5.5 -> 6).
double roundHalfEven(double value);

// The stock alarm box's text as a whole number. An empty or unreadable text
// counts as 0; digits beyond the 32-bit range count as the largest value
// (the smallest when negative), so an oversized alarm marks every row.
int alarmQuantity(const QString &text);

// True when a stock quantity, rounded half to even, is at or below the alarm
// quantity. A null quantity counts as 0.
bool isAtOrBelowAlarm(const QVariant &quantity, int alarm);

} // namespace NumberFormat

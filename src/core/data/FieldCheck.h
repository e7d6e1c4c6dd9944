#pragma once

#include "data/QueryHelpers.h"

#include <QString>
#include <QStringView>

// A value an operator typed that may not be stored: a text over its column's
// limit or holding control characters, a number that is not finite or beyond
// what a shop can mean. Nothing has been written when it is thrown; the
// message names the box, and column() says which one so a window can focus it.
class RefusedValue : public DatabaseError
{
public:
    RefusedValue(const QString &message, const QString &column);
    QString column() const { return m_column; }

private:
    QString m_column;
};

// The checks the core makes on every value before a write, the same on both
// engines, so a box that slipped something past its filter still cannot
// store infinity, NaN or a text one engine refuses.
namespace FieldCheck {

// Prices, amounts and quantities stay within this magnitude: a billion is
// far beyond any bag shop, and the product of two such numbers (price x
// quantity) is still exact enough and far from overflow.
inline constexpr double NumberLimit = 1e9;

// Empty when value is finite and within NumberLimit; otherwise a Chinese
// reason naming the box by caption.
QString numberProblem(double value, const QString &caption);

// Throw RefusedValue (carrying column) for the problems above.
void requireNumber(double value, QStringView column, const QString &caption);
void requireNotNegative(double value, QStringView column, const QString &caption);
void requireText(QStringView column, const QString &text, const QString &caption);

} // namespace FieldCheck

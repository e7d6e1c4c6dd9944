#include "Money.h"

#include "data/NumberFormat.h"

#include <cmath>

double Money::roundToCents(double value)
{
    if (!std::isfinite(value) || value == 0)
        return 0;
    const QString text = QString::number(std::abs(value), 'e', 14); // d.dddddddddddddde±XX
    const QString digits = text.left(1) + text.mid(2, 14);
    const int exponent = text.mid(text.indexOf(u'e') + 1).toInt();
    const int kept = exponent + 3; // digits that stay: units .. cents
    if (kept >= 15)
        return value;
    qint64 cents = 0;
    if (kept > 0)
        cents = digits.left(kept).toLongLong();
    if (kept >= 0 && digits.at(kept) >= u'5')
        ++cents;
    if (cents == 0)
        return 0;
    const double result = double(cents) / 100.0;
    return value < 0 ? -result : result;
}

QString Money::text(double value)
{
    return NumberFormat::general(roundToCents(value));
}

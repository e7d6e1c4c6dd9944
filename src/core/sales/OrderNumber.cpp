#include "OrderNumber.h"

#include <algorithm>
#include <limits>

namespace OrderNumber {

QString compose(QDate today, qint64 counter)
{
    const QLatin1Char zero('0');
    return QStringLiteral("%1%2%3%4")
        .arg(today.year(), 4, 10, zero)
        .arg(today.month(), 2, 10, zero)
        .arg(today.day(), 2, 10, zero)
        .arg(std::max<qint64>(counter, 0), 3, 10, zero);
}

qint64 next(qint64 counter)
{
    // A counter at the top of the range stays there rather than wrapping
    // round to a negative number that would reuse old order numbers.
    return counter == std::numeric_limits<qint64>::max() ? counter : std::max<qint64>(counter, 0) + 1;
}

qint64 previous(qint64 counter)
{
    return counter > 0 ? counter - 1 : 0;
}

DayReset resetForSaleDate(qint64 counter, const QString &storedDate, const QString &saleDateText)
{
    DayReset result;
    // Nothing stored never equals a date: the first run resets as well.
    if (storedDate.isEmpty() || storedDate != saleDateText) {
        result.counter = 1;
        result.storedDate = saleDateText;
        result.reset = true;
        return result;
    }
    result.counter = counter;
    result.storedDate = storedDate;
    return result;
}

} // namespace OrderNumber

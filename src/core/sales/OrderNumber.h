#pragma once

#include <QDate>
#include <QString>

// The running order number of the sale counter: today's date followed by the
// order counter, and the rules by which that counter moves.
namespace OrderNumber {

// Four-digit year, two-digit month and day, then the counter with at least
// three digits: counter 7 on 2012-03-05 gives "20120305007", 1234 gives
// "201203051234". A negative counter (never produced by next/previous)
// counts as 0.
QString compose(QDate today, qint64 counter);

// "+" / "下一单".
qint64 next(qint64 counter);
// "-" / "上一单": one less, but never below 0.
qint64 previous(qint64 counter);

// The counter restarts at 1 on the first sale panel opening of a new sale
// date. storedDate is the sale date the counter last belonged to ("riqi");
// after a reset it becomes saleDateText, so the reset happens only once per
// change of date.
struct DayReset
{
    qint64 counter = 1;
    QString storedDate;
    bool reset = false;
};
DayReset resetForSaleDate(qint64 counter, const QString &storedDate, const QString &saleDateText);

} // namespace OrderNumber

// The order number for today's system date (not the sale date box).
inline QString ComposeOrderNumber(QDate today, qint64 counter)
{
    return OrderNumber::compose(today, counter);
}

#include "OrderCounter.h"

#include "data/Database.h"
#include "data/QueryHelpers.h"

#include <algorithm>

namespace {
QString dayKey(QDate day)
{
    return day.toString(QStringLiteral("yyyyMMdd"));
}
} // namespace

bool OrderCounter::holds(QDate day, qint64 counter) const
{
    return day == m_day && m_held.contains(counter);
}

qint64 OrderCounter::highestInSaleLines(QDate day) const
{
    // Numbers of the day booked before the shared counter existed, or typed
    // into the order-number box by hand, are not handed out again.
    const QString prefix = dayKey(day);
    QSqlQuery lines =
        OpenStatement(m_db, QStringLiteral("select distinct z from data1 where z >= ? and z < ?"),
                      {prefix, dayKey(day.addDays(1))});
    qint64 highest = 0;
    while (lines.next()) {
        const QString number = lines.value(0).toString();
        bool ok = false;
        const qint64 counter = number.mid(prefix.size()).toLongLong(&ok);
        if (ok && number.size() >= prefix.size() + 3)
            highest = std::max(highest, counter);
    }
    return highest;
}

qint64 OrderCounter::claim(QDate day, qint64 wanted)
{
    if (day != m_day) {
        m_day = day;
        m_held.clear();
    }
    if (m_held.contains(wanted))
        return wanted;
    const qint64 floor = std::max<qint64>({wanted, highestInSaleLines(day) + 1, 1});
    // One statement: two counters asking at the same moment are served one
    // after the other by the database and get different numbers.
    const Dialect &dialect = m_db.dialect();
    const QString upsert =
        QStringLiteral("insert into ordercounter (day, n) values (?, ?) on conflict (day) do "
                       "update set n = %1 returning n")
            .arg(dialect.greatest(QStringLiteral("ordercounter.n + 1"), QStringLiteral("excluded.n")));
    WriteTransaction tx(m_db);
    if (!tx.isActive())
        throw DatabaseError(QStringLiteral("无法取得销售单号：%1").arg(tx.errorText()), upsert);
    qint64 counter = 0;
    try {
        counter = ScalarValue(m_db, upsert, {dayKey(day), floor}).toLongLong();
    } catch (const DatabaseError &error) {
        // The operator hears what failed, not only the database's words.
        throw DatabaseError(QStringLiteral("无法取得销售单号：%1").arg(error.message()), upsert);
    }
    if (!tx.commit())
        throw DatabaseError(QStringLiteral("无法取得销售单号：%1").arg(tx.errorText()), upsert);
    m_held.insert(counter);
    return counter;
}

#include "SalesStatistics.h"

#include "data/Clock.h"
#include "data/Database.h"
#include "data/QueryHelpers.h"

#include <QSqlQuery>

QList<double> SalesStatistics::totals(bool byMonth, int count, const QDate &from, const QDate &to,
                                      Kind kind) const
{
    const Dialect &dialect = m_db.dialect();
    const QString column = kind == Kind::Profit ? QStringLiteral("a5") : QStringLiteral("\"4\"");
    // Grouped by the date itself: the index on day1 delivers the period in
    // order (with the summed columns in it), so no date function runs per
    // line; the few day totals are folded into months or days here.
    const QString sql =
        QStringLiteral("select day1, sum(%1) from data1 where day1 >= ? and day1 < ? group by day1")
            .arg(column);
    QSqlQuery query = OpenStatement(m_db, sql, {dialect.dateValue(from), dialect.dateValue(to)});
    QList<double> values(count, 0.0);
    while (query.next()) {
        const QDate day = Dialect::toDate(query.value(0));
        if (!day.isValid())
            continue;
        const int part = byMonth ? day.month() : day.day();
        if (part >= 1 && part <= count)
            values[part - 1] += query.value(1).toDouble();
    }
    return values;
}

QList<double> SalesStatistics::monthly(int year, Kind kind) const
{
    const QDate first(year, 1, 1);
    return totals(true, 12, first, first.addYears(1), kind);
}

QList<double> SalesStatistics::daily(int year, int month, Kind kind) const
{
    const QDate first(year, month, 1);
    return totals(false, first.daysInMonth(), first, first.addMonths(1), kind);
}

namespace {
std::optional<int> parseNumber(const QString &text, int lowest, int highest)
{
    const QString typed = text.trimmed();
    if (typed.isEmpty() || typed.size() > 4)
        return std::nullopt;
    for (const QChar c : typed) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    const int value = typed.toInt();
    if (value < lowest || value > highest)
        return std::nullopt;
    return value;
}
} // namespace

std::optional<int> SalesStatistics::parseYear(const QString &text)
{
    return parseNumber(text, 1, 9999);
}

std::optional<int> SalesStatistics::parseMonth(const QString &text)
{
    return parseNumber(text, 1, 12);
}

QString SalesStatistics::invalidYearMessage(const QString &text)
{
    return QStringLiteral("年份“%1”无效，请输入数字年份，例如 %2。")
        .arg(text.trimmed(), QString::number(Clock::current().today().year()));
}

QString SalesStatistics::invalidMonthMessage(const QString &text)
{
    return QStringLiteral("月份“%1”无效，请输入 1 到 12 之间的数字。").arg(text.trimmed());
}

#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

class Database;

// The totals behind the two bar charts of the sales-detail window: profit
// (a5) or sales amount (4) per month of a year and per day of a month.
// Returns count with their negative values.
class SalesStatistics
{
public:
    enum class Kind { Profit, SalesAmount };

    explicit SalesStatistics(const Database &database) : m_db(database) {}

    // Twelve values, January first; a month without lines is 0.
    // Throws DatabaseError when the database refuses.
    QList<double> monthly(int year, Kind kind) const;
    // One value per day of the month (28 to 31), the 1st first; a day without
    // lines is 0. Throws DatabaseError when the database refuses.
    QList<double> daily(int year, int month, Kind kind) const;

    // The year and month boxes' texts: digits only (blanks around ignored),
    // a year 1 to 9999, a month 1 to 12 ("3" and "03" alike). nullopt for
    // anything else, so the window can say so and leave its chart alone.
    static std::optional<int> parseYear(const QString &text);
    static std::optional<int> parseMonth(const QString &text);
    // The messages for a box that does not parse.
    static QString invalidYearMessage(const QString &text);
    static QString invalidMonthMessage(const QString &text);

private:
    // Sums of the kind's column per month (byMonth) or day of month of the
    // sale dates in [from, to), as count values starting at 1.
    QList<double> totals(bool byMonth, int count, const QDate &from, const QDate &to, Kind kind) const;

    const Database &m_db;
};

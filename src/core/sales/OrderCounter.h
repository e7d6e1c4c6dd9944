#pragma once

#include <QDate>
#include <QSet>

class Database;

// Hands out order counters through the database, so that several counters
// working on one database never give two tickets the same order number.
// The numbers keep their form (date and counter); one counter alone gets
// 1, 2, 3 ... through the day as before.
class OrderCounter
{
public:
    explicit OrderCounter(const Database &db) : m_db(db) {}

    // A counter for the order number of `day` that is this program's own:
    // `wanted` when this program already holds it or when it lies above
    // every counter handed out on that day and every order number of that
    // day in the sale lines; otherwise the next counter nobody holds.
    // Throws DatabaseError when the database refuses.
    qint64 claim(QDate day, qint64 wanted);

    // Whether this program holds the counter on `day` (claimed it earlier).
    bool holds(QDate day, qint64 counter) const;

private:
    qint64 highestInSaleLines(QDate day) const;

    const Database &m_db;
    QDate m_day;
    QSet<qint64> m_held;
};

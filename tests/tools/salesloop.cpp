// A helper of the crash and permission tests: works on a shop file the way a
// busy counter does and says what it has done, line by line, so that a test
// can kill it at any moment and check what survived.
//
//   salesloop loop FILE SEED [ROUNDS]  books and removes sales; prints
//                                       "B <id>" after a sale is committed
//                                       and "R <id>" after a removal is;
//                                       "E <message>" when one fails
//   salesloop make FILE                 a new shop with six stock rows
//   salesloop open FILE                 opens the shop; prints "open" or the
//                                       refusal; exit code 0 or 2
//   salesloop orders FILE NAME COUNT    a counter called NAME: COUNT times
//                                       "+" for a new order number and one
//                                       to three sales on it for customer
//                                       NAME; prints "O <number>" per order
//                                       (FILE may be a server address)
#include "data/Database.h"
#include "data/QueryHelpers.h"
#include "sales/OrderCounter.h"
#include "sales/OrderNumber.h"
#include "sales/SalesLedger.h"
#include "shell/Session.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QThread>

#include <cstdio>

namespace {

void say(const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

int openOnly(const QString &file)
{
    Database db(DatabaseLocation::fromArgument(file));
    say(db.isOpen() ? QStringLiteral("open") : db.errorText());
    return db.isOpen() ? 0 : 2;
}

int make(const QString &file)
{
    DatabaseLocation location = DatabaseLocation::fromArgument(file);
    location.explicitlyNamed = false;
    Database db(location);
    if (!db.isOpen()) {
        say(db.errorText());
        return 2;
    }
    for (int i = 0; i < 6; ++i)
        ExecuteStatement(
            db,
            QStringLiteral("insert into data (a, b, c, d, \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", "
                           "\"7\", \"8\", day1) values (?, '', ?, '箱包', 40, 100000, 4000000, 80, 0, "
                           "0, 100000, 4000000, '2026-01-01')"),
            {QStringLiteral("拉杆箱%1").arg(i), QStringLiteral("69000%1").arg(i)});
    return 0;
}

void step(SalesLedger &ledger, const Session &admin, QRandomGenerator &random, const QList<qint64> &stock,
          QList<qint64> &lines, qint64 round);

int loop(const QString &file, quint32 seed, qint64 rounds)
{
    Database db(DatabaseLocation::fromArgument(file));
    if (!db.isOpen()) {
        say(db.errorText());
        return 2;
    }
    QRandomGenerator random(seed);
    QList<qint64> stock;
    for (QSqlQuery q = OpenStatement(db, QStringLiteral("select id from data order by id")); q.next();)
        stock << q.value(0).toLongLong();
    QList<qint64> lines;
    for (QSqlQuery q = OpenStatement(db, QStringLiteral("select ID from data1")); q.next();)
        lines << q.value(0).toLongLong();
    const Session admin{Schema::kAdministrator, 1};
    SalesLedger ledger(db);
    for (qint64 round = 0; rounds <= 0 || round < rounds; ++round) {
        try {
            step(ledger, admin, random, stock, lines, round);
        } catch (const DatabaseError &error) {
            // A server restarted under the loop: say so and go on, as an
            // operator would try again.
            say(QStringLiteral("E ") + error.message());
            QThread::msleep(200);
        }
    }
    return 0;
}

void step(SalesLedger &ledger, const Session &admin, QRandomGenerator &random, const QList<qint64> &stock,
          QList<qint64> &lines, qint64 round)
{
    {
        if (!lines.isEmpty() && random.bounded(3) == 0) {
            const qint64 line = lines.takeAt(random.bounded(int(lines.size())));
            say(QStringLiteral("r %1").arg(line)); // about to remove it
            if (ledger.remove(admin, line) != SalesLedger::Removal::AlreadyGone)
                say(QStringLiteral("R %1").arg(line));
            return;
        }
        SaleRequest sale;
        sale.stockId = stock.at(random.bounded(int(stock.size())));
        // Whole numbers, so the stock row's figures equal its lines' sums exactly.
        sale.quantity = random.bounded(5) == 0 ? -1 : 1 + random.bounded(3);
        sale.price = 10 + random.bounded(90);
        sale.orderNumber = QStringLiteral("20260101%1").arg(round % 1000, 3, 10, QLatin1Char('0'));
        sale.customer = QStringLiteral("顾客%1").arg(random.bounded(20));
        sale.saleDate = QDate(2026, 1, 1);
        const SaleBooking booking = ledger.book(sale);
        if (booking.result == SaleBooking::Result::Booked) {
            lines << booking.lineId;
            say(QStringLiteral("B %1").arg(booking.lineId));
        }
    }
}

int orders(const QString &file, const QString &name, int count)
{
    Database db(DatabaseLocation::fromArgument(file), QStringLiteral("counter"));
    if (!db.isOpen()) {
        say(db.errorText());
        return 2;
    }
    QList<qint64> stock;
    for (QSqlQuery q = OpenStatement(db, QStringLiteral("select id from data order by id")); q.next();)
        stock << q.value(0).toLongLong();
    OrderCounter counter(db);
    SalesLedger ledger(db);
    const QDate today = QDate::currentDate();
    qint64 at = 0;
    int failures = 0;
    for (int order = 0; order < count; ++order) {
        at = counter.claim(today, OrderNumber::next(at));
        const QString number = OrderNumber::compose(today, at);
        for (int line = 0; line <= order % 3; ++line) {
            SaleRequest sale;
            sale.stockId = stock.at((order + line) % stock.size());
            sale.quantity = 1;
            sale.price = 50;
            sale.orderNumber = number;
            sale.customer = name;
            sale.saleDate = today;
            if (ledger.book(sale).result != SaleBooking::Result::Booked) {
                say(QStringLiteral("E not booked on ") + number);
                ++failures;
            }
        }
        say(QStringLiteral("O ") + number);
    }
    return failures == 0 ? 0 : 4;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    try {
        if (args.size() >= 3 && args.at(1) == QLatin1String("make"))
            return make(args.at(2));
        if (args.size() >= 3 && args.at(1) == QLatin1String("open"))
            return openOnly(args.at(2));
        if (args.size() >= 4 && args.at(1) == QLatin1String("loop"))
            return loop(args.at(2), args.at(3).toUInt(), args.size() >= 5 ? args.at(4).toLongLong() : 0);
        if (args.size() >= 5 && args.at(1) == QLatin1String("orders"))
            return orders(args.at(2), args.at(3), args.at(4).toInt());
    } catch (const DatabaseError &error) {
        say(error.message());
        return 3;
    }
    std::fputs("usage: salesloop make FILE | loop FILE SEED [ROUNDS] | open FILE | orders FILE NAME COUNT\n",
               stderr);
    return 1;
}

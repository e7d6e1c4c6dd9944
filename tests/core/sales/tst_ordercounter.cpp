#include "TestDatabase.h"
#include "data/QueryHelpers.h"
#include "sales/OrderCounter.h"
#include "sales/OrderNumber.h"
#include "shell/CommandLine.h"

#include <QProcess>
#include <QSet>
#include <QSqlQuery>
#include <QtTest>

#include <thread>

// Order counters handed out through the database: one counter alone numbers
// its day 1, 2, 3 ... as always; several counters on one database never get
// the same number.
class TestOrderCounter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qInfo("database backend: %s", qPrintable(TestDatabase::backendName())); }
    void oneCounterKeepsItsNumbering();
    void twoCountersNeverShareANumber();
    void numbersInSaleLinesAreNotHandedOutAgain();
    void countersRacingEachGetTheirOwnNumbers();
    void countersInTwoProgramsNeverShareAnOrder();
    void olderFileWithoutTheCounterTableGetsIt();
};

namespace {
const QDate kDay(2026, 3, 5);
}

void TestOrderCounter::oneCounterKeepsItsNumbering()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    OrderCounter counter(t.db());
    QCOMPARE(counter.claim(kDay, 1), 1);
    QCOMPARE(counter.claim(kDay, OrderNumber::next(1)), 2);
    QCOMPARE(counter.claim(kDay, 3), 3);
    // "-" twice and "+" again: back on its own 2, not a new number.
    QCOMPARE(counter.claim(kDay, 2), 2);
    QCOMPARE(counter.claim(kDay, 4), 4);
    // A restart continues after the stored counter ("danhao" + 1).
    OrderCounter restarted(t.db());
    QCOMPARE(restarted.claim(kDay, 5), 5);
    // The next day starts at 1 again.
    QCOMPARE(restarted.claim(kDay.addDays(1), 1), 1);
    QCOMPARE(OrderNumber::compose(kDay, 5), QStringLiteral("20260305005"));
}

void TestOrderCounter::twoCountersNeverShareANumber()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    std::unique_ptr<Database> second = t.openSecondConnection(QStringLiteral("counter2"));
    QVERIFY2(second->isOpen(), qPrintable(second->errorText()));
    OrderCounter a(t.db());
    OrderCounter b(*second);

    // Both start the day wanting 001, and both press "+" in turn.
    QSet<qint64> handedOut;
    qint64 atA = a.claim(kDay, 1);
    qint64 atB = b.claim(kDay, 1);
    QCOMPARE(atA, 1);
    QCOMPARE(atB, 2);
    handedOut << atA << atB;
    for (int i = 0; i < 10; ++i) {
        atA = a.claim(kDay, OrderNumber::next(atA));
        QVERIFY2(!handedOut.contains(atA), qPrintable(QString::number(atA)));
        handedOut << atA;
        atB = b.claim(kDay, OrderNumber::next(atB));
        QVERIFY2(!handedOut.contains(atB), qPrintable(QString::number(atB)));
        handedOut << atB;
    }
    // B going back to A's number and forward again does not land on A's
    // numbers either: a counter it does not hold is never given to it.
    for (qint64 wanted = 1; wanted <= 22; ++wanted) {
        if (b.holds(kDay, wanted))
            continue;
        const qint64 got = b.claim(kDay, wanted);
        QVERIFY2(!a.holds(kDay, got), qPrintable(QStringLiteral("%1 -> %2").arg(wanted).arg(got)));
    }
}

void TestOrderCounter::numbersInSaleLinesAreNotHandedOutAgain()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    // Lines of today booked before the database shared the counter, one of
    // them on a number typed by hand, and one of another day.
    for (const QString &z : {QStringLiteral("20260305007"), QStringLiteral("20260305003"),
                             QStringLiteral("20260306050"), QStringLiteral("20260305abc")})
        ExecuteStatement(t.db(), QStringLiteral("insert into data1 (z, \"3\") values (?, 1)"), {z});
    OrderCounter counter(t.db());
    QCOMPARE(counter.claim(kDay, 1), 8);
    QCOMPARE(counter.claim(kDay.addDays(1), 1), 51);
}

void TestOrderCounter::countersRacingEachGetTheirOwnNumbers()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    constexpr int kCounters = 4;
    constexpr int kPresses = 40;
    std::vector<QList<qint64>> got(kCounters);
    std::vector<QString> failures(kCounters);
    std::vector<std::thread> threads;
    const DatabaseLocation location = t.location();
    for (int c = 0; c < kCounters; ++c) {
        threads.emplace_back([&, c] {
            Database db(location, QStringLiteral("racer%1").arg(c));
            if (!db.isOpen()) {
                failures[c] = db.errorText();
                return;
            }
            OrderCounter counter(db);
            qint64 at = 0;
            try {
                for (int i = 0; i < kPresses; ++i) {
                    at = counter.claim(kDay, OrderNumber::next(at));
                    got[c] << at;
                }
            } catch (const DatabaseError &error) {
                failures[c] = error.message();
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    QSet<qint64> all;
    for (int c = 0; c < kCounters; ++c) {
        QVERIFY2(failures[c].isEmpty(), qPrintable(failures[c]));
        QCOMPARE(got[c].size(), kPresses);
        for (qint64 n : got[c]) {
            QVERIFY2(!all.contains(n), qPrintable(QString::number(n)));
            all << n;
        }
    }
    QCOMPARE(*std::max_element(all.begin(), all.end()), qint64(kCounters * kPresses));
}

// Two counters as two programs on one database, each taking new order numbers
// and booking onto them at the same time: no order gets lines of both.
void TestOrderCounter::countersInTwoProgramsNeverShareAnOrder()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    const QString helper = QCoreApplication::applicationDirPath() + QStringLiteral("/salesloop");
    const QString where = CommandLine::databaseArgument(t.location());
    QCOMPARE(QProcess::execute(helper, {QStringLiteral("make"), where}), 0);
    constexpr int kOrders = 40;
    QProcess counters[2];
    const QString names[2] = {QStringLiteral("A"), QStringLiteral("B")};
    for (int c = 0; c < 2; ++c)
        counters[c].start(helper, {QStringLiteral("orders"), where, names[c], QString::number(kOrders)});
    QSet<QString> reported;
    for (QProcess &counter : counters) {
        QVERIFY(counter.waitForFinished(120000));
        const QString output = QString::fromUtf8(counter.readAllStandardOutput());
        QVERIFY2(counter.exitStatus() == QProcess::NormalExit && counter.exitCode() == 0, qPrintable(output));
        for (const QString &line : output.split(u'\n', Qt::SkipEmptyParts))
            reported << line;
    }
    QCOMPARE(reported.size(), 2 * kOrders); // every "O <number>" different

    QSqlQuery shared = OpenStatement(
        t.db(), QStringLiteral("select z from data1 group by z having count(distinct g) > 1 order by z"));
    QStringList mixed;
    while (shared.next())
        mixed << shared.value(0).toString();
    QCOMPARE(mixed, QStringList());
    const int lines = kOrders / 3 * 6 + (kOrders % 3 >= 1 ? 1 : 0) + (kOrders % 3 >= 2 ? 2 : 0);
    QCOMPARE(ScalarValue(t.db(), QStringLiteral("select count(*) from data1")).toInt(), 2 * lines);
    QCOMPARE(ScalarValue(t.db(), QStringLiteral("select count(distinct z) from data1")).toInt(), 2 * kOrders);
}

void TestOrderCounter::olderFileWithoutTheCounterTableGetsIt()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    QSqlQuery drop(t.db().connection());
    QVERIFY(drop.exec(QStringLiteral("drop table ordercounter")));
    QVERIFY(t.db().reopen());
    QCOMPARE(OrderCounter(t.db()).claim(kDay, 1), 1);
}

QTEST_GUILESS_MAIN(TestOrderCounter)
#include "tst_ordercounter.moc"

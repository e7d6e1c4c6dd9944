#include "sales/OrderNumber.h"

#include <QtTest>

#include <limits>

// Order numbers and the order counter: the date part, the three-digit
// minimum, "+" and "-", and the reset once per new sale date.
class TestOrderNumber : public QObject
{
    Q_OBJECT

private slots:
    void compose_data();
    void compose();
    void stepping_data();
    void stepping();
    void dayReset_data();
    void dayReset();
    void dayResetHappensOncePerDate();
};

void TestOrderNumber::compose_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<qint64>("counter");
    QTest::addColumn<QString>("expected");

    QTest::newRow("counter 7") << QDate(2012, 3, 5) << qint64(7) << QStringLiteral("20120305007");
    QTest::newRow("counter 0") << QDate(2012, 3, 5) << qint64(0) << QStringLiteral("20120305000");
    QTest::newRow("counter 1") << QDate(2024, 12, 31) << qint64(1) << QStringLiteral("20241231001");
    QTest::newRow("counter 999") << QDate(2024, 1, 9) << qint64(999) << QStringLiteral("20240109999");
    QTest::newRow("counter 1000: twelve characters")
        << QDate(2012, 3, 5) << qint64(1000) << QStringLiteral("201203051000");
    QTest::newRow("counter 1234") << QDate(2012, 3, 5) << qint64(1234) << QStringLiteral("201203051234");
    QTest::newRow("negative counts as 0") << QDate(2012, 3, 5) << qint64(-3) << QStringLiteral("20120305000");
}

void TestOrderNumber::compose()
{
    QFETCH(QDate, today);
    QFETCH(qint64, counter);
    QFETCH(QString, expected);
    QCOMPARE(ComposeOrderNumber(today, counter), expected);
}

void TestOrderNumber::stepping_data()
{
    QTest::addColumn<qint64>("counter");
    QTest::addColumn<qint64>("next");
    QTest::addColumn<qint64>("previous");

    QTest::newRow("1") << qint64(1) << qint64(2) << qint64(0);
    QTest::newRow("0 does not go below") << qint64(0) << qint64(1) << qint64(0);
    QTest::newRow("999 -> 1000") << qint64(999) << qint64(1000) << qint64(998);
    QTest::newRow("largest does not wrap")
        << std::numeric_limits<qint64>::max() << std::numeric_limits<qint64>::max()
        << std::numeric_limits<qint64>::max() - 1;
}

void TestOrderNumber::stepping()
{
    QFETCH(qint64, counter);
    QFETCH(qint64, next);
    QFETCH(qint64, previous);
    QCOMPARE(OrderNumber::next(counter), next);
    QCOMPARE(OrderNumber::previous(counter), previous);
}

void TestOrderNumber::dayReset_data()
{
    QTest::addColumn<qint64>("counter");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("saleDate");
    QTest::addColumn<qint64>("expectedCounter");
    QTest::addColumn<QString>("expectedStored");
    QTest::addColumn<bool>("reset");

    const QString day = QStringLiteral("2024-03-05");
    QTest::newRow("same date keeps") << qint64(17) << day << day << qint64(17) << day << false;
    QTest::newRow("new date resets") << qint64(17) << QStringLiteral("2024-03-04") << day << qint64(1) << day
                                     << true;
    QTest::newRow("nothing stored resets") << qint64(5) << QString() << day << qint64(1) << day << true;
    QTest::newRow("a date back in time resets too")
        << qint64(5) << QStringLiteral("2024-03-06") << day << qint64(1) << day << true;
}

void TestOrderNumber::dayReset()
{
    QFETCH(qint64, counter);
    QFETCH(QString, stored);
    QFETCH(QString, saleDate);
    QFETCH(qint64, expectedCounter);
    QFETCH(QString, expectedStored);
    QFETCH(bool, reset);
    const OrderNumber::DayReset result = OrderNumber::resetForSaleDate(counter, stored, saleDate);
    QCOMPARE(result.counter, expectedCounter);
    QCOMPARE(result.storedDate, expectedStored);
    QCOMPARE(result.reset, reset);
}

void TestOrderNumber::dayResetHappensOncePerDate()
{
    // Open on a new day (reset), "+" twice, open again: the 3 stays.
    OrderNumber::DayReset state =
        OrderNumber::resetForSaleDate(41, QStringLiteral("2024-03-04"), QStringLiteral("2024-03-05"));
    QCOMPARE(state.counter, qint64(1));
    qint64 counter = OrderNumber::next(OrderNumber::next(state.counter));
    state = OrderNumber::resetForSaleDate(counter, state.storedDate, QStringLiteral("2024-03-05"));
    QVERIFY(!state.reset);
    QCOMPARE(state.counter, qint64(3));
    state = OrderNumber::resetForSaleDate(state.counter, state.storedDate, QStringLiteral("2024-03-06"));
    QCOMPARE(state.counter, qint64(1));
}

QTEST_GUILESS_MAIN(TestOrderNumber)
#include "tst_ordernumber.moc"

#include "data/Money.h"
#include "sales/Ticket.h"

#include <QTest>

#include <cmath>
#include <limits>

// Money totals to the cent: what the ticket, the receipt, the footers and the
// order document show of sums that binary arithmetic leaves a hair off.
class TestMoney : public QObject
{
    Q_OBJECT

private slots:
    void roundToCents_data();
    void roundToCents();
    void ticketTotals_data();
    void ticketTotals();
    void printChecksCompareCents_data();
    void printChecksCompareCents();
};

void TestMoney::roundToCents_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("sale and its return") << (12.1 + 3.3 - 12.1 - 3.3) << QStringLiteral("0");
    QTest::newRow("tiny negative is plain zero") << -0.004 << QStringLiteral("0");
    QTest::newRow("negative zero") << -0.0 << QStringLiteral("0");
    QTest::newRow("0.1 + 0.2") << (0.1 + 0.2) << QStringLiteral("0.3");
    QTest::newRow("half a cent away from zero") << 2.675 << QStringLiteral("2.68");
    QTest::newRow("negative half a cent") << -2.675 << QStringLiteral("-2.68");
    QTest::newRow("1.005 as it reads") << 1.005 << QStringLiteral("1.01");
    QTest::newRow("large") << 987654321.125 << QStringLiteral("987654321.13");
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << QStringLiteral("0");
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << QStringLiteral("0");
}

void TestMoney::roundToCents()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    const double rounded = Money::roundToCents(value);
    QCOMPARE(Money::text(value), text);
    QVERIFY(!std::signbit(rounded) || rounded != 0);
    // Rounding twice changes nothing.
    QCOMPARE(Money::roundToCents(rounded), rounded);
}

void TestMoney::ticketTotals_data()
{
    QTest::addColumn<QList<double>>("amounts");
    QTest::addColumn<QString>("cash");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("change");
    QTest::newRow("cancelled out") << QList<double>{12.1, 3.3, -12.1, -3.3} << QStringLiteral("10")
                                   << QStringLiteral("0") << QStringLiteral("10");
    QTest::newRow("three thirds") << QList<double>{0.1, 0.1, 0.1} << QStringLiteral("1")
                                  << QStringLiteral("0.3") << QStringLiteral("0.7");
    QTest::newRow("change to the cent") << QList<double>{75.48} << QStringLiteral("500")
                                        << QStringLiteral("75.48") << QStringLiteral("424.52");
}

void TestMoney::ticketTotals()
{
    QFETCH(QList<double>, amounts);
    QFETCH(QString, cash);
    QList<TicketLine> lines;
    for (double amount : amounts) {
        TicketLine line;
        line.amount = amount;
        lines << line;
    }
    const QString total = Money::text(Ticket::total(lines));
    QTEST(total, "total");
    QTEST(Ticket::changeText(cash, total).value_or(QString()), "change");
}

void TestMoney::printChecksCompareCents_data()
{
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("cash");
    QTest::addColumn<int>("check");
    QTest::newRow("a total under half a cent is nothing sold")
        << QStringLiteral("0.004") << QStringLiteral("1") << int(Ticket::PrintCheck::NothingSold);
    QTest::newRow("cash equal to the cent")
        << QStringLiteral("45.6") << QStringLiteral("45.600000000000001") << int(Ticket::PrintCheck::Ready);
    QTest::newRow("a cent short") << QStringLiteral("45.6") << QStringLiteral("45.59")
                                  << int(Ticket::PrintCheck::CashShort);
}

void TestMoney::printChecksCompareCents()
{
    QFETCH(QString, total);
    QFETCH(QString, cash);
    QFETCH(int, check);
    QCOMPARE(int(Ticket::checkBeforePrinting(total, cash)), check);
}

QTEST_GUILESS_MAIN(TestMoney)
#include "tst_money.moc"

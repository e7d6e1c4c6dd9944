#include "TestDatabase.h"
#include "data/Database.h"
#include "data/QueryHelpers.h"
#include "sales/SalesStatistics.h"

#include <QtTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace {
QList<double> zeros(int count)
{
    return QList<double>(count, 0.0);
}
} // namespace

// The monthly and daily totals of the two charts and the reading of the
// year and month boxes.
class TestSalesStatistics : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void monthly_data();
    void monthly();
    void daily_data();
    void daily();
    void parseYear_data();
    void parseYear();
    void parseMonth_data();
    void parseMonth();

private:
    std::unique_ptr<TestDatabase> m_database;
};

void TestSalesStatistics::initTestCase()
{
    qInfo("database backend: %s", qPrintable(TestDatabase::backendName()));
    m_database = std::make_unique<TestDatabase>();
    QVERIFY2(m_database->isOpen(), qPrintable(m_database->errorText()));
    Database &db = m_database->db();
    struct L
    {
        QDate day;
        std::optional<double> amount, profit;
    };
    // Two lines on one day, a return on the leap day, both ends of the year
    // and a line without figures.
    const QList<L> rows{
        {QDate(2024, 1, 15), 100, 20}, {QDate(2024, 1, 15), 25, 5},    {QDate(2024, 1, 20), 50, 10},
        {QDate(2024, 2, 29), -30, -5}, {QDate(2024, 2, 1), 80, 16},    {QDate(2024, 12, 31), 60, 12},
        {QDate(2025, 1, 1), 70, 14},   {QDate(2023, 12, 31), 999, 99}, {QDate(2024, 3, 10), {}, {}},
    };
    for (const L &r : rows) {
        const auto number = [](const std::optional<double> &v) {
            return v ? QVariant(*v) : QVariant(QMetaType::fromType<double>());
        };
        ExecuteStatement(db, u"insert into data1 (a, \"3\", \"4\", a5, day1) values ('x', 1, ?, ?, ?)"_s,
                         {number(r.amount), number(r.profit), db.dialect().dateValue(r.day)});
    }
}

void TestSalesStatistics::monthly_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<bool>("profit");
    QTest::addColumn<QList<double>>("expected");
    QList<double> amounts = zeros(12);
    amounts[0] = 175;
    amounts[1] = 50;
    amounts[11] = 60;
    QList<double> profits = zeros(12);
    profits[0] = 35;
    profits[1] = 11;
    profits[11] = 12;
    QTest::newRow("2024 sales amount") << 2024 << false << amounts;
    QTest::newRow("2024 profit") << 2024 << true << profits;
    QList<double> previous = zeros(12);
    previous[11] = 999;
    QTest::newRow("2023 has only December") << 2023 << false << previous;
    QTest::newRow("year without sales") << 2016 << true << zeros(12);
}

void TestSalesStatistics::monthly()
{
    QFETCH(int, year);
    QFETCH(bool, profit);
    QFETCH(QList<double>, expected);
    const SalesStatistics statistics(m_database->db());
    QCOMPARE(
        statistics.monthly(year, profit ? SalesStatistics::Kind::Profit : SalesStatistics::Kind::SalesAmount),
        expected);
}

void TestSalesStatistics::daily_data()
{
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<bool>("profit");
    QTest::addColumn<QList<double>>("expected");
    QList<double> january = zeros(31);
    january[14] = 125;
    january[19] = 50;
    QTest::newRow("January, two lines on the 15th") << 2024 << 1 << false << january;
    QList<double> leap = zeros(29);
    leap[0] = 16;
    leap[28] = -5;
    QTest::newRow("leap February, return on the 29th") << 2024 << 2 << true << leap;
    QTest::newRow("February of a common year") << 2023 << 2 << false << zeros(28);
    QList<double> december = zeros(31);
    december[30] = 60;
    QTest::newRow("December stops at the year end") << 2024 << 12 << false << december;
    QTest::newRow("line without figures counts 0") << 2024 << 3 << false << zeros(31);
    QTest::newRow("thirty days") << 2024 << 4 << true << zeros(30);
}

void TestSalesStatistics::daily()
{
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(bool, profit);
    QFETCH(QList<double>, expected);
    const SalesStatistics statistics(m_database->db());
    QCOMPARE(statistics.daily(year, month,
                              profit ? SalesStatistics::Kind::Profit : SalesStatistics::Kind::SalesAmount),
             expected);
}

void TestSalesStatistics::parseYear_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("year"); // 0: refused
    QTest::newRow("four digits") << u"2024"_s << 2024;
    QTest::newRow("blanks around") << u" 2016 "_s << 2016;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("letters") << u"二〇二四"_s << 0;
    QTest::newRow("quote") << u"2024'"_s << 0;
    QTest::newRow("injection") << u"2024' or '1'='1"_s << 0;
    QTest::newRow("sign") << u"-2024"_s << 0;
    QTest::newRow("inner blank") << u"20 24"_s << 0;
    QTest::newRow("full-width digits") << u"２０２４"_s << 0;
    QTest::newRow("zero") << u"0"_s << 0;
    QTest::newRow("five digits") << u"20240"_s << 0;
    QTest::newRow("decimal") << u"2024.0"_s << 0;
}

void TestSalesStatistics::parseYear()
{
    QFETCH(QString, text);
    QFETCH(int, year);
    const std::optional<int> parsed = SalesStatistics::parseYear(text);
    QCOMPARE(parsed.value_or(0), year);
    if (!parsed)
        QVERIFY(SalesStatistics::invalidYearMessage(text).startsWith(u"年份"_s));
}

void TestSalesStatistics::parseMonth_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("month"); // 0: refused
    QTest::newRow("from the list") << u"3"_s << 3;
    QTest::newRow("leading zero") << u"03"_s << 3;
    QTest::newRow("December") << u"12"_s << 12;
    QTest::newRow("zero") << u"0"_s << 0;
    QTest::newRow("thirteen") << u"13"_s << 0;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("letters") << u"三月"_s << 0;
    QTest::newRow("quote") << u"3'"_s << 0;
}

void TestSalesStatistics::parseMonth()
{
    QFETCH(QString, text);
    QFETCH(int, month);
    const std::optional<int> parsed = SalesStatistics::parseMonth(text);
    QCOMPARE(parsed.value_or(0), month);
    if (!parsed)
        QVERIFY(SalesStatistics::invalidMonthMessage(text).startsWith(u"月份"_s));
}

QTEST_GUILESS_MAIN(TestSalesStatistics)
#include "tst_salesstatistics.moc"

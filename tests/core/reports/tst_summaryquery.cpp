#include "TestDatabase.h"
#include "data/Database.h"
#include "data/Dialect.h"
#include "data/QueryHelpers.h"
#include "data/SqlListModel.h"
#include "reports/SummaryQuery.h"

#include <QtTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

// One stock-in: the article, its date and the six figures the report sums
// ("2" purchased, "3" purchase amount, "5" sold, "6" sales amount, "7" stock,
// "8" stock amount); nullopt stores null.
struct StockIn
{
    QString name, spec, code, category;
    QDate day;
    std::array<std::optional<double>, 6> figures;
};
using StockIns = QList<StockIn>;

// A result row as text: "name|spec|code|category|q|amount|...", nulls empty.
QString rowText(const SqlListModel &model, int row)
{
    QStringList cells;
    for (int c = 0; c < model.columnCount(); ++c) {
        const QVariant v = model.value(row, c);
        cells << (v.isNull()                         ? QString()
                  : v.typeId() == QMetaType::QString ? v.toString()
                                                     : QString::number(v.toDouble()));
    }
    return cells.join(u'|');
}

const std::array<std::optional<double>, 6> kFull{10, 1000, 4, 800, 6, 600};

} // namespace

Q_DECLARE_METATYPE(StockIns)

// The summary report's grouped statement on a real database: what forms one
// row, what the sums hold, how it sorts.
class TestSummaryQuery : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup() { m_database.reset(); }
    void groups_data();
    void groups();
    void footerSumsCoverEveryStockIn();
    void sortsByASumBothWays();

private:
    void insert(const StockIns &rows);
    std::unique_ptr<TestDatabase> m_database;
};

void TestSummaryQuery::init()
{
    m_database = std::make_unique<TestDatabase>();
    QVERIFY2(m_database->isOpen(), qPrintable(m_database->errorText()));
}

void TestSummaryQuery::insert(const StockIns &rows)
{
    Database &db = m_database->db();
    WriteTransaction transaction(db);
    for (const StockIn &r : rows) {
        QVariantList values{r.name, r.spec, r.code, r.category, db.dialect().dateValue(r.day)};
        for (const auto &figure : r.figures)
            values << (figure ? QVariant(*figure) : QVariant(QMetaType::fromType<double>()));
        ExecuteStatement(db,
                         u"insert into data (a, b, c, d, day1, \"2\", \"3\", \"5\", \"6\", \"7\", \"8\") "
                         "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s,
                         values);
    }
    QVERIFY(transaction.commit());
}

void TestSummaryQuery::groups_data()
{
    QTest::addColumn<StockIns>("rows");
    QTest::addColumn<QStringList>("expected");

    const QDate d1(2024, 1, 3), d2(2024, 2, 9), d3(2024, 3, 1);
    QTest::newRow("empty table: no row") << StockIns{} << QStringList{};
    QTest::newRow("three stock-ins of one article on different dates: one row, summed")
        << StockIns{{u"拉杆箱"_s, u"24寸"_s, u"C1"_s, u"箱"_s, d1, kFull},
                    {u"拉杆箱"_s, u"24寸"_s, u"C1"_s, u"箱"_s, d2, {5, 500, 0, 0, 5, 500}},
                    {u"拉杆箱"_s, u"24寸"_s, u"C1"_s, u"箱"_s, d3, {2.5, 250, 1, 200, 1.5, 150}}}
        << QStringList{u"拉杆箱|24寸|C1|箱|17.5|1750|5|1000|12.5|1250"_s};
    QTest::newRow("one article under two category texts: two rows")
        << StockIns{{u"双肩包"_s, u"黑"_s, u"B1"_s, u"背包"_s, d1, kFull},
                    {u"双肩包"_s, u"黑"_s, u"B1"_s, u"包"_s, d2, kFull}}
        << QStringList{u"双肩包|黑|B1|包|10|1000|4|800|6|600"_s, u"双肩包|黑|B1|背包|10|1000|4|800|6|600"_s};
    QTest::newRow("a differing model or code also splits")
        << StockIns{{u"钱包"_s, u"红"_s, u"W1"_s, u"钱包"_s, d1, kFull},
                    {u"钱包"_s, u"蓝"_s, u"W1"_s, u"钱包"_s, d1, kFull},
                    {u"钱包"_s, u"红"_s, u"W2"_s, u"钱包"_s, d1, kFull}}
        << QStringList{u"钱包|红|W1|钱包|10|1000|4|800|6|600"_s, u"钱包|红|W2|钱包|10|1000|4|800|6|600"_s,
                       u"钱包|蓝|W1|钱包|10|1000|4|800|6|600"_s};
    QTest::newRow("all-null figures sum to null, nulls beside values are skipped")
        << StockIns{{u"空"_s, u""_s, u"N1"_s, u"箱"_s, d1, {}},
                    {u"空"_s, u""_s, u"N1"_s, u"箱"_s, d2, {}},
                    {u"半"_s, u""_s, u"N2"_s, u"箱"_s, d1, {3, std::nullopt, 1, 100, 2, std::nullopt}},
                    {u"半"_s, u""_s, u"N2"_s, u"箱"_s, d2, {4, 40, std::nullopt, 50, 4, std::nullopt}}}
        << QStringList{u"半||N2|箱|7|40|1|150|6|"_s, u"空||N1|箱||||||"_s};
    QTest::newRow("sold-out rows count, negative stock too")
        << StockIns{{u"箱"_s, u""_s, u"S1"_s, u"箱"_s, d1, {3, 30, 3, 60, 0, 0}},
                    {u"箱"_s, u""_s, u"S1"_s, u"箱"_s, d2, {0, 0, 1, 20, -1, -10}}}
        << QStringList{u"箱||S1|箱|3|30|4|80|-1|-10"_s};
    QTest::newRow("a null category is a group of its own")
        << StockIns{{u"包"_s, u""_s, u"K1"_s, QString(), d1, kFull},
                    {u"包"_s, u""_s, u"K1"_s, u"包"_s, d1, kFull}}
        << QStringList{u"包||K1||10|1000|4|800|6|600"_s, u"包||K1|包|10|1000|4|800|6|600"_s};
}

void TestSummaryQuery::groups()
{
    QFETCH(StockIns, rows);
    QFETCH(QStringList, expected);
    insert(rows);
    SqlListModel model(m_database->db());
    model.setSumFields(SummaryQuery::summedFields());
    model.setQuery(SummaryQuery::all());
    QVERIFY2(model.errorText().isEmpty(), qPrintable(model.errorText()));
    model.fetchAll();
    QCOMPARE(model.totalCount(), expected.size());
    QStringList result;
    for (int r = 0; r < model.rowCount(); ++r)
        result << rowText(model, r);
    // The order is the database's; compare as sets of rows.
    result.sort();
    QStringList sortedExpected = expected;
    sortedExpected.sort();
    QCOMPARE(result, sortedExpected);
}

void TestSummaryQuery::footerSumsCoverEveryStockIn()
{
    insert({{u"甲"_s, u""_s, u"1"_s, u"箱"_s, QDate(2024, 1, 1), kFull},
            {u"甲"_s, u""_s, u"1"_s, u"箱"_s, QDate(2024, 1, 2), {0.1, 0.2, 0, 0, 0.1, 0.2}},
            {u"乙"_s, u""_s, u"2"_s, u"包"_s, QDate(2024, 1, 1), {1, 10, std::nullopt, 5, 1, 10}}});
    SqlListModel model(m_database->db());
    model.setSumFields(SummaryQuery::summedFields());
    model.setQuery(SummaryQuery::all());
    QCOMPARE(model.totalCount(), 2);
    const QStringList sums = SummaryQuery::summedFields();
    const QList<double> expected{11.1, 1010.2, 4, 805, 7.1, 610.2};
    for (int i = 0; i < sums.size(); ++i)
        QVERIFY2(qFuzzyCompare(model.sum(sums.at(i)).toDouble(), expected.at(i)), qPrintable(sums.at(i)));
}

void TestSummaryQuery::sortsByASumBothWays()
{
    insert({{u"少"_s, u""_s, u"1"_s, u"箱"_s, QDate(2024, 1, 1), {5, 0, 0, 0, 2, 0}},
            {u"多"_s, u""_s, u"2"_s, u"箱"_s, QDate(2024, 1, 1), {5, 0, 0, 0, 40, 0}},
            {u"多"_s, u""_s, u"2"_s, u"箱"_s, QDate(2024, 1, 2), {5, 0, 0, 0, 5, 0}},
            {u"中"_s, u""_s, u"3"_s, u"箱"_s, QDate(2024, 1, 1), {5, 0, 0, 0, 9, 0}},
            {u"空"_s, u""_s, u"4"_s, u"箱"_s, QDate(2024, 1, 1), {}}});
    SqlListModel model(m_database->db());
    model.setQuery(SummaryQuery::all());
    auto names = [&model] {
        QStringList n;
        for (int r = 0; r < model.rowCount(); ++r)
            n << model.value(r, u"a"_s).toString();
        return n;
    };
    model.sortBy(u"库存数量"_s, false);
    QVERIFY2(model.errorText().isEmpty(), qPrintable(model.errorText()));
    QCOMPARE(names(), (QStringList{u"多"_s, u"中"_s, u"少"_s, u"空"_s}));
    model.sortBy(u"库存数量"_s, true);
    QCOMPARE(names(), (QStringList{u"空"_s, u"少"_s, u"中"_s, u"多"_s}));
}

QTEST_GUILESS_MAIN(TestSummaryQuery)
#include "tst_summaryquery.moc"

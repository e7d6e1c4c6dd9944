#include "TestDatabase.h"
#include "data/Database.h"
#include "data/Dialect.h"
#include "data/QueryHelpers.h"
#include "data/SqlListModel.h"
#include "stock/StockQuery.h"

#include <QtTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

struct Row
{
    QString name, spec, code, category, nameInitials, specInitials, supplier, remark;
    std::optional<double> purchased; // "2"
    std::optional<double> stock;     // "7"
    QDate day;
};

QVariant number(const std::optional<double> &v)
{
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<double>());
}

// Six deliveries that tell the conditions apart: an unpurchased row with
// stock, a sold-out row, negative stock, a row without figures, texts with
// quotes and wildcard characters.
const QList<Row> &rows()
{
    static const QList<Row> all{
        {u"拉杆箱"_s, u"20寸"_s, u"6901001"_s, u"拉杆箱"_s, u"lgx"_s, u"20c"_s, u"广州皮具厂"_s, u"新款"_s,
         10, 5, QDate(2024, 1, 1)},
        {u"双肩包"_s, u"黑色"_s, u"6901002"_s, u"背包"_s, u"sjb"_s, u"hs"_s, u"O'Brien's Bags"_s, u"50%off"_s,
         5, 0, QDate(2024, 1, 15)},
        {u"旧货"_s, u""_s, u"6901003"_s, u"背包"_s, u"jh"_s, u""_s, u"广州皮具厂"_s, u"a_b"_s, 0, 3,
         QDate(2024, 1, 31)},
        {u"负库存"_s, u""_s, u"690100x"_s, u"钱包"_s, u"fkc"_s, u""_s, u"义乌"_s, u"ab"_s, 2, -1,
         QDate(2024, 2, 1)},
        {u"退货"_s, u""_s, u"6902000"_s, u"钱包"_s, u"th"_s, u""_s, u"义乌"_s, u"100%"_s, 0, 0,
         QDate(2023, 12, 31)},
        {u"空数量"_s, u""_s, u"6902001"_s, u"钱包"_s, u"kxl"_s, u""_s, u""_s, u""_s, std::nullopt,
         std::nullopt, QDate(2024, 1, 10)},
    };
    return all;
}

} // namespace

Q_DECLARE_METATYPE(StockFilter)

// The stock list's "全部记录" and "查询" statements against a real database.
class TestStockQuery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void allRecords_data();
    void allRecords();
    void search_data();
    void search();
    void typedTextIsBoundNotSpliced();

private:
    QStringList names(const SqlListQuery &query);

    std::unique_ptr<TestDatabase> m_database;
};

void TestStockQuery::initTestCase()
{
    m_database = std::make_unique<TestDatabase>();
    QVERIFY2(m_database->isOpen(), qPrintable(m_database->errorText()));
    Database &db = m_database->db();
    WriteTransaction transaction(db);
    for (const Row &r : rows()) {
        ExecuteStatement(db,
                         u"insert into data (a, b, c, d, e, f, g, z, \"2\", \"7\", day1) "
                         "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s,
                         {r.name, r.spec, r.code, r.category, r.nameInitials, r.specInitials, r.supplier,
                          r.remark, number(r.purchased), number(r.stock), db.dialect().dateValue(r.day)});
    }
    QVERIFY(transaction.commit());
    qInfo() << "engine" << TestDatabase::backendName();
}

QStringList TestStockQuery::names(const SqlListQuery &query)
{
    SqlListModel model(m_database->db());
    model.setQuery(query);
    [&] { QVERIFY2(model.errorText().isEmpty(), qPrintable(model.errorText())); }();
    model.fetchAll();
    QStringList result;
    for (int r = 0; r < model.rowCount(); ++r)
        result << model.value(r, u"a"_s).toString();
    return result;
}

void TestStockQuery::allRecords_data()
{
    QTest::addColumn<bool>("zeroStockHidden");
    QTest::addColumn<QStringList>("expected");
    // Every row, by stock-in date: also those never purchased and those
    // without figures.
    QTest::newRow("switch off: every row by date")
        << false << QStringList{u"退货"_s, u"拉杆箱"_s, u"空数量"_s, u"双肩包"_s, u"旧货"_s, u"负库存"_s};
    // Only stock other than 0, negative stock included.
    QTest::newRow("switch on: rows with stock") << true << QStringList{u"拉杆箱"_s, u"旧货"_s, u"负库存"_s};
}

void TestStockQuery::allRecords()
{
    QFETCH(bool, zeroStockHidden);
    QFETCH(QStringList, expected);
    QCOMPARE(names(StockQuery::allRecords(m_database->db().dialect(), zeroStockHidden)), expected);
}

void TestStockQuery::search_data()
{
    QTest::addColumn<bool>("zeroStockHidden");
    QTest::addColumn<StockFilter>("filter");
    QTest::addColumn<QStringList>("expected");

    auto with = [](auto setter) {
        StockFilter f;
        setter(f);
        return f;
    };
    const StockFilter none;
    QTest::newRow("off, empty boxes: purchased rows only")
        << false << none << QStringList{u"拉杆箱"_s, u"双肩包"_s, u"负库存"_s};
    QTest::newRow("on, empty boxes: rows with stock, negative too")
        << true << none << QStringList{u"拉杆箱"_s, u"旧货"_s, u"负库存"_s};

    QTest::newRow("category, off") << false << with([](StockFilter &f) { f.category = u"背包"_s; })
                                   << QStringList{u"双肩包"_s};
    QTest::newRow("category, on") << true << with([](StockFilter &f) { f.category = u"背包"_s; })
                                  << QStringList{u"旧货"_s};
    QTest::newRow("name initials substring")
        << false << with([](StockFilter &f) { f.nameInitials = u"j"_s; }) << QStringList{u"双肩包"_s};
    QTest::newRow("name initials any case")
        << false << with([](StockFilter &f) { f.nameInitials = u"LG"_s; }) << QStringList{u"拉杆箱"_s};
    QTest::newRow("spec initials") << false << with([](StockFilter &f) { f.specInitials = u"hs"_s; })
                                   << QStringList{u"双肩包"_s};
    QTest::newRow("code prefix") << false << with([](StockFilter &f) { f.code = u"6901"_s; })
                                 << QStringList{u"拉杆箱"_s, u"双肩包"_s, u"负库存"_s};
    QTest::newRow("scanned code") << false << with([](StockFilter &f) { f.code = u"690100x"_s; })
                                  << QStringList{u"负库存"_s};
    QTest::newRow("remark") << false << with([](StockFilter &f) { f.remark = u"新"_s; })
                            << QStringList{u"拉杆箱"_s};
    QTest::newRow("supplier, off") << false << with([](StockFilter &f) { f.supplier = u"广州"_s; })
                                   << QStringList{u"拉杆箱"_s};
    QTest::newRow("supplier, on") << true << with([](StockFilter &f) { f.supplier = u"广州"_s; })
                                  << QStringList{u"拉杆箱"_s, u"旧货"_s};
    QTest::newRow("category and supplier together") << true << with([](StockFilter &f) {
        f.category = u"背包"_s;
        f.supplier = u"广州"_s;
    }) << QStringList{u"旧货"_s};

    // Typed characters match themselves.
    QTest::newRow("quote in supplier")
        << false << with([](StockFilter &f) { f.supplier = u"O'Brien's"_s; }) << QStringList{u"双肩包"_s};
    QTest::newRow("lone quote") << false << with([](StockFilter &f) { f.nameInitials = u"'"_s; })
                                << QStringList{};
    QTest::newRow("percent is no wildcard")
        << false << with([](StockFilter &f) { f.remark = u"%"_s; }) << QStringList{u"双肩包"_s};
    QTest::newRow("underscore is no wildcard")
        << true << with([](StockFilter &f) { f.remark = u"_"_s; }) << QStringList{u"旧货"_s};
    QTest::newRow("backslash") << false << with([](StockFilter &f) { f.remark = u"\\"_s; }) << QStringList{};
    QTest::newRow("blank is searched as typed")
        << false << with([](StockFilter &f) { f.category = u" 背包"_s; }) << QStringList{};

    auto range = [&](int firstMonth, int firstDay, int lastMonth, int lastDay, int year = 2024) {
        return with([=](StockFilter &f) {
            f.dateRangeOn = true;
            f.firstDate = QDate(year, firstMonth, firstDay);
            f.lastDate = QDate(2024, lastMonth, lastDay);
        });
    };
    QTest::newRow("dates: both ends included, off")
        << false << range(1, 1, 1, 31) << QStringList{u"拉杆箱"_s, u"双肩包"_s};
    QTest::newRow("dates: both ends included, on")
        << true << range(1, 1, 1, 31) << QStringList{u"拉杆箱"_s, u"旧货"_s};
    QTest::newRow("dates: one day") << true << range(2, 1, 2, 1) << QStringList{u"负库存"_s};
    QTest::newRow("dates: ends excluded") << true << range(1, 2, 1, 30) << QStringList{};
    QTest::newRow("dates: reversed range finds nothing") << false << range(2, 1, 1, 1) << QStringList{};
    QTest::newRow("dates: across the year") << false << range(12, 1, 1, 1, 2023) << QStringList{u"拉杆箱"_s};
    StockFilter unticked = range(2, 1, 2, 1);
    unticked.dateRangeOn = false;
    QTest::newRow("dates unticked: no condition")
        << false << unticked << QStringList{u"拉杆箱"_s, u"双肩包"_s, u"负库存"_s};
}

void TestStockQuery::search()
{
    QFETCH(bool, zeroStockHidden);
    QFETCH(StockFilter, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(names(StockQuery::search(m_database->db().dialect(), zeroStockHidden, filter)), expected);
    // Matched against the distinct values first where the engine is faster
    // that way: the same rows in the same order.
    QCOMPARE(names(StockQuery::search(m_database->db(), zeroStockHidden, filter)), expected);
}

void TestStockQuery::typedTextIsBoundNotSpliced()
{
    StockFilter f;
    f.category = u"箱'; drop table data; --"_s;
    f.supplier = u"广州"_s;
    const SqlListQuery query = StockQuery::search(m_database->db().dialect(), false, f);
    QVERIFY(!query.condition.contains(u"drop"_s));
    QVERIFY(!query.condition.contains(u"广州"_s));
    QCOMPARE(query.values.size(), 2);
    QCOMPARE(names(query), QStringList{});
    // The table is still there.
    QCOMPARE(ScalarValue(m_database->db(), u"select count(*) from data"_s).toInt(), rows().size());
}

QTEST_GUILESS_MAIN(TestStockQuery)
#include "tst_stockquery.moc"

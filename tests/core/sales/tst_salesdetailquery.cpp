#include "TestDatabase.h"
#include "data/Database.h"
#include "data/QueryHelpers.h"
#include "data/SqlListModel.h"
#include "sales/SalesDetailQuery.h"

#include <QtTest>

#include <algorithm>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

struct Line
{
    QString name, initials, code, category, customer, remark;
    std::optional<QString> order;
    double quantity, amount, profit;
    QDate day;
};

// Sales, returns and one line of quantity 0 around month and year ends, with
// texts holding quotes and wildcard characters.
const QList<Line> &lines()
{
    static const QList<Line> all{
        {u"拉杆箱"_s, u"lgx"_s, u"6901001"_s, u"拉杆箱"_s, u"王"_s, u"新款"_s, u"20240301001"_s, 2, 100, 20,
         QDate(2024, 3, 1)},
        {u"双肩包"_s, u"sjb"_s, u"6901002"_s, u"背包"_s, u"O'Brien"_s, u"50%off"_s, u"20240331002"_s, 1, 50,
         10, QDate(2024, 3, 31)},
        {u"钱包"_s, u"qb"_s, u"6901003"_s, u"钱包"_s, u"a_b"_s, u"100%"_s, u"20240229001"_s, -1, -30, -5,
         QDate(2024, 2, 29)},
        {u"旅行包"_s, u"lxb"_s, u"690100x"_s, u"背包"_s, u"ab"_s, u""_s, u"20240401001"_s, 3, 90, 15,
         QDate(2024, 4, 1)},
        {u"零数量"_s, u"lbx"_s, u"6901005"_s, u"背包"_s, u""_s, u""_s, u""_s, 0, 0, 0, QDate(2024, 3, 15)},
        {u"退货箱"_s, u"thbx"_s, u"6901006"_s, u"拉杆箱"_s, u"王"_s, u""_s, u"20240310001"_s, -2, -200, -40,
         QDate(2024, 3, 10)},
        {u"年末包"_s, u"bx"_s, u"6901007"_s, u"背包"_s, u""_s, u""_s, u"20241231001"_s, 1, 60, 12,
         QDate(2024, 12, 31)},
        {u"新年包"_s, u"bxb"_s, u"6901008"_s, u"背包"_s, u""_s, u""_s, u"20250101001"_s, 1, 70, 14,
         QDate(2025, 1, 1)},
        {u"去年箱"_s, u"lgx"_s, u"6901009"_s, u"拉杆箱"_s, u""_s, u""_s, u"20230315001"_s, 1, 40, 8,
         QDate(2023, 3, 15)},
        {u"无单号"_s, u"kd"_s, u"6901010"_s, u"钱包"_s, u""_s, u""_s, std::nullopt, 1, 10, 2,
         QDate(2024, 3, 20)},
    };
    return all;
}

QStringList sorted(QStringList names)
{
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

Q_DECLARE_METATYPE(SalesFilter)
Q_DECLARE_METATYPE(SqlListQuery)

// Every view of the sales-detail window against a real database: which
// lines each lists and what its footers add up to.
class TestSalesDetailQuery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void columns();
    void thisMonth_data();
    void thisMonth();
    void search_data();
    void search();
    void periodViews_data();
    void periodViews();
    void orderNumberSearch_data();
    void orderNumberSearch();

private:
    QStringList names(const SqlListQuery &query);

    std::unique_ptr<TestDatabase> m_database;
};

void TestSalesDetailQuery::initTestCase()
{
    qInfo("database backend: %s", qPrintable(TestDatabase::backendName()));
    m_database = std::make_unique<TestDatabase>();
    QVERIFY2(m_database->isOpen(), qPrintable(m_database->errorText()));
    Database &db = m_database->db();
    for (const Line &l : lines()) {
        ExecuteStatement(db,
                         u"insert into data1 (a, e, c, d, g, j, z, \"3\", \"4\", a5, \"6\", day1) "
                         "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 1, ?)"_s,
                         {l.name, l.initials, l.code, l.category, l.customer, l.remark,
                          l.order ? QVariant(*l.order) : QVariant(QMetaType::fromType<QString>()), l.quantity,
                          l.amount, l.profit, db.dialect().dateValue(l.day)});
    }
}

QStringList TestSalesDetailQuery::names(const SqlListQuery &query)
{
    SqlListModel model(m_database->db());
    model.setQuery(query);
    if (!model.errorText().isEmpty())
        qWarning("%s", qPrintable(model.errorText()));
    model.fetchAll();
    QStringList result;
    for (int row = 0; row < model.rowCount(); ++row)
        result << model.value(row, u"a"_s).toString();
    return result;
}

void TestSalesDetailQuery::columns()
{
    const QStringList grid = SalesDetailQuery::gridFields();
    QCOMPARE(grid, (QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"2"_s, u"3"_s, u"4"_s, u"day1"_s, u"6"_s,
                                u"a5"_s, u"z"_s, u"g"_s, u"i"_s, u"h"_s, u"j"_s}));
    QCOMPARE(SalesDetailQuery::fields().mid(0, grid.size()), grid);
    // Every field of every view is a real column: the statement runs.
    SqlListModel model(m_database->db());
    model.setQuery(SalesDetailQuery::allRecords(m_database->db().dialect()));
    QVERIFY2(model.errorText().isEmpty(), qPrintable(model.errorText()));
    QCOMPARE(model.columnCount(), SalesDetailQuery::fields().size());
}

void TestSalesDetailQuery::thisMonth_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<double>("quantitySum");
    QTest::addColumn<double>("amountSum");
    // March: the 1st and the 31st are in, 29 February, 1 April and March of
    // another year are not; returns and the zero line are listed too.
    QTest::newRow("March 2024") << QDate(2024, 3, 17)
                                << QStringList{u"拉杆箱"_s, u"双肩包"_s, u"零数量"_s, u"退货箱"_s,
                                               u"无单号"_s}
                                << 2.0 << -40.0;
    QTest::newRow("leap February") << QDate(2024, 2, 1) << QStringList{u"钱包"_s} << -1.0 << -30.0;
    QTest::newRow("December to January") << QDate(2024, 12, 31) << QStringList{u"年末包"_s} << 1.0 << 60.0;
    QTest::newRow("January next year") << QDate(2025, 1, 20) << QStringList{u"新年包"_s} << 1.0 << 70.0;
    QTest::newRow("month without sales") << QDate(2024, 6, 1) << QStringList{} << 0.0 << 0.0;
}

void TestSalesDetailQuery::thisMonth()
{
    QFETCH(QDate, today);
    QFETCH(QStringList, expected);
    QFETCH(double, quantitySum);
    QFETCH(double, amountSum);
    const SqlListQuery query = SalesDetailQuery::thisMonth(m_database->db().dialect(), today);
    QCOMPARE(sorted(names(query)), sorted(expected));

    SqlListModel model(m_database->db());
    model.setSumFields(SalesDetailQuery::summedFields());
    model.setQuery(query);
    QCOMPARE(model.totalCount(), expected.size());
    QCOMPARE(model.sum(u"3"_s).toDouble(), quantitySum);
    QCOMPARE(model.sum(u"4"_s).toDouble(), amountSum);
    QCOMPARE(model.sum(u"6"_s).toDouble(), double(expected.size()));
}

void TestSalesDetailQuery::search_data()
{
    QTest::addColumn<SalesFilter>("filter");
    QTest::addColumn<bool>("returns");
    QTest::addColumn<QStringList>("expected");

    SalesFilter name;
    name.nameInitials = u"bx"_s;
    QTest::newRow("name bx, sales") << name << false << QStringList{u"年末包"_s, u"新年包"_s};
    QTest::newRow("name bx, returns") << name << true << QStringList{u"退货箱"_s};

    SalesFilter quote;
    quote.customer = u"'"_s;
    QTest::newRow("quote in customer") << quote << false << QStringList{u"双肩包"_s};
    SalesFilter fullQuote;
    fullQuote.customer = u"O'Brien"_s;
    QTest::newRow("O'Brien") << fullQuote << false << QStringList{u"双肩包"_s};

    SalesFilter percent;
    percent.remark = u"%"_s;
    QTest::newRow("% matches itself") << percent << false << QStringList{u"双肩包"_s};
    QTest::newRow("% in returns") << percent << true << QStringList{u"钱包"_s};

    SalesFilter underscore;
    underscore.customer = u"a_b"_s;
    QTest::newRow("_ is not any character") << underscore << false << QStringList{};
    QTest::newRow("_ matches itself") << underscore << true << QStringList{u"钱包"_s};

    SalesFilter category;
    category.category = u"背包"_s;
    QTest::newRow("category, zero quantity left out")
        << category << false << QStringList{u"双肩包"_s, u"旅行包"_s, u"年末包"_s, u"新年包"_s};

    SalesFilter code;
    code.code = u"X"_s;
    QTest::newRow("code, case-insensitive") << code << false << QStringList{u"旅行包"_s};

    SalesFilter sameDay;
    sameDay.dateRangeOn = true;
    sameDay.firstDate = sameDay.lastDate = QDate(2024, 3, 31);
    QTest::newRow("one day, bounds inclusive") << sameDay << false << QStringList{u"双肩包"_s};

    SalesFilter march = sameDay;
    march.firstDate = QDate(2024, 3, 1);
    QTest::newRow("March sales") << march << false << QStringList{u"拉杆箱"_s, u"双肩包"_s, u"无单号"_s};

    SalesFilter unticked = march;
    unticked.dateRangeOn = false;
    unticked.nameInitials = u"lgx"_s;
    QTest::newRow("dates ignored when unticked")
        << unticked << false << QStringList{u"拉杆箱"_s, u"去年箱"_s};

    SalesFilter combined = march;
    combined.category = u"拉杆箱"_s;
    combined.nameInitials = u"lgx"_s;
    combined.specInitials = QString();
    QTest::newRow("all conditions together") << combined << false << QStringList{u"拉杆箱"_s};

    SalesFilter blank;
    blank.nameInitials = u" lgx"_s; // searched as typed
    QTest::newRow("text not trimmed") << blank << false << QStringList{};

    SalesFilter upper;
    upper.nameInitials = u"BX"_s;
    QTest::newRow("name typed in capitals") << upper << false << QStringList{u"年末包"_s, u"新年包"_s};
    SalesFilter nothing;
    nothing.nameInitials = u"zzz"_s;
    QTest::newRow("name matching nothing") << nothing << false << QStringList{};
    SalesFilter partCategory;
    partCategory.category = u"包"_s;
    partCategory.customer = u"王"_s;
    QTest::newRow("category part, customer") << partCategory << false << QStringList{};
    partCategory.category = u"杆"_s;
    QTest::newRow("category part, customer, returns") << partCategory << true << QStringList{u"退货箱"_s};
}

void TestSalesDetailQuery::search()
{
    QFETCH(SalesFilter, filter);
    QFETCH(bool, returns);
    QFETCH(QStringList, expected);
    const auto kind = returns ? SalesDetailQuery::Kind::Returns : SalesDetailQuery::Kind::Sales;
    const SqlListQuery plain = SalesDetailQuery::search(m_database->db().dialect(), filter, kind);
    QCOMPARE(sorted(names(plain)), sorted(expected));
    // Matching the few distinct values first finds the same lines in the same
    // order, with the same count and sums.
    const SqlListQuery narrowed = SalesDetailQuery::search(m_database->db(), filter, kind);
    QCOMPARE(names(narrowed), names(plain));
    SqlListModel plainModel(m_database->db());
    SqlListModel narrowedModel(m_database->db());
    for (SqlListModel *model : {&plainModel, &narrowedModel})
        model->setSumFields(SalesDetailQuery::summedFields());
    plainModel.setQuery(plain);
    narrowedModel.setQuery(narrowed);
    QCOMPARE(narrowedModel.totalCount(), plainModel.totalCount());
    for (const QString &field : SalesDetailQuery::summedFields()) {
        QCOMPARE(narrowedModel.sum(field).isNull(), plainModel.sum(field).isNull());
        QCOMPARE(narrowedModel.sum(field).toDouble(), plainModel.sum(field).toDouble());
    }
}

void TestSalesDetailQuery::periodViews_data()
{
    const Dialect &dialect = m_database->db().dialect();
    QTest::addColumn<SqlListQuery>("query");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("inOrder");

    QTest::newRow("全部记录 by sale date")
        << SalesDetailQuery::allRecords(dialect)
        << QStringList{u"去年箱"_s, u"钱包"_s,   u"拉杆箱"_s, u"退货箱"_s, u"零数量"_s,
                       u"无单号"_s, u"双肩包"_s, u"旅行包"_s, u"年末包"_s, u"新年包"_s}
        << true;
    QTest::newRow("全部退货") << SalesDetailQuery::allReturns(dialect) << QStringList{u"钱包"_s, u"退货箱"_s}
                              << true;

    SalesFilter today;
    today.firstDate = today.lastDate = QDate(2024, 3, 1);
    QTest::newRow("当 天 ticks the date range")
        << SalesDetailQuery::currentDay(dialect, today) << QStringList{u"拉杆箱"_s} << true;
    today.nameInitials = u"sjb"_s;
    QTest::newRow("当 天 keeps the other boxes")
        << SalesDetailQuery::currentDay(dialect, today) << QStringList{} << true;
}

void TestSalesDetailQuery::periodViews()
{
    QFETCH(SqlListQuery, query);
    QFETCH(QStringList, expected);
    QFETCH(bool, inOrder);
    const QStringList listed = names(query);
    QCOMPARE(inOrder ? listed : sorted(listed), inOrder ? expected : sorted(expected));
}

void TestSalesDetailQuery::orderNumberSearch_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("substring") << u"0301"_s << QStringList{u"拉杆箱"_s};
    QTest::newRow("trimmed") << u" 2024123 "_s << QStringList{u"年末包"_s};
    QTest::newRow("year part") << u"2023"_s << QStringList{u"去年箱"_s};
    QTest::newRow("empty lists every line with a number")
        << QString() << QStringList{u"拉杆箱"_s, u"双肩包"_s, u"钱包"_s,   u"旅行包"_s,
                                    u"退货箱"_s, u"年末包"_s, u"新年包"_s, u"去年箱"_s};
    QTest::newRow("% matches itself") << u"%"_s << QStringList{};
    QTest::newRow("quote") << u"2024'"_s << QStringList{};
}

void TestSalesDetailQuery::orderNumberSearch()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    QCOMPARE(sorted(names(SalesDetailQuery::orderNumberSearch(m_database->db().dialect(), text))),
             sorted(expected));
}

QTEST_GUILESS_MAIN(TestSalesDetailQuery)
#include "tst_salesdetailquery.moc"

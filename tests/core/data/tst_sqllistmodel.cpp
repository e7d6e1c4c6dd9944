#include "TestDatabase.h"
#include "data/Database.h"
#include "data/Dialect.h"
#include "data/QueryHelpers.h"
#include "data/SqlListModel.h"

#include <QSet>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <optional>

namespace {

struct StockRow
{
    QString name;
    QString category;
    std::optional<double> purchased; // "2"
    std::optional<double> amount;    // "3"
    std::optional<double> stock;     // "7"
    QDate day;
};

QVariant number(const std::optional<double> &v)
{
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<double>());
}

void insertRows(Database &db, const QList<StockRow> &rows)
{
    WriteTransaction transaction(db);
    for (const StockRow &r : rows) {
        ExecuteStatement(
            db,
            QStringLiteral("insert into data (a, d, \"2\", \"3\", \"7\", day1) values (?, ?, ?, ?, ?, ?)"),
            {r.name, r.category, number(r.purchased), number(r.amount), number(r.stock),
             db.dialect().dateValue(r.day)});
    }
    QVERIFY(transaction.commit());
}

SqlListQuery stockQuery()
{
    SqlListQuery q;
    q.fields = {QStringLiteral("id"), QStringLiteral("a"), QStringLiteral("d"),   QStringLiteral("2"),
                QStringLiteral("3"),  QStringLiteral("7"), QStringLiteral("day1")};
    q.from = QStringLiteral("data");
    q.keyFields = {QStringLiteral("id")};
    return q;
}

QList<int> ids(const SqlListModel &model)
{
    QList<int> result;
    for (int r = 0; r < model.rowCount(); ++r)
        result << model.value(r, QStringLiteral("id")).toInt();
    return result;
}

} // namespace

// The lazy list behind every grid: pages, counts, footer sums from one
// aggregate, sorting that stays stable across pages, bound filters.
class TestSqlListModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void firstScreenAndTotalsTakeTwoStatements();
    void rowsArriveInGrowingPages();
    void footerSumsCoverOnlyTheFilteredRows_data();
    void footerSumsCoverOnlyTheFilteredRows();
    void sortIsStableAcrossPages_data();
    void sortIsStableAcrossPages();
    void textSortIsTheSameOnBothEngines();
    void defaultOrderAndRefreshKeepingTheSort();
    void typedFilterTextMatchesItself_data();
    void typedFilterTextMatchesItself();
    void valuesByFieldNameAndDates();
    void groupedReportSortsByItsSums();
    void failingStatementLeavesAnEmptyList();
    void failedPageIsNotReadAgainForEveryCell();
};

void TestSqlListModel::initTestCase()
{
    qInfo("database backend: %s", qPrintable(TestDatabase::backendName()));
}

void TestSqlListModel::firstScreenAndTotalsTakeTwoStatements()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    QList<StockRow> rows;
    for (int i = 0; i < 700; ++i)
        rows << StockRow{
            QStringLiteral("箱%1").arg(i), QStringLiteral("拉杆箱"), 2.0, 1.5, 1.0, QDate(2024, 1, 1)};
    insertRows(t.db(), rows);

    SqlListModel model(t.db());
    model.setSumFields({QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("7")});
    const int before = model.statementCount();
    model.setQuery(stockQuery());
    QCOMPARE(model.statementCount() - before, 2);
    QCOMPARE(model.rowCount(), 256);
    QCOMPARE(model.totalCount(), 700);
    QVERIFY(model.canFetchMore());
    QCOMPARE(model.sum(QStringLiteral("2")).toDouble(), 1400.0);
    QCOMPARE(model.sum(QStringLiteral("3")).toDouble(), 1050.0);
    QCOMPARE(model.sum(QStringLiteral("7")).toDouble(), 700.0);
}

void TestSqlListModel::rowsArriveInGrowingPages()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    QList<StockRow> rows;
    for (int i = 0; i < 1000; ++i)
        rows << StockRow{
            QStringLiteral("包%1").arg(i), QStringLiteral("背包"), 1.0, 1.0, 1.0, QDate(2024, 2, 1)};
    insertRows(t.db(), rows);

    SqlListModel model(t.db());
    model.setPageSize(100);
    model.setQuery(stockQuery());
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QList<int> counts{model.rowCount()};
    while (model.canFetchMore()) {
        model.fetchMore();
        counts << model.rowCount();
    }
    QCOMPARE(counts, (QList<int>{100, 200, 400, 800, 1000}));
    QCOMPARE(inserted.count(), 4);
    QCOMPARE(model.totalCount(), 1000);
    const QList<int> all = ids(model);
    QCOMPARE(QSet<int>(all.cbegin(), all.cend()).size(), 1000);
}

void TestSqlListModel::footerSumsCoverOnlyTheFilteredRows_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("purchased");
    QTest::addColumn<QVariant>("amount");
    QTest::newRow("all rows") << QString() << 5 << 17.0 << QVariant(60.5);
    QTest::newRow("one category") << QStringLiteral("拉杆") << 2 << 5.0 << QVariant(20.0);
    QTest::newRow("only nulls in the amount") << QStringLiteral("钱包") << 1 << 2.0 << QVariant();
    QTest::newRow("nothing matches") << QStringLiteral("手表") << 0 << 0.0 << QVariant();
}

void TestSqlListModel::footerSumsCoverOnlyTheFilteredRows()
{
    QFETCH(QString, category);
    QFETCH(int, count);
    QFETCH(double, purchased);
    QFETCH(QVariant, amount);
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    insertRows(t.db(),
               {
                   {QStringLiteral("甲"), QStringLiteral("拉杆箱"), 2.0, 8.0, 1.0, QDate(2024, 1, 1)},
                   {QStringLiteral("乙"), QStringLiteral("拉杆箱"), 3.0, 12.0, 2.0, QDate(2024, 1, 2)},
                   {QStringLiteral("丙"), QStringLiteral("背包"), 4.0, 15.5, std::nullopt, QDate()},
                   {QStringLiteral("丁"), QStringLiteral("钱包"), 2.0, std::nullopt, 1.0, QDate()},
                   {QStringLiteral("戊"), QStringLiteral("背包"), 6.0, 25.0, 3.0, QDate()},
               });
    SqlListModel model(t.db());
    model.setPageSize(1); // the sums must not depend on what was fetched
    model.setSumFields({QStringLiteral("2"), QStringLiteral("3")});
    SqlListQuery q = stockQuery();
    if (!category.isEmpty()) {
        q.condition = t.db().dialect().containsMatch(QStringLiteral("d"));
        q.values = {Dialect::containsPattern(category)};
    }
    model.setQuery(q);
    QCOMPARE(model.totalCount(), count);
    QCOMPARE(model.rowCount(), std::min(count, 1));
    if (count == 0)
        QVERIFY(model.sum(QStringLiteral("2")).isNull());
    else
        QCOMPARE(model.sum(QStringLiteral("2")).toDouble(), purchased);
    QCOMPARE(model.sum(QStringLiteral("3")).isNull(), amount.isNull());
    if (!amount.isNull())
        QCOMPARE(model.sum(QStringLiteral("3")).toDouble(), amount.toDouble());
}

void TestSqlListModel::sortIsStableAcrossPages_data()
{
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<bool>("byTitle");    // a title sort, or the list's own order
    QTest::addColumn<bool>("fromTheEnd"); // the last row's page read first
    for (const bool byTitle : {true, false}) {
        for (const bool fromTheEnd : {false, true}) {
            for (const bool ascending : {false, true}) {
                QTest::addRow("%s, %s, %s", ascending ? "ascending" : "descending",
                              byTitle ? "title sort" : "own order",
                              fromTheEnd ? "last row first" : "from the top")
                    << ascending << byTitle << fromTheEnd;
            }
        }
    }
}

void TestSqlListModel::sortIsStableAcrossPages()
{
    QFETCH(bool, ascending);
    QFETCH(bool, byTitle);
    QFETCH(bool, fromTheEnd);
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    QList<StockRow> rows;
    // Few distinct values, many ties, some nulls: paging must neither repeat nor skip.
    for (int i = 0; i < 300; ++i) {
        const std::optional<double> stock =
            i % 7 == 0 ? std::nullopt : std::optional<double>(static_cast<double>(i % 4) - 1.0);
        rows << StockRow{QStringLiteral("品%1").arg(i), QStringLiteral("类"), 1.0, 1.0, stock, QDate()};
    }
    insertRows(t.db(), rows);

    SqlListModel model(t.db());
    model.setPageSize(16);
    model.setSumFields({QStringLiteral("2")});
    SqlListQuery query = stockQuery();
    if (!byTitle) {
        query.defaultOrderField = QStringLiteral("7");
        query.defaultDescending = !ascending;
    }
    model.setQuery(query);
    if (byTitle) {
        // The sorted keys once and the first page; the sums are not queried again.
        const int before = model.statementCount();
        model.sortBy(QStringLiteral("7"), ascending);
        QCOMPARE(model.statementCount() - before, 2);
        QCOMPARE(model.sum(QStringLiteral("2")).toDouble(), 300.0);
    }
    QCOMPARE(model.rowCount(), 16);
    if (fromTheEnd) {
        const int before = model.statementCount();
        QVERIFY(model.loadRow(299));
        QCOMPARE(model.statementCount() - before, 1);
        QCOMPARE(model.rowCount(), 300);
        QVERIFY(!model.canFetchMore());
        QVERIFY(model.hasUnloadedRows());
    } else {
        model.fetchAll();
    }
    QCOMPARE(model.rowCount(), 300);
    const QList<int> all = ids(model);
    QCOMPARE(QSet<int>(all.cbegin(), all.cend()).size(), 300);
    model.fetchAll();
    QCOMPARE(ids(model), all);

    // Nulls first ascending, last descending; ties by the key ascending.
    auto rank = [&](int r) {
        const QVariant v = model.value(r, QStringLiteral("7"));
        const double value = v.isNull() ? -1e300 : v.toDouble();
        return ascending ? value : -value;
    };
    for (int r = 1; r < model.rowCount(); ++r) {
        QVERIFY2(rank(r - 1) <= rank(r), qPrintable(QStringLiteral("row %1 out of order").arg(r)));
        if (rank(r - 1) == rank(r))
            QVERIFY(all.at(r - 1) < all.at(r));
    }
    QCOMPARE(model.value(0, QStringLiteral("7")).isNull(), ascending);
    QCOMPARE(model.value(299, QStringLiteral("7")).isNull(), !ascending);
}

void TestSqlListModel::textSortIsTheSameOnBothEngines()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    const QStringList names{QStringLiteral("b"), QStringLiteral("B"),  QStringLiteral("箱"),
                            QStringLiteral("a"), QStringLiteral("包"), QStringLiteral("Z")};
    QList<StockRow> rows;
    for (const QString &n : names)
        rows << StockRow{n, QString(), 1.0, 1.0, 1.0, QDate()};
    insertRows(t.db(), rows);
    SqlListModel model(t.db());
    model.setQuery(stockQuery());
    model.sortBy(QStringLiteral("a"), true);
    QStringList sorted;
    for (int r = 0; r < model.rowCount(); ++r)
        sorted << model.value(r, QStringLiteral("a")).toString();
    QStringList expected = names;
    std::sort(expected.begin(), expected.end()); // code point order
    QCOMPARE(sorted, expected);
}

void TestSqlListModel::defaultOrderAndRefreshKeepingTheSort()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    insertRows(t.db(), {
                           {QStringLiteral("三月"), QString(), 1.0, 1.0, 9.0, QDate(2024, 3, 1)},
                           {QStringLiteral("一月"), QString(), 1.0, 1.0, 1.0, QDate(2024, 1, 1)},
                           {QStringLiteral("二月"), QString(), 1.0, 1.0, 5.0, QDate(2024, 2, 1)},
                       });
    SqlListModel model(t.db());
    SqlListQuery q = stockQuery();
    q.defaultOrderField = QStringLiteral("day1");
    model.setQuery(q);
    QCOMPARE(model.value(0, QStringLiteral("a")).toString(), QStringLiteral("一月"));
    QCOMPARE(model.value(2, QStringLiteral("a")).toString(), QStringLiteral("三月"));

    model.sortBy(QStringLiteral("7"), false);
    QCOMPARE(model.value(0, QStringLiteral("a")).toString(), QStringLiteral("三月"));
    ExecuteStatement(t.db(), QStringLiteral("update data set \"7\" = ? where a = ?"),
                     {100.0, QStringLiteral("一月")});
    model.refresh();
    QCOMPARE(model.sortField(), QStringLiteral("7"));
    QCOMPARE(model.value(0, QStringLiteral("a")).toString(), QStringLiteral("一月"));

    // A new query drops the sort, as a new search does.
    model.setQuery(q);
    QVERIFY(model.sortField().isEmpty());
    QCOMPARE(model.value(0, QStringLiteral("a")).toString(), QStringLiteral("一月"));
    QCOMPARE(model.value(1, QStringLiteral("a")).toString(), QStringLiteral("二月"));
}

void TestSqlListModel::typedFilterTextMatchesItself_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("quote") << QStringLiteral("'") << QStringList{QStringLiteral("O'Neil箱")};
    QTest::newRow("percent") << QStringLiteral("%") << QStringList{QStringLiteral("50%折扣")};
    QTest::newRow("underscore") << QStringLiteral("a_b") << QStringList{QStringLiteral("a_b")};
    QTest::newRow("backslash") << QStringLiteral("\\") << QStringList{QStringLiteral("C:\\包")};
    QTest::newRow("case-insensitive ascii") << QStringLiteral("AXB") << QStringList{QStringLiteral("axb")};
    QTest::newRow("substring") << QStringLiteral("箱") << QStringList{QStringLiteral("O'Neil箱")};
}

void TestSqlListModel::typedFilterTextMatchesItself()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, found);
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    QList<StockRow> rows;
    for (const QString &n : {QStringLiteral("O'Neil箱"), QStringLiteral("50%折扣"), QStringLiteral("a_b"),
                             QStringLiteral("axb"), QStringLiteral("500"), QStringLiteral("C:\\包")})
        rows << StockRow{n, QString(), 1.0, 1.0, 1.0, QDate()};
    insertRows(t.db(), rows);
    SqlListModel model(t.db());
    SqlListQuery q = stockQuery();
    q.condition = QStringLiteral("\"2\" > ? and ") + t.db().dialect().containsMatch(QStringLiteral("a"));
    q.values = {0, Dialect::containsPattern(typed)};
    model.setQuery(q);
    QVERIFY2(model.errorText().isEmpty(), qPrintable(model.errorText()));
    QStringList names;
    for (int r = 0; r < model.rowCount(); ++r)
        names << model.value(r, QStringLiteral("a")).toString();
    QCOMPARE(names, found);
    QCOMPARE(model.totalCount(), found.size());
}

void TestSqlListModel::valuesByFieldNameAndDates()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    insertRows(t.db(),
               {{QStringLiteral("旅行箱"), QStringLiteral("拉杆箱"), 3.0, 360.0, 2.5, QDate(2024, 5, 31)},
                {QStringLiteral("无日期"), QString(), std::nullopt, std::nullopt, std::nullopt, QDate()}});
    SqlListModel model(t.db());
    model.setQuery(stockQuery());
    QCOMPARE(model.rowCount(), 2);
    const RowAccessor first = model.rowAt(0);
    QVERIFY(first.isValid());
    QCOMPARE(first.value(QStringLiteral("a")).toString(), QStringLiteral("旅行箱"));
    QCOMPARE(first.value(QStringLiteral("7")).toDouble(), 2.5);
    const QVariant day = first.value(QStringLiteral("DAY1")); // names are case-insensitive
    QCOMPARE(day.metaType(), QMetaType::fromType<QDate>());
    QCOMPARE(day.toDate(), QDate(2024, 5, 31));
    QVERIFY(model.rowAt(1).value(QStringLiteral("day1")).isNull());
    QVERIFY(model.rowAt(1).value(QStringLiteral("7")).isNull());
    QVERIFY(!model.rowAt(2).isValid());
    QVERIFY(!model.rowAt(0).value(QStringLiteral("nosuchfield")).isValid());
}

void TestSqlListModel::groupedReportSortsByItsSums()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    insertRows(t.db(), {{QStringLiteral("甲"), QStringLiteral("箱"), 1.0, 1.0, 4.0, QDate()},
                        {QStringLiteral("甲"), QStringLiteral("箱"), 1.0, 1.0, 3.0, QDate()},
                        {QStringLiteral("乙"), QStringLiteral("箱"), 1.0, 1.0, 10.0, QDate()},
                        {QStringLiteral("丙"), QStringLiteral("箱"), 1.0, 1.0, std::nullopt, QDate()}});
    SqlListModel model(t.db());
    SqlListQuery q;
    q.fields = {QStringLiteral("a"), QStringLiteral("d"), QStringLiteral("库存数量")};
    q.expressions = {QString(), QString(), QStringLiteral("sum(\"7\")")};
    q.from = QStringLiteral("data");
    q.groupBy = QStringLiteral("a, d");
    q.keyFields = {QStringLiteral("a"), QStringLiteral("d")};
    model.setSumFields({QStringLiteral("库存数量")});
    model.setQuery(q);
    QVERIFY2(model.errorText().isEmpty(), qPrintable(model.errorText()));
    QCOMPARE(model.totalCount(), 3);
    QCOMPARE(model.sum(QStringLiteral("库存数量")).toDouble(), 17.0);
    model.sortBy(QStringLiteral("库存数量"), false);
    QVERIFY2(model.errorText().isEmpty(), qPrintable(model.errorText()));
    QCOMPARE(model.value(0, QStringLiteral("a")).toString(), QStringLiteral("乙"));
    QCOMPARE(model.value(1, QStringLiteral("库存数量")).toDouble(), 7.0);
    QVERIFY(model.value(2, QStringLiteral("库存数量")).isNull()); // all-null group: empty cell
}

void TestSqlListModel::failingStatementLeavesAnEmptyList()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    insertRows(t.db(), {{QStringLiteral("甲"), QString(), 1.0, 1.0, 1.0, QDate()}});
    SqlListModel model(t.db());
    model.setQuery(stockQuery());
    QCOMPARE(model.rowCount(), 1);
    QSignalSpy failed(&model, &SqlListModel::queryFailed);
    SqlListQuery q = stockQuery();
    q.condition = QStringLiteral("nosuchcolumn = ?");
    q.values = {1};
    model.setQuery(q);
    QCOMPARE(failed.count(), 1);
    QVERIFY(!model.errorText().isEmpty());
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.totalCount(), 0);
    QVERIFY(!model.canFetchMore());
}

void TestSqlListModel::failedPageIsNotReadAgainForEveryCell()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    QList<StockRow> rows;
    for (int i = 0; i < 300; ++i)
        rows << StockRow{QStringLiteral("包%1").arg(i), QStringLiteral("背包"), 1.0, 1.0, 1.0, QDate()};
    insertRows(t.db(), rows);
    SqlListModel model(t.db());
    model.setPageSize(50);
    model.setQuery(stockQuery());
    QVERIFY(model.loadRow(299));
    // The table goes away under the list, as the database does in an outage.
    // (DDL goes unprepared: the server prepares no ALTER.)
    QSqlQuery rename(t.db().connection());
    QVERIFY(rename.exec(QStringLiteral("alter table data rename to data_gone")));
    QVERIFY(!model.data(model.index(120, 0), Qt::EditRole).isValid());
    QVERIFY(!model.errorText().isEmpty());
    const int before = model.statementCount();
    for (const int row : {121, 180, 230})
        QVERIFY(!model.data(model.index(row, 0), Qt::EditRole).isValid());
    QVERIFY(!model.loadRow(200));
    QCOMPARE(model.statementCount() - before, 0);
    QVERIFY(rename.exec(QStringLiteral("alter table data_gone rename to data")));
}

QTEST_GUILESS_MAIN(TestSqlListModel)
#include "tst_sqllistmodel.moc"

#include "TestDatabase.h"
#include "data/QueryHelpers.h"

#include <QtTest>

// The statement helpers on the engine of this run.
using namespace Qt::StringLiterals;

class TestQueryHelpers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qInfo("database backend: %s", qPrintable(TestDatabase::backendName())); }
    void distinctValues_data();
    void distinctValues();
    void distinctValuesRefuseOddNames_data();
    void distinctValuesRefuseOddNames();
    void refusedStatementRaisesWithoutChangingData();
    void executeCountsChangedRows();
    void scalarOfNoRowIsInvalid();
    void scalarGivesWhatTheDriverGives_data();
    void scalarGivesWhatTheDriverGives();
};

void TestQueryHelpers::distinctValues_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariantList>("stored");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty table") << QStringLiteral("d") << QVariantList{} << QStringList{};
    QTest::newRow("duplicates once, ascending")
        << QStringLiteral("d")
        << QVariantList{QStringLiteral("钱包"), QStringLiteral("拉杆箱"), QStringLiteral("钱包"),
                        QStringLiteral("背包")}
        << QStringList{QStringLiteral("拉杆箱"), QStringLiteral("背包"), QStringLiteral("钱包")};
    QTest::newRow("null is one empty entry, first")
        << QStringLiteral("g")
        << QVariantList{QStringLiteral("B"), QVariant(), QStringLiteral("A"), QVariant()}
        << QStringList{QString(), QStringLiteral("A"), QStringLiteral("B")};
    QTest::newRow("quotes and wildcards as typed")
        << QStringLiteral("a") << QVariantList{QStringLiteral("O'Neil"), QStringLiteral("50%_x")}
        << QStringList{QStringLiteral("50%_x"), QStringLiteral("O'Neil")};
}

void TestQueryHelpers::distinctValues()
{
    QFETCH(QString, column);
    QFETCH(QVariantList, stored);
    QFETCH(QStringList, expected);
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    for (const QVariant &v : stored)
        ExecuteStatement(t.db(), QStringLiteral("insert into data (%1) values (?)").arg(column), {v});
    QCOMPARE(DistinctValues(t.db(), column, QStringLiteral("data")), expected);
    // The index-hopping reader gives the very same list.
    QCOMPARE(DistinctValuesByIndex(t.db(), column, QStringLiteral("data")), expected);
}

void TestQueryHelpers::distinctValuesRefuseOddNames_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("table");
    QTest::newRow("injected column") << QStringLiteral("a; drop table data") << QStringLiteral("data");
    QTest::newRow("quoted table") << QStringLiteral("a") << QStringLiteral("\"data\"");
    QTest::newRow("empty column") << QString() << QStringLiteral("data");
}

void TestQueryHelpers::distinctValuesRefuseOddNames()
{
    QFETCH(QString, column);
    QFETCH(QString, table);
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, DistinctValues(t.db(), column, table));
    QCOMPARE(ScalarValue(t.db(), QStringLiteral("select count(*) from userdb")).toInt(), 1);
}

void TestQueryHelpers::refusedStatementRaisesWithoutChangingData()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    try {
        ExecuteStatement(t.db(), QStringLiteral("insert into data (nosuchcolumn) values (?)"), {1});
        QFAIL("a refused statement must raise");
    } catch (const DatabaseError &e) {
        QVERIFY(e.message().startsWith(QStringLiteral("数据库操作失败：")));
        QVERIFY(e.sql().contains(QStringLiteral("nosuchcolumn")));
    }
    QCOMPARE(ScalarValue(t.db(), QStringLiteral("select count(*) from data")).toInt(), 0);
}

void TestQueryHelpers::executeCountsChangedRows()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    for (int i = 0; i < 3; ++i)
        ExecuteStatement(t.db(), QStringLiteral("insert into data (a, \"7\") values (?, ?)"),
                         {QStringLiteral("x"), i});
    QCOMPARE(
        ExecuteStatement(t.db(), QStringLiteral("update data set \"7\" = \"7\" + 1 where \"7\" >= ?"), {1}),
        2);
    QCOMPARE(ExecuteStatement(t.db(), QStringLiteral("delete from data where a = ?"), {QStringLiteral("y")}),
             0);
}

void TestQueryHelpers::scalarOfNoRowIsInvalid()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    QVERIFY(!ScalarValue(t.db(), QStringLiteral("select a from data")).isValid());
}

// A single value comes from the server in one round trip, outside Qt's
// driver: its type, value and null must be the driver's own.
void TestQueryHelpers::scalarGivesWhatTheDriverGives_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("count") << u"select count(*) from data"_s;
    QTest::newRow("negative count") << u"select 0 - count(*) from data"_s;
    QTest::newRow("integer key") << u"select max(id) from data"_s;
    QTest::newRow("text") << u"select a from data"_s;
    QTest::newRow("empty text") << u"select b from data"_s;
    QTest::newRow("null text") << u"select c from data"_s;
    QTest::newRow("double") << u"select \"1\" from data"_s;
    QTest::newRow("null double") << u"select \"2\" from data"_s;
    QTest::newRow("sum") << u"select sum(\"1\") from data"_s;
    QTest::newRow("date") << u"select day1 from data"_s;
    QTest::newRow("timestamp") << u"select btime from rz"_s;
    QTest::newRow("null timestamp") << u"select jtime from rz"_s;
}

void TestQueryHelpers::scalarGivesWhatTheDriverGives()
{
    QFETCH(QString, sql);
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    const Dialect &dialect = t.db().dialect();
    ExecuteStatement(t.db(), u"insert into data (a, b, \"1\", day1) values (?, ?, ?, ?)"_s,
                     {u"拉杆箱'\"?"_s, QString(u""_s), 0.1 + 0.2, dialect.dateValue(QDate(2026, 3, 5))});
    ExecuteStatement(
        t.db(), u"insert into rz (username, btime) values (?, ?)"_s,
        {u"admin"_s, dialect.timestampValue(QDateTime(QDate(2026, 3, 5), QTime(9, 30, 15, 250)))});
    QSqlQuery driver(t.db().connection());
    QVERIFY(driver.exec(sql) && driver.next());
    const QVariant expected = driver.value(0);
    driver.finish();
    const QVariant got = ScalarValue(t.db(), sql);
    QVERIFY2(got.metaType() == expected.metaType(),
             qPrintable(QLatin1String(got.metaType().name()) + u" / "_s +
                        QLatin1String(expected.metaType().name())));
    QCOMPARE(got.isNull(), expected.isNull());
    QCOMPARE(got, expected);
}

QTEST_GUILESS_MAIN(TestQueryHelpers)
#include "tst_queryhelpers.moc"

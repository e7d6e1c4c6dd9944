#include "DemoShopCommandLine.h"
#include "DemoShopGenerator.h"
#include "TestDatabase.h"

#include "data/Database.h"
#include "data/PinyinInitials.h"
#include "data/QueryHelpers.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <memory>
#include <tuple>

namespace {

const QDate kToday(2024, 2, 29);

// One generated shop on the engine of this run, open for checking.
class GeneratedShop
{
public:
    explicit GeneratedShop(const DemoShopOptions &options)
    {
        DemoShopGenerator generator(options);
        if (TestDatabase::onPostgreSQL()) {
            m_server = std::make_unique<TestDatabase>();
            if (!m_server->isOpen()) {
                m_error = m_server->errorText();
                return;
            }
            m_location = m_server->location();
        } else {
            m_location = DatabaseLocation::fromArgument(m_dir.filePath(QStringLiteral("shop/data.mdb")));
        }
        if (!generator.createShop(m_location, false)) {
            m_error = generator.errorText();
            return;
        }
        m_summary = generator.summary();
        if (!m_server) {
            m_db = std::make_unique<Database>(m_location, QStringLiteral("shop_%1").arg(++s_connections));
            if (!m_db->isOpen())
                m_error = m_db->errorText();
        }
    }

    bool isReady() const { return m_error.isEmpty(); }
    QString errorText() const { return m_error; }
    Database &db() { return m_server ? m_server->db() : *m_db; }
    const DatabaseLocation &location() const { return m_location; }
    const DemoShopSummary &summary() const { return m_summary; }

private:
    static inline int s_connections = 0;
    QTemporaryDir m_dir;
    std::unique_ptr<TestDatabase> m_server;
    std::unique_ptr<Database> m_db;
    DatabaseLocation m_location;
    DemoShopSummary m_summary;
    QString m_error;
};

DemoShopOptions shopOptions(qint64 stock, qint64 sales, int years = 3, quint64 seed = 7)
{
    DemoShopOptions options;
    options.stockRows = stock;
    options.saleLines = sales;
    options.years = years;
    options.seed = seed;
    options.today = kToday;
    return options;
}

qint64 count(Database &db, const QString &sql, const QVariantList &values = {})
{
    return ScalarValue(db, sql, values).toLongLong();
}

// A fingerprint of every stored value of data and data1, in key order.
QByteArray contentHash(Database &db)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString &sql : {QStringLiteral("select * from data order by id"),
                               QStringLiteral("select * from data1 order by ID")}) {
        QSqlQuery q = OpenStatement(db, sql);
        while (q.next()) {
            for (int i = 0; i < q.record().count(); ++i)
                hash.addData(QByteArray(q.value(i).toString().toUtf8() + '\x1f'));
            hash.addData("\n");
        }
    }
    return hash.result();
}

} // namespace

// The demo shop generator: its command line, and that what it writes agrees
// with itself exactly as counter sales would have left the tables.
class TestDemoShopGenerator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void commandLine_data();
    void commandLine();

    void invariantsHold_data();
    void invariantsHold();
    void shopLooksLikeAShop_data();
    void shopLooksLikeAShop();
    void codesAreValidEan13();
    void initialsMatchNamesAndSpecs();
    void orderNumbersAreDateAndCounter_data();
    void orderNumbersAreDateAndCounter();

    void sqliteFileIsLikeTheProgramsOwn();
    void schemaIsANewDatabases();
    void sameSeedGivesSameShop();
    void existingDataIsRefusedUnlessForced();

private:
    // Shops are made once per size and shared by the checks that read them.
    GeneratedShop &shop(qint64 stock, qint64 sales, int years);

    std::map<std::tuple<qint64, qint64, int>, std::unique_ptr<GeneratedShop>> m_shops;
    GeneratedShop *m_shop = nullptr; // 300 stock rows, 3000 lines, three years
};

GeneratedShop &TestDemoShopGenerator::shop(qint64 stock, qint64 sales, int years)
{
    std::unique_ptr<GeneratedShop> &made = m_shops[{stock, sales, years}];
    if (!made)
        made = std::make_unique<GeneratedShop>(shopOptions(stock, sales, years));
    return *made;
}

void TestDemoShopGenerator::initTestCase()
{
    qInfo("database backend: %s", qPrintable(TestDatabase::backendName()));
    m_shop = &shop(300, 3000, 3);
    QVERIFY2(m_shop->isReady(), qPrintable(m_shop->errorText()));
}

void TestDemoShopGenerator::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("errorMentions"); // empty: accepted
    QTest::addColumn<qint64>("stock");
    QTest::addColumn<qint64>("sales");
    QTest::addColumn<QString>("out");
    QTest::addColumn<quint64>("seed");
    QTest::addColumn<int>("years");
    QTest::addColumn<bool>("force");

    const auto args = [](const char *text) {
        return QStringList{QStringLiteral("lwjxc-datagen")} +
               QString::fromUtf8(text).split(u' ', Qt::SkipEmptyParts);
    };
    const QString none;
    QTest::newRow("every option")
        << args("--stock 100 --sales 1000 --out 样品.mdb --seed 42 --years 5 --force") << none << qint64(100)
        << qint64(1000) << QStringLiteral("样品.mdb") << quint64(42) << 5 << true;
    QTest::newRow("defaults for seed, years, force")
        << args("--out a.mdb --sales 0 --stock 1") << none << qint64(1) << qint64(0)
        << QStringLiteral("a.mdb") << quint64(1) << 3 << false;
    QTest::newRow("option=value") << args("--stock=7 --sales=70 --out=/tmp/x.mdb --years=1") << none
                                  << qint64(7) << qint64(70) << QStringLiteral("/tmp/x.mdb") << quint64(1)
                                  << 1 << false;
    QTest::newRow("largest sizes") << args("--stock 5000000 --sales 50000000 --out b.mdb --years 30") << none
                                   << qint64(5000000) << qint64(50000000) << QStringLiteral("b.mdb")
                                   << quint64(1) << 30 << false;
    QTest::newRow("postgresql address")
        << args("--stock 2 --sales 3 --out postgresql://shop@127.0.0.1:5432/demo") << none << qint64(2)
        << qint64(3) << QStringLiteral("postgresql://shop@127.0.0.1:5432/demo") << quint64(1) << 3 << false;

    const auto bad = [&](const char *name, const char *text, const char *mentions) {
        QTest::newRow(name) << args(text) << QString::fromUtf8(mentions) << qint64(0) << qint64(0)
                            << QString() << quint64(0) << 0 << false;
    };
    bad("no --out", "--stock 10 --sales 10", "--out");
    bad("no --stock", "--sales 10 --out a.mdb", "--stock");
    bad("no --sales", "--stock 10 --out a.mdb", "--sales");
    bad("stock not a number", "--stock abc --sales 10 --out a.mdb", "abc");
    bad("stock zero", "--stock 0 --sales 0 --out a.mdb", "--stock");
    bad("stock above the limit", "--stock 5000001 --sales 0 --out a.mdb", "5000001");
    bad("negative sales", "--stock 10 --sales -5 --out a.mdb", "--sales");
    bad("sales with a fraction", "--stock 10 --sales 2.5 --out a.mdb", "2.5");
    bad("years zero", "--stock 10 --sales 5 --out a.mdb --years 0", "--years");
    bad("years above the limit", "--stock 10 --sales 5 --out a.mdb --years 31", "--years");
    bad("seed not a number", "--stock 10 --sales 5 --out a.mdb --seed x1", "--seed");
    bad("value missing at the end", "--stock 10 --sales 5 --out", "--out");
    bad("unknown option", "--stocks 10 --sales 5 --out a.mdb", "--stocks");
    bad("stray word", "--stock 10 --sales 5 --out a.mdb extra", "extra");
    bad("empty file name", "--stock 10 --sales 5 --out=", "--out");
}

void TestDemoShopGenerator::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, errorMentions);

    const DemoShopCommandLine line = DemoShopCommandLine::parse(arguments);
    if (!errorMentions.isEmpty()) {
        QVERIFY(!line.isValid());
        QVERIFY2(line.errorText.contains(errorMentions), qPrintable(line.errorText));
        return;
    }
    QVERIFY2(line.isValid(), qPrintable(line.errorText));
    QTEST(line.options.stockRows, "stock");
    QTEST(line.options.saleLines, "sales");
    QTEST(line.out, "out");
    QTEST(line.options.seed, "seed");
    QTEST(line.options.years, "years");
    QTEST(line.force, "force");
    QVERIFY(!line.helpRequested);
}

void TestDemoShopGenerator::invariantsHold_data()
{
    QTest::addColumn<qint64>("stock");
    QTest::addColumn<qint64>("sales");
    QTest::addColumn<int>("years");

    QTest::newRow("ordinary shop") << qint64(300) << qint64(3000) << 3;
    QTest::newRow("sales-heavy: 2000 lines on 5 rows") << qint64(5) << qint64(2000) << 1;
    QTest::newRow("no sales yet") << qint64(50) << qint64(0) << 2;
    QTest::newRow("one stock row") << qint64(1) << qint64(40) << 1;
    // More than 2000 lines on the busiest days: tickets grow instead of
    // the counter passing 999.
    QTest::newRow("busy days") << qint64(3) << qint64(120000) << 1;
}

void TestDemoShopGenerator::invariantsHold()
{
    QFETCH(qint64, stock);
    QFETCH(qint64, sales);
    QFETCH(int, years);

    GeneratedShop &generated = shop(stock, sales, years);
    QVERIFY2(generated.isReady(), qPrintable(generated.errorText()));
    Database &db = generated.db();
    const Dialect &dialect = db.dialect();
    QCOMPARE(count(db, QStringLiteral("select count(*) from data")), stock);
    QCOMPARE(count(db, QStringLiteral("select count(*) from data1")), sales);

    QStringList reserved;
    for (char c = 'k'; c <= 'y'; ++c)
        reserved << QString(QLatin1Char(c)) + QStringLiteral(" is not null");
    for (const char *c : {"\"7\"", "\"8\"", "\"9\"", "day3", "day4", "day5", "day6"})
        reserved << QString::fromLatin1(c) + QStringLiteral(" is not null");
    const QString sameRow =
        QStringLiteral("s.a = l.a and s.b = l.b and s.c = l.c and s.d = l.d and s.day1 = l.day2");
    const QString running =
        QStringLiteral("select a, b, c, d, day2, \"3\", sum(\"3\") over (partition by a, b, c, d, "
                       "day2 order by ID) as net from data1");
    const QVariant today = dialect.dateValue(kToday);
    const QVariant firstDay = dialect.dateValue(kToday.addYears(-years));

    struct Invariant
    {
        const char *name;
        QString sql; // counts the rows that break it
        QVariantList values;
    };
    const QList<Invariant> invariants{
        {"stock: 3 = 1 x 2",
         QStringLiteral("select count(*) from data where abs(\"3\" - \"1\" * \"2\") > 1e-6"),
         {}},
        {"stock: 5 and 6 are the sums of the lines' 3 and 2 x 3",
         QStringLiteral("select count(*) from data s left join (select a, b, c, d, day2, sum(\"3\") as q, "
                        "sum(\"2\" * \"3\") as v from data1 group by a, b, c, d, day2) l on ") +
             sameRow +
             QStringLiteral(
                 " where abs(s.\"5\" - coalesce(l.q, 0)) > 1e-6 or abs(s.\"6\" - coalesce(l.v, 0)) > 1e-6"),
         {}},
        {"stock: 7 = 2 - 5 in cents, never negative",
         QStringLiteral("select count(*) from data where abs(\"7\" - (\"2\" - \"5\")) > 0.005 "
                        "or abs(\"7\" * 100 - round(\"7\" * 100)) > 1e-6 or \"7\" < 0"),
         {}},
        {"stock: 8 = 7 x 1",
         QStringLiteral("select count(*) from data where abs(\"8\" - \"7\" * \"1\") > 1e-6"),
         {}},
        {"stock: stock-in date within the years asked, not after today",
         QStringLiteral("select count(*) from data where day1 > ? or day1 < ? or day1 is null"),
         {today, firstDay}},
        {"stock: one row per article and day (the tie of a sale line is unique)",
         QStringLiteral(
             "select count(*) from (select a from data group by a, b, c, d, day1 having count(*) > 1) x"),
         {}},
        {"stock: one code per article",
         QStringLiteral("select count(*) from (select c from data group by c "
                        "having count(distinct a) > 1 or count(distinct b) > 1) x"),
         {}},
        {"line: tied to exactly one stock row, with its purchase price",
         QStringLiteral("select count(*) from data1 l where (select count(*) from data s where ") + sameRow +
             QStringLiteral(" and s.\"1\" = l.\"1\") <> 1"),
         {}},
        {"line: 4 = 2 x 3",
         QStringLiteral("select count(*) from data1 where abs(\"4\" - \"2\" * \"3\") > 1e-6"),
         {}},
        {"line: a5 = (2 - 1) x 3 in cents",
         QStringLiteral("select count(*) from data1 where abs(a5 - (\"2\" - \"1\") * \"3\") > 0.005 "
                        "or abs(a5 * 100 - round(a5 * 100)) > 1e-6"),
         {}},
        {"line: whole pieces, one to three a line",
         QStringLiteral("select count(*) from data1 where \"3\" not in (1, 2, 3, -1, -2, -3)"),
         {}},
        {"line: sold between the stock-in date and today",
         QStringLiteral("select count(*) from data1 where day1 < day2 or day1 > ? or day1 is null"),
         {today}},
        {"line: debt within the amount, none on returns",
         QStringLiteral("select count(*) from data1 where \"6\" < 0 or (\"3\" > 0 and \"6\" > \"4\" + 1e-6) "
                        "or (\"3\" < 0 and \"6\" <> 0)"),
         {}},
        {"line: reserved columns empty",
         QStringLiteral("select count(*) from data1 where ") + reserved.join(QStringLiteral(" or ")),
         {}},
        {"line: ticket and customer columns hold text, as the counter writes them",
         QStringLiteral("select count(*) from data1 where z is null or g is null or h is null or i is null "
                        "or j is null"),
         {}},
        {"line: appended in time and ticket order",
         QStringLiteral("select count(*) from (select day1, z, lag(day1) over (order by ID) as d0, "
                        "lag(z) over (order by ID) as z0 from data1) w where day1 < d0 or z < z0"),
         {}},
        {"line: one day and one customer per ticket",
         QStringLiteral("select count(*) from (select z from data1 group by z "
                        "having count(distinct day1) > 1 or count(distinct g) > 1) x"),
         {}},
        {"returns never give back more than was sold before them",
         QStringLiteral("select count(*) from (") + running + QStringLiteral(") w where net < -1e-9"),
         {}},
        {"no delivery is ever oversold",
         QStringLiteral("select count(*) from (") + running + QStringLiteral(") l join data s on ") +
             sameRow + QStringLiteral(" where l.net > s.\"2\" + 1e-9"),
         {}},
    };
    for (const Invariant &invariant : invariants) {
        const qint64 broken = count(db, invariant.sql, invariant.values);
        QVERIFY2(broken == 0,
                 qPrintable(
                     QStringLiteral("%1: %2 rows break it").arg(QLatin1String(invariant.name)).arg(broken)));
    }
    // The summary counts what is in the tables.
    QCOMPARE(count(db, QStringLiteral("select count(*) from data1 where \"3\" < 0")),
             generated.summary().returnLines);
    QCOMPARE(count(db, QStringLiteral("select count(distinct z) from data1")), generated.summary().orders);
    QCOMPARE(count(db, QStringLiteral("select count(*) from data where \"7\" = 0")),
             generated.summary().soldOutRows);
}

void TestDemoShopGenerator::shopLooksLikeAShop_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("values");
    QTest::addColumn<qint64>("minimum");
    QTest::addColumn<qint64>("maximum");

    const Dialect &dialect = m_shop->db().dialect();
    const auto row = [](const char *name, const QString &sql, const QVariantList &values, qint64 min,
                        qint64 max) { QTest::newRow(name) << sql << values << min << max; };
    const QString lineCount = QStringLiteral("(select count(*) from data1)");
    row("returns per 1000 lines (about 3%)",
        QStringLiteral("select count(*) * 1000 / ") + lineCount +
            QStringLiteral(" from data1 where \"3\" < 0"),
        {}, 15, 50);
    row("sold-out rows", QStringLiteral("select count(*) from data where \"7\" = 0"), {}, 15, 250);
    row("rows never sold from", QStringLiteral("select count(*) from data where \"5\" = 0"), {}, 1, 200);
    row("walk-in tickets per 100",
        QStringLiteral("select count(*) * 100 / (select count(distinct z) from data1) from "
                       "(select z from data1 group by z having max(g) = '' or max(g) = ?) x"),
        {QStringLiteral("散客")}, 55, 90);
    row("lines per ticket x 10", QStringLiteral("select count(*) * 10 / count(distinct z) from data1"), {},
        15, 40);
    row("named customers with a phone number",
        QStringLiteral("select count(distinct g) from data1 where i <> '' and g <> ?"),
        {QStringLiteral("散客")}, 5, 1000);
    row("tickets with some debt", QStringLiteral("select count(distinct z) from data1 where \"6\" > 0"), {},
        1, 200);
    row("lines sold below the list price",
        QStringLiteral("select count(*) from data1 l join data s on s.a = l.a and s.b = l.b and s.c = l.c "
                       "and s.d = l.d and s.day1 = l.day2 where l.\"3\" > 0 and l.\"2\" < s.\"4\""),
        {}, 300, 1500);
    row("categories", QStringLiteral("select count(distinct d) from data"), {}, 6, 7);
    row("suppliers", QStringLiteral("select count(distinct g) from data"), {}, 10, 32);
    row("stock-in years",
        QStringLiteral("select count(distinct %1) from data").arg(dialect.yearOf(QStringLiteral("day1"))), {},
        3, 4);
    row("sales of the last year per 10 of the first",
        QStringLiteral("select (select count(*) from data1 where day1 >= ?) * 10 / "
                       "(select count(*) from data1 where day1 < ?)"),
        {dialect.dateValue(kToday.addYears(-1)), dialect.dateValue(kToday.addYears(-2))}, 20, 1000);
    row("case purchase prices outside 150..900",
        QStringLiteral("select count(*) from data where d = ? and (\"1\" < 150 or \"1\" > 900)"),
        {QStringLiteral("拉杆箱")}, 0, 0);
    row("cases in stock", QStringLiteral("select count(*) from data where d = ?"), {QStringLiteral("拉杆箱")},
        40, 200);
    row("wallet purchase prices outside 20..150",
        QStringLiteral("select count(*) from data where d = ? and (\"1\" < 20 or \"1\" > 150)"),
        {QStringLiteral("钱包")}, 0, 0);
    row("list prices outside 1.3..2.3 x purchase",
        QStringLiteral("select count(*) from data where \"4\" < \"1\" * 1.3 or \"4\" > \"1\" * 2.3"), {}, 0,
        0);
    row("deliveries outside 1..50 pieces",
        QStringLiteral("select count(*) from data where \"2\" < 1 or \"2\" > 50"), {}, 0, 0);
    row("stock remarks", QStringLiteral("select count(*) from data where z <> ''"), {}, 5, 80);
}

void TestDemoShopGenerator::shopLooksLikeAShop()
{
    QFETCH(QString, sql);
    QFETCH(QVariantList, values);
    QFETCH(qint64, minimum);
    QFETCH(qint64, maximum);

    const qint64 value = count(m_shop->db(), sql, values);
    QVERIFY2(value >= minimum && value <= maximum,
             qPrintable(QStringLiteral("%1 not in %2..%3").arg(value).arg(minimum).arg(maximum)));
}

void TestDemoShopGenerator::codesAreValidEan13()
{
    QSqlQuery q = OpenStatement(m_shop->db(), QStringLiteral("select distinct c from data"));
    static const QRegularExpression thirteenDigits(QStringLiteral("^69\\d{11}$"));
    int codes = 0;
    while (q.next()) {
        const QString code = q.value(0).toString();
        QVERIFY2(thirteenDigits.match(code).hasMatch(), qPrintable(code));
        int sum = 0;
        for (int i = 0; i < 13; ++i)
            sum += code.at(i).digitValue() * (i % 2 == 0 ? 1 : 3);
        QVERIFY2(sum % 10 == 0, qPrintable(QStringLiteral("wrong check digit: ") + code));
        ++codes;
    }
    QVERIFY(codes >= 20 && codes <= m_shop->summary().articles);
}

void TestDemoShopGenerator::initialsMatchNamesAndSpecs()
{
    QSqlQuery q = OpenStatement(m_shop->db(), QStringLiteral("select a, b, e, f from data union "
                                                             "select a, b, e, f from data1"));
    static const QRegularExpression plainInitials(QStringLiteral("^[a-z0-9]+$"));
    int checked = 0;
    while (q.next()) {
        const QString name = q.value(0).toString();
        const QString spec = q.value(1).toString();
        QCOMPARE(q.value(2).toString(), PinyinInitials(name.trimmed()));
        // Brand and kind names are all common characters: nothing unknown.
        QVERIFY2(plainInitials.match(q.value(2).toString()).hasMatch(), qPrintable(name));
        QCOMPARE(q.value(3).toString(), PinyinInitials(spec.trimmed()));
        ++checked;
    }
    QVERIFY(checked >= 20);
}

void TestDemoShopGenerator::orderNumbersAreDateAndCounter_data()
{
    QTest::addColumn<qint64>("stock");
    QTest::addColumn<qint64>("sales");
    QTest::addColumn<int>("years");
    QTest::newRow("ordinary shop") << qint64(300) << qint64(3000) << 3;
    QTest::newRow("busy days") << qint64(3) << qint64(120000) << 1;
}

void TestDemoShopGenerator::orderNumbersAreDateAndCounter()
{
    QFETCH(qint64, stock);
    QFETCH(qint64, sales);
    QFETCH(int, years);
    GeneratedShop &generated = shop(stock, sales, years);
    QVERIFY2(generated.isReady(), qPrintable(generated.errorText()));

    // Tickets of a day are numbered 001, 002, ... without gaps.
    QMap<QDate, QList<int>> countersOfDay;
    QSqlQuery q = OpenStatement(generated.db(), QStringLiteral("select z, day1 from data1 group by z, day1"));
    static const QRegularExpression form(QStringLiteral("^(\\d{8})(\\d{3})$"));
    while (q.next()) {
        const QString z = q.value(0).toString();
        const QRegularExpressionMatch match = form.match(z);
        QVERIFY2(match.hasMatch(), qPrintable(z));
        const QDate day = Dialect::toDate(q.value(1));
        QCOMPARE(match.captured(1), day.toString(QStringLiteral("yyyyMMdd")));
        countersOfDay[day] << match.captured(2).toInt();
    }
    QVERIFY(!countersOfDay.isEmpty());
    int biggestDay = 0;
    for (auto it = countersOfDay.begin(); it != countersOfDay.end(); ++it) {
        QList<int> counters = it.value();
        std::sort(counters.begin(), counters.end());
        for (int i = 0; i < counters.size(); ++i)
            QCOMPARE(counters.at(i), i + 1);
        biggestDay = std::max(biggestDay, int(counters.size()));
    }
    QVERIFY(biggestDay <= 999);
}

void TestDemoShopGenerator::sqliteFileIsLikeTheProgramsOwn()
{
    if (TestDatabase::onPostgreSQL())
        QSKIP("the file itself is a SQLite matter");
    const QString path = m_shop->location().path;
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        raw.setDatabaseName(path);
        QVERIFY(raw.open());
        QSqlQuery q(raw);
        QVERIFY(q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
        QVERIFY(q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
        // ANALYZE ran: the planner knows both big tables.
        QVERIFY(q.exec(QStringLiteral(
                    "select count(distinct tbl) from sqlite_stat1 where tbl in ('data', 'data1')")) &&
                q.next());
        QCOMPARE(q.value(0).toInt(), 2);
        // The administrator of a new database is there.
        QVERIFY(q.exec(QStringLiteral("select count(*) from userdb")) && q.next());
        QCOMPARE(q.value(0).toInt(), 1);
        raw.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));

    // Reopened by the program it is an existing database, not a new one.
    Database again(DatabaseLocation::fromArgument(path), QStringLiteral("again"));
    QVERIFY2(again.isOpen(), qPrintable(again.errorText()));
    QVERIFY(!again.wasCreated());
}

void TestDemoShopGenerator::schemaIsANewDatabases()
{
    // The indexes are built after the rows: the finished shop must have
    // exactly the tables and indexes of a database the program makes.
    const QString sql =
        TestDatabase::onPostgreSQL()
            ? QStringLiteral("select tablename || ' ' || indexname || ' ' || indexdef from pg_indexes "
                             "where schemaname = current_schema() order by 1")
            : QStringLiteral("select type || ' ' || name || ' ' || coalesce(sql, '') from sqlite_master "
                             "where name not like 'sqlite_stat%' order by name");
    const auto definitions = [&sql](Database &db) {
        QStringList rows;
        QSqlQuery q(db.connection());
        if (q.exec(sql)) {
            while (q.next())
                rows << q.value(0).toString();
        }
        return rows;
    };
    TestDatabase fresh;
    QVERIFY2(fresh.isOpen(), qPrintable(fresh.errorText()));
    const QStringList made = definitions(fresh.db());
    QVERIFY(made.filter(QStringLiteral("data1_e_sums")).size() == 1);
    QCOMPARE(definitions(m_shop->db()), made);
}

void TestDemoShopGenerator::sameSeedGivesSameShop()
{
    if (TestDatabase::onPostgreSQL())
        QSKIP("the plan does not depend on the engine; checked on SQLite");
    GeneratedShop first(shopOptions(40, 400, 2, 5));
    GeneratedShop second(shopOptions(40, 400, 2, 5));
    GeneratedShop other(shopOptions(40, 400, 2, 6));
    QVERIFY2(first.isReady() && second.isReady() && other.isReady(), qPrintable(first.errorText()));
    const QByteArray hash = contentHash(first.db());
    QCOMPARE(contentHash(second.db()), hash);
    QVERIFY(contentHash(other.db()) != hash);
}

void TestDemoShopGenerator::existingDataIsRefusedUnlessForced()
{
    if (TestDatabase::onPostgreSQL()) {
        // The ordinary shop's database already holds a shop.
        DemoShopGenerator again(shopOptions(20, 100));
        QVERIFY(!again.createShop(m_shop->location(), false));
        QVERIFY2(again.errorText().contains(QStringLiteral("--force")), qPrintable(again.errorText()));
        QCOMPARE(count(m_shop->db(), QStringLiteral("select count(*) from data")), qint64(300));

        GeneratedShop replaced(shopOptions(30, 200));
        QVERIFY2(replaced.isReady(), qPrintable(replaced.errorText()));
        DemoShopGenerator forced(shopOptions(20, 100));
        QVERIFY2(forced.createShop(replaced.location(), true), qPrintable(forced.errorText()));
        QCOMPARE(count(replaced.db(), QStringLiteral("select count(*) from data")), qint64(20));
        QCOMPARE(count(replaced.db(), QStringLiteral("select count(*) from data1")), qint64(100));
        return;
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.mdb"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("the shop's old data");
    }
    const auto oldFileIsIntact = [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) && file.readAll() == QByteArray("the shop's old data");
    };
    DemoShopGenerator refused(shopOptions(20, 100));
    QVERIFY(!refused.createShop(DatabaseLocation::fromArgument(path), false));
    QVERIFY2(refused.errorText().contains(QStringLiteral("--force")), qPrintable(refused.errorText()));
    QVERIFY(oldFileIsIntact());

    // A forced run that cannot complete leaves the old file as it was.
    DemoShopGenerator impossible(shopOptions(3000000, 0, 1));
    QVERIFY(!impossible.createShop(DatabaseLocation::fromArgument(path), true));
    QVERIFY2(impossible.errorText().contains(QStringLiteral("3000000")), qPrintable(impossible.errorText()));
    QVERIFY(oldFileIsIntact());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("old.mdb")});

    DemoShopGenerator forced(shopOptions(20, 100));
    QVERIFY2(forced.createShop(DatabaseLocation::fromArgument(path), true), qPrintable(forced.errorText()));
    Database db(DatabaseLocation::fromArgument(path), QStringLiteral("forced"));
    QVERIFY2(db.isOpen(), qPrintable(db.errorText()));
    QCOMPARE(count(db, QStringLiteral("select count(*) from data")), qint64(20));
    QCOMPARE(count(db, QStringLiteral("select count(*) from data1")), qint64(100));
    QVERIFY(!QFileInfo::exists(path + QStringLiteral(".part")));
}

QTEST_GUILESS_MAIN(TestDemoShopGenerator)
#include "tst_demoshopgenerator.moc"

#include "TestDatabase.h"
#include "data/FieldCheck.h"
#include "data/QueryHelpers.h"
#include "data/Schema.h"
#include "sales/SalesLedger.h"
#include "shell/Session.h"

#include <QSqlQuery>
#include <QtTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

QVariant number(const std::optional<double> &v)
{
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<double>());
}

QVariant text(const std::optional<QString> &v)
{
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<QString>());
}

struct StockRow
{
    QString name = u"新秀丽拉杆箱"_s;
    std::optional<QString> spec = u"24寸"_s;
    QString code = u"6901234"_s;
    QString category = u"拉杆箱"_s;
    QDate day = QDate(2024, 1, 1);
    std::optional<double> sold = 7;    // 5
    std::optional<double> sales = 175; // 6
    std::optional<double> stock = 3;   // 7
    std::optional<double> value = 60;  // 8
};

struct Figures
{
    double sold, sales, stock, value;
};

const Session kAdmin{Schema::kAdministrator, 1};
const Session kClerk{u"收银员"_s, 2};

} // namespace

Q_DECLARE_METATYPE(Figures)
Q_DECLARE_METATYPE(StockRow)

// Deleting a sale line with the give-back to its stock row, and correcting a
// line's debt, order number and customer data, on the engine of this run.
class TestSalesCorrection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qInfo("database backend: %s", qPrintable(TestDatabase::backendName())); }
    void init();
    void cleanup() { m_database.reset(); }

    void giveBack_data();
    void giveBack();
    void stockRowIsFoundByExactEquality_data();
    void stockRowIsFoundByExactEquality();
    void firstOfTiedRowsTakesTheGiveBack();
    void noTiedRowStillDeletesTheLine_data();
    void noTiedRowStillDeletesTheLine();
    void lineAlreadyGone();
    void restrictedSessionChangesNothing();
    void lineWithoutQuantityIsKept();

    void correctionWritesOnlyItsFields();
    void invalidDebtChangesNothing_data();
    void invalidDebtChangesNothing();
    void validDebt_data();
    void validDebt();
    void correctionOfGoneLineOrByClerkIsRefused();
    void refusedCorrectionChangesNothing_data();
    void refusedCorrectionChangesNothing();

private:
    Database &db() { return m_database->db(); }
    qint64 addStock(const StockRow &row);
    // A sale line tied to row (its a, b, c, d and day2 = row.day).
    qint64 addLine(const StockRow &row, std::optional<double> quantity, std::optional<double> amount,
                   std::optional<double> purchase);
    Figures figures(qint64 stockId);
    int lineCount(qint64 lineId);
    QVariantList lineValues(qint64 lineId);

    std::unique_ptr<TestDatabase> m_database;
};

void TestSalesCorrection::init()
{
    m_database = std::make_unique<TestDatabase>();
    QVERIFY2(m_database->isOpen(), qPrintable(m_database->errorText()));
}

qint64 TestSalesCorrection::addStock(const StockRow &row)
{
    const QString sql = u"insert into data (a, b, c, d, day1, \"1\", \"5\", \"6\", \"7\", \"8\") "
                        "values (?, ?, ?, ?, ?, 20, ?, ?, ?, ?)"_s +
                        Dialect::returningKey(u"id"_s);
    return ScalarValue(db(), sql,
                       {row.name, text(row.spec), row.code, row.category, db().dialect().dateValue(row.day),
                        number(row.sold), number(row.sales), number(row.stock), number(row.value)})
        .toLongLong();
}

qint64 TestSalesCorrection::addLine(const StockRow &row, std::optional<double> quantity,
                                    std::optional<double> amount, std::optional<double> purchase)
{
    const QString sql = u"insert into data1 (a, b, c, d, day2, day1, \"1\", \"2\", \"3\", \"4\", a5, \"6\", "
                        "z, g, h, i, j) values (?, ?, ?, ?, ?, ?, ?, 25, ?, ?, 10, 5, "
                        "'20240301001', '王', '白沟', '138', '老客')"_s +
                        Dialect::returningKey(u"ID"_s);
    return ScalarValue(db(), sql,
                       {row.name, text(row.spec), row.code, row.category, db().dialect().dateValue(row.day),
                        db().dialect().dateValue(QDate(2024, 3, 5)), number(purchase), number(quantity),
                        number(amount)})
        .toLongLong();
}

Figures TestSalesCorrection::figures(qint64 stockId)
{
    QSqlQuery q =
        OpenStatement(db(), u"select \"5\", \"6\", \"7\", \"8\" from data where id = ?"_s, {stockId});
    if (!q.next())
        return {-1, -1, -1, -1};
    return {q.value(0).toDouble(), q.value(1).toDouble(), q.value(2).toDouble(), q.value(3).toDouble()};
}

int TestSalesCorrection::lineCount(qint64 lineId)
{
    return ScalarValue(db(), u"select count(*) from data1 where ID = ?"_s, {lineId}).toInt();
}

QVariantList TestSalesCorrection::lineValues(qint64 lineId)
{
    QSqlQuery q = OpenStatement(
        db(), u"select \"6\", z, g, h, i, j, \"3\", \"4\", a5, day1, a, \"2\" from data1 where ID = ?"_s,
        {lineId});
    QVariantList values;
    if (q.next()) {
        for (int i = 0; i < 12; ++i)
            values << (i == 9 ? QVariant(Dialect::toDate(q.value(i))) : q.value(i));
    }
    return values;
}

void TestSalesCorrection::giveBack_data()
{
    QTest::addColumn<double>("quantity");
    QTest::addColumn<double>("amount");
    QTest::addColumn<Figures>("expected");
    // The stock row holds 5=7, 6=175, 7=3, 8=60; purchase price 20.
    QTest::newRow("sale 2 for 50") << 2.0 << 50.0 << Figures{5, 125, 5, 100};
    QTest::newRow("return of 1") << -1.0 << -25.0 << Figures{8, 200, 2, 40};
    QTest::newRow("fraction 0.5") << 0.5 << 12.5 << Figures{6.5, 162.5, 3.5, 70};
}

void TestSalesCorrection::giveBack()
{
    QFETCH(double, quantity);
    QFETCH(double, amount);
    QFETCH(Figures, expected);
    const StockRow row;
    const qint64 stockId = addStock(row);
    const qint64 lineId = addLine(row, quantity, amount, 20);
    const qint64 otherLine = addLine(row, 1, 25, 20);

    SalesLedger ledger(db());
    QCOMPARE(ledger.remove(kAdmin, lineId), SalesLedger::Removal::GivenBack);
    const Figures after = figures(stockId);
    QCOMPARE(after.sold, expected.sold);
    QCOMPARE(after.sales, expected.sales);
    QCOMPARE(after.stock, expected.stock);
    QCOMPARE(after.value, expected.value);
    QCOMPARE(lineCount(lineId), 0);
    QCOMPARE(lineCount(otherLine), 1);
}

void TestSalesCorrection::stockRowIsFoundByExactEquality_data()
{
    QTest::addColumn<StockRow>("decoy"); // added first: a substring match would take it
    QTest::addColumn<StockRow>("sold");  // the row the line came from

    StockRow longName;
    StockRow shortName;
    shortName.name = u"箱"_s;
    QTest::newRow("箱 is not 拉杆箱") << longName << shortName;

    StockRow tenth;
    tenth.day = QDate(2024, 1, 10);
    StockRow first;
    first.day = QDate(2024, 1, 1);
    QTest::newRow("2024-01-1 is not 2024-01-10") << tenth << first;

    StockRow code12;
    code12.code = u"12"_s;
    StockRow code1;
    code1.code = u"1"_s;
    QTest::newRow("code 1 is not 12") << code12 << code1;

    StockRow categoryLong;
    categoryLong.category = u"拉杆箱包"_s;
    QTest::newRow("category is exact") << categoryLong << StockRow{};

    StockRow withSpec;
    StockRow noSpec;
    noSpec.spec = std::nullopt;
    QTest::newRow("empty spec matches empty only") << withSpec << noSpec;

    StockRow specEmptyText;
    specEmptyText.spec = u""_s;
    StockRow specWildcard;
    specWildcard.spec = u"24%_'"_s;
    QTest::newRow("wildcards and quotes are plain text") << specEmptyText << specWildcard;
}

void TestSalesCorrection::stockRowIsFoundByExactEquality()
{
    QFETCH(StockRow, decoy);
    QFETCH(StockRow, sold);
    const qint64 decoyId = addStock(decoy);
    const qint64 soldId = addStock(sold);
    const qint64 lineId = addLine(sold, 2, 50, 20);

    QCOMPARE(SalesLedger(db()).remove(kAdmin, lineId), SalesLedger::Removal::GivenBack);
    const Figures untouched = figures(decoyId);
    QCOMPARE(untouched.sold, 7.0);
    QCOMPARE(untouched.stock, 3.0);
    const Figures given = figures(soldId);
    QCOMPARE(given.sold, 5.0);
    QCOMPARE(given.sales, 125.0);
    QCOMPARE(given.stock, 5.0);
    QCOMPARE(given.value, 100.0);
}

void TestSalesCorrection::firstOfTiedRowsTakesTheGiveBack()
{
    const StockRow row;
    const qint64 first = addStock(row);
    const qint64 second = addStock(row);
    const qint64 lineId = addLine(row, 2, 50, 20);
    QCOMPARE(SalesLedger(db()).remove(kAdmin, lineId), SalesLedger::Removal::GivenBack);
    QCOMPARE(figures(first).stock, 5.0);
    QCOMPARE(figures(second).stock, 3.0);
    QCOMPARE(figures(second).sold, 7.0);
}

void TestSalesCorrection::noTiedRowStillDeletesTheLine_data()
{
    QTest::addColumn<StockRow>("stock");
    QTest::addColumn<bool>("sameArticle");
    StockRow other;
    other.name = u"双肩包"_s;
    QTest::newRow("no row of that article") << other << false;
    StockRow noSold;
    noSold.sold = std::nullopt;
    QTest::newRow("row without sold quantity") << noSold << true;
    StockRow noStock;
    noStock.stock = std::nullopt;
    QTest::newRow("row without stock quantity") << noStock << true;
}

void TestSalesCorrection::noTiedRowStillDeletesTheLine()
{
    QFETCH(StockRow, stock);
    QFETCH(bool, sameArticle);
    const qint64 stockId = addStock(stock);
    const qint64 lineId = addLine(sameArticle ? stock : StockRow{}, 2, 50, 20);
    SalesLedger ledger(db());
    // The window asks its question from this and reports what remove() did.
    QVERIFY(!ledger.hasStockToGiveBackTo(lineId));
    QCOMPARE(ledger.remove(kAdmin, lineId), SalesLedger::Removal::NotGivenBack);
    QCOMPARE(lineCount(lineId), 0);
    QSqlQuery q =
        OpenStatement(db(), u"select \"5\", \"6\", \"7\", \"8\" from data where id = ?"_s, {stockId});
    QVERIFY(q.next());
    QCOMPARE(q.isNull(0), !stock.sold.has_value());
    QCOMPARE(q.isNull(2), !stock.stock.has_value());
    if (stock.sold)
        QCOMPARE(q.value(0).toDouble(), 7.0);
    if (stock.stock)
        QCOMPARE(q.value(2).toDouble(), 3.0);
    QCOMPARE(q.value(1).toDouble(), 175.0);
    QCOMPARE(q.value(3).toDouble(), 60.0);
}

void TestSalesCorrection::lineAlreadyGone()
{
    const StockRow row;
    const qint64 stockId = addStock(row);
    const qint64 lineId = addLine(row, 2, 50, 20);
    SalesLedger ledger(db());
    QVERIFY(ledger.hasStockToGiveBackTo(lineId));
    QCOMPARE(ledger.remove(kAdmin, lineId), SalesLedger::Removal::GivenBack);
    QVERIFY(!ledger.hasStockToGiveBackTo(lineId));
    // A second deletion (another counter, a double press) gives nothing back twice.
    QCOMPARE(ledger.remove(kAdmin, lineId), SalesLedger::Removal::AlreadyGone);
    QCOMPARE(figures(stockId).stock, 5.0);
    QCOMPARE(ledger.remove(kAdmin, 987654), SalesLedger::Removal::AlreadyGone);
}

void TestSalesCorrection::restrictedSessionChangesNothing()
{
    const StockRow row;
    const qint64 stockId = addStock(row);
    const qint64 lineId = addLine(row, 2, 50, 20);
    QVERIFY_THROWS_EXCEPTION(AccessDenied, SalesLedger(db()).remove(kClerk, lineId));
    QCOMPARE(lineCount(lineId), 1);
    QCOMPARE(figures(stockId).stock, 3.0);
    QCOMPARE(figures(stockId).sold, 7.0);
}

void TestSalesCorrection::lineWithoutQuantityIsKept()
{
    // The give-back cannot be computed: the deletion stops and the line stays.
    const StockRow row;
    const qint64 stockId = addStock(row);
    const qint64 noQuantity = addLine(row, std::nullopt, 50, 20);
    const qint64 noPurchase = addLine(row, 2, 50, std::nullopt);
    SalesLedger ledger(db());
    QVERIFY_THROWS_EXCEPTION(DatabaseError, ledger.remove(kAdmin, noQuantity));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, ledger.remove(kAdmin, noPurchase));
    QCOMPARE(lineCount(noQuantity), 1);
    QCOMPARE(lineCount(noPurchase), 1);
    QCOMPARE(figures(stockId).stock, 3.0);
    // The connection is usable again after the rollback.
    QCOMPARE(ledger.remove(kAdmin, addLine(row, 1, 25, 20)), SalesLedger::Removal::GivenBack);
    QCOMPARE(figures(stockId).stock, 4.0);
}

void TestSalesCorrection::correctionWritesOnlyItsFields()
{
    const StockRow row;
    const qint64 stockId = addStock(row);
    const qint64 lineId = addLine(row, 2, 50, 20);
    const qint64 otherId = addLine(row, 1, 25, 20);
    const QVariantList before = lineValues(lineId);
    SaleCorrection c;
    c.debt = u" 12.5 "_s;
    c.orderNumber = u" 2024'03\"05 "_s;
    c.customer = u"O'Brien 张"_s;
    c.address = u"白沟' or '1'='1"_s;
    c.contact = u""_s;
    c.remark = u"50%_定金"_s;
    SalesLedger(db()).correct(kAdmin, lineId, c);

    const QVariantList after = lineValues(lineId);
    QCOMPARE(after.at(0).toDouble(), 12.5);
    QCOMPARE(after.at(1).toString(), u"2024'03\"05"_s);
    QCOMPARE(after.at(2).toString(), u"O'Brien 张"_s);
    QCOMPARE(after.at(3).toString(), u"白沟' or '1'='1"_s);
    QCOMPARE(after.at(4).toString(), QString());
    QCOMPARE(after.at(5).toString(), u"50%_定金"_s);
    QCOMPARE(after.mid(6), before.mid(6)); // quantity, amount, profit, date, name, price
    QCOMPARE(lineValues(otherId).at(1).toString(), u"20240301001"_s);
    QCOMPARE(figures(stockId).stock, 3.0);
    QCOMPARE(figures(stockId).sold, 7.0);
}

void TestSalesCorrection::invalidDebtChangesNothing_data()
{
    QTest::addColumn<QString>("debt");
    QTest::newRow("empty") << QString();
    QTest::newRow("blanks") << u"   "_s;
    QTest::newRow("letters") << u"abc"_s;
    QTest::newRow("two points") << u"1.2.3"_s;
    QTest::newRow("point only") << u"."_s;
    QTest::newRow("minus") << u"-5"_s;
    QTest::newRow("comma") << u"1,5"_s;
}

void TestSalesCorrection::invalidDebtChangesNothing()
{
    QFETCH(QString, debt);
    const StockRow row;
    addStock(row);
    const qint64 lineId = addLine(row, 2, 50, 20);
    const QVariantList before = lineValues(lineId);
    SaleCorrection c;
    c.debt = debt;
    c.orderNumber = u"X"_s;
    c.customer = u"新客户"_s;
    try {
        SalesLedger(db()).correct(kAdmin, lineId, c);
        QFAIL("an invalid debt was accepted");
    } catch (const InvalidDebt &error) {
        QCOMPARE(error.typed(), debt);
        QVERIFY(error.message().contains(u"欠款金额"_s));
    }
    QCOMPARE(lineValues(lineId), before);
}

void TestSalesCorrection::validDebt_data()
{
    QTest::addColumn<QString>("debt");
    QTest::addColumn<double>("stored");
    QTest::newRow("zero") << u"0"_s << 0.0;
    QTest::newRow("decimal") << u"12.5"_s << 12.5;
    QTest::newRow("leading point") << u".5"_s << 0.5;
    QTest::newRow("trailing point") << u"7."_s << 7.0;
    QTest::newRow("blanks around") << u" 3 "_s << 3.0;
}

void TestSalesCorrection::validDebt()
{
    QFETCH(QString, debt);
    QFETCH(double, stored);
    QCOMPARE(SalesLedger::parseDebt(debt), std::optional<double>(stored));
    const StockRow row;
    addStock(row);
    const qint64 lineId = addLine(row, 2, 50, 20);
    SaleCorrection c;
    c.debt = debt;
    SalesLedger(db()).correct(kAdmin, lineId, c);
    QCOMPARE(lineValues(lineId).at(0).toDouble(), stored);
}

void TestSalesCorrection::correctionOfGoneLineOrByClerkIsRefused()
{
    const StockRow row;
    addStock(row);
    const qint64 lineId = addLine(row, 2, 50, 20);
    const QVariantList before = lineValues(lineId);
    SaleCorrection c;
    c.debt = u"9"_s;
    c.customer = u"改"_s;
    SalesLedger ledger(db());
    QVERIFY_THROWS_EXCEPTION(AccessDenied, ledger.correct(kClerk, lineId, c));
    QCOMPARE(lineValues(lineId), before);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, ledger.correct(kAdmin, 987654, c));
}

void TestSalesCorrection::refusedCorrectionChangesNothing_data()
{
    QTest::addColumn<int>("field"); // 0 debt, 1 order number, 2 customer, 3 address, 4 contact, 5 remark
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("column");
    QTest::newRow("debt over a billion") << 0 << u"12345678901"_s << u"6"_s;
    QTest::newRow("NUL in the order number") << 1 << (u"2024"_s + QChar(0) + u"001"_s) << u"z"_s;
    QTest::newRow("customer too long") << 2 << QString(101, QChar(0x738b)) << u"g"_s;
    QTest::newRow("line feed in the address") << 3 << u"白沟\n北街"_s << u"h"_s;
    QTest::newRow("escape in the contact") << 4 << (u"138"_s + QChar(0x1b)) << u"i"_s;
    QTest::newRow("remark too long") << 5 << QString(201, u'x') << u"j"_s;
}

void TestSalesCorrection::refusedCorrectionChangesNothing()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QString, column);
    const StockRow row;
    addStock(row);
    const qint64 lineId = addLine(row, 2, 50, 20);
    const QVariantList before = lineValues(lineId);
    SaleCorrection c;
    c.debt = u"0"_s;
    QString *fields[] = {&c.debt, &c.orderNumber, &c.customer, &c.address, &c.contact, &c.remark};
    *fields[field] = text;
    try {
        SalesLedger(db()).correct(kAdmin, lineId, c);
        QFAIL("the correction was written");
    } catch (const RefusedValue &error) {
        QCOMPARE(error.column(), column);
    }
    QCOMPARE(lineValues(lineId), before);
}

QTEST_GUILESS_MAIN(TestSalesCorrection)
#include "tst_salescorrection.moc"

#include "TestDatabase.h"
#include "data/FieldCheck.h"
#include "data/QueryHelpers.h"
#include "data/Schema.h"
#include "sales/SalesLedger.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

#include <limits>

// Booking a sale: the stock row's 5, 6, 7, 8 and the new data1 line, on the
// engine of this run.
class TestSalesLedger : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qInfo("database backend: %s", qPrintable(TestDatabase::backendName())); }
    void booking_data();
    void booking();
    void lineCopiesTheStockRow();
    void reservedColumnsStayEmpty();
    void refusedSaleWritesNothing_data();
    void refusedSaleWritesNothing();
    void insaneSaleWritesNothing_data();
    void insaneSaleWritesNothing();
    void lastItemGoesToOneCounterOnly();
    void failedLineInsertUndoesTheStockBooking();
    void roundToCents_data();
    void roundToCents();

private:
    static qint64 addStock(Database &db, double purchase, double stock, double sold = 0, double sales = 0);
};

qint64 TestSalesLedger::addStock(Database &db, double purchase, double stock, double sold, double sales)
{
    const QString sql =
        QStringLiteral("insert into data (a, b, c, d, g, \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", "
                       "\"7\", \"8\", day1) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)") +
        Dialect::returningKey(QStringLiteral("id"));
    return ScalarValue(db, sql,
                       {QStringLiteral("新秀丽拉杆箱"), QStringLiteral("24寸 黑色"),
                        QStringLiteral("6901234567892"), QStringLiteral("拉杆箱"),
                        QStringLiteral("白沟 王老板"), purchase, stock + sold, purchase * (stock + sold),
                        2 * purchase, sold, sales, stock, purchase * stock,
                        db.dialect().dateValue(QDate(2025, 3, 1))})
        .toLongLong();
}

void TestSalesLedger::booking_data()
{
    QTest::addColumn<double>("purchase");
    QTest::addColumn<double>("stock");
    QTest::addColumn<double>("sold");
    QTest::addColumn<double>("sales");
    QTest::addColumn<double>("price");
    QTest::addColumn<double>("quantity");
    // expected stock row 5, 6, 7, 8 and line 4, a5
    QTest::addColumn<double>("new5");
    QTest::addColumn<double>("new6");
    QTest::addColumn<double>("new7");
    QTest::addColumn<double>("new8");
    QTest::addColumn<double>("amount");
    QTest::addColumn<double>("profit");

    QTest::newRow("0.333 of 1: 7 rounded, 8 not")
        << 30.0 << 1.0 << 0.0 << 0.0 << 45.0 << 0.333 << 0.333 << 45.0 * 0.333 << 0.67 << (1.0 - 0.333) * 30.0
        << 45.0 * 0.333 << 5.0;
    QTest::newRow("12.5 x 3 from 10, sold 4 for 50")
        << 10.0 << 10.0 << 4.0 << 50.0 << 12.5 << 3.0 << 7.0 << 87.5 << 7.0 << 70.0 << 37.5 << 7.5;
    QTest::newRow("return of 2 raises stock")
        << 10.0 << 5.0 << 4.0 << 60.0 << 15.0 << -2.0 << 2.0 << 30.0 << 7.0 << 70.0 << -30.0 << -10.0;
    QTest::newRow("return of 1 against stock 0")
        << 80.0 << 0.0 << 1.0 << 100.0 << 100.0 << -1.0 << 0.0 << 0.0 << 1.0 << 80.0 << -100.0 << -20.0;
    QTest::newRow("fractional return keeps fraction")
        << 10.0 << 1.0 << 1.0 << 20.0 << 20.0 << -0.5 << 0.5 << 10.0 << 1.5 << 15.0 << -10.0 << -5.0;
    QTest::newRow("sell exactly the stock")
        << 10.0 << 2.0 << 0.0 << 0.0 << 20.0 << 2.0 << 2.0 << 40.0 << 0.0 << 0.0 << 40.0 << 20.0;
    QTest::newRow("sale below cost") << 50.0 << 3.0 << 0.0 << 0.0 << 40.0 << 1.0 << 1.0 << 40.0 << 2.0
                                     << 100.0 << 40.0 << -10.0;
}

void TestSalesLedger::booking()
{
    QFETCH(double, purchase);
    QFETCH(double, stock);
    QFETCH(double, sold);
    QFETCH(double, sales);
    QFETCH(double, price);
    QFETCH(double, quantity);
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    const qint64 id = addStock(t.db(), purchase, stock, sold, sales);
    SalesLedger ledger(t.db());
    SaleRequest sale;
    sale.stockId = id;
    sale.price = price;
    sale.quantity = quantity;
    sale.orderNumber = QStringLiteral("20261208001");
    sale.saleDate = QDate(2026, 12, 8);
    const SaleBooking booking = ledger.book(sale);
    QCOMPARE(booking.result, SaleBooking::Result::Booked);
    QVERIFY(booking.lineId > 0);

    QSqlQuery row = OpenStatement(
        t.db(), QStringLiteral("select \"5\", \"6\", \"7\", \"8\" from data where id = ?"), {id});
    QVERIFY(row.next());
    QTEST(row.value(0).toDouble(), "new5");
    QTEST(row.value(1).toDouble(), "new6");
    QTEST(row.value(2).toDouble(), "new7");
    QTEST(row.value(3).toDouble(), "new8");
    QFETCH(double, new7);
    QCOMPARE(booking.stockLeft, new7);

    QSqlQuery line = OpenStatement(
        t.db(), QStringLiteral("select \"3\", \"4\", a5, \"2\" from data1 where ID = ?"), {booking.lineId});
    QVERIFY(line.next());
    QCOMPARE(line.value(0).toDouble(), quantity);
    QTEST(line.value(1).toDouble(), "amount");
    QTEST(line.value(2).toDouble(), "profit");
    QCOMPARE(line.value(3).toDouble(), price);
}

void TestSalesLedger::lineCopiesTheStockRow()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    const qint64 id = addStock(t.db(), 120.0, 5.0);
    SaleRequest sale;
    sale.stockId = id;
    sale.price = 199.0;
    sale.quantity = 1;
    sale.debt = 50;
    sale.orderNumber = QStringLiteral(" 20261208007 ");
    sale.customer = QStringLiteral(" O'Brien 张 ");
    sale.address = QStringLiteral("保定市白沟镇");
    sale.contact = QStringLiteral(" 13800000000 ");
    sale.remark = QStringLiteral("50%_定金");
    sale.saleDate = QDate(2026, 12, 8);
    const SaleBooking booking = SalesLedger(t.db()).book(sale);
    QCOMPARE(booking.result, SaleBooking::Result::Booked);
    QSqlQuery line = OpenStatement(
        t.db(),
        QStringLiteral(
            "select a, b, c, d, e, f, z, g, h, i, j, \"1\", \"6\", day1, day2 from data1 where ID = ?"),
        {booking.lineId});
    QVERIFY(line.next());
    QCOMPARE(line.value(0).toString(), QStringLiteral("新秀丽拉杆箱"));
    QCOMPARE(line.value(1).toString(), QStringLiteral("24寸 黑色"));
    QCOMPARE(line.value(2).toString(), QStringLiteral("6901234567892"));
    QCOMPARE(line.value(3).toString(), QStringLiteral("拉杆箱"));
    QCOMPARE(line.value(4).toString(), QStringLiteral("xxllgx"));
    // The blank is no kept character: it pairs with the next byte.
    QCOMPARE(line.value(5).toString(), QStringLiteral("24c!j!"));
    QCOMPARE(line.value(6).toString(), QStringLiteral("20261208007"));
    QCOMPARE(line.value(7).toString(), QStringLiteral("O'Brien 张"));
    QCOMPARE(line.value(8).toString(), QStringLiteral("保定市白沟镇"));
    QCOMPARE(line.value(9).toString(), QStringLiteral("13800000000"));
    QCOMPARE(line.value(10).toString(), QStringLiteral("50%_定金"));
    QCOMPARE(line.value(11).toDouble(), 120.0);
    QCOMPARE(line.value(12).toDouble(), 50.0);
    QCOMPARE(Dialect::toDate(line.value(13)), QDate(2026, 12, 8));
    QCOMPARE(Dialect::toDate(line.value(14)), QDate(2025, 3, 1));
}

void TestSalesLedger::reservedColumnsStayEmpty()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    const qint64 id = addStock(t.db(), 10.0, 10.0);
    SalesLedger ledger(t.db());
    for (double q : {1.0, 2.5, -1.0, 3.0}) {
        SaleRequest sale;
        sale.stockId = id;
        sale.price = 15;
        sale.quantity = q;
        sale.customer = QStringLiteral("客户");
        sale.saleDate = QDate(2026, 1, 2);
        QCOMPARE(ledger.book(sale).result, SaleBooking::Result::Booked);
    }
    QStringList reserved;
    for (char c = 'k'; c <= 'y'; ++c)
        reserved << QString(QLatin1Char(c));
    reserved << QStringLiteral("\"7\"") << QStringLiteral("\"8\"") << QStringLiteral("\"9\"");
    for (int d = 3; d <= 6; ++d)
        reserved << QStringLiteral("day%1").arg(d);
    for (const QString &column : reserved)
        QVERIFY2(
            ScalarValue(t.db(), QStringLiteral("select count(*) from data1 where %1 is not null").arg(column))
                    .toInt() == 0,
            qPrintable(column));
    QCOMPARE(ScalarValue(t.db(), QStringLiteral("select count(*) from data1")).toInt(), 4);
    // Empty boxes are stored as empty text, not NULL.
    QCOMPARE(
        ScalarValue(t.db(), QStringLiteral("select count(*) from data1 where h = '' and i = '' and j = '' "
                                           "and z = ''"))
            .toInt(),
        4);
}

void TestSalesLedger::refusedSaleWritesNothing_data()
{
    QTest::addColumn<double>("quantity");
    QTest::addColumn<bool>("rowExists");
    QTest::addColumn<int>("result");
    QTest::newRow("more than in stock") << 3.0 << true << int(SaleBooking::Result::InsufficientStock);
    QTest::newRow("a hair more than in stock")
        << 2.001 << true << int(SaleBooking::Result::InsufficientStock);
    QTest::newRow("zero") << 0.0 << true << int(SaleBooking::Result::ZeroQuantity);
    QTest::newRow("row deleted meanwhile") << 1.0 << false << int(SaleBooking::Result::StockRowGone);
}

void TestSalesLedger::refusedSaleWritesNothing()
{
    QFETCH(double, quantity);
    QFETCH(bool, rowExists);
    QFETCH(int, result);
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    const qint64 id = addStock(t.db(), 10.0, 2.0);
    if (!rowExists)
        ExecuteStatement(t.db(), QStringLiteral("delete from data where id = ?"), {id});
    SaleRequest sale;
    sale.stockId = id;
    sale.price = 20;
    sale.quantity = quantity;
    sale.saleDate = QDate(2026, 12, 8);
    const SaleBooking booking = SalesLedger(t.db()).book(sale);
    QCOMPARE(int(booking.result), result);
    if (booking.result == SaleBooking::Result::InsufficientStock)
        QCOMPARE(booking.stockLeft, 2.0);
    QCOMPARE(ScalarValue(t.db(), QStringLiteral("select count(*) from data1")).toInt(), 0);
    if (rowExists)
        QCOMPARE(ScalarValue(t.db(), QStringLiteral("select \"5\" from data where id = ?"), {id}).toDouble(),
                 0.0);
}

void TestSalesLedger::insaneSaleWritesNothing_data()
{
    QTest::addColumn<double>("price");
    QTest::addColumn<double>("quantity");
    QTest::addColumn<double>("debt");
    QTest::addColumn<QString>("customer");
    QTest::addColumn<QString>("column");
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("NaN quantity") << 20.0 << nan << 0.0 << QString() << QStringLiteral("3");
    QTest::newRow("infinite return") << 20.0 << -inf << 0.0 << QString() << QStringLiteral("3");
    QTest::newRow("NaN price") << nan << 1.0 << 0.0 << QString() << QStringLiteral("2");
    QTest::newRow("price 1e308 (amount overflows)")
        << 1e308 << 1.0 << 0.0 << QString() << QStringLiteral("2");
    QTest::newRow("infinite debt") << 20.0 << 1.0 << inf << QString() << QStringLiteral("6");
    QTest::newRow("customer with NUL")
        << 20.0 << 1.0 << 0.0 << (QStringLiteral("王") + QChar(0) + QStringLiteral("五"))
        << QStringLiteral("g");
    QTest::newRow("customer too long")
        << 20.0 << 1.0 << 0.0 << QString(300, QChar(0x738b)) << QStringLiteral("g");
}

void TestSalesLedger::insaneSaleWritesNothing()
{
    QFETCH(double, price);
    QFETCH(double, quantity);
    QFETCH(double, debt);
    QFETCH(QString, customer);
    QFETCH(QString, column);
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    const qint64 id = addStock(t.db(), 10.0, 2.0);
    SaleRequest sale;
    sale.stockId = id;
    sale.price = price;
    sale.quantity = quantity;
    sale.debt = debt;
    sale.customer = customer;
    sale.saleDate = QDate(2026, 12, 8);
    try {
        SalesLedger(t.db()).book(sale);
        QFAIL("the sale was booked");
    } catch (const RefusedValue &error) {
        QCOMPARE(error.column(), column);
    }
    QCOMPARE(ScalarValue(t.db(), QStringLiteral("select count(*) from data1")).toInt(), 0);
    QSqlQuery row =
        OpenStatement(t.db(), QStringLiteral("select \"5\", \"7\", \"8\" from data where id = ?"), {id});
    QVERIFY(row.next());
    QCOMPARE(row.value(0).toDouble(), 0.0);
    QCOMPARE(row.value(1).toDouble(), 2.0);
    QCOMPARE(row.value(2).toDouble(), 20.0);
}

void TestSalesLedger::lastItemGoesToOneCounterOnly()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    const qint64 id = addStock(t.db(), 10.0, 1.0);
    auto other = t.openSecondConnection(QStringLiteral("counter2"));
    QVERIFY2(other->isOpen(), qPrintable(other->errorText()));
    SaleRequest sale;
    sale.stockId = id;
    sale.price = 20;
    sale.quantity = 1;
    sale.saleDate = QDate(2026, 12, 8);
    const SaleBooking first = SalesLedger(t.db()).book(sale);
    const SaleBooking second = SalesLedger(*other).book(sale);
    QCOMPARE(first.result, SaleBooking::Result::Booked);
    QCOMPARE(second.result, SaleBooking::Result::InsufficientStock);
    QCOMPARE(ScalarValue(t.db(), QStringLiteral("select count(*) from data1")).toInt(), 1);
    QCOMPARE(ScalarValue(t.db(), QStringLiteral("select \"7\" from data")).toDouble(), 0.0);
}

void TestSalesLedger::failedLineInsertUndoesTheStockBooking()
{
    // A database failure between the stock update and the line insert (here a
    // trigger that refuses every new line) must leave both tables as they were.
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    const qint64 id = addStock(t.db(), 10.0, 4.0, 1.0, 20.0);
    // DDL goes straight to the connection: PostgreSQL cannot prepare it.
    QSqlQuery ddl(t.db().connection());
    if (TestDatabase::onPostgreSQL()) {
        QVERIFY(ddl.exec(QStringLiteral("create function refuse_line() returns trigger language plpgsql as "
                                        "$$ begin raise exception 'injected failure'; end $$")));
        QVERIFY(ddl.exec(QStringLiteral("create trigger refuse_line before insert on data1 "
                                        "for each row execute function refuse_line()")));
    } else {
        QVERIFY(ddl.exec(QStringLiteral("create trigger refuse_line before insert on data1 "
                                        "begin select raise(abort, 'injected failure'); end")));
    }
    SaleRequest sale;
    sale.stockId = id;
    sale.price = 20;
    sale.quantity = 2;
    sale.saleDate = QDate(2026, 12, 8);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, SalesLedger(t.db()).book(sale));
    QSqlQuery row = OpenStatement(
        t.db(), QStringLiteral("select \"5\", \"6\", \"7\", \"8\" from data where id = ?"), {id});
    QVERIFY(row.next());
    QCOMPARE(row.value(0).toDouble(), 1.0);
    QCOMPARE(row.value(1).toDouble(), 20.0);
    QCOMPARE(row.value(2).toDouble(), 4.0);
    QCOMPARE(row.value(3).toDouble(), 40.0);
    QCOMPARE(ScalarValue(t.db(), QStringLiteral("select count(*) from data1")).toInt(), 0);
    // The connection is usable again afterwards: no transaction left open.
    QVERIFY(ddl.exec(QStringLiteral("drop trigger refuse_line") +
                     (TestDatabase::onPostgreSQL() ? QStringLiteral(" on data1") : QString())));
    QCOMPARE(SalesLedger(t.db()).book(sale).result, SaleBooking::Result::Booked);
}

void TestSalesLedger::roundToCents_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");
    QTest::newRow("0.667") << 0.667 << 0.67;
    QTest::newRow("1.005 reads as 1.005") << 1.005 << 1.01;
    QTest::newRow("0.665") << 0.665 << 0.67;
    QTest::newRow("negative half") << -2.345 << -2.35;
    QTest::newRow("below half a cent") << 0.004 << 0.0;
    QTest::newRow("exactly half a cent") << 0.005 << 0.01;
    QTest::newRow("negative zero") << -0.001 << 0.0;
    QTest::newRow("large") << 123456789.125 << 123456789.13;
    QTest::newRow("whole") << 7.0 << 7.0;
}

void TestSalesLedger::roundToCents()
{
    QFETCH(double, value);
    QFETCH(double, expected);
    QCOMPARE(SalesLedger::roundToCents(value), expected);
}

QTEST_GUILESS_MAIN(TestSalesLedger)
#include "tst_salesledger.moc"

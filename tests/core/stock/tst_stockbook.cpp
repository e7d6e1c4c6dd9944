#include "TestDatabase.h"
#include "data/FieldCheck.h"
#include "data/FieldLimits.h"
#include "data/QueryHelpers.h"
#include "shell/Session.h"
#include "stock/StockBook.h"

#include <QSqlQuery>
#include <QtTest>

using namespace Qt::StringLiterals;

// Receiving goods into stock, correcting and deleting stock-in records, on
// the engine of this run.
class TestStockBook : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qInfo("database backend: %s", qPrintable(TestDatabase::backendName())); }
    void init();
    void cleanup() { m_database.reset(); }

    void addComputesDerivedValues_data();
    void addComputesDerivedValues();
    void addStoresTextsTrimmedAndAsTyped_data();
    void addStoresTextsTrimmedAndAsTyped();
    void modifyFollowsTheSales_data();
    void modifyFollowsTheSales();
    void modifyOfAMissingRowIsAnError();
    void restrictedSessionIsRefused();
    void badNumberWritesNothing_data();
    void badNumberWritesNothing();
    void missingDateWritesNothing();
    void longestTextsAreStored();
    void refusedValueWritesNothing_data();
    void refusedValueWritesNothing();
    void removeDeletesOneRow();
    void toNumber_data();
    void toNumber();

private:
    static StockEntry entry(const QString &price, const QString &quantity, const QString &salePrice);
    int rowCount() { return ScalarValue(m_database->db(), u"select count(*) from data"_s).toInt(); }
    // 1, 2, 3, 4, 5, 6, 7, 8 of one row.
    QList<double> numbers(qint64 id);

    std::unique_ptr<TestDatabase> m_database;
    Session m_admin{Schema::kAdministrator, 1};
};

void TestStockBook::init()
{
    m_database = std::make_unique<TestDatabase>();
    QVERIFY2(m_database->isOpen(), qPrintable(m_database->errorText()));
}

StockEntry TestStockBook::entry(const QString &price, const QString &quantity, const QString &salePrice)
{
    StockEntry e;
    e.name = u"新秀丽拉杆箱"_s;
    e.spec = u"24寸 黑色"_s;
    e.code = u"6901234567892"_s;
    e.category = u"拉杆箱"_s;
    e.supplier = u"白沟 王老板"_s;
    e.purchasePrice = price;
    e.quantity = quantity;
    e.salePrice = salePrice;
    e.sold = u"0"_s;
    e.stockQuantity = quantity;
    e.stockInDate = QDate(2025, 3, 1);
    return e;
}

QList<double> TestStockBook::numbers(qint64 id)
{
    QSqlQuery row = OpenStatement(
        m_database->db(),
        u"select \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", \"8\" from data where id = ?"_s, {id});
    QList<double> values;
    if (row.next()) {
        for (int i = 0; i < 8; ++i)
            values << row.value(i).toDouble();
    }
    return values;
}

void TestStockBook::addComputesDerivedValues_data()
{
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("salePrice");
    QTest::addColumn<QString>("sold");
    QTest::addColumn<QString>("stock");
    QTest::addColumn<QList<double>>("expected"); // 1 .. 8

    QTest::newRow("10 x 3.5") << u"3.5"_s << u"10"_s << u"6"_s << u"0"_s << u"10"_s
                              << QList<double>{3.5, 10, 35, 6, 0, 0, 10, 35};
    QTest::newRow("12.5 x 3") << u"12.5"_s << u"3"_s << u"20"_s << u"0"_s << u"3"_s
                              << QList<double>{12.5, 3, 37.5, 20, 0, 0, 3, 37.5};
    QTest::newRow("0.1 x 3") << u"0.1"_s << u"3"_s << u"1"_s << u"0"_s << u"3"_s
                             << QList<double>{0.1, 3, 0.3, 1, 0, 0, 3, 0.3};
    // 8 is what was paid, also when the stock quantity was typed otherwise.
    QTest::newRow("stock typed apart")
        << u"2"_s << u"10"_s << u"5"_s << u"0"_s << u"7"_s << QList<double>{2, 10, 20, 5, 0, 0, 7, 20};
    QTest::newRow("stock left empty")
        << u"2"_s << u"10"_s << u"5"_s << u"0"_s << QString() << QList<double>{2, 10, 20, 5, 0, 0, 10, 20};
    QTest::newRow("carried sales") << u"2"_s << u"10"_s << u"5.5"_s << u"4"_s << u"6"_s
                                   << QList<double>{2, 10, 20, 5.5, 4, 22, 6, 20};
    QTest::newRow("sold empty is 0") << u"2"_s << u"1"_s << u"3"_s << QString() << u"1"_s
                                     << QList<double>{2, 1, 2, 3, 0, 0, 1, 2};
    QTest::newRow("point forms") << u"5."_s << u".5"_s << u"0"_s << u"0"_s << u".5"_s
                                 << QList<double>{5, 0.5, 2.5, 0, 0, 0, 0.5, 2.5};
}

void TestStockBook::addComputesDerivedValues()
{
    QFETCH(QString, price);
    QFETCH(QString, quantity);
    QFETCH(QString, salePrice);
    QFETCH(QString, sold);
    QFETCH(QString, stock);
    QFETCH(QList<double>, expected);
    StockEntry e = entry(price, quantity, salePrice);
    e.sold = sold;
    e.stockQuantity = stock;
    const qint64 id = StockBook(m_database->db()).add(m_admin, e);
    QVERIFY(id > 0);
    const QList<double> stored = numbers(id);
    QCOMPARE(stored.size(), 8);
    for (int i = 0; i < 8; ++i)
        QVERIFY2(
            qFuzzyCompare(1.0 + stored.at(i), 1.0 + expected.at(i)),
            qPrintable(u"column %1: %2, expected %3"_s.arg(i + 1).arg(stored.at(i)).arg(expected.at(i))));
    QCOMPARE(Dialect::toDate(ScalarValue(m_database->db(), u"select day1 from data where id = ?"_s, {id})),
             QDate(2025, 3, 1));
}

void TestStockBook::addStoresTextsTrimmedAndAsTyped_data()
{
    QTest::addColumn<QStringList>("typed");  // a, b, c, d, g, z
    QTest::addColumn<QStringList>("stored"); // a, b, c, d, g, z and, where given, e, f
    QTest::newRow("trimmed, initials of the trimmed name")
        << QStringList{u"  新秀丽拉杆箱 "_s, u" 24寸 "_s,   u" 690123 "_s,
                       u" 拉杆箱"_s,         u" 王老板 "_s, u" 春节 "_s}
        << QStringList{u"新秀丽拉杆箱"_s, u"24寸"_s, u"690123"_s, u"拉杆箱"_s,
                       u"王老板"_s,       u"春节"_s, u"xxllgx"_s, u"24c"_s};
    QTest::newRow("empty spec, supplier, remark")
        << QStringList{u"钱包"_s, QString(), u"A1"_s, u"皮具"_s, QString(), QString()}
        << QStringList{u"钱包"_s, QString(), u"A1"_s, u"皮具"_s, QString(), QString(), u"qb"_s, QString()};
    QTest::newRow("quotes and wildcards as typed")
        << QStringList{u"O'Brien \"箱\""_s,     u"50%_off"_s, u"69'01"_s, u"a'b"_s, u"张'三"_s,
                       u"--; drop table data"_s}
        << QStringList{u"O'Brien \"箱\""_s,     u"50%_off"_s, u"69'01"_s, u"a'b"_s, u"张'三"_s,
                       u"--; drop table data"_s};
}

void TestStockBook::addStoresTextsTrimmedAndAsTyped()
{
    QFETCH(QStringList, typed);
    QFETCH(QStringList, stored);
    StockEntry e = entry(u"1"_s, u"1"_s, u"1"_s);
    e.name = typed.at(0);
    e.spec = typed.at(1);
    e.code = typed.at(2);
    e.category = typed.at(3);
    e.supplier = typed.at(4);
    e.remark = typed.at(5);
    const qint64 id = StockBook(m_database->db()).add(m_admin, e);
    QSqlQuery row =
        OpenStatement(m_database->db(), u"select a, b, c, d, g, z, e, f from data where id = ?"_s, {id});
    QVERIFY(row.next());
    for (int i = 0; i < 8; ++i) {
        // Empty boxes are empty text, never NULL: the quick query's filters find them.
        QVERIFY2(!row.isNull(i), qPrintable(u"column %1 is NULL"_s.arg(i)));
        if (i < stored.size())
            QCOMPARE(row.value(i).toString(), stored.at(i));
    }
    QCOMPARE(rowCount(), 1);
}

void TestStockBook::modifyFollowsTheSales_data()
{
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("salePrice");
    QTest::addColumn<QList<double>>("expected"); // 1 .. 8 after the change

    // The stored row: 1 = 2, 2 = 10, 4 = 6, sold 4 for 20 (a discount), 7 = 6.
    QTest::newRow("quantity 10 to 12")
        << u"2"_s << u"12"_s << u"6"_s << QList<double>{2, 12, 24, 6, 4, 20, 8, 16};
    QTest::newRow("price changes amounts")
        << u"2.5"_s << u"10"_s << u"6"_s << QList<double>{2.5, 10, 25, 6, 4, 20, 6, 15};
    QTest::newRow("new sale price recomputes 6")
        << u"2"_s << u"10"_s << u"7"_s << QList<double>{2, 10, 20, 7, 4, 28, 6, 12};
    QTest::newRow("quantity below sold")
        << u"2"_s << u"3"_s << u"6"_s << QList<double>{2, 3, 6, 6, 4, 20, -1, -2};
}

void TestStockBook::modifyFollowsTheSales()
{
    QFETCH(QString, price);
    QFETCH(QString, quantity);
    QFETCH(QString, salePrice);
    QFETCH(QList<double>, expected);
    Database &db = m_database->db();
    StockBook book(db);
    const qint64 id = book.add(m_admin, entry(u"2"_s, u"10"_s, u"6"_s));
    const qint64 other = book.add(m_admin, entry(u"9"_s, u"1"_s, u"9"_s));
    // Four sold at a discount, as a sale books it.
    QCOMPARE(ExecuteStatement(
                 db, u"update data set \"5\" = 4, \"6\" = 20, \"7\" = 6, \"8\" = 12 where id = ?"_s, {id}),
             1);

    StockEntry e = entry(price, quantity, salePrice);
    e.name = u" 新秀丽登机箱 "_s;
    e.remark = u"改'过"_s;
    e.sold = u"999"_s; // what the panel carried is not what the sales booked
    e.stockQuantity = u"999"_s;
    e.stockInDate = QDate(2025, 4, 2);
    book.modify(m_admin, id, e);

    const QList<double> stored = numbers(id);
    QCOMPARE(stored.size(), 8);
    for (int i = 0; i < 8; ++i)
        QVERIFY2(
            qFuzzyCompare(1.0 + stored.at(i), 1.0 + expected.at(i)),
            qPrintable(u"column %1: %2, expected %3"_s.arg(i + 1).arg(stored.at(i)).arg(expected.at(i))));
    QSqlQuery row = OpenStatement(db, u"select a, e, z, day1 from data where id = ?"_s, {id});
    QVERIFY(row.next());
    QCOMPARE(row.value(0).toString(), u"新秀丽登机箱"_s);
    QCOMPARE(row.value(1).toString(), u"xxldjx"_s);
    QCOMPARE(row.value(2).toString(), u"改'过"_s);
    QCOMPARE(Dialect::toDate(row.value(3)), QDate(2025, 4, 2));
    // The other record is untouched.
    QCOMPARE(numbers(other), (QList<double>{9, 1, 9, 9, 0, 0, 1, 9}));
}

void TestStockBook::modifyOfAMissingRowIsAnError()
{
    StockBook book(m_database->db());
    const qint64 id = book.add(m_admin, entry(u"2"_s, u"10"_s, u"6"_s));
    QVERIFY(book.remove(m_admin, id));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, book.modify(m_admin, id, entry(u"3"_s, u"1"_s, u"6"_s)));
    QCOMPARE(rowCount(), 0);
}

void TestStockBook::restrictedSessionIsRefused()
{
    StockBook book(m_database->db());
    const qint64 id = book.add(m_admin, entry(u"2"_s, u"10"_s, u"6"_s));
    const Session clerk{u"张三"_s, 2};
    QVERIFY_THROWS_EXCEPTION(AccessDenied, book.add(clerk, entry(u"1"_s, u"1"_s, u"1"_s)));
    QVERIFY_THROWS_EXCEPTION(AccessDenied, book.modify(clerk, id, entry(u"5"_s, u"5"_s, u"5"_s)));
    QVERIFY_THROWS_EXCEPTION(AccessDenied, book.remove(clerk, id));
    QCOMPARE(rowCount(), 1);
    QCOMPARE(numbers(id), (QList<double>{2, 10, 20, 6, 0, 0, 10, 20}));
}

void TestStockBook::badNumberWritesNothing_data()
{
    QTest::addColumn<int>("field"); // 0 purchase price, 1 quantity, 2 sale price, 3 sold, 4 stock
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("modify");
    QTest::newRow("1.2.3 price") << 0 << u"1.2.3"_s << false;
    QTest::newRow("lone point quantity") << 1 << u"."_s << false;
    QTest::newRow("blanks sale price") << 2 << u"  "_s << false;
    QTest::newRow("empty price") << 0 << QString() << false;
    QTest::newRow("text in sold") << 3 << u"abc"_s << false;
    QTest::newRow("padded stock") << 4 << u" 5"_s << false;
    QTest::newRow("comma decimal") << 0 << u"3,5"_s << false;
    QTest::newRow("modify: 1.2.3 quantity") << 1 << u"1.2.3"_s << true;
    QTest::newRow("modify: blanks price") << 0 << u" "_s << true;
}

void TestStockBook::badNumberWritesNothing()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(bool, modify);
    StockBook book(m_database->db());
    const qint64 id = book.add(m_admin, entry(u"2"_s, u"10"_s, u"6"_s));
    StockEntry e = entry(u"3"_s, u"4"_s, u"5"_s);
    e.name = u"不该写入"_s;
    QString *fields[] = {&e.purchasePrice, &e.quantity, &e.salePrice, &e.sold, &e.stockQuantity};
    *fields[field] = text;
    try {
        if (modify)
            book.modify(m_admin, id, e);
        else
            book.add(m_admin, e);
        QFAIL("the record was accepted");
    } catch (const InvalidNumber &error) {
        QCOMPARE(error.message(), u"'%1' is not a valid floating point value"_s.arg(text));
        QCOMPARE(error.text(), text);
    }
    QCOMPARE(rowCount(), 1);
    QCOMPARE(ScalarValue(m_database->db(), u"select a from data where id = ?"_s, {id}).toString(),
             u"新秀丽拉杆箱"_s);
    QCOMPARE(numbers(id), (QList<double>{2, 10, 20, 6, 0, 0, 10, 20}));
}

void TestStockBook::refusedValueWritesNothing_data()
{
    // 0 purchase price, 1 quantity, 2 sale price, 3 sold, 4 stock, 5 name, 6 code, 7 remark
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("modify");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("caption");
    QTest::newRow("price 1e308 (amount would be infinite)")
        << 0 << u"1e308"_s << false << u"1"_s << u"进货单价"_s;
    QTest::newRow("quantity 1e200") << 1 << u"1e200"_s << false << u"2"_s << u"进货数量"_s;
    QTest::newRow("sale price over a billion") << 2 << u"1000000000.5"_s << false << u"4"_s << u"销售单价"_s;
    QTest::newRow("sold 1e300") << 3 << u"1e300"_s << false << u"5"_s << u"销售数量"_s;
    QTest::newRow("stock -1e300") << 4 << u"-1e300"_s << false << u"7"_s << u"库存数量"_s;
    QTest::newRow("negative quantity received") << 1 << u"-3"_s << false << u"2"_s << u"进货数量"_s;
    QTest::newRow("negative purchase price") << 0 << u"-0.5"_s << false << u"1"_s << u"进货单价"_s;
    QTest::newRow("name of 101 characters")
        << 5 << QString(101, QChar(0x7bb1)) << false << u"a"_s << u"商品名称"_s;
    QTest::newRow("NUL in the code") << 6 << (u"69"_s + QChar(0) + u"01"_s) << false << u"c"_s
                                     << u"商品编码"_s;
    QTest::newRow("control character in remark")
        << 7 << (u"a"_s + QChar(7) + u"b"_s) << false << u"z"_s << u"备注"_s;
    QTest::newRow("modify: price 1e308") << 0 << u"1e308"_s << true << u"1"_s << u"进货单价"_s;
    QTest::newRow("modify: negative quantity") << 1 << u"-1"_s << true << u"2"_s << u"进货数量"_s;
    QTest::newRow("modify: name too long") << 5 << QString(150, u'x') << true << u"a"_s << u"商品名称"_s;
}

void TestStockBook::refusedValueWritesNothing()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(bool, modify);
    QFETCH(QString, column);
    QFETCH(QString, caption);
    StockBook book(m_database->db());
    const qint64 id = book.add(m_admin, entry(u"2"_s, u"10"_s, u"6"_s));
    StockEntry e = entry(u"3"_s, u"4"_s, u"5"_s);
    QString *fields[] = {&e.purchasePrice, &e.quantity, &e.salePrice, &e.sold,
                         &e.stockQuantity, &e.name,     &e.code,      &e.remark};
    *fields[field] = text;
    try {
        if (modify)
            book.modify(m_admin, id, e);
        else
            book.add(m_admin, e);
        QFAIL("the record was accepted");
    } catch (const RefusedValue &error) {
        QCOMPARE(error.column(), column);
        QVERIFY2(error.message().startsWith(caption), qPrintable(error.message()));
    }
    QCOMPARE(rowCount(), 1);
    QCOMPARE(numbers(id), (QList<double>{2, 10, 20, 6, 0, 0, 10, 20}));
}

void TestStockBook::longestTextsAreStored()
{
    // Every text at its limit, in three-byte characters: both engines take
    // the record, PostgreSQL's index on name, spec, code and category too.
    StockEntry e = entry(u"3"_s, u"4"_s, u"5"_s);
    e.name = QString(FieldLimits::maxLength(u"a"), QChar(0x7bb1));
    e.spec = QString(FieldLimits::maxLength(u"b"), QChar(0x5bf8));
    e.code = QString(FieldLimits::maxLength(u"c"), QChar(0x7801));
    e.category = QString(FieldLimits::maxLength(u"d"), QChar(0x5305));
    e.supplier = QString(FieldLimits::maxLength(u"g"), QChar(0x738b));
    e.remark = QString(FieldLimits::maxLength(u"z"), QChar(0x6ce8));
    StockBook book(m_database->db());
    const qint64 id = book.add(m_admin, e);
    book.modify(m_admin, id, e);
    QSqlQuery row =
        OpenStatement(m_database->db(), u"select a, b, c, d, g, z from data where id = ?"_s, {id});
    QVERIFY(row.next());
    const QStringList stored{row.value(0).toString(), row.value(1).toString(), row.value(2).toString(),
                             row.value(3).toString(), row.value(4).toString(), row.value(5).toString()};
    QCOMPARE(stored, (QStringList{e.name, e.spec, e.code, e.category, e.supplier, e.remark}));
}

void TestStockBook::missingDateWritesNothing()
{
    StockBook book(m_database->db());
    StockEntry e = entry(u"3"_s, u"4"_s, u"5"_s);
    e.stockInDate = QDate();
    QVERIFY_THROWS_EXCEPTION(DatabaseError, book.add(m_admin, e));
    QCOMPARE(rowCount(), 0);
}

void TestStockBook::removeDeletesOneRow()
{
    StockBook book(m_database->db());
    const qint64 first = book.add(m_admin, entry(u"2"_s, u"10"_s, u"6"_s));
    const qint64 second = book.add(m_admin, entry(u"3"_s, u"1"_s, u"6"_s));
    QVERIFY(book.remove(m_admin, first));
    QVERIFY(!book.remove(m_admin, first));
    QVERIFY(!book.remove(m_admin, 987654));
    QCOMPARE(rowCount(), 1);
    QCOMPARE(ScalarValue(m_database->db(), u"select id from data"_s).toLongLong(), second);
}

void TestStockBook::toNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("whole") << u"10"_s << 10.0;
    QTest::newRow("decimal") << u"3.5"_s << 3.5;
    QTest::newRow("trailing point") << u"5."_s << 5.0;
    QTest::newRow("leading point") << u".25"_s << 0.25;
    QTest::newRow("leading zeros") << u"007"_s << 7.0;
    QTest::newRow("negative") << u"-2"_s << -2.0;
}

void TestStockBook::toNumber()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(StockBook::toNumber(text), value);
}

QTEST_GUILESS_MAIN(TestStockBook)
#include "tst_stockbook.moc"

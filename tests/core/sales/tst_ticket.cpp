#include "TestDatabase.h"
#include "data/QueryHelpers.h"
#include "data/SqlListModel.h"
#include "sales/SalesLedger.h"
#include "sales/Ticket.h"

#include <QtTest>

using namespace Qt::StringLiterals;

// The lines of one order number, the total, the change and the checks before
// a receipt, on the engine of this run.
class TestTicket : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qInfo("database backend: %s", qPrintable(TestDatabase::backendName())); }
    void linesOfExactlyThisOrder_data();
    void linesOfExactlyThisOrder();
    void listQueryMatchesLines_data();
    void listQueryMatchesLines();
    void linesKeepBookingOrderAndValues();
    void change_data();
    void change();
    void checkBeforePrinting_data();
    void checkBeforePrinting();
    void parseAmount_data();
    void parseAmount();

private:
    // Books the sales onto their order numbers from one stock row.
    static void bookSales(Database &db);
};

namespace {
struct Sale
{
    QString order;
    QString name;
    double price;
    double quantity;
};

const QList<Sale> kSales{
    {u"20261208100"_s, u"新秀丽拉杆箱"_s, 12.5, 3}, // 37.5
    {u"20261208100"_s, u"双肩包"_s, 40, 2},         // 80
    {u"202612081001"_s, u"钱包"_s, 99, 1},          // a four-digit counter of the same day
    {u"120261208100"_s, u"腰包"_s, 10, 1},          // contains the number as well
    {u"O'Brien \"7\""_s, u"手提包"_s, 25, 1},       // quotes typed into the order box
    {u"20261208200"_s, u"旅行袋"_s, 30, 1},         // a sale and its return cancel out
    {u"20261208200"_s, u"旅行袋"_s, 30, -1},
};
} // namespace

void TestTicket::bookSales(Database &db)
{
    const QString insert = u"insert into data (a, b, c, d, \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", "
                           u"\"8\", day1) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s +
                           Dialect::returningKey(u"id"_s);
    SalesLedger ledger(db);
    for (const Sale &s : kSales) {
        const qint64 id = ScalarValue(db, insert,
                                      {s.name, u"黑色"_s, u"6901"_s, u"箱包"_s, 10.0, 100.0, 1000.0, 50.0,
                                       0.0, 0.0, 100.0, 1000.0, db.dialect().dateValue(QDate(2026, 12, 1))})
                              .toLongLong();
        SaleRequest sale;
        sale.stockId = id;
        sale.price = s.price;
        sale.quantity = s.quantity;
        sale.orderNumber = s.order;
        sale.saleDate = QDate(2026, 12, 8);
        QCOMPARE(ledger.book(sale).result, SaleBooking::Result::Booked);
    }
}

void TestTicket::linesOfExactlyThisOrder_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<double>("total");

    QTest::newRow("three-digit counter, not its four-digit neighbours")
        << u"20261208100"_s << QStringList{u"新秀丽拉杆箱"_s, u"双肩包"_s} << 117.5;
    QTest::newRow("four-digit counter") << u"202612081001"_s << QStringList{u"钱包"_s} << 99.0;
    QTest::newRow("blanks around the box text")
        << u"  20261208100 "_s << QStringList{u"新秀丽拉杆箱"_s, u"双肩包"_s} << 117.5;
    QTest::newRow("empty box: no lines") << QString() << QStringList{} << 0.0;
    QTest::newRow("blank box: no lines") << u"   "_s << QStringList{} << 0.0;
    QTest::newRow("part of a number is no number") << u"2026120810"_s << QStringList{} << 0.0;
    QTest::newRow("quotes are part of the number") << u"O'Brien \"7\""_s << QStringList{u"手提包"_s} << 25.0;
    QTest::newRow("a quote alone matches nothing") << u"'"_s << QStringList{} << 0.0;
    QTest::newRow("like wildcards are plain characters") << u"2026120810%"_s << QStringList{} << 0.0;
    QTest::newRow("sale and return total 0")
        << u"20261208200"_s << QStringList{u"旅行袋"_s, u"旅行袋"_s} << 0.0;
}

void TestTicket::linesOfExactlyThisOrder()
{
    QFETCH(QString, box);
    QFETCH(QStringList, names);
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    bookSales(t.db());

    const QList<TicketLine> lines = Ticket(t.db()).lines(box);
    QStringList found;
    for (const TicketLine &line : lines)
        found << line.name;
    QCOMPARE(found, names);
    QTEST(Ticket::total(lines), "total");
}

void TestTicket::listQueryMatchesLines_data()
{
    linesOfExactlyThisOrder_data();
}

// The ticket's list (lazy model with footer sums) shows the same lines.
void TestTicket::listQueryMatchesLines()
{
    QFETCH(QString, box);
    QFETCH(QStringList, names);
    QFETCH(double, total);
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    bookSales(t.db());

    SqlListModel model(t.db());
    model.setSumFields({u"3"_s, u"4"_s});
    model.setQuery(Ticket::listQuery(box));
    QVERIFY2(model.errorText().isEmpty(), qPrintable(model.errorText()));
    QCOMPARE(model.totalCount(), names.size());
    QStringList found;
    for (int row = 0; row < model.rowCount(); ++row)
        found << model.value(row, u"a"_s).toString();
    QCOMPARE(found, names);
    QCOMPARE(model.sum(u"4"_s).toDouble(), total);
}

void TestTicket::linesKeepBookingOrderAndValues()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    bookSales(t.db());
    const QList<TicketLine> lines = Ticket(t.db()).lines(u"20261208100"_s);
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.at(0).id < lines.at(1).id);
    QCOMPARE(lines.at(0).spec, u"黑色"_s);
    QCOMPARE(lines.at(0).quantity, 3.0);
    QCOMPARE(lines.at(0).unitPrice, 12.5);
    QCOMPARE(lines.at(0).amount, 37.5);
    QCOMPARE(lines.at(1).amount, 80.0);

    const QList<TicketLine> returned = Ticket(t.db()).lines(u"20261208200"_s);
    QCOMPARE(returned.size(), 2);
    QCOMPARE(returned.at(1).quantity, -1.0);
    QCOMPARE(returned.at(1).amount, -30.0);
}

void TestTicket::change_data()
{
    QTest::addColumn<QString>("cash");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("change"); // null: the change box keeps its text

    QTest::newRow("100 for 37.5") << u"100"_s << u"37.5"_s << u"62.5"_s;
    QTest::newRow("exact cash") << u"37.5"_s << u"37.5"_s << u"0"_s;
    QTest::newRow("short cash shows a negative change") << u"20"_s << u"37.5"_s << u"-17.5"_s;
    QTest::newRow("binary fractions read as typed") << u"0.3"_s << u"0.1"_s << u"0.2"_s;
    QTest::newRow("leading point") << u".5"_s << u"0"_s << u"0.5"_s;
    QTest::newRow("return ticket") << u"0"_s << u"-30"_s << u"30"_s;
    QTest::newRow("empty cash") << QString() << u"37.5"_s << QString();
    QTest::newRow("two points") << u"1.2.3"_s << u"37.5"_s << QString();
    QTest::newRow("lone point") << u"."_s << u"37.5"_s << QString();
}

void TestTicket::change()
{
    QFETCH(QString, cash);
    QFETCH(QString, total);
    QFETCH(QString, change);
    const std::optional<QString> result = Ticket::changeText(cash, total);
    QCOMPARE(result.has_value(), !change.isNull());
    if (result)
        QCOMPARE(*result, change);
}

void TestTicket::checkBeforePrinting_data()
{
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("cash");
    QTest::addColumn<int>("check");
    QTest::addColumn<QString>("message");

    using C = Ticket::PrintCheck;
    QTest::newRow("nothing sold") << u"0"_s << u"100"_s << int(C::NothingSold) << u"先进行销售"_s;
    QTest::newRow("nothing sold comes before empty cash")
        << u"0"_s << QString() << int(C::NothingSold) << u"先进行销售"_s;
    QTest::newRow("cash empty") << u"37.5"_s << QString() << int(C::CashMissing) << u"输入现金额"_s;
    QTest::newRow("cash blank") << u"37.5"_s << u"  "_s << int(C::CashMissing) << u"输入现金额"_s;
    QTest::newRow("cash two points") << u"37.5"_s << u"10.0.5"_s << int(C::CashInvalid)
                                     << u"现金额不是有效的数字，请重新输入"_s;
    QTest::newRow("cash short") << u"37.5"_s << u"37.49"_s << int(C::CashShort) << u"现金不足"_s;
    QTest::newRow("cash equal passes") << u"37.5"_s << u"37.5"_s << int(C::Ready) << QString();
    QTest::newRow("cash more passes") << u"37.5"_s << u"100"_s << int(C::Ready) << QString();
    QTest::newRow("compared as numbers, not as text") << u"9"_s << u"10"_s << int(C::Ready) << QString();
    QTest::newRow("sums read as shown") << u"0.3"_s << u"0.3"_s << int(C::Ready) << QString();
    QTest::newRow("return ticket with cash 0") << u"-30"_s << u"0"_s << int(C::Ready) << QString();
}

void TestTicket::checkBeforePrinting()
{
    QFETCH(QString, total);
    QFETCH(QString, cash);
    QFETCH(int, check);
    const Ticket::PrintCheck result = Ticket::checkBeforePrinting(total, cash);
    QCOMPARE(int(result), check);
    QTEST(Ticket::message(result), "message");
}

void TestTicket::parseAmount_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("value");

    QTest::newRow("whole") << u"100"_s << true << 100.0;
    QTest::newRow("decimal") << u"37.5"_s << true << 37.5;
    QTest::newRow("trailing point") << u"5."_s << true << 5.0;
    QTest::newRow("leading point") << u".25"_s << true << 0.25;
    QTest::newRow("blanks") << u" 12 "_s << true << 12.0;
    QTest::newRow("empty") << QString() << false << 0.0;
    QTest::newRow("lone point") << u"."_s << false << 0.0;
    QTest::newRow("two points") << u"1..2"_s << false << 0.0;
    QTest::newRow("exponent") << u"1e5"_s << false << 0.0;
    QTest::newRow("infinity") << u"inf"_s << false << 0.0;
}

void TestTicket::parseAmount()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const std::optional<double> result = Ticket::parseAmount(text);
    QCOMPARE(result.has_value(), valid);
    if (valid)
        QTEST(*result, "value");
}

QTEST_GUILESS_MAIN(TestTicket)
#include "tst_ticket.moc"

#include "sales/SaleCompute.h"

#include <QtTest>

// The sale panel's figures: what a line books in which written form, the
// discount, the amount, "退", and which typed text counts as a number.
class TestSaleCompute : public QObject
{
    Q_OBJECT

private slots:
    void parseNumber_data();
    void parseNumber();
    void compute_data();
    void compute();
    void computeNeedsTwoNumbers_data();
    void computeNeedsTwoNumbers();
    void amountText_data();
    void amountText();
    void discountedPrice_data();
    void discountedPrice();
    void toggledReturn_data();
    void toggledReturn();
};

void TestSaleCompute::parseNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("value");

    QTest::newRow("whole") << QStringLiteral("3") << true << 3.0;
    QTest::newRow("decimal") << QStringLiteral("12.5") << true << 12.5;
    QTest::newRow("trailing point") << QStringLiteral("1.") << true << 1.0;
    QTest::newRow("leading point") << QStringLiteral(".5") << true << 0.5;
    QTest::newRow("blanks around") << QStringLiteral(" 7 ") << true << 7.0;
    QTest::newRow("negative (a return)") << QStringLiteral("-2") << true << -2.0;
    QTest::newRow("leading zeros") << QStringLiteral("007") << true << 7.0;
    QTest::newRow("two points") << QStringLiteral("1.2.3") << false << 0.0;
    QTest::newRow("lone point") << QStringLiteral(".") << false << 0.0;
    QTest::newRow("empty") << QString() << false << 0.0;
    QTest::newRow("blanks only") << QStringLiteral("  ") << false << 0.0;
    QTest::newRow("exponent") << QStringLiteral("1e5") << false << 0.0;
    QTest::newRow("thousands separator") << QStringLiteral("1,000") << false << 0.0;
    QTest::newRow("inf") << QStringLiteral("inf") << false << 0.0;
    QTest::newRow("nan") << QStringLiteral("nan") << false << 0.0;
    QTest::newRow("lone minus") << QStringLiteral("-") << false << 0.0;
}

void TestSaleCompute::parseNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(double, value);
    const std::optional<double> parsed = SaleCompute::parseNumber(text);
    QCOMPARE(parsed.has_value(), isNumber);
    if (isNumber)
        QCOMPARE(*parsed, value);
}

void TestSaleCompute::compute_data()
{
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<double>("stock");
    QTest::addColumn<double>("sold");
    QTest::addColumn<double>("salesAmount");
    QTest::addColumn<double>("purchasePrice");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("newSalesAmount");
    QTest::addColumn<QString>("newStockQuantity");
    QTest::addColumn<QString>("newStockAmount");
    QTest::addColumn<QString>("newSoldQuantity");
    QTest::addColumn<QString>("netProfit");

    QTest::newRow("12.5 x 3 of stock 10, sold 4 for 50")
        << QStringLiteral("12.5") << QStringLiteral("3") << 10.0 << 4.0 << 50.0 << 10.0
        << QStringLiteral("37.5") << QStringLiteral("87.5") << QStringLiteral("7.00") << QStringLiteral("70")
        << QStringLiteral("7") << QStringLiteral("7.50");
    QTest::newRow("return of 1 against stock 0")
        << QStringLiteral("100") << QStringLiteral("-1") << 0.0 << 1.0 << 100.0 << 80.0
        << QStringLiteral("-100") << QStringLiteral("0") << QStringLiteral("1.00") << QStringLiteral("80")
        << QStringLiteral("0") << QStringLiteral("-20.00");
    QTest::newRow("fractional return keeps its fraction")
        << QStringLiteral("20") << QStringLiteral("-0.5") << 1.0 << 1.0 << 20.0 << 10.0
        << QStringLiteral("-10") << QStringLiteral("10") << QStringLiteral("1.50") << QStringLiteral("15")
        << QStringLiteral("0.5") << QStringLiteral("-5.00");
    // Stock is rounded to cents, the stock amount is not: it comes from the
    // unrounded difference 0.667.
    QTest::newRow("0.333 of 1: only the stock quantity rounded")
        << QStringLiteral("45") << QStringLiteral("0.333") << 1.0 << 0.0 << 0.0 << 30.0
        << QStringLiteral("14.985") << QStringLiteral("14.985") << QStringLiteral("0.67")
        << QStringLiteral("20.01") << QStringLiteral("0.333") << QStringLiteral("5.00");
    // 1.005 lies just below itself in binary; the profit rounds the decimal
    // number the operator sees.
    QTest::newRow("profit 1.005 rounds up")
        << QStringLiteral("2.005") << QStringLiteral("1") << 5.0 << 0.0 << 0.0 << 1.0
        << QStringLiteral("2.005") << QStringLiteral("2.005") << QStringLiteral("4.00") << QStringLiteral("4")
        << QStringLiteral("1") << QStringLiteral("1.01");
    QTest::newRow("0.1 x 3 has no binary tail")
        << QStringLiteral("0.1") << QStringLiteral("3") << 3.0 << 0.0 << 0.2 << 0.05 << QStringLiteral("0.3")
        << QStringLiteral("0.5") << QStringLiteral("0.00") << QStringLiteral("0") << QStringLiteral("3")
        << QStringLiteral("0.15");
    QTest::newRow("sale below cost") << QStringLiteral("40") << QStringLiteral("1") << 3.0 << 0.0 << 0.0
                                     << 50.0 << QStringLiteral("40") << QStringLiteral("40")
                                     << QStringLiteral("2.00") << QStringLiteral("100") << QStringLiteral("1")
                                     << QStringLiteral("-10.00");
    QTest::newRow("large amount without separators")
        << QStringLiteral("1234567.5") << QStringLiteral("2") << 2.0 << 0.0 << 0.0 << 1000000.0
        << QStringLiteral("2469135") << QStringLiteral("2469135") << QStringLiteral("0.00")
        << QStringLiteral("0") << QStringLiteral("2") << QStringLiteral("469135.00");
}

void TestSaleCompute::compute()
{
    QFETCH(QString, price);
    QFETCH(QString, quantity);
    QFETCH(double, stock);
    QFETCH(double, sold);
    QFETCH(double, salesAmount);
    QFETCH(double, purchasePrice);
    const std::optional<SaleCompute::Figures> figures =
        SaleCompute::compute(price, quantity, {stock, sold, salesAmount, purchasePrice});
    QVERIFY(figures);
    QTEST(figures->amount, "amount");
    QTEST(figures->newSalesAmount, "newSalesAmount");
    QTEST(figures->newStockQuantity, "newStockQuantity");
    QTEST(figures->newStockAmount, "newStockAmount");
    QTEST(figures->newSoldQuantity, "newSoldQuantity");
    QTEST(figures->netProfit, "netProfit");
}

void TestSaleCompute::computeNeedsTwoNumbers_data()
{
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("quantity");
    QTest::newRow("no price") << QString() << QStringLiteral("1");
    QTest::newRow("no quantity") << QStringLiteral("10") << QString();
    QTest::newRow("price with two points") << QStringLiteral("1.2.3") << QStringLiteral("1");
    QTest::newRow("quantity a lone point") << QStringLiteral("10") << QStringLiteral(".");
}

void TestSaleCompute::computeNeedsTwoNumbers()
{
    QFETCH(QString, price);
    QFETCH(QString, quantity);
    QVERIFY(!SaleCompute::compute(price, quantity, {10, 0, 0, 5}));
    QVERIFY(SaleCompute::amountText(price, quantity).isEmpty());
}

void TestSaleCompute::amountText_data()
{
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("amount");
    QTest::newRow("12.5 x 3") << QStringLiteral("12.5") << QStringLiteral("3") << QStringLiteral("37.5");
    QTest::newRow("0.1 x 3") << QStringLiteral("0.1") << QStringLiteral("3") << QStringLiteral("0.3");
    QTest::newRow("return") << QStringLiteral("34") << QStringLiteral("-2") << QStringLiteral("-68");
    QTest::newRow("zero") << QStringLiteral("34") << QStringLiteral("0") << QStringLiteral("0");
}

void TestSaleCompute::amountText()
{
    QFETCH(QString, price);
    QFETCH(QString, quantity);
    QTEST(SaleCompute::amountText(price, quantity), "amount");
}

void TestSaleCompute::discountedPrice_data()
{
    QTest::addColumn<QString>("discount");
    QTest::addColumn<QString>("suggested");
    QTest::addColumn<QString>("price"); // "none": the price box is left as it is

    QTest::newRow("85 of 40") << QStringLiteral("85") << QStringLiteral("40") << QStringLiteral("34");
    QTest::newRow("100 keeps the price")
        << QStringLiteral("100") << QStringLiteral("12.5") << QStringLiteral("12.5");
    QTest::newRow("0 gives it away") << QStringLiteral("0") << QStringLiteral("40") << QStringLiteral("0");
    QTest::newRow("95 of 19.9 without a binary tail")
        << QStringLiteral("95") << QStringLiteral("19.9") << QStringLiteral("18.905");
    QTest::newRow("empty discount") << QString() << QStringLiteral("40") << QStringLiteral("none");
    QTest::newRow("no suggested price") << QStringLiteral("85") << QString() << QStringLiteral("none");
    QTest::newRow("discount no number")
        << QStringLiteral("8.5.") << QStringLiteral("40") << QStringLiteral("none");
}

void TestSaleCompute::discountedPrice()
{
    QFETCH(QString, discount);
    QFETCH(QString, suggested);
    QFETCH(QString, price);
    const std::optional<QString> result = SaleCompute::discountedPrice(discount, suggested);
    QCOMPARE(result.value_or(QStringLiteral("none")), price);
}

void TestSaleCompute::toggledReturn_data()
{
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("toggled"); // "none": left as it is

    QTest::newRow("2 -> -2") << QStringLiteral("2") << QStringLiteral("-2");
    QTest::newRow("-2 -> 2") << QStringLiteral("-2") << QStringLiteral("2");
    QTest::newRow("0 stays 0") << QStringLiteral("0") << QStringLiteral("0");
    QTest::newRow("fraction keeps its digits") << QStringLiteral("0.5") << QStringLiteral("-0.5");
    QTest::newRow("negative fraction back") << QStringLiteral("-1.25") << QStringLiteral("1.25");
    QTest::newRow("two points") << QStringLiteral("1.2.3") << QStringLiteral("none");
    QTest::newRow("empty") << QString() << QStringLiteral("none");
}

void TestSaleCompute::toggledReturn()
{
    QFETCH(QString, quantity);
    QFETCH(QString, toggled);
    const std::optional<QString> result = SaleCompute::toggledReturn(quantity);
    QCOMPARE(result.value_or(QStringLiteral("none")), toggled);
    // Pressing twice gives the quantity back.
    if (result && quantity != QStringLiteral("0"))
        QCOMPARE(SaleCompute::toggledReturn(*result).value_or(QString()), quantity);
}

QTEST_GUILESS_MAIN(TestSaleCompute)
#include "tst_salecompute.moc"

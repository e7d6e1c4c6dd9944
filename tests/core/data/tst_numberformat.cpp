#include "data/NumberFormat.h"

#include <QtTest>

#include <limits>

// The display patterns of the list columns, the general number form and the
// whole-number rounding behind the stock alarm.
class TestNumberFormat : public QObject
{
    Q_OBJECT

private slots:
    void pattern_data();
    void pattern();
    void general_data();
    void general();
    void valueCells_data();
    void valueCells();
    void roundHalfEven_data();
    void roundHalfEven();
    void alarmQuantity_data();
    void alarmQuantity();
    void alarmRows_data();
    void alarmRows();
};

void TestNumberFormat::pattern_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected");
    const QString q = QStringLiteral("#0.###");
    const QString a = QStringLiteral("#0.##");
    QTest::newRow("zero") << 0.0 << q << QStringLiteral("0");
    QTest::newRow("negative zero") << -0.0 << a << QStringLiteral("0");
    QTest::newRow("one decimal kept") << 1.5 << q << QStringLiteral("1.5");
    QTest::newRow("trailing zeros dropped") << 2.0 << a << QStringLiteral("2");
    QTest::newRow("quantity three decimals") << 0.1235 << q << QStringLiteral("0.124");
    QTest::newRow("amount two decimals") << 0.1235 << a << QStringLiteral("0.12");
    QTest::newRow("negative rounded") << -3.456 << a << QStringLiteral("-3.46");
    QTest::newRow("no thousands separator, no exponent") << 1e7 << a << QStringLiteral("10000000");
    QTest::newRow("thirds") << 0.333 << a << QStringLiteral("0.33");
    QTest::newRow("two thirds") << 2.0 / 3.0 << q << QStringLiteral("0.667");
    // Half-way cases round away from zero on the decimal text, although
    // 1.005 and 2.675 are stored slightly below the half.
    QTest::newRow("1.005 up") << 1.005 << a << QStringLiteral("1.01");
    QTest::newRow("2.675 up") << 2.675 << a << QStringLiteral("2.68");
    QTest::newRow("0.0005 up") << 0.0005 << q << QStringLiteral("0.001");
    QTest::newRow("-0.005 away from zero") << -0.005 << a << QStringLiteral("-0.01");
    QTest::newRow("just below half") << 0.00499 << a << QStringLiteral("0");
    QTest::newRow("tiny negative is zero") << -0.0001 << a << QStringLiteral("0");
    QTest::newRow("carry into integer") << 9.999 << a << QStringLiteral("10");
    QTest::newRow("carry adds a digit") << 99.9996 << q << QStringLiteral("100");
    QTest::newRow("sum noise hidden") << 0.1 + 0.2 << a << QStringLiteral("0.3");
    QTest::newRow("large amount") << 123456789.125 << a << QStringLiteral("123456789.13");
    QTest::newRow("fixed two decimals") << 3.0 << QStringLiteral("0.00") << QStringLiteral("3.00");
    QTest::newRow("fixed rounds") << 3.14159 << QStringLiteral("0.00") << QStringLiteral("3.14");
    QTest::newRow("no decimals rounds half up") << 2.5 << QStringLiteral("#0") << QStringLiteral("3");
    QTest::newRow("empty pattern is general") << 0.1 + 0.2 << QString() << QStringLiteral("0.3");
}

void TestNumberFormat::pattern()
{
    QFETCH(double, value);
    QFETCH(QString, pattern);
    QFETCH(QString, expected);
    QCOMPARE(NumberFormat::format(value, pattern), expected);
}

void TestNumberFormat::general_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << 0.0 << QStringLiteral("0");
    QTest::newRow("integer") << 100.0 << QStringLiteral("100");
    QTest::newRow("fraction") << -2.5 << QStringLiteral("-2.5");
    QTest::newRow("float noise") << 0.1 + 0.2 << QStringLiteral("0.3");
    QTest::newRow("fifteen digits") << 999999999999999.0 << QStringLiteral("999999999999999");
    QTest::newRow("sixteen digits") << 1e15 << QStringLiteral("1E15");
    QTest::newRow("rounded to fifteen") << 123456789012345678.0 << QStringLiteral("1.23456789012346E17");
    QTest::newRow("small kept") << 0.0001 << QStringLiteral("0.0001");
    QTest::newRow("smaller in exponent") << 0.00001 << QStringLiteral("1E-5");
    QTest::newRow("price") << 35.8 << QStringLiteral("35.8");
}

void TestNumberFormat::general()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(NumberFormat::general(value), expected);
}

void TestNumberFormat::valueCells_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("expected");
    QTest::newRow("null") << QVariant() << QStringLiteral("#0.##") << QString();
    QTest::newRow("typed null double")
        << QVariant(QMetaType::fromType<double>()) << QStringLiteral("#0.##") << QString();
    QTest::newRow("double") << QVariant(12.345) << QStringLiteral("#0.##") << QStringLiteral("12.35");
    QTest::newRow("integer from count")
        << QVariant(qlonglong(7)) << QStringLiteral("#0.###") << QStringLiteral("7");
    QTest::newRow("text stays text") << QVariant(QStringLiteral("箱包")) << QStringLiteral("#0.##")
                                     << QStringLiteral("箱包");
    QTest::newRow("date") << QVariant(QDate(2024, 1, 5)) << QString() << QStringLiteral("2024-01-05");
}

void TestNumberFormat::valueCells()
{
    QFETCH(QVariant, value);
    QFETCH(QString, pattern);
    QFETCH(QString, expected);
    QCOMPARE(NumberFormat::formatValue(value, pattern), expected);
}

void TestNumberFormat::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");
    QTest::newRow("4.5 down") << 4.5 << 4.0;
    QTest::newRow("5.5 up") << 5.5 << 6.0;
    QTest::newRow("5.4") << 5.4 << 5.0;
    QTest::newRow("-0.5 to zero") << -0.5 << 0.0;
    QTest::newRow("-1.5") << -1.5 << -2.0;
}

void TestNumberFormat::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(double, expected);
    QCOMPARE(NumberFormat::roundHalfEven(value), expected);
}

void TestNumberFormat::alarmQuantity_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    const int maxInt = std::numeric_limits<int>::max();
    QTest::newRow("initial") << QStringLiteral("5") << 5;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("largest 32-bit") << QStringLiteral("2147483647") << maxInt;
    QTest::newRow("just beyond") << QStringLiteral("2147483648") << maxInt;
    QTest::newRow("beyond 64-bit") << QStringLiteral("99999999999999999999999") << maxInt;
    QTest::newRow("garbage") << QStringLiteral("abc") << 0;
}

void TestNumberFormat::alarmQuantity()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(NumberFormat::alarmQuantity(text), expected);
}

void TestNumberFormat::alarmRows_data()
{
    QTest::addColumn<QVariant>("quantity");
    QTest::addColumn<QString>("alarm");
    QTest::addColumn<bool>("red");
    QTest::newRow("5 at alarm 5") << QVariant(5.0) << QStringLiteral("5") << true;
    QTest::newRow("6 above") << QVariant(6.0) << QStringLiteral("5") << false;
    QTest::newRow("5.4 rounds to 5") << QVariant(5.4) << QStringLiteral("5") << true;
    QTest::newRow("5.5 rounds to 6") << QVariant(5.5) << QStringLiteral("5") << false;
    QTest::newRow("4.5 rounds to 4") << QVariant(4.5) << QStringLiteral("5") << true;
    QTest::newRow("null counts as 0")
        << QVariant(QMetaType::fromType<double>()) << QStringLiteral("5") << true;
    QTest::newRow("alarm 0, stock 0") << QVariant(0.0) << QStringLiteral("0") << true;
    QTest::newRow("alarm 0, stock 0.6") << QVariant(0.6) << QStringLiteral("0") << false;
    QTest::newRow("negative stock") << QVariant(-3.0) << QStringLiteral("0") << true;
    QTest::newRow("stock beyond the largest alarm")
        << QVariant(1e12) << QStringLiteral("99999999999") << false;
    QTest::newRow("huge alarm, big stock") << QVariant(100000.0) << QStringLiteral("99999999999") << true;
}

void TestNumberFormat::alarmRows()
{
    QFETCH(QVariant, quantity);
    QFETCH(QString, alarm);
    QFETCH(bool, red);
    QCOMPARE(NumberFormat::isAtOrBelowAlarm(quantity, NumberFormat::alarmQuantity(alarm)), red);
}

QTEST_GUILESS_MAIN(TestNumberFormat)
#include "tst_numberformat.moc"

#include "sales/ReceiptLayout.h"

#include <QStringEncoder>
#include <QtTest>

using namespace Qt::StringLiterals;

// The POS receipt's lines, their positions and the GBK-width name column.
class TestReceiptLayout : public QObject
{
    Q_OBJECT

private slots:
    void gbkWidth_data();
    void gbkWidth();
    void nameField_data();
    void nameField();
    void lineText_data();
    void lineText();
    void money_data();
    void money();
    void wholeReceipt();
    void emptyTicketStillHasEveryBlock();
    void paperGrowsForLongTickets();
};

void TestReceiptLayout::gbkWidth_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::newRow("ascii") << u"ABC 12"_s << 6;
    QTest::newRow("chinese") << u"拉杆箱"_s << 6;
    QTest::newRow("mixed") << u"24寸箱"_s << 6;
    QTest::newRow("full-width punctuation") << u"（黑）"_s << 6;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("outside GBK prints as one ?") << u"包😀"_s << 3;
}

void TestReceiptLayout::gbkWidth()
{
    QFETCH(QString, text);
    QTEST(ReceiptLayout::gbkWidth(text), "width");
}

void TestReceiptLayout::nameField_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("field");

    QTest::newRow("three Chinese characters padded to 18") << u"拉杆箱"_s << u"拉杆箱"_s + QString(12, u' ');
    QTest::newRow("17 bytes padded to 18") << u"ABCDEFGHIJKLMNOPQ"_s << u"ABCDEFGHIJKLMNOPQ "_s;
    QTest::newRow("17 bytes, Chinese and ascii")
        << u"新秀丽拉杆箱24寸黑"_s.left(9) + u"X"_s << u"新秀丽拉杆箱24寸X"_s + u" "_s;
    QTest::newRow("18 bytes: kept and one blank") << u"ABCDEFGHIJKLMNOPQR"_s << u"ABCDEFGHIJKLMNOPQR "_s;
    QTest::newRow("18 bytes of nine Chinese characters")
        << u"新秀丽万向轮拉杆箱"_s << u"新秀丽万向轮拉杆箱 "_s;
    QTest::newRow("longer: cut after 18 bytes") << u"ABCDEFGHIJKLMNOPQRSTU"_s << u"ABCDEFGHIJKLMNOPQR "_s;
    QTest::newRow("18th byte starts a Chinese character: cut one byte earlier")
        << u"A新秀丽万向轮拉杆箱"_s << u"A新秀丽万向轮拉杆 "_s;
    QTest::newRow("cut inside the last character of 19 bytes")
        << u"ABCDEFGHIJKLMNOPQ箱"_s << u"ABCDEFGHIJKLMNOPQ "_s;
    QTest::newRow("cut between two Chinese characters")
        << u"新秀丽万向轮拉杆箱包"_s << u"新秀丽万向轮拉杆箱 "_s;
    QTest::newRow("empty name") << QString() << QString(18, u' ');
}

void TestReceiptLayout::nameField()
{
    QFETCH(QString, name);
    QFETCH(QString, field);
    const QString result = ReceiptLayout::nameField(name);
    QCOMPARE(result, field);
    // Printed through GBK, the field never ends in half a character.
    QStringEncoder gbk("GBK");
    QStringDecoder back("GBK");
    const QByteArray bytes = gbk.encode(result);
    QCOMPARE(QString(back.decode(bytes)), result);
    QVERIFY(bytes.size() >= 18 && bytes.size() <= 19);
}

void TestReceiptLayout::lineText_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("quantity");
    QTest::addColumn<double>("amount");
    QTest::addColumn<QString>("text");

    QTest::newRow("three characters, 2 for 360")
        << u"拉杆箱"_s << 2.0 << 360.0 << u"拉杆箱"_s + QString(12, u' ') + u" 2      360"_s;
    QTest::newRow("decimals in the general form")
        << u"双肩包"_s << 1.5 << 37.5 << u"双肩包"_s + QString(12, u' ') + u" 1.5      37.5"_s;
    QTest::newRow("return") << u"钱包"_s << -1.0 << -99.0
                            << u"钱包"_s + QString(14, u' ') + u" -1      -99"_s;
    QTest::newRow("18-byte name") << u"ABCDEFGHIJKLMNOPQR"_s << 3.0 << 37.5
                                  << u"ABCDEFGHIJKLMNOPQR  3      37.5"_s;
}

void TestReceiptLayout::lineText()
{
    QFETCH(QString, name);
    QFETCH(double, quantity);
    QFETCH(double, amount);
    TicketLine line;
    line.name = name;
    line.quantity = quantity;
    line.amount = amount;
    QTEST(ReceiptLayout::lineText(line), "text");
}

void TestReceiptLayout::money_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 100.0 << u"100.00"_s;
    QTest::newRow("one decimal") << 62.5 << u"62.50"_s;
    QTest::newRow("zero") << 0.0 << u"0.00"_s;
    QTest::newRow("rounds half away from zero as typed") << 1.005 << u"1.01"_s;
    QTest::newRow("negative") << -17.5 << u"-17.50"_s;
    QTest::newRow("large, no separator") << 123456.789 << u"123456.79"_s;
}

void TestReceiptLayout::money()
{
    QFETCH(double, value);
    QTEST(ReceiptLayout::money(value), "text");
}

void TestReceiptLayout::wholeReceipt()
{
    ReceiptData data;
    data.title = u"POS小票销售单"_s;
    data.slogan1 = u"岚蔚进销存软件提供技术支持"_s;
    data.slogan2 = u"官网：www.example.cn"_s;
    data.closing = u"欢迎下次惠顾！"_s;
    data.orderNumber = u"20261208001"_s;
    data.cashier = u"超级管理员"_s;
    data.printedAt = QDateTime(QDate(2026, 12, 8), QTime(15, 4, 5));
    TicketLine first;
    first.name = u"新秀丽拉杆箱"_s;
    first.quantity = 1;
    first.amount = 12.5;
    TicketLine second;
    second.name = u"双肩包"_s;
    second.quantity = 2;
    second.amount = 25;
    data.lines = {first, second};
    data.totalText = u"37.5"_s;
    data.cash = 100;
    data.change = 62.5;

    const QString rule(31, u'-');
    using F = ReceiptLine::Font;
    const QList<ReceiptLine> expected{
        {0, F::Title, u"   POS小票销售单"_s},
        {40, F::Body, rule},
        {60, F::Body, u"销售单号：20261208001"_s},
        {90, F::Body, u"收银员：超级管理员"_s},
        {120, F::Body, u"打印时间：2026-12-08 15:04:05 "_s},
        {150, F::Body, rule},
        {180, F::Body, u"商品名称         数量     金额 "_s},
        {210, F::Body, u"新秀丽拉杆箱"_s + QString(6, u' ') + u" 1      12.5"_s},
        {240, F::Body, u"双肩包"_s + QString(12, u' ') + u" 2      25"_s},
        {270, F::Body, rule},
        {300, F::Body, u"合计:37.5元  "_s},
        {330, F::Body, u"现金:100.00元  找零:62.50元"_s},
        {360, F::Body, rule},
        {390, F::Body, u"岚蔚进销存软件提供技术支持"_s},
        {420, F::Body, u"官网：www.example.cn"_s},
        {450, F::Body, rule},
        {480, F::Body, u"      欢迎下次惠顾！"_s},
        {510, F::Body, rule},
    };
    const QList<ReceiptLine> lines = ReceiptLayout::lines(data);
    QCOMPARE(lines.size(), expected.size());
    for (int i = 0; i < lines.size(); ++i) {
        QCOMPARE(lines.at(i).text, expected.at(i).text);
        QCOMPARE(lines.at(i).y, expected.at(i).y);
        QCOMPARE(lines.at(i).font, expected.at(i).font);
    }
    QCOMPARE(ReceiptLayout::paperLengthMm(lines), 250);
}

void TestReceiptLayout::emptyTicketStillHasEveryBlock()
{
    ReceiptData data;
    data.printedAt = QDateTime(QDate(2026, 1, 2), QTime(9, 0));
    data.totalText = u"0"_s;
    const QList<ReceiptLine> lines = ReceiptLayout::lines(data);
    QCOMPARE(lines.size(), 16);
    // Y = 210 with no lines: the rule under the titles takes the first line's place.
    QCOMPARE(lines.at(7).y, 210);
    QCOMPARE(lines.at(7).text, ReceiptLayout::rule());
    QCOMPARE(lines.at(9).text, u"现金:0.00元  找零:0.00元"_s);
    QCOMPARE(lines.at(4).text, u"打印时间：2026-01-02 09:00:00 "_s);
}

void TestReceiptLayout::paperGrowsForLongTickets()
{
    ReceiptData data;
    data.printedAt = QDateTime(QDate(2026, 1, 2), QTime(9, 0));
    for (int i = 0; i < 50; ++i) {
        TicketLine line;
        line.name = u"拉杆箱"_s;
        line.quantity = 1;
        line.amount = 10;
        data.lines.append(line);
    }
    const QList<ReceiptLine> few = ReceiptLayout::lines(data);
    // 50 lines end at 210 + 30 * 50 + 240 = 1950 dots, inside 250 mm (1998 dots).
    QCOMPARE(few.last().y, 1950);
    QCOMPARE(ReceiptLayout::paperLengthMm(few), 250);
    for (int i = 0; i < 30; ++i)
        data.lines.append(data.lines.first());
    const QList<ReceiptLine> many = ReceiptLayout::lines(data);
    const int needed = ReceiptLayout::paperLengthMm(many);
    QVERIFY(needed > 250);
    QVERIFY(many.last().y * 25.4 / ReceiptLayout::DotsPerInch < needed);
}

QTEST_GUILESS_MAIN(TestReceiptLayout)
#include "tst_receiptlayout.moc"

#include "sales/CapitalAmount.h"

#include <QtTest>

using namespace Qt::StringLiterals;

// Amounts in capital Chinese money numerals, as the order document prints
// them, and the refusal of texts that are not amounts.
class TestCapitalAmount : public QObject
{
    Q_OBJECT

private slots:
    void converts_data();
    void converts();
    void refusesBadCharacters_data();
    void refusesBadCharacters();
    void refusesAmountsBeyondTheUnits();
};

void TestCapitalAmount::converts_data()
{
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("capital");

    // Exact decimal: a binary double would make some of these one fen short.
    QTest::newRow("0.53") << u"0.53"_s << u"伍角叁分"_s;
    QTest::newRow("0.29") << u"0.29"_s << u"贰角玖分"_s;
    QTest::newRow("1.13") << u"1.13"_s << u"壹元壹角叁分"_s;
    QTest::newRow("4.35") << u"4.35"_s << u"肆元叁角伍分"_s;

    QTest::newRow("1234.56") << u"1234.56"_s << u"壹仟贰佰叁拾肆元伍角陆分"_s;
    QTest::newRow("10.05") << u"10.05"_s << u"壹拾元零伍分"_s;
    QTest::newRow("100.5") << u"100.5"_s << u"壹佰元伍角"_s;
    QTest::newRow("100") << u"100"_s << u"壹佰元整"_s;
    QTest::newRow("100.10") << u"100.10"_s << u"壹佰元壹角"_s;
    QTest::newRow("1001") << u"1001"_s << u"壹仟零壹元整"_s;
    QTest::newRow("7") << u"7"_s << u"柒元整"_s;
    QTest::newRow("10000") << u"10000"_s << u"壹万元整"_s;
    QTest::newRow("105000") << u"105000"_s << u"壹拾万伍仟元整"_s;
    QTest::newRow("1000100") << u"1000100"_s << u"壹佰万零壹佰元整"_s;
    QTest::newRow("100010000") << u"100010000"_s << u"壹亿零壹万元整"_s;
    QTest::newRow("100000000") << u"100000000"_s << u"壹亿元整"_s;
    QTest::newRow("20000.07") << u"20000.07"_s << u"贰万元零柒分"_s;
    QTest::newRow("no 零 after 元") << u"3000.1"_s << u"叁仟元壹角"_s;
    QTest::newRow("no 元 below one yuan") << u"0.5"_s << u"伍角"_s;
    QTest::newRow("fen only") << u"0.05"_s << u"伍分"_s;
    QTest::newRow("point first") << u".5"_s << u"伍角"_s;
    QTest::newRow("trailing point") << u"12."_s << u"壹拾贰元整"_s;
    QTest::newRow("leading zeros") << u"007"_s << u"柒元整"_s;

    // Further decimals are dropped, never rounded up.
    QTest::newRow("10.057") << u"10.057"_s << u"壹拾元零伍分"_s;
    QTest::newRow("0.999") << u"0.999"_s << u"玖角玖分"_s;

    QTest::newRow("zero") << u"0"_s << QString();
    QTest::newRow("zero with decimals") << u"0.00"_s << QString();
    QTest::newRow("below one fen") << u"0.004"_s << QString();
    QTest::newRow("empty") << QString() << QString();

    // The highest sections, and the largest amount the units reach.
    QTest::newRow("万亿") << u"1000000000000"_s << u"壹万亿元整"_s;
    QTest::newRow("亿亿 with a zero section") << u"10000000000000001"_s << u"壹亿亿零壹元整"_s;
    QTest::newRow("largest")
        << u"9999999999999999999999999999.99"_s
        << u"玖仟玖佰玖拾玖亿亿亿玖仟玖佰玖拾玖万亿亿玖仟玖佰玖拾玖亿亿"
           u"玖仟玖佰玖拾玖万亿玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分"_s;
}

void TestCapitalAmount::converts()
{
    QFETCH(QString, amount);
    QFETCH(QString, capital);
    const CapitalAmountResult result = CapitalAmountChecked(amount);
    QVERIFY(result.ok());
    QVERIFY(result.messages().isEmpty());
    QCOMPARE(result.text, capital);
    QCOMPARE(CapitalAmount(amount), capital);
}

void TestCapitalAmount::refusesBadCharacters_data()
{
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("code");

    QTest::newRow("12a") << u"12a"_s << u"97"_s;
    QTest::newRow("negative total after returns") << u"-50"_s << u"45"_s;
    QTest::newRow("first bad character wins") << u"1 2-"_s << u"32"_s;
    QTest::newRow("exponent") << u"1.5E20"_s << u"69"_s;
    QTest::newRow("second point") << u"1.2.3"_s << u"46"_s;
    QTest::newRow("full-width digit") << u"１2"_s << u"65297"_s;
    QTest::newRow("character beyond the BMP") << u"1𠀀"_s << u"131072"_s;
}

void TestCapitalAmount::refusesBadCharacters()
{
    QFETCH(QString, amount);
    QFETCH(QString, code);
    const CapitalAmountResult result = CapitalAmountChecked(amount);
    QCOMPARE(result.status, CapitalAmountResult::Status::BadCharacter);
    QVERIFY(result.text.isEmpty());
    QCOMPARE(result.messages(), (QStringList{code, u"读取错误，应为数字"_s}));
    QCOMPARE(CapitalAmount(amount), QString());
}

void TestCapitalAmount::refusesAmountsBeyondTheUnits()
{
    // 10^28 yuan needs a 31st digit, for which there is no unit.
    const CapitalAmountResult result = CapitalAmountChecked(u"10000000000000000000000000000"_s);
    QCOMPARE(result.status, CapitalAmountResult::Status::TooLarge);
    QVERIFY(result.text.isEmpty());
    QCOMPARE(result.messages().size(), 1);
    // Leading zeros do not count towards the size.
    QVERIFY(CapitalAmountChecked(u"000000001.5"_s).ok());
}

QTEST_GUILESS_MAIN(TestCapitalAmount)
#include "tst_capitalamount.moc"

#include "data/FieldLimits.h"

#include <QTest>

class TestFieldLimits : public QObject
{
    Q_OBJECT

private slots:
    void problem_data();
    void problem();
    void indexedColumnsFitThePostgresIndexRow();
};

void TestFieldLimits::problem_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expectedPart"); // empty: accepted

    QTest::newRow("plain name") << "a" << QStringLiteral("旅行箱 24寸") << QString();
    QTest::newRow("empty") << "b" << QString() << QString();
    QTest::newRow("name at the limit") << "a" << QString(100, QChar(0x7bb1)) << QString();
    QTest::newRow("name one over") << "a" << QString(101, QChar(0x7bb1)) << QStringLiteral("最多100个字符");
    QTest::newRow("code one over") << "c" << QString(61, u'9') << QStringLiteral("最多60个字符");
    QTest::newRow("NUL") << "a" << (QStringLiteral("ab") + QChar(0) + QStringLiteral("c"))
                         << QStringLiteral("控制字符");
    QTest::newRow("tab") << "z" << QStringLiteral("a\tb") << QStringLiteral("控制字符");
    QTest::newRow("newline") << "h" << QStringLiteral("a\nb") << QStringLiteral("控制字符");
    QTest::newRow("DEL") << "g" << (QStringLiteral("x") + QChar(0x7f)) << QStringLiteral("控制字符");
    QTest::newRow("C1 control") << "g" << (QStringLiteral("x") + QChar(0x85)) << QStringLiteral("控制字符");
    QTest::newRow("lone high surrogate")
        << "b" << (QStringLiteral("x") + QChar(0xd83d)) << QStringLiteral("无法保存");
    QTest::newRow("lone low surrogate")
        << "b" << (QChar(0xde00) + QStringLiteral("x")) << QStringLiteral("无法保存");
    QTest::newRow("emoji pair") << "z" << QString::fromUtf8("好评\xF0\x9F\x98\x80") << QString();
}

void TestFieldLimits::problem()
{
    QFETCH(QString, column);
    QFETCH(QString, text);
    QFETCH(QString, expectedPart);
    const QString reason = FieldLimits::problem(column, text, QStringLiteral("商品名称"));
    if (expectedPart.isEmpty()) {
        QVERIFY2(reason.isEmpty(), qPrintable(reason));
    } else {
        QVERIFY2(reason.contains(expectedPart), qPrintable(reason));
        QVERIFY(reason.startsWith(QStringLiteral("商品名称")));
    }
}

void TestFieldLimits::indexedColumnsFitThePostgresIndexRow()
{
    // Each UTF-16 unit is at most 3 bytes of UTF-8; the index row also
    // carries the date and per-column headers, so leave a wide margin.
    int units = 0;
    for (const char *column : {"a", "b", "c", "d"})
        units += FieldLimits::maxLength(QString::fromLatin1(column));
    QVERIFY(units * 3 <= 2000);
    QCOMPARE(FieldLimits::maxLength(u"A"), FieldLimits::maxLength(u"a"));
}

QTEST_GUILESS_MAIN(TestFieldLimits)
#include "tst_fieldlimits.moc"

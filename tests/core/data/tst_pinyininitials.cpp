#include "data/PinyinInitials.h"
#include "data/RareInitialTable.h"

#include <QHash>
#include <QStringEncoder>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

QByteArray toGbk(const QString &text)
{
    QStringEncoder gbk("GBK");
    return gbk.encode(text);
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (const int value : values)
        result.append(static_cast<char>(value));
    return result;
}

} // namespace

// Checks the conversion of article names to the pinyin initials the quick
// search boxes match against.
class TestPinyinInitials : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void convertsText_data();
    void convertsText();

    void convertsBytes_data();
    void convertsBytes();

    void gb2312Initial_data();
    void gb2312Initial();

    void nonKeptByteSwallowsTheNextByte_data();
    void nonKeptByteSwallowsTheNextByte();

    void emptyTextGivesEmptyNotNull();

    void groupSizes_data();
    void groupSizes();
    void groupsInLetterOrderWithTotals();
    void groupContentsAsListed();
    void everyGroupCharacterGetsItsLetter();

    void concurrentCallersAgree();
};

void TestPinyinInitials::initTestCase()
{
    QVERIFY2(QStringEncoder("GBK").isValid(), "Qt has no GBK codec (built without ICU)");
}

void TestPinyinInitials::convertsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("code unchanged") << u"ABC-12"_s << u"ABC-12"_s;
    QTest::newRow("lower case kept") << u"abc"_s << u"abc"_s;
    QTest::newRow("level 1") << u"拉杆箱"_s << u"lgx"_s;
    QTest::newRow("mixed with digits") << u"新秀丽24寸拉杆箱"_s << u"xxl24clgx"_s;
    QTest::newRow("first and last of a") << u"啊澳"_s << u"aa"_s;
    QTest::newRow("first and last of z") << u"匝座"_s << u"zz"_s;
    QTest::newRow("rare a") << u"锕"_s << u"a"_s;
    QTest::newRow("rare o") << u"讴"_s << u"o"_s;
    QTest::newRow("polyphone, first group wins") << u"钯"_s << u"b"_s;
    QTest::newRow("listed in b but level 1 in p") << u"曝"_s << u"p"_s;
    QTest::newRow("rare inside a name") << u"锕钯ABC箱"_s << u"abABCx"_s;
    QTest::newRow("full-width comma") << u"，"_s << u"!"_s;
    QTest::newRow("blank pairs with the next letter") << u"A B"_s << u"A!"_s;
    // After a lone non-kept byte the pairs no longer line up with the
    // characters; each pair is looked up as one whole code.
    QTest::newRow("blank before a rare character") << u" 锕"_s << u"!g"_s;
    QTest::newRow("kept punctuation") << u"!.#$%()*+-,/[\\|^~`@{}_"_s << u"!.#$%()*+-,/[\\|^~`@{}_"_s;
    QTest::newRow("letters and digits")
        << u"0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"_s
        << u"0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"_s;
    QTest::newRow("not in GBK becomes a lone byte") << u"A😀"_s << u"A!"_s;
}

void TestPinyinInitials::convertsText()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);

    QCOMPARE(PinyinInitials(text), expected);
    QCOMPARE(PinyinInitials(QByteArrayView(toGbk(text))), expected.toLatin1());
}

void TestPinyinInitials::convertsBytes_data()
{
    QTest::addColumn<QByteArray>("gbk");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("rare a by code") << bytes({0xEF, 0xB9}) << QByteArray("a");
    QTest::newRow("full-width comma by code") << bytes({0xA3, 0xAC}) << QByteArray("!");
    QTest::newRow("final C0 pairs with 0") << bytes({0xC0}) << QByteArray("k");
    QTest::newRow("final F0 pairs with 0") << bytes({0xF0}) << QByteArray("!");
    QTest::newRow("final lone byte after text") << QByteArray("A1\xC0") << QByteArray("A1k");
    QTest::newRow("GBK extension inside b") << bytes({0xB1, 0x40}) << QByteArray("b");
    QTest::newRow("B0A1 first of a") << bytes({0xB0, 0xA1}) << QByteArray("a");
    QTest::newRow("B0C4 last of a") << bytes({0xB0, 0xC4}) << QByteArray("a");
    QTest::newRow("B0C5 first of b") << bytes({0xB0, 0xC5}) << QByteArray("b");
    QTest::newRow("D7F9 last of z") << bytes({0xD7, 0xF9}) << QByteArray("z");
    QTest::newRow("D7FA after level 1") << bytes({0xD7, 0xFA}) << QByteArray("!");
    QTest::newRow("B0A0 before level 1") << bytes({0xB0, 0xA0}) << QByteArray("!");
    QTest::newRow("two lone high bytes form one code") << bytes({0xC0, 0xC0}) << QByteArray("l");
}

void TestPinyinInitials::convertsBytes()
{
    QFETCH(QByteArray, gbk);
    QFETCH(QByteArray, expected);

    QCOMPARE(PinyinInitials(QByteArrayView(gbk)), expected);
}

void TestPinyinInitials::gb2312Initial_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expected"); // empty: no letter

    struct Range
    {
        char letter;
        int first;
        int last;
    };
    const Range ranges[] = {
        {'a', 0xB0A1, 0xB0C4}, {'b', 0xB0C5, 0xB2C0}, {'c', 0xB2C1, 0xB4ED}, {'d', 0xB4EE, 0xB6E9},
        {'e', 0xB6EA, 0xB7A1}, {'f', 0xB7A2, 0xB8C0}, {'g', 0xB8C1, 0xB9FD}, {'h', 0xB9FE, 0xBBF6},
        {'j', 0xBBF7, 0xBFA5}, {'k', 0xBFA6, 0xC0AB}, {'l', 0xC0AC, 0xC2E7}, {'m', 0xC2E8, 0xC4C2},
        {'n', 0xC4C3, 0xC5B5}, {'o', 0xC5B6, 0xC5BD}, {'p', 0xC5BE, 0xC6D9}, {'q', 0xC6DA, 0xC8BA},
        {'r', 0xC8BB, 0xC8F5}, {'s', 0xC8F6, 0xCBF9}, {'t', 0xCBFA, 0xCDD9}, {'w', 0xCDDA, 0xCEF3},
        {'x', 0xCEF4, 0xD1B8}, {'y', 0xD1B9, 0xD4D0}, {'z', 0xD4D1, 0xD7F9},
    };
    for (const Range &range : ranges) {
        const QString letter = QString(QLatin1Char(range.letter));
        QTest::addRow("%c first %X", range.letter, range.first) << range.first << letter;
        QTest::addRow("%c last %X", range.letter, range.last) << range.last << letter;
    }
    QTest::newRow("B0A0 just before") << 0xB0A0 << QString();
    QTest::newRow("D7FA just after") << 0xD7FA << QString();
    QTest::newRow("0000") << 0x0000 << QString();
    QTest::newRow("blank and B") << 0x2042 << QString();
    QTest::newRow("full-width comma") << 0xA3AC << QString();
    QTest::newRow("rare a, level 2") << 0xEFB9 << QString();
    QTest::newRow("FFFF") << 0xFFFF << QString();
    QTest::newRow("extension B140") << 0xB140 << u"b"_s;
    QTest::newRow("lone C0 with 0") << 0xC000 << u"k"_s;
}

void TestPinyinInitials::gb2312Initial()
{
    QFETCH(int, code);
    QFETCH(QString, expected);

    const std::optional<char> letter =
        GB2312Initial(static_cast<quint8>(code >> 8), static_cast<quint8>(code));
    if (expected.isEmpty()) {
        QVERIFY2(!letter, letter ? std::string(1, *letter).c_str() : "");
    } else {
        QVERIFY(letter);
        QCOMPARE(QString(QLatin1Char(*letter)), expected);
    }
}

void TestPinyinInitials::nonKeptByteSwallowsTheNextByte_data()
{
    QTest::addColumn<QByteArray>("gbk");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray notKept = QByteArrayLiteral(" &=:;?'\"<>]");
    for (const char c : notKept) {
        // The letter after the byte is consumed with it: one "!" for two bytes.
        QTest::addRow("'%c' then a letter", c) << (QByteArray("x") + c + "y9") << QByteArray("x!9");
        QTest::addRow("'%c' at the end", c) << (QByteArray("x") + c) << QByteArray("x!");
    }
}

void TestPinyinInitials::nonKeptByteSwallowsTheNextByte()
{
    QFETCH(QByteArray, gbk);
    QFETCH(QByteArray, expected);

    QCOMPARE(PinyinInitials(QByteArrayView(gbk)), expected);
}

void TestPinyinInitials::emptyTextGivesEmptyNotNull()
{
    // An empty name must be stored as empty text, not NULL, or "contains"
    // searches with an empty box would skip the record.
    const QString fromNull = PinyinInitials(QString());
    QVERIFY(fromNull.isEmpty());
    QVERIFY(!fromNull.isNull());
    QVERIFY(PinyinInitials(u""_s).isEmpty());

    const QByteArray fromBytes = PinyinInitials(QByteArrayView());
    QVERIFY(fromBytes.isEmpty());
    QVERIFY(!fromBytes.isNull());
}

void TestPinyinInitials::groupSizes_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("letter");
    QTest::addColumn<int>("size");

    const char letters[] = "abcdefghjklmnopqrstwxyz";
    const int sizes[] = {34, 143, 194, 149, 26, 83,  151, 153, 242, 100, 234, 133,
                         80, 4,   109, 175, 38, 205, 159, 92,  181, 296, 241};
    for (int i = 0; i < 23; ++i)
        QTest::addRow("%c", letters[i]) << i << QString(QLatin1Char(letters[i])) << sizes[i];
}

void TestPinyinInitials::groupSizes()
{
    QFETCH(int, index);
    QFETCH(QString, letter);
    QFETCH(int, size);

    const QList<RareInitialGroup> &groups = RareInitialTable::groups();
    QVERIFY(index < groups.size());
    QCOMPARE(QString(QLatin1Char(groups[index].letter)), letter);
    QCOMPARE(groups[index].characters.size(), size);
}

void TestPinyinInitials::groupsInLetterOrderWithTotals()
{
    const QList<RareInitialGroup> &groups = RareInitialTable::groups();
    QString letters;
    qsizetype total = 0;
    QHash<QChar, QString> lettersOfCharacter;
    for (const RareInitialGroup &group : groups) {
        letters += QLatin1Char(group.letter);
        total += group.characters.size();
        for (const QChar c : group.characters) {
            QString &seen = lettersOfCharacter[c];
            if (!seen.contains(QLatin1Char(group.letter)))
                seen += QLatin1Char(group.letter);
        }
    }
    QCOMPARE(letters, u"abcdefghjklmnopqrstwxyz"_s);
    QCOMPARE(total, 3222);

    int inSeveralGroups = 0;
    for (const QString &seen : std::as_const(lettersOfCharacter))
        inSeveralGroups += seen.size() > 1 ? 1 : 0;
    QCOMPARE(inSeveralGroups, 112);
    QCOMPARE(lettersOfCharacter.value(u'钯'), u"bp"_s);
}

void TestPinyinInitials::groupContentsAsListed()
{
    const QList<RareInitialGroup> &groups = RareInitialTable::groups();
    QCOMPARE(groups.size(), 23);
    QVERIFY(groups[0].characters.startsWith(u"锕捱嗳嗌嫒瑷暧砹锿霭谙埯揞犴庵桉铵鹌黯"_s));
    QVERIFY(groups[0].characters.endsWith(u"嚣坳拗嗷岙廒遨媪骜獒聱螯鏊鳌鏖"_s));
    QVERIFY(groups[1].characters.startsWith(u"茇菝岜灞钯粑鲅魃捭掰阪坂钣瘢癍舨蒡浜曝"_s));
    QCOMPARE(groups[13].characters, u"讴怄瓯耦"_s);

    // Every listed character is a two-byte GBK character; anything else would
    // shift the codes of the rest of its group.
    for (const RareInitialGroup &group : groups)
        QCOMPARE(toGbk(group.characters).size(), 2 * group.characters.size());
}

void TestPinyinInitials::everyGroupCharacterGetsItsLetter()
{
    // The letter a listed character must get: level 1 decides by range, else
    // the first group that lists it.
    QHash<QChar, char> firstGroup;
    int checked = 0;
    for (const RareInitialGroup &group : RareInitialTable::groups()) {
        for (const QChar c : group.characters) {
            const QString text(c);
            const QByteArray gbk = toGbk(text);
            QCOMPARE(gbk.size(), 2);
            char expected = group.letter;
            if (const auto level1 = GB2312Initial(static_cast<quint8>(gbk[0]), static_cast<quint8>(gbk[1])))
                expected = *level1;
            else if (firstGroup.contains(c))
                expected = firstGroup.value(c);
            firstGroup.insert(c, firstGroup.value(c, group.letter));

            const QString got = PinyinInitials(text);
            if (got != QString(QLatin1Char(expected))) {
                const QString message = u"%1 (group %2) gave %3, expected %4"_s.arg(
                    text, QString(QLatin1Char(group.letter)), got, QString(QLatin1Char(expected)));
                QFAIL(qPrintable(message));
            }
            ++checked;
        }
    }
    QCOMPARE(checked, 3222);
}

void TestPinyinInitials::concurrentCallersAgree()
{
    // The data generator converts from several threads; the tables are built
    // once and each thread has its own GBK encoder.
    const QString name = u"新秀丽24寸锕钯拉杆箱 A"_s;
    const QString expected = u"xxl24cablgx!"_s;
    std::atomic<int> mismatches = 0;
    std::vector<std::unique_ptr<QThread>> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back(QThread::create([&] {
            for (int i = 0; i < 2000; ++i) {
                if (PinyinInitials(name) != expected)
                    ++mismatches;
            }
        }));
        threads.back()->start();
    }
    for (const auto &thread : threads)
        QVERIFY(thread->wait(60000));
    QCOMPARE(mismatches.load(), 0);
}

QTEST_APPLESS_MAIN(TestPinyinInitials)
#include "tst_pinyininitials.moc"

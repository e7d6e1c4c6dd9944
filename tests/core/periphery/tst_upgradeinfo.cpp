#include "periphery/UpgradeInfo.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTest>

using namespace Qt::StringLiterals;

class TestUpgradeInfo : public QObject
{
    Q_OBJECT
private slots:
    void addresses_data();
    void addresses();
    void values_data();
    void values();
    void newer_data();
    void newer();
    void signaturesBelongToTheirAddresses();
    void gbkFileIsRead();
    void fileNames_data();
    void fileNames();
    void fuzzedFilesNeitherCrashNorHang();
    void hostileFileIsReadQuickly();
};

void TestUpgradeInfo::addresses_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("only url1") << u"#date=03/15/2027\n#url1=http://h/a.exe\n"_s
                               << QStringList{u"http://h/a.exe"_s};
    QTest::newRow("url and url2: numbering starts at 2")
        << u"#url=http://h/a\n#url2=http://h/b\n"_s << QStringList{u"http://h/a"_s, u"http://h/b"_s};
    QTest::newRow("url and url1: only the first")
        << u"#url=http://h/a\n#url1=http://h/b\n"_s << QStringList{u"http://h/a"_s};
    QTest::newRow("url and url0: numbering starts at 3")
        << u"#url0=http://h/z\n#url=http://h/a\n#url2=http://h/x\n#url3=http://h/c\n"_s
        << QStringList{u"http://h/a"_s, u"http://h/z"_s, u"http://h/c"_s};
    QTest::newRow("a gap ends the list") << u"#url1=http://h/a\n#url2=http://h/b\n#url4=http://h/d\n"_s
                                         << QStringList{u"http://h/a"_s, u"http://h/b"_s};
    QTest::newRow("URL is found as url, letters kept")
        << u"#URL=http://Host/Setup.EXE\n"_s << QStringList{u"http://Host/Setup.EXE"_s};
    QTest::newRow("first match wins")
        << u"#url=http://h/first\n#url=http://h/second\n"_s << QStringList{u"http://h/first"_s};
    QTest::newRow("anywhere in the text") << u"see#url=http://h/a\rmore"_s << QStringList{u"http://h/a"_s};
    QTest::newRow("an empty url counts but is not fetched")
        << u"#url=\n#url2=http://h/b\n"_s << QStringList{u"http://h/b"_s};
    QTest::newRow("value ends at a control character")
        << u"#url=http://h/a b\tignored\r\n"_s << QStringList{u"http://h/a b"_s};
    QTest::newRow("no addresses") << u"#date=01/01/2030\n"_s << QStringList{};
    QTest::newRow("a key without '#' is no key") << u"url=http://h/a\n"_s << QStringList{};
}

void TestUpgradeInfo::addresses()
{
    QFETCH(QString, file);
    QFETCH(QStringList, expected);
    QStringList addresses;
    for (const UpgradeInfo::File &f : UpgradeInfo::parse(file).files)
        addresses << f.address;
    QCOMPARE(addresses, expected);
}

void TestUpgradeInfo::values_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("method");
    QTest::newRow("braces span lines")
        << u"#message={第一行\r\n第二行}#method=1\n"_s << u"第一行\r\n第二行"_s << 1;
    QTest::newRow("braces may be empty") << u"#message={}\n#method=2"_s << u""_s << 2;
    QTest::newRow("unclosed brace runs to the end") << u"#message={abc\ndef"_s << u"abc\ndef"_s << 0;
    QTest::newRow("message without braces ends at the line") << u"#Message=Hello\nworld"_s << u"Hello"_s << 0;
    QTest::newRow("method 3 counts as 0") << u"#method=3"_s << QString() << 0;
    QTest::newRow("method with a blank counts as 0") << u"#method=2 \n"_s << QString() << 0;
    QTest::newRow("method empty") << u"#method=\n"_s << QString() << 0;
    QTest::newRow("METHOD upper case") << u"#METHOD=2\r\n"_s << QString() << 2;
}

void TestUpgradeInfo::values()
{
    QFETCH(QString, file);
    QFETCH(QString, message);
    QFETCH(int, method);
    const UpgradeInfo info = UpgradeInfo::parse(file);
    QCOMPARE(info.message, message);
    QCOMPARE(info.methodDigit(), method);
}

void TestUpgradeInfo::newer_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<bool>("newer");
    // This build is compared with 2026-12-09 below.
    QTest::newRow("equal is not newer") << u"12/09/2026"_s << false;
    QTest::newRow("a day later") << u"12/10/2026"_s << true;
    QTest::newRow("a day earlier") << u"12/08/2026"_s << false;
    QTest::newRow("one-digit month and day") << u"1/5/2027"_s << true;
    QTest::newRow("month/day, not day/month") << u"09/12/2026"_s << false;
    QTest::newRow("no such day") << u"02/30/2027"_s << false;
    QTest::newRow("two-digit year") << u"01/01/27"_s << false;
    QTest::newRow("missing") << QString() << false;
    QTest::newRow("garbage") << u"soon"_s << false;
}

void TestUpgradeInfo::newer()
{
    QFETCH(QString, date);
    QFETCH(bool, newer);
    const QString file = date.isNull() ? u"#url=http://h/a"_s : u"#date="_s + date + u"\n#url=http://h/a"_s;
    QCOMPARE(UpgradeInfo::parse(file).isNewerThan(QDate(2026, 12, 9)), newer);
}

void TestUpgradeInfo::signaturesBelongToTheirAddresses()
{
    const UpgradeInfo info = UpgradeInfo::parse(
        u"#url=http://h/a\n#SIG=AAA=\n#url0=http://h/z\n#sig0=ZZZ=\n#url3=http://h/c\n#sig3=CCC=\n#url4=http://h/d\n"_s);
    QCOMPARE(info.files.size(), 4);
    QCOMPARE(info.files.at(0).signature, u"AAA="_s);
    QCOMPARE(info.files.at(1).signature, u"ZZZ="_s);
    QCOMPARE(info.files.at(2).signature, u"CCC="_s);
    QVERIFY(info.files.at(3).signature.isEmpty());
}

void TestUpgradeInfo::gbkFileIsRead()
{
    QStringEncoder gbk("GBK");
    const QByteArray bytes = gbk.encode(u"#date=01/01/2030\n#message={修正了销售统计}\n#url=http://h/a"_s);
    QVERIFY(!gbk.hasError());
    const UpgradeInfo info = UpgradeInfo::parse(bytes);
    QCOMPARE(info.message, u"修正了销售统计"_s);
    QCOMPARE(info.date, QDate(2030, 1, 1));
}

void TestUpgradeInfo::fileNames_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << u"https://h/dl/lwjxc"_s << u"lwjxc"_s;
    QTest::newRow("query is not the name") << u"http://h/dl/lwjxc.exe?v=2"_s << u"lwjxc.exe"_s;
    QTest::newRow("encoded blank") << u"http://h/dl/read%20me.txt"_s << u"read me.txt"_s;
    QTest::newRow("no name") << u"http://h/dl/"_s << QString();
    QTest::newRow("encoded slashes keep it in the folder")
        << u"http://h/dl/..%2F..%2Fetc%2Fpasswd"_s << u"passwd"_s;
    QTest::newRow("encoded backslash") << u"http://h/dl/..%5Cboot.ini"_s << QString();
    QTest::newRow("dot dot") << u"http://h/dl/%2E%2E"_s << QString();
    QTest::newRow("ftp") << u"ftp://h/lwjxc"_s << QString();
    QTest::newRow("no host") << u"http:///lwjxc"_s << QString();
    QTest::newRow("not an address") << u"lwjxc"_s << QString();
}

void TestUpgradeInfo::fileNames()
{
    QFETCH(QString, address);
    QFETCH(QString, name);
    const UpgradeInfo::File file{address, QString()};
    QCOMPARE(file.fileName(), name);
}

// Random bytes and mutations of a real file: the parser must give a sane
// answer for each, quickly.
void TestUpgradeInfo::fuzzedFilesNeitherCrashNorHang()
{
    const QByteArray seed = "#date=03/15/2027\r\n#message={新版本\r\n修正}\r\n#method=1\r\n"
                            "#url=http://h/a\r\n#sig=QUJD\r\n#url2=http://h/b\r\n#url3=http://h/c\r\n";
    const QByteArray alphabet = "#=urlURL0123456789{}/\r\n sigmethodate";
    QRandomGenerator random(20261209);
    QElapsedTimer timer;
    timer.start();
    for (int round = 0; round < 6000; ++round) {
        QByteArray input;
        if (round % 2 == 0) {
            input.resize(random.bounded(600));
            for (char &c : input)
                c = random.bounded(3) == 0 ? alphabet.at(random.bounded(int(alphabet.size())))
                                           : char(random.bounded(256));
        } else {
            input = seed;
            for (int edits = random.bounded(1, 12); edits > 0; --edits) {
                const int at = random.bounded(int(input.size()) + 1);
                switch (random.bounded(4)) {
                case 0:
                    input.insert(at, alphabet.at(random.bounded(int(alphabet.size()))));
                    break;
                case 1:
                    input.remove(at, random.bounded(8));
                    break;
                case 2:
                    input.insert(at, input.mid(random.bounded(int(input.size()) + 1), random.bounded(40)));
                    break;
                default:
                    if (at < input.size())
                        input[at] = char(random.bounded(256));
                }
            }
        }
        const UpgradeInfo info = UpgradeInfo::parse(input);
        QVERIFY(info.methodDigit() >= 0 && info.methodDigit() <= 2);
        QVERIFY(info.files.size() <= input.count("#") &&
                info.files.size() <= UpgradeInfo::MaxNumberedFiles + 2);
        for (const UpgradeInfo::File &file : info.files) {
            QVERIFY(!file.address.isEmpty());
            const QString name = file.fileName();
            QVERIFY(!name.contains(u'/') && !name.contains(u'\\') && name != u".."_s);
        }
        QVERIFY(!info.date.isValid() || info.date.year() >= 1000);
    }
    QVERIFY2(timer.elapsed() < 60000, "the parser is far too slow");
}

void TestUpgradeInfo::hostileFileIsReadQuickly()
{
    // Many keys, hashes without an equals sign, a thousand numbered addresses.
    QString text;
    for (int n = 1; n <= 1500; ++n)
        text += u"#url%1=http://h/f%1\n"_s.arg(n);
    text += QString(UpgradeInfo::MaxFileSize / 2, u'#');
    QElapsedTimer timer;
    timer.start();
    const UpgradeInfo info = UpgradeInfo::parse(text);
    QCOMPARE(info.files.size(), UpgradeInfo::MaxNumberedFiles);
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
}

QTEST_GUILESS_MAIN(TestUpgradeInfo)
#include "tst_upgradeinfo.moc"

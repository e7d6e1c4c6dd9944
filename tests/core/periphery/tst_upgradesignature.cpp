#include "UpgradeTestKey.h"

#include "periphery/UpgradeInfo.h"
#include "periphery/UpgradeSignature.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestUpgradeSignature : public QObject
{
    Q_OBJECT
private slots:
    void verify_data();
    void verify();
    void builtInKeyIsTheMakersOwn();
    void releaseToolSignsWhatTheProgramAccepts();
    void releaseToolNeverOverwritesAKey();
};

void TestUpgradeSignature::verify_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("signature");
    QTest::addColumn<bool>("good");
    const QByteArray file = "\x7f"
                            "ELF release bytes";
    const QString signature = UpgradeTestKey::sign(file);
    QTest::newRow("its own signature") << file << signature << true;
    QTest::newRow("with blanks around") << file << u"  "_s + signature + u"\n"_s << true;
    QTest::newRow("one byte changed") << QByteArray(file).replace('r', 'R') << signature << false;
    QTest::newRow("one byte more") << file + '\0' << signature << false;
    QTest::newRow("empty file") << QByteArray() << signature << false;
    QString flipped = signature;
    flipped[5] = flipped.at(5) == u'A' ? u'B' : u'A';
    QTest::newRow("signature changed") << file << flipped << false;
    QTest::newRow("signature cut") << file << signature.left(40) << false;
    QTest::newRow("not base64") << file << u"***"_s << false;
    QTest::newRow("empty signature") << file << QString() << false;
}

void TestUpgradeSignature::verify()
{
    QFETCH(QByteArray, data);
    QFETCH(QString, signature);
    QFETCH(bool, good);
    QCOMPARE(UpgradeSignature::verify(data, signature, UpgradeTestKey::publicKey()), good);
    // The built-in key belongs to the maker, not to the tests.
    QVERIFY(!UpgradeSignature::verify(data, signature, UpgradeSignature::builtInPublicKey()));
}

void TestUpgradeSignature::builtInKeyIsTheMakersOwn()
{
    QCOMPARE(UpgradeSignature::builtInPublicKey().size(), UpgradeSignature::PublicKeyBytes);
    QVERIFY(UpgradeSignature::builtInPublicKey() != UpgradeTestKey::publicKey());
}

void TestUpgradeSignature::releaseToolSignsWhatTheProgramAccepts()
{
    QTemporaryDir dir;
    QProcess tool;
    tool.start(QStringLiteral(LWJXC_SIGN_TOOL), {u"keygen"_s, dir.filePath(u"release.key"_s)});
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitCode(), 0);
    const QString output = QString::fromLatin1(tool.readAllStandardOutput()).trimmed();
    QVERIFY(output.startsWith(u"public key: "_s));
    const QByteArray publicKey = UpgradeSignature::decode(output.mid(qsizetype(qstrlen("public key: "))),
                                                          UpgradeSignature::PublicKeyBytes);
    QVERIFY(!publicKey.isEmpty());
    QCOMPARE(QFile::permissions(dir.filePath(u"release.key"_s)) &
                 (QFileDevice::ReadOther | QFileDevice::ReadGroup),
             QFileDevice::Permissions());

    const QList<QByteArray> contents{"program bytes", "help text", "third"};
    QStringList files;
    for (qsizetype i = 0; i < contents.size(); ++i) {
        files << dir.filePath(u"file%1.bin"_s.arg(i));
        QFile f(files.constLast());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(contents.at(i));
    }
    tool.start(QStringLiteral(LWJXC_SIGN_TOOL),
               QStringList{u"sign"_s, dir.filePath(u"release.key"_s), u"https://example.invalid/dl"_s} +
                   files);
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitCode(), 0);

    // The lines go into an information file as they are.
    const UpgradeInfo info =
        UpgradeInfo::parse(QByteArray("#date=01/01/2030\n") + tool.readAllStandardOutput() + "#method=0\n");
    QCOMPARE(info.files.size(), contents.size());
    for (qsizetype i = 0; i < contents.size(); ++i) {
        QCOMPARE(info.files.at(i).address, u"https://example.invalid/dl/file%1.bin"_s.arg(i));
        QVERIFY(UpgradeSignature::verify(contents.at(i), info.files.at(i).signature, publicKey));
        QVERIFY(!UpgradeSignature::verify(contents.at((i + 1) % contents.size()), info.files.at(i).signature,
                                          publicKey));
    }
}

void TestUpgradeSignature::releaseToolNeverOverwritesAKey()
{
    QTemporaryDir dir;
    const QString key = dir.filePath(u"release.key"_s);
    QFile existing(key);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("precious");
    existing.close();
    QProcess tool;
    tool.start(QStringLiteral(LWJXC_SIGN_TOOL), {u"keygen"_s, key});
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitCode(), 1);
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), QByteArray("precious"));
}

QTEST_GUILESS_MAIN(TestUpgradeSignature)
#include "tst_upgradesignature.moc"

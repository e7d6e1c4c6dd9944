#include "TinyHttpServer.h"
#include "UpgradeTestKey.h"

#include "periphery/UpgradeDownloader.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using Outcome = UpgradeDownloader::Outcome;

class TestUpgradeDownloader : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void infoFile_data();
    void infoFile();
    void downloadsEveryFileWithItsSignature();
    void missingFileAsksWhetherToSkip_data();
    void missingFileAsksWhetherToSkip();
    void droppedConnectionEndsTheDownload();
    void logOnWhenTheServerAsks_data();
    void logOnWhenTheServerAsks();
    void unsignedFilesAreRefused_data();
    void unsignedFilesAreRefused();
    void cancelRemovesThePartialFile();
    void httpsOnlyWithAVerifiedCertificate_data();
    void httpsOnlyWithAVerifiedCertificate();

private:
    UpgradeInfo::File signedFile(const QString &name, const QByteArray &content);
    Outcome run(UpgradeDownloader &downloader, const QList<UpgradeInfo::File> &files);
    QByteArray downloaded(const QString &name) const;
    QStringList folderEntries() const;

    std::unique_ptr<TinyHttpServer> m_server;
    std::unique_ptr<QTemporaryDir> m_folder;
};

void TestUpgradeDownloader::init()
{
    m_server = std::make_unique<TinyHttpServer>();
    QVERIFY(m_server->listen());
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(!UpgradeTestKey::publicKey().isEmpty());
}

void TestUpgradeDownloader::cleanup()
{
    m_server.reset();
    m_folder.reset();
}

UpgradeInfo::File TestUpgradeDownloader::signedFile(const QString &name, const QByteArray &content)
{
    m_server->setRoute(u"/dl/"_s + name, content);
    return {m_server->url(u"/dl/"_s + name).toString(), UpgradeTestKey::sign(content)};
}

Outcome TestUpgradeDownloader::run(UpgradeDownloader &downloader, const QList<UpgradeInfo::File> &files)
{
    QSignalSpy finished(&downloader, &UpgradeDownloader::finished);
    downloader.download(files, m_folder->path());
    if (finished.isEmpty() && !finished.wait(20000))
        return Outcome(-1);
    return finished.constFirst().constFirst().value<Outcome>();
}

QByteArray TestUpgradeDownloader::downloaded(const QString &name) const
{
    QFile file(m_folder->filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList TestUpgradeDownloader::folderEntries() const
{
    return QDir(m_folder->path()).entryList(QDir::Files, QDir::Name);
}

void TestUpgradeDownloader::infoFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("fetched");
    QTest::newRow("there") << u"/lwjxc.inf"_s << true;
    QTest::newRow("missing on the server") << u"/gone.inf"_s << false;
    QTest::newRow("host unreachable") << QString() << false;
    QTest::newRow("far too large to be one") << u"/huge.inf"_s << false;
}

void TestUpgradeDownloader::infoFile()
{
    QFETCH(QString, path);
    QFETCH(bool, fetched);
    m_server->setRoute(u"/lwjxc.inf"_s, "#date=01/01/2030\n");
    m_server->setRoute(u"/huge.inf"_s, QByteArray(UpgradeInfo::MaxFileSize * 3, 'x'));
    const QUrl url = path.isNull()
                         ? QUrl(u"http://127.0.0.1:%1/lwjxc.inf"_s.arg(TinyHttpServer::closedPort()))
                         : m_server->url(path);
    UpgradeDownloader downloader(UpgradeTestKey::publicKey());
    QSignalSpy got(&downloader, &UpgradeDownloader::infoFetched);
    QSignalSpy failed(&downloader, &UpgradeDownloader::infoUnavailable);
    downloader.fetchInfo(url);
    QTRY_COMPARE_WITH_TIMEOUT(got.size() + failed.size(), 1, 10000);
    QCOMPARE(got.size(), fetched ? 1 : 0);
    if (fetched)
        QCOMPARE(got.constFirst().constFirst().toByteArray(), QByteArray("#date=01/01/2030\n"));
    else
        QCOMPARE(failed.constFirst().constFirst().toBool(), false);
}

void TestUpgradeDownloader::downloadsEveryFileWithItsSignature()
{
    // Left over from an abandoned upgrade: must not be installed with this one.
    QFile stale(m_folder->filePath(u"old-tool.uTMP"_s));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();

    const QByteArray program(300 * 1024, 'P');
    const QList<UpgradeInfo::File> files{signedFile(u"lwjxc"_s, program),
                                         signedFile(u"readme.txt"_s, "new text")};
    UpgradeDownloader downloader(UpgradeTestKey::publicKey());
    QSignalSpy started(&downloader, &UpgradeDownloader::fileStarted);
    QSignalSpy progressed(&downloader, &UpgradeDownloader::progressed);
    QCOMPARE(run(downloader, files), Outcome::Finished);

    QCOMPARE(started.size(), 2);
    QCOMPARE(started.at(1).at(0).toInt(), 1);
    QCOMPARE(started.at(1).at(1).toInt(), 2);
    QCOMPARE(started.at(1).at(3).toString(), u"readme.txt"_s);
    QVERIFY(!progressed.isEmpty());
    // The last report is the second file, whole.
    QCOMPARE(progressed.constLast().at(0).toLongLong(), qint64(8));
    QCOMPARE(downloaded(u"lwjxc.uTMP"_s), program);
    QCOMPARE(downloaded(u"readme.txt.uTMP"_s), QByteArray("new text"));
    QCOMPARE(downloaded(u"lwjxc.uTMP.sig"_s), files.at(0).signature.toLatin1());
    QCOMPARE(folderEntries(), (QStringList{u"lwjxc.uTMP"_s, u"lwjxc.uTMP.sig"_s, u"readme.txt.uTMP"_s,
                                           u"readme.txt.uTMP.sig"_s}));
    QCOMPARE(downloader.downloadedFiles().size(), 2);
}

void TestUpgradeDownloader::missingFileAsksWhetherToSkip_data()
{
    QTest::addColumn<bool>("skip");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("yes continues") << true << Outcome::Finished
                                   << QStringList{u"a.uTMP"_s, u"a.uTMP.sig"_s, u"c.uTMP"_s, u"c.uTMP.sig"_s};
    // Abandoning keeps what was already downloaded.
    QTest::newRow("no abandons") << false << Outcome::Declined << QStringList{u"a.uTMP"_s, u"a.uTMP.sig"_s};
}

void TestUpgradeDownloader::missingFileAsksWhetherToSkip()
{
    QFETCH(bool, skip);
    QFETCH(Outcome, outcome);
    QFETCH(QStringList, left);
    const QList<UpgradeInfo::File> files{signedFile(u"a"_s, "A"),
                                         {m_server->url(u"/dl/b"_s).toString(), UpgradeTestKey::sign("B")},
                                         signedFile(u"c"_s, "C")};
    UpgradeDownloader downloader(UpgradeTestKey::publicKey());
    QList<std::pair<QUrl, int>> asked;
    downloader.skipMissingFile = [&](const QUrl &url, int status) {
        asked.append({url, status});
        return skip;
    };
    QCOMPARE(run(downloader, files), outcome);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.constFirst().first, m_server->url(u"/dl/b"_s));
    QCOMPARE(asked.constFirst().second, 404);
    QCOMPARE(folderEntries(), left);
}

void TestUpgradeDownloader::droppedConnectionEndsTheDownload()
{
    const QByteArray big(200 * 1024, 'x');
    const QList<UpgradeInfo::File> files{signedFile(u"a"_s, "A"), signedFile(u"big"_s, big)};
    TinyHttpServer::Route dropping{200, big};
    dropping.dropAfter = 50 * 1024;
    m_server->setRoute(u"/dl/big"_s, dropping);
    UpgradeDownloader downloader(UpgradeTestKey::publicKey());
    QCOMPARE(run(downloader, files), Outcome::ConnectionLost);
    QCOMPARE(folderEntries(), (QStringList{u"a.uTMP"_s, u"a.uTMP.sig"_s}));
    QVERIFY(!downloader.isBusy());
}

void TestUpgradeDownloader::logOnWhenTheServerAsks_data()
{
    QTest::addColumn<QStringList>("answers"); // user:password per question, "" cancels
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<int>("questions");
    QTest::newRow("right at once") << QStringList{u"shop:secret"_s} << Outcome::Finished << 1;
    QTest::newRow("wrong, then right")
        << QStringList{u"shop:guess"_s, u"shop:secret"_s} << Outcome::Finished << 2;
    QTest::newRow("cancelled") << QStringList{QString()} << Outcome::LogOnCancelled << 1;
}

void TestUpgradeDownloader::logOnWhenTheServerAsks()
{
    QFETCH(QStringList, answers);
    QFETCH(Outcome, outcome);
    QFETCH(int, questions);
    TinyHttpServer::Route guarded{200, "PROTECTED"};
    guarded.user = "shop";
    guarded.password = "secret";
    m_server->setRoute(u"/dl/p"_s, guarded);
    UpgradeDownloader downloader(UpgradeTestKey::publicKey());
    int asked = 0;
    downloader.logOn = [&](const QUrl &url, QString *user, QString *password) {
        if (url != m_server->url(u"/dl/p"_s) || asked >= answers.size())
            return false;
        const QString answer = answers.at(asked++);
        if (answer.isEmpty())
            return false;
        *user = answer.section(u':', 0, 0);
        *password = answer.section(u':', 1);
        return true;
    };
    QCOMPARE(run(downloader, {{m_server->url(u"/dl/p"_s).toString(), UpgradeTestKey::sign("PROTECTED")}}),
             outcome);
    QCOMPARE(asked, questions);
    QCOMPARE(downloaded(u"p.uTMP"_s), outcome == Outcome::Finished ? QByteArray("PROTECTED") : "<missing>");
}

void TestUpgradeDownloader::unsignedFilesAreRefused_data()
{
    QTest::addColumn<QString>("signature");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<int>("requests");
    QTest::newRow("signature of other bytes")
        << UpgradeTestKey::sign("something else") << Outcome::BadSignature << 1;
    QByteArray otherPublic, otherSecret;
    UpgradeSignature::generateKeyPair(&otherPublic, &otherSecret);
    QTest::newRow("signed with another key")
        << UpgradeSignature::sign("THE FILE", otherSecret) << Outcome::BadSignature << 1;
    // Checked before anything is fetched.
    QTest::newRow("no signature") << QString() << Outcome::MissingSignature << 0;
    QTest::newRow("not base64") << u"!!!!"_s << Outcome::MissingSignature << 0;
    QTest::newRow("too short") << u"QUJD"_s << Outcome::MissingSignature << 0;
}

void TestUpgradeDownloader::unsignedFilesAreRefused()
{
    QFETCH(QString, signature);
    QFETCH(Outcome, outcome);
    QFETCH(int, requests);
    m_server->setRoute(u"/dl/lwjxc"_s, "THE FILE");
    UpgradeDownloader downloader(UpgradeTestKey::publicKey());
    QCOMPARE(run(downloader, {{m_server->url(u"/dl/lwjxc"_s).toString(), signature}}), outcome);
    QCOMPARE(m_server->requests().size(), requests);
    QCOMPARE(folderEntries(), QStringList());
    QCOMPARE(downloader.problem().endsWith(u"lwjxc"_s), true);
}

void TestUpgradeDownloader::cancelRemovesThePartialFile()
{
    const QByteArray big(400 * 1024, 'x');
    TinyHttpServer::Route slow{200, big};
    slow.bytesPerTick = 4096;
    m_server->setRoute(u"/dl/big"_s, slow);
    UpgradeDownloader downloader(UpgradeTestKey::publicKey());
    QSignalSpy progressed(&downloader, &UpgradeDownloader::progressed);
    QSignalSpy finished(&downloader, &UpgradeDownloader::finished);
    downloader.download({{m_server->url(u"/dl/big"_s).toString(), UpgradeTestKey::sign(big)}},
                        m_folder->path());
    QTRY_VERIFY_WITH_TIMEOUT(!progressed.isEmpty() && progressed.constLast().at(0).toLongLong() > 0, 10000);
    QVERIFY(QFile::exists(m_folder->filePath(u"big.uTMP"_s)));
    // Size known from the header, so a time left can be estimated.
    QCOMPARE(progressed.constLast().at(1).toLongLong(), big.size());
    QVERIFY(progressed.constLast().at(3).toInt() >= 0);
    downloader.cancel();
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(finished.constFirst().constFirst().value<Outcome>(), Outcome::Cancelled);
    QCOMPARE(folderEntries(), QStringList());
}

void TestUpgradeDownloader::httpsOnlyWithAVerifiedCertificate_data()
{
    QTest::addColumn<QString>("certificate");
    QTest::addColumn<bool>("trustAuthority");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("authority trusted") << u"server.pem"_s << true << true;
    QTest::newRow("authority unknown") << u"server.pem"_s << false << false;
    QTest::newRow("certificate of another host") << u"otherhost.pem"_s << true << false;
}

void TestUpgradeDownloader::httpsOnlyWithAVerifiedCertificate()
{
    QFETCH(QString, certificate);
    QFETCH(bool, trustAuthority);
    QFETCH(bool, accepted);
    m_server = std::make_unique<TinyHttpServer>();
    QVERIFY(m_server->useTls(certificate));
    QVERIFY(m_server->listen());
    QCOMPARE(m_server->url(u"/"_s).scheme(), u"https"_s);
    m_server->setRoute(u"/lwjxc.inf"_s, "#date=01/01/2030\n");
    const UpgradeInfo::File file = signedFile(u"lwjxc"_s, "NEW PROGRAM");
    UpgradeDownloader downloader(UpgradeTestKey::publicKey());
    if (trustAuthority)
        downloader.addTrustedAuthorities(TinyHttpServer::testAuthority());

    QSignalSpy got(&downloader, &UpgradeDownloader::infoFetched);
    QSignalSpy failed(&downloader, &UpgradeDownloader::infoUnavailable);
    downloader.fetchInfo(m_server->url(u"/lwjxc.inf"_s));
    QTRY_COMPARE_WITH_TIMEOUT(got.size() + failed.size(), 1, 10000);
    QCOMPARE(got.size(), accepted ? 1 : 0);
    if (!accepted)
        QCOMPARE(failed.constFirst().constFirst().toBool(), true); // told, not silent

    QCOMPARE(run(downloader, {file}), accepted ? Outcome::Finished : Outcome::CertificateError);
    QCOMPARE(downloaded(u"lwjxc.uTMP"_s), accepted ? QByteArray("NEW PROGRAM") : "<missing>");
    if (!accepted) {
        QCOMPARE(folderEntries(), QStringList());
        QCOMPARE(downloader.problem(), file.address);
        // The refused handshakes never got as far as a request.
        QCOMPARE(m_server->requests(), QStringList());
    }
}

QTEST_GUILESS_MAIN(TestUpgradeDownloader)
#include "tst_upgradedownloader.moc"

#include "ShopContent.h"
#include "TestDatabase.h"

#include "maintenance/BackupService.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2024, 3, 5), QTime(9, 30, 15));

// Reads a backup file with a connection of the test's own.
struct BackupFile
{
    explicit BackupFile(const QString &path)
    {
        DatabaseLocation location = DatabaseLocation::fromArgument(path);
        db = std::make_unique<Database>(location, u"backup_reader_%1"_s.arg(++counter));
    }
    std::unique_ptr<Database> db;
    static inline int counter = 0;
};

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(bytes);
    return path;
}

} // namespace

class TestBackupService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qInfo("database backend: %s", qPrintable(TestDatabase::backendName())); }

    void restoreGivesBackTheBackedUpShop();
    void backupWhileAnotherCounterBooks();
    void unusableSourceIsRefused_data();
    void unusableSourceIsRefused();
    void restoreRefusedWhileAnotherConnectionIsOpen();
    void backupTargets();
    void failedBackupLeavesTargetAlone();
    void damagedShopCanStillBeReplaced();
    void betweenEngines();

private:
    QTemporaryDir m_dir;
};

void TestBackupService::restoreGivesBackTheBackedUpShop()
{
    TestDatabase shop;
    QVERIFY2(shop.isOpen(), qPrintable(shop.errorText()));
    ShopContent::fill(shop.db());
    const QString backedUp = ShopContent::text(shop.db());
    const QString file = m_dir.filePath(u"good.mdb"_s);

    BackupService service(shop.location());
    qint64 lastDone = -1;
    qint64 lastTotal = 0;
    service.setProgress([&](qint64 done, qint64 total) {
        lastDone = done;
        lastTotal = total;
    });
    const BackupService::Result backup = service.backupTo(file);
    QVERIFY2(backup.ok, qPrintable(backup.error));
    QVERIFY(lastTotal > 0);
    QCOMPARE(lastDone, lastTotal);
    QCOMPARE(BackupService::checkBackupFile(file), QString());
    QCOMPARE(ShopContent::text(*BackupFile(file).db), backedUp);
    // Nothing but the backup is left in the folder.
    QCOMPARE(QDir(m_dir.path()).entryList({u".good*"_s}, QDir::Files | QDir::Hidden), QStringList());

    // The shop goes on: more sales, a stock row deleted, a new user.
    const qint64 id = ShopContent::addStock(shop.db(), u"新货"_s, 5, 5, QDate(2024, 3, 6));
    ShopContent::sell(shop.db(), id, 9, 2, QDate(2024, 3, 6), u"20240306001"_s);
    ExecuteStatement(shop.db(), u"delete from data where a = ?"_s, {u"箱包3"_s});
    ExecuteStatement(shop.db(), u"insert into userdb (username, passwd) values (?, ?)"_s,
                     {u"新人"_s, u"x"_s});
    const QString changed = ShopContent::text(shop.db());
    QVERIFY(changed != backedUp);

    const QString keepFolder = m_dir.filePath(u"keep1"_s);
    shop.db().close();
    const BackupService::Result restore = service.restoreFrom(file, kNow, keepFolder);
    QVERIFY2(restore.ok, qPrintable(restore.error));
    QVERIFY(shop.db().reopen());
    QCOMPARE(ShopContent::text(shop.db()), backedUp);

    // The data before the restore is kept under a dated name.
    QCOMPARE(QFileInfo(restore.keptPath).fileName(), u"data-恢复前-20240305-093015.mdb"_s);
    if (!TestDatabase::onPostgreSQL()) {
        QCOMPARE(QFileInfo(restore.keptPath).absolutePath(), QFileInfo(shop.location().path).absolutePath());
        QVERIFY(!QFileInfo::exists(shop.location().path + u"-restore"_s));
    } else {
        QCOMPARE(QFileInfo(restore.keptPath).absolutePath(), QFileInfo(keepFolder).absoluteFilePath());
    }
    QCOMPARE(ShopContent::text(*BackupFile(restore.keptPath).db), changed);

    // New rows get ids past the restored ones.
    const qint64 maxLine = ScalarValue(shop.db(), u"select max(ID) from data1"_s).toLongLong();
    const SaleBooking booked =
        ShopContent::sell(shop.db(), ShopContent::addStock(shop.db(), u"再来"_s, 1, 3, QDate(2024, 3, 7)), 2,
                          1, QDate(2024, 3, 7), u"20240307001"_s);
    QCOMPARE(booked.result, SaleBooking::Result::Booked);
    QVERIFY(booked.lineId > maxLine);

    // A second restore in the same second keeps its previous data apart.
    shop.db().close();
    const BackupService::Result again = service.restoreFrom(file, kNow, keepFolder);
    QVERIFY2(again.ok, qPrintable(again.error));
    QCOMPARE(QFileInfo(again.keptPath).fileName(), u"data-恢复前-20240305-093015-2.mdb"_s);
    QVERIFY(QFileInfo::exists(restore.keptPath));
    QVERIFY(shop.db().reopen());
}

void TestBackupService::backupWhileAnotherCounterBooks()
{
    TestDatabase shop;
    QVERIFY2(shop.isOpen(), qPrintable(shop.errorText()));
    const qint64 stockId = ShopContent::addStock(shop.db(), u"热卖"_s, 10, 1000000, QDate(2024, 3, 5));
    // Enough rows that the copy takes more than one step.
    for (int i = 0; i < 300; ++i)
        ShopContent::sell(shop.db(), stockId, 20, 1, QDate(2024, 3, 5), u"20240305001"_s);

    std::atomic<int> committed{0};
    std::atomic<bool> stop{false};
    QString writerError;
    std::thread writer([&] {
        {
            Database counter(shop.location(), u"second_counter"_s);
            if (!counter.isOpen()) {
                writerError = counter.errorText();
                return;
            }
            try {
                while (!stop) {
                    if (ShopContent::sell(counter, stockId, 20, 1, QDate(2024, 3, 5), u"20240305002"_s)
                            .result == SaleBooking::Result::Booked)
                        ++committed;
                }
            } catch (const DatabaseError &error) {
                writerError = error.message();
            }
        }
    });
    QTRY_VERIFY_WITH_TIMEOUT(committed >= 20 || !writerError.isEmpty(), 20000);

    const QString file = m_dir.filePath(u"live.mdb"_s);
    BackupService service(shop.location());
    // Give the other counter time to sell while the copy runs.
    service.setProgress([](qint64, qint64) { QThread::msleep(30); });
    const int before = committed;
    const BackupService::Result result = service.backupTo(file);
    const int after = committed;
    stop = true;
    writer.join();
    QVERIFY2(writerError.isEmpty(), qPrintable(writerError));
    QVERIFY2(result.ok, qPrintable(result.error));
    QVERIFY2(after > before, "the other counter did not sell during the backup");

    QCOMPARE(BackupService::checkBackupFile(file), QString());
    BackupFile copy(file);
    QVERIFY(copy.db->isOpen());
    const int lines = ScalarValue(*copy.db, u"select count(*) from data1"_s).toInt();
    QVERIFY2(lines >= 300 + before,
             qPrintable(u"%1 lines, %2 sold before the backup"_s.arg(lines).arg(before)));
    QVERIFY(lines <= 300 + after);
    // One snapshot: every sale in the copy has its stock booking, and none more.
    QCOMPARE(ScalarValue(*copy.db, u"select \"5\" from data where id = ?"_s, {stockId}).toDouble(),
             double(lines));
    QCOMPARE(ScalarValue(*copy.db, u"select \"7\" from data where id = ?"_s, {stockId}).toDouble(),
             1000000.0 - lines);
}

void TestBackupService::unusableSourceIsRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("empty file") << u"empty"_s << u"空文件"_s;
    QTest::newRow("text file") << u"text"_s << u"不是数据库文件"_s;
    QTest::newRow("truncated backup") << u"truncated"_s << u"损坏"_s;
    QTest::newRow("damaged backup") << u"damaged"_s << u"损坏"_s;
    QTest::newRow("other program's database") << u"foreign"_s << u"不是本软件的数据库备份"_s;
    QTest::newRow("table missing") << u"no rz"_s << u"没有数据表“rz”"_s;
    QTest::newRow("column missing") << u"no 9"_s << u"缺少列“9”"_s;
    QTest::newRow("no such file") << u"missing"_s << u"备份数据库没找到!"_s;
    QTest::newRow("folder") << u"folder"_s << u"不是一个文件"_s;
}

void TestBackupService::unusableSourceIsRefused()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    TestDatabase shop;
    QVERIFY2(shop.isOpen(), qPrintable(shop.errorText()));
    ShopContent::fill(shop.db(), 60);
    const QString good = m_dir.filePath(
        u"source-good-%1.mdb"_s.arg(QString::fromUtf8(QTest::currentDataTag()).replace(u' ', u'-')));
    QVERIFY(BackupService(shop.location()).backupTo(good).ok);
    QFile goodFile(good);
    QVERIFY(goodFile.open(QIODevice::ReadOnly));
    const QByteArray bytes = goodFile.readAll();
    goodFile.close();
    QVERIFY(bytes.size() > 8 * 4096);

    const QString source = m_dir.filePath(
        u"source-%1.mdb"_s.arg(QString::fromUtf8(QTest::currentDataTag()).replace(u' ', u'-')));
    if (kind == u"empty"_s) {
        writeFile(source, {});
    } else if (kind == u"text"_s) {
        writeFile(source, QByteArray("商品名称,数量\n拉杆箱,3\n").repeated(200));
    } else if (kind == u"truncated"_s) {
        writeFile(source, bytes.left(bytes.size() / 2));
    } else if (kind == u"damaged"_s) {
        QByteArray broken = bytes;
        // Scribble over the middle of the file, past the first pages.
        for (qsizetype i = broken.size() / 2; i < broken.size() / 2 + 6000; ++i)
            broken[i] = char(0x5a ^ (i & 0x3f));
        writeFile(source, broken);
    } else if (kind == u"foreign"_s || kind == u"no rz"_s || kind == u"no 9"_s) {
        if (kind == u"foreign"_s) {
            QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"foreign"_s);
            other.setDatabaseName(source);
            QVERIFY(other.open());
            QSqlQuery(other).exec(u"create table customers (name text, phone text)"_s);
            QSqlQuery(other).exec(u"insert into customers values ('x', '1')"_s);
            other.close();
        } else {
            QVERIFY(QFile::copy(good, source));
            QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"foreign"_s);
            other.setDatabaseName(source);
            QVERIFY(other.open());
            QSqlQuery q(other);
            QVERIFY(
                q.exec(kind == u"no rz"_s ? u"drop table rz"_s : u"alter table data1 drop column \"9\""_s));
            other.close();
        }
        QSqlDatabase::removeDatabase(u"foreign"_s);
    } else if (kind == u"folder"_s) {
        QVERIFY(QDir().mkpath(source));
    }

    const QString before = ShopContent::text(shop.db());
    shop.db().close();
    const QByteArray fileBefore =
        TestDatabase::onPostgreSQL() ? QByteArray() : ShopContent::fileHash(shop.location().path);
    const QString keepFolder = m_dir.filePath(u"keep-refused"_s);
    const BackupService::Result result = BackupService(shop.location()).restoreFrom(source, kNow, keepFolder);
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(reason), qPrintable(result.error));
    QVERIFY(!result.inUse);
    if (!TestDatabase::onPostgreSQL()) {
        QCOMPARE(ShopContent::fileHash(shop.location().path), fileBefore);
        // Neither a kept copy nor a leftover of the check beside the shop.
        QCOMPARE(QDir(QFileInfo(shop.location().path).absolutePath())
                     .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{u"data.mdb"_s});
    }
    QVERIFY(shop.db().reopen());
    QCOMPARE(ShopContent::text(shop.db()), before);
}

void TestBackupService::restoreRefusedWhileAnotherConnectionIsOpen()
{
    TestDatabase shop;
    QVERIFY2(shop.isOpen(), qPrintable(shop.errorText()));
    ShopContent::fill(shop.db());
    const QString file = m_dir.filePath(u"inuse.mdb"_s);
    QVERIFY(BackupService(shop.location()).backupTo(file).ok);
    ExecuteStatement(shop.db(), u"delete from data1"_s);
    const QString before = ShopContent::text(shop.db());

    std::unique_ptr<Database> other = shop.openSecondConnection(u"other_counter"_s);
    QVERIFY(other->isOpen());
    shop.db().close();
    const BackupService service(shop.location());
    const BackupService::Result refused = service.restoreFrom(file, kNow, m_dir.filePath(u"keep-inuse"_s));
    QVERIFY(!refused.ok);
    QVERIFY(refused.inUse);
    QVERIFY2(refused.error.contains(u"正在使用"_s), qPrintable(refused.error));
    QCOMPARE(ShopContent::text(*other), before);

    other.reset();
    const BackupService::Result done = service.restoreFrom(file, kNow, m_dir.filePath(u"keep-inuse"_s));
    QVERIFY2(done.ok, qPrintable(done.error));
    QVERIFY(shop.db().reopen());
    QVERIFY(ScalarValue(shop.db(), u"select count(*) from data1"_s).toInt() > 0);
}

void TestBackupService::backupTargets()
{
    TestDatabase shop;
    QVERIFY2(shop.isOpen(), qPrintable(shop.errorText()));
    ShopContent::fill(shop.db(), 2);
    const BackupService service(shop.location());

    // A folder that does not exist yet is made.
    const QString nested = m_dir.filePath(u"新文件夹/子文件夹/beifen.mdb"_s);
    QVERIFY2(service.backupTo(nested).ok, qPrintable(service.backupTo(nested).error));
    QVERIFY(QFileInfo(nested).size() > 0);

    // A second backup to the same path replaces the first (the window asks).
    ShopContent::addStock(shop.db(), u"后来"_s, 1, 1, QDate(2024, 3, 5));
    QVERIFY(service.backupTo(nested).ok);
    QCOMPARE(ShopContent::text(*BackupFile(nested).db), ShopContent::text(shop.db()));

    BackupService::Result folder = service.backupTo(m_dir.path());
    QVERIFY(!folder.ok);
    QVERIFY(folder.error.contains(u"文件夹"_s));
    QVERIFY(!service.backupTo(u"  "_s).ok);

    if (!TestDatabase::onPostgreSQL()) {
        const QString shopBefore = ShopContent::text(shop.db());
        for (const QString &own : QStringList{shop.location().path, shop.location().path + u"-wal"_s}) {
            const BackupService::Result onItself = service.backupTo(own);
            QVERIFY(!onItself.ok);
            QVERIFY2(onItself.error.contains(u"正在使用的数据库文件"_s), qPrintable(onItself.error));
        }
        QCOMPARE(ShopContent::text(shop.db()), shopBefore);
    }
}

void TestBackupService::failedBackupLeavesTargetAlone()
{
    // A shop whose file is not a database (SQLite) or whose server is gone.
    DatabaseLocation broken;
    if (TestDatabase::onPostgreSQL()) {
        broken = DatabaseLocation::fromArgument(u"postgresql://nobody@127.0.0.1:1/none"_s);
    } else {
        broken =
            DatabaseLocation::fromArgument(writeFile(m_dir.filePath(u"broken.mdb"_s), QByteArray(9000, 'x')));
    }
    QDir folder(m_dir.filePath(u"target-folder"_s));
    QVERIFY(folder.mkpath(u"."_s));
    const QString target = folder.filePath(u"beifen.mdb"_s);
    writeFile(target, "the previous backup");
    const BackupService::Result result = BackupService(broken).backupTo(target);
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
    QFile kept(target);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("the previous backup"));
    QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden), QStringList{u"beifen.mdb"_s});
}

void TestBackupService::damagedShopCanStillBeReplaced()
{
    if (TestDatabase::onPostgreSQL())
        QSKIP("a damaged file is a SQLite matter");
    TestDatabase shop;
    QVERIFY2(shop.isOpen(), qPrintable(shop.errorText()));
    ShopContent::fill(shop.db());
    const QString file = m_dir.filePath(u"before-damage.mdb"_s);
    QVERIFY(BackupService(shop.location()).backupTo(file).ok);
    const QString good = ShopContent::text(shop.db());
    shop.db().close();
    // The shop's own file is overwritten with rubbish: the case restore is for.
    const QByteArray rubbish(20000, '\x17');
    writeFile(shop.location().path, rubbish);
    const BackupService::Result result = BackupService(shop.location()).restoreFrom(file, kNow);
    QVERIFY2(result.ok, qPrintable(result.error));
    QFile kept(result.keptPath);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), rubbish);
    QVERIFY(shop.db().reopen());
    QCOMPARE(ShopContent::text(shop.db()), good);
}

void TestBackupService::betweenEngines()
{
    if (!TestDatabase::onPostgreSQL())
        QSKIP("needs the PostgreSQL server");
    // A single-counter shop moves onto the server ...
    QTemporaryDir local;
    DatabaseLocation fileLocation = DatabaseLocation::fromArgument(local.filePath(u"data.mdb"_s));
    fileLocation.explicitlyNamed = false;
    QString fileShopText;
    const QString fromFile = local.filePath(u"from-file.mdb"_s);
    {
        Database fileShop(fileLocation, u"file_shop"_s);
        QVERIFY2(fileShop.isOpen(), qPrintable(fileShop.errorText()));
        ShopContent::fill(fileShop, 30);
        fileShopText = ShopContent::text(fileShop);
        QVERIFY(BackupService(fileLocation).backupTo(fromFile).ok);
    }
    TestDatabase server;
    QVERIFY2(server.isOpen(), qPrintable(server.errorText()));
    server.db().close();
    const BackupService::Result restored =
        BackupService(server.location()).restoreFrom(fromFile, kNow, local.filePath(u"keep"_s));
    QVERIFY2(restored.ok, qPrintable(restored.error));
    QVERIFY(server.db().reopen());
    QCOMPARE(ShopContent::text(server.db()), fileShopText);

    // ... and a server's backup opens as a data.mdb.
    ShopContent::fill(server.db(), 5);
    const QString serverText = ShopContent::text(server.db());
    const QString fromServer = local.filePath(u"from-server/data.mdb"_s);
    const BackupService::Result backup = BackupService(server.location()).backupTo(fromServer);
    QVERIFY2(backup.ok, qPrintable(backup.error));
    Database opened(DatabaseLocation::fromArgument(fromServer), u"server_copy"_s);
    QVERIFY2(opened.isOpen(), qPrintable(opened.errorText()));
    QCOMPARE(ShopContent::text(opened), serverText);
}

QTEST_GUILESS_MAIN(TestBackupService)
#include "tst_backupservice.moc"

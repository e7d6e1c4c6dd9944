#include "data/Database.h"
#include "data/DatabaseLocation.h"
#include "data/GridLayoutStore.h"
#include "data/PrivateFiles.h"
#include "data/QueryHelpers.h"
#include "data/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

// What another local account can read of the shop: the data folder, the
// database and its companions, and the two settings files.
class TestPrivateFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void filesMadeByTheProgramAreTheOwnersOnly();
    void filesOfOlderVersionsAreTightened_data();
    void filesOfOlderVersionsAreTightened();
    void symbolicLinkIsLeftAlone();

private:
    static int modeOf(const QString &path);
    mode_t m_umask = 0;
};

int TestPrivateFiles::modeOf(const QString &path)
{
    struct stat st
    {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

void TestPrivateFiles::init()
{
    // The usual desktop umask, under which the files used to be readable by all.
    m_umask = ::umask(022);
}

void TestPrivateFiles::cleanup()
{
    ::umask(m_umask);
}

void TestPrivateFiles::filesMadeByTheProgramAreTheOwnersOnly()
{
    QTemporaryDir home;
    PrivateFiles::restrictNewFiles();
    const QString folder = home.filePath(QStringLiteral("Velmora/jxc"));
    DatabaseLocation location;
    location.path = QDir(folder).filePath(QStringLiteral("data.mdb"));
    {
        Database db(location, QStringLiteral("private-files"));
        QVERIFY2(db.isOpen(), qPrintable(db.errorText()));
        ExecuteStatement(db, QStringLiteral("insert into rz (username, btime) values (?, ?)"),
                         {QStringLiteral("张三"), QStringLiteral("2024-03-05 09:30:00")});
        // While the shop is open SQLite keeps its log and index next to it.
        QVERIFY(QFile::exists(location.path + QStringLiteral("-wal")));
        QVERIFY(QFile::exists(location.path + QStringLiteral("-shm")));
        QCOMPARE(modeOf(folder), 0700);
        QCOMPARE(modeOf(home.filePath(QStringLiteral("Velmora"))), 0700);
        for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QCOMPARE(modeOf(location.path + suffix), 0600);
    }

    SettingsStore settings(home.filePath(QStringLiteral("config/jxc.conf")));
    QVERIFY(settings.setValue(QStringLiteral("company"), QStringLiteral("岚蔚箱包")));
    QCOMPARE(modeOf(home.filePath(QStringLiteral("config/jxc.conf"))), 0600);
    QCOMPARE(modeOf(home.filePath(QStringLiteral("config"))), 0700);

    GridLayoutStore layouts(home.filePath(QStringLiteral("config/lwjxc.ini")));
    ColumnLayout column;
    column.field = QStringLiteral("a5");
    column.width = 80;
    QVERIFY(layouts.save(QString(GridLayoutStore::SalesDetailSection), {column}));
    QCOMPARE(modeOf(home.filePath(QStringLiteral("config/lwjxc.ini"))), 0600);
    // Saving again replaces the file; the replacement is no more open.
    QVERIFY(layouts.save(QString(GridLayoutStore::SalesDetailSection), {column}));
    QCOMPARE(modeOf(home.filePath(QStringLiteral("config/lwjxc.ini"))), 0600);
}

void TestPrivateFiles::filesOfOlderVersionsAreTightened_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::newRow("readable by all") << 0644 << 0600;
    QTest::newRow("writable by the group") << 0664 << 0600;
    QTest::newRow("open to everybody") << 0666 << 0600;
    QTest::newRow("already private") << 0600 << 0600;
    QTest::newRow("read-only stays read-only") << 0444 << 0400;
}

void TestPrivateFiles::filesOfOlderVersionsAreTightened()
{
    QFETCH(int, before);
    QFETCH(int, after);
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("data"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
    const QString db = QDir(folder).filePath(QStringLiteral("data.mdb"));
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        QFile file(db + suffix);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(::chmod(QFile::encodeName(db + suffix).constData(), mode_t(before)) == 0);
    }
    PrivateFiles::restrictDatabaseFiles(db);
    QVERIFY(PrivateFiles::restrictFolder(folder));
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QCOMPARE(modeOf(db + suffix), after);
    QCOMPARE(modeOf(folder), 0700);
    // A missing file is nothing to report; a folder is no file.
    QVERIFY(PrivateFiles::restrictFile(home.filePath(QStringLiteral("missing.ini"))));
    QVERIFY(!PrivateFiles::restrictFile(folder));
}

void TestPrivateFiles::symbolicLinkIsLeftAlone()
{
    QTemporaryDir home;
    const QString target = home.filePath(QStringLiteral("elsewhere.txt"));
    QFile file(target);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(::chmod(QFile::encodeName(target).constData(), 0644) == 0);
    const QString link = home.filePath(QStringLiteral("lwjxc.ini"));
    QVERIFY(QFile::link(target, link));
    QVERIFY(!PrivateFiles::restrictFile(link));
    QCOMPARE(modeOf(target), 0644);
}

QTEST_GUILESS_MAIN(TestPrivateFiles)
#include "tst_privatefiles.moc"

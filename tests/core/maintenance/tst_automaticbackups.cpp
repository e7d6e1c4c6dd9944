#include "data/SettingsStore.h"
#include "maintenance/AutomaticBackups.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestAutomaticBackups : public QObject
{
    Q_OBJECT

private slots:
    void folderBesideTheData();
    void listNewestFirstAndPrune();
    void settings_data();
    void settings();

private:
    static void touch(const QString &path, int size = 10)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(size, 'x'));
    }
};

void TestAutomaticBackups::folderBesideTheData()
{
    DatabaseLocation file = DatabaseLocation::fromArgument(u"/srv/shop/data.mdb"_s);
    QCOMPARE(AutomaticBackups::folderFor(file, u"/home/u/.local/share/jxc"_s), u"/srv/shop/备份"_s);
    DatabaseLocation server = DatabaseLocation::fromArgument(u"postgresql://u@host/shop"_s);
    QCOMPARE(AutomaticBackups::folderFor(server, u"/home/u/.local/share/jxc"_s),
             u"/home/u/.local/share/jxc/备份"_s);
    QCOMPARE(AutomaticBackups::fileName(QDateTime(QDate(2024, 3, 5), QTime(9, 3, 7))),
             u"data-20240305-090307.mdb"_s);
}

void TestAutomaticBackups::listNewestFirstAndPrune()
{
    QTemporaryDir dir;
    const QDir folder(dir.path());
    const QStringList ours{u"data-20240301-180000.mdb"_s, u"data-20240305-093000.mdb"_s,
                           u"data-20240305-093000-2.mdb"_s, u"data-20231231-235959.mdb"_s,
                           u"data-20240302-080000.mdb"_s};
    for (const QString &name : ours)
        touch(folder.filePath(name), 100 + int(name.size()));
    // Not ours: kept out of the list and never removed.
    const QStringList others{u"data-恢复前-20240101-010101.mdb"_s, u"beifen.mdb"_s, u"data-2024.mdb"_s,
                             u"data-20241301-000000.mdb"_s, u"notes.txt"_s};
    for (const QString &name : others)
        touch(folder.filePath(name));

    QList<AutomaticBackups::Entry> entries = AutomaticBackups::list(dir.path());
    QStringList names;
    for (const AutomaticBackups::Entry &entry : entries)
        names << QFileInfo(entry.path).fileName();
    QCOMPARE(names, (QStringList{u"data-20240305-093000-2.mdb"_s, u"data-20240305-093000.mdb"_s,
                                 u"data-20240302-080000.mdb"_s, u"data-20240301-180000.mdb"_s,
                                 u"data-20231231-235959.mdb"_s}));
    QCOMPARE(entries.first().time, QDateTime(QDate(2024, 3, 5), QTime(9, 30)));
    QCOMPARE(entries.first().size, qint64(100 + QStringLiteral("data-20240305-093000-2.mdb").size()));

    QCOMPARE(AutomaticBackups::prune(dir.path(), 2), 3);
    QCOMPARE(AutomaticBackups::list(dir.path()).size(), 2);
    QVERIFY(folder.exists(u"data-20240305-093000.mdb"_s));
    for (const QString &name : others)
        QVERIFY2(folder.exists(name), qPrintable(name));
    QCOMPARE(AutomaticBackups::prune(dir.path(), 7), 0);
    QCOMPARE(AutomaticBackups::list(dir.filePath(u"missing"_s)).size(), 0);
}

void TestAutomaticBackups::settings_data()
{
    QTest::addColumn<QString>("on");
    QTest::addColumn<QString>("count");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("kept");
    QTest::newRow("never set") << QString() << QString() << true << 7;
    QTest::newRow("off, 3") << u"no"_s << u"3"_s << false << 3;
    QTest::newRow("on, 30") << u"yes"_s << u" 30 "_s << true << 30;
    QTest::newRow("zero") << u"yes"_s << u"0"_s << true << 7;
    QTest::newRow("negative") << u"yes"_s << u"-2"_s << true << 7;
    QTest::newRow("text") << u"maybe"_s << u"sieben"_s << true << 7;
    QTest::newRow("too many") << u"yes"_s << u"100000"_s << true << 7;
}

void TestAutomaticBackups::settings()
{
    QFETCH(QString, on);
    QFETCH(QString, count);
    QFETCH(bool, enabled);
    QFETCH(int, kept);
    QTemporaryDir dir;
    SettingsStore store(dir.filePath(u"jxc.conf"_s));
    if (!on.isNull())
        store.setValue(SettingsStore::Keys::AutoBackup, on);
    if (!count.isNull())
        store.setValue(SettingsStore::Keys::AutoBackupCount, count);
    QCOMPARE(AutomaticBackups::enabled(store), enabled);
    QCOMPARE(AutomaticBackups::count(store), kept);

    QVERIFY(AutomaticBackups::setEnabled(store, !enabled));
    QVERIFY(AutomaticBackups::setCount(store, 12));
    QCOMPARE(store.value(SettingsStore::Keys::AutoBackup), enabled ? u"no"_s : u"yes"_s);
    QCOMPARE(AutomaticBackups::count(store), 12);
}

QTEST_GUILESS_MAIN(TestAutomaticBackups)
#include "tst_automaticbackups.moc"

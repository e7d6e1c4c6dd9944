#include "../common/SignedInMainForm.h"

#include "data/Database.h"
#include "data/SettingsStore.h"
#include "maintenance/AutomaticBackups.h"
#include "maintenance/BackupService.h"
#include "maintenance/Trepair.h"
#include "stock/StockListView.h"

#include "data/SqlListModel.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

QByteArray fileHash(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

int stockRowsIn(const QString &path)
{
    Database copy(DatabaseLocation::fromArgument(path), u"count_reader"_s);
    return copy.isOpen() ? ScalarValue(copy, u"select count(*) from data"_s).toInt() : -1;
}

} // namespace

class TestTrepair : public QObject
{
    Q_OBJECT

public:
    // The default target lies in the documents folder: a home of the test's own.
    static void initMain()
    {
        static QTemporaryDir home;
        qputenv("HOME", QFile::encodeName(home.path()));
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_DATA_HOME");
    }

private slots:
    void initTestCase() { SignedInMainForm::initTestCase(m_home); }
    void init() { Prompter::clearShown(); }

    void firstUseBacksUpToTheDefault();
    void secondBackupToTheSamePathAsks();
    void closingReconnectsAndListsAfresh();
    void restoreThroughTheWindow();
    void unusableRestoreSourcesChangeNothing();
    void automaticBackupOnClose();
    void automaticBackupSwitchedOff();

private:
    // Opens the window from the tool button.
    static Trepair *openWindow(SignedInMainForm &shop)
    {
        shop.action("backupAction")->trigger();
        Trepair *window = shop.form->findChild<Trepair *>();
        return window && QTest::qWaitForWindowExposed(window) ? window : nullptr;
    }
    template <typename W> static W *child(Trepair *window, const char *name)
    {
        return window->findChild<W *>(QLatin1String(name));
    }

    QTemporaryDir m_home;
};

void TestTrepair::firstUseBacksUpToTheDefault()
{
    SignedInMainForm shop;
    QVERIFY(shop.open());
    shop.addStock(u"旅行箱"_s, 100, 5, 500, 0, QDate(2024, 3, 1));
    QVERIFY(shop.action("backupAction")->isEnabled());
    QVERIFY(shop.settings.value(SettingsStore::Keys::BackupPath).isEmpty());

    Trepair *window = openWindow(shop);
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), u"数据库备份"_s);
    QVERIFY(window->isVisible());
    QVERIFY(!shop.form->isVisible());
    QVERIFY(!shop.database.db().isOpen());

    const QString expected =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).filePath(u"beifen.mdb"_s);
    QVERIFY(expected.startsWith(qEnvironmentVariable("HOME")));
    auto *target = child<QLineEdit>(window, "targetBox");
    QCOMPARE(target->text(), expected);
    QVERIFY(!QFileInfo::exists(expected));
    // Nothing typed: "save" stays unwritten.
    QVERIFY(shop.settings.value(SettingsStore::Keys::BackupPath).isEmpty());

    QTest::mouseClick(child<QPushButton>(window, "backupButton"), Qt::LeftButton);
    QCOMPARE(Prompter::lastText(), u"数据库备份成功！"_s);
    QCOMPARE(BackupService::checkBackupFile(expected), QString());
    QCOMPARE(stockRowsIn(expected), 1);

    // Every change of the box is stored, the one made by "默认" included.
    target->clear();
    QTest::keyClicks(target, u"/tmp/x.mdb"_s);
    QCOMPARE(shop.settings.value(SettingsStore::Keys::BackupPath), u"/tmp/x.mdb"_s);
    QTest::mouseClick(child<QLabel>(window, "defaultLabel"), Qt::LeftButton);
    QCOMPARE(target->text(), expected);
    QCOMPARE(shop.settings.value(SettingsStore::Keys::BackupPath), expected);
    QVERIFY(QFile::remove(expected));
    window->close();
}

void TestTrepair::secondBackupToTheSamePathAsks()
{
    SignedInMainForm shop;
    QVERIFY(shop.open());
    const QString path = shop.dir.filePath(u"备份文件/beifen.mdb"_s);
    shop.settings.setBackupPath(path);
    Trepair *window = openWindow(shop);
    QVERIFY(window);
    // The stored target is shown when the window opens.
    QCOMPARE(child<QLineEdit>(window, "targetBox")->text(), path);

    QTest::mouseClick(child<QPushButton>(window, "backupButton"), Qt::LeftButton);
    QCOMPARE(Prompter::lastText(), u"数据库备份成功！"_s);
    const QByteArray first = fileHash(path);

    // Meanwhile another counter stocks a new article.
    {
        std::unique_ptr<Database> other = shop.database.openSecondConnection(u"other"_s);
        ExecuteStatement(*other, u"insert into data (a, c, d) values ('新货', 'N1', '背包')"_s);
    }
    Prompter::clearShown();
    Prompter::queueAnswer(Prompter::Answer::Cancel);
    QTest::mouseClick(child<QPushButton>(window, "backupButton"), Qt::LeftButton);
    QCOMPARE(Prompter::shown().size(), 2);
    QVERIFY2(Prompter::shown().at(0).text.contains(u"已经存在"_s), qPrintable(Prompter::shown().at(0).text));
    QCOMPARE(Prompter::shown().at(0).caption, u"警告！"_s);
    QCOMPARE(Prompter::lastText(), u"数据库备份失败！"_s);
    QCOMPARE(fileHash(path), first);

    Prompter::queueAnswer(Prompter::Answer::Ok);
    QTest::mouseClick(child<QPushButton>(window, "backupButton"), Qt::LeftButton);
    QCOMPARE(Prompter::lastText(), u"数据库备份成功！"_s);
    QCOMPARE(stockRowsIn(path), 1);
    window->close();
}

void TestTrepair::closingReconnectsAndListsAfresh()
{
    SignedInMainForm shop;
    QVERIFY(shop.open());
    shop.addStock(u"钱包"_s, 10, 3, 30, 0, QDate(2024, 3, 1));
    shop.form->showAllRecords();
    SqlListModel *list = shop.form->stockList()->listModel();
    QCOMPARE(list->totalCount(), 1);

    QPointer<Trepair> window = openWindow(shop);
    QVERIFY(window);
    {
        std::unique_ptr<Database> other = shop.database.openSecondConnection(u"other"_s);
        ExecuteStatement(*other, u"insert into data (a, c, d, \"7\") values ('新货', 'N1', '背包', 2)"_s);
    }
    QVERIFY(window->close());
    QTRY_VERIFY(!window);
    QVERIFY(shop.database.db().isOpen());
    QVERIFY(shop.form->isVisible());
    QCOMPARE(list->totalCount(), 2);

    // Opened again, the window is a new one and closes the connection again.
    window = openWindow(shop);
    QVERIFY(window);
    QVERIFY(!shop.database.db().isOpen());
    window->close();
    QVERIFY(shop.database.db().isOpen());
}

void TestTrepair::restoreThroughTheWindow()
{
    SignedInMainForm shop;
    QVERIFY(shop.open());
    for (int i = 0; i < 4; ++i)
        shop.addStock(u"箱%1"_s.arg(i), 10, 3, 30, 0, QDate(2024, 3, 1));
    const QString backup = shop.dir.filePath(u"beifen.mdb"_s);
    QVERIFY(BackupService(shop.database.location()).backupTo(backup).ok);
    ExecuteStatement(shop.database.db(), u"delete from data"_s);
    shop.form->showAllRecords();
    SqlListModel *list = shop.form->stockList()->listModel();
    QCOMPARE(list->totalCount(), 0);

    QPointer<Trepair> window = openWindow(shop);
    QVERIFY(window);
    auto *source = child<QLineEdit>(window, "sourceBox");
    QCOMPARE(source->text(), u"beifen.mdb"_s);
    // A cancelled file dialog leaves the box as it was.
    QTest::mouseClick(child<QPushButton>(window, "openBackupButton"), Qt::LeftButton);
    QCOMPARE(source->text(), u"beifen.mdb"_s);
    Prompter::queueFileName(backup);
    QTest::mouseClick(child<QPushButton>(window, "openBackupButton"), Qt::LeftButton);
    QCOMPARE(source->text(), QDir::toNativeSeparators(backup));

    // Asked first; Cancel changes nothing.
    QTest::mouseClick(child<QPushButton>(window, "restoreButton"), Qt::LeftButton);
    QCOMPARE(Prompter::shown().last().caption, u"警告！"_s);
    Prompter::queueAnswer(Prompter::Answer::Ok);
    QTest::mouseClick(child<QPushButton>(window, "restoreButton"), Qt::LeftButton);
    const QString text = Prompter::lastText();
    QVERIFY2(text.startsWith(u"数据库恢复成功！"_s), qPrintable(text));
    const QString kept =
        QFileInfo(shop.database.location().path).dir().filePath(u"data-恢复前-20240305-093000.mdb"_s);
    QVERIFY2(text.contains(QDir::toNativeSeparators(kept)), qPrintable(text));
    QCOMPARE(stockRowsIn(kept), 0);

    window->close();
    QTRY_VERIFY(!window);
    QVERIFY(shop.form->isVisible());
    QCOMPARE(list->totalCount(), 4);
}

void TestTrepair::unusableRestoreSourcesChangeNothing()
{
    SignedInMainForm shop;
    QVERIFY(shop.open());
    shop.addStock(u"旅行箱"_s, 100, 5, 500, 0, QDate(2024, 3, 1));
    Trepair *window = openWindow(shop);
    QVERIFY(window);
    auto *source = child<QLineEdit>(window, "sourceBox");
    auto *restore = child<QPushButton>(window, "restoreButton");
    const QString data = shop.database.location().path;
    const QByteArray before = fileHash(data);

    // The initial "beifen.mdb" names no file in the working folder.
    QVERIFY(!QFileInfo::exists(source->text()));
    QTest::mouseClick(restore, Qt::LeftButton);
    QCOMPARE(Prompter::lastText(), u"备份数据库没找到!"_s);

    const QString rubbish = shop.dir.filePath(u"rubbish.mdb"_s);
    QFile file(rubbish);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(10000, 'r'));
    file.close();
    source->setText(rubbish);
    Prompter::queueAnswer(Prompter::Answer::Ok);
    QTest::mouseClick(restore, Qt::LeftButton);
    QVERIFY2(Prompter::lastText().startsWith(u"数据库恢复失败！\n"_s), qPrintable(Prompter::lastText()));
    QVERIFY(Prompter::lastText().contains(u"不是数据库文件"_s));
    QCOMPARE(fileHash(data), before);
    window->close();
    QCOMPARE(ScalarValue(shop.database.db(), u"select count(*) from data"_s).toInt(), 1);
}

void TestTrepair::automaticBackupOnClose()
{
    SignedInMainForm shop;
    QVERIFY(shop.open());
    shop.addStock(u"旅行箱"_s, 100, 5, 500, 0, QDate(2024, 3, 1));
    const QString folder = QFileInfo(shop.database.location().path).dir().filePath(u"备份"_s);
    QVERIFY(QDir().mkpath(folder));
    // Eight older automatic backups and a file of the operator's own.
    for (int day = 1; day <= 8; ++day) {
        QFile old(
            QDir(folder).filePath(AutomaticBackups::fileName(QDateTime(QDate(2024, 2, day), QTime(18, 0)))));
        QVERIFY(old.open(QIODevice::WriteOnly));
    }
    QFile own(QDir(folder).filePath(u"我的备份.mdb"_s));
    QVERIFY(own.open(QIODevice::WriteOnly));
    own.close();

    // The window lists them and keeps 7 by default.
    Trepair *window = openWindow(shop);
    QVERIFY(window);
    QVERIFY(child<QCheckBox>(window, "automaticBox")->isChecked());
    QCOMPARE(child<QSpinBox>(window, "automaticCount")->value(), 7);
    auto *list = child<QTreeWidget>(window, "automaticList");
    QCOMPARE(list->topLevelItemCount(), 8);
    QCOMPARE(list->topLevelItem(0)->text(0), u"2024-02-08 18:00:00"_s);
    window->close();

    QVERIFY(shop.form->close());
    const QList<AutomaticBackups::Entry> entries = AutomaticBackups::list(folder);
    QCOMPARE(entries.size(), 7);
    QCOMPARE(QFileInfo(entries.first().path).fileName(), u"data-20240305-093000.mdb"_s);
    QCOMPARE(QFileInfo(entries.last().path).fileName(), u"data-20240203-180000.mdb"_s);
    QVERIFY(QFileInfo::exists(own.fileName()));
    QCOMPARE(BackupService::checkBackupFile(entries.first().path), QString());
    // Taken after the session was closed: its end time is in the backup.
    Database copy(DatabaseLocation::fromArgument(entries.first().path), u"automatic_reader"_s);
    QCOMPARE(ScalarValue(copy, u"select count(*) from rz where jtime is null"_s).toInt(), 0);
    QCOMPARE(ScalarValue(copy, u"select count(*) from data"_s).toInt(), 1);
}

void TestTrepair::automaticBackupSwitchedOff()
{
    SignedInMainForm shop;
    QVERIFY(shop.open());
    Trepair *window = openWindow(shop);
    QVERIFY(window);
    child<QCheckBox>(window, "automaticBox")->click();
    child<QSpinBox>(window, "automaticCount")->setValue(3);
    QCOMPARE(shop.settings.value(SettingsStore::Keys::AutoBackup), u"no"_s);
    QCOMPARE(AutomaticBackups::count(shop.settings), 3);
    window->close();
    QVERIFY(shop.form->close());
    QVERIFY(!QFileInfo::exists(QFileInfo(shop.database.location().path).dir().filePath(u"备份"_s)));
}

QTEST_MAIN(TestTrepair)
#include "tst_trepair.moc"

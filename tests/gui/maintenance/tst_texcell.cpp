#include "../common/SignedInMainForm.h"

#include "common/ShopContext.h"
#include "data/SqlListModel.h"
#include "maintenance/Texcell.h"
#include "stock/StockListView.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QtTest>

using namespace Qt::StringLiterals;

// The import window driven as the operator does, on the engine of this run:
// the messages, the preview, the main list after an import, the choice of
// another database file and the template.
class TestTexcell : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SignedInMainForm::initTestCase(m_home); }
    void init();
    void cleanup() { m_shop.reset(); }

    void emptyPathIsRefused_data();
    void emptyPathIsRefused();
    void importShowsPreviewThenTheNewRows();
    void cancelledPreviewAddsNothing();
    void badCellsAreNamedAndNothingIsAdded_data();
    void badCellsAreNamedAndNothingIsAdded();
    void foreignDatabaseFileIsRefused_data();
    void foreignDatabaseFileIsRefused();
    void importIntoAnotherDatabaseFile();
    void fillInitialsOptionIsRemembered();
    void templateExportsAnEmptySheet();
    void restrictedOperatorIsRefused();

private:
    static QString data(const QString &name)
    {
        return qEnvironmentVariable("LWJXC_TEST_DATA") + u"/import/"_s + name;
    }
    int stockRows() { return ScalarValue(m_shop->database.db(), u"select count(*) from data"_s).toInt(); }

    QTemporaryDir m_home;
    std::unique_ptr<SignedInMainForm> m_shop;
    Texcell *m_window = nullptr;
};

void TestTexcell::init()
{
    m_shop = std::make_unique<SignedInMainForm>();
    QVERIFY(m_shop->open());
    m_window = m_shop->form->excelImport();
    QVERIFY(m_window);
    Prompter::clearShown();
}

void TestTexcell::emptyPathIsRefused_data()
{
    QTest::addColumn<QString>("excel");
    QTest::addColumn<QString>("database");
    QTest::newRow("no workbook") << u"  "_s << u"x"_s;
    QTest::newRow("no database") << data(u"good.xls"_s) << QString();
}

void TestTexcell::emptyPathIsRefused()
{
    QFETCH(QString, excel);
    QFETCH(QString, database);
    m_window->excelPathBox()->setText(excel);
    m_window->databasePathBox()->setText(database);
    m_window->runImport();
    QCOMPARE(Prompter::shown().size(), 1);
    QCOMPARE(Prompter::shown().first().caption, u"警告"_s);
    QCOMPARE(Prompter::lastText(), u"请正确选择相关路径！"_s);
    QCOMPARE(stockRows(), 0);
}

void TestTexcell::importShowsPreviewThenTheNewRows()
{
    // The database box starts with the database in use.
    QCOMPARE(m_window->databasePathBox()->text(), m_shop->database.db().location().displayName());
    QCOMPARE(m_window->windowTitle(), u"Excel导入数据库"_s);
    m_window->excelPathBox()->setText(u"  "_s + data(u"good.xls"_s) + u" "_s);
    QString summary;
    QStringList firstRow;
    // LWJXC_SCREENSHOT_DIR: where to keep pictures of the window and the
    // preview for a look by eye.
    const QString shots = qEnvironmentVariable("LWJXC_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        m_window->grab().save(shots + u"/texcell.png"_s);
    }
    m_window->setPreviewRunner([&](QDialog &preview) {
        if (!shots.isEmpty()) {
            preview.show();
            if (QTest::qWaitForWindowExposed(&preview))
                preview.grab().save(shots + u"/texcell-preview.png"_s);
            preview.hide();
        }
        summary = preview.findChild<QLabel *>(u"previewSummary"_s)->text();
        auto *table = preview.findChild<QTableWidget *>(u"previewTable"_s);
        for (int c = 0; c < table->columnCount(); ++c)
            firstRow << table->item(0, c)->text();
        return true;
    });
    SqlListModel *list = m_shop->form->stockList()->listModel();
    QCOMPARE(list->rowCount(), 0);

    m_window->runImport();
    QVERIFY2(summary.contains(u"将向库存表添加 3 条记录"_s), qPrintable(summary));
    QCOMPARE(firstRow.first(), u"拉杆箱"_s);
    QCOMPARE(firstRow.last(), u"2024-03-05"_s);
    QCOMPARE(Prompter::lastText(), u"批量EXCEL导入成功！请退出在主界面中点全部记录查看"_s);
    QCOMPARE(Prompter::shown().last().caption, u"警告"_s);
    QCOMPARE(stockRows(), 3);
    // "全部记录" ran: the main list shows them without reopening.
    QTRY_COMPARE(list->rowCount(), 3);
}

void TestTexcell::cancelledPreviewAddsNothing()
{
    m_window->excelPathBox()->setText(data(u"good.xlsx"_s));
    m_window->setPreviewRunner([](QDialog &) { return false; });
    m_window->runImport();
    QVERIFY(Prompter::shown().isEmpty());
    QCOMPARE(stockRows(), 0);
}

void TestTexcell::badCellsAreNamedAndNothingIsAdded_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason");
    QTest::newRow("bad cell") << u"bad_cells.xls"_s << u"第 12 行 a7：“abc”不是数字"_s;
    QTest::newRow("missing column") << u"missing_column.xlsx"_s << u"工作表第一行缺少列名：a7、day1"_s;
    QTest::newRow("other sheet") << u"wrong_sheet.xls"_s << u"没有名为“qmzrtk”的工作表"_s;
}

void TestTexcell::badCellsAreNamedAndNothingIsAdded()
{
    QFETCH(QString, file);
    QFETCH(QString, reason);
    m_window->excelPathBox()->setText(data(file));
    bool previewed = false;
    m_window->setPreviewRunner([&](QDialog &) { return previewed = true; });
    m_window->runImport();
    QVERIFY(!previewed);
    QVERIFY(Prompter::lastText().startsWith(Texcell::importFailedText()));
    QVERIFY2(Prompter::lastText().contains(reason), qPrintable(Prompter::lastText()));
    QCOMPARE(stockRows(), 0);
}

void TestTexcell::foreignDatabaseFileIsRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text file") << QByteArray("not a database\n");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("missing file") << QByteArray("-");
}

void TestTexcell::foreignDatabaseFileIsRefused()
{
    QFETCH(QByteArray, content);
    const QString path = m_shop->dir.filePath(u"other.mdb"_s);
    if (content != "-") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    m_window->excelPathBox()->setText(data(u"good.xls"_s));
    m_window->databasePathBox()->setText(path);
    m_window->setPreviewRunner([](QDialog &) { return true; });
    m_window->runImport();
    QVERIFY2(Prompter::lastText().startsWith(Texcell::connectionFailedText()),
             qPrintable(Prompter::lastText()));
    QCOMPARE(stockRows(), 0);
    // Nothing touched: the file is as it was.
    if (content != "-") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
    }
}

void TestTexcell::importIntoAnotherDatabaseFile()
{
    const QString path = m_shop->dir.filePath(u"branch.mdb"_s);
    {
        // A second shop database, made as a first start makes one.
        DatabaseLocation location = DatabaseLocation::fromArgument(path);
        location.explicitlyNamed = false;
        Database other(location, u"branch-setup"_s);
        QVERIFY2(other.isOpen(), qPrintable(other.errorText()));
    }
    m_window->excelPathBox()->setText(data(u"good_gbk.csv"_s));
    m_window->databasePathBox()->setText(path);
    m_window->setPreviewRunner([](QDialog &) { return true; });
    m_window->runImport();
    QCOMPARE(Prompter::lastText(), u"批量EXCEL导入成功！请退出在主界面中点全部记录查看"_s);
    QCOMPARE(stockRows(), 0);
    DatabaseLocation location = DatabaseLocation::fromArgument(path);
    Database other(location, u"branch-check"_s);
    QCOMPARE(ScalarValue(other, u"select count(*) from data"_s).toInt(), 3);
}

void TestTexcell::fillInitialsOptionIsRemembered()
{
    QVERIFY(!m_window->fillInitialsBox()->isChecked());
    m_window->fillInitialsBox()->click();
    QCOMPARE(m_shop->settings.value(u"daorupy"_s), u"yes"_s);
    Texcell again(m_shop->form->context(), m_shop->form.get());
    QVERIFY(again.fillInitialsBox()->isChecked());

    // With the option on, 双肩包's empty initials are filled.
    m_window->excelPathBox()->setText(data(u"good.xls"_s));
    m_window->setPreviewRunner([](QDialog &) { return true; });
    m_window->runImport();
    QCOMPARE(
        ScalarValue(m_shop->database.db(), u"select e from data where a = ?"_s, {u"双肩包"_s}).toString(),
        u"sjb"_s);
}

void TestTexcell::templateExportsAnEmptySheet()
{
    const QString path = m_shop->dir.filePath(u"模板.xls"_s);
    Prompter::queueFileName(path);
    m_window->exportTemplate();
    QVERIFY(QFileInfo::exists(path));
    QCOMPARE(m_window->excelPathBox()->text(), QDir::toNativeSeparators(path));
    const StockImport::Reading reading = StockImport::read(path, {});
    QVERIFY2(reading.ok, qPrintable(reading.failure));
    QCOMPARE(reading.rows.size(), 0);
    // Importing the untouched template adds nothing and reports success.
    m_window->runImport();
    QCOMPARE(Prompter::lastText(), u"批量EXCEL导入成功！请退出在主界面中点全部记录查看"_s);
    QCOMPARE(stockRows(), 0);
}

void TestTexcell::restrictedOperatorIsRefused()
{
    cleanup();
    m_shop = std::make_unique<SignedInMainForm>();
    ExecuteStatement(m_shop->database.db(), u"insert into userdb (username, passwd) values (?, ?)"_s,
                     {u"店员"_s, u"1"_s});
    QVERIFY(m_shop->open(u"店员"_s));
    QVERIFY(!m_shop->action("excelImportAction")->isVisible());
    Texcell *window = m_shop->form->excelImport();
    window->excelPathBox()->setText(data(u"good.xls"_s));
    window->setPreviewRunner([](QDialog &) { return true; });
    window->runImport();
    QVERIFY(Prompter::lastText().contains(AccessDenied::text()));
    QCOMPARE(stockRows(), 0);
}

QTEST_MAIN(TestTexcell)
#include "tst_texcell.moc"

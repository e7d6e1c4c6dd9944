#include "../common/SignedInMainForm.h"
#include "PdfReadBack.h"
#include "SheetReadBack.h"

#include "common/DataGrid.h"
#include "common/GridPrinter.h"
#include "common/GroupedHeaderView.h"
#include "data/GridLayoutStore.h"
#include "data/SqlListModel.h"
#include "reports/TForm1.h"

#include <QFile>
#include <QHeaderView>
#include <QRegularExpression>
#include <QTableView>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"qmzrtk.vdx3"_s;

// The footer and the cells as the operator reads them.
QStringList visibleTitles(const DataGrid &grid)
{
    QStringList titles;
    for (int c = 0; c < grid.columns().size(); ++c) {
        if (grid.isColumnVisible(c))
            titles << grid.columns().at(c).upperTitle + u'|' + grid.columns().at(c).lowerTitle;
    }
    return titles;
}

QString cellText(const DataGrid &grid, int row, int column)
{
    return grid.gridModel()->index(row, column).data().toString();
}

} // namespace

// The summary window as the operator meets it: opened from the tool bar and
// from the stock list's menu, its rows, totals, sorting, the amounts hidden
// from other accounts, export and print.
class TestTForm1 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        SignedInMainForm::initTestCase(m_home);
    }

    void init()
    {
        QFile::remove(GridLayoutStore::defaultFilePath());
        m_shop = std::make_unique<SignedInMainForm>();
        QVERIFY2(m_shop->database.isOpen(), qPrintable(m_shop->database.errorText()));
        Prompter::clearShown();
    }

    void cleanup()
    {
        GridPrinter::setPreviewHook(nullptr);
        if (m_shop && m_shop->form && m_shop->form->summary())
            m_shop->form->summary()->close();
        m_shop.reset();
    }

    void toolButtonOpensModallyOnTheLastRow();
    void menuOpensWithoutBlockingAndOnlyOnce();
    void titlesFootersAndEmptyCells();
    void stockQuantityTitleSortsLargestFirstThenSmallest();
    void restrictedAmountsStayHidden_data();
    void restrictedAmountsStayHidden();
    void layoutKeepsWidthsButNeverHidesAColumn();
    void exportHoldsTitleAndVisibleColumns_data();
    void exportHoldsTitleAndVisibleColumns();
    void exportOfEmptyTableWritesNothing();
    void printHasReportHeadingAndClosingLine();

private:
    void addArticles();
    TForm1 *openModeless();

    QTemporaryDir m_home;
    QTemporaryDir m_dir;
    std::unique_ptr<SignedInMainForm> m_shop;
};

void TestTForm1::addArticles()
{
    // Three deliveries of one case, two bags: two rows.
    m_shop->addStock(u"拉杆箱"_s, 100, 10, 1000.0, 4, QDate(2024, 1, 3));
    m_shop->addStock(u"拉杆箱"_s, 100, 5, 500.0, 0, QDate(2024, 2, 3));
    m_shop->addStock(u"拉杆箱"_s, 100, 1, 100.0, 1, QDate(2024, 3, 3));
    m_shop->addStock(u"双肩包"_s, 40, 30, 1200.0, 3, QDate(2024, 1, 9));
}

TForm1 *TestTForm1::openModeless()
{
    m_shop->action("menuSummaryAction")->trigger();
    TForm1 *window = m_shop->form->summary();
    return window && QTest::qWaitForWindowExposed(window) ? window : nullptr;
}

void TestTForm1::toolButtonOpensModallyOnTheLastRow()
{
    addArticles();
    QVERIFY(m_shop->open());
    QAction *button = m_shop->action("summaryAction");
    QVERIFY(button->isEnabled());
    TForm1 *window = m_shop->form->summary();
    bool wasModal = false;
    int rows = -1;
    int current = -1;
    QTimer::singleShot(0, window, [&] {
        wasModal = window->isModal();
        rows = window->listModel()->rowCount();
        current = window->grid()->currentRow();
        window->close();
    });
    button->trigger(); // returns when the modal window closes
    QVERIFY(wasModal);
    QCOMPARE(rows, 2);
    QCOMPARE(current, 1);
    QVERIFY(!window->isVisible());
    // Closed, the result is let go.
    QVERIFY(!window->listModel()->isActive());
}

void TestTForm1::menuOpensWithoutBlockingAndOnlyOnce()
{
    addArticles();
    QVERIFY(m_shop->open());
    QCOMPARE(m_shop->action("menuSummaryAction")->shortcut(), QKeySequence(u"Ctrl+H"_s));
    TForm1 *window = openModeless();
    QVERIFY(window);
    QVERIFY(!window->isModal());
    QCOMPARE(window->windowTitle(), u"汇总统计"_s);
    QCOMPARE(window->grid()->currentRow(), 1);

    // A stock-in made meanwhile shows at the next showing, not in the open window.
    m_shop->addStock(u"钱包"_s, 20, 3, 60.0, 0, QDate(2024, 3, 4));
    window->grid()->setCurrentRow(0);
    m_shop->form->activateWindow();
    m_shop->action("menuSummaryAction")->trigger();
    m_shop->action("summaryAction")->trigger(); // the tool button, too, only brings it to the front
    QVERIFY(window->isVisible());
    QVERIFY(!window->isModal());
    QCOMPARE(window->listModel()->rowCount(), 2);
    QCOMPARE(window->grid()->currentRow(), 0);
    QCOMPARE(m_shop->form->findChildren<TForm1 *>().size(), 1);

    window->close();
    QVERIFY(openModeless());
    QCOMPARE(window->listModel()->rowCount(), 3);
    QCOMPARE(window->grid()->currentRow(), 2);
}

void TestTForm1::titlesFootersAndEmptyCells()
{
    addArticles();
    // A delivery without an amount beside none at all: the case's amount
    // stays, the empty article shows empty cells.
    m_shop->addStock(u"空记录"_s, 10, 2, QVariant(QMetaType::fromType<double>()), 0, QDate(2024, 1, 1));
    ExecuteStatement(m_shop->database.db(),
                     u"update data set \"2\" = null, \"5\" = null, \"6\" = null, \"7\" = null, \"8\" = null "
                     "where a = ?"_s,
                     {u"空记录"_s});
    QVERIFY(m_shop->open());
    TForm1 *window = openModeless();
    QVERIFY(window);
    DataGrid &grid = *window->grid();
    QCOMPARE(visibleTitles(grid),
             (QStringList{u"商 品 信 息|名 称"_s, u"商 品 信 息|规格型号"_s, u"商 品 信 息|编 码"_s,
                          u"商 品 信 息|类 别"_s, u"进 货|数 量"_s, u"进 货|金 额"_s, u"销 售|数 量"_s,
                          u"销 售|金 额"_s, u"存 货|数 量"_s, u"存 货|金 额"_s}));
    // The shop's title colours, as on the stock list.
    QCOMPARE(grid.gridModel()->headerData(4, Qt::Horizontal, Qt::BackgroundRole).value<QColor>(),
             QColor(0, 128, 128));
    QCOMPARE(grid.gridModel()->headerData(8, Qt::Horizontal, Qt::BackgroundRole).value<QColor>(),
             QColor(128, 0, 0));
    QCOMPARE(grid.footerText(0), u"总计"_s);
    const QStringList footers{u"46"_s, u"2800"_s, u"8"_s, u"1240"_s, u"38"_s, u"2180"_s};
    for (int c = 4; c < 10; ++c)
        QCOMPARE(grid.footerText(c), footers.at(c - 4));
    for (int row = 0; row < window->listModel()->rowCount(); ++row) {
        if (cellText(grid, row, 0) != u"空记录"_s)
            continue;
        for (const int c : {4, 5, 6, 7, 8, 9})
            QVERIFY2(cellText(grid, row, c).isEmpty(), qPrintable(QString::number(c)));
        return;
    }
    QFAIL("the article without figures is missing");
}

void TestTForm1::stockQuantityTitleSortsLargestFirstThenSmallest()
{
    addArticles();
    m_shop->addStock(u"钱包"_s, 20, 13, 260.0, 0, QDate(2024, 3, 4));
    QVERIFY(m_shop->open());
    TForm1 *window = openModeless();
    QVERIFY(window);
    DataGrid &grid = *window->grid();
    auto names = [&grid] {
        QStringList n;
        for (int r = 0; r < grid.gridModel()->rowCount(); ++r)
            n << cellText(grid, r, 0);
        return n;
    };
    // Stock left: 双肩包 27, 钱包 13, 拉杆箱 11.
    const int stockQuantity = 8;
    QTest::mouseClick(
        grid.header()->viewport(), Qt::LeftButton, {},
        QPoint(grid.header()->sectionViewportPosition(stockQuantity) + 5, grid.header()->height() - 4));
    QCOMPARE(names(), (QStringList{u"双肩包"_s, u"钱包"_s, u"拉杆箱"_s}));
    QCOMPARE(grid.sortMarker(stockQuantity), ColumnLayout::Descending);
    grid.clickTitle(stockQuantity);
    QCOMPARE(names(), (QStringList{u"拉杆箱"_s, u"钱包"_s, u"双肩包"_s}));
    // The footer is the same whatever the order.
    QCOMPARE(grid.footerText(stockQuantity), u"51"_s);
}

void TestTForm1::restrictedAmountsStayHidden_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<bool>("amountsShown");
    QTest::newRow("administrator sees every column") << QString(Schema::kAdministrator) << true;
    QTest::newRow("other account: amounts hidden") << u"店员"_s << false;
}

void TestTForm1::restrictedAmountsStayHidden()
{
    QFETCH(QString, user);
    QFETCH(bool, amountsShown);
    addArticles();
    // A layout written by an administrator's session (or by hand) that
    // shows every column, the amounts included.
    QList<ColumnLayout> planted;
    const QList<DataGridColumn> design = TForm1::designColumns();
    for (int c = 0; c < design.size(); ++c)
        planted << ColumnLayout{design.at(c).field, c, 90, true, ColumnLayout::NoSort};
    GridLayoutStore store;
    QVERIFY(store.save(kSection, planted));

    QVERIFY(m_shop->open(user));
    TForm1 *window = openModeless();
    QVERIFY(window);
    DataGrid &grid = *window->grid();
    auto check = [&](const char *when) {
        for (int c = 0; c < grid.columns().size(); ++c) {
            const bool amount = TForm1::restrictedColumns().contains(c);
            QVERIFY2(grid.isColumnVisible(c) == (!amount || amountsShown),
                     qPrintable(u"%1: column %2"_s.arg(QLatin1String(when)).arg(c)));
        }
    };
    check("shown");
    for (const int c : {5, 7, 9, 8, 8})
        grid.clickTitle(c);
    check("after title clicks");
    window->close();
    QVERIFY(openModeless());
    check("shown again");
    // The session's hiding is not written into the layout.
    for (const ColumnLayout &saved : store.restore(kSection))
        QVERIFY2(saved.visible, qPrintable(saved.field));
}

void TestTForm1::layoutKeepsWidthsButNeverHidesAColumn()
{
    addArticles();
    QList<ColumnLayout> planted;
    const QList<DataGridColumn> design = TForm1::designColumns();
    for (int c = 0; c < design.size(); ++c)
        planted << ColumnLayout{design.at(c).field, c, c == 0 ? 400 : 50, c != 0 && c != 4,
                                ColumnLayout::Descending};
    QVERIFY(GridLayoutStore().save(kSection, planted));
    QVERIFY(m_shop->open());
    TForm1 *window = openModeless();
    QVERIFY(window);
    DataGrid &grid = *window->grid();
    // No menu in this window could show a column again: none stays hidden,
    // and the list is unsorted each time it is shown.
    for (int c = 0; c < grid.columns().size(); ++c) {
        QVERIFY(grid.isColumnVisible(c));
        QCOMPARE(grid.sortMarker(c), ColumnLayout::NoSort);
    }
    // The operator's proportions come back.
    QVERIFY(grid.header()->sectionSize(0) > 3 * grid.header()->sectionSize(1));
}

void TestTForm1::exportHoldsTitleAndVisibleColumns_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QStringList>("lowerTitles");
    QTest::addColumn<QVariantList>("caseRow"); // the 拉杆箱 row after the name
    const QString admin(Schema::kAdministrator);
    QTest::newRow("administrator: ten columns")
        << admin << QStringList{u"名 称"_s, u"规格型号"_s, u"编 码"_s, u"类 别"_s, u"数 量"_s,
                                u"金 额"_s, u"数 量"_s,    u"金 额"_s, u"数 量"_s, u"金 额"_s}
        << QVariantList{u"24寸"_s, u"C-拉杆箱"_s, u"拉杆箱"_s, 16.0, 1600.0, 5.0, 1000.0, 11.0, 1100.0};
    QTest::newRow("other account: the amounts are not in the file")
        << u"店员"_s
        << QStringList{u"名 称"_s, u"规格型号"_s, u"编 码"_s, u"类 别"_s, u"数 量"_s, u"数 量"_s, u"数 量"_s}
        << QVariantList{u"24寸"_s, u"C-拉杆箱"_s, u"拉杆箱"_s, 16.0, 5.0, 11.0};
}

void TestTForm1::exportHoldsTitleAndVisibleColumns()
{
    QFETCH(QString, user);
    QFETCH(QStringList, lowerTitles);
    QFETCH(QVariantList, caseRow);
    QVERIFY2(!SheetReadBack::python().isEmpty(), "python3-xlrd is needed (test.sh installs it)");
    addArticles();
    QVERIFY(m_shop->open(user));
    TForm1 *window = openModeless();
    QVERIFY(window);
    const QString path = m_dir.filePath(
        u"summary-%1.xls"_s.arg(QString::fromUtf8(QTest::currentDataTag())).replace(u' ', u'_'));
    QFile::remove(path);
    Prompter::queueFileName(path, u"Microsoft Excel xls文件 (*.xls)"_s);
    window->findChild<QAction *>(u"summaryExportAction"_s)->trigger();
    const SheetReadBack sheet = SheetReadBack::xls(path);
    QVERIFY2(sheet.ok, qPrintable(sheet.error));
    QCOMPARE(sheet.text(0, 3), u"商品进销存统计报表"_s);
    QVERIFY(sheet.text(1, 0).startsWith(u"制表人："_s + user));
    // Title rows 2 and 3, then the two articles, then the footer row.
    QCOMPARE(sheet.columnCount(3), lowerTitles.size());
    for (int c = 0; c < lowerTitles.size(); ++c)
        QCOMPARE(sheet.text(3, c), lowerTitles.at(c));
    int caseLine = -1;
    for (int r = 4; r <= 5; ++r) {
        if (sheet.text(r, 0) == u"拉杆箱"_s)
            caseLine = r;
    }
    QVERIFY(caseLine > 0);
    for (int c = 0; c < caseRow.size(); ++c) {
        const QVariant cell = sheet.cell(caseLine, c + 1);
        if (caseRow.at(c).typeId() == QMetaType::Double)
            QCOMPARE(cell.toDouble(), caseRow.at(c).toDouble());
        else
            QCOMPARE(cell.toString(), caseRow.at(c).toString());
    }
    QCOMPARE(sheet.text(6, 0), u"总计"_s);
    QCOMPARE(sheet.rows.size(), 7);
}

void TestTForm1::exportOfEmptyTableWritesNothing()
{
    QVERIFY(m_shop->open());
    TForm1 *window = openModeless();
    QVERIFY(window);
    QCOMPARE(window->listModel()->rowCount(), 0);
    QCOMPARE(window->grid()->footerText(4), u"0"_s);
    const QString path = m_dir.filePath(u"empty.xls"_s);
    Prompter::queueFileName(path, QString());
    window->exportList();
    QVERIFY(!QFile::exists(path));
    QVERIFY(Prompter::shown().isEmpty());
}

void TestTForm1::printHasReportHeadingAndClosingLine()
{
    addArticles();
    QVERIFY(m_shop->open(u"店员"_s));
    TForm1 *window = openModeless();
    QVERIFY(window);
    const QString pdf = m_dir.filePath(u"summary.pdf"_s);
    int pages = 0;
    GridPrinter::setPreviewHook(
        [&](GridPrinter &printer) { pages = printer.printToPdf(pdf) ? printer.lastPageCount() : 0; });
    window->findChild<QAction *>(u"summaryPrintAction"_s)->trigger();
    QCOMPARE(pages, 1);
    const QString text = PdfReadBack::text(pdf);
    QVERIFY2(!text.isEmpty(), "pdftotext read nothing");
    QVERIFY2(PdfReadBack::withoutBlanks(text).contains(u"商品进销存统计报表"_s), qPrintable(text));
    QVERIFY2(text.contains(QRegularExpression(u"制表人：店员\\s+日期：2024-03-05"_s)), qPrintable(text));
    QVERIFY(text.contains(u"双肩包"_s));
    QVERIFY(text.contains(u"总计"_s));
    // The hidden amounts are not printed: 1600 is the case's purchase amount.
    QVERIFY2(!text.contains(u"1600"_s), qPrintable(text));
}

QTEST_MAIN(TestTForm1)
#include "tst_tform1.moc"

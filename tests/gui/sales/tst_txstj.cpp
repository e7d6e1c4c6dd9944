#include "../common/SignedInMainForm.h"

#include "common/Contrast.h"
#include "common/DataGrid.h"
#include "common/DataGridModel.h"
#include "common/GridPrinter.h"
#include "data/GridLayoutStore.h"
#include "data/SqlListModel.h"
#include "sales/TicketPanel.h"
#include "sales/Txstj.h"
#include "shell/FloatingPanel.h"

#include <QBarSet>
#include <QChartView>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>

using namespace Qt::StringLiterals;

// The sales-detail window over a signed-in main window: its views, the edit
// panel with the stock give-back, column hiding, charts, export and print.
class TestTxstj : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void hiddenColumnInterplay_data();
    void hiddenColumnInterplay();
    void storedFlagsAppliedAtFirstShow();
    void monthViewListsOnlyThisMonth();
    void redRows_data();
    void redRows();
    void titleClicksSortDescAscDesc();
    void deleteAsksThenGivesStockBack();
    void deleteReturnTakesStock();
    void deleteSaysWhatWasDone_data();
    void deleteSaysWhatWasDone();
    void correctionWithBadDebtChangesNothing();
    void restrictedModeHidesItemsColumnAndCharts();
    void restrictedProfitSurvivesAdministratorsLayout_data();
    void restrictedProfitSurvivesAdministratorsLayout();
    void chartsShowMonthAndDayTotals();
    void badYearLeavesChart();
    void exportAndPrint();
    void serverGoneWhileTypingIsReported();
    void screenshots();

private:
    qint64 addSale(const QString &name, double quantity, double amount, double purchasePrice, double profit,
                   const QDate &day, const QDate &stockDay = {}, const QString &orderNumber = {},
                   const QString &customer = {});
    void addStock(double sold, double soldAmount, double stock, double stockAmount, const QDate &day);
    Txstj *openWindow();
    QAction *windowAction(const char *name) const;
    QVariant column(const QString &sql, const QVariantList &values = {}) const;

    QTemporaryDir m_home;
    std::unique_ptr<SignedInMainForm> m_f;
    QString m_user = Schema::kAdministrator;
};

void TestTxstj::initTestCase()
{
    QVERIFY(m_home.isValid());
    SignedInMainForm::initTestCase(m_home);
}

void TestTxstj::init()
{
    m_user = Schema::kAdministrator;
    m_f = std::make_unique<SignedInMainForm>();
    QVERIFY(m_f->database.isOpen());
    Prompter::clearShown();
}

void TestTxstj::cleanup()
{
    if (m_f && m_f->form && m_f->form->salesDetail())
        m_f->form->salesDetail()->hide();
    m_f.reset();
    GridPrinter::setPreviewHook(nullptr);
    QFile::remove(GridLayoutStore::defaultFilePath());
}

qint64 TestTxstj::addSale(const QString &name, double quantity, double amount, double purchasePrice,
                          double profit, const QDate &day, const QDate &stockDay, const QString &orderNumber,
                          const QString &customer)
{
    Database &db = m_f->database.db();
    ExecuteStatement(
        db,
        u"insert into data1 (a, b, c, d, e, f, \"1\", \"2\", \"3\", \"4\", \"6\", a5, day1, day2, z, "
        "g, h, i, j) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s,
        {name, u"24寸"_s, QString(u"C-"_s + name), u"拉杆箱"_s, u"lgx"_s, u"24c"_s, purchasePrice,
         quantity != 0 ? amount / quantity : 0.0, quantity, amount, 0.0, profit, db.dialect().dateValue(day),
         db.dialect().dateValue(stockDay.isValid() ? stockDay : day), orderNumber, customer, QString(),
         QString(), QString()});
    return ScalarValue(db, u"select max(ID) from data1"_s).toLongLong();
}

void TestTxstj::addStock(double sold, double soldAmount, double stock, double stockAmount, const QDate &day)
{
    Database &db = m_f->database.db();
    ExecuteStatement(
        db,
        u"insert into data (a, b, c, d, \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", \"8\", day1) "
        "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s,
        {u"拉杆箱"_s, u"24寸"_s, u"C-拉杆箱"_s, u"拉杆箱"_s, 20.0, 10.0, 200.0, 25.0, sold, soldAmount, stock,
         stockAmount, db.dialect().dateValue(day)});
}

Txstj *TestTxstj::openWindow()
{
    if (!m_f->form && !m_f->open(m_user))
        return nullptr;
    Txstj *w = m_f->form->salesDetail();
    w->show();
    return w;
}

QAction *TestTxstj::windowAction(const char *name) const
{
    return m_f->form->salesDetail()->findChild<QAction *>(QLatin1String(name));
}

QVariant TestTxstj::column(const QString &sql, const QVariantList &values) const
{
    return ScalarValue(m_f->database.db(), sql, values);
}

void TestTxstj::hiddenColumnInterplay_data()
{
    QTest::addColumn<QStringList>("choices");
    QTest::addColumn<QList<int>>("hidden");
    QTest::addColumn<QStringList>("checked");
    QTest::addColumn<QStringList>("stored"); // "flag=value"

    QTest::newRow("group, then name: name stays hidden")
        << QStringList{u"hideAllCustomerAction"_s, u"hideCustomerNameAction"_s}
        << QList<int>{10, 11, 12, 13, 14}
        << QStringList{u"hideAllCustomerAction"_s, u"hideCustomerNameAction"_s}
        << QStringList{u"xiaoshouyin5=yes"_s, u"xiaoshouyin7=yes"_s};
    QTest::newRow("group again shows all four, name keeps its mark")
        << QStringList{u"hideAllCustomerAction"_s, u"hideCustomerNameAction"_s, u"hideAllCustomerAction"_s}
        << QList<int>{10} << QStringList{u"hideCustomerNameAction"_s}
        << QStringList{u"xiaoshouyin5=no"_s, u"xiaoshouyin7=yes"_s};
    QTest::newRow("order number is shown when chosen")
        << QStringList{u"showOrderNumberAction"_s} << QList<int>{} << QStringList{u"showOrderNumberAction"_s}
        << QStringList{u"xiaoshouyin6=yes"_s};
    QTest::newRow("order number hidden again")
        << QStringList{u"showOrderNumberAction"_s, u"showOrderNumberAction"_s} << QList<int>{10}
        << QStringList{} << QStringList{u"xiaoshouyin6=no"_s};
    QTest::newRow("show all: marks, values and order number stay")
        << QStringList{u"hideSalesPriceAction"_s, u"hideSalesProfitAction"_s, u"hideCustomerRemarkAction"_s,
                       u"showAllSalesColumnsAction"_s}
        << QList<int>{10}
        << QStringList{u"hideSalesPriceAction"_s, u"hideSalesProfitAction"_s, u"hideCustomerRemarkAction"_s}
        << QStringList{u"xiaoshouyin1=yes"_s, u"xiaoshouyin4=yes"_s, u"xiaoshouyin10=yes"_s};
    QTest::newRow("show all keeps a shown order number")
        << QStringList{u"showOrderNumberAction"_s, u"hideSalesDateAction"_s, u"showAllSalesColumnsAction"_s}
        << QList<int>{} << QStringList{u"showOrderNumberAction"_s, u"hideSalesDateAction"_s}
        << QStringList{u"xiaoshouyin6=yes"_s, u"xiaoshouyin2=yes"_s};
    QTest::newRow("debt and date") << QStringList{u"hideSalesDebtAction"_s, u"hideSalesDateAction"_s}
                                   << QList<int>{7, 8, 10}
                                   << QStringList{u"hideSalesDebtAction"_s, u"hideSalesDateAction"_s}
                                   << QStringList{u"xiaoshouyin3=yes"_s, u"xiaoshouyin2=yes"_s};
}

void TestTxstj::hiddenColumnInterplay()
{
    QFETCH(QStringList, choices);
    QFETCH(QList<int>, hidden);
    QFETCH(QStringList, checked);
    QFETCH(QStringList, stored);

    Txstj *w = openWindow();
    QVERIFY(w);
    for (const QString &choice : std::as_const(choices)) {
        QAction *action = w->findChild<QAction *>(choice);
        QVERIFY2(action, qPrintable(choice));
        action->trigger();
    }
    for (int c = 0; c < 15; ++c)
        QCOMPARE(w->grid()->isColumnVisible(c), !hidden.contains(c));
    for (QAction *action : w->findChildren<QAction *>()) {
        if (action->isCheckable())
            QCOMPARE(action->isChecked(), checked.contains(action->objectName()));
    }
    for (const QString &pair : std::as_const(stored)) {
        const QStringList parts = pair.split(u'=');
        QCOMPARE(m_f->settings.value(parts.at(0)), parts.at(1));
    }
}

void TestTxstj::storedFlagsAppliedAtFirstShow()
{
    // Group hides all four, the single name entry shows its column again;
    // junk leaves the price column as designed.
    m_f->settings.setValue(u"xiaoshouyin5"_s, u"yes"_s);
    m_f->settings.setValue(u"xiaoshouyin7"_s, u"no"_s);
    m_f->settings.setValue(u"xiaoshouyin6"_s, u"yes"_s);
    m_f->settings.setValue(u"xiaoshouyin1"_s, u"maybe"_s);
    m_f->settings.setValue(u"xiaoshouyin2"_s, u"yes"_s);
    Txstj *w = openWindow();
    QVERIFY(w);
    QVERIFY(w->grid()->isColumnVisible(4));
    QVERIFY(!w->grid()->isColumnVisible(7));
    QVERIFY(w->grid()->isColumnVisible(10));
    QVERIFY(w->grid()->isColumnVisible(11));
    for (int c : {12, 13, 14})
        QVERIFY(!w->grid()->isColumnVisible(c));
    QVERIFY(windowAction("hideAllCustomerAction")->isChecked());
    QVERIFY(!windowAction("hideCustomerNameAction")->isChecked());
    QVERIFY(windowAction("showOrderNumberAction")->isChecked());
    QVERIFY(!windowAction("hideSalesPriceAction")->isChecked());
}

void TestTxstj::monthViewListsOnlyThisMonth()
{
    // The clock stands at 2024-03-05.
    addSale(u"二月"_s, 1, 10, 5, 5, QDate(2024, 2, 29));
    addSale(u"三月一"_s, 2, 20, 5, 10, QDate(2024, 3, 1));
    addSale(u"三月末"_s, 3, 30, 5, 15, QDate(2024, 3, 31));
    addSale(u"去年三月"_s, 4, 40, 5, 20, QDate(2023, 3, 15));
    addSale(u"四月"_s, 5, 50, 5, 25, QDate(2024, 4, 1));
    Txstj *w = openWindow();
    QVERIFY(w);
    SqlListModel *list = w->listModel();
    QCOMPARE(list->totalCount(), 2);
    QStringList names;
    for (int r = 0; r < list->rowCount(); ++r)
        names << list->value(r, u"a"_s).toString();
    QCOMPARE(names, (QStringList{u"三月一"_s, u"三月末"_s}));
    QCOMPARE(w->grid()->footerText(0), u"合计"_s);
    QCOMPARE(w->grid()->footerText(5), u"5"_s);
    QCOMPARE(w->grid()->footerText(6), u"50"_s);
    // The newest line is the current one.
    QCOMPARE(w->grid()->currentRow(), 1);
}

void TestTxstj::redRows_data()
{
    QTest::addColumn<double>("quantity");
    QTest::addColumn<bool>("red");
    QTest::newRow("0.4 rounds to 0") << 0.4 << true;
    QTest::newRow("0.6 rounds to 1") << 0.6 << false;
    QTest::newRow("return") << -1.0 << true;
    QTest::newRow("one") << 1.0 << false;
}

void TestTxstj::redRows()
{
    QFETCH(double, quantity);
    QFETCH(bool, red);
    addSale(u"箱"_s, quantity, 10, 5, 1, QDate(2024, 3, 2));
    Txstj *w = openWindow();
    QVERIFY(w);
    QCOMPARE(w->listModel()->rowCount(), 1);
    const QVariant colour =
        w->grid()->gridModel()->data(w->grid()->gridModel()->index(0, 0), Qt::ForegroundRole);
    // A red dark enough to read on the grey rows; other rows are dark too.
    const QColor shown = colour.value<QBrush>().color();
    QCOMPARE(shown.hue() == 0 && shown.saturation() == 255, red);
    QVERIFY(Contrast::ratio(shown, QColor(238, 238, 238)) >= 4.5);
}

void TestTxstj::titleClicksSortDescAscDesc()
{
    addSale(u"中"_s, 2, 20, 5, 1, QDate(2024, 3, 1));
    addSale(u"大"_s, 3, 30, 5, 1, QDate(2024, 3, 2));
    addSale(u"小"_s, 1, 10, 5, 1, QDate(2024, 3, 3));
    Txstj *w = openWindow();
    QVERIFY(w);
    auto quantities = [w] {
        QList<double> q;
        for (int r = 0; r < w->listModel()->rowCount(); ++r)
            q << w->listModel()->value(r, u"3"_s).toDouble();
        return q;
    };
    w->grid()->clickTitle(5);
    QCOMPARE(quantities(), (QList<double>{3, 2, 1}));
    w->grid()->clickTitle(5);
    QCOMPARE(quantities(), (QList<double>{1, 2, 3}));
    w->grid()->clickTitle(5);
    QCOMPARE(quantities(), (QList<double>{3, 2, 1}));
}

void TestTxstj::deleteAsksThenGivesStockBack()
{
    const QDate stockDay(2024, 1, 10);
    addStock(7, 175, 3, 60, stockDay);
    const qint64 line = addSale(u"拉杆箱"_s, 2, 50, 20, 10, QDate(2024, 3, 4), stockDay, u"20240304001"_s);
    Txstj *w = openWindow();
    QVERIFY(w);
    w->grid()->setCurrentRow(0);
    windowAction("deleteSaleAction")->trigger();
    QVERIFY(w->editPanel()->isVisible());
    auto *deleteButton = w->findChild<QPushButton *>(u"panelDeleteButton"_s);
    QVERIFY(deleteButton->isVisible());
    QVERIFY(!w->findChild<QPushButton *>(u"panelModifyButton"_s)->isVisible());
    QCOMPARE(w->findChild<QLineEdit *>(u"panelQuantityBox"_s)->text(), u"2"_s);

    Prompter::queueAnswer(Prompter::Answer::Cancel);
    deleteButton->click();
    QCOMPARE(column(u"select count(*) from data1 where ID = ?"_s, {line}).toInt(), 1);
    QCOMPARE(column(u"select \"7\" from data"_s).toDouble(), 3.0);

    Prompter::queueAnswer(Prompter::Answer::Ok);
    deleteButton->click();
    QCOMPARE(Prompter::lastText(), u"删除销售记录成功！"_s);
    QCOMPARE(column(u"select count(*) from data1"_s).toInt(), 0);
    QCOMPARE(column(u"select \"5\" from data"_s).toDouble(), 5.0);
    QCOMPARE(column(u"select \"6\" from data"_s).toDouble(), 125.0);
    QCOMPARE(column(u"select \"7\" from data"_s).toDouble(), 5.0);
    QCOMPARE(column(u"select \"8\" from data"_s).toDouble(), 100.0);
    QVERIFY(!w->editPanel()->isVisible());
    QCOMPARE(w->listModel()->totalCount(), 0);
}

void TestTxstj::deleteReturnTakesStock()
{
    const QDate stockDay(2024, 1, 10);
    addStock(7, 175, 3, 60, stockDay);
    addSale(u"拉杆箱"_s, -1, -25, 20, -5, QDate(2024, 3, 4), stockDay);
    Txstj *w = openWindow();
    QVERIFY(w);
    w->grid()->setCurrentRow(0);
    QTest::keyClick(w->grid()->view(), Qt::Key_Delete);
    QVERIFY(w->editPanel()->isVisible());
    Prompter::queueAnswer(Prompter::Answer::Ok);
    w->confirmDelete();
    QCOMPARE(column(u"select \"7\" from data"_s).toDouble(), 2.0);
    QCOMPARE(column(u"select \"5\" from data"_s).toDouble(), 8.0);
}

void TestTxstj::deleteSaysWhatWasDone_data()
{
    QTest::addColumn<QDate>("stockDay"); // the stock row's date now; the line was sold from 2024-01-10
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("notice");
    QTest::addColumn<double>("stockAfter");
    QTest::newRow("stock row still matches")
        << QDate(2024, 1, 10) << u"你真的要删除这条销售记录吗？其数量将退回库存。"_s
        << u"删除销售记录成功！"_s << 5.0;
    QTest::newRow("stock row re-dated since the sale")
        << QDate(2024, 1, 11)
        << u"库存中没有与这条销售记录对应的商品（名称、规格、编码、类别或入库日期已改变），删除后数量不会退回库存。你真的要删除这条销售记录吗？"_s
        << u"销售记录已删除，但库存中没有对应的商品，数量没有退回库存。"_s << 3.0;
}

void TestTxstj::deleteSaysWhatWasDone()
{
    QFETCH(QDate, stockDay);
    addStock(7, 175, 3, 60, stockDay);
    addSale(u"拉杆箱"_s, 2, 50, 20, 10, QDate(2024, 3, 4), QDate(2024, 1, 10), u"20240304001"_s);
    Txstj *w = openWindow();
    QVERIFY(w);
    // The ticket of the same order is open at the counter.
    TicketPanel *ticket = m_f->form->ticket();
    ticket->setOrderNumber(u"20240304001"_s);
    ticket->refresh();
    QCOMPARE(ticket->totalBox()->text(), u"50"_s);

    w->grid()->setCurrentRow(0);
    windowAction("deleteSaleAction")->trigger();
    Prompter::clearShown();
    Prompter::queueAnswer(Prompter::Answer::Ok);
    w->confirmDelete();
    QCOMPARE(Prompter::shownTexts().size(), 2);
    QTEST(Prompter::shownTexts().at(0), "question");
    QTEST(Prompter::shownTexts().at(1), "notice");
    QCOMPARE(column(u"select count(*) from data1"_s).toInt(), 0);
    QTEST(column(u"select \"7\" from data"_s).toDouble(), "stockAfter");
    // The ticket follows the deletion at once.
    QCOMPARE(ticket->totalBox()->text(), u"0"_s);
}

void TestTxstj::correctionWithBadDebtChangesNothing()
{
    const qint64 line =
        addSale(u"拉杆箱"_s, 1, 25, 20, 5, QDate(2024, 3, 4), {}, u"20240304001"_s, u"张三"_s);
    addSale(u"旅行包"_s, 1, 30, 20, 10, QDate(2024, 3, 3), {}, u"20240303001"_s, u"王五"_s);
    Txstj *w = openWindow();
    QVERIFY(w);
    // The line to correct is not the first row.
    const int row = 1;
    QCOMPARE(w->listModel()->value(row, u"ID"_s).toLongLong(), line);
    w->grid()->setCurrentRow(row);
    emit w->grid()->rowActivated(row);
    QVERIFY(w->editPanel()->isVisible());
    QVERIFY(w->findChild<QPushButton *>(u"panelModifyButton"_s)->isVisible());
    auto *debt = w->findChild<QLineEdit *>(u"panelDebtBox"_s);
    auto *customer = w->findChild<QLineEdit *>(u"panelCustomerBox"_s);
    QCOMPARE(customer->text(), u"张三"_s);

    debt->clear();
    customer->setText(u"李四"_s);
    w->findChild<QPushButton *>(u"panelModifyButton"_s)->click();
    QVERIFY2(Prompter::lastText().contains(u"无欠款请填0"_s), qPrintable(Prompter::lastText()));
    QCOMPARE(column(u"select g from data1 where ID = ?"_s, {line}).toString(), u"张三"_s);
    QVERIFY(w->editPanel()->isVisible());

    debt->setText(u"12.5"_s);
    w->findChild<QPushButton *>(u"panelModifyButton"_s)->click();
    QCOMPARE(Prompter::lastText(), u"修改记录成功！"_s);
    QCOMPARE(column(u"select g from data1 where ID = ?"_s, {line}).toString(), u"李四"_s);
    QCOMPARE(column(u"select \"6\" from data1 where ID = ?"_s, {line}).toDouble(), 12.5);
    QCOMPARE(w->listModel()->value(row, u"g"_s).toString(), u"李四"_s);
    QVERIFY(!w->editPanel()->isVisible());
    // The corrected line stays current: Del acts on it, not on the first row.
    QCOMPARE(w->grid()->currentRow(), row);
    windowAction("deleteSaleAction")->trigger();
    QCOMPARE(customer->text(), u"李四"_s);
}

void TestTxstj::restrictedModeHidesItemsColumnAndCharts()
{
    m_user = u"店员"_s;
    addSale(u"拉杆箱"_s, 1, 25, 20, 5, QDate(2024, 3, 4));
    Txstj *w = openWindow();
    QVERIFY(w);
    for (const char *name :
         {"deleteSaleAction", "modifySaleAction", "showAllSalesColumnsAction", "hideSalesProfitAction"})
        QVERIFY2(!windowAction(name)->isVisible(), name);
    QVERIFY(windowAction("hideSalesPriceAction")->isVisible());
    QVERIFY(!w->grid()->isColumnVisible(9));
    QVERIFY(!w->chartView(Txstj::Chart::Monthly)->isVisibleTo(w));
    QVERIFY(!w->chartView(Txstj::Chart::Daily)->isVisibleTo(w));
    // A double click still opens the panel in modify mode; Del opens nothing.
    w->grid()->setCurrentRow(0);
    QTest::keyClick(w->grid()->view(), Qt::Key_Delete);
    QVERIFY(!w->editPanel()->isVisible());
    emit w->grid()->rowActivated(0);
    QVERIFY(w->editPanel()->isVisible());
}

void TestTxstj::restrictedProfitSurvivesAdministratorsLayout_data()
{
    QTest::addColumn<bool>("storedVisible"); // what the administrator saved for 净利润
    QTest::newRow("administrator saved it shown") << true;
    QTest::newRow("administrator saved it hidden") << false;
}

void TestTxstj::restrictedProfitSurvivesAdministratorsLayout()
{
    QFETCH(bool, storedVisible);
    const QString section(GridLayoutStore::SalesDetailSection);
    {
        // The administrator's saved layout, and the flag "show profit".
        ColumnLayout profit;
        profit.field = u"a5"_s;
        profit.position = 9;
        profit.width = 77;
        profit.visible = storedVisible;
        ColumnLayout name;
        name.field = u"a"_s;
        name.width = 120;
        GridLayoutStore store;
        QVERIFY(store.save(section, {name, profit}));
        QVERIFY(m_f->settings.setValue(u"xiaoshouyin4"_s, u"no"_s));
    }
    m_user = u"店员"_s;
    addSale(u"拉杆箱"_s, 1, 25, 20, 5, QDate(2024, 3, 4));
    Txstj *w = openWindow();
    QVERIFY(w);
    DataGrid *grid = w->grid();
    const int profitColumn = grid->columnOfField(u"a5"_s);
    QCOMPARE(QString(grid->columns().at(profitColumn).lowerTitle).remove(u' '), u"净利润"_s);
    QVERIFY(!grid->isColumnVisible(profitColumn));

    // Every show restores the layout; a title click sorts; neither shows it.
    w->hide();
    w->show();
    QVERIFY(!grid->isColumnVisible(profitColumn));
    grid->clickTitle(profitColumn == 0 ? 1 : 0);
    QVERIFY(!grid->isColumnVisible(profitColumn));
    grid->setColumnVisible(profitColumn, true); // what a menu flag would do
    QVERIFY(!grid->isColumnVisible(profitColumn));

    // The clerk hides the name column and saves: that is stored, the
    // administrator's choice for 净利润 is kept.
    grid->setColumnVisible(0, false);
    windowAction("saveSalesLayoutAction")->trigger();
    const QList<ColumnLayout> saved = GridLayoutStore().restore(section);
    bool sawProfit = false;
    bool sawName = false;
    for (const ColumnLayout &column : saved) {
        if (column.field == u"a5"_s) {
            sawProfit = true;
            QCOMPARE(column.visible, storedVisible);
        }
        if (column.field == u"a"_s) {
            sawName = true;
            QVERIFY(!column.visible);
        }
    }
    QVERIFY(sawProfit && sawName);
    QVERIFY(Prompter::shown().isEmpty());
}

void TestTxstj::chartsShowMonthAndDayTotals()
{
    addSale(u"a"_s, 1, 100, 60, 40, QDate(2024, 1, 15));
    addSale(u"b"_s, 1, 50, 30, 20, QDate(2024, 3, 2));
    addSale(u"c"_s, 1, 80, 50, 30, QDate(2024, 3, 2));
    addSale(u"d"_s, -1, -50, 30, -20, QDate(2024, 3, 4));
    addSale(u"e"_s, 1, 70, 50, 20, QDate(2023, 3, 2));
    Txstj *w = openWindow();
    QVERIFY(w);
    QBarSet *monthly = w->chartBars(Txstj::Chart::Monthly);
    // Queried when their page is turned to, not at the window's showing.
    QCOMPARE(monthly->count(), 0);
    w->findChild<QTabWidget *>(u"PageControl1"_s)->setCurrentIndex(1);
    QCOMPARE(monthly->count(), 13);
    QCOMPARE(monthly->at(1), 40.0);
    QCOMPARE(monthly->at(2), 0.0);
    QCOMPARE(monthly->at(3), 30.0); // 20 + 30 - 20
    QBarSet *daily = w->chartBars(Txstj::Chart::Daily);
    QCOMPARE(daily->count(), 33);
    QCOMPARE(daily->at(2), 50.0);
    QCOMPARE(daily->at(4), -20.0);

    w->findChild<QPushButton *>(u"monthlyAmountButton"_s)->click();
    QCOMPARE(monthly->at(1), 100.0);
    QCOMPARE(monthly->at(3), 80.0);
    w->findChild<QComboBox *>(u"dailyYearBox"_s)->setEditText(u"2023"_s);
    w->findChild<QPushButton *>(u"dailyAmountButton"_s)->click();
    QCOMPARE(daily->at(2), 70.0);
    QCOMPARE(daily->at(4), 0.0);
    QVERIFY(Prompter::shownTexts().isEmpty());
}

void TestTxstj::badYearLeavesChart()
{
    addSale(u"a"_s, 1, 100, 60, 40, QDate(2024, 1, 15));
    Txstj *w = openWindow();
    QVERIFY(w);
    w->findChild<QTabWidget *>(u"PageControl1"_s)->setCurrentIndex(1);
    QBarSet *monthly = w->chartBars(Txstj::Chart::Monthly);
    QCOMPARE(monthly->at(1), 40.0);
    w->findChild<QComboBox *>(u"monthlyYearBox"_s)->setEditText(u"2024'"_s);
    w->findChild<QPushButton *>(u"monthlyAmountButton"_s)->click();
    QCOMPARE(Prompter::shown().size(), 1);
    QCOMPARE(Prompter::shown().first().kind, Prompter::Kind::Warning);
    QVERIFY(Prompter::lastText().contains(u"2024'"_s));
    QCOMPARE(monthly->at(1), 40.0);

    Prompter::clearShown();
    w->findChild<QComboBox *>(u"dailyMonthBox"_s)->setEditText(u"13"_s);
    w->findChild<QPushButton *>(u"dailyProfitButton"_s)->click();
    QCOMPARE(Prompter::shown().size(), 1);
}

void TestTxstj::exportAndPrint()
{
    addSale(u"拉杆箱"_s, 2, 50, 20, 10, QDate(2024, 3, 4), {}, u"20240304001"_s, u"张三"_s);
    Txstj *w = openWindow();
    QVERIFY(w);
    const QString path = m_f->dir.filePath(u"sales.csv"_s);
    Prompter::queueFileName(path);
    windowAction("exportSalesAction")->trigger();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY2(text.contains(u"销 售 报 表"_s), qPrintable(text));
    QVERIFY2(text.contains(u"制表人：超级管理员"_s), qPrintable(text));
    QVERIFY(text.contains(u"拉杆箱"_s));
    QVERIFY(text.contains(u"张三"_s));

    QString after;
    QString before;
    GridPrinter::setPreviewHook([&](GridPrinter &printer) {
        before = printer.settings().before.text;
        after = printer.substituted(printer.settings().after.text, 1);
    });
    windowAction("printSalesAction")->trigger();
    QCOMPARE(before, u"销 售 统 计 报 表"_s);
    QCOMPARE(after, u"制表人：超级管理员    日期：2024-03-05"_s);
}

// The server goes away between two keystrokes in the name box: the window
// says so and stays open; once the server is back the next keystroke finds
// the lines again.
void TestTxstj::serverGoneWhileTypingIsReported()
{
    if (!TestDatabase::onPostgreSQL())
        QSKIP("a SQLite file has no server to lose");
    addSale(u"箱"_s, 1, 10, 5, 1, QDate(2024, 3, 2));
    Txstj *w = openWindow();
    QVERIFY(w);
    QVERIFY(m_f->database.setServerReachable(false));

    auto *nameBox = w->findChild<QLineEdit *>(u"nameBox"_s);
    QVERIFY(nameBox);
    nameBox->setText(u"lg"_s);
    QVERIFY(m_f->database.setServerReachable(true));
    QVERIFY(w->isVisible());
    QVERIFY(!Prompter::shown().isEmpty());
    QVERIFY2(Prompter::lastText().contains(u"仍无法连接"_s), qPrintable(Prompter::lastText()));

    nameBox->setText(u"lgx"_s);
    QCOMPARE(w->listModel()->rowCount(), 1);
}

void TestTxstj::screenshots()
{
    if (qEnvironmentVariableIsEmpty("LWJXC_TXSTJ_SHOTS"))
        QSKIP("set LWJXC_TXSTJ_SHOTS to write the window's pictures to /tmp");
    const QString source = qEnvironmentVariable("LWJXC_TXSTJ_SHOTS");
    if (QFile::exists(source)) {
        // Sale lines of a generated shop.
        Database &db = m_f->database.db();
        ExecuteStatement(db, u"attach database ? as gen"_s, {source});
        ExecuteStatement(db, u"insert into data1 select * from gen.data1"_s);
    } else {
        for (int m = 1; m <= 12; ++m) {
            for (int d = 1; d <= 28; d += 3)
                addSale(u"拉杆箱"_s, 1.0 + (d % 3), 40.0 * m + d, 20, 10.0 * m + d, QDate(2024, m, d));
        }
    }
    Txstj *w = openWindow();
    QVERIFY(w);
    w->resize(1000, 660);
    auto *pages = w->findChild<QTabWidget *>(u"PageControl1"_s);
    QTest::qWait(100);
    QVERIFY(w->grab().save(u"/tmp/txstj-list.png"_s));
    pages->setCurrentIndex(1);
    QTest::qWait(200);
    QVERIFY(w->grab().save(u"/tmp/txstj-charts.png"_s));
}

QTEST_MAIN(TestTxstj)
#include "tst_txstj.moc"

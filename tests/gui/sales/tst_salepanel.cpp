#include "../common/SignedInMainForm.h"

#include "common/DataGrid.h"
#include "common/ShopContext.h"
#include "data/SqlListModel.h"
#include "sales/OrderCounter.h"
#include "sales/SalePanel.h"
#include "sales/SalesLedger.h"
#include "sales/TicketPanel.h"
#include "shell/FloatingPanel.h"
#include "shell/SuccessNotice.h"
#include "stock/StockListView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTableView>
#include <QToolButton>

using namespace Qt::StringLiterals;

// The sale panel in the signed-in main window: opening on a stock row, the
// booking of a sale or return as the operator confirms it, the refusals and
// what each leaves behind, order numbers and customer look-ups.
class TestSalePanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SignedInMainForm::initTestCase(m_home); }
    void init();
    void cleanup();

    void doubleClickOpensWithTheRecord();
    void rowWithoutNameOpensNothing();
    void sellTwelveFiftyTimesThree();
    void listFollowsTheSaleAsAFreshQueryShowsIt_data();
    void listFollowsTheSaleAsAFreshQueryShowsIt();
    void returnAgainstStockZero();
    void fractionalReturnKeepsItsFraction();
    void stockShortSetsTheQuantity();
    void stockTakenByAnotherCounter();
    void zeroQuantity();
    void returnButton_data();
    void returnButton();
    void refusalsStopBeforeWriting_data();
    void refusalsStopBeforeWriting();
    void emptySaleDate();
    void keyFilterAndDiscount();
    void counterDownToZeroAndNotBelow();
    void fourDigitCounter();
    void dayResetHappensOnce();
    void anotherCounterNeverGetsOurNumber();
    void orderLookupFillsAndEmpties();
    void customerLookup();
    void quotesAreStoredAsTyped();
    void anotherRowClosesThePanel();
    void enterWalksThePanel();

private:
    qint64 addStock(const QString &name, double purchase, double price, double stock, double sold,
                    double sales, const QString &remark = QString());
    void openByDoubleClick(qint64 id);
    QLineEdit *box(const char *name) const;
    QComboBox *customerBox() const;
    void confirm();
    int lineCount();
    QList<double> stockRow(qint64 id);
    QString danhao() const { return m_shop->settings.value(u"danhao"_s); }

    QTemporaryDir m_home;
    std::unique_ptr<SignedInMainForm> m_shop;
    SalePanel *m_sale = nullptr;
};

void TestSalePanel::init()
{
    m_shop = std::make_unique<SignedInMainForm>();
    QVERIFY2(m_shop->database.isOpen(), qPrintable(m_shop->database.errorText()));
    QVERIFY(m_shop->open());
    m_sale = m_shop->form->sale();
    QVERIFY(m_sale);
    Prompter::clearShown();
}

void TestSalePanel::cleanup()
{
    m_shop.reset();
}

qint64 TestSalePanel::addStock(const QString &name, double purchase, double price, double stock, double sold,
                               double sales, const QString &remark)
{
    Database &db = m_shop->database.db();
    const qint64 id =
        ScalarValue(
            db,
            u"insert into data (a, b, c, d, \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", \"8\", day1, z) "
            "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s +
                Dialect::returningKey(u"id"_s),
            {name, u"24寸"_s, u"690123"_s, u"拉杆箱"_s, purchase, stock + sold, purchase * (stock + sold),
             price, sold, sales, stock, purchase * stock, db.dialect().dateValue(QDate(2024, 2, 1)), remark})
            .toLongLong();
    m_shop->form->showAllRecords();
    return id;
}

void TestSalePanel::openByDoubleClick(qint64 id)
{
    StockListView *list = m_shop->form->stockList();
    DataGrid *grid = list->grid();
    int row = 0;
    for (; row < grid->listModel()->rowCount(); ++row) {
        if (grid->listModel()->value(row, u"id"_s).toLongLong() == id)
            break;
    }
    QVERIFY(row < grid->listModel()->rowCount());
    QTableView *view = grid->view();
    view->scrollTo(view->model()->index(row, 0));
    const QRect cell = view->visualRect(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
}

QLineEdit *TestSalePanel::box(const char *name) const
{
    auto *found = m_shop->form->findChild<QLineEdit *>(QLatin1String(name));
    if (!found)
        qWarning("no box %s", name);
    return found;
}

QComboBox *TestSalePanel::customerBox() const
{
    return m_shop->form->findChild<QComboBox *>(u"ComboBox7"_s);
}

void TestSalePanel::confirm()
{
    m_shop->form->findChild<QToolButton *>(u"Image3"_s)->click();
}

int TestSalePanel::lineCount()
{
    return ScalarValue(m_shop->database.db(), u"select count(*) from data1"_s).toInt();
}

QList<double> TestSalePanel::stockRow(qint64 id)
{
    QSqlQuery row = OpenStatement(m_shop->database.db(),
                                  u"select \"5\", \"6\", \"7\", \"8\" from data where id = ?"_s, {id});
    if (!row.next())
        return {};
    return {row.value(0).toDouble(), row.value(1).toDouble(), row.value(2).toDouble(),
            row.value(3).toDouble()};
}

// ---------------------------------------------------------------- opening

void TestSalePanel::doubleClickOpensWithTheRecord()
{
    addStock(u"皮箱"_s, 5, 9, 3, 0, 0);
    const qint64 id = addStock(u"新秀丽拉杆箱"_s, 10, 12.5, 10, 4, 50, u"内有备用轮"_s);
    openByDoubleClick(id);

    QVERIFY(m_shop->form->salePanel()->isVisible());
    QCOMPARE(m_sale->stockId(), id);
    const auto label = [this](const char *name) {
        return m_shop->form->findChild<QLabel *>(QLatin1String(name))->text();
    };
    QCOMPARE(label("Label42"), u"新秀丽拉杆箱"_s);
    QCOMPARE(label("Label43"), u"24寸"_s);
    QCOMPARE(label("Label44"), u"690123"_s);
    QCOMPARE(label("Label45"), u"拉杆箱"_s);
    QCOMPARE(label("Label46"), u"12.5"_s);
    QCOMPARE(box("Edit5")->text(), u"12.5"_s);
    QCOMPARE(box("Edit10")->text(), u"100"_s);
    QCOMPARE(box("Edit35")->text(), u"1"_s);
    QCOMPARE(box("Edit24")->text(), u"10"_s);
    QCOMPARE(box("Edit38")->text(), u"12.5"_s);
    QCOMPARE(box("Edit12")->text(), u"0"_s);
    QCOMPARE(box("DBDateTimeEditEh2")->text(), u"2024-03-05"_s);
    // Nothing stored yet: the first opening restarts the counter at 1.
    QCOMPARE(box("Edit34")->text(), u"20240305001"_s);
    QCOMPARE(m_shop->form->ticket()->orderNumber(), u"20240305001"_s);
    QCOMPARE(QApplication::focusWidget(), box("Edit5"));
    // The stock entry panel may now correct this record.
    QVERIFY(m_shop->form->findChild<QPushButton *>(u"Button3"_s)->isEnabled());
    QCOMPARE(box("entryRemarkBox")->text(), u"内有备用轮"_s);
    QVERIFY(m_sale->figures());
    QCOMPARE(m_sale->figures()->newStockQuantity, u"9.00"_s);
}

void TestSalePanel::rowWithoutNameOpensNothing()
{
    const qint64 id = addStock(QString(), 5, 9, 3, 0, 0);
    openByDoubleClick(id);
    QVERIFY(!m_shop->form->salePanel()->isVisible());
    m_sale->openFor(id);
    QVERIFY(!m_shop->form->salePanel()->isVisible());
    QCOMPARE(m_sale->stockId(), 0);
}

// ---------------------------------------------------------------- booking

void TestSalePanel::sellTwelveFiftyTimesThree()
{
    const qint64 id = addStock(u"新秀丽拉杆箱"_s, 10, 20, 10, 4, 50);
    openByDoubleClick(id);
    QSignalSpy saved(m_sale, &SalePanel::saleSaved);
    QSignalSpy changed(m_sale, &SalePanel::salesDataChanged);

    box("Edit5")->setText(u"12.5"_s);
    box("Edit35")->setText(u"3"_s);
    QCOMPARE(box("Edit38")->text(), u"37.5"_s);
    customerBox()->setEditText(u"王老板"_s);
    box("Edit13")->setText(u"白沟"_s);
    box("Edit12")->setText(u"7.5"_s);
    confirm();

    QVERIFY2(Prompter::shown().isEmpty(), qPrintable(Prompter::shownTexts().join(u'|')));
    QCOMPARE(stockRow(id), (QList<double>{7, 87.5, 7, 70}));
    QSqlQuery line = OpenStatement(m_shop->database.db(),
                                   u"select a, z, \"1\", \"2\", \"3\", \"4\", a5, \"6\", day1, day2, g, h "
                                   "from data1"_s);
    QVERIFY(line.next());
    QCOMPARE(line.value(0).toString(), u"新秀丽拉杆箱"_s);
    QCOMPARE(line.value(1).toString(), u"20240305001"_s);
    QCOMPARE(line.value(2).toDouble(), 10.0);
    QCOMPARE(line.value(3).toDouble(), 12.5);
    QCOMPARE(line.value(4).toDouble(), 3.0);
    QCOMPARE(line.value(5).toDouble(), 37.5);
    QCOMPARE(line.value(6).toDouble(), 7.5);
    QCOMPARE(line.value(7).toDouble(), 7.5);
    QCOMPARE(Dialect::toDate(line.value(8)), QDate(2024, 3, 5));
    QCOMPARE(Dialect::toDate(line.value(9)), QDate(2024, 2, 1));
    QCOMPARE(line.value(10).toString(), u"王老板"_s);
    QCOMPARE(line.value(11).toString(), u"白沟"_s);
    QVERIFY(!line.next());

    // What the operator sees afterwards.
    QVERIFY(!m_shop->form->salePanel()->isVisible());
    QVERIFY(m_shop->form->successNotice()->isVisible());
    QCOMPARE(m_shop->form->successNotice()->text(), u"销售数据保存成功..."_s);
    QCOMPARE(saved.count(), 1);
    QCOMPARE(saved.at(0).at(0).toString(), u"20240305001"_s);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(box("Edit35")->text(), u"1"_s);
    QCOMPARE(box("Edit12")->text(), u"0"_s);
    QCOMPARE(box("Edit5")->text(), QString());
    QCOMPARE(customerBox()->currentText(), u"王老板"_s);
    QVERIFY(customerBox()->findText(u"王老板"_s) >= 0);
    QCOMPARE(m_shop->form->ticket()->totalBox()->text(), u"37.5"_s);
    QCOMPARE(danhao(), u"1"_s);
    // The stock list shows the booked row.
    StockListView *list = m_shop->form->stockList();
    bool listed = false;
    for (int row = 0; row < list->listModel()->rowCount(); ++row) {
        if (list->listModel()->value(row, u"id"_s).toLongLong() == id)
            listed = list->listModel()->value(row, u"7"_s).toDouble() == 7.0;
    }
    QVERIFY(listed);

    // A customer the list holds already: the list is not read again.
    openByDoubleClick(id);
    box("Edit5")->setText(u"12.5"_s);
    customerBox()->setEditText(u"王老板"_s);
    int walks = 0;
    {
        StatementRecorder recorder(
            [&](const QString &sql, const QVariantList &) { walks += sql.startsWith(u"with recursive"_s); });
        confirm();
    }
    QVERIFY2(Prompter::shown().isEmpty(), qPrintable(Prompter::shownTexts().join(u'|')));
    QCOMPARE(walks, 0);
    QCOMPARE(customerBox()->currentText(), u"王老板"_s);
    QCOMPARE(customerBox()->count(), 1);

    // The next item goes onto the same order for the same customer.
    openByDoubleClick(id);
    QCOMPARE(box("Edit34")->text(), u"20240305001"_s);
    QCOMPARE(customerBox()->currentText(), u"王老板"_s);
    QCOMPARE(box("Edit13")->text(), u"白沟"_s);
}

void TestSalePanel::listFollowsTheSaleAsAFreshQueryShowsIt_data()
{
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<int>("soldRow"); // of the five rows added
    QTest::addColumn<bool>("asReturn");
    QTest::addColumn<bool>("zeroStockHidden");
    QTest::addColumn<QString>("sortField");
    // Whether the list re-reads the sold row alone (no new result).
    QTest::addColumn<bool>("rowAlone");
    QTest::newRow("listed row") << 256 << 1 << false << false << QString() << true;
    QTest::newRow("row not in the loaded page") << 2 << 4 << false << false << QString() << true;
    QTest::newRow("return") << 256 << 0 << true << false << QString() << true;
    QTest::newRow("zero stock hidden, stock left") << 2 << 3 << false << true << QString() << true;
    QTest::newRow("last piece with zero stock hidden") << 256 << 2 << false << true << QString() << false;
    QTest::newRow("sorted by stock") << 256 << 1 << false << false << u"7"_s << false;
}

void TestSalePanel::listFollowsTheSaleAsAFreshQueryShowsIt()
{
    QFETCH(int, pageSize);
    QFETCH(int, soldRow);
    QFETCH(bool, asReturn);
    QFETCH(bool, zeroStockHidden);
    QFETCH(QString, sortField);
    QFETCH(bool, rowAlone);
    QList<qint64> ids;
    for (int i = 0; i < 5; ++i)
        ids << addStock(u"拉杆箱%1"_s.arg(i), 10 + i, 20 + i, i == 2 ? 1 : 5 + i, i, 20.0 * i);
    if (zeroStockHidden)
        m_shop->form->findChild<QCheckBox *>(u"zeroStockBox"_s)->setChecked(true);
    StockListView *list = m_shop->form->stockList();
    SqlListModel *model = list->listModel();
    model->setPageSize(pageSize);
    list->runQuery();
    if (!sortField.isEmpty())
        model->sortBy(sortField, false);
    QSignalSpy reset(model, &QAbstractItemModel::modelReset);

    m_sale->openFor(ids.at(soldRow));
    QVERIFY(m_shop->form->salePanel()->isVisible());
    box("Edit5")->setText(u"30.25"_s);
    box("Edit35")->setText(u"1"_s);
    if (asReturn)
        m_shop->form->findChild<QPushButton *>(u"Button19"_s)->click();
    confirm();
    QVERIFY2(Prompter::shown().isEmpty(), qPrintable(Prompter::shownTexts().join(u'|')));
    QCOMPARE(reset.isEmpty(), rowAlone);
    // A sale runs "查询": no title sort survives it.
    QVERIFY(model->sortField().isEmpty());

    // Count, footers and every loaded line as the same statement gives them now.
    SqlListModel fresh(m_shop->database.db());
    fresh.setSumFields(model->sumFields());
    fresh.setQuery(model->query());
    fresh.fetchAll();
    QCOMPARE(model->totalCount(), fresh.totalCount());
    for (const QString &field : model->sumFields())
        QVERIFY2(qAbs(model->sum(field).toDouble() - fresh.sum(field).toDouble()) < 1e-9, qPrintable(field));
    QVERIFY(model->rowCount() <= fresh.rowCount());
    for (int row = 0; row < model->rowCount(); ++row) {
        for (int column = 0; column < model->columnCount(); ++column)
            QCOMPARE(model->value(row, column), fresh.value(row, column));
    }
}

void TestSalePanel::returnAgainstStockZero()
{
    const qint64 id = addStock(u"皮箱"_s, 80, 100, 0, 1, 100);
    openByDoubleClick(id);
    m_shop->form->findChild<QPushButton *>(u"Button19"_s)->click();
    QCOMPARE(box("Edit35")->text(), u"-1"_s);
    QCOMPARE(box("Edit38")->text(), u"-100"_s);
    confirm();
    QVERIFY2(Prompter::shown().isEmpty(), qPrintable(Prompter::shownTexts().join(u'|')));
    QCOMPARE(stockRow(id), (QList<double>{0, 0, 1, 80}));
    QSqlQuery line = OpenStatement(m_shop->database.db(), u"select \"3\", \"4\", a5 from data1"_s);
    QVERIFY(line.next());
    QCOMPARE(line.value(0).toDouble(), -1.0);
    QCOMPARE(line.value(1).toDouble(), -100.0);
    QCOMPARE(line.value(2).toDouble(), -20.0);
}

void TestSalePanel::fractionalReturnKeepsItsFraction()
{
    const qint64 id = addStock(u"布料"_s, 10, 20, 1, 1, 20);
    openByDoubleClick(id);
    box("Edit35")->setText(u"0.5"_s);
    m_shop->form->findChild<QPushButton *>(u"Button19"_s)->click();
    QCOMPARE(box("Edit35")->text(), u"-0.5"_s);
    confirm();
    QCOMPARE(stockRow(id), (QList<double>{0.5, 10, 1.5, 15}));
    QCOMPARE(ScalarValue(m_shop->database.db(), u"select \"3\" from data1"_s).toDouble(), -0.5);
}

void TestSalePanel::stockShortSetsTheQuantity()
{
    const qint64 id = addStock(u"皮箱"_s, 10, 20, 2, 0, 0);
    m_shop->form->context().setOrderCounter(6);
    m_shop->form->context().setLastSaleDate(u"2024-03-05"_s);
    openByDoubleClick(id);
    box("Edit35")->setText(u"3"_s);
    customerBox()->setEditText(u"李四"_s);
    confirm();
    QCOMPARE(Prompter::shownTexts(), QStringList{u"库存不足"_s});
    QCOMPARE(box("Edit35")->text(), u"2"_s);
    QCOMPARE(lineCount(), 0);
    QCOMPARE(stockRow(id), (QList<double>{0, 0, 2, 20}));
    // The panel stays open for the corrected quantity; the counter is stored.
    QVERIFY(m_shop->form->salePanel()->isVisible());
    QCOMPARE(customerBox()->currentText(), u"李四"_s);
    QCOMPARE(danhao(), u"6"_s);
}

void TestSalePanel::stockTakenByAnotherCounter()
{
    const qint64 id = addStock(u"皮箱"_s, 10, 20, 2, 0, 0);
    openByDoubleClick(id);
    QCOMPARE(box("Edit24")->text(), u"2"_s);
    // A second counter sells one while this panel is open.
    auto other = m_shop->database.openSecondConnection(u"otherCounter"_s);
    SaleRequest sale;
    sale.stockId = id;
    sale.price = 20;
    sale.quantity = 1;
    sale.saleDate = QDate(2024, 3, 5);
    QCOMPARE(SalesLedger(*other).book(sale).result, SaleBooking::Result::Booked);
    other.reset();

    box("Edit35")->setText(u"2"_s);
    confirm();
    QCOMPARE(Prompter::shownTexts(), QStringList{u"库存不足"_s});
    QCOMPARE(box("Edit35")->text(), u"1"_s);
    QCOMPARE(box("Edit24")->text(), u"1"_s);
    QCOMPARE(lineCount(), 1);
    QCOMPARE(stockRow(id).value(2), 1.0);
}

void TestSalePanel::zeroQuantity()
{
    const qint64 id = addStock(u"皮箱"_s, 10, 20, 2, 0, 0);
    openByDoubleClick(id);
    box("Edit35")->setText(u"0"_s);
    confirm();
    QCOMPARE(Prompter::shownTexts(), QStringList{u"销售数量不能为0"_s});
    QCOMPARE(lineCount(), 0);
    QCOMPARE(stockRow(id), (QList<double>{0, 0, 2, 20}));
    QCOMPARE(danhao(), u"1"_s);
}

void TestSalePanel::returnButton_data()
{
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("once");
    QTest::addColumn<QString>("twice");
    QTest::newRow("2") << u"2"_s << u"-2"_s << u"2"_s;
    QTest::newRow("0") << u"0"_s << u"0"_s << u"0"_s;
    QTest::newRow("fraction") << u"1.5"_s << u"-1.5"_s << u"1.5"_s;
}

void TestSalePanel::returnButton()
{
    QFETCH(QString, quantity);
    const qint64 id = addStock(u"皮箱"_s, 10, 20, 2, 0, 0);
    openByDoubleClick(id);
    auto *button = m_shop->form->findChild<QPushButton *>(u"Button19"_s);
    QCOMPARE(button->toolTip(), u"先输入退货数量，点此按钮后再销售确认"_s);
    box("Edit35")->setText(quantity);
    button->click();
    QTEST(box("Edit35")->text(), "once");
    button->click();
    QTEST(box("Edit35")->text(), "twice");
}

void TestSalePanel::refusalsStopBeforeWriting_data()
{
    QTest::addColumn<QString>("boxName");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");

    QTest::newRow("quantity empty") << u"Edit35"_s << QString() << u"销售数量必须输入！"_s;
    QTest::newRow("quantity two points")
        << u"Edit35"_s << u"1.2.3"_s << u"销售数量“1.2.3”不是有效的数字，请重新输入！"_s;
    QTest::newRow("quantity lone point")
        << u"Edit35"_s << u"."_s << u"销售数量“.”不是有效的数字，请重新输入！"_s;
    QTest::newRow("price empty") << u"Edit5"_s << QString() << u"实际销售价必须输入！"_s;
    QTest::newRow("price two points")
        << u"Edit5"_s << u"12.5.0"_s << u"实际销售价“12.5.0”不是有效的数字，请重新输入！"_s;
    QTest::newRow("price lone point")
        << u"Edit5"_s << u"."_s << u"实际销售价“.”不是有效的数字，请重新输入！"_s;
    QTest::newRow("debt empty") << u"Edit12"_s << QString() << u"欠款金额必须输入！"_s;
    QTest::newRow("debt two points") << u"Edit12"_s << u"1..2"_s
                                     << u"欠款金额“1..2”不是有效的数字，请重新输入！"_s;
    // Numbers the boxes take but no shop means: the ledger refuses them.
    QTest::newRow("price over a billion")
        << u"Edit5"_s << u"12345678901"_s
        << u"实际销售价超出允许的范围（绝对值不能超过1000000000），请重新输入。"_s;
    QTest::newRow("debt over a billion")
        << u"Edit12"_s << u"99999999999.5"_s
        << u"欠款金额超出允许的范围（绝对值不能超过1000000000），请重新输入。"_s;
}

void TestSalePanel::refusalsStopBeforeWriting()
{
    QFETCH(QString, boxName);
    QFETCH(QString, typed);
    const qint64 id = addStock(u"皮箱"_s, 10, 20, 5, 0, 0);
    openByDoubleClick(id);
    QLineEdit *target = box(boxName.toLatin1().constData());
    // Typed through the key filter: points pass it.
    target->clear();
    QTest::keyClicks(target, typed);
    QCOMPARE(target->text(), typed);
    confirm();
    QCOMPARE(Prompter::shownTexts().size(), 1);
    QTEST(Prompter::lastText(), "message");
    QCOMPARE(Prompter::shown().constFirst().kind, Prompter::Kind::Warning);
    QCOMPARE(QApplication::focusWidget(), target);
    QCOMPARE(lineCount(), 0);
    QCOMPARE(stockRow(id), (QList<double>{0, 0, 5, 50}));
    QVERIFY(m_shop->form->salePanel()->isVisible());
    // These refusals stop before the counter is stored.
    QCOMPARE(danhao(), QString());
}

void TestSalePanel::emptySaleDate()
{
    const qint64 id = addStock(u"皮箱"_s, 10, 20, 5, 0, 0);
    openByDoubleClick(id);
    QLineEdit *date = box("DBDateTimeEditEh2");
    date->clear();
    QCOMPARE(date->displayText(), u"    -  -  "_s);
    confirm();
    QCOMPARE(Prompter::shownTexts(), QStringList{u"销售日期必须输入"_s});
    QCOMPARE(lineCount(), 0);
    QCOMPARE(danhao(), QString());
    // The main window's date guard puts today back.
    QTRY_COMPARE(date->text(), u"2024-03-05"_s);

    date->setText(u"2024-02-30"_s);
    confirm();
    QCOMPARE(Prompter::lastText(), u"销售日期“2024-02-30”不是有效的日期，请重新输入！"_s);
    QCOMPARE(lineCount(), 0);
}

void TestSalePanel::keyFilterAndDiscount()
{
    const qint64 id = addStock(u"皮箱"_s, 10, 40, 5, 0, 0);
    openByDoubleClick(id);
    QLineEdit *quantity = box("Edit35");
    quantity->clear();
    QTest::keyClicks(quantity, u"a-1x2,"_s);
    QCOMPARE(quantity->text(), u"12"_s);
    QCOMPARE(box("Edit38")->text(), u"480"_s);

    QLineEdit *discount = box("Edit10");
    discount->setText(u"85"_s);
    QCOMPARE(box("Edit5")->text(), u"34"_s);
    QCOMPARE(box("Edit38")->text(), u"408"_s);
    // A typed price stands until the discount changes again.
    box("Edit5")->setText(u"30"_s);
    QCOMPARE(box("Edit38")->text(), u"360"_s);
    m_shop->form->findChild<QToolButton *>(u"discountUpButton"_s)->click();
    QCOMPARE(discount->text(), u"90"_s);
    QCOMPARE(box("Edit5")->text(), u"36"_s);
    discount->setFocus();
    QTest::keyClick(discount, Qt::Key_Up);
    QTest::keyClick(discount, Qt::Key_Up);
    QTest::keyClick(discount, Qt::Key_Up);
    QCOMPARE(discount->text(), u"100"_s);
    discount->setText(u"3"_s);
    m_shop->form->findChild<QToolButton *>(u"discountDownButton"_s)->click();
    QCOMPARE(discount->text(), u"0"_s);
    QCOMPARE(box("Edit5")->text(), u"0"_s);
    // The discount is kept for the next opening.
    discount->setText(u"85"_s);
    m_sale->closePanel();
    openByDoubleClick(id);
    QCOMPARE(discount->text(), u"85"_s);
}

// ---------------------------------------------------------------- orders

void TestSalePanel::counterDownToZeroAndNotBelow()
{
    const qint64 id = addStock(u"皮箱"_s, 10, 20, 5, 0, 0);
    openByDoubleClick(id);
    QCOMPARE(box("Edit34")->text(), u"20240305001"_s);
    auto *minus = m_shop->form->findChild<QPushButton *>(u"orderPreviousButton"_s);
    QCOMPARE(minus->toolTip(), u"单号减少"_s);
    minus->click();
    QCOMPARE(box("Edit34")->text(), u"20240305000"_s);
    QCOMPARE(m_shop->form->context().orderCounter(), 0);
    minus->click();
    QCOMPARE(box("Edit34")->text(), u"20240305000"_s);
    // The ticket's "上一单" is the same button.
    m_shop->form->ticket()->cashBox()->setText(u"50"_s);
    m_shop->form->ticket()->previousButton()->click();
    QCOMPARE(m_shop->form->context().orderCounter(), 0);
    QCOMPARE(m_shop->form->ticket()->orderNumber(), u"20240305000"_s);
    QCOMPARE(m_shop->form->ticket()->cashBox()->text(), u"0"_s);
}

void TestSalePanel::fourDigitCounter()
{
    const qint64 id = addStock(u"皮箱"_s, 10, 20, 5, 0, 0);
    m_shop->form->context().setOrderCounter(999);
    m_shop->form->context().setLastSaleDate(u"2024-03-05"_s);
    openByDoubleClick(id);
    QCOMPARE(box("Edit34")->text(), u"20240305999"_s);
    m_shop->form->findChild<QPushButton *>(u"orderNextButton"_s)->click();
    QCOMPARE(box("Edit34")->text(), u"202403051000"_s);
    m_shop->form->context().setOrderCounter(1233);
    m_shop->form->ticket()->cashBox()->setText(u"50"_s);
    m_shop->form->ticket()->nextButton()->click();
    QCOMPARE(box("Edit34")->text(), u"202403051234"_s);
    QCOMPARE(m_shop->form->ticket()->orderNumber(), u"202403051234"_s);
    QCOMPARE(m_shop->form->ticket()->cashBox()->text(), u"0"_s);
    confirm();
    QCOMPARE(ScalarValue(m_shop->database.db(), u"select z from data1"_s).toString(), u"202403051234"_s);
    QCOMPARE(danhao(), u"1234"_s);
}

void TestSalePanel::dayResetHappensOnce()
{
    const qint64 id = addStock(u"皮箱"_s, 10, 20, 5, 0, 0);
    m_shop->form->context().setOrderCounter(42);
    m_shop->form->context().setLastSaleDate(u"2024-03-04"_s);
    openByDoubleClick(id);
    QCOMPARE(box("Edit34")->text(), u"20240305001"_s);
    QCOMPARE(m_shop->form->context().lastSaleDate(), u"2024-03-05"_s);
    m_shop->form->findChild<QPushButton *>(u"orderNextButton"_s)->click();
    m_sale->closePanel();
    openByDoubleClick(id);
    QCOMPARE(box("Edit34")->text(), u"20240305002"_s);

    // Another sale date restarts once more; the number keeps today's date.
    m_sale->closePanel();
    box("DBDateTimeEditEh2")->setText(u"2024-03-06"_s);
    openByDoubleClick(id);
    QCOMPARE(box("Edit34")->text(), u"20240305001"_s);
}

void TestSalePanel::anotherCounterNeverGetsOurNumber()
{
    // A second counter on the same database starts the day first.
    std::unique_ptr<Database> other = m_shop->database.openSecondConnection(u"counter2"_s);
    QVERIFY2(other->isOpen(), qPrintable(other->errorText()));
    OrderCounter otherCounter(*other);
    QCOMPARE(otherCounter.claim(QDate(2024, 3, 5), 1), 1);

    const qint64 id = addStock(u"皮箱"_s, 10, 20, 5, 0, 0);
    m_shop->form->context().setLastSaleDate(u"2024-03-04"_s);
    openByDoubleClick(id);
    QCOMPARE(box("Edit34")->text(), u"20240305002"_s);
    QCOMPARE(otherCounter.claim(QDate(2024, 3, 5), 2), 3);
    m_shop->form->findChild<QPushButton *>(u"orderNextButton"_s)->click();
    QCOMPARE(box("Edit34")->text(), u"20240305004"_s);
    // "-" steps back on purpose (it may show another counter's order); "+"
    // never lands on a number another counter holds.
    m_shop->form->findChild<QPushButton *>(u"orderPreviousButton"_s)->click();
    m_shop->form->findChild<QPushButton *>(u"orderPreviousButton"_s)->click();
    QCOMPARE(box("Edit34")->text(), u"20240305002"_s);
    m_shop->form->findChild<QPushButton *>(u"orderNextButton"_s)->click();
    QCOMPARE(box("Edit34")->text(), u"20240305005"_s);

    // "+" while the database cannot hand out a number: the operator is
    // told, and before a sale goes on the number it is asked for again, for
    // the other counter may have been given it meanwhile.
    Database &db = m_shop->database.db();
    QSqlQuery table(db.connection());
    QVERIFY(table.exec(u"alter table ordercounter rename to ordercounter_away"_s));
    m_shop->form->findChild<QPushButton *>(u"orderNextButton"_s)->click();
    QCOMPARE(Prompter::shown().size(), 1);
    QVERIFY2(Prompter::lastText().startsWith(u"无法取得销售单号"_s), qPrintable(Prompter::lastText()));
    QCOMPARE(box("Edit34")->text(), u"20240305006"_s);
    QVERIFY(table.exec(u"alter table ordercounter_away rename to ordercounter"_s));
    QCOMPARE(otherCounter.claim(QDate(2024, 3, 5), 6), 6);
    box("Edit13")->setText(u"北京"_s);
    confirm();
    QCOMPARE(ScalarValue(db, u"select z || h from data1"_s).toString(), u"20240305007北京"_s);
    QCOMPARE(box("Edit34")->text(), u"20240305007"_s);
}

void TestSalePanel::orderLookupFillsAndEmpties()
{
    Database &db = m_shop->database.db();
    const QString insert = u"insert into data1 (a, z, g, h, i, j, \"3\") values (?, ?, ?, ?, ?, ?, 1)"_s;
    ExecuteStatement(db, insert,
                     {u"皮箱"_s, u"20240304007"_s, u"O'Brien"_s, u"Dublin's 5"_s, u"0871"_s, u"老'客户"_s});
    ExecuteStatement(db, insert, {u"皮箱"_s, u"A'1"_s, u"张三"_s, u"北京"_s, u"139"_s, QString()});
    const qint64 id = addStock(u"皮箱"_s, 10, 20, 5, 0, 0);
    openByDoubleClick(id);

    QLineEdit *order = box("Edit34");
    order->setText(u"20240304007"_s);
    QCOMPARE(customerBox()->currentText(), u"O'Brien"_s);
    QCOMPARE(box("Edit13")->text(), u"Dublin's 5"_s);
    QCOMPARE(box("Edit14")->text(), u"0871"_s);
    QCOMPARE(box("Edit45")->text(), u"老'客户"_s);
    QCOMPARE(m_shop->form->ticket()->orderNumber(), u"20240304007"_s);
    QCOMPARE(m_shop->form->ticket()->totalBox()->text(), u"0"_s);

    order->setText(u"20240304099"_s);
    QCOMPARE(customerBox()->currentText(), QString());
    QCOMPARE(box("Edit13")->text(), QString());
    QCOMPARE(box("Edit14")->text(), QString());
    QCOMPARE(box("Edit45")->text(), QString());

    order->setText(u" A'1 "_s);
    QCOMPARE(customerBox()->currentText(), u"张三"_s);
    QCOMPARE(box("Edit13")->text(), u"北京"_s);
}

void TestSalePanel::customerLookup()
{
    ExecuteStatement(m_shop->database.db(),
                     u"insert into data1 (a, z, g, h, i, \"3\") values (?, ?, ?, ?, ?, 1)"_s,
                     {u"皮箱"_s, u"20240301001"_s, u"O'Brien \"Bags\""_s, u"Dublin's 5"_s, u"0871"_s});
    const qint64 id = addStock(u"皮箱"_s, 10, 20, 5, 0, 0);
    openByDoubleClick(id);
    QCOMPARE(customerBox()->count(), 1);
    QComboBox *customer = customerBox();
    customer->setFocus();
    QTest::keyClicks(customer, u"O'Brien \"Bags\""_s);
    QCOMPARE(box("Edit13")->text(), u"Dublin's 5"_s);
    QCOMPARE(box("Edit14")->text(), u"0871"_s);
    // Leaving the box empty forgets the address and contact.
    customer->setEditText(QString());
    QCOMPARE(box("Edit13")->text(), u"Dublin's 5"_s);
    box("Edit45")->setFocus();
    QTRY_COMPARE(box("Edit13")->text(), QString());
    QCOMPARE(box("Edit14")->text(), QString());
}

void TestSalePanel::quotesAreStoredAsTyped()
{
    const qint64 id = addStock(u"皮箱"_s, 10, 20, 5, 0, 0);
    openByDoubleClick(id);
    box("Edit34")->setText(u"A'1\"; drop table data1; --"_s);
    customerBox()->setEditText(u"O'Brien \"Bags\""_s);
    box("Edit13")->setText(u"Dublin's 5"_s);
    box("Edit14")->setText(u"'0871'"_s);
    box("Edit45")->setText(u"it's"_s);
    confirm();
    QVERIFY2(Prompter::shown().isEmpty(), qPrintable(Prompter::shownTexts().join(u'|')));
    QSqlQuery line = OpenStatement(m_shop->database.db(), u"select z, g, h, i, j from data1"_s);
    QVERIFY(line.next());
    QCOMPARE(line.value(0).toString(), u"A'1\"; drop table data1; --"_s);
    QCOMPARE(line.value(1).toString(), u"O'Brien \"Bags\""_s);
    QCOMPARE(line.value(2).toString(), u"Dublin's 5"_s);
    QCOMPARE(line.value(3).toString(), u"'0871'"_s);
    QCOMPARE(line.value(4).toString(), u"it's"_s);
    // The ticket finds the order by its exact number.
    QCOMPARE(m_shop->form->ticket()->totalBox()->text(), u"20"_s);
}

void TestSalePanel::anotherRowClosesThePanel()
{
    const qint64 first = addStock(u"皮箱"_s, 10, 20, 5, 0, 0);
    const qint64 second = addStock(u"背包"_s, 10, 20, 5, 0, 0);
    openByDoubleClick(first);
    box("Edit35")->setText(u"3"_s);
    // A click on the same row keeps the panel.
    StockListView *list = m_shop->form->stockList();
    emit list->rowClicked(first);
    QVERIFY(m_shop->form->salePanel()->isVisible());
    emit list->rowClicked(second);
    QVERIFY(!m_shop->form->salePanel()->isVisible());
    QCOMPARE(box("Edit35")->text(), u"1"_s);
    QCOMPARE(box("Edit5")->text(), QString());
    QVERIFY(!m_shop->form->findChild<QPushButton *>(u"Button3"_s)->isEnabled());

    // The close picture does the same.
    openByDoubleClick(second);
    QCOMPARE(m_sale->stockId(), second);
    box("Edit12")->setText(u"5"_s);
    m_shop->form->salePanel()->closeButton()->click();
    QVERIFY(!m_shop->form->salePanel()->isVisible());
    QCOMPARE(box("Edit12")->text(), u"0"_s);
    QVERIFY(!m_shop->form->findChild<QPushButton *>(u"Button3"_s)->isEnabled());
}

void TestSalePanel::enterWalksThePanel()
{
    const qint64 id = addStock(u"皮箱"_s, 10, 20, 5, 0, 0);
    openByDoubleClick(id);
    const QStringList chain{u"Edit10"_s, u"Edit35"_s,    u"Edit12"_s, u"DBDateTimeEditEh2"_s,
                            u"Edit34"_s, u"ComboBox7"_s, u"Edit13"_s, u"Edit14"_s,
                            u"Edit45"_s, u"Image3"_s};
    QCOMPARE(QApplication::focusWidget(), box("Edit5"));
    for (const QString &next : chain) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QWidget *focused = QApplication::focusWidget();
        if (focused && focused->parentWidget() && qobject_cast<QComboBox *>(focused->parentWidget()))
            focused = focused->parentWidget();
        QVERIFY(focused);
        QCOMPARE(focused->objectName(), next);
    }
    // Enter on the save picture confirms.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(lineCount(), 1);
    // The read-only amount box sends Enter on to the sale date.
    openByDoubleClick(id);
    box("Edit38")->setFocus();
    QTest::keyClick(box("Edit38"), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), box("DBDateTimeEditEh2"));
}

QTEST_MAIN(TestSalePanel)
#include "tst_salepanel.moc"

#include "TestDatabase.h"

#include "common/DataGrid.h"
#include "common/NumberBox.h"
#include "common/Prompter.h"
#include "common/ShopContext.h"
#include "data/Clock.h"
#include "data/QueryHelpers.h"
#include "data/SettingsStore.h"
#include "shell/FloatingPanel.h"
#include "shell/SessionLog.h"
#include "shell/SuccessNotice.h"
#include "shell/TMainForm.h"
#include "stock/StockBook.h"
#include "stock/StockEntryPanel.h"
#include "stock/StockListView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {
const QDate kToday(2024, 3, 5);
} // namespace

// The stock entry panel driven from the keyboard in a signed-in main window:
// what the boxes show while typing, the checks of a save, and what reaches
// the stock table.
class TestStockEntryPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void recomputeAsTyped_data();
    void recomputeAsTyped();
    void clearingQuantityKeepsAmounts();
    void numberBoxesTakeOnlyNumberKeys_data();
    void numberBoxesTakeOnlyNumberKeys();
    void arrowsStepWholeNumbers_data();
    void arrowsStepWholeNumbers();
    void enterWalksTheChain();
    void requiredBoxesInOrder_data();
    void requiredBoxesInOrder();
    void emptyDateIsRefused();
    void emptiedDateBoxIsRefilled();
    void badNumberIsRefusedAndNothingStored_data();
    void badNumberIsRefusedAndNothingStored();
    void saveNewFromTheKeyboard();
    void modifyStoresStockLessSold();
    void modifyDeclinedWritesNothing();
    void modifyIgnoresRowWithoutName();
    void clickOnAnotherRowDisablesModify();
    void closeClearsAndDisablesModify();
    void modifyNeverLandsOnAnotherRow_data();
    void modifyNeverLandsOnAnotherRow();
    void modifySavesToItsRowAfterReturningToIt();
    void numberBoxesFilterPasteAndInputMethod_data();
    void numberBoxesFilterPasteAndInputMethod();
    void refusedValueIsNamedAndNothingStored_data();
    void refusedValueIsNamedAndNothingStored();

private:
    bool openSignedIn();
    template <typename T> T *child(const char *name) const
    {
        return m_form->findChild<T *>(QLatin1String(name));
    }
    QLineEdit *edit(const char *name) const { return child<QLineEdit>(name); }
    QComboBox *combo(const char *name) const { return child<QComboBox>(name); }
    StockEntryPanel *panel() const { return m_form->findChild<StockEntryPanel *>(); }
    QPushButton *saveNewButton() const { return child<QPushButton>("Button1"); }
    QPushButton *saveModifyButton() const { return child<QPushButton>("Button3"); }
    QAction *action(const char *name) const { return m_form->findChild<QAction *>(QLatin1String(name)); }
    void type(QWidget *box, const QString &text);
    static void keys(QWidget *box, const QString &text);
    // Fills every required box as an operator would.
    void fillRequired();
    qint64 addStock(const QString &name, const QString &price, const QString &quantity, const QString &sale);
    void clickRow(int row);
    int rowOf(qint64 id) const;
    int stockRows() const { return ScalarValue(m_database->db(), u"select count(*) from data"_s).toInt(); }

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestDatabase> m_database;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<ManualClock> m_clock;
    std::unique_ptr<ScopedClock> m_clockScope;
    std::unique_ptr<TMainForm> m_form;
    bool m_signedIn = false;
};

void TestStockEntryPanel::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_home.isValid());
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, m_home.filePath(u"user"_s));
    Prompter::setTestMode(true);
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestStockEntryPanel::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_database = std::make_unique<TestDatabase>();
    QVERIFY2(m_database->isOpen(), qPrintable(m_database->errorText()));
    m_settings = std::make_unique<SettingsStore>(m_dir->filePath(u"jxc.conf"_s));
    m_clock = std::make_unique<ManualClock>(QDateTime(kToday, QTime(9, 30)));
    m_clockScope = std::make_unique<ScopedClock>(*m_clock);
    Prompter::clearShown();
    QVERIFY(openSignedIn());
    QVERIFY(panel());
}

void TestStockEntryPanel::cleanup()
{
    m_form.reset();
    m_clockScope.reset();
    m_clock.reset();
    m_settings.reset();
    m_database.reset();
    m_dir.reset();
}

bool TestStockEntryPanel::openSignedIn()
{
    m_signedIn = false;
    m_form = std::make_unique<TMainForm>(m_database->db(), *m_settings);
    m_form->setLoginRunner([this](TMainForm &) {
        TMainForm::LoginOutcome outcome;
        outcome.accepted = true;
        outcome.session.username = Schema::kAdministrator;
        outcome.session.id = SessionLog(m_database->db()).open(Schema::kAdministrator);
        m_signedIn = true;
        return outcome;
    });
    m_form->show();
    m_form->activateWindow();
    return QTest::qWaitFor([this] { return m_signedIn; }, 3000) && QTest::qWaitForWindowExposed(m_form.get());
}

void TestStockEntryPanel::type(QWidget *box, const QString &text)
{
    box->setFocus();
    keys(box, text);
}

void TestStockEntryPanel::keys(QWidget *box, const QString &text)
{
    // QTest knows key codes for ASCII only; other characters arrive as the
    // text of a key event, as an input method delivers them.
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(box, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

void TestStockEntryPanel::fillRequired()
{
    type(combo("entryNameBox"), u"新秀丽拉杆箱"_s);
    type(combo("entryCodeBox"), u"6901234567892"_s);
    type(combo("entryCategoryBox"), u"拉杆箱"_s);
    type(edit("entryPurchasePriceBox"), u"3.5"_s);
    type(edit("entryQuantityBox"), u"10"_s);
    type(edit("entrySalePriceBox"), u"6"_s);
}

qint64 TestStockEntryPanel::addStock(const QString &name, const QString &price, const QString &quantity,
                                     const QString &sale)
{
    StockEntry e;
    e.name = name;
    e.spec = u"24寸"_s;
    e.code = u"C-"_s + name;
    e.category = u"拉杆箱"_s;
    e.supplier = u"王老板"_s;
    e.remark = u"备注 "_s + name;
    e.purchasePrice = price;
    e.quantity = quantity;
    e.salePrice = sale;
    e.stockInDate = QDate(2024, 2, 1);
    return StockBook(m_database->db()).add(m_form->session(), e);
}

int TestStockEntryPanel::rowOf(qint64 id) const
{
    DataGrid *grid = m_form->stockList()->grid();
    for (int row = 0; row < grid->view()->model()->rowCount(); ++row) {
        grid->setCurrentRow(row);
        if (m_form->stockList()->currentStockId() == id)
            return row;
    }
    return -1;
}

void TestStockEntryPanel::clickRow(int row)
{
    QTableView *view = m_form->stockList()->grid()->view();
    const QRect cell = view->visualRect(view->model()->index(row, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
}

// ---------------------------------------------------------------- typing

void TestStockEntryPanel::recomputeAsTyped_data()
{
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("salePrice");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("stockQuantity");
    QTest::addColumn<QString>("stockAmount");
    QTest::newRow("10 x 3.5") << u"3.5"_s << u"10"_s << u"6"_s << u"35"_s << u"10"_s << u"35"_s;
    QTest::newRow("12.5 x 3") << u"12.5"_s << u"3"_s << u"20"_s << u"37.5"_s << u"3"_s << u"37.5"_s;
    QTest::newRow("0.1 x 3") << u"0.1"_s << u"3"_s << u"1"_s << u"0.3"_s << u"3"_s << u"0.3"_s;
    QTest::newRow("quantity as typed") << u"2"_s << u"007"_s << u"3"_s << u"14"_s << u"007"_s << u"14"_s;
}

void TestStockEntryPanel::recomputeAsTyped()
{
    QFETCH(QString, price);
    QFETCH(QString, quantity);
    QFETCH(QString, salePrice);
    action("newStockAction")->trigger();
    QVERIFY(m_form->stockEntryPanel()->isVisible());
    type(edit("entryPurchasePriceBox"), price);
    type(edit("entryQuantityBox"), quantity);
    type(edit("entrySalePriceBox"), salePrice);
    QTEST(edit("entryPurchaseAmountBox")->text(), "amount");
    QTEST(edit("entryStockQuantityBox")->text(), "stockQuantity");
    QTEST(edit("entryStockAmountBox")->text(), "stockAmount");
    // A new entry carries nothing sold.
    QCOMPARE(edit("entrySoldQuantityBox")->text(), u"0"_s);
    QCOMPARE(edit("entrySalesTotalBox")->text(), u"0"_s);
}

void TestStockEntryPanel::clearingQuantityKeepsAmounts()
{
    action("newStockAction")->trigger();
    type(edit("entryPurchasePriceBox"), u"3.5"_s);
    type(edit("entryQuantityBox"), u"10"_s);
    QLineEdit *quantity = edit("entryQuantityBox");
    quantity->setFocus();
    quantity->end(false);
    QTest::keyClick(quantity, Qt::Key_Backspace);
    QTest::keyClick(quantity, Qt::Key_Backspace);
    QCOMPARE(quantity->text(), QString());
    QCOMPARE(edit("entryStockQuantityBox")->text(), QString());
    // The amounts of "1" stay: the rules need a quantity to compute.
    QCOMPARE(edit("entryPurchaseAmountBox")->text(), u"3.5"_s);
    QCOMPARE(edit("entryStockAmountBox")->text(), u"3.5"_s);
}

void TestStockEntryPanel::numberBoxesTakeOnlyNumberKeys_data()
{
    QTest::addColumn<QByteArray>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letters dropped") << "entryPurchasePriceBox"_ba << u"a1b.2c"_s << u"1.2"_s;
    QTest::newRow("no sign") << "entryQuantityBox"_ba << u"-5+"_s << u"5"_s;
    QTest::newRow("no blanks or comma") << "entrySalePriceBox"_ba << u" 7,5 "_s << u"75"_s;
    QTest::newRow("symbols dropped") << "entryQuantityBox"_ba << u"#2%/*"_s << u"2"_s;
    // The filter keeps dots; a second one is refused only when saving.
    QTest::newRow("dots pass") << "entryPurchasePriceBox"_ba << u"1.2.3"_s << u"1.2.3"_s;
}

void TestStockEntryPanel::numberBoxesTakeOnlyNumberKeys()
{
    QFETCH(QByteArray, box);
    QFETCH(QString, typed);
    action("newStockAction")->trigger();
    type(edit(box.constData()), typed);
    QTEST(edit(box.constData())->text(), "shown");
}

void TestStockEntryPanel::arrowsStepWholeNumbers_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("after");
    QTest::newRow("up from empty") << QString() << int(Qt::Key_Up) << u"1"_s;
    QTest::newRow("up from 3.5") << u"3.5"_s << int(Qt::Key_Up) << u"4"_s;
    QTest::newRow("down from 3.5") << u"3.5"_s << int(Qt::Key_Down) << u"2"_s;
    QTest::newRow("not below 0") << u"0"_s << int(Qt::Key_Down) << u"0"_s;
    QTest::newRow("not above 100") << u"100"_s << int(Qt::Key_Up) << u"100"_s;
}

void TestStockEntryPanel::arrowsStepWholeNumbers()
{
    QFETCH(QString, start);
    QFETCH(int, key);
    action("newStockAction")->trigger();
    QLineEdit *quantity = edit("entryQuantityBox");
    quantity->setText(start);
    quantity->setFocus();
    QTest::keyClick(quantity, Qt::Key(key));
    QTEST(quantity->text(), "after");
    // The quantity rules follow a step like any change.
    QTEST(edit("entryStockQuantityBox")->text(), "after");
    // The arrow beside the box does the same.
    QFETCH(QString, after);
    auto *up = quantity->findChild<QToolButton *>(u"stepUpButton"_s);
    QVERIFY(up);
    up->click();
    QCOMPARE(quantity->text(), QString::number(std::min(after.toInt() + 1, 100)));
}

void TestStockEntryPanel::enterWalksTheChain()
{
    action("newStockAction")->trigger();
    QWidget *name = combo("entryNameBox");
    QTRY_VERIFY(name->hasFocus());
    const QList<QWidget *> chain{combo("entrySpecBox"),         combo("entryCodeBox"),
                                 combo("entryCategoryBox"),     edit("entryDateBox"),
                                 edit("entryPurchasePriceBox"), edit("entryQuantityBox"),
                                 edit("entrySalePriceBox"),     combo("entrySupplierBox"),
                                 edit("entryRemarkBox"),        saveNewButton()};
    for (QWidget *next : chain) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY2(next->hasFocus() || next->isAncestorOf(QApplication::focusWidget()),
                 qPrintable(u"focus on %1, expected %2"_s.arg(QApplication::focusWidget()->objectName(),
                                                              next->objectName())));
    }
    // Tab walks the same boxes.
    name->setFocus();
    for (QWidget *next : chain) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY2(next->hasFocus() || next->isAncestorOf(QApplication::focusWidget()),
                 qPrintable(u"Tab: focus on %1, expected %2"_s.arg(QApplication::focusWidget()->objectName(),
                                                                   next->objectName())));
    }
    // Enter on the button saves: with nothing typed the name is asked for.
    Prompter::clearShown();
    QTest::keyClick(saveNewButton(), Qt::Key_Return);
    QCOMPARE(Prompter::lastText(), u"商品名称必须输入！"_s);
    QVERIFY(name->hasFocus() || name->isAncestorOf(QApplication::focusWidget()));
}

// ---------------------------------------------------------------- save new

void TestStockEntryPanel::requiredBoxesInOrder_data()
{
    QTest::addColumn<QByteArray>("emptied");
    QTest::addColumn<QString>("message");
    QTest::newRow("name") << "entryNameBox"_ba << u"商品名称必须输入！"_s;
    QTest::newRow("code") << "entryCodeBox"_ba << u"商品编码必须输入！"_s;
    QTest::newRow("category") << "entryCategoryBox"_ba << u"商品类别必须输入！"_s;
    QTest::newRow("purchase price") << "entryPurchasePriceBox"_ba << u"进货单价必须输入！"_s;
    QTest::newRow("quantity") << "entryQuantityBox"_ba << u"进货数量必须输入！"_s;
    QTest::newRow("sale price") << "entrySalePriceBox"_ba << u"销售单价必须输入！"_s;
}

void TestStockEntryPanel::requiredBoxesInOrder()
{
    QFETCH(QByteArray, emptied);
    QFETCH(QString, message);
    action("newStockAction")->trigger();
    fillRequired();
    // Blanks count as empty; the boxes after the emptied one are emptied
    // too, so only the first is reported.
    bool after = false;
    for (const char *name : {"entryNameBox", "entryCodeBox", "entryCategoryBox", "entryPurchasePriceBox",
                             "entryQuantityBox", "entrySalePriceBox"}) {
        const bool first = emptied == name;
        if (first || after) {
            if (auto *box = combo(name))
                box->setEditText(first ? u"   "_s : QString());
            else
                edit(name)->setText(first ? u"   "_s : QString());
        }
        after = after || first;
    }
    Prompter::clearShown();
    saveNewButton()->click();
    QCOMPARE(Prompter::shownTexts(), QStringList{message});
    QCOMPARE(Prompter::shown().constFirst().kind, Prompter::Kind::Warning);
    QWidget *box = child<QWidget>(emptied.constData());
    QVERIFY(box->hasFocus() || box->isAncestorOf(QApplication::focusWidget()));
    QCOMPARE(stockRows(), 0);
}

void TestStockEntryPanel::emptyDateIsRefused()
{
    action("newStockAction")->trigger();
    fillRequired();
    QLineEdit *date = edit("entryDateBox");
    date->clear();
    QCOMPARE(date->displayText(), u"    -  -  "_s);
    Prompter::clearShown();
    saveNewButton()->click();
    QCOMPARE(Prompter::shownTexts(), QStringList{u"入库日期必须输入"_s});
    QCOMPARE(stockRows(), 0);
}

void TestStockEntryPanel::emptiedDateBoxIsRefilled()
{
    QLineEdit *date = edit("entryDateBox");
    QCOMPARE(date->text(), u"2024-03-05"_s);
    m_clock->advanceDays(1);
    date->setFocus();
    date->selectAll();
    QTest::keyClick(date, Qt::Key_Delete);
    QCOMPARE(date->displayText(), u"    -  -  "_s);
    QTRY_COMPARE_WITH_TIMEOUT(date->text(), u"2024-03-06"_s, ShopContext::DateGuardMilliseconds + 200);
}

void TestStockEntryPanel::badNumberIsRefusedAndNothingStored_data()
{
    QTest::addColumn<QByteArray>("box");
    QTest::addColumn<QString>("text");
    QTest::newRow("1.2.3 price") << "entryPurchasePriceBox"_ba << u"1.2.3"_s;
    QTest::newRow("lone point quantity") << "entryQuantityBox"_ba << u"."_s;
    QTest::newRow("two points sale price") << "entrySalePriceBox"_ba << u"5..0"_s;
    QTest::newRow("pasted blanks price") << "entryPurchasePriceBox"_ba << u" 3"_s;
}

void TestStockEntryPanel::badNumberIsRefusedAndNothingStored()
{
    QFETCH(QByteArray, box);
    QFETCH(QString, text);
    action("newStockAction")->trigger();
    fillRequired();
    // setText stands for a paste, which the key filter does not see.
    edit(box.constData())->setText(text);
    Prompter::clearShown();
    saveNewButton()->click();
    QCOMPARE(Prompter::shownTexts(), QStringList{u"'%1' is not a valid floating point value"_s.arg(text)});
    QCOMPARE(Prompter::shown().constFirst().kind, Prompter::Kind::Error);
    QVERIFY(edit(box.constData())->hasFocus());
    QCOMPARE(stockRows(), 0);
    QVERIFY(!m_form->successNotice()->isVisible());
    // The operator's typing is still there to correct.
    QCOMPARE(combo("entryNameBox")->currentText(), u"新秀丽拉杆箱"_s);
}

void TestStockEntryPanel::saveNewFromTheKeyboard()
{
    action("newStockAction")->trigger();
    QTRY_VERIFY(combo("entryNameBox")->hasFocus());
    const QStringList typed{
        u" O'Brien 箱 "_s, QString(), u"6901234567892"_s, u"拉杆箱"_s,  QString(), u"3.5"_s,
        u"10"_s,           u"6"_s,    u"白沟'王"_s,       u"50%_定金"_s};
    // name, spec, code, category, date (kept), price, quantity, sale price,
    // supplier, remark; Enter after each, the last Enter on "新建入库".
    for (const QString &text : typed) {
        QWidget *focus = QApplication::focusWidget();
        keys(focus, text);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    QVERIFY(saveNewButton()->hasFocus());
    Prompter::clearShown();
    QTest::keyClick(saveNewButton(), Qt::Key_Return);
    QCOMPARE(Prompter::shownTexts(), QStringList());

    QCOMPARE(stockRows(), 1);
    QSqlQuery row = OpenStatement(
        m_database->db(), u"select a, b, c, d, g, z, \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", "
                          "\"8\", day1 from data"_s);
    QVERIFY(row.next());
    QCOMPARE(row.value(0).toString(), u"O'Brien 箱"_s);
    QCOMPARE(row.value(1).toString(), QString());
    QCOMPARE(row.value(2).toString(), u"6901234567892"_s);
    QCOMPARE(row.value(3).toString(), u"拉杆箱"_s);
    QCOMPARE(row.value(4).toString(), u"白沟'王"_s);
    QCOMPARE(row.value(5).toString(), u"50%_定金"_s);
    const QList<double> expected{3.5, 10, 35, 6, 0, 0, 10, 35};
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(row.value(6 + i).toDouble(), expected.at(i));
    QCOMPARE(Dialect::toDate(row.value(14)), kToday);

    QVERIFY(m_form->successNotice()->isVisible());
    QCOMPARE(m_form->successNotice()->text(), u"数据入库成功..."_s);
    // Ready for the next delivery: the panel stays, the boxes are empty,
    // the date is kept and the lists know the new article.
    QVERIFY(m_form->stockEntryPanel()->isVisible());
    for (const char *name :
         {"entryNameBox", "entrySpecBox", "entryCodeBox", "entryCategoryBox", "entrySupplierBox"})
        QCOMPARE(combo(name)->currentText(), QString());
    for (const char *name :
         {"entryPurchasePriceBox", "entryQuantityBox", "entrySalePriceBox", "entryRemarkBox"})
        QCOMPARE(edit(name)->text(), QString());
    QCOMPARE(edit("entryDateBox")->text(), u"2024-03-05"_s);
    QVERIFY(combo("entryNameBox")->findText(u"O'Brien 箱"_s) >= 0);
    QVERIFY(combo("entrySupplierBox")->findText(u"白沟'王"_s) >= 0);
    QVERIFY(!saveModifyButton()->isEnabled());
    QCOMPARE(m_form->stockList()->grid()->view()->model()->rowCount(), 1);
}

// ---------------------------------------------------------------- modify

void TestStockEntryPanel::modifyStoresStockLessSold()
{
    const qint64 id = addStock(u"新秀丽"_s, u"2"_s, u"10"_s, u"6"_s);
    addStock(u"皮夹"_s, u"9"_s, u"1"_s, u"9"_s);
    // Four sold: the sale panel books them like this.
    ExecuteStatement(m_database->db(),
                     u"update data set \"5\" = 4, \"6\" = 24, \"7\" = 6, \"8\" = 12 where id = ?"_s, {id});
    m_form->showAllRecords();
    const int row = rowOf(id);
    QVERIFY(row >= 0);
    clickRow(row);
    action("modifyStockAction")->trigger();
    QVERIFY(m_form->stockEntryPanel()->isVisible());
    QVERIFY(saveModifyButton()->isVisible());
    QVERIFY(saveModifyButton()->isEnabled());
    QVERIFY(!saveNewButton()->isVisible());
    QCOMPARE(combo("entryNameBox")->currentText(), u"新秀丽"_s);
    QCOMPARE(edit("entryQuantityBox")->text(), u"10"_s);
    QCOMPARE(edit("entryPurchaseAmountBox")->text(), u"20"_s);
    QCOMPARE(edit("entrySoldQuantityBox")->text(), u"4"_s);
    QCOMPARE(edit("entrySalesTotalBox")->text(), u"24"_s);
    QCOMPARE(edit("entryStockQuantityBox")->text(), u"6"_s);
    QCOMPARE(edit("entryStockAmountBox")->text(), u"12"_s);
    QCOMPARE(edit("entryDateBox")->text(), u"2024-02-01"_s);
    QCOMPARE(combo("entrySupplierBox")->currentText(), u"王老板"_s);

    QLineEdit *quantity = edit("entryQuantityBox");
    quantity->setFocus();
    quantity->selectAll();
    keys(quantity, u"12"_s);
    Prompter::clearShown();
    Prompter::queueAnswer(Prompter::Answer::Ok);
    saveModifyButton()->click();
    QCOMPARE(Prompter::shownTexts(), QStringList{u"你确实要修改选中资料吗？"_s});
    QCOMPARE(Prompter::shown().constFirst().caption, u"警告！"_s);

    QSqlQuery stored = OpenStatement(
        m_database->db(), u"select \"2\", \"3\", \"5\", \"6\", \"7\", \"8\" from data where id = ?"_s, {id});
    QVERIFY(stored.next());
    const QList<double> expected{12, 24, 4, 24, 8, 16};
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(stored.value(i).toDouble(), expected.at(i));
    QVERIFY(!m_form->stockEntryPanel()->isVisible());
    QCOMPARE(m_form->successNotice()->text(), u"修改数据成功..."_s);
    QVERIFY(m_form->successNotice()->isVisible());
    QVERIFY(!saveModifyButton()->isEnabled());
}

void TestStockEntryPanel::modifyDeclinedWritesNothing()
{
    const qint64 id = addStock(u"新秀丽"_s, u"2"_s, u"10"_s, u"6"_s);
    m_form->showAllRecords();
    clickRow(rowOf(id));
    action("modifyStockAction")->trigger();
    edit("entryPurchasePriceBox")->setText(u"3"_s);
    Prompter::queueAnswer(Prompter::Answer::Cancel);
    saveModifyButton()->click();
    QCOMPARE(ScalarValue(m_database->db(), u"select \"1\" from data where id = ?"_s, {id}).toDouble(), 2.0);
    // The stock figures were recomputed before the question.
    QCOMPARE(edit("entryStockAmountBox")->text(), u"30"_s);
    QVERIFY(m_form->stockEntryPanel()->isVisible());
    QVERIFY(saveModifyButton()->isEnabled());
}

void TestStockEntryPanel::modifyIgnoresRowWithoutName()
{
    ExecuteStatement(m_database->db(), u"insert into data (a, \"2\", \"7\") values ('', 1, 1)"_s);
    m_form->showAllRecords();
    clickRow(0);
    action("modifyStockAction")->trigger();
    QVERIFY(!m_form->stockEntryPanel()->isVisible());
    QVERIFY(!saveModifyButton()->isEnabled());
}

void TestStockEntryPanel::clickOnAnotherRowDisablesModify()
{
    const qint64 first = addStock(u"新秀丽"_s, u"2"_s, u"10"_s, u"6"_s);
    const qint64 second = addStock(u"皮夹"_s, u"9.5"_s, u"3"_s, u"15"_s);
    m_form->showAllRecords();
    clickRow(rowOf(first));
    action("modifyStockAction")->trigger();
    QVERIFY(saveModifyButton()->isEnabled());
    // The same row again re-copies and keeps the button.
    clickRow(rowOf(first));
    QVERIFY(saveModifyButton()->isEnabled());

    clickRow(rowOf(second));
    QVERIFY(!saveModifyButton()->isEnabled());
    QVERIFY(saveModifyButton()->isVisible());
    QCOMPARE(combo("entryNameBox")->currentText(), u"皮夹"_s);
    QCOMPARE(combo("entryCodeBox")->currentText(), u"C-皮夹"_s);
    QCOMPARE(edit("entryPurchasePriceBox")->text(), u"9.5"_s);
    QCOMPARE(edit("entryQuantityBox")->text(), u"3"_s);
    QCOMPARE(edit("entrySalePriceBox")->text(), u"15"_s);
    QCOMPARE(edit("entryRemarkBox")->text(), u"备注 皮夹"_s);
    QCOMPARE(edit("entryPurchaseAmountBox")->text(), u"28.5"_s);
    QCOMPARE(edit("entryStockQuantityBox")->text(), u"3"_s);
    // The date is not copied by a click.
    QCOMPARE(edit("entryDateBox")->text(), u"2024-02-01"_s);
}

void TestStockEntryPanel::closeClearsAndDisablesModify()
{
    const qint64 id = addStock(u"新秀丽"_s, u"2"_s, u"10"_s, u"6"_s);
    m_form->showAllRecords();
    clickRow(rowOf(id));
    action("modifyStockAction")->trigger();
    QVERIFY(saveModifyButton()->isEnabled());
    m_form->stockEntryPanel()->closeButton()->click();
    QVERIFY(!m_form->stockEntryPanel()->isVisible());
    QVERIFY(!saveModifyButton()->isEnabled());
    for (const char *name : {"entryPurchasePriceBox", "entryQuantityBox", "entrySalePriceBox",
                             "entryStockQuantityBox", "entryStockAmountBox", "entryRemarkBox"})
        QCOMPARE(edit(name)->text(), QString());
    QCOMPARE(edit("entrySoldQuantityBox")->text(), u"0"_s);
    QCOMPARE(edit("entrySalesTotalBox")->text(), u"0"_s);
    // The article stays for the next delivery.
    QCOMPARE(combo("entryNameBox")->currentText(), u"新秀丽"_s);
}

void TestStockEntryPanel::modifyNeverLandsOnAnotherRow_data()
{
    QTest::addColumn<QString>("move");
    QTest::newRow("quick-query keystroke") << u"query"_s;
    QTest::newRow("right-click on another row") << u"right-click"_s;
    QTest::newRow("arrow key") << u"arrow"_s;
    QTest::newRow("全部记录") << u"all records"_s;
}

void TestStockEntryPanel::modifyNeverLandsOnAnotherRow()
{
    QFETCH(QString, move);
    const qint64 first = addStock(u"新秀丽"_s, u"2"_s, u"10"_s, u"6"_s);
    const qint64 second = addStock(u"皮夹"_s, u"9"_s, u"3"_s, u"15"_s);
    const qint64 third = addStock(u"背包"_s, u"5"_s, u"4"_s, u"8"_s);
    m_form->showAllRecords();
    // Found before "修 改": looking for a row moves the current row.
    const int firstRow = rowOf(first);
    const int secondRow = rowOf(second);
    clickRow(secondRow);
    action("modifyStockAction")->trigger();
    QVERIFY(saveModifyButton()->isEnabled());
    type(combo("entryNameBox"), u"改"_s);
    const QString edited = combo("entryNameBox")->currentText();

    QTableView *view = m_form->stockList()->grid()->view();
    if (move == u"query"_s) {
        // Any key in a quick-query box lists again from the first row.
        QLineEdit *code = m_form->findChild<QLineEdit *>(u"codeBox"_s);
        QVERIFY(code);
        type(code, u"C"_s);
    } else if (move == u"right-click"_s) {
        const QRect cell = view->visualRect(view->model()->index(firstRow, 0));
        QTest::mouseClick(view->viewport(), Qt::RightButton, {}, cell.center());
        QContextMenuEvent menu(QContextMenuEvent::Mouse, cell.center(),
                               view->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(view->viewport(), &menu);
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
    } else if (move == u"arrow"_s) {
        view->setFocus();
        QTest::keyClick(view, secondRow > 0 ? Qt::Key_Up : Qt::Key_Down);
    } else {
        m_form->showAllRecords();
    }
    QVERIFY(!saveModifyButton()->isEnabled());

    // Even a save forced past the disabled button writes onto no row.
    Prompter::clearShown();
    Prompter::queueAnswer(Prompter::Answer::Ok);
    QVERIFY(!panel()->saveModification());
    for (const auto &[id, name] : {std::pair{first, u"新秀丽"_s}, {second, u"皮夹"_s}, {third, u"背包"_s}})
        QCOMPARE(ScalarValue(m_database->db(), u"select a from data where id = ?"_s, {id}).toString(), name);
    QCOMPARE(ScalarValue(m_database->db(), u"select count(*) from data where a = ?"_s, {edited}).toInt(), 0);
}

void TestStockEntryPanel::modifySavesToItsRowAfterReturningToIt()
{
    // The list moves away after "修 改" and the operator opens the correction
    // again on the row wanted: the save goes there and nowhere else.
    const qint64 first = addStock(u"新秀丽"_s, u"2"_s, u"10"_s, u"6"_s);
    const qint64 second = addStock(u"皮夹"_s, u"9"_s, u"3"_s, u"15"_s);
    m_form->showAllRecords();
    clickRow(rowOf(first));
    action("modifyStockAction")->trigger();
    m_form->stockList()->runQuery();
    m_form->stockList()->grid()->setCurrentRow(rowOf(second));
    action("modifyStockAction")->trigger();
    QVERIFY(saveModifyButton()->isEnabled());
    QLineEdit *price = edit("entrySalePriceBox");
    price->setFocus();
    price->selectAll();
    keys(price, u"16"_s);
    Prompter::queueAnswer(Prompter::Answer::Ok);
    QVERIFY(panel()->saveModification());
    QCOMPARE(ScalarValue(m_database->db(), u"select \"4\" from data where id = ?"_s, {second}).toDouble(),
             16.0);
    QCOMPARE(ScalarValue(m_database->db(), u"select \"4\" from data where id = ?"_s, {first}).toDouble(),
             6.0);
    QCOMPARE(ScalarValue(m_database->db(), u"select a from data where id = ?"_s, {first}).toString(),
             u"新秀丽"_s);
}

void TestStockEntryPanel::numberBoxesFilterPasteAndInputMethod_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("paste of a number") << u"paste"_s << u"3.5"_s << u"3.5"_s;
    QTest::newRow("paste with letters") << u"paste"_s << u"12abc"_s << QString();
    QTest::newRow("paste of an exponent") << u"paste"_s << u"1e308"_s << QString();
    QTest::newRow("paste of a sign") << u"paste"_s << u"-3"_s << QString();
    QTest::newRow("paste of 21 digits") << u"paste"_s << QString(21, u'9') << QString();
    QTest::newRow("input method digits") << u"ime"_s << u"42"_s << u"42"_s;
    QTest::newRow("input method full-width digits") << u"ime"_s << u"４２"_s << QString();
    QTest::newRow("input method Chinese") << u"ime"_s << u"五"_s << QString();
}

void TestStockEntryPanel::numberBoxesFilterPasteAndInputMethod()
{
    QFETCH(QString, way);
    QFETCH(QString, text);
    action("newStockAction")->trigger();
    const QList<QByteArray> names{"entryPurchasePriceBox"_ba, "entryQuantityBox"_ba, "entrySalePriceBox"_ba,
                                  "entryStockQuantityBox"_ba};
    for (const QByteArray &name : names) {
        QLineEdit *box = edit(name.constData());
        box->clear();
        box->setFocus();
        if (way == u"paste"_s) {
            QApplication::clipboard()->setText(text);
            box->paste();
        } else {
            QInputMethodEvent event;
            event.setCommitString(text);
            QApplication::sendEvent(box, &event);
        }
        QTEST(box->text(), "shown");
    }
}

void TestStockEntryPanel::refusedValueIsNamedAndNothingStored_data()
{
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("focused");
    QTest::newRow("price over a billion")
        << u"10000000000"_s << u"1"_s << u"进货单价超出允许的范围"_s << "entryPurchasePriceBox"_ba;
    QTest::newRow("quantity over a billion")
        << u"1"_s << u"99999999999"_s << u"进货数量超出允许的范围"_s << "entryQuantityBox"_ba;
}

void TestStockEntryPanel::refusedValueIsNamedAndNothingStored()
{
    QFETCH(QString, price);
    QFETCH(QString, quantity);
    QFETCH(QString, message);
    QFETCH(QByteArray, focused);
    action("newStockAction")->trigger();
    fillRequired();
    for (const auto &[name, text] :
         {std::pair{"entryPurchasePriceBox", price}, {"entryQuantityBox", quantity}}) {
        QLineEdit *box = edit(name);
        box->setFocus();
        box->selectAll();
        keys(box, text);
    }
    Prompter::clearShown();
    QVERIFY(!panel()->saveNew());
    QCOMPARE(Prompter::shownTexts().size(), 1);
    QVERIFY2(Prompter::shownTexts().constFirst().startsWith(message),
             qPrintable(Prompter::shownTexts().constFirst()));
    QTRY_COMPARE(QApplication::focusWidget(), edit(focused.constData()));
    QCOMPARE(stockRows(), 0);
}

QTEST_MAIN(TestStockEntryPanel)
#include "tst_stockentrypanel.moc"

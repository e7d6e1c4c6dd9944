#include "TestDatabase.h"

#include "common/DataGrid.h"
#include "common/DataGridModel.h"
#include "common/GroupedHeaderView.h"
#include "common/Prompter.h"
#include "data/Clock.h"
#include "data/GridLayoutStore.h"
#include "data/QueryHelpers.h"
#include "data/SettingsStore.h"
#include "data/SqlListModel.h"
#include "shell/FloatingPanel.h"
#include "shell/SessionLog.h"
#include "shell/TMainForm.h"
#include "stock/StockListView.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2024, 3, 5), QTime(9, 30));

struct Stock
{
    QString name;
    QString initials; // e
    QString category;
    QString supplier;
    std::optional<double> purchased; // "2"
    std::optional<double> stock;     // "7"
    QDate day;
};

// Types text key by key as a keyboard or a scanner would, Chinese included
// (QTest::keyClicks knows only ASCII keys).
void typeText(QWidget *box, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(box, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(box, &release);
    }
}

QVariant number(const std::optional<double> &v)
{
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<double>());
}

} // namespace

// The stock list in the main window, driven through its boxes, buttons,
// titles and menu items.
class TestStockListView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void alarmColouring_data();
    void alarmColouring();
    void typingQueriesOnEveryKey();
    void supplierWaitsForQueryButton();
    void clearConditionsInOrder();
    void allRecordsVersusQuery_data();
    void allRecordsVersusQuery();
    void allRecordsStandsOnTheNewestOfALongList();
    void serverGoneIsReportedAndOutlived();
    void footerSumsCoverFilteredRows();
    void titleClickSequences_data();
    void titleClickSequences();
    void nameTitleSortsByPinyinInitials_data();
    void nameTitleSortsByPinyinInitials();
    void hideItemsPersistAcrossRestart_data();
    void hideItemsPersistAcrossRestart();
    void restrictedModeHidesPurchaseFigures();
    void layoutSaveAndRestore();
    void restrictedSessionAndAdministratorsLayout();
    void scannerEnterSelectsSingleMatch();
    void activatingARow();

private:
    // A signed-in main window over the test database.
    std::unique_ptr<TMainForm> openForm(const QString &user = Schema::kAdministrator);
    void add(const Stock &s);
    void addShop();
    StockListView *view(TMainForm &form) const { return form.stockList(); }
    QStringList names(TMainForm &form) const;
    template <typename T> T *child(TMainForm &form, const QString &name) const
    {
        T *found = form.findChild<T *>(name);
        [&] { QVERIFY2(found, qPrintable(name)); }();
        return found;
    }
    void clickTitle(DataGrid *grid, int column);

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestDatabase> m_database;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<ManualClock> m_clock;
    std::unique_ptr<ScopedClock> m_clockScope;
};

void TestStockListView::initTestCase()
{
    QVERIFY(m_home.isValid());
    // The layout file goes to the generic config folder: keep it here.
    qputenv("XDG_CONFIG_HOME", m_home.filePath(u"config"_s).toUtf8());
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, m_home.filePath(u"user"_s));
    QVERIFY(GridLayoutStore::defaultFilePath().startsWith(m_home.path()));
    Prompter::setTestMode(true);
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestStockListView::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_database = std::make_unique<TestDatabase>();
    QVERIFY2(m_database->isOpen(), qPrintable(m_database->errorText()));
    m_settings = std::make_unique<SettingsStore>(m_dir->filePath(u"jxc.conf"_s));
    m_clock = std::make_unique<ManualClock>(kNow);
    m_clockScope = std::make_unique<ScopedClock>(*m_clock);
    QFile::remove(GridLayoutStore::defaultFilePath());
    Prompter::clearShown();
}

void TestStockListView::cleanup()
{
    QList<QPointer<QWidget>> left;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!window->parentWidget())
            left.append(window);
    }
    qDeleteAll(left);
    m_clockScope.reset();
    m_clock.reset();
    m_settings.reset();
    m_database.reset();
    m_dir.reset();
}

std::unique_ptr<TMainForm> TestStockListView::openForm(const QString &user)
{
    auto form = std::make_unique<TMainForm>(m_database->db(), *m_settings);
    bool signedIn = false;
    form->setLoginRunner([this, user, &signedIn](TMainForm &) {
        TMainForm::LoginOutcome outcome;
        outcome.accepted = true;
        outcome.session.username = user;
        outcome.session.id = SessionLog(m_database->db()).open(user);
        outcome.hideZeroStock = m_settings->hideZeroStock();
        signedIn = true;
        return outcome;
    });
    form->show();
    form->activateWindow();
    if (!QTest::qWaitFor([&] { return signedIn; }, 3000) || !QTest::qWaitForWindowExposed(form.get()))
        return nullptr;
    return form;
}

void TestStockListView::add(const Stock &s)
{
    Database &db = m_database->db();
    ExecuteStatement(
        db,
        u"insert into data (a, c, d, e, g, \"1\", \"2\", \"3\", \"7\", \"8\", day1) "
        "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s,
        {s.name, QString(u"C-"_s + s.name), s.category, s.initials, s.supplier, 10.0, number(s.purchased),
         s.purchased ? QVariant(*s.purchased * 10) : QVariant(QMetaType::fromType<double>()), number(s.stock),
         s.stock ? QVariant(*s.stock * 10) : QVariant(QMetaType::fromType<double>()),
         db.dialect().dateValue(s.day)});
}

void TestStockListView::addShop()
{
    add({u"拉杆箱"_s, u"lgx"_s, u"箱"_s, u"广州厂"_s, 10, 5, QDate(2024, 1, 3)});
    add({u"双肩包"_s, u"sjb"_s, u"包"_s, u"义乌行"_s, 4, 0, QDate(2024, 1, 2)});
    add({u"旧钱包"_s, u"jqb"_s, u"包"_s, u"广州厂"_s, 0, 2, QDate(2024, 1, 1)});
    add({u"挎包"_s, u"kb"_s, u"包"_s, u"义乌行"_s, 3, -1, QDate(2024, 1, 4)});
    add({u"试样"_s, u"sy"_s, u"箱"_s, u""_s, 0, 0, QDate(2024, 1, 5)});
}

QStringList TestStockListView::names(TMainForm &form) const
{
    SqlListModel *list = form.stockList()->listModel();
    list->fetchAll();
    QStringList result;
    for (int r = 0; r < list->rowCount(); ++r)
        result << list->value(r, u"a"_s).toString();
    return result;
}

void TestStockListView::clickTitle(DataGrid *grid, int column)
{
    GroupedHeaderView *header = grid->header();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() * 3 / 4);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

// ---------------------------------------------------------------- alarm

void TestStockListView::alarmColouring_data()
{
    QTest::addColumn<QString>("alarmText");
    QTest::addColumn<QVariant>("stock");
    QTest::addColumn<bool>("red");
    const QVariant none(QMetaType::fromType<double>());
    QTest::newRow("5 at alarm 5") << u"5"_s << QVariant(5.0) << true;
    QTest::newRow("6 above") << u"5"_s << QVariant(6.0) << false;
    QTest::newRow("5.4 rounds to 5") << u"5"_s << QVariant(5.4) << true;
    QTest::newRow("5.5 rounds to even 6") << u"5"_s << QVariant(5.5) << false;
    QTest::newRow("4.5 rounds to even 4") << u"5"_s << QVariant(4.5) << true;
    QTest::newRow("no stock figure counts as 0") << u"5"_s << none << true;
    // An emptied box becomes "0": only stock at or below 0 is red.
    QTest::newRow("emptied: 0") << u""_s << QVariant(0.0) << true;
    QTest::newRow("emptied: -2") << u""_s << QVariant(-2.0) << true;
    QTest::newRow("emptied: 0.4") << u""_s << QVariant(0.4) << true;
    QTest::newRow("emptied: 1") << u""_s << QVariant(1.0) << false;
    QTest::newRow("emptied: 0.6") << u""_s << QVariant(0.6) << false;
    QTest::newRow("emptied: null") << u""_s << none << true;
    // Read when drawn: a higher alarm turns the row red without a new query.
    QTest::newRow("raised to 7: 6") << u"7"_s << QVariant(6.0) << true;
    QTest::newRow("max digits: huge stock") << u"999999999"_s << QVariant(1e12) << false;
}

void TestStockListView::alarmColouring()
{
    QFETCH(QString, alarmText);
    QFETCH(QVariant, stock);
    QFETCH(bool, red);
    ExecuteStatement(m_database->db(), u"insert into data (a, \"2\", \"7\", day1) values (?, ?, ?, ?)"_s,
                     {u"行"_s, 1.0, stock, m_database->db().dialect().dateValue(QDate(2024, 1, 1))});
    auto form = openForm();
    QVERIFY(form);
    DataGrid *grid = view(*form)->grid();
    QCOMPARE(grid->gridModel()->rowCount(), 1);
    QLineEdit *alarm = form->alarmQuantityBox();
    if (alarmText.isEmpty()) {
        alarm->setFocus();
        alarm->selectAll();
        QTest::keyClick(alarm, Qt::Key_Backspace);
    } else {
        alarm->setText(u"1"_s);
        alarm->setText(alarmText);
    }
    const QString expectedText = alarmText.isEmpty() ? u"0"_s : alarmText;
    QCOMPARE(alarm->text(), expectedText);
    QCOMPARE(m_settings->value(SettingsStore::Keys::AlarmQuantity), expectedText);
    for (int column : {0, 10, 14}) {
        const QVariant colour =
            grid->gridModel()->data(grid->gridModel()->index(0, column), Qt::ForegroundRole);
        // Red, taken dark enough to read on the grey rows.
        QCOMPARE(colour.value<QColor>().hue() == 0 && colour.value<QColor>().saturation() == 255, red);
    }
}

// ---------------------------------------------------------------- queries

void TestStockListView::typingQueriesOnEveryKey()
{
    addShop();
    auto form = openForm();
    QVERIFY(form);
    StockListView *list = view(*form);
    QList<QVariantList> statements;
    connect(list, &StockListView::listReloaded, this,
            [&] { statements << list->listModel()->query().values; });
    QTest::keyClicks(child<QLineEdit>(*form, u"nameInitialsBox"_s), u"abc"_s);
    // The server matches the name initials among their distinct values first.
    QList<QVariantList> expected{{u"%a%"_s}, {u"%ab%"_s}, {u"%abc%"_s}};
    if (!m_database->db().dialect().isSQLite()) {
        expected.clear();
        for (const QString &typed : {u"a"_s, u"ab"_s, u"abc"_s}) {
            StockFilter f;
            f.nameInitials = typed;
            expected << StockQuery::search(m_database->db(), false, f).values;
        }
    }
    QCOMPARE(statements, expected);
    // Every keystroke's statement was run: the last one is on screen.
    QVERIFY(names(*form).isEmpty());
    QTest::keyClick(child<QLineEdit>(*form, u"nameInitialsBox"_s), Qt::Key_Backspace);
    QTest::keyClick(child<QLineEdit>(*form, u"nameInitialsBox"_s), Qt::Key_Backspace);
    QTest::keyClick(child<QLineEdit>(*form, u"nameInitialsBox"_s), Qt::Key_Backspace);
    QTest::keyClicks(child<QLineEdit>(*form, u"nameInitialsBox"_s), u"b"_s);
    QCOMPARE(names(*form), (QStringList{u"双肩包"_s, u"挎包"_s}));
}

void TestStockListView::supplierWaitsForQueryButton()
{
    addShop();
    auto form = openForm();
    QVERIFY(form);
    QSignalSpy reloads(view(*form), &StockListView::listReloaded);
    auto *supplier = child<QComboBox>(*form, u"supplierBox"_s);
    // The list holds the suppliers after "全部记录".
    QCOMPARE(supplier->count(), 3);
    typeText(supplier->lineEdit(), u"义乌"_s);
    QCOMPARE(reloads.count(), 0);
    QCOMPARE(names(*form).size(), 5);
    QTest::mouseClick(child<QPushButton>(*form, u"queryButton"_s), Qt::LeftButton);
    QCOMPARE(reloads.count(), 1);
    QCOMPARE(names(*form), (QStringList{u"双肩包"_s, u"挎包"_s}));
    // Another box re-queries with the supplier still set.
    QTest::keyClicks(child<QLineEdit>(*form, u"nameInitialsBox"_s), u"k"_s);
    QCOMPARE(names(*form), QStringList{u"挎包"_s});
}

void TestStockListView::clearConditionsInOrder()
{
    addShop();
    auto form = openForm();
    QVERIFY(form);
    StockListView *list = view(*form);
    const Dialect &dialect = m_database->db().dialect();
    child<QComboBox>(*form, u"categoryBox"_s)->setEditText(u"包"_s);
    child<QLineEdit>(*form, u"nameInitialsBox"_s)->setText(u"b"_s);
    child<QLineEdit>(*form, u"specInitialsBox"_s)->setText(u"s"_s);
    child<QLineEdit>(*form, u"codeBox"_s)->setText(u"C"_s);
    child<QLineEdit>(*form, u"remarkBox"_s)->setText(u"r"_s);
    child<QComboBox>(*form, u"supplierBox"_s)->setEditText(u"义乌"_s);
    child<QCheckBox>(*form, u"dateRangeBox"_s)->setChecked(true);
    child<QDateEdit>(*form, u"firstDateBox"_s)->setDate(QDate(2024, 1, 1));
    child<QDateEdit>(*form, u"lastDateBox"_s)->setDate(QDate(2024, 1, 31));

    QList<QVariantList> statements;
    connect(list, &StockListView::listReloaded, this,
            [&] { statements << list->listModel()->query().values; });
    QTest::mouseClick(child<QPushButton>(*form, u"clearConditionsButton"_s), Qt::LeftButton);

    const QVariantList tail{u"%义乌%"_s, dialect.dateValue(QDate(2024, 1, 1)),
                            dialect.dateValue(QDate(2024, 1, 31))};
    // Name, code, spec, category, remark: one query each as they empty, each
    // still carrying the supplier and the date range.
    QList<QVariantList> expected{
        QVariantList{u"%包%"_s, u"%s%"_s, u"%C%"_s, u"%r%"_s} + tail,
        QVariantList{u"%包%"_s, u"%s%"_s, u"%r%"_s} + tail,
        QVariantList{u"%包%"_s, u"%r%"_s} + tail,
        QVariantList{u"%r%"_s} + tail,
        tail,
    };
    if (!dialect.isSQLite()) {
        // The server matches category and supplier among their distinct values.
        StockFilter f{u"包"_s,           QString(),         u"s"_s, u"C"_s, u"r"_s, u"义乌"_s, true,
                      QDate(2024, 1, 1), QDate(2024, 1, 31)};
        expected.clear();
        for (QString StockFilter::*box :
             {&StockFilter::code, &StockFilter::specInitials, &StockFilter::category, &StockFilter::remark}) {
            expected << StockQuery::search(m_database->db(), false, f).values;
            (f.*box).clear();
        }
        expected << StockQuery::search(m_database->db(), false, f).values;
    }
    QCOMPARE(statements, expected);
    StockFilter cleared;
    cleared.firstDate = QDate(2024, 1, 1);
    cleared.lastDate = QDate(2024, 1, 31);
    QVERIFY(list->filter() == cleared);
    // The list shows the last of those queries: suppliers 义乌 in January.
    QCOMPARE(names(*form), (QStringList{u"双肩包"_s, u"挎包"_s}));
}

void TestStockListView::allRecordsVersusQuery_data()
{
    QTest::addColumn<bool>("hideZeroStock");
    QTest::addColumn<QStringList>("allRecords");
    QTest::addColumn<QStringList>("query");
    QTest::newRow("switch off") << false
                                << QStringList{u"旧钱包"_s, u"双肩包"_s, u"拉杆箱"_s, u"挎包"_s, u"试样"_s}
                                << QStringList{u"拉杆箱"_s, u"双肩包"_s, u"挎包"_s};
    QTest::newRow("switch on") << true << QStringList{u"旧钱包"_s, u"拉杆箱"_s, u"挎包"_s}
                               << QStringList{u"拉杆箱"_s, u"旧钱包"_s, u"挎包"_s};
}

void TestStockListView::allRecordsVersusQuery()
{
    QFETCH(bool, hideZeroStock);
    QFETCH(QStringList, allRecords);
    QFETCH(QStringList, query);
    addShop();
    auto form = openForm();
    QVERIFY(form);
    QSignalSpy refills(view(*form), &StockListView::distinctListsRefillRequested);
    form->salePanel()->show();
    // The switch runs "全部记录" itself and stores the choice.
    form->zeroStockBox()->setChecked(hideZeroStock);
    if (!hideZeroStock)
        form->findChild<QAction *>(u"allRecordsAction"_s)->trigger();
    QCOMPARE(m_settings->value(SettingsStore::Keys::ZeroStock), hideZeroStock ? u"no"_s : QString());
    QCOMPARE(view(*form)->currentValue(u"a"_s).toString(), allRecords.last());
    QCOMPARE(names(*form), allRecords);
    QCOMPARE(refills.count(), 1);
    QVERIFY(!form->salePanel()->isVisible());
    auto *category = child<QComboBox>(*form, u"categoryBox"_s);
    QCOMPARE(category->count(), 2);
    QCOMPARE(category->currentText(), QString());

    QTest::mouseClick(child<QPushButton>(*form, u"queryButton"_s), Qt::LeftButton);
    QCOMPARE(names(*form), query);

    if (hideZeroStock) {
        form->zeroStockBox()->setChecked(false);
        QCOMPARE(m_settings->value(SettingsStore::Keys::ZeroStock), u"yes"_s);
        QCOMPARE(names(*form).size(), 5);
    }
}

void TestStockListView::allRecordsStandsOnTheNewestOfALongList()
{
    // More rows than a page: the newest stock-in is current and shown, read
    // without the rows before it.
    {
        WriteTransaction transaction(m_database->db());
        for (int i = 0; i < 700; ++i)
            add({u"箱%1"_s.arg(i), u"x"_s, u"箱"_s, u"厂"_s, 1, 1, QDate(2020, 1, 1).addDays(699 - i)});
        QVERIFY(transaction.commit());
    }
    auto form = openForm();
    QVERIFY(form);
    form->findChild<QAction *>(u"allRecordsAction"_s)->trigger();
    SqlListModel *list = view(*form)->listModel();
    DataGrid *grid = view(*form)->grid();
    QCOMPARE(list->totalCount(), 700);
    QCOMPARE(grid->currentRow(), 699);
    QCOMPARE(view(*form)->currentValue(u"a"_s).toString(), u"箱0"_s);
    QVERIFY(list->hasUnloadedRows());
    QVERIFY(
        grid->view()->visualRect(grid->view()->currentIndex()).intersects(grid->view()->viewport()->rect()));
    QCOMPARE(list->value(0, u"a"_s).toString(), u"箱699"_s);
}

// With the server gone, typing and "全部记录" say so and the window stays;
// once it is back, the same actions list the rows again.
void TestStockListView::serverGoneIsReportedAndOutlived()
{
    if (!TestDatabase::onPostgreSQL())
        QSKIP("a SQLite file has no server to lose");
    addShop();
    auto form = openForm();
    QVERIFY(form);
    const int rows = view(*form)->listModel()->totalCount();
    QVERIFY(rows > 0);
    QVERIFY(m_database->setServerReachable(false));
    QTest::keyClicks(child<QLineEdit>(*form, u"nameInitialsBox"_s), u"x"_s);
    form->findChild<QAction *>(u"allRecordsAction"_s)->trigger();
    QVERIFY(m_database->setServerReachable(true));
    QVERIFY(form->isVisible());
    QVERIFY(!Prompter::shown().isEmpty());
    for (const QString &text : Prompter::shownTexts())
        QVERIFY2(text.contains(u"无法连接"_s), qPrintable(text));

    form->findChild<QAction *>(u"allRecordsAction"_s)->trigger();
    QCOMPARE(view(*form)->listModel()->totalCount(), rows);
}

void TestStockListView::footerSumsCoverFilteredRows()
{
    addShop();
    auto form = openForm();
    QVERIFY(form);
    DataGrid *grid = view(*form)->grid();
    QCOMPARE(grid->footerText(0), u"总计"_s);
    QCOMPARE(grid->footerText(4), u"17"_s); // purchased 10 + 4 + 0 + 3 + 0
    QCOMPARE(grid->footerText(10), u"6"_s);
    QTest::keyClicks(child<QLineEdit>(*form, u"nameInitialsBox"_s), u"b"_s);
    QCOMPARE(grid->footerText(4), u"7"_s);    // 双肩包 4 + 挎包 3
    QCOMPARE(grid->footerText(6), u"70"_s);   // their purchase amounts
    QCOMPARE(grid->footerText(10), u"-1"_s);  // 0 + -1
    QCOMPARE(grid->footerText(5), QString()); // no sum for prices
}

// ---------------------------------------------------------------- sorting

void TestStockListView::titleClickSequences_data()
{
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<QList<bool>>("ascending");
    QTest::addColumn<QStringList>("firstNames");
    // Column 10 is the stock quantity, 12 the stock-in date.
    QTest::newRow("same title three times") << QList<int>{10, 10, 10} << QList<bool>{false, true, false}
                                            << QStringList{u"拉杆箱"_s, u"挎包"_s, u"拉杆箱"_s};
    QTest::newRow("A, B, A") << QList<int>{10, 12, 10} << QList<bool>{false, false, false}
                             << QStringList{u"拉杆箱"_s, u"试样"_s, u"拉杆箱"_s};
    QTest::newRow("A, A, B, B") << QList<int>{12, 12, 0, 0} << QList<bool>{false, true, false, true}
                                << QStringList{u"试样"_s, u"旧钱包"_s, u"试样"_s, u"旧钱包"_s};
}

void TestStockListView::nameTitleSortsByPinyinInitials_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("descending"); // the first click
    QTest::addColumn<QStringList>("ascending");  // the second
    // Initials kept in capitals ("LVb") sort among the lower-case ones.
    const QStringList byInitials{u"爱华仕"_s, u"LV包"_s, u"七彩"_s, u"七匹狼"_s, u"新秀丽"_s};
    QStringList reversed = byInitials;
    std::reverse(reversed.begin(), reversed.end());
    QTest::newRow("name by its initials") << 0 << reversed << byInitials;
    // The code ("C-" + name) is other text: it keeps the code point order.
    QTest::newRow("code by its text")
        << 2 << QStringList{u"爱华仕"_s, u"新秀丽"_s, u"七彩"_s, u"七匹狼"_s, u"LV包"_s}
        << QStringList{u"LV包"_s, u"七匹狼"_s, u"七彩"_s, u"新秀丽"_s, u"爱华仕"_s};
}

void TestStockListView::nameTitleSortsByPinyinInitials()
{
    QFETCH(int, column);
    QFETCH(QStringList, descending);
    QFETCH(QStringList, ascending);
    add({u"七匹狼"_s, u"qpl"_s, u"包"_s, u""_s, 1, 1, QDate(2024, 1, 1)});
    add({u"新秀丽"_s, u"xxl"_s, u"箱"_s, u""_s, 1, 1, QDate(2024, 1, 2)});
    add({u"爱华仕"_s, u"ahs"_s, u"箱"_s, u""_s, 1, 1, QDate(2024, 1, 3)});
    add({u"七彩"_s, u"qc"_s, u"包"_s, u""_s, 1, 1, QDate(2024, 1, 4)});
    add({u"LV包"_s, u"LVb"_s, u"包"_s, u""_s, 1, 1, QDate(2024, 1, 5)});
    auto form = openForm();
    QVERIFY(form);
    clickTitle(view(*form)->grid(), column);
    QCOMPARE(names(*form), descending);
    clickTitle(view(*form)->grid(), column);
    QCOMPARE(names(*form), ascending);
}

void TestStockListView::titleClickSequences()
{
    QFETCH(QList<int>, clicks);
    QFETCH(QList<bool>, ascending);
    QFETCH(QStringList, firstNames);
    addShop();
    auto form = openForm();
    QVERIFY(form);
    StockListView *list = view(*form);
    QSignalSpy sorts(list, &StockListView::aboutToSort);
    for (int i = 0; i < clicks.size(); ++i) {
        form->stockEntryPanel()->show();
        form->salePanel()->show();
        clickTitle(list->grid(), clicks.at(i));
        QCOMPARE(sorts.count(), i + 1);
        QVERIFY(!form->stockEntryPanel()->isVisible());
        QVERIFY(!form->salePanel()->isVisible());
        QCOMPARE(list->listModel()->sortField(), list->grid()->columns().at(clicks.at(i)).field);
        QCOMPARE(list->listModel()->sortAscending(), ascending.at(i));
        QCOMPARE(list->listModel()->value(0, u"a"_s).toString(), firstNames.at(i));
    }
}

// ---------------------------------------------------------------- columns

void TestStockListView::hideItemsPersistAcrossRestart_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("flag");
    QTest::addColumn<QList<int>>("columns");
    QTest::newRow("隐藏金额") << u"hideAmountsAction"_s << u"rukuyin2"_s << QList<int>{6, 9, 11};
    QTest::newRow("隐藏进货单价") << u"hidePurchasePriceAction"_s << u"rukuyin1"_s << QList<int>{5};
    QTest::newRow("隐藏销售单价") << u"hideSalePriceAction"_s << u"rukuyin6"_s << QList<int>{8};
    QTest::newRow("隐藏日期") << u"hideDateAction"_s << u"rukuyin3"_s << QList<int>{12};
    QTest::newRow("隐藏供货商") << u"hideSupplierAction"_s << u"rukuyin4"_s << QList<int>{13};
    QTest::newRow("隐藏备注信息") << u"hideRemarkAction"_s << u"rukuyin5"_s << QList<int>{14};
}

void TestStockListView::hideItemsPersistAcrossRestart()
{
    QFETCH(QString, item);
    QFETCH(QString, flag);
    QFETCH(QList<int>, columns);
    auto visibleColumns = [](TMainForm &form) {
        QList<int> shown;
        for (int c = 0; c < 15; ++c) {
            if (form.stockList()->grid()->isColumnVisible(c))
                shown << c;
        }
        return shown;
    };
    QList<int> others;
    for (int c = 0; c < 15; ++c) {
        if (!columns.contains(c))
            others << c;
    }
    {
        auto form = openForm();
        QVERIFY(form);
        QAction *action = child<QAction>(*form, item);
        QVERIFY(action->isEnabled());
        action->trigger();
        QVERIFY(action->isChecked());
        QCOMPARE(visibleColumns(*form), others);
        QCOMPARE(m_settings->value(flag), u"yes"_s);
        form->close();
    }
    {
        // A new start reads the flag at the first show.
        auto form = openForm();
        QVERIFY(form);
        QAction *action = child<QAction>(*form, item);
        QVERIFY(action->isChecked());
        QCOMPARE(visibleColumns(*form), others);
        action->trigger();
        QVERIFY(!action->isChecked());
        QCOMPARE(visibleColumns(*form).size(), 15);
        QCOMPARE(m_settings->value(flag), u"no"_s);
        form->close();
    }
    auto form = openForm();
    QVERIFY(form);
    QCOMPARE(visibleColumns(*form).size(), 15);
}

void TestStockListView::restrictedModeHidesPurchaseFigures()
{
    // Even a stored "no" for the amounts does not show them to an operator.
    m_settings->setColumnHidden(u"rukuyin2"_s, false);
    auto form = openForm(u"收银员"_s);
    QVERIFY(form);
    DataGrid *grid = view(*form)->grid();
    const QList<int> purchaseFigures{5, 6, 11};
    for (int c = 0; c < 15; ++c)
        QVERIFY2(grid->isColumnVisible(c) == !purchaseFigures.contains(c), qPrintable(QString::number(c)));
    auto admin = openForm();
    QVERIFY(admin);
    for (int c = 0; c < 15; ++c)
        QVERIFY(view(*admin)->grid()->isColumnVisible(c));
}

void TestStockListView::layoutSaveAndRestore()
{
    addShop();
    QList<ColumnLayout> saved;
    {
        auto form = openForm();
        QVERIFY(form);
        DataGrid *grid = view(*form)->grid();
        grid->header()->moveSection(grid->header()->visualIndex(13), 1); // supplier next to the name
        grid->header()->resizeSection(0, 200);
        grid->fitColumns();
        grid->setColumnVisible(14, false);
        clickTitle(grid, 12);
        saved = grid->columnLayout();
        child<QAction>(*form, u"saveColumnLayoutAction"_s)->trigger();
        QVERIFY(Prompter::shown().isEmpty());
        form->close();
    }
    QVERIFY(QFile::exists(GridLayoutStore::defaultFilePath()));
    // The sign-in of the next start reads it back ("读取列宽").
    auto form = openForm();
    QVERIFY(form);
    const QList<ColumnLayout> restored = view(*form)->grid()->columnLayout();
    QCOMPARE(restored.size(), saved.size());
    for (int c = 0; c < saved.size(); ++c) {
        const QByteArray what = saved.at(c).field.toUtf8();
        QVERIFY2(restored.at(c).position == saved.at(c).position, what.constData());
        QVERIFY2(restored.at(c).visible == saved.at(c).visible, what.constData());
        QVERIFY2(restored.at(c).sortMarker == saved.at(c).sortMarker, what.constData());
        QVERIFY2(std::abs(restored.at(c).width - saved.at(c).width) <= 2, what.constData());
    }
    QCOMPARE(restored.at(13).position, 1);
    QVERIFY(!restored.at(14).visible);
    QCOMPARE(restored.at(12).sortMarker, ColumnLayout::Descending);
}

// The administrator saves a layout with the purchase figures shown; a
// clerk's restore ("读取列宽" at sign-in or later) does not show them, and
// the clerk's own save does not hide them for the administrator.
void TestStockListView::restrictedSessionAndAdministratorsLayout()
{
    addShop();
    const QList<int> purchaseFigures{5, 6, 11};
    {
        auto admin = openForm();
        QVERIFY(admin);
        child<QAction>(*admin, u"saveColumnLayoutAction"_s)->trigger();
        admin->close();
    }
    {
        auto clerk = openForm(u"收银员"_s);
        QVERIFY(clerk);
        DataGrid *grid = view(*clerk)->grid();
        child<QAction>(*clerk, u"restoreColumnLayoutAction"_s)->trigger();
        clickTitle(grid, 0);
        for (const int c : purchaseFigures)
            QVERIFY2(!grid->isColumnVisible(c), qPrintable(QString::number(c)));
        grid->setColumnVisible(13, false); // the clerk's own choice is saved
        child<QAction>(*clerk, u"saveColumnLayoutAction"_s)->trigger();
        QVERIFY(Prompter::shown().isEmpty());
        clerk->close();
    }
    auto admin = openForm();
    QVERIFY(admin);
    DataGrid *grid = view(*admin)->grid();
    for (const int c : purchaseFigures)
        QVERIFY2(grid->isColumnVisible(c), qPrintable(QString::number(c)));
    QVERIFY(!grid->isColumnVisible(13));
}

// ---------------------------------------------------------------- rows

void TestStockListView::scannerEnterSelectsSingleMatch()
{
    addShop();
    auto form = openForm();
    QVERIFY(form);
    StockListView *list = view(*form);
    QSignalSpy activated(list, &StockListView::rowActivated);
    auto *code = child<QLineEdit>(*form, u"codeBox"_s);
    code->setFocus();
    typeText(code, u"C-挎包"_s);
    QTest::keyClick(code, Qt::Key_Return);
    QCOMPARE(list->currentValue(u"a"_s).toString(), u"挎包"_s);
    QVERIFY(list->currentStockId() > 0);
    QCOMPARE(activated.count(), 0);
    // The next scan replaces the code instead of appending to it.
    QCOMPARE(code->selectedText(), u"C-挎包"_s);
    typeText(code, u"C-双"_s);
    QCOMPARE(code->text(), u"C-双"_s);
    QCOMPARE(names(*form), QStringList{u"双肩包"_s});
}

void TestStockListView::activatingARow()
{
    addShop();
    ExecuteStatement(m_database->db(), u"insert into data (a, \"2\", \"7\", day1) values (?, 1, 1, ?)"_s,
                     {QString(u""_s), m_database->db().dialect().dateValue(QDate(2024, 2, 1))});
    auto form = openForm();
    QVERIFY(form);
    StockListView *list = view(*form);
    QSignalSpy activated(list, &StockListView::rowActivated);
    QTableView *table = list->grid()->view();
    const QStringList shown = names(*form);
    const int named = static_cast<int>(shown.indexOf(u"拉杆箱"_s));
    const int unnamed = static_cast<int>(shown.indexOf(QString()));
    QVERIFY(named >= 0 && unnamed >= 0);

    const QRect cell = table->visualRect(table->model()->index(named, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QCOMPARE(activated.count(), 1);
    QCOMPARE(activated.at(0).at(0).toLongLong(), list->listModel()->value(named, u"id"_s).toLongLong());

    list->grid()->setCurrentRow(unnamed);
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Return);
    QCOMPARE(activated.count(), 1);
}

QTEST_MAIN(TestStockListView)
#include "tst_stocklistview.moc"

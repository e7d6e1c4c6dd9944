#include "TestDatabase.h"

#include "common/Contrast.h"
#include "common/DataGrid.h"
#include "common/DataGridFooter.h"
#include "common/Prompter.h"
#include "common/ShopContext.h"
#include "data/Clock.h"
#include "data/PasswordHash.h"
#include "data/QueryHelpers.h"
#include "data/SettingsStore.h"
#include "shell/FloatingPanel.h"
#include "shell/MakerInfo.h"
#include "shell/SessionLog.h"
#include "shell/ShowOrCreateWindow.h"
#include "shell/Skins.h"
#include "shell/SuccessNotice.h"
#include "shell/TMainForm.h"
#include "shell/Tchangepassfm.h"
#include "shell/Tuserglfm.h"
#include "shell/UserAccounts.h"
#include "stock/StockListView.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

const QDate kToday(2024, 3, 5);

// Two window classes for the window helper, one derived from the other: the
// helper must tell them apart.
class HelperWindow : public QWidget
{
    Q_OBJECT
public:
    explicit HelperWindow(QWidget *parent = nullptr) : QWidget(parent) {}
};

class DerivedHelperWindow : public HelperWindow
{
    Q_OBJECT
public:
    explicit DerivedHelperWindow(QWidget *parent = nullptr) : HelperWindow(parent) {}
};

// Receives what "官方网站" hands to the desktop.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

int rowCount(const Database &db, const QString &sql, const QVariantList &values = {})
{
    return ScalarValue(db, sql, values).toInt();
}

} // namespace

class TestTMainForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void stockListFollowsWindowHeight_data();
    void stockListFollowsWindowHeight();
    void layoutHasItsParts();
    void successNoticeHidesAfterTwoSeconds();
    void startupSkin_data();
    void startupSkin();
    void skinMenuLoadsAndStores();
    void skinsKeepTextReadable_data();
    void skinsKeepTextReadable();
    void windowHelperReusesExactClass();
    void secondUserAdministrationReusesWindow();
    void dateGuardRefillsEmptiedBox_data();
    void dateGuardRefillsEmptiedBox();
    void closeAfterLoginEndsOwnSession_data();
    void closeAfterLoginEndsOwnSession();
    void rejectedLoginEndsWithoutSession();
    void loginAppliesZeroStockChoice_data();
    void loginAppliesZeroStockChoice();
    void zeroStockSwitchStoresChoice();
    void restrictedMode_data();
    void restrictedMode();
    void defaultPasswordOpensPasswordChange_data();
    void defaultPasswordOpensPasswordChange();
    void itemsOfMissingFunctionsAreDisabled_data();
    void itemsOfMissingFunctionsAreDisabled();
    void shortcuts_data();
    void shortcuts();
    void storedPreferencesAtFirstShow_data();
    void storedPreferencesAtFirstShow();
    void columnFlagsSetCheckMarks_data();
    void columnFlagsSetCheckMarks();
    void alarmBoxStoresWholeNumbers();
    void desktopPrograms_data();
    void desktopPrograms();
    void websiteOpensMakersAddress();
    void floatingPanelsDragAndClose();
    void statusBarPanels();

private:
    enum class Login { Accept, Reject };
    // A main window whose sign-in is answered by the test: accepted as
    // userName with a real session row, or rejected.
    std::unique_ptr<TMainForm> makeForm(Login login = Login::Accept,
                                        const QString &userName = Schema::kAdministrator,
                                        std::optional<bool> hideZeroStock = std::nullopt);
    // Shows the form and waits until the sign-in has run.
    bool showAndSignIn(TMainForm &form);
    QString settingsPath() const { return m_dir->filePath(u"jxc.conf"_s); }

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestDatabase> m_database;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<ManualClock> m_clock;
    std::unique_ptr<ScopedClock> m_clockScope;
    int m_loginRuns = 0;
    bool m_defaultPassword = false;
};

void TestTMainForm::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_home.isValid());
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, m_home.filePath(u"user"_s));
    Prompter::setTestMode(true);
    // A rejected sign-in closes the last window; the test run goes on.
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestTMainForm::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_database = std::make_unique<TestDatabase>();
    QVERIFY2(m_database->isOpen(), qPrintable(m_database->errorText()));
    m_settings = std::make_unique<SettingsStore>(settingsPath());
    m_clock = std::make_unique<ManualClock>(QDateTime(kToday, QTime(9, 30)));
    m_clockScope = std::make_unique<ScopedClock>(*m_clock);
    Prompter::clearShown();
    Skins::applyBuiltIn();
    m_loginRuns = 0;
    m_defaultPassword = false;
}

void TestTMainForm::cleanup()
{
    // Windows a test left open (owned ones go with their owner).
    QList<QPointer<QWidget>> left;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!window->parentWidget())
            left.append(window);
    }
    qDeleteAll(left);
    Skins::applyBuiltIn();
    m_clockScope.reset();
    m_clock.reset();
    m_settings.reset();
    m_database.reset();
    m_dir.reset();
}

std::unique_ptr<TMainForm> TestTMainForm::makeForm(Login login, const QString &userName,
                                                   std::optional<bool> hideZeroStock)
{
    auto form = std::make_unique<TMainForm>(m_database->db(), *m_settings);
    form->setLoginRunner([this, login, userName, hideZeroStock](TMainForm &) {
        ++m_loginRuns;
        TMainForm::LoginOutcome outcome;
        if (login == Login::Reject)
            return outcome;
        outcome.accepted = true;
        outcome.session.username = userName;
        outcome.session.id = SessionLog(m_database->db()).open(userName);
        outcome.hideZeroStock = hideZeroStock;
        outcome.defaultPassword = m_defaultPassword;
        return outcome;
    });
    return form;
}

bool TestTMainForm::showAndSignIn(TMainForm &form)
{
    form.show();
    form.activateWindow();
    if (!QTest::qWaitFor([&] { return m_loginRuns > 0; }, 3000))
        return false;
    // A rejected sign-in has closed the window already.
    return !form.isVisible() || QTest::qWaitForWindowExposed(&form);
}

// ---------------------------------------------------------------- layout

void TestTMainForm::stockListFollowsWindowHeight_data()
{
    // The client height: the design's outer height less its 33-pixel frame.
    QTest::addColumn<int>("clientHeight");
    QTest::addColumn<int>("listHeight");
    QTest::newRow("700 outer") << 667 << 504;
    QTest::newRow("design height") << 636 << 473;
    QTest::newRow("tall") << 727 << 564;
    QTest::newRow("back to 700 outer") << 667 << 504;
    // Lower than the design: the bottom area keeps the room it needs.
    QTest::newRow("low") << 540 << -1;
}

void TestTMainForm::stockListFollowsWindowHeight()
{
    QFETCH(int, clientHeight);
    QFETCH(int, listHeight);
    auto form = makeForm();
    QVERIFY(showAndSignIn(*form));
    // Start from another height so the resize is a real change.
    form->resize(form->width(), 600);
    form->resize(form->width(), clientHeight);
    QTRY_COMPARE(form->height(), clientHeight);
    auto *list = form->findChild<QWidget *>(u"stockListArea"_s);
    QVERIFY(list);
    if (listHeight >= 0)
        QCOMPARE(list->height(), listHeight);
    // The bottom area still fits under the list, unsqueezed.
    auto *bottom = form->findChild<QWidget *>(u"bottomArea"_s);
    QVERIFY(bottom->geometry().top() > list->geometry().bottom());
    QVERIFY(bottom->isVisible());
    QVERIFY2(bottom->height() >= bottom->minimumSizeHint().height(),
             qPrintable(u"%1 < %2"_s.arg(bottom->height()).arg(bottom->minimumSizeHint().height())));
    QVERIFY(bottom->geometry().bottom() <= form->centralWidget()->height());
}

void TestTMainForm::layoutHasItsParts()
{
    auto form = makeForm();
    QCOMPARE(form->windowTitle(), u"岚蔚箱包销售管理软件 V4.3.7(春节珍藏版)"_s);
    QVERIFY(showAndSignIn(*form));
    QCOMPARE(form->size(), QSize(1031, 636));
    auto *group = form->findChild<QGroupBox *>(u"quickQueryGroup"_s);
    QVERIFY(group);
    QCOMPARE(group->title(), u" 快速拼音查询"_s);
    QCOMPARE(form->findChild<QLineEdit *>(u"alarmQuantityBox"_s)->text(), u"5"_s);
    QCOMPARE(form->findChild<QCheckBox *>(u"zeroStockBox"_s)->text(), u"不显示零库存"_s);
    QVERIFY(!form->findChild<QCheckBox *>(u"zeroStockBox"_s)->isChecked());
    for (const QString &name : {u"Panel3"_s, u"Panel1"_s, u"Panel5"_s, u"successNotice"_s}) {
        auto *panel = form->findChild<QWidget *>(name);
        QVERIFY2(panel, qPrintable(name));
        QVERIFY2(!panel->isVisible(), qPrintable(name));
    }
    const QStringList captions = {u"新建入库"_s, u"销售明细"_s, u"单据打印"_s, u"汇总统计"_s,
                                  u"数据备份"_s, u"设 置"_s,    u"技术支持"_s};
    for (const QString &caption : captions) {
        bool found = false;
        for (auto *button : form->findChildren<QToolButton *>())
            found = found ||
                    (button->text() == caption && button->toolButtonStyle() == Qt::ToolButtonTextUnderIcon &&
                     !button->icon().isNull());
        QVERIFY2(found, qPrintable(caption));
    }
}

void TestTMainForm::statusBarPanels()
{
    auto form = makeForm(Login::Accept, u"王 小'二"_s);
    QVERIFY(showAndSignIn(*form));
    QTRY_COMPARE(form->findChild<QLabel *>(u"operatorPanel"_s)->text(), u"操作员：王 小'二"_s);
    const struct
    {
        const char16_t *name;
        int width;
        Qt::Alignment alignment;
    } panels[] = {{u"hintPanel", 350, Qt::AlignLeft},
                  {u"operatorPanel", 200, Qt::AlignHCenter},
                  {u"todayPanel", 200, Qt::AlignHCenter},
                  {u"websitePanel", 0, Qt::AlignRight}};
    for (const auto &panel : panels) {
        auto *label = form->findChild<QLabel *>(QString::fromUtf16(panel.name));
        QVERIFY(label);
        // The last panel takes the rest of the bar.
        if (panel.width > 0)
            QCOMPARE(label->width(), panel.width);
        else
            QVERIFY(label->width() > 200 && label->geometry().right() <= form->statusBar()->width());
        QCOMPARE(label->alignment() & Qt::AlignHorizontal_Mask, panel.alignment);
    }
    QCOMPARE(form->findChild<QLabel *>(u"todayPanel"_s)->text(), u"今天：2024-03-05"_s);
    QCOMPARE(form->findChild<QLabel *>(u"websitePanel"_s)->text(), MakerInfo::webAddress());

    // The hovered control's hint stands in the hint panel as well as in its
    // tooltip, and goes when the mouse leaves.
    auto *hint = form->findChild<QLabel *>(u"hintPanel"_s);
    for (const char16_t *name : {u"alarmQuantityBox", u"nameInitialsBox", u"Panel3"}) {
        auto *control = form->findChild<QWidget *>(QString::fromUtf16(name));
        QVERIFY2(control && !control->toolTip().isEmpty(), qPrintable(QString::fromUtf16(name)));
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(control, &enter);
        QCOMPARE(hint->text(), control->toolTip());
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(control, &leave);
        QCOMPARE(hint->text(), QString());
    }
}

// ---------------------------------------------------------------- services

void TestTMainForm::successNoticeHidesAfterTwoSeconds()
{
    auto form = makeForm();
    QVERIFY(showAndSignIn(*form));
    QElapsedTimer elapsed;
    elapsed.start();
    form->ShowSuccessNotice(u"数据入库成功..."_s);
    SuccessNotice *notice = form->successNotice();
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->text(), u"数据入库成功..."_s);
    QVERIFY(notice->geometry().top() < 40 && notice->geometry().left() < 40);
    QTest::qWait(1500);
    QVERIFY(notice->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!notice->isVisible(), 2000);
    QVERIFY(elapsed.elapsed() >= 1900);
    // Stays hidden: the timer does not fire again and show it.
    QTest::qWait(2500);
    QVERIFY(!notice->isVisible());

    // A new success shows it again for another two seconds.
    form->ShowSuccessNotice(u"销售数据保存成功..."_s);
    QVERIFY(notice->isVisible());
    QCOMPARE(notice->text(), u"销售数据保存成功..."_s);
    QTRY_VERIFY_WITH_TIMEOUT(!notice->isVisible(), 3000);
}

void TestTMainForm::startupSkin_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("skin");
    QTest::newRow("0") << u"0"_s << 0;
    QTest::newRow("2") << u"2"_s << 2;
    QTest::newRow("4") << u"4"_s << 4;
    QTest::newRow("5 has no skin") << u"5"_s << -1;
    QTest::newRow("7") << u"7"_s << -1;
    QTest::newRow("-1") << u"-1"_s << -1;
    QTest::newRow("text") << u"blue"_s << -1;
    QTest::newRow("empty") << QString() << -1;
}

void TestTMainForm::startupSkin()
{
    QFETCH(QString, stored);
    QFETCH(int, skin);
    // The key exists in every row, so the value alone decides.
    m_settings->setValue(SettingsStore::Keys::AlarmQuantity, u"5"_s);
    if (!stored.isNull())
        m_settings->setValue(SettingsStore::Keys::Skin, stored);
    auto form = makeForm();
    QVERIFY(showAndSignIn(*form));
    QCOMPARE(Skins::current(), skin);
    if (skin < 0) {
        QVERIFY(qApp->styleSheet().isEmpty());
    } else {
        QVERIFY(!Skins::styleSheet(skin).isEmpty());
        QCOMPARE(qApp->styleSheet(), Skins::styleSheet(skin));
        QVERIFY(form->findChild<QAction *>(u"skinAction%1"_s.arg(skin))->isChecked());
    }
    QVERIFY(Prompter::shown().isEmpty());
    // The start-up reads the skin; it never rewrites it.
    QCOMPARE(m_settings->value(SettingsStore::Keys::Skin), stored.isNull() ? QString() : stored);
}

// The colours a widget's text may stand on: its own background or, where
// that is see-through, the nearest ancestor's (every stop of a gradient).
static QList<QColor> backgroundsOf(const QWidget *widget, QPalette::ColorRole role)
{
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        const QBrush brush = w->palette().brush(w == widget ? role : w->backgroundRole());
        if (brush.gradient()) {
            QList<QColor> stops;
            for (const auto &stop : brush.gradient()->stops())
                stops << stop.second;
            return stops;
        }
        if (brush.style() != Qt::NoBrush && brush.color().alpha() == 255)
            return {brush.color()};
    }
    return {Qt::white};
}

void TestTMainForm::skinsKeepTextReadable_data()
{
    QTest::addColumn<int>("skin");
    QTest::newRow("built-in") << -1;
    for (int index = 0; index < Skins::count(); ++index)
        QTest::newRow(qPrintable(Skins::menuCaptions().at(index))) << index;
}

void TestTMainForm::skinsKeepTextReadable()
{
    QFETCH(int, skin);
    m_settings->setValue(SettingsStore::Keys::AlarmQuantity, u"5"_s);
    m_settings->setValue(SettingsStore::Keys::Skin, QString::number(skin < 0 ? 5 : skin));
    // One ordinary row and one under the alarm quantity (red).
    for (const double quantity : {20.0, 1.0})
        ExecuteStatement(m_database->db(), u"insert into data (a, \"2\", \"7\", day1) values (?, 10, ?, ?)"_s,
                         {u"拉杆箱"_s, quantity, m_database->db().dialect().dateValue(kToday)});
    auto form = makeForm();
    QVERIFY(showAndSignIn(*form));
    QCOMPARE(Skins::current(), skin);
    form->showAllRecords();
    DataGrid *grid = form->stockList()->grid();
    QCOMPARE(grid->view()->model()->rowCount(), 2);
    QStringList poor;
    auto check = [&poor](const QString &what, const QColor &text, const QList<QColor> &backgrounds) {
        for (const QColor &background : backgrounds) {
            const double ratio = Contrast::ratio(text, background);
            if (ratio < 4.5)
                poor
                    << u"%1: %2 on %3 = %4"_s.arg(what, text.name(), background.name()).arg(ratio, 0, 'f', 2);
        }
    };
    const QAbstractItemModel *model = grid->view()->model();
    for (int row = 0; row < 2; ++row) {
        const QModelIndex cell = model->index(row, 0);
        const QVariant text = model->data(cell, Qt::ForegroundRole);
        const QVariant background = model->data(cell, Qt::BackgroundRole);
        check(u"row %1"_s.arg(row),
              text.isValid() ? text.value<QColor>() : grid->view()->palette().color(QPalette::Text),
              {background.isValid() ? background.value<QColor>()
                                    : grid->view()->palette().color(QPalette::Base)});
    }
    for (int column = 0; column < model->columnCount(); ++column)
        check(u"title %1"_s.arg(column),
              model->headerData(column, Qt::Horizontal, Qt::ForegroundRole).value<QColor>(),
              {model->headerData(column, Qt::Horizontal, Qt::BackgroundRole).value<QColor>()});
    check(u"footer"_s, grid->footer()->textColour(), {grid->footer()->background()});
    // The captions, boxes and buttons under the list and in the status bar.
    for (QWidget *area :
         {form->findChild<QWidget *>(u"bottomArea"_s), static_cast<QWidget *>(form->statusBar())}) {
        for (QWidget *widget : area->findChildren<QWidget *>()) {
            if (!widget->isVisible())
                continue;
            const QString name =
                QString::fromLatin1(widget->metaObject()->className()) + u" "_s + widget->objectName();
            if (qobject_cast<QLineEdit *>(widget))
                check(name, widget->palette().color(QPalette::Text), backgroundsOf(widget, QPalette::Base));
            else if (qobject_cast<QLabel *>(widget) || qobject_cast<QCheckBox *>(widget))
                check(name, widget->palette().color(widget->foregroundRole()),
                      backgroundsOf(widget, widget->backgroundRole()));
            else if (qobject_cast<QPushButton *>(widget))
                check(name, widget->palette().color(QPalette::ButtonText),
                      backgroundsOf(widget, QPalette::Button));
        }
    }
    QVERIFY2(poor.isEmpty(), qPrintable(poor.join(u'\n')));
}

void TestTMainForm::skinMenuLoadsAndStores()
{
    auto form = makeForm();
    QVERIFY(showAndSignIn(*form));
    QStringList sheets;
    for (int index = 0; index < Skins::count(); ++index) {
        auto *item = form->findChild<QAction *>(u"skinAction%1"_s.arg(index));
        QVERIFY(item);
        QCOMPARE(item->text(), Skins::menuCaptions().at(index));
        item->trigger();
        QCOMPARE(qApp->styleSheet(), Skins::styleSheet(index));
        QCOMPARE(m_settings->value(SettingsStore::Keys::Skin), QString::number(index));
        QVERIFY(item->isChecked());
        sheets.append(qApp->styleSheet());
    }
    // Five looks of their own, not one sheet under five names.
    sheets.removeDuplicates();
    QCOMPARE(sheets.size(), Skins::count());
    QCOMPARE(Skins::menuCaptions(),
             QStringList({u"黑色经典(皮肤)"_s, u"蓝色幻想(皮肤)"_s, u"梦幻天空(皮肤)"_s, u"黑色遐想(皮肤)"_s,
                          u"梦想成真(皮肤)"_s}));
}

void TestTMainForm::windowHelperReusesExactClass()
{
    QWidget owner;
    owner.show();
    int created = 0;
    auto make = [&created](QWidget *parent) {
        ++created;
        return new HelperWindow(parent);
    };
    QPointer<HelperWindow> first;
    HelperWindow *window = ShowOrCreateWindow(first, &owner, make);
    QCOMPARE(created, 1);
    QVERIFY(window->isWindow());
    QVERIFY(window->isVisible());
    QCOMPARE(window->parentWidget(), &owner);

    // Minimized or hidden: the same window comes back, restored and shown.
    window->showMinimized();
    QPointer<HelperWindow> second;
    QCOMPARE(ShowOrCreateWindow(second, &owner, make), window);
    QCOMPARE(second.data(), window);
    QVERIFY(!window->isMinimized());
    window->hide();
    QCOMPARE(ShowOrCreateWindow(second, &owner, make), window);
    QVERIFY(window->isVisible());
    QCOMPARE(created, 1);

    // A window of a derived class is not "exactly that class".
    delete window;
    auto *derived = new DerivedHelperWindow(&owner);
    derived->setWindowFlag(Qt::Window);
    derived->show();
    QPointer<HelperWindow> third;
    QVERIFY(ShowOrCreateWindow(third, &owner, make) != derived);
    QCOMPARE(created, 2);

    // A window that closed itself for deletion is not found again.
    third->setAttribute(Qt::WA_DeleteOnClose);
    third->close();
    QPointer<HelperWindow> fourth;
    ShowOrCreateWindow(fourth, &owner, make);
    QCOMPARE(created, 3);
    QVERIFY(fourth != third || third.isNull());
}

void TestTMainForm::secondUserAdministrationReusesWindow()
{
    auto form = makeForm();
    QVERIFY(showAndSignIn(*form));
    QTRY_COMPARE(form->tag() != 0, true);
    auto *item = form->findChild<QAction *>(u"userAdminAction"_s);
    QVERIFY(item && item->isEnabled());
    auto windows = [] {
        QList<Tuserglfm *> found;
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *users = qobject_cast<Tuserglfm *>(window); users && users->isVisible())
                found.append(users);
        }
        return found;
    };
    item->trigger();
    QTRY_COMPARE(windows().size(), 1);
    Tuserglfm *first = windows().constFirst();
    first->showMinimized();
    item->trigger();
    QCOMPARE(windows().size(), 1);
    QCOMPARE(windows().constFirst(), first);
    QVERIFY(!first->isMinimized());
    QVERIFY(first->isVisible());
}

void TestTMainForm::dateGuardRefillsEmptiedBox_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("emptied") << QString() << u"2024-03-05"_s;
    QTest::newRow("blanks only") << u"    -  -  "_s << u"2024-03-05"_s;
    QTest::newRow("another date stays") << u"2023-12-31"_s << u"2023-12-31"_s;
}

void TestTMainForm::dateGuardRefillsEmptiedBox()
{
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    auto form = makeForm();
    QVERIFY(showAndSignIn(*form));
    auto *box = new QLineEdit(form.get());
    box->setInputMask(u"0000-00-00"_s);
    form->context().registerDateBox(box);
    QCOMPARE(box->text(), u"2024-03-05"_s);

    m_clock->advanceDays(1); // the box must show the day it is now
    box->setText(typed);
    const QString expectedNow = expected == u"2024-03-05"_s ? u"2024-03-06"_s : expected;
    if (typed.remove(u' ').remove(u'-').isEmpty())
        QCOMPARE(box->displayText(), u"    -  -  "_s);
    QTRY_COMPARE_WITH_TIMEOUT(box->text(), expectedNow, ShopContext::DateGuardMilliseconds + 150);
    QTest::qWait(ShopContext::DateGuardMilliseconds + 100);
    QCOMPARE(box->text(), expectedNow);
}

// ---------------------------------------------------------------- sign-in and close

void TestTMainForm::closeAfterLoginEndsOwnSession_data()
{
    QTest::addColumn<bool>("withSaleDateBox");
    QTest::addColumn<QString>("riqi");
    QTest::newRow("no sale panel yet") << false << u"2024-03-05"_s;
    QTest::newRow("sale date box") << true << u"2024-02-29"_s;
}

void TestTMainForm::closeAfterLoginEndsOwnSession()
{
    QFETCH(bool, withSaleDateBox);
    QFETCH(QString, riqi);
    const Database &db = m_database->db();
    // Another counter signed in earlier and is still working.
    const qint64 other = SessionLog(db).open(u"张三"_s);

    auto form = makeForm();
    QVERIFY(showAndSignIn(*form));
    QTRY_VERIFY(form->tag() != 0);
    const qint64 own = form->tag();
    QVERIFY(own != other);
    // A third counter signs in later: its row is the newest one.
    const qint64 later = SessionLog(db).open(u"李四"_s);
    QVERIFY(later > own);
    QCOMPARE(rowCount(db, u"select count(*) from rz where id = ? and username = ?"_s,
                      {own, Schema::kAdministrator}),
             1);
    if (withSaleDateBox) {
        auto *box = new QLineEdit(form.get());
        box->setInputMask(u"0000-00-00"_s);
        form->context().registerSaleDateBox(box);
        box->setText(riqi);
    }
    m_clock->set(QDateTime(kToday, QTime(18, 45)));
    QVERIFY(form->close());

    QCOMPARE(Dialect::toDateTime(ScalarValue(db, u"select jtime from rz where id = ?"_s, {own})),
             QDateTime(kToday, QTime(18, 45)));
    QVERIFY(ScalarValue(db, u"select jtime from rz where id = ?"_s, {other}).isNull());
    QVERIFY(ScalarValue(db, u"select jtime from rz where id = ?"_s, {later}).isNull());
    QCOMPARE(rowCount(db, u"select count(*) from rz"_s), 3);
    QCOMPARE(m_settings->value(SettingsStore::Keys::LastSaleDate), riqi);
}

void TestTMainForm::rejectedLoginEndsWithoutSession()
{
    m_settings->setLastSaleDate(u"2024-03-04"_s);
    auto form = makeForm(Login::Reject);
    QVERIFY(showAndSignIn(*form));
    QTRY_VERIFY(!form->isVisible());
    QCOMPARE(m_loginRuns, 1);
    QCOMPARE(form->tag(), 0);
    QCOMPARE(rowCount(m_database->db(), u"select count(*) from rz"_s), 0);
    // Nobody signed in, nothing was sold: the stored day stays, so today's
    // first order still starts the day's numbering.
    QCOMPARE(m_settings->value(SettingsStore::Keys::LastSaleDate), u"2024-03-04"_s);
}

void TestTMainForm::loginAppliesZeroStockChoice_data()
{
    QTest::addColumn<int>("choice"); // -1 none, 0 show all, 1 hide zero stock
    QTest::addColumn<bool>("ticked");
    QTest::newRow("never chosen") << -1 << false;
    QTest::newRow("no: hide zero stock") << 1 << true;
    QTest::newRow("yes: all rows") << 0 << false;
}

void TestTMainForm::loginAppliesZeroStockChoice()
{
    QFETCH(int, choice);
    QFETCH(bool, ticked);
    auto form = makeForm(Login::Accept, Schema::kAdministrator,
                         choice < 0 ? std::nullopt : std::optional<bool>(choice == 1));
    QSignalSpy reloads(form.get(), &TMainForm::allRecordsRequested);
    QSignalSpy layouts(form.get(), &TMainForm::columnLayoutRestoreRequested);
    QVERIFY(showAndSignIn(*form));
    QTRY_VERIFY(form->tag() != 0);
    QCOMPARE(form->zeroStockBox()->isChecked(), ticked);
    QCOMPARE(form->zeroStockHidden(), ticked);
    QCOMPARE(layouts.count(), 1);
    // The list is reloaded when the sign-in window closes, and once more for
    // a stored choice.
    QVERIFY(reloads.count() >= (choice < 0 ? 1 : 2));
}

void TestTMainForm::zeroStockSwitchStoresChoice()
{
    auto form = makeForm();
    QVERIFY(showAndSignIn(*form));
    QSignalSpy reloads(form.get(), &TMainForm::allRecordsRequested);
    form->zeroStockBox()->setChecked(true);
    QCOMPARE(m_settings->value(SettingsStore::Keys::ZeroStock), u"no"_s);
    QVERIFY(form->zeroStockHidden());
    form->zeroStockBox()->setChecked(false);
    QCOMPARE(m_settings->value(SettingsStore::Keys::ZeroStock), u"yes"_s);
    QVERIFY(!form->zeroStockHidden());
    QCOMPARE(reloads.count(), 2);
}

void TestTMainForm::restrictedMode_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<bool>("restricted");
    QTest::newRow("administrator") << Schema::kAdministrator << false;
    QTest::newRow("operator") << u"收银员"_s << true;
    QTest::newRow("administrator name with a blank") << (Schema::kAdministrator + u' ') << true;
}

void TestTMainForm::restrictedMode()
{
    QFETCH(QString, user);
    QFETCH(bool, restricted);
    auto form = makeForm(Login::Accept, user);
    QSignalSpy applied(&form->context(), &ShopContext::restrictedModeApplied);
    auto *saleDate = new QLineEdit(form.get());
    saleDate->setInputMask(u"0000-00-00"_s);
    form->context().registerSaleDateBox(saleDate);
    QVERIFY(showAndSignIn(*form));
    QTRY_VERIFY(form->tag() != 0);

    QCOMPARE(form->isRestricted(), restricted);
    QCOMPARE(applied.count(), restricted ? 1 : 0);
    QCOMPARE(saleDate->isReadOnly(), restricted);
    const QStringList hidden = {u"modifyStockAction"_s,    u"deleteStockAction"_s,
                                u"newStockAction"_s,       u"userAdminAction"_s,
                                u"changePasswordAction"_s, u"hidePurchasePriceAction"_s,
                                u"hideAmountsAction"_s,    u"excelImportAction"_s};
    for (const QString &name : hidden) {
        auto *action = form->findChild<QAction *>(name);
        QVERIFY2(action, qPrintable(name));
        QVERIFY2(action->isVisible() == !restricted, qPrintable(name));
    }
    auto *newStock = form->findChild<QToolButton *>(u"newStockButton"_s);
    QTRY_COMPARE(newStock->isVisible(), !restricted);
    // What stays for every operator.
    for (const QString &name : {u"allRecordsAction"_s, u"hideSalePriceAction"_s, u"hideDateAction"_s,
                                u"calculatorAction"_s, u"printSettingsAction"_s})
        QVERIFY2(form->findChild<QAction *>(name)->isVisible(), qPrintable(name));
}

void TestTMainForm::defaultPasswordOpensPasswordChange_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<bool>("defaultPassword");
    QTest::newRow("administrator with the default") << Schema::kAdministrator << true;
    QTest::newRow("operator with the default") << u"收银员"_s << true;
    QTest::newRow("operator with an own password") << u"收银员"_s << false;
}

void TestTMainForm::defaultPasswordOpensPasswordChange()
{
    QFETCH(QString, user);
    QFETCH(bool, defaultPassword);
    ExecuteStatement(m_database->db(), u"insert into userdb (username, passwd) values (?, ?)"_s,
                     {u"收银员"_s, PasswordHash::hash(Schema::kDefaultPassword)});
    m_defaultPassword = defaultPassword;
    auto form = makeForm(Login::Accept, user);
    QVERIFY(showAndSignIn(*form));
    QTRY_VERIFY(form->tag() != 0);
    QApplication::processEvents();
    auto *window = form->findChild<Tchangepassfm *>();
    if (!defaultPassword) {
        QVERIFY(!window || !window->isVisible());
        return;
    }
    // Open for the operator who signed in (a restricted one too, although
    // the menu item is hidden for them), with the hint and the old password.
    QVERIFY(window);
    QTRY_VERIFY(window->isVisible());
    QCOMPARE(window->findChild<QComboBox *>(u"operatorBox"_s)->currentText(), user);
    auto *hint = window->findChild<QLabel *>(u"defaultPasswordHint"_s);
    QVERIFY(hint->isVisible());
    QVERIFY2(hint->text().contains(Schema::kDefaultPassword), qPrintable(hint->text()));
    QCOMPARE(window->findChild<QLineEdit *>(u"oldPasswordBox"_s)->text(), QString(Schema::kDefaultPassword));
    QCOMPARE(QApplication::focusWidget(), window->findChild<QLineEdit *>(u"newPasswordBox"_s));

    // Choosing a new password there works like any change; closing instead
    // is allowed and leaves the password as it was.
    QTest::keyClicks(window->findChild<QLineEdit *>(u"newPasswordBox"_s), u"new1"_s);
    QTest::keyClicks(window->findChild<QLineEdit *>(u"repeatPasswordBox"_s), u"new1"_s);
    QTest::mouseClick(window->findChild<QPushButton *>(u"changeButton"_s), Qt::LeftButton);
    QVERIFY(UserAccounts(m_database->db()).checkLogin(user, u"new1"_s));
    window->close();
    QVERIFY(form->isVisible());
}

void TestTMainForm::itemsOfMissingFunctionsAreDisabled_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    const std::pair<const char16_t *, const char16_t *> enabled[] = {
        {u"changePasswordAction", u"修改密码"},
        {u"userAdminAction", u"用户管理"},
        {u"calculatorAction", u"计算器"},
        {u"notepadAction", u"记事本"},
        {u"websiteAction", u"官方网站"},
        {u"upgradeAction", u"软件升级"},
        {u"skinAction0", u"黑色经典(皮肤)"},
        {u"skinAction4", u"梦想成真(皮肤)"},
        {u"allRecordsAction", u"全部记录"},
        {u"hidePurchasePriceAction", u"隐藏进货单价"},
        {u"hideSalePriceAction", u"隐藏销售单价"},
        {u"hideAmountsAction", u"隐藏金额"},
        {u"hideDateAction", u"隐藏日期"},
        {u"hideSupplierAction", u"隐藏供货商"},
        {u"hideRemarkAction", u"隐藏备注信息"},
        {u"saveColumnLayoutAction", u"保存当前列宽"},
        {u"newStockAction", u"新建入库"},
        {u"excelImportAction", u"Excel导入"},
        {u"modifyStockAction", u"修 改"},
        {u"deleteStockAction", u"删 除"},
        {u"exportExcelAction", u"导出Excel"},
        {u"printListAction", u"打 印"},
        {u"ticketAction", u"单据打印"},
        {u"menuTicketAction", u"销售单(小票)打印"},
        {u"printSettingsAction", u"打印设置"},
        {u"salesDetailAction", u"销售明细"},
        {u"summaryAction", u"汇总统计"},
        {u"menuSummaryAction", u"汇总统计"},
        {u"helpAction", u"使用帮助"},
        {u"aboutAction", u"关于..."},
        {u"backupAction", u"数据备份"}};
    for (const auto &[name, text] : enabled)
        QTest::newRow(qPrintable(QString::fromUtf16(name)))
            << QString::fromUtf16(name) << QString::fromUtf16(text) << true;
}

void TestTMainForm::itemsOfMissingFunctionsAreDisabled()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    auto form = makeForm();
    QVERIFY(showAndSignIn(*form));
    auto *action = form->findChild<QAction *>(name);
    QVERIFY(action);
    QCOMPARE(action->text(), text);
    QCOMPARE(action->isEnabled(), enabled);
    // Every item sits in one of the window's menus or on its tool bar.
    bool inMenu = form->findChild<QToolBar *>()->actions().contains(action);
    for (QMenu *menu : form->findChildren<QMenu *>())
        inMenu = inMenu || menu->actions().contains(action);
    QVERIFY(inMenu);
    // A disabled item does nothing when triggered.
    if (!enabled) {
        QSignalSpy triggered(action, &QAction::triggered);
        action->trigger();
        QCOMPARE(triggered.count(), 0);
    }
}

void TestTMainForm::shortcuts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QKeySequence>("keys");
    QTest::newRow("导出Excel") << u"exportExcelAction"_s << QKeySequence(u"Ctrl+E"_s);
    QTest::newRow("打 印") << u"printListAction"_s << QKeySequence(u"Ctrl+D"_s);
    QTest::newRow("汇总统计") << u"menuSummaryAction"_s << QKeySequence(u"Ctrl+H"_s);
}

void TestTMainForm::shortcuts()
{
    QFETCH(QString, name);
    QFETCH(QKeySequence, keys);
    auto form = makeForm();
    QVERIFY(showAndSignIn(*form));
    auto *action = form->findChild<QAction *>(name);
    QVERIFY(action);
    QCOMPARE(action->shortcut(), keys);
    // Reachable from the whole window, not only while the menu is open.
    QVERIFY(form->actions().contains(action));
    QVERIFY(form->stockListMenu()->actions().contains(action));
}

void TestTMainForm::storedPreferencesAtFirstShow_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("danhao");
    QTest::addColumn<QString>("alarmBox");
    QTest::addColumn<qint64>("counter");
    QTest::newRow("stored") << u"12"_s << u"41"_s << u"12"_s << qint64(42);
    QTest::newRow("empty number keeps 5") << u""_s << u"7"_s << u"5"_s << qint64(8);
    QTest::newRow("counter not a number") << u"3"_s << u"abc"_s << u"3"_s << qint64(1);
    QTest::newRow("counter empty") << u"0"_s << u""_s << u"0"_s << qint64(1);
}

void TestTMainForm::storedPreferencesAtFirstShow()
{
    QFETCH(QString, number);
    QFETCH(QString, danhao);
    QFETCH(QString, alarmBox);
    QFETCH(qint64, counter);
    m_settings->setValue(SettingsStore::Keys::AlarmQuantity, number);
    m_settings->setValue(SettingsStore::Keys::OrderCounter, danhao);
    m_settings->setValue(SettingsStore::Keys::LastSaleDate, u"2024-03-04"_s);
    m_settings->setValue(SettingsStore::Keys::Company, u"岚蔚箱包"_s);
    m_settings->setValue(SettingsStore::Keys::Address, u"人民路 8 号"_s);
    auto form = makeForm();
    QVERIFY(showAndSignIn(*form));
    QCOMPARE(form->alarmQuantityBox()->text(), alarmBox);
    QCOMPARE(form->context().orderCounter(), counter);
    QCOMPARE(form->context().lastSaleDate(), u"2024-03-04"_s);
    QCOMPARE(form->context().company(), u"岚蔚箱包"_s);
    QCOMPARE(form->context().address(), u"人民路 8 号"_s);
    // Reading the values at start-up writes none of them back.
    QCOMPARE(m_settings->value(SettingsStore::Keys::AlarmQuantity), number);
}

void TestTMainForm::columnFlagsSetCheckMarks_data()
{
    QTest::addColumn<QString>("flag");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("checked");
    QTest::newRow("rukuyin1 yes") << u"rukuyin1"_s << u"yes"_s << u"hidePurchasePriceAction"_s << true;
    QTest::newRow("rukuyin2 yes") << u"rukuyin2"_s << u"yes"_s << u"hideAmountsAction"_s << true;
    QTest::newRow("rukuyin3 no") << u"rukuyin3"_s << u"no"_s << u"hideDateAction"_s << false;
    QTest::newRow("rukuyin4 yes") << u"rukuyin4"_s << u"yes"_s << u"hideSupplierAction"_s << true;
    QTest::newRow("rukuyin5 other") << u"rukuyin5"_s << u"YES"_s << u"hideRemarkAction"_s << false;
    QTest::newRow("rukuyin6 yes") << u"rukuyin6"_s << u"yes"_s << u"hideSalePriceAction"_s << true;
}

void TestTMainForm::columnFlagsSetCheckMarks()
{
    QFETCH(QString, flag);
    QFETCH(QString, value);
    QFETCH(QString, item);
    QFETCH(bool, checked);
    m_settings->setValue(flag, value);
    m_settings->setValue(u"xiaoshouyin4"_s, u"yes"_s);
    m_settings->setValue(u"xiaoshouyin6"_s, u"yes"_s);
    m_settings->setValue(u"xiaoshouyin7"_s, u"maybe"_s);
    auto form = makeForm();
    QVERIFY(showAndSignIn(*form));
    QCOMPARE(form->findChild<QAction *>(item)->isChecked(), checked);
    // The sales-detail flags wait for their window.
    QCOMPARE(form->context().storedSalesColumnHidden(u"xiaoshouyin4"_s), std::optional<bool>(true));
    QCOMPARE(form->context().storedSalesColumnHidden(u"xiaoshouyin6"_s), std::optional<bool>(false));
    QCOMPARE(form->context().storedSalesColumnHidden(u"xiaoshouyin7"_s), std::optional<bool>());
    QCOMPARE(form->context().storedSalesColumnHidden(u"xiaoshouyin1"_s), std::optional<bool>());
}

void TestTMainForm::alarmBoxStoresWholeNumbers()
{
    auto form = makeForm();
    QVERIFY(showAndSignIn(*form));
    QLineEdit *box = form->alarmQuantityBox();
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, u"1a5.x"_s);
    QCOMPARE(box->text(), u"15"_s);
    QCOMPARE(m_settings->value(SettingsStore::Keys::AlarmQuantity), u"15"_s);
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), u"0"_s);
    QCOMPARE(m_settings->value(SettingsStore::Keys::AlarmQuantity), u"0"_s);
}

void TestTMainForm::desktopPrograms_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QStringList>("installed"); // programs on the search path
    QTest::addColumn<QString>("started");       // the one that must run, "" for none
    QTest::addColumn<QString>("message");
    QTest::newRow("calculator") << u"calculatorAction"_s << QStringList{u"galculator"_s} << u"galculator"_s
                                << QString();
    QTest::newRow("first calculator wins")
        << u"calculatorAction"_s << QStringList{u"xcalc"_s, u"gnome-calculator"_s} << u"gnome-calculator"_s
        << QString();
    QTest::newRow("editor") << u"notepadAction"_s << QStringList{u"mousepad"_s, u"xed"_s} << u"mousepad"_s
                            << QString();
    QTest::newRow("no calculator") << u"calculatorAction"_s << QStringList{u"gedit"_s} << QString()
                                   << u"没有找到计算器程序"_s;
    QTest::newRow("no editor") << u"notepadAction"_s << QStringList{u"kcalc"_s} << QString()
                               << u"没有找到记事本程序"_s;
}

void TestTMainForm::desktopPrograms()
{
    QFETCH(QString, item);
    QFETCH(QStringList, installed);
    QFETCH(QString, started);
    QFETCH(QString, message);
    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    const QString marker = bin.filePath(u"started"_s);
    for (const QString &program : std::as_const(installed)) {
        QFile script(bin.filePath(program));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho \"$0\" > '" + marker.toUtf8() + "'\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()));
    auto form = makeForm();
    const bool shown = showAndSignIn(*form);
    form->findChild<QAction *>(item)->trigger();
    qputenv("PATH", path);
    QVERIFY(shown);
    if (started.isEmpty()) {
        QCOMPARE(Prompter::shown().size(), 1);
        QCOMPARE(Prompter::shown().constFirst().kind, Prompter::Kind::Warning);
        QVERIFY2(Prompter::lastText().startsWith(message), qPrintable(Prompter::lastText()));
    } else {
        // The shell creates the marker before echo fills it in one write.
        QTRY_VERIFY(QFileInfo(marker).size() > 0);
        QFile ran(marker);
        QVERIFY(ran.open(QIODevice::ReadOnly));
        const QByteArray program = ran.readAll().trimmed();
        QVERIFY2(program.endsWith(QByteArray("/" + started.toUtf8())), program.constData());
        QVERIFY(Prompter::shown().isEmpty());
    }
}

void TestTMainForm::websiteOpensMakersAddress()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(u"https"_s, &catcher, "open");
    auto form = makeForm();
    QVERIFY(showAndSignIn(*form));
    form->findChild<QAction *>(u"websiteAction"_s)->trigger();
    QDesktopServices::unsetUrlHandler(u"https"_s);
    QCOMPARE(catcher.urls, QList<QUrl>{MakerInfo::websiteUrl()});
    QVERIFY(MakerInfo::websiteUrl().isValid());
    QCOMPARE(MakerInfo::websiteUrl().host(), MakerInfo::webAddress());
}

void TestTMainForm::floatingPanelsDragAndClose()
{
    auto form = makeForm();
    QVERIFY(showAndSignIn(*form));
    for (FloatingPanel *panel : {form->stockEntryPanel(), form->salePanel(), form->ticketPanel()}) {
        QVERIFY(!panel->isVisible());
        panel->show();
        panel->move(50, 40);
        const QPoint grab(panel->width() / 2, panel->height() - 6);
        QTest::mousePress(panel, Qt::LeftButton, {}, grab);
        QMouseEvent move(QEvent::MouseMove, QPointF(grab + QPoint(30, 20)),
                         panel->mapToGlobal(QPointF(grab + QPoint(30, 20))), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(panel, &move);
        QTest::mouseRelease(panel, Qt::LeftButton, {}, grab + QPoint(30, 20));
        QCOMPARE(panel->pos(), QPoint(80, 60));

        // Dragged far away, it stays inside the window.
        QTest::mousePress(panel, Qt::LeftButton, {}, grab);
        QMouseEvent away(QEvent::MouseMove, QPointF(grab + QPoint(-5000, -5000)),
                         panel->mapToGlobal(QPointF(grab + QPoint(-5000, -5000))), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(panel, &away);
        QTest::mouseRelease(panel, Qt::LeftButton, {}, grab);
        QCOMPARE(panel->pos(), QPoint(0, 0));

        QSignalSpy closed(panel, &FloatingPanel::closed);
        QTest::mouseClick(panel->closeButton(), Qt::LeftButton);
        QVERIFY(!panel->isVisible());
        QCOMPARE(closed.count(), 1);
    }
    QCOMPARE(form->salePanel()->size(), QSize(339, 469));
    QCOMPARE(form->ticketPanel()->size(), QSize(561, 281));
}

QTEST_MAIN(TestTMainForm)
#include "tst_tmainform.moc"

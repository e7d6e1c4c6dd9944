#pragma once

#include "shell/MainWindowParts.h"
#include "shell/Session.h"

#include <QDateTime>
#include <QFrame>
#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <optional>

class Database;
class OnlineUpgrade;
class FloatingPanel;
class QAction;
class QActionGroup;
class QCheckBox;

class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QToolBar;
class QToolButton;
class SalePanel;
class SettingsStore;
class ShopContext;
class StockListView;
class SuccessNotice;
class TForm1;
class Tchhform;
class Tchangepassfm;
class TicketPanel;
class Texcell;
class Tpos;
class Trepair;
class Tuserglfm;
class Txstj;

// The main window: the stock list with its floating stock-in, sale and ticket
// panels, the tool bar and menus that lead to every function. It owns the
// context the other windows share (ShopContext) and hands it to them.
class TMainForm : public QMainWindow
{
    Q_OBJECT
public:
    // What the sign-in produced. On acceptance the session row is open.
    struct LoginOutcome
    {
        bool accepted = false;
        Session session;
        // The stored zero-stock choice: true hides rows without stock, false
        // lists every row, nullopt leaves the list as it is.
        std::optional<bool> hideZeroStock;
        // Signed in with the default password: the password change window
        // opens with a hint.
        bool defaultPassword = false;
    };
    // Runs the sign-in. The program's own runs the login window modally;
    // tests put in their own.
    using LoginRunner = std::function<LoginOutcome(TMainForm &)>;

    TMainForm(Database &db, SettingsStore &settings, QWidget *parent = nullptr);
    ~TMainForm() override;

    static QString caption();
    // The stock list is the window's outer height less this, the outer height
    // being the client height and the frame the window was designed with
    // (title bar and borders together).
    static constexpr int BottomAreaHeight = 196;
    static constexpr int DesignFrameHeight = 33;

    void setLoginRunner(LoginRunner runner);

    // What the windows share; made with the window and handed to each of them.
    ShopContext &context() const { return *m_context; }
    // The number (rz.id) of the open session; 0 until a sign-in succeeds.
    qint64 tag() const { return session().id; }
    const Session &session() const;
    bool isRestricted() const;

    // Shows the text in the notice at the top left for two seconds; saves on
    // the main window confirm themselves this way instead of a message box.
    void ShowSuccessNotice(const QString &text);
    SuccessNotice *successNotice() const { return m_successNotice; }

    // Hides what an operator other than the administrator may not reach.
    // Windows add their own parts through ShopContext::restrictedModeApplied.
    void applyRestrictedMode();

    // Whether the stock list leaves out rows without stock ("不显示零库存"):
    // "全部记录" and "查询" both build their statements from it.
    bool zeroStockHidden() const;
    StockListView *stockList() const { return m_stockList; }
    // The ticket of the current order (in the ticket panel) and the receipt
    // settings window, both made at start-up.
    TicketPanel *ticket() const { return m_ticket; }
    // The sale panel's contents (in the floating sale panel).
    SalePanel *sale() const { return m_sale; }
    Tpos *receiptSettings() const { return m_receiptSettings; }
    // "Excel导入", made once at start.
    Texcell *excelImport() const { return m_excelImport; }
    // The sales-detail window, made once at start.
    Txstj *salesDetail() const { return m_salesDetail; }
    // The summary window, made once at start.
    TForm1 *summary() const { return m_summary; }
    // "使用帮助" (without blocking) and "关于..." (modal).
    void openHelp();
    void openAbout();
    // "单据打印": shows the ticket panel, or hides it when shown.
    void toggleTicketPanel();
    // "全部记录": reloads the stock list, then tells the other windows
    // (allRecordsRequested).
    void showAllRecords();
    // "读取列宽": restores the stock list's column layout.
    void restoreColumnLayout();

    QWidget *stockListArea() const { return m_stockListArea; }
    QMenu *stockListMenu() const { return m_stockListMenu; }
    QGroupBox *quickQueryGroup() const { return m_quickQueryGroup; }
    QLineEdit *alarmQuantityBox() const { return m_alarmBox; }
    QCheckBox *zeroStockBox() const { return m_zeroStockBox; }
    FloatingPanel *stockEntryPanel() const { return m_stockEntryPanel; }
    FloatingPanel *salePanel() const { return m_salePanel; }
    FloatingPanel *ticketPanel() const { return m_ticketPanel; }

signals:
    void allRecordsRequested();
    void columnLayoutRestoreRequested();

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildActions();
    void buildToolBar(QWidget *parent);
    void buildStatusBar();
    QWidget *buildBottomArea(QWidget *parent);
    void buildPanels(QWidget *parent);
    QAction *makeAction(const char *objectName, const QString &text, bool enabled = false);
    void updateDropDownButtons();

    void applyStoredPreferences();
    void applyColumnFlags();
    void layoutStockList();
    void requestLogin();
    void runLoginIfNeeded();
    void afterLogin(const LoginOutcome &outcome);
    void setZeroStockHidden(bool hide);
    void chooseSkin(int index);
    void storeAlarmQuantity();
    void openUserAdministration();
    void openPasswordChange();
    void openBackup();
    void openWebsite();
    void checkForUpgrade();

    Database &m_db;
    SettingsStore &m_settings;
    LoginRunner m_loginRunner;

    ShopContext *m_context = nullptr;
    MainWindowParts m_parts;
    QDateTime m_signedInAt; // the session row's start time while it waits for the file check
    bool m_firstShowDone = false;
    bool m_loginRunning = false;
    bool m_loginQueued = false;

    QWidget *m_central = nullptr;
    QFrame *m_stockListArea = nullptr;
    QWidget *m_bottomArea = nullptr;
    QGroupBox *m_quickQueryGroup = nullptr;
    StockListView *m_stockList = nullptr;
    TicketPanel *m_ticket = nullptr;
    SalePanel *m_sale = nullptr;
    Tpos *m_receiptSettings = nullptr;
    Texcell *m_excelImport = nullptr;
    Txstj *m_salesDetail = nullptr;
    TForm1 *m_summary = nullptr;
    QPointer<Tchhform> m_helpWindow;
    QToolBar *m_toolBar = nullptr;
    QLineEdit *m_alarmBox = nullptr;
    QCheckBox *m_zeroStockBox = nullptr;
    FloatingPanel *m_stockEntryPanel = nullptr;
    FloatingPanel *m_salePanel = nullptr;
    FloatingPanel *m_ticketPanel = nullptr;
    SuccessNotice *m_successNotice = nullptr;
    QLabel *m_hintPanel = nullptr;
    QLabel *m_operatorPanel = nullptr;
    QLabel *m_todayPanel = nullptr;
    QLabel *m_websitePanel = nullptr;

    // Tool bar and menus.
    QMenu *m_newStockMenu = nullptr;
    QMenu *m_settingsMenu = nullptr;
    QMenu *m_supportMenu = nullptr;
    QMenu *m_skinMenu = nullptr;
    QMenu *m_stockListMenu = nullptr;
    QMenu *m_hideColumnsMenu = nullptr;
    QList<QToolButton *> m_dropDownButtons;
    QAction *m_newStockButtonAction = nullptr; // the tool button as placed on the tool bar
    QAction *m_newStockAction = nullptr;
    QAction *m_excelImportAction = nullptr;
    QAction *m_salesDetailAction = nullptr;
    QAction *m_ticketAction = nullptr;
    QAction *m_summaryAction = nullptr;
    QAction *m_backupAction = nullptr;
    QAction *m_printSettingsAction = nullptr;
    QAction *m_changePasswordAction = nullptr;
    QAction *m_userAdminAction = nullptr;
    QActionGroup *m_skinGroup = nullptr;
    QList<QAction *> m_skinActions;
    QAction *m_calculatorAction = nullptr;
    QAction *m_notepadAction = nullptr;
    QAction *m_helpAction = nullptr;
    QAction *m_upgradeAction = nullptr;
    QAction *m_websiteAction = nullptr;
    QAction *m_serviceContactAction = nullptr;
    QAction *m_aboutAction = nullptr;
    QAction *m_modifyStockAction = nullptr;
    QAction *m_deleteStockAction = nullptr;
    QAction *m_allRecordsAction = nullptr;
    QAction *m_exportExcelAction = nullptr;
    QAction *m_printListAction = nullptr;
    QAction *m_menuSummaryAction = nullptr;
    QAction *m_restoreLayoutAction = nullptr;
    QAction *m_saveLayoutAction = nullptr;
    QAction *m_menuTicketAction = nullptr;
    // Column hiding items by their stored flag ("rukuyin1" ...).
    QHash<QString, QAction *> m_columnActions;

    QPointer<Tuserglfm> m_userWindow;
    QPointer<Tchangepassfm> m_passwordWindow;
    QPointer<Trepair> m_backupWindow;
    QPointer<OnlineUpgrade> m_upgrade;
};

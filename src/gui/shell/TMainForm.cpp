#include "TMainForm.h"

#include "DesktopPrograms.h"
#include "FloatingPanel.h"
#include "MakerInfo.h"
#include "ShowOrCreateWindow.h"
#include "Skins.h"
#include "SuccessNotice.h"
#include "Tchangepassfm.h"
#include "Tloginfm.h"
#include "ToolIcons.h"
#include "Tuserglfm.h"
#include "data/Schema.h"

#include "common/Prompter.h"
#include "common/ShopContext.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "data/QueryHelpers.h"
#include "data/SettingsStore.h"
#include "maintenance/BackupProgress.h"
#include "maintenance/Texcell.h"
#include "maintenance/Tpos.h"
#include "maintenance/Trepair.h"
#include "periphery/OnlineUpgrade.h"
#include "periphery/TAboutBox.h"
#include "periphery/Tchhform.h"
#include "periphery/UpgradeHandOver.h"
#include "periphery/UpgradeSettings.h"
#include "periphery/UpgradeSignature.h"
#include "reports/TForm1.h"
#include "sales/SalePanel.h"
#include "sales/Tform22.h"
#include "sales/TicketPanel.h"
#include "sales/Txstj.h"
#include "shell/SessionLog.h"
#include "stock/StockEntryPanel.h"
#include "stock/StockListCommands.h"
#include "stock/StockListView.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

namespace {

// Stock list column flags in the order the first show applies them, with the
// caption and object name of their menu item.
struct ColumnItem
{
    QLatin1String flag;
    const char16_t *caption;
    const char *objectName;
};
const ColumnItem kColumnItems[] = {
    {SettingsStore::Keys::HideStockPurchasePrice, u"隐藏进货单价", "hidePurchasePriceAction"},
    {SettingsStore::Keys::HideStockSalePrice, u"隐藏销售单价", "hideSalePriceAction"},
    {SettingsStore::Keys::HideStockAmounts, u"隐藏金额", "hideAmountsAction"},
    {SettingsStore::Keys::HideStockInDate, u"隐藏日期", "hideDateAction"},
    {SettingsStore::Keys::HideStockSupplier, u"隐藏供货商", "hideSupplierAction"},
    {SettingsStore::Keys::HideStockRemark, u"隐藏备注信息", "hideRemarkAction"},
};

// The hint colour of the whole program (a light orange).
const QColor kHintColour(255, 194, 134);
constexpr int kHintMilliseconds = 2000;

// The status bar draws the frame around each panel. width 0: the panel takes
// what is left.
QLabel *statusPanel(QWidget *parent, const char *objectName, int width, Qt::Alignment alignment)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(objectName));
    if (width > 0)
        label->setFixedWidth(width);
    label->setAlignment(alignment | Qt::AlignVCenter);
    label->setContentsMargins(4, 0, 4, 0);
    return label;
}

} // namespace

TMainForm::TMainForm(Database &db, SettingsStore &settings, QWidget *parent)
    : QMainWindow(parent), m_db(db), m_settings(settings)
{
    setObjectName(QStringLiteral("TMainForm"));
    setWindowTitle(caption());
    setLoginRunner(nullptr);
    m_context = new ShopContext(m_db, m_settings, this);
    connect(m_context, &ShopContext::allRecordsRequested, this, &TMainForm::showAllRecords);
    connect(m_context, &ShopContext::successNoticeRequested, this, &TMainForm::ShowSuccessNotice);

    buildActions();

    m_central = new QWidget(this);
    m_central->setObjectName(QStringLiteral("mainClientArea"));
    setCentralWidget(m_central);
    auto *layout = new QVBoxLayout(m_central);
    layout->setContentsMargins(2, 2, 2, 0);
    layout->setSpacing(2);

    m_stockListArea = new QFrame(m_central);
    m_stockListArea->setObjectName(QStringLiteral("stockListArea"));
    m_stockListArea->setFrameShape(QFrame::StyledPanel);
    m_stockListArea->setFrameShadow(QFrame::Sunken);
    m_stockListArea->setToolTip(QStringLiteral("点列标题进行排序，双击记录进行销售"));
    m_stockListArea->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *listLayout = new QVBoxLayout(m_stockListArea);
    listLayout->setContentsMargins(0, 0, 0, 0);
    connect(m_stockListArea, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { m_stockListMenu->popup(m_stockListArea->mapToGlobal(pos)); });
    layout->addWidget(m_stockListArea);
    m_bottomArea = buildBottomArea(m_central);
    layout->addWidget(m_bottomArea, 1);

    buildPanels(m_central);
    m_parts.window = this;
    m_parts.stockListArea = m_stockListArea;
    m_parts.quickQueryGroup = m_quickQueryGroup;
    m_parts.alarmQuantityBox = m_alarmBox;
    m_parts.stockEntryPanel = m_stockEntryPanel;
    m_parts.salePanel = m_salePanel;
    m_parts.ticketPanel = m_ticketPanel;
    m_stockList = new StockListView(*m_context, m_parts);
    m_parts.stockList = m_stockList;
    // Fills the floating stock entry panel and takes over its menu items.
    new StockEntryPanel(*m_context, m_parts);
    // "删 除", "导出Excel" and "打 印" of the stock list.
    new StockListCommands(*m_context, m_parts);
    // The receipt settings are read once at start and printed from the boxes.
    m_receiptSettings = new Tpos(m_settings, this);
    m_context->setReceiptTextsSource([this] { return m_receiptSettings->texts(); });
    // Its path boxes keep their texts between showings.
    m_excelImport = new Texcell(*m_context, this);
    m_ticket = new TicketPanel(m_db, m_ticketPanel->content());
    m_parts.ticket = m_ticket;
    auto *ticketLayout = new QVBoxLayout(m_ticketPanel->content());
    ticketLayout->setContentsMargins(0, 0, 0, 0);
    ticketLayout->addWidget(m_ticket);
    // Opens on the stock list's double-click and drives the ticket's order.
    m_sale = new SalePanel(*m_context, m_parts);
    m_salesDetail = new Txstj(*m_context, this);
    connect(m_sale, &SalePanel::saleSaved, m_salesDetail, [this](const QString &orderNumber) {
        m_salesDetail->setOrderNumber(orderNumber);
        // A closed window lists this month again when it is next shown.
        if (m_salesDetail->isVisible())
            m_salesDetail->showThisMonth();
    });
    // A line corrected or deleted in the sales detail changes the ticket and its total.
    connect(m_salesDetail, &Txstj::salesChanged, m_ticket, &TicketPanel::refresh);
    m_salesDetailAction->setEnabled(true);
    connect(m_salesDetailAction, &QAction::triggered, this, [this] {
        m_salesDetail->exec();
        m_stockEntryPanel->hide();
        m_salePanel->hide();
    });
    m_summary = new TForm1(*m_context, this);
    m_summaryAction->setEnabled(true);
    connect(m_summaryAction, &QAction::triggered, m_summary, &TForm1::openModal);
    m_menuSummaryAction->setEnabled(true);
    connect(m_menuSummaryAction, &QAction::triggered, m_summary, &TForm1::openModeless);
    m_helpAction->setEnabled(true);
    connect(m_helpAction, &QAction::triggered, this, &TMainForm::openHelp);
    m_aboutAction->setEnabled(true);
    connect(m_aboutAction, &QAction::triggered, this, &TMainForm::openAbout);
    m_ticket->setCashierSource([this] { return session().username; });
    m_ticket->setTextsSource([this] { return m_context->receiptTexts(); });
    // "销售单打印": the order document of the ticket's order.
    connect(m_ticket, &TicketPanel::orderDocumentRequested, this, [this] {
        Tform22::preview(this, m_db, m_ticket->orderNumber(), session().username, m_context->receiptTexts());
    });
    for (QAction *action : {m_ticketAction, m_menuTicketAction}) {
        action->setEnabled(true);
        connect(action, &QAction::triggered, this, &TMainForm::toggleTicketPanel);
    }
    m_backupAction->setEnabled(true);
    connect(m_backupAction, &QAction::triggered, this, &TMainForm::openBackup);
    m_printSettingsAction->setEnabled(true);
    connect(m_printSettingsAction, &QAction::triggered, this, [this] { m_receiptSettings->showOver(this); });
    m_successNotice = new SuccessNotice(m_central);
    m_successNotice->move(8, 8);

    buildStatusBar();

    setMinimumSize(800, 520);
    resize(1031, 636);
}

TMainForm::~TMainForm() = default;

const Session &TMainForm::session() const
{
    return m_context->session();
}

bool TMainForm::isRestricted() const
{
    return m_context->isRestricted();
}

bool TMainForm::zeroStockHidden() const
{
    return m_stockList->zeroStockHidden();
}

QString TMainForm::caption()
{
    return QStringLiteral("岚蔚箱包销售管理软件 V4.3.7(春节珍藏版)");
}

void TMainForm::setLoginRunner(LoginRunner runner)
{
    if (runner) {
        m_loginRunner = std::move(runner);
        return;
    }
    m_loginRunner = [](TMainForm &form) {
        Tloginfm login(form.m_db, form.m_settings, &form);
        LoginOutcome outcome;
        outcome.accepted = login.exec() == QDialog::Accepted;
        if (outcome.accepted) {
            outcome.session = login.session();
            outcome.hideZeroStock = login.hideZeroStock();
            outcome.defaultPassword = login.usedDefaultPassword();
        }
        return outcome;
    };
}

// ---------------------------------------------------------------- building

QAction *TMainForm::makeAction(const char *objectName, const QString &text, bool enabled)
{
    auto *action = new QAction(text, this);
    action->setObjectName(QLatin1String(objectName));
    // Items of functions that are not there yet stay visible but disabled;
    // the work that builds a function enables its items.
    action->setEnabled(enabled);
    return action;
}

void TMainForm::buildActions()
{
    using ToolIcons::Kind;

    // Tool bar buttons without a menu.
    m_salesDetailAction = makeAction("salesDetailAction", QStringLiteral("销售明细"));
    m_salesDetailAction->setIcon(ToolIcons::icon(Kind::SalesDetail));
    m_ticketAction = makeAction("ticketAction", QStringLiteral("单据打印"));
    m_ticketAction->setIcon(ToolIcons::icon(Kind::TicketPrint));
    m_summaryAction = makeAction("summaryAction", QStringLiteral("汇总统计"));
    m_summaryAction->setIcon(ToolIcons::icon(Kind::Summary));
    m_backupAction = makeAction("backupAction", QStringLiteral("数据备份"));
    m_backupAction->setIcon(ToolIcons::icon(Kind::Backup));

    // "新建入库" drop-down.
    m_newStockAction = makeAction("newStockAction", QStringLiteral("新建入库"));
    m_excelImportAction = makeAction("excelImportAction", QStringLiteral("Excel导入"), true);
    connect(m_excelImportAction, &QAction::triggered, this, [this] { m_excelImport->exec(); });
    m_newStockMenu = new QMenu(this);
    m_newStockMenu->setObjectName(QStringLiteral("newStockMenu"));
    m_newStockMenu->addAction(m_newStockAction);
    m_newStockMenu->addAction(m_excelImportAction);

    // "设 置" drop-down.
    m_printSettingsAction = makeAction("printSettingsAction", QStringLiteral("打印设置"));
    m_changePasswordAction = makeAction("changePasswordAction", QStringLiteral("修改密码"), true);
    connect(m_changePasswordAction, &QAction::triggered, this, &TMainForm::openPasswordChange);
    m_userAdminAction = makeAction("userAdminAction", QStringLiteral("用户管理"), true);
    connect(m_userAdminAction, &QAction::triggered, this, &TMainForm::openUserAdministration);
    m_skinGroup = new QActionGroup(this);
    m_skinGroup->setExclusive(true);
    const QStringList skinCaptions = Skins::menuCaptions();
    for (int index = 0; index < skinCaptions.size(); ++index) {
        auto *skin = makeAction("", skinCaptions.at(index), true);
        skin->setObjectName(QStringLiteral("skinAction%1").arg(index));
        skin->setCheckable(true);
        m_skinGroup->addAction(skin);
        connect(skin, &QAction::triggered, this, [this, index] { chooseSkin(index); });
        m_skinActions.append(skin);
    }
    m_calculatorAction = makeAction("calculatorAction", QStringLiteral("计算器"), true);
    connect(m_calculatorAction, &QAction::triggered, this,
            [this] { DesktopPrograms::startCalculator(this); });
    m_notepadAction = makeAction("notepadAction", QStringLiteral("记事本"), true);
    connect(m_notepadAction, &QAction::triggered, this, [this] { DesktopPrograms::startTextEditor(this); });

    m_settingsMenu = new QMenu(this);
    m_settingsMenu->setObjectName(QStringLiteral("settingsMenu"));
    m_settingsMenu->addAction(m_printSettingsAction);
    m_settingsMenu->addAction(m_changePasswordAction);
    m_settingsMenu->addAction(m_userAdminAction);
    m_settingsMenu->addSeparator();
    m_skinMenu = m_settingsMenu->addMenu(QStringLiteral("界面换肤"));
    m_skinMenu->setObjectName(QStringLiteral("skinMenu"));
    m_skinMenu->addActions(m_skinActions);
    m_settingsMenu->addAction(m_calculatorAction);
    m_settingsMenu->addAction(m_notepadAction);

    // "技术支持" drop-down.
    m_helpAction = makeAction("helpAction", QStringLiteral("使用帮助"));
    m_upgradeAction = makeAction("upgradeAction", QStringLiteral("软件升级"), true);
    connect(m_upgradeAction, &QAction::triggered, this, &TMainForm::checkForUpgrade);
    m_websiteAction = makeAction("websiteAction", QStringLiteral("官方网站"), true);
    m_websiteAction->setStatusTip(MakerInfo::webAddress());
    connect(m_websiteAction, &QAction::triggered, this, &TMainForm::openWebsite);
    // Shows the contact and does nothing when chosen.
    m_serviceContactAction = makeAction("serviceContactAction", MakerInfo::serviceContact());
    m_aboutAction = makeAction("aboutAction", QStringLiteral("关于..."));
    m_supportMenu = new QMenu(this);
    m_supportMenu->setObjectName(QStringLiteral("supportMenu"));
    m_supportMenu->addAction(m_helpAction);
    m_supportMenu->addAction(m_upgradeAction);
    m_supportMenu->addAction(m_websiteAction);
    m_supportMenu->addAction(m_serviceContactAction);
    m_supportMenu->addAction(m_aboutAction);

    // The stock list's context menu.
    m_modifyStockAction = makeAction("modifyStockAction", QStringLiteral("修 改"));
    m_deleteStockAction = makeAction("deleteStockAction", QStringLiteral("删 除"));
    m_allRecordsAction = makeAction("allRecordsAction", QStringLiteral("全部记录"));
    m_exportExcelAction = makeAction("exportExcelAction", QStringLiteral("导出Excel"));
    m_exportExcelAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    m_printListAction = makeAction("printListAction", QStringLiteral("打 印"));
    m_printListAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    m_menuSummaryAction = makeAction("menuSummaryAction", QStringLiteral("汇总统计"));
    m_menuSummaryAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    m_restoreLayoutAction = makeAction("restoreColumnLayoutAction", QStringLiteral("读取列宽"), true);
    m_restoreLayoutAction->setVisible(false);
    connect(m_restoreLayoutAction, &QAction::triggered, this, &TMainForm::restoreColumnLayout);
    m_saveLayoutAction = makeAction("saveColumnLayoutAction", QStringLiteral("保存当前列宽"));
    m_menuTicketAction = makeAction("menuTicketAction", QStringLiteral("销售单(小票)打印"));

    m_stockListMenu = new QMenu(this);
    m_stockListMenu->setObjectName(QStringLiteral("stockListMenu"));
    m_stockListMenu->addAction(m_newStockAction);
    m_stockListMenu->addAction(m_modifyStockAction);
    m_stockListMenu->addAction(m_deleteStockAction);
    m_stockListMenu->addAction(m_allRecordsAction);
    m_stockListMenu->addSeparator();
    m_stockListMenu->addAction(m_exportExcelAction);
    m_stockListMenu->addAction(m_printListAction);
    m_stockListMenu->addSeparator();
    m_stockListMenu->addAction(m_salesDetailAction);
    m_stockListMenu->addAction(m_menuSummaryAction);
    m_stockListMenu->addSeparator();
    m_hideColumnsMenu = m_stockListMenu->addMenu(QStringLiteral("隐藏列"));
    m_hideColumnsMenu->setObjectName(QStringLiteral("hideColumnsMenu"));
    m_hideColumnsMenu->menuAction()->setObjectName(QStringLiteral("hideColumnsAction"));
    for (const ColumnItem &item : kColumnItems) {
        QAction *column = makeAction(item.objectName, QString::fromUtf16(item.caption));
        column->setCheckable(true);
        m_hideColumnsMenu->addAction(column);
        m_columnActions.insert(QString(item.flag), column);
    }
    m_stockListMenu->addAction(m_restoreLayoutAction);
    m_stockListMenu->addAction(m_saveLayoutAction);
    m_stockListMenu->addSeparator();
    m_stockListMenu->addAction(m_menuTicketAction);
    m_stockListMenu->addAction(m_printSettingsAction);

    // The short-cuts work wherever the focus is in the main window.
    addActions({m_exportExcelAction, m_printListAction, m_menuSummaryAction});
}

void TMainForm::buildToolBar(QWidget *parent)
{
    m_toolBar = new QToolBar(parent);
    m_toolBar->setObjectName(QStringLiteral("mainToolBar"));
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolBar->setIconSize(QSize(32, 32));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);

    auto dropDown = [this](const char *objectName, const QString &text, ToolIcons::Kind icon, QMenu *menu) {
        auto *button = new QToolButton(m_toolBar);
        button->setObjectName(QLatin1String(objectName));
        button->setText(text);
        button->setIcon(ToolIcons::icon(icon));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setIconSize(QSize(32, 32));
        button->setMenu(menu);
        button->setPopupMode(QToolButton::InstantPopup);
        m_dropDownButtons.append(button);
        for (QAction *item : menu->actions())
            connect(item, &QAction::changed, this, &TMainForm::updateDropDownButtons);
        return m_toolBar->addWidget(button);
    };

    m_newStockButtonAction =
        dropDown("newStockButton", QStringLiteral("新建入库"), ToolIcons::Kind::NewStock, m_newStockMenu);
    m_toolBar->addAction(m_salesDetailAction);
    m_toolBar->addAction(m_ticketAction);
    m_toolBar->addAction(m_summaryAction);
    m_toolBar->addAction(m_backupAction);
    dropDown("settingsButton", QStringLiteral("设 置"), ToolIcons::Kind::Settings, m_settingsMenu);
    dropDown("supportButton", QStringLiteral("技术支持"), ToolIcons::Kind::Support, m_supportMenu);
    // Object names for the buttons that show a plain action.
    const std::pair<QAction *, const char *> plain[] = {{m_salesDetailAction, "salesDetailButton"},
                                                        {m_ticketAction, "ticketButton"},
                                                        {m_summaryAction, "summaryButton"},
                                                        {m_backupAction, "backupButton"}};
    for (const auto &[action, name] : plain) {
        if (QWidget *button = m_toolBar->widgetForAction(action))
            button->setObjectName(QLatin1String(name));
    }
    updateDropDownButtons();
}

void TMainForm::updateDropDownButtons()
{
    // A drop-down is only worth opening when one of its items can be chosen.
    for (QToolButton *button : std::as_const(m_dropDownButtons)) {
        bool usable = false;
        for (const QAction *item : button->menu()->actions())
            usable = usable || (item->isVisible() && item->isEnabled() && !item->isSeparator());
        button->setEnabled(usable);
    }
}

QWidget *TMainForm::buildBottomArea(QWidget *parent)
{
    auto *bottom = new QWidget(parent);
    bottom->setObjectName(QStringLiteral("bottomArea"));
    auto *layout = new QHBoxLayout(bottom);
    layout->setContentsMargins(2, 0, 2, 2);

    // The stock list's quick query fills this group with its boxes.
    m_quickQueryGroup = new QGroupBox(QStringLiteral(" 快速拼音查询"), bottom);
    m_quickQueryGroup->setObjectName(QStringLiteral("quickQueryGroup"));
    m_quickQueryGroup->setMinimumWidth(520);
    layout->addWidget(m_quickQueryGroup, 1);

    auto *right = new QVBoxLayout;
    right->setSpacing(4);
    buildToolBar(bottom);
    right->addWidget(m_toolBar);

    auto *alarmRow = new QHBoxLayout;
    auto *alarmLabel = new QLabel(QStringLiteral("库存报警数量："), bottom);
    alarmLabel->setObjectName(QStringLiteral("alarmQuantityLabel"));
    m_alarmBox = new QLineEdit(QString(SettingsStore::DefaultAlarmQuantity), bottom);
    m_alarmBox->setObjectName(QStringLiteral("alarmQuantityBox"));
    m_alarmBox->setToolTip(QStringLiteral("修改库存报警数量，记录变成红色"));
    m_alarmBox->setFixedWidth(60);
    // Whole numbers only; a scanner or a slip of the hand cannot store text.
    m_alarmBox->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), m_alarmBox));
    alarmLabel->setBuddy(m_alarmBox);
    connect(m_alarmBox, &QLineEdit::textChanged, this, &TMainForm::storeAlarmQuantity);
    m_zeroStockBox = new QCheckBox(QStringLiteral("不显示零库存"), bottom);
    m_zeroStockBox->setObjectName(QStringLiteral("zeroStockBox"));
    connect(m_zeroStockBox, &QCheckBox::toggled, this, &TMainForm::setZeroStockHidden);
    alarmRow->addWidget(alarmLabel);
    alarmRow->addWidget(m_alarmBox);
    alarmRow->addSpacing(16);
    alarmRow->addWidget(m_zeroStockBox);
    alarmRow->addStretch(1);
    right->addLayout(alarmRow);
    right->addStretch(1);
    layout->addLayout(right);
    return bottom;
}

void TMainForm::buildPanels(QWidget *parent)
{
    // The panels' contents are built by the stock entry, sale and ticket
    // work; here they get their place, size and close picture.
    m_stockEntryPanel = new FloatingPanel(QStringLiteral("Panel3"), QStringLiteral("商品入库"), parent);
    m_stockEntryPanel->setToolTip(QStringLiteral("利用回车Enter键和Tab键进行切换"));
    m_stockEntryPanel->setGeometry(20, 20, 560, 330);
    m_salePanel = new FloatingPanel(QStringLiteral("Panel1"), QStringLiteral("商品销售"), parent);
    m_salePanel->setGeometry(1031 - 339 - 12, 8, 339, 469);
    m_ticketPanel = new FloatingPanel(QStringLiteral("Panel5"), QStringLiteral("销售单据"), parent);
    m_ticketPanel->setGeometry(100, 60, 561, 281);
}

void TMainForm::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(false);
    m_hintPanel = statusPanel(bar, "hintPanel", 350, Qt::AlignLeft);
    m_operatorPanel = statusPanel(bar, "operatorPanel", 200, Qt::AlignHCenter);
    m_operatorPanel->setText(QStringLiteral("操作员："));
    m_todayPanel = statusPanel(bar, "todayPanel", 200, Qt::AlignHCenter);
    m_todayPanel->setText(QStringLiteral("今天：") + ShopContext::todayText());
    // 300 wide by design; the four panels are wider than the window, so the
    // last one takes what the other three leave instead of running out of it.
    m_websitePanel = statusPanel(bar, "websitePanel", 0, Qt::AlignRight);
    m_websitePanel->setText(MakerInfo::webAddress());
    bar->addWidget(m_hintPanel);
    bar->addWidget(m_operatorPanel);
    bar->addWidget(m_todayPanel);
    bar->addWidget(m_websitePanel, 1);
}

// ---------------------------------------------------------------- events

bool TMainForm::event(QEvent *event)
{
    // Hints go to the first status panel only, so the other three panels
    // stay visible while the mouse moves over the menus.
    if (event->type() == QEvent::StatusTip) {
        m_hintPanel->setText(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_firstShowDone) {
        m_firstShowDone = true;
        if (const QScreen *screen = this->screen())
            move(screen->availableGeometry().center() - frameGeometry().center() + pos());
        applyStoredPreferences();
        // Without a window manager (a kiosk session, a remote display) the
        // window may never be activated; the sign-in must come all the same.
        requestLogin();
    }
    layoutStockList();
}

void TMainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    layoutStockList();
}

void TMainForm::layoutStockList()
{
    // Measured from the client area, which is the same before and after the
    // window manager adds its frame: the frame geometry leaves the title bar
    // out at the first show and counts it after a resize.
    const int designed = height() + DesignFrameHeight - BottomAreaHeight;
    // Larger fonts or another style may need more room below: the quick query
    // rows and the tool bar are never squeezed, the list gives way.
    const QVBoxLayout *layout = static_cast<QVBoxLayout *>(m_central->layout());
    const int room = m_central->height() - layout->contentsMargins().top() -
                     layout->contentsMargins().bottom() - layout->spacing() -
                     m_bottomArea->minimumSizeHint().height();
    m_stockListArea->setFixedHeight(std::max(std::min(designed, room), 0));
    // Place the bottom area under the list now, not at the next layout pass.
    m_central->layout()->activate();
}

void TMainForm::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        requestLogin();
}

void TMainForm::requestLogin()
{
    if (tag() != 0 || m_loginRunning || m_loginQueued)
        return;
    // The sign-in runs after the current event has been handled, not inside
    // it: a modal loop inside the window system's event would stall it.
    m_loginQueued = true;
    QTimer::singleShot(0, this, &TMainForm::runLoginIfNeeded);
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    if (tag() != 0) {
        try {
            // Signed in while the file check ran and closed before it ended:
            // the row is written now, once the check has passed.
            if (session().id == Session::kRowPending && m_db.ensureWritable())
                m_context->setSessionId(SessionLog(m_db).open(session().username, m_signedInAt));
            SessionLog(m_db).close(tag());
        } catch (const DatabaseError &error) {
            // The shop must still be able to close the program; the session
            // row merely keeps an empty end time.
            Prompter::error(this, error.message());
        }
        // Only a signed-in run can have sold anything: a cancelled sign-in
        // keeps the stored date, so the next day's first order still starts
        // at number 1.
        m_settings.setLastSaleDate(m_context->saleDateText());
        // After the session's end time, so the backup has it.
        BackupProgress::runAutomaticBackup(this, m_db, m_settings, BackupProgress::userDataFolder());
    }
    QMainWindow::closeEvent(event);
}

// ---------------------------------------------------------------- first show

void TMainForm::applyStoredPreferences()
{
    m_context->loadStoredValues();
    applyColumnFlags();
    m_salesDetail->applyStoredColumnFlags();
    m_stockEntryPanel->hide();

    QPalette hints = QToolTip::palette();
    hints.setColor(QPalette::ToolTipBase, kHintColour);
    hints.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(hints);
    for (QWidget *widget : findChildren<QWidget *>()) {
        if (widget->toolTip().isEmpty())
            continue;
        widget->setToolTipDuration(kHintMilliseconds);
        // The hovered control's hint also stands in the status bar's hint
        // panel (the status tip travels up to this window's event()).
        if (widget->statusTip().isEmpty())
            widget->setStatusTip(widget->toolTip());
    }

    m_context->fillDateBoxes();

    if (m_settings.keyExists()) {
        const std::optional<int> skin = m_settings.skinIndex();
        if (skin && *skin < Skins::count() && Skins::apply(*skin))
            m_skinActions.at(*skin)->setChecked(true);
        const QString alarm = m_settings.value(SettingsStore::Keys::AlarmQuantity);
        if (!alarm.isEmpty()) {
            const QSignalBlocker quiet(m_alarmBox);
            m_alarmBox->setText(alarm);
        }
    }

    m_todayPanel->setText(QStringLiteral("今天：") + ShopContext::todayText());
}

void TMainForm::applyColumnFlags()
{
    for (const ColumnItem &item : kColumnItems) {
        if (const std::optional<bool> hidden = m_settings.columnHidden(QString(item.flag)))
            m_columnActions.value(QString(item.flag))->setChecked(*hidden);
    }
}

// ---------------------------------------------------------------- sign-in

void TMainForm::runLoginIfNeeded()
{
    m_loginQueued = false;
    if (tag() != 0 || m_loginRunning || !isVisible())
        return;
    m_loginRunning = true;
    const LoginOutcome outcome = m_loginRunner(*this);
    m_loginRunning = false;
    // The sign-in window reloads the stock list when it closes, whatever
    // the outcome.
    showAllRecords();
    if (!outcome.accepted || outcome.session.id == 0) {
        close();
        return;
    }
    afterLogin(outcome);
}

void TMainForm::afterLogin(const LoginOutcome &outcome)
{
    m_context->setSession(outcome.session);
    m_signedInAt = Clock::current().now();
    if (session().id == Session::kRowPending) {
        // The session row waits for the file check of the start; a damaged
        // file is refused by that check (StartupChecks) and gets no row.
        m_db.whenChecked(this, [this](const QString &refusal) {
            if (!refusal.isEmpty() || session().id != Session::kRowPending)
                return;
            try {
                m_context->setSessionId(SessionLog(m_db).open(session().username, m_signedInAt));
            } catch (const DatabaseError &error) {
                Prompter::error(this, error.message());
            }
        });
    }
    if (outcome.hideZeroStock) {
        m_stockList->setZeroStockHidden(*outcome.hideZeroStock);
        m_zeroStockBox->setChecked(*outcome.hideZeroStock);
        showAllRecords();
    }
    m_restoreLayoutAction->trigger();
    activateWindow();
    m_operatorPanel->setText(QStringLiteral("操作员：") + session().username);
    if (session().isRestricted())
        applyRestrictedMode();
    // The default password is known to everybody who ever set up an account.
    if (outcome.defaultPassword) {
        openPasswordChange();
        if (m_passwordWindow)
            m_passwordWindow->suggestNewPassword(session().username, Schema::kDefaultPassword);
    }
}

void TMainForm::applyRestrictedMode()
{
    for (QAction *action : {m_modifyStockAction, m_deleteStockAction, m_newStockAction, m_excelImportAction,
                            m_userAdminAction, m_changePasswordAction, m_newStockButtonAction,
                            m_columnActions.value(QString(SettingsStore::Keys::HideStockPurchasePrice)),
                            m_columnActions.value(QString(SettingsStore::Keys::HideStockAmounts))})
        action->setVisible(false);
    // The sale date turns read-only; the stock list hides its purchase price
    // and amount columns, the sales-detail and summary windows their own parts.
    m_context->applyRestrictedMode();
}

void TMainForm::toggleTicketPanel()
{
    m_ticketPanel->toggle();
}

void TMainForm::showAllRecords()
{
    if (m_stockList)
        m_stockList->showAllRecords();
    emit allRecordsRequested();
}

void TMainForm::restoreColumnLayout()
{
    if (m_stockList)
        m_stockList->restoreColumnLayout();
    emit columnLayoutRestoreRequested();
}

// ---------------------------------------------------------------- services

void TMainForm::ShowSuccessNotice(const QString &text)
{
    m_successNotice->showNotice(text);
}

void TMainForm::setZeroStockHidden(bool hide)
{
    m_stockList->setZeroStockHidden(hide);
    showAllRecords();
    m_settings.setHideZeroStock(hide);
}

void TMainForm::storeAlarmQuantity()
{
    // An emptied box means no alarm; setting "0" comes back here and stores it.
    if (m_alarmBox->text().isEmpty()) {
        m_alarmBox->setText(QStringLiteral("0"));
        return;
    }
    m_settings.setAlarmQuantity(m_alarmBox->text());
}

void TMainForm::chooseSkin(int index)
{
    if (!Skins::apply(index))
        return;
    m_skinActions.at(index)->setChecked(true);
    m_settings.setSkinIndex(index);
}

void TMainForm::openUserAdministration()
{
    ShowOrCreateWindow(m_userWindow, this,
                       [this](QWidget *owner) { return new Tuserglfm(m_db, session(), owner); });
}

void TMainForm::openBackup()
{
    ShowOrCreateWindow(m_backupWindow, this, [this](QWidget *owner) {
        auto *window = new Trepair(m_db, m_settings, BackupProgress::userDataFolder(), owner);
        // The connection is open again: list the (perhaps restored) data.
        connect(window, &Trepair::closed, this, [this] {
            showAllRecords();
            show();
        });
        return window;
    });
    hide();
}

void TMainForm::openPasswordChange()
{
    ShowOrCreateWindow(m_passwordWindow, this,
                       [this](QWidget *owner) { return new Tchangepassfm(m_db, session(), owner); });
}

void TMainForm::openHelp()
{
    if (!m_helpWindow)
        m_helpWindow = new Tchhform(this);
    BringWindowToFront(m_helpWindow);
}

void TMainForm::openAbout()
{
    TAboutBox about(m_db, this);
    about.exec();
}

void TMainForm::openWebsite()
{
    if (!QDesktopServices::openUrl(MakerInfo::websiteUrl()))
        Prompter::warning(this, QStringLiteral("无法打开浏览器，请手动访问 %1").arg(MakerInfo::webAddress()));
}

void TMainForm::checkForUpgrade()
{
    if (!m_upgrade) {
        OnlineUpgrade::Setup setup;
        setup.infoUrl = UpgradeSettings::infoUrl(m_settings);
        setup.releaseDate = UpgradeSettings::releaseDate();
        setup.programPath = QCoreApplication::applicationFilePath();
        setup.programTitle = caption();
        setup.publicKey = UpgradeSignature::builtInPublicKey();
        setup.upgraderSource = UpgradeHandOver::upgraderResource();
        setup.programArguments = QCoreApplication::arguments();
        m_upgrade = new OnlineUpgrade(setup, this);
        // The upgrader waits for this process to end before it swaps files.
        connect(m_upgrade, &OnlineUpgrade::handedOver, this, [this] {
            close();
            QCoreApplication::quit();
        });
    }
    m_upgrade->check();
}

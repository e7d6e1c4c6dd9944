#include "Txstj.h"

#include "common/DataGrid.h"
#include "common/FilterBar.h"
#include "common/GridExporter.h"
#include "common/GridPrinter.h"
#include "common/NumberBox.h"
#include "common/Prompter.h"
#include "common/ShopContext.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "data/FieldCheck.h"
#include "data/FieldHelpers.h"
#include "data/FieldLimits.h"
#include "data/GridLayoutStore.h"
#include "data/NumberFormat.h"
#include "data/QueryHelpers.h"
#include "data/SettingsStore.h"
#include "data/SqlListModel.h"
#include "sales/SalesLedger.h"
#include "sales/Tform22.h"
#include "shell/FloatingPanel.h"

#include <QAction>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

// One hiding entry of the context menu: its stored flag, caption, columns
// and whether "yes" shows (the order number) instead of hiding.
struct FlagEntry
{
    QLatin1String flag;
    const char *objectName;
    const char16_t *caption;
    QList<int> columns;
    bool showsWhenChecked = false;
};

const QList<FlagEntry> &flagEntries()
{
    using K = SettingsStore::Keys;
    static const QList<FlagEntry> entries{
        {K::HideSalesUnitPrice, "hideSalesPriceAction", u"隐藏销售单价", {4}},
        {K::HideSalesDate, "hideSalesDateAction", u"隐藏销售日期", {7}},
        {K::HideSalesDebt, "hideSalesDebtAction", u"隐藏欠款", {8}},
        {K::HideSalesProfit, "hideSalesProfitAction", u"隐藏净利润", {9}},
        {K::HideSalesCustomer, "hideAllCustomerAction", u"隐藏全部客户信息", {11, 12, 13, 14}},
        {K::ShowSalesOrderNumber, "showOrderNumberAction", u"显示客户编号", {10}, true},
        {K::HideSalesCustomerName, "hideCustomerNameAction", u"隐藏客户名称", {11}},
        {K::HideSalesCustomerContact, "hideCustomerContactAction", u"隐藏联系方式", {12}},
        {K::HideSalesCustomerAddress, "hideCustomerAddressAction", u"隐藏地址", {13}},
        {K::HideSalesCustomerRemark, "hideCustomerRemarkAction", u"隐藏备注", {14}},
    };
    return entries;
}

const FlagEntry *entryOf(const QString &flag)
{
    for (const FlagEntry &entry : flagEntries()) {
        if (flag == entry.flag)
            return &entry;
    }
    return nullptr;
}

constexpr int kProfitColumn = 9;
constexpr int kOrderNumberColumn = 10;

QList<DataGridColumn> salesColumns()
{
    const QString goods = QStringLiteral("商 品 信 息");
    const QString sale = QStringLiteral("销 售 信 息");
    const QString customer = QStringLiteral("客 户");
    auto column = [](const QString &field, const QString &upper, const QString &lower, int width) {
        DataGridColumn c;
        c.field = field;
        c.upperTitle = upper;
        c.lowerTitle = lower;
        c.width = width;
        return c;
    };
    auto number = [&](const QString &field, const QString &lower, const QString &pattern, bool summed) {
        DataGridColumn c = column(field, sale, lower, 60);
        c.alignment = Qt::AlignRight;
        c.pattern = pattern;
        c.footer = summed ? DataGridColumn::Footer::Sum : DataGridColumn::Footer::None;
        c.footerAlignment = Qt::AlignRight;
        return c;
    };
    // Amounts: the footer total is rounded to the cent.
    auto money = [&](const QString &field, const QString &lower, const QString &pattern) {
        DataGridColumn c = number(field, lower, pattern, true);
        c.money = true;
        return c;
    };

    DataGridColumn name = column(QStringLiteral("a"), goods, QStringLiteral(" 名 称"), 70);
    name.footer = DataGridColumn::Footer::Text;
    name.footerText = QStringLiteral("合计");
    name.footerAlignment = Qt::AlignHCenter;
    DataGridColumn day = column(QStringLiteral("day1"), sale, QStringLiteral("日 期"), 70);
    day.alignment = Qt::AlignHCenter;
    DataGridColumn order = column(QStringLiteral("z"), sale, QStringLiteral("单 号"), 60);
    order.alignment = Qt::AlignHCenter;
    order.visible = false;

    return {
        name,
        column(QStringLiteral("b"), goods, QStringLiteral("规格型号"), 70),
        column(QStringLiteral("c"), goods, QStringLiteral(" 编 码"), 70),
        column(QStringLiteral("d"), goods, QStringLiteral("类 别"), 70),
        number(QStringLiteral("2"), QStringLiteral("单 价"), QString(), false),
        number(QStringLiteral("3"), QStringLiteral("数 量"), QStringLiteral("#0.###"), true),
        money(QStringLiteral("4"), QStringLiteral("金 额"), QStringLiteral("#0.##")),
        day,
        money(QStringLiteral("6"), QStringLiteral("欠款额"), QStringLiteral("#0.##")),
        money(QStringLiteral("a5"), QStringLiteral("净利润"), QString()),
        order,
        column(QStringLiteral("g"), customer, QStringLiteral("名 称"), 60),
        column(QStringLiteral("i"), customer, QStringLiteral("联系方式"), 60),
        column(QStringLiteral("h"), customer, QStringLiteral("地 址"), 60),
        column(QStringLiteral("j"), customer, QStringLiteral("备 注"), 60),
    };
}

QPushButton *button(const QString &text, const char *objectName, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(objectName));
    b->setAutoDefault(false);
    return b;
}

// A panel field's text: numbers in the general form, dates as the program
// shows them.
QString fieldText(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QString();
    if (value.metaType().id() == QMetaType::QDate)
        return value.toDate().toString(ShopContext::dateFormat());
    if (value.metaType().id() == QMetaType::Double || value.metaType().id() == QMetaType::Float)
        return NumberFormat::general(value.toDouble());
    return value.toString();
}

} // namespace

Txstj::Txstj(ShopContext &context, QWidget *parent)
    : QDialog(parent, Qt::Window), m_context(context), m_db(context.database()),
      m_settings(context.settings())
{
    setObjectName(QStringLiteral("Txstj"));
    setWindowTitle(QStringLiteral("销售明细"));
    resize(1000, 660);
    setMinimumSize(760, 520);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    layout->addWidget(m_pages);

    auto *listPage = new QWidget(m_pages);
    listPage->setObjectName(QStringLiteral("listPage"));
    m_pages->addTab(listPage, QStringLiteral("销售明细"));
    auto *statisticsPage = new QWidget(m_pages);
    statisticsPage->setObjectName(QStringLiteral("statisticsPage"));
    m_pages->addTab(statisticsPage, QStringLiteral("销售统计"));
    connect(m_pages, &QTabWidget::currentChanged, this, &Txstj::showChartsIfStale);

    buildListPage(listPage);
    buildEditPanel(listPage);
    buildMenu();
    buildStatisticsPage(statisticsPage);

    connect(&context, &ShopContext::restrictedModeApplied, this, &Txstj::applyRestrictedMode);
}

// ---------------------------------------------------------------- building

void Txstj::buildListPage(QWidget *page)
{
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(4);

    m_grid = new DataGrid(page);
    m_grid->setObjectName(QStringLiteral("salesGrid"));
    m_list = new SqlListModel(m_db, this);
    // Names and models sort as a Chinese reader looks them up: by their pinyin
    // initials, then by the text.
    m_list->setSortKeys(QStringLiteral("a"), {QStringLiteral("e"), QStringLiteral("a")}, Qt::CaseInsensitive);
    m_list->setSortKeys(QStringLiteral("b"), {QStringLiteral("f"), QStringLiteral("b")}, Qt::CaseInsensitive);
    m_grid->setColumns(salesColumns());
    m_grid->setListModel(m_list);
    m_grid->useShopGroupColours();
    m_grid->setRowBackground(QColor(238, 238, 238));
    m_grid->setFooterBackground(QColor(255, 194, 134));
    m_grid->setHint(QStringLiteral("点列标题进行排序，双击记录进行修改"));
    // Returns, and lines whose quantity rounds to nothing, stand out in red.
    m_grid->setRowColourRule([](const RowAccessor &row) {
        const QVariant quantity = row.value(QStringLiteral("3"));
        const double rounded = quantity.isNull() ? 0.0 : NumberFormat::roundHalfEven(quantity.toDouble());
        return rounded <= 0 ? QColor(Qt::red) : QColor();
    });
    layout->addWidget(m_grid, 1);

    connect(m_list, &SqlListModel::queryFailed, this, [this](const QString &message) {
        Prompter::error(this, QStringLiteral("销售明细查询失败：%1").arg(message));
    });
    connect(m_grid, &DataGrid::aboutToSort, this, &Txstj::closeEditPanel);
    connect(m_grid, &DataGrid::rowClicked, this, &Txstj::onRowClicked);
    connect(m_grid, &DataGrid::rowActivated, this, [this] { openEditPanel(PanelMode::Modify); });

    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(4);
    auto *filterGroup = new QGroupBox(QStringLiteral("快速拼音查询"), page);
    filterGroup->setObjectName(QStringLiteral("filterGroup"));
    buildFilterBar(page, filterGroup);
    bottom->addWidget(filterGroup, 1);

    auto *side = new QVBoxLayout;
    side->setSpacing(4);
    auto *returnsGroup = new QGroupBox(QStringLiteral("退货"), page);
    returnsGroup->setObjectName(QStringLiteral("returnsGroup"));
    auto *returns = new QHBoxLayout(returnsGroup);
    returns->setContentsMargins(6, 4, 6, 4);
    QPushButton *returnsQuery = button(QStringLiteral("查 询"), "returnsQueryButton", returnsGroup);
    QPushButton *allReturns = button(QStringLiteral("全部退货"), "allReturnsButton", returnsGroup);
    returns->addWidget(returnsQuery);
    returns->addWidget(allReturns);
    connect(returnsQuery, &QPushButton::clicked, this,
            [this] { runFilter(SalesDetailQuery::Kind::Returns); });
    connect(allReturns, &QPushButton::clicked, this, &Txstj::showAllReturns);
    side->addWidget(returnsGroup);

    auto *orderGroup = new QGroupBox(QStringLiteral("销售单打印"), page);
    orderGroup->setObjectName(QStringLiteral("orderGroup"));
    buildOrderGroup(orderGroup);
    side->addWidget(orderGroup);
    side->addStretch(1);
    bottom->addLayout(side);
    layout->addLayout(bottom);
}

void Txstj::buildFilterBar(QWidget *page, QGroupBox *group)
{
    Q_UNUSED(page);
    FilterBar bar(group);
    bar.setHintsInside(true);
    const QString initialsHint = QStringLiteral("输入字母拼音查询");
    m_categoryBox = bar.addChoice("categoryBox", QStringLiteral("类 别："));
    m_nameBox = bar.addText("nameBox", QStringLiteral("商品名称："), initialsHint);
    m_modelBox = bar.addText("modelBox", QStringLiteral("规格型号："), initialsHint);
    m_codeBox = bar.addText("codeBox", QStringLiteral("商品编码："));
    m_customerBox = bar.addText("customerBox", QStringLiteral("客户名称："));
    m_remarkBox = bar.addText("remarkBox", QStringLiteral("备 注："));
    bar.addDateRange(QStringLiteral("销售日期："));
    m_dateRangeBox = bar.dateRangeBox();
    m_firstDateBox = bar.firstDateBox();
    m_lastDateBox = bar.lastDateBox();
    QPushButton *query = bar.addButton("queryButton", QStringLiteral("查 询"));
    QPushButton *month = bar.addButton("thisMonthButton", QStringLiteral("本 月"));
    QPushButton *today = bar.addButton("todayButton", QStringLiteral("当 天"));
    QPushButton *clear = bar.addButton("clearConditionsButton", QStringLiteral("清空条件"));
    QPushButton *all = bar.addButton("allRecordsButton", QStringLiteral("全部记录"));
    bar.finish();

    // Every change of a box narrows the list at once.
    connect(m_categoryBox, &QComboBox::editTextChanged, this, [this] { runFilter(); });
    for (QLineEdit *box : {m_nameBox, m_modelBox, m_codeBox, m_customerBox, m_remarkBox}) {
        connect(box, &QLineEdit::textChanged, this, [this] { runFilter(); });
        box->installEventFilter(this);
    }
    connect(query, &QPushButton::clicked, this, [this] { runFilter(); });
    connect(month, &QPushButton::clicked, this, &Txstj::showThisMonth);
    connect(today, &QPushButton::clicked, this, &Txstj::showToday);
    connect(clear, &QPushButton::clicked, this, &Txstj::clearConditions);
    connect(all, &QPushButton::clicked, this, &Txstj::showAllRecords);
}

void Txstj::buildOrderGroup(QGroupBox *group)
{
    auto *layout = new QGridLayout(group);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(4);
    m_orderNumberBox = new QLineEdit(group);
    m_orderNumberBox->setObjectName(QStringLiteral("orderNumberBox"));
    m_orderNumberBox->setMinimumWidth(120);
    QPushButton *query = button(QStringLiteral("查 询"), "orderQueryButton", group);
    QPushButton *preview = button(QStringLiteral("销售单预览"), "orderPreviewButton", group);
    layout->addWidget(FilterBar::caption(QStringLiteral("销售单号："), m_orderNumberBox, group), 0, 0);
    layout->addWidget(m_orderNumberBox, 0, 1, 1, 2);
    layout->addWidget(query, 1, 1);
    layout->addWidget(preview, 1, 2);
    connect(query, &QPushButton::clicked, this, &Txstj::runOrderNumberQuery);
    connect(preview, &QPushButton::clicked, this, &Txstj::previewOrderDocument);
    connect(m_orderNumberBox, &QLineEdit::returnPressed, this, &Txstj::runOrderNumberQuery);

    // The order document's header lines; kept here, out of sight, and stored
    // whenever they change.
    m_companyBox = new QLineEdit(group);
    m_companyBox->setObjectName(QStringLiteral("companyBox"));
    m_companyBox->hide();
    m_addressBox = new QLineEdit(group);
    m_addressBox->setObjectName(QStringLiteral("addressBox"));
    m_addressBox->hide();
    connect(m_companyBox, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_settings.setCompany(text); });
    connect(m_addressBox, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_settings.setAddress(text); });
}

void Txstj::buildEditPanel(QWidget *parent)
{
    m_editPanel = new FloatingPanel(QStringLiteral("saleEditPanel"), QStringLiteral("销售记录"), parent);
    QWidget *content = m_editPanel->content();
    auto *grid = new QGridLayout(content);
    grid->setContentsMargins(8, 4, 8, 8);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);

    struct Field
    {
        const char16_t *caption;
        QLatin1String field;
        const char *objectName;
        bool editable;
    };
    const Field fields[] = {
        {u"商品名称：", QLatin1String("a"), "panelNameBox", false},
        {u"规格型号：", QLatin1String("b"), "panelModelBox", false},
        {u"商品编码：", QLatin1String("c"), "panelCodeBox", false},
        {u"类 别：", QLatin1String("d"), "panelCategoryBox", false},
        {u"销售日期：", QLatin1String("day1"), "panelDateBox", false},
        {u"销售单价：", QLatin1String("2"), "panelPriceBox", false},
        {u"销售数量：", QLatin1String("3"), "panelQuantityBox", false},
        {u"销售金额：", QLatin1String("4"), "panelAmountBox", false},
        {u"欠款金额：", QLatin1String("6"), "panelDebtBox", true},
        {u"销售单号：", QLatin1String("z"), "panelOrderNumberBox", true},
        {u"客户名称：", QLatin1String("g"), "panelCustomerBox", true},
        {u"地 址：", QLatin1String("h"), "panelAddressBox", true},
        {u"联系方式：", QLatin1String("i"), "panelContactBox", true},
        {u"备 注：", QLatin1String("j"), "panelRemarkBox", true},
    };
    int row = 0;
    for (const Field &f : fields) {
        QLineEdit *box = nullptr;
        if (f.field == QLatin1String("6")) {
            m_debtBox = new NumberBox(NumberBox::Arrows::None, content);
            box = m_debtBox;
        } else {
            box = new QLineEdit(content);
        }
        box->setObjectName(QLatin1String(f.objectName));
        box->setReadOnly(!f.editable);
        if (f.editable && box != m_debtBox)
            box->setMaxLength(FieldLimits::maxLength(QString(f.field)));
        if (!f.editable)
            box->setFocusPolicy(Qt::ClickFocus);
        m_panelFields.insert(QString(f.field), box);
        grid->addWidget(FilterBar::caption(QString::fromUtf16(f.caption), box, content), row, 0);
        grid->addWidget(box, row, 1);
        if (box == m_debtBox) {
            auto *hint = new QLabel(QStringLiteral("无欠款填0"), content);
            hint->setStyleSheet(QStringLiteral("color: #c00000;"));
            grid->addWidget(hint, row, 2);
        }
        ++row;
    }
    m_debtBox->installEventFilter(this);
    // Enter goes down the editable boxes; in the last it confirms.
    const QList<QLineEdit *> chain{
        m_panelFields.value(QStringLiteral("z")), m_panelFields.value(QStringLiteral("g")),
        m_panelFields.value(QStringLiteral("h")), m_panelFields.value(QStringLiteral("i")),
        m_panelFields.value(QStringLiteral("j"))};
    for (int i = 0; i + 1 < chain.size(); ++i) {
        QLineEdit *next = chain.at(i + 1);
        connect(chain.at(i), &QLineEdit::returnPressed, next, [next] { next->setFocus(); });
    }

    auto *buttons = new QHBoxLayout;
    m_panelDeleteButton = button(QStringLiteral("删 除"), "panelDeleteButton", content);
    m_panelModifyButton = button(QStringLiteral("修 改"), "panelModifyButton", content);
    buttons->addStretch(1);
    buttons->addWidget(m_panelDeleteButton);
    buttons->addWidget(m_panelModifyButton);
    buttons->addStretch(1);
    grid->addLayout(buttons, row, 0, 1, 3);
    connect(m_panelDeleteButton, &QPushButton::clicked, this, &Txstj::confirmDelete);
    connect(m_panelModifyButton, &QPushButton::clicked, this, &Txstj::confirmModify);
    connect(chain.last(), &QLineEdit::returnPressed, this, [this] {
        if (m_panelModifyButton->isVisible())
            confirmModify();
    });

    m_editPanel->adjustSize();
    m_editPanel->resize(std::max(m_editPanel->width(), 330), m_editPanel->sizeHint().height());
    m_editPanel->move(40, 30);
    m_editPanel->hide();
}

void Txstj::buildMenu()
{
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("salesGridMenu"));
    auto add = [this](const char *objectName, const QString &text, const QKeySequence &shortcut = {}) {
        auto *action = new QAction(text, this);
        action->setObjectName(QLatin1String(objectName));
        if (!shortcut.isEmpty()) {
            action->setShortcut(shortcut);
            action->setShortcutContext(Qt::WindowShortcut);
            addAction(action);
        }
        m_menu->addAction(action);
        return action;
    };
    m_modifyAction = add("modifySaleAction", QStringLiteral("修 改 "));
    m_deleteAction = add("deleteSaleAction", QStringLiteral("删 除"), QKeySequence(Qt::Key_Delete));
    QAction *exportAction =
        add("exportSalesAction", QStringLiteral("导出Excel"), QKeySequence(Qt::CTRL | Qt::Key_E));
    QAction *printAction =
        add("printSalesAction", QStringLiteral("打 印"), QKeySequence(Qt::CTRL | Qt::Key_D));
    m_menu->addSeparator();
    QAction *saveLayout = add("saveSalesLayoutAction", QStringLiteral("保存当前列宽"));
    m_menu->addSeparator();
    for (const FlagEntry &entry : flagEntries()) {
        QAction *action = add(entry.objectName, QString::fromUtf16(entry.caption));
        action->setCheckable(true);
        action->setProperty("flag", QString(entry.flag));
        m_flagActions.insert(QString(entry.flag), action);
        connect(action, &QAction::triggered, this,
                [this, action](bool checked) { toggleColumnFlag(action, checked); });
        if (entry.flag == SettingsStore::Keys::HideSalesProfit ||
            entry.flag == SettingsStore::Keys::HideSalesCustomerRemark)
            m_menu->addSeparator();
    }
    m_showAllColumnsAction = add("showAllSalesColumnsAction", QStringLiteral("全部显示"));

    connect(m_modifyAction, &QAction::triggered, this, [this] { openEditPanel(PanelMode::Modify); });
    connect(m_deleteAction, &QAction::triggered, this, [this] { openEditPanel(PanelMode::Delete); });
    connect(exportAction, &QAction::triggered, this, &Txstj::exportList);
    connect(printAction, &QAction::triggered, this, &Txstj::printList);
    connect(saveLayout, &QAction::triggered, this, [this] {
        if (!saveColumnLayout())
            Prompter::warning(this, QStringLiteral("列宽保存失败，请检查配置文件是否可写。"));
    });
    connect(m_showAllColumnsAction, &QAction::triggered, this, &Txstj::showAllColumns);

    QTableView *view = m_grid->view();
    view->installEventFilter(this);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](const QPoint &pos) { m_menu->popup(view->viewport()->mapToGlobal(pos)); });
}

void Txstj::buildStatisticsPage(QWidget *page)
{
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(4);
    m_monthlyPanel = buildChart(Chart::Monthly, page);
    m_dailyPanel = buildChart(Chart::Daily, page);
    layout->addWidget(m_monthlyPanel, 1);
    layout->addWidget(m_dailyPanel, 1);
}

QWidget *Txstj::buildChart(Chart which, QWidget *parent)
{
    const bool monthly = which == Chart::Monthly;
    auto *panel = new QWidget(parent);
    panel->setObjectName(QLatin1String(monthly ? "monthlyChartPanel" : "dailyChartPanel"));
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);

    auto *chart = new QChart;
    chart->setTitle(monthly ? QStringLiteral("月销售报表统计") : QStringLiteral("日销售报表统计"));
    QFont titleFont = chart->titleFont();
    titleFont.setPixelSize(14);
    titleFont.setBold(true);
    chart->setTitleFont(titleFont);
    chart->legend()->hide();
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setBackgroundRoundness(0);

    auto *bars = new QBarSet(monthly ? QStringLiteral("月份") : QStringLiteral("日期"));
    bars->setColor(monthly ? QColor(Qt::yellow) : QColor(255, 128, 64));
    bars->setBorderColor(QColor(96, 96, 96));
    bars->setLabelColor(Qt::black);
    auto *series = new QBarSeries;
    series->append(bars);
    series->setBarWidth(0.5);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsFormat(QStringLiteral("@value"));
    chart->addSeries(series);

    const int slotCount = monthly ? 12 : 32;
    // Fixed slots 0 to 12 (or 32); each bar stands over its month or day.
    auto *x = new QCategoryAxis;
    x->setRange(-0.5, slotCount + 0.5);
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const QString unit = monthly ? QStringLiteral("月") : QStringLiteral("日");
    // Every other day is labelled: 33 labels do not fit a window's width.
    for (int slot = 0; slot <= slotCount; slot += monthly ? 1 : 2)
        x->append(QString::number(slot) + unit, slot);
    QFont labelFont = x->labelsFont();
    labelFont.setPixelSize(12);
    x->setLabelsFont(labelFont);
    x->setGridLineVisible(false);
    x->setMinorGridLineVisible(false);
    x->setLinePen(QPen(QColor(128, 128, 64), 3));
    auto *y = new QValueAxis;
    y->setRange(0, 10);
    y->setLabelFormat(QStringLiteral("%.0f"));
    y->setGridLineVisible(false);
    y->setMinorGridLineVisible(false);
    y->setLinePen(QPen(QColor(192, 192, 192), 3));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);

    auto *view = new QChartView(chart, panel);
    view->setObjectName(QLatin1String(monthly ? "monthlyChart" : "dailyChart"));
    view->setRenderHint(QPainter::Antialiasing);
    row->addWidget(view, 1);

    auto *side = new QVBoxLayout;
    side->setSpacing(6);
    auto *yearBox = new QComboBox(panel);
    yearBox->setObjectName(QLatin1String(monthly ? "monthlyYearBox" : "dailyYearBox"));
    yearBox->setEditable(true);
    yearBox->setInsertPolicy(QComboBox::NoInsert);
    for (int year = 2009; year <= 2016; ++year)
        yearBox->addItem(QString::number(year));
    auto *boxes = new QGridLayout;
    boxes->addWidget(yearBox, 0, 0);
    boxes->addWidget(new QLabel(QStringLiteral("年"), panel), 0, 1);
    if (monthly) {
        m_monthlyYearBox = yearBox;
    } else {
        m_dailyYearBox = yearBox;
        m_dailyMonthBox = new QComboBox(panel);
        m_dailyMonthBox->setObjectName(QStringLiteral("dailyMonthBox"));
        m_dailyMonthBox->setEditable(true);
        m_dailyMonthBox->setInsertPolicy(QComboBox::NoInsert);
        for (int month = 1; month <= 12; ++month)
            m_dailyMonthBox->addItem(QString::number(month));
        boxes->addWidget(m_dailyMonthBox, 1, 0);
        boxes->addWidget(new QLabel(QStringLiteral("月份"), panel), 1, 1);
    }
    side->addLayout(boxes);
    QPushButton *profit =
        button(QStringLiteral("查询利润"), monthly ? "monthlyProfitButton" : "dailyProfitButton", panel);
    QPushButton *amount =
        button(QStringLiteral("查询销售额"), monthly ? "monthlyAmountButton" : "dailyAmountButton", panel);
    side->addWidget(profit);
    side->addWidget(amount);
    side->addStretch(1);
    row->addLayout(side);
    connect(profit, &QPushButton::clicked, this,
            [this, which] { queryChart(which, SalesStatistics::Kind::Profit); });
    connect(amount, &QPushButton::clicked, this,
            [this, which] { queryChart(which, SalesStatistics::Kind::SalesAmount); });

    if (monthly) {
        m_monthlyView = view;
        m_monthlyBars = bars;
    } else {
        m_dailyView = view;
        m_dailyBars = bars;
    }
    return panel;
}

// ---------------------------------------------------------------- showing and closing

void Txstj::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_grid->restoreLayout(GridLayoutStore(), QString(GridLayoutStore::SalesDetailSection));

    const QDate today = Clock::current().today();
    for (QComboBox *year : {m_monthlyYearBox, m_dailyYearBox})
        year->setEditText(QString::number(today.year()));
    m_dailyMonthBox->setEditText(QString::number(today.month()));
    m_firstDateBox->setDate(today);
    m_lastDateBox->setDate(today);

    // The charts are queried when their page is turned to, not at every showing.
    chartsChanged();
    showThisMonth();

    if (m_settings.keyExists()) {
        // Loading is no change of the operator's: nothing is written back.
        const QSignalBlocker quietCompany(m_companyBox);
        const QSignalBlocker quietAddress(m_addressBox);
        m_companyBox->setText(m_settings.company());
        m_addressBox->setText(m_settings.address());
    }
}

void Txstj::done(int result)
{
    closeEditPanel();
    QDialog::done(result);
    // Deletions gave stock back: the stock list shows it again in full.
    m_context.requestAllRecords();
}

// ---------------------------------------------------------------- views

void Txstj::setList(const SqlListQuery &query, bool toLastRow)
{
    m_list->setQuery(query);
    m_lastClickedRow = -1;
    // The newest line at the bottom: only the page that holds it is read.
    if (toLastRow)
        m_grid->goToLastRow();
    closeEditPanel();
}

void Txstj::refillCategories()
{
    try {
        const QSignalBlocker quiet(m_categoryBox);
        // A few categories over a million lines: hop along the index.
        FillWithValues(m_categoryBox,
                       DistinctValuesByIndex(m_db, QStringLiteral("d"), QStringLiteral("data1")));
    } catch (const DatabaseError &error) {
        Prompter::error(this, error.message());
    }
}

void Txstj::showThisMonth()
{
    refillCategories();
    setList(SalesDetailQuery::thisMonth(m_db.dialect(), Clock::current().today()), true);
}

void Txstj::showAllRecords()
{
    refillCategories();
    setList(SalesDetailQuery::allRecords(m_db.dialect()), true);
}

void Txstj::showAllReturns()
{
    refillCategories();
    setList(SalesDetailQuery::allReturns(m_db.dialect()), true);
}

void Txstj::showToday()
{
    m_dateRangeBox->setChecked(true);
    setList(SalesDetailQuery::currentDay(m_db.dialect(), filter()), false);
}

void Txstj::runFilter(SalesDetailQuery::Kind kind)
{
    const SalesFilter f = filter();
    SqlListQuery query;
    try {
        query = SalesDetailQuery::search(m_db, f, kind);
    } catch (const DatabaseError &) {
        // Matching the few distinct values failed (the server is gone): the
        // plain match finds the same lines, and the list reports the error
        // once itself if the database is still out of reach.
        query = SalesDetailQuery::search(m_db.dialect(), f, kind);
    }
    setList(query, false);
}

void Txstj::clearConditions()
{
    // Each text box that held text narrows the list again as it is emptied;
    // the category and the date range are cleared last and query nothing.
    m_nameBox->clear();
    m_customerBox->clear();
    m_codeBox->clear();
    m_modelBox->clear();
    m_remarkBox->clear();
    {
        const QSignalBlocker quiet(m_categoryBox);
        m_categoryBox->setCurrentIndex(-1);
        m_categoryBox->clearEditText();
    }
    m_dateRangeBox->setChecked(false);
}

void Txstj::runOrderNumberQuery()
{
    setList(SalesDetailQuery::orderNumberSearch(m_db.dialect(), m_orderNumberBox->text()), false);
}

SalesFilter Txstj::filter() const
{
    SalesFilter f;
    f.category = m_categoryBox->currentText();
    f.nameInitials = m_nameBox->text();
    f.code = m_codeBox->text();
    f.specInitials = m_modelBox->text();
    f.customer = m_customerBox->text();
    f.remark = m_remarkBox->text();
    f.dateRangeOn = m_dateRangeBox->isChecked();
    f.firstDate = m_firstDateBox->date();
    f.lastDate = m_lastDateBox->date();
    return f;
}

void Txstj::setOrderNumber(const QString &orderNumber)
{
    m_orderNumberBox->setText(orderNumber);
}

QString Txstj::orderNumber() const
{
    return m_orderNumberBox->text();
}

void Txstj::previewOrderDocument()
{
    Tform22::preview(this, m_db, m_orderNumberBox->text(), m_context.session().username,
                     m_context.receiptTexts());
}

void Txstj::onRowClicked(int row)
{
    if (row != m_lastClickedRow)
        closeEditPanel();
    m_lastClickedRow = row;
    if (!m_list->value(row, QStringLiteral("a")).toString().isEmpty())
        setOrderNumber(m_list->value(row, QStringLiteral("z")).toString());
}

// ---------------------------------------------------------------- edit panel

void Txstj::openEditPanel(PanelMode mode)
{
    const int row = m_grid->currentRow();
    if (row < 0 || m_list->value(row, QStringLiteral("a")).toString().isEmpty())
        return;
    fillEditPanel(mode);
    m_panelModifyButton->setVisible(mode == PanelMode::Modify);
    m_panelDeleteButton->setVisible(mode == PanelMode::Delete);
    m_editPanel->show();
    m_editPanel->raise();
    if (mode == PanelMode::Modify) {
        m_debtBox->setFocus();
        m_debtBox->selectAll();
    } else {
        m_panelDeleteButton->setFocus();
    }
}

void Txstj::fillEditPanel(PanelMode mode)
{
    Q_UNUSED(mode);
    const int row = m_grid->currentRow();
    m_panelLineId = m_list->value(row, QStringLiteral("id")).toLongLong();
    for (auto it = m_panelFields.cbegin(); it != m_panelFields.cend(); ++it)
        it.value()->setText(fieldText(m_list->value(row, it.key())));
}

void Txstj::clearEditPanel()
{
    // The debt keeps its text, as the next correction usually wants it again.
    for (auto it = m_panelFields.cbegin(); it != m_panelFields.cend(); ++it) {
        if (it.value() != m_debtBox)
            it.value()->clear();
    }
    m_panelLineId = 0;
}

void Txstj::closeEditPanel()
{
    m_editPanel->hide();
}

void Txstj::confirmModify()
{
    if (m_list->totalCount() <= 0 || m_panelLineId == 0)
        return;
    SaleCorrection correction;
    correction.debt = m_debtBox->text();
    correction.orderNumber = m_panelFields.value(QStringLiteral("z"))->text();
    correction.customer = m_panelFields.value(QStringLiteral("g"))->text();
    correction.address = m_panelFields.value(QStringLiteral("h"))->text();
    correction.contact = m_panelFields.value(QStringLiteral("i"))->text();
    correction.remark = m_panelFields.value(QStringLiteral("j"))->text();
    try {
        SalesLedger(m_db).correct(m_context.session(), m_panelLineId, correction);
    } catch (const InvalidDebt &error) {
        Prompter::warning(this, error.message());
        m_debtBox->setFocus();
        m_debtBox->selectAll();
        return;
    } catch (const RefusedValue &error) {
        Prompter::warning(this, error.message());
        if (QLineEdit *box = m_panelFields.value(error.column()))
            box->setFocus();
        return;
    } catch (const DatabaseError &error) {
        Prompter::error(this, error.message());
        return;
    }
    const qint64 modifiedId = m_panelLineId;
    const int modifiedRow = m_grid->currentRow();
    m_list->refresh();
    // The list starts over on its first row; the corrected line stays the
    // current one, so that a following Del acts on it and not on the first.
    keepLineCurrent(modifiedId, modifiedRow);
    closeEditPanel();
    emit salesChanged();
    Prompter::information(this, QStringLiteral("修改记录成功！"));
}

void Txstj::keepLineCurrent(qint64 lineId, int formerRow)
{
    const QString id = QStringLiteral("id");
    // The correction rarely moves the line, so its former row is tried first;
    // a sort on a corrected column may move it, then the fetched rows are searched.
    while (formerRow >= m_list->rowCount() && m_list->canFetchMore())
        m_list->fetchMore();
    int row = m_list->value(formerRow, id).toLongLong() == lineId ? formerRow : -1;
    for (int r = 0; row < 0 && r < m_list->rowCount(); ++r) {
        if (m_list->value(r, id).toLongLong() == lineId)
            row = r;
    }
    if (row >= 0) {
        m_grid->setCurrentRow(row);
        m_lastClickedRow = row;
    }
}

void Txstj::confirmDelete()
{
    if (m_panelLineId == 0)
        return;
    SalesLedger ledger(m_db);
    // A stock row renamed or re-dated after the sale no longer matches the
    // line: the operator is told before deleting that nothing will come back.
    bool tied = true;
    try {
        tied = ledger.hasStockToGiveBackTo(m_panelLineId);
    } catch (const DatabaseError &error) {
        Prompter::error(this, error.message());
        return;
    }
    const QString question =
        tied ? QStringLiteral("你真的要删除这条销售记录吗？其数量将退回库存。")
             : QStringLiteral("库存中没有与这条销售记录对应的商品（名称、规格、编码、类别或入库日期已改变），"
                              "删除后数量不会退回库存。你真的要删除这条销售记录吗？");
    if (!Prompter::confirm(this, question, QStringLiteral("警告！")))
        return;
    SalesLedger::Removal removal = SalesLedger::Removal::AlreadyGone;
    try {
        removal = ledger.remove(m_context.session(), m_panelLineId);
    } catch (const DatabaseError &error) {
        Prompter::error(this, error.message());
        return;
    }
    showThisMonth();
    clearEditPanel();
    closeEditPanel();
    chartsChanged();
    emit salesChanged();
    switch (removal) {
    case SalesLedger::Removal::GivenBack:
        Prompter::information(this, QStringLiteral("删除销售记录成功！"));
        break;
    case SalesLedger::Removal::NotGivenBack:
        Prompter::information(this,
                              QStringLiteral("销售记录已删除，但库存中没有对应的商品，数量没有退回库存。"));
        break;
    case SalesLedger::Removal::AlreadyGone:
        Prompter::information(this, QStringLiteral("该销售记录已不存在，可能已在其他收银台删除。"));
        break;
    }
}

// ---------------------------------------------------------------- charts

void Txstj::chartsChanged()
{
    m_chartsStale = true;
    showChartsIfStale();
}

void Txstj::showChartsIfStale()
{
    if (!m_chartsStale || m_pages->currentIndex() != 1)
        return;
    m_chartsStale = false;
    queryChart(Chart::Monthly, SalesStatistics::Kind::Profit);
    queryChart(Chart::Daily, SalesStatistics::Kind::Profit);
}

void Txstj::queryChart(Chart chart, SalesStatistics::Kind kind)
{
    const bool monthly = chart == Chart::Monthly;
    QComboBox *yearBox = monthly ? m_monthlyYearBox : m_dailyYearBox;
    const std::optional<int> year = SalesStatistics::parseYear(yearBox->currentText());
    if (!year) {
        Prompter::warning(this, SalesStatistics::invalidYearMessage(yearBox->currentText()));
        return;
    }
    std::optional<int> month;
    if (!monthly) {
        month = SalesStatistics::parseMonth(m_dailyMonthBox->currentText());
        if (!month) {
            Prompter::warning(this, SalesStatistics::invalidMonthMessage(m_dailyMonthBox->currentText()));
            return;
        }
    }
    try {
        const SalesStatistics statistics(m_db);
        setChartValues(chart,
                       monthly ? statistics.monthly(*year, kind) : statistics.daily(*year, *month, kind));
    } catch (const DatabaseError &error) {
        Prompter::error(this, error.message());
    }
}

void Txstj::setChartValues(Chart chart, const QList<double> &values)
{
    QBarSet *bars = chartBars(chart);
    const int slotCount = chart == Chart::Monthly ? 12 : 32;
    // Slot 0 stays empty: month m and day d stand over their own number.
    QList<qreal> heights(slotCount + 1, 0.0);
    for (int i = 0; i < values.size() && i < slotCount; ++i)
        heights[i + 1] = values.at(i);
    bars->remove(0, bars->count());
    bars->append(heights);

    const auto [low, high] = std::minmax_element(heights.cbegin(), heights.cend());
    double top = std::max(0.0, *high);
    double bottom = std::min(0.0, *low);
    if (top == bottom)
        top = 10;
    // Room above the highest bar for its value.
    const double room = (top - bottom) * 0.15;
    auto *y = qobject_cast<QValueAxis *>(chartView(chart)->chart()->axes(Qt::Vertical).value(0));
    if (y) {
        y->setRange(bottom < 0 ? bottom - room : 0, top + room);
        y->applyNiceNumbers();
    }
}

QBarSet *Txstj::chartBars(Chart chart) const
{
    return chart == Chart::Monthly ? m_monthlyBars : m_dailyBars;
}

QChartView *Txstj::chartView(Chart chart) const
{
    return chart == Chart::Monthly ? m_monthlyView : m_dailyView;
}

// ---------------------------------------------------------------- columns, export, print

QList<int> Txstj::columnsOfFlag(const QString &flag)
{
    const FlagEntry *entry = entryOf(flag);
    return entry ? entry->columns : QList<int>();
}

void Txstj::toggleColumnFlag(QAction *action, bool checked)
{
    const QString flag = action->property("flag").toString();
    const FlagEntry *entry = entryOf(flag);
    if (!entry)
        return;
    // Checked means hidden, except for the order number, where it means shown.
    const bool visible = entry->showsWhenChecked ? checked : !checked;
    for (const int column : entry->columns)
        m_grid->setColumnVisible(column, visible);
    m_settings.setValue(flag, checked ? QStringLiteral("yes") : QStringLiteral("no"));
}

void Txstj::applyStoredColumnFlags()
{
    // In the stored order, so a single customer entry overrides the group
    // entry for its own column.
    for (const FlagEntry &entry : flagEntries()) {
        const std::optional<bool> hidden = m_context.storedSalesColumnHidden(QString(entry.flag));
        if (!hidden)
            continue;
        for (const int column : entry.columns)
            m_grid->setColumnVisible(column, !*hidden);
        m_flagActions.value(QString(entry.flag))->setChecked(entry.showsWhenChecked ? !*hidden : *hidden);
    }
}

void Txstj::showAllColumns()
{
    for (int column = 1; column < m_grid->columns().size(); ++column) {
        if (column != kOrderNumberColumn)
            m_grid->setColumnVisible(column, true);
    }
}

bool Txstj::saveColumnLayout()
{
    GridLayoutStore store;
    return m_grid->saveLayout(store, QString(GridLayoutStore::SalesDetailSection));
}

void Txstj::applyRestrictedMode()
{
    for (QAction *action : {m_deleteAction, m_modifyAction, m_showAllColumnsAction,
                            m_flagActions.value(QString(SettingsStore::Keys::HideSalesProfit))}) {
        action->setVisible(false);
        // Del must not open the delete mode either.
        action->setEnabled(action == m_modifyAction);
    }
    // Forced: the layout restored at every show and the menu flags cannot
    // bring the profit back.
    m_grid->setColumnForcedHidden(kProfitColumn, true);
    m_monthlyPanel->hide();
    m_dailyPanel->hide();
}

void Txstj::exportList()
{
    GridExporter::exportWithDialog(m_grid, this, exportTitle(), m_context.session().username);
}

void Txstj::printList()
{
    GridPrintSettings settings;
    settings.before.text = printTitle();
    settings.before.alignment = Qt::AlignHCenter;
    settings.before.bold = true;
    settings.before.pointSize = 14;
    settings.before.emptyLinesAfter = 1;
    settings.after.text = QStringLiteral("%[Today]");
    settings.after.alignment = Qt::AlignRight;
    settings.after.emptyLinesBefore = 1;
    settings.marginsMillimetres = QMarginsF(2.0, 2.0, 2.0, 2.0);
    settings.fontFamily = QStringLiteral("Arial");

    GridPrinter printer(m_grid, this);
    printer.setSettings(settings);
    printer.addSubstitution(QStringLiteral("%[Today]"),
                            QStringLiteral("制表人：") + m_context.session().username +
                                QStringLiteral("    日期：") +
                                Clock::current().today().toString(ShopContext::dateFormat()));
    printer.preview();
}

// ---------------------------------------------------------------- keys

bool Txstj::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (watched == m_debtBox && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            m_panelFields.value(QStringLiteral("z"))->setFocus();
            return true;
        }
        if (watched == m_grid->view() && key == Qt::Key_Delete) {
            if (m_deleteAction->isEnabled())
                m_deleteAction->trigger();
            return true;
        }
        // Down in a search box goes on into the list.
        if (watched != m_debtBox && watched != m_grid->view() && key == Qt::Key_Down &&
            m_list->rowCount() > 0) {
            m_grid->view()->setFocus();
            if (m_grid->currentRow() < 0)
                m_grid->setCurrentRow(0);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

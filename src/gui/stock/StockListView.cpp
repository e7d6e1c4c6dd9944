#include "StockListView.h"

#include "common/DataGrid.h"
#include "common/FilterBar.h"
#include "common/Prompter.h"
#include "common/ShopContext.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "data/FieldHelpers.h"
#include "data/GridLayoutStore.h"
#include "data/NumberFormat.h"
#include "data/QueryHelpers.h"
#include "data/SettingsStore.h"
#include "data/SqlListModel.h"
#include "shell/FloatingPanel.h"
#include "shell/MainWindowParts.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QColor kAlarmColour(255, 0, 0);
const QString kQuantityPattern = QStringLiteral("#0.###");
const QString kAmountPattern = QStringLiteral("#0.##");

// The "隐藏列" items: object name in the main window, stored flag, columns.
struct HideItem
{
    const char *objectName;
    QLatin1String flag;
    QList<int> columns;
};

const QList<HideItem> &hideItems()
{
    static const QList<HideItem> items{
        {"hidePurchasePriceAction", SettingsStore::Keys::HideStockPurchasePrice, {5}},
        {"hideSalePriceAction", SettingsStore::Keys::HideStockSalePrice, {8}},
        {"hideAmountsAction", SettingsStore::Keys::HideStockAmounts, {6, 9, 11}},
        {"hideDateAction", SettingsStore::Keys::HideStockInDate, {12}},
        {"hideSupplierAction", SettingsStore::Keys::HideStockSupplier, {13}},
        {"hideRemarkAction", SettingsStore::Keys::HideStockRemark, {14}},
    };
    return items;
}

// Purchase price, purchase amount and stock amount: what an operator other
// than the administrator may not see.
const QList<int> kRestrictedColumns{5, 6, 11};

QList<DataGridColumn> stockColumns()
{
    const QString goods = QStringLiteral("商 品 信 息");
    const QString purchase = QStringLiteral("进 货");
    const QString sale = QStringLiteral("销 售");
    const QString stock = QStringLiteral("存 货");
    const QString notes = QStringLiteral("备 注");
    const Qt::Alignment right = Qt::AlignRight;

    auto text = [](const QString &field, const QString &upper, const QString &lower, int width) {
        DataGridColumn c;
        c.field = field;
        c.upperTitle = upper;
        c.lowerTitle = lower;
        c.width = width;
        return c;
    };
    auto number = [&](const QString &field, const QString &upper, const QString &lower,
                      const QString &pattern, bool summed, int width) {
        DataGridColumn c = text(field, upper, lower, width);
        c.alignment = right;
        c.pattern = pattern;
        if (summed)
            c.footer = DataGridColumn::Footer::Sum;
        c.footerAlignment = right;
        return c;
    };

    DataGridColumn name = text(QStringLiteral("a"), goods, QStringLiteral("名 称"), 110);
    name.footer = DataGridColumn::Footer::Text;
    name.footerText = QStringLiteral("总计");
    name.footerAlignment = Qt::AlignHCenter;
    DataGridColumn day = text(QStringLiteral("day1"), notes, QStringLiteral("入库日期"), 84);
    day.alignment = Qt::AlignHCenter;

    return {
        name,
        text(QStringLiteral("b"), goods, QStringLiteral("规格型号"), 84),
        text(QStringLiteral("c"), goods, QStringLiteral("编 码"), 90),
        text(QStringLiteral("d"), goods, QStringLiteral("类 别"), 50),
        number(QStringLiteral("2"), purchase, QStringLiteral("数 量"), kQuantityPattern, true, 60),
        number(QStringLiteral("1"), purchase, QStringLiteral("单 价"), QString(), false, 56),
        number(QStringLiteral("3"), purchase, QStringLiteral("金 额"), kAmountPattern, true, 84),
        number(QStringLiteral("5"), sale, QStringLiteral("数 量"), kQuantityPattern, true, 60),
        number(QStringLiteral("4"), sale, QStringLiteral("单 价"), QString(), false, 56),
        number(QStringLiteral("6"), sale, QStringLiteral("金 额"), kAmountPattern, true, 84),
        number(QStringLiteral("7"), stock, QStringLiteral("数 量"), kQuantityPattern, true, 60),
        number(QStringLiteral("8"), stock, QStringLiteral("金 额"), kAmountPattern, true, 84),
        day,
        text(QStringLiteral("g"), notes, QStringLiteral("供货商"), 76),
        text(QStringLiteral("z"), notes, QStringLiteral("备 注"), 64),
    };
}

} // namespace

StockListView::StockListView(ShopContext &context, const MainWindowParts &parts)
    : QWidget(parts.stockListArea), m_context(context), m_parts(parts), m_db(context.database()),
      m_settings(context.settings())
{
    setObjectName(QStringLiteral("stockListView"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    buildGrid();
    layout->addWidget(m_grid);
    if (QLayout *area = parts.stockListArea->layout())
        area->addWidget(this);
    buildQuickQuery();
    connectMenu();
    connect(&context, &ShopContext::restrictedModeApplied, this, &StockListView::applyRestrictedMode);
}

void StockListView::buildGrid()
{
    m_grid = new DataGrid(this);
    m_grid->setObjectName(QStringLiteral("stockGrid"));
    m_list = new SqlListModel(m_db, this);
    // Names and models sort as a Chinese reader looks them up: by their pinyin
    // initials, then by the text, capitals or not.
    m_list->setSortKeys(QStringLiteral("a"), {QStringLiteral("e"), QStringLiteral("a")}, Qt::CaseInsensitive);
    m_list->setSortKeys(QStringLiteral("b"), {QStringLiteral("f"), QStringLiteral("b")}, Qt::CaseInsensitive);
    m_grid->setColumns(stockColumns());
    m_grid->setListModel(m_list);
    m_grid->useShopGroupColours();
    m_grid->setRowBackground(QColor(238, 238, 238));
    m_grid->setFooterBackground(QColor(255, 194, 134));
    m_grid->setHint(QStringLiteral("点列标题进行排序，双击记录进行销售"));
    // The alarm box is read at every draw: a changed quantity shows at the
    // next repaint without re-running the list.
    QLineEdit *alarmBox = m_parts.alarmQuantityBox;
    m_grid->setRowColourRule([alarmBox](const RowAccessor &row) {
        const int alarm = NumberFormat::alarmQuantity(alarmBox ? alarmBox->text() : QString());
        return NumberFormat::isAtOrBelowAlarm(row.value(QStringLiteral("7")), alarm) ? kAlarmColour
                                                                                     : QColor();
    });

    connect(m_list, &SqlListModel::queryFailed, this, [this](const QString &message) {
        Prompter::error(this, QStringLiteral("库存列表查询失败：%1").arg(message));
    });
    connect(m_grid, &DataGrid::aboutToSort, this, [this] {
        m_parts.stockEntryPanel->hide();
        hideSalePanel();
        emit aboutToSort();
    });
    connect(m_grid, &DataGrid::rowClicked, this, [this](int row) {
        if (const qint64 id = idOfRow(row))
            emit rowClicked(id);
    });
    connect(m_grid, &DataGrid::rowActivated, this, [this](int row) {
        // A row without a name cannot be sold.
        if (m_list->value(row, QStringLiteral("a")).toString().isEmpty())
            return;
        if (const qint64 id = idOfRow(row))
            emit rowActivated(id);
    });
}

void StockListView::buildQuickQuery()
{
    FilterBar bar(m_parts.quickQueryGroup);
    const QString initialsHint = QStringLiteral("输入拼音首字母查询");
    m_categoryBox = bar.addChoice("categoryBox", QStringLiteral("类 别："));
    m_nameInitialsBox = bar.addText("nameInitialsBox", QStringLiteral("商品名称："), initialsHint);
    m_supplierBox = bar.addChoice("supplierBox", QStringLiteral("供货商："));
    m_specInitialsBox = bar.addText("specInitialsBox", QStringLiteral("规格型号："), initialsHint);
    m_codeBox = bar.addText("codeBox", QStringLiteral("商品编码："), QStringLiteral("支持扫描枪"));
    m_remarkBox = bar.addText("remarkBox", QStringLiteral("备注："));
    bar.addDateRange(QStringLiteral("入库日期："));
    m_dateRangeBox = bar.dateRangeBox();
    m_firstDateBox = bar.firstDateBox();
    m_lastDateBox = bar.lastDateBox();
    m_clearButton = bar.addButton("clearConditionsButton", QStringLiteral("清空条件"));
    m_queryButton = bar.addButton("queryButton", QStringLiteral("查询"));
    m_allRecordsButton = bar.addButton("allRecordsButton", QStringLiteral("全部记录"));
    bar.finish();

    // Every keystroke narrows the list; the supplier and the date range wait
    // for "查询", as the operator usually sets several conditions first.
    connect(m_categoryBox, &QComboBox::editTextChanged, this, &StockListView::runQuery);
    for (QLineEdit *box : {m_nameInitialsBox, m_specInitialsBox, m_codeBox, m_remarkBox}) {
        connect(box, &QLineEdit::textChanged, this, &StockListView::runQuery);
        box->installEventFilter(this);
    }
    connect(m_codeBox, &QLineEdit::returnPressed, this, &StockListView::selectScannedRow);
    connect(m_clearButton, &QPushButton::clicked, this, &StockListView::clearConditions);
    connect(m_queryButton, &QPushButton::clicked, this, &StockListView::runQuery);
    connect(m_allRecordsButton, &QPushButton::clicked, &m_context, &ShopContext::requestAllRecords);
}

void StockListView::connectMenu()
{
    if (auto *all = m_parts.window->findChild<QAction *>(QStringLiteral("allRecordsAction"))) {
        all->setEnabled(true);
        connect(all, &QAction::triggered, &m_context, &ShopContext::requestAllRecords);
    }
    if (auto *save = m_parts.window->findChild<QAction *>(QStringLiteral("saveColumnLayoutAction"))) {
        save->setEnabled(true);
        connect(save, &QAction::triggered, this, [this] {
            if (!saveColumnLayout())
                Prompter::warning(this, QStringLiteral("列宽保存失败，请检查配置文件是否可写。"));
        });
    }
    for (const HideItem &item : hideItems()) {
        auto *action = m_parts.window->findChild<QAction *>(QLatin1String(item.objectName));
        if (!action)
            continue;
        action->setEnabled(true);
        // The check mark decides the columns, whether the operator chose the
        // item or the first show applied the stored flag; only a choice is stored.
        const QList<int> columns = item.columns;
        connect(action, &QAction::toggled, this, [this, columns](bool hidden) {
            for (const int column : columns)
                m_grid->setColumnVisible(column, !hidden);
        });
        const QString flag(item.flag);
        connect(action, &QAction::triggered, this,
                [this, flag](bool hidden) { m_settings.setColumnHidden(flag, hidden); });
    }
}

QList<int> StockListView::columnsOfFlag(const QString &flag)
{
    for (const HideItem &item : hideItems()) {
        if (flag == item.flag)
            return item.columns;
    }
    return {};
}

void StockListView::applyRestrictedMode()
{
    // Forced, so that no layout restored later and no menu flag shows them.
    for (const int column : kRestrictedColumns)
        m_grid->setColumnForcedHidden(column, true);
}

StockFilter StockListView::filter() const
{
    StockFilter f;
    f.category = m_categoryBox->currentText();
    f.nameInitials = m_nameInitialsBox->text();
    f.specInitials = m_specInitialsBox->text();
    f.code = m_codeBox->text();
    f.remark = m_remarkBox->text();
    f.supplier = m_supplierBox->currentText();
    f.dateRangeOn = m_dateRangeBox->isChecked();
    f.firstDate = m_firstDateBox->date();
    f.lastDate = m_lastDateBox->date();
    return f;
}

void StockListView::showAllRecords()
{
    try {
        // Refilling empties the boxes' texts; that is no query of its own.
        const QSignalBlocker quietCategory(m_categoryBox);
        const QSignalBlocker quietSupplier(m_supplierBox);
        // Few categories and suppliers over many rows: hop along their indexes.
        FillWithValues(m_categoryBox,
                       DistinctValuesByIndex(m_db, QStringLiteral("d"), QStringLiteral("data")));
        emit distinctListsRefillRequested();
        FillWithValues(m_supplierBox,
                       DistinctValuesByIndex(m_db, QStringLiteral("g"), QStringLiteral("data")));
    } catch (const DatabaseError &error) {
        Prompter::error(this, error.message());
    }
    m_list->setQuery(StockQuery::allRecords(m_db.dialect(), m_zeroStockHidden));
    // On the newest stock-in (the one just saved), read with its page alone.
    m_grid->goToLastRow();
    hideSalePanel();
    emit listReloaded();
}

void StockListView::runQuery()
{
    m_searchFilter = filter();
    m_searchZeroStockHidden = m_zeroStockHidden;
    try {
        m_searchQuery = StockQuery::search(m_db, m_searchZeroStockHidden, m_searchFilter);
    } catch (const DatabaseError &) {
        // The plain match finds the same rows; if the database is gone the
        // list says so itself.
        m_searchQuery = StockQuery::search(m_db.dialect(), m_searchZeroStockHidden, m_searchFilter);
    }
    m_list->setQuery(m_searchQuery);
    hideSalePanel();
    emit listReloaded();
}

SqlListModel::RowSnapshot StockListView::beforeSale(qint64 stockId)
{
    if (!m_list->isActive() || !m_list->sortField().isEmpty() || !m_list->errorText().isEmpty() ||
        m_list->query() != m_searchQuery || m_searchFilter != filter() ||
        m_searchZeroStockHidden != m_zeroStockHidden)
        return {};
    return m_list->snapshotRow(stockId);
}

void StockListView::afterSale(const SqlListModel::RowSnapshot &before)
{
    if (!before.key.isValid()) {
        runQuery();
        return;
    }
    m_list->rowChanged(before);
    hideSalePanel();
    emit listReloaded();
}

void StockListView::clearConditions()
{
    // The boxes that re-query on a change do so as they are emptied; the
    // supplier and the date range are cleared last and query nothing.
    m_nameInitialsBox->clear();
    m_codeBox->clear();
    m_specInitialsBox->clear();
    m_categoryBox->clearEditText();
    m_remarkBox->clear();
    m_supplierBox->clearEditText();
    m_dateRangeBox->setChecked(false);
}

bool StockListView::saveColumnLayout()
{
    GridLayoutStore store;
    return m_grid->saveLayout(store, QString(GridLayoutStore::StockListSection));
}

bool StockListView::restoreColumnLayout()
{
    return m_grid->restoreLayout(GridLayoutStore(), QString(GridLayoutStore::StockListSection));
}

void StockListView::selectScannedRow()
{
    // A scanned code that names exactly one row makes it the current one;
    // the code stays selected so the next scan replaces it.
    if (m_list->totalCount() == 1 && m_list->rowCount() == 1) {
        m_grid->setCurrentRow(0);
        m_grid->view()->scrollToTop();
    }
    m_codeBox->selectAll();
}

qint64 StockListView::idOfRow(int row) const
{
    return m_list->value(row, QStringLiteral("id")).toLongLong();
}

qint64 StockListView::currentStockId() const
{
    return idOfRow(m_grid->currentRow());
}

QVariant StockListView::currentValue(const QString &field) const
{
    return m_grid->currentValue(field);
}

void StockListView::hideSalePanel()
{
    if (FloatingPanel *panel = m_parts.salePanel)
        panel->hide();
}

bool StockListView::eventFilter(QObject *watched, QEvent *event)
{
    // Down in a search box goes on into the list, so the operator picks a
    // row without the mouse.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Down &&
        m_list->rowCount() > 0) {
        m_grid->view()->setFocus();
        if (m_grid->currentRow() < 0)
            m_grid->setCurrentRow(0);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

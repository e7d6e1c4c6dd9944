#include "TForm1.h"

#include "common/DataGrid.h"
#include "common/GridExporter.h"
#include "common/GridPrinter.h"
#include "common/Prompter.h"
#include "common/ShopContext.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "data/GridLayoutStore.h"
#include "data/SqlListModel.h"
#include "reports/SummaryQuery.h"
#include "shell/ShowOrCreateWindow.h"
#include "stock/StockListCommands.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// The column widths the operator set are kept in lwjxc.ini next to the
// stock list's and the sales detail's.
const QString kLayoutSection = QStringLiteral("qmzrtk.vdx3");
// Below the grid: the count of articles and the buttons.
constexpr int kBottomBarHeight = 35;
// The whole grouped result is read at once (the list starts on its last
// row); a shop has far fewer articles than stock-in records.
constexpr int kPageRows = 1 << 16;

} // namespace

TForm1::TForm1(ShopContext &context, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      m_context(context), m_db(context.database())
{
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("汇总统计"));
    resize(988, 572);
    setMinimumSize(640, 360);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_grid = new DataGrid(this);
    m_grid->setObjectName(QStringLiteral("DBGridEh1"));
    m_list = new SqlListModel(m_db, this);
    m_list->setPageSize(kPageRows);
    m_grid->setColumns(designColumns());
    m_grid->setListModel(m_list);
    m_grid->useShopGroupColours();
    m_grid->setRowBackground(QColor(238, 238, 238));
    m_grid->setFooterBackground(QColor(255, 194, 134));
    m_grid->setHint(QStringLiteral("点列标题进行排序，右键导出Excel或打印"));
    layout->addWidget(m_grid, 1);

    auto *bottom = new QWidget(this);
    bottom->setFixedHeight(kBottomBarHeight);
    auto *bar = new QHBoxLayout(bottom);
    bar->setContentsMargins(8, 3, 8, 3);
    m_countLabel = new QLabel(bottom);
    m_countLabel->setObjectName(QStringLiteral("articleCountLabel"));
    bar->addWidget(m_countLabel, 1);
    auto button = [bottom, bar](const QString &text, const char *name) {
        auto *b = new QPushButton(text, bottom);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        bar->addWidget(b);
        return b;
    };
    connect(button(QStringLiteral("导出Excel"), "exportButton"), &QPushButton::clicked, this,
            &TForm1::exportList);
    connect(button(QStringLiteral("打 印"), "printButton"), &QPushButton::clicked, this, &TForm1::printList);
    connect(button(QStringLiteral("关 闭"), "closeButton"), &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(bottom);

    buildMenu();

    connect(m_list, &SqlListModel::queryFailed, this, [this](const QString &message) {
        Prompter::error(this, QStringLiteral("汇总统计查询失败：%1").arg(message));
    });
    connect(m_list, &SqlListModel::totalsChanged, this, &TForm1::updateCountLabel);
    // A sort runs the statement again; the amounts stay hidden all the same.
    connect(m_grid, &DataGrid::sorted, this, &TForm1::hideRestrictedColumns);
    connect(&context, &ShopContext::restrictedModeApplied, this, &TForm1::applyRestrictedMode);
    updateCountLabel();
}

QList<DataGridColumn> TForm1::designColumns()
{
    const QString goods = QStringLiteral("商 品 信 息");
    auto text = [&goods](const QString &field, const QString &lower, int width) {
        DataGridColumn c;
        c.field = field;
        c.upperTitle = goods;
        c.lowerTitle = lower;
        c.width = width;
        return c;
    };
    // The sums in the general number form, centred, each totalled below.
    auto sum = [](const QString &field, const QString &upper, const QString &lower) {
        DataGridColumn c;
        c.field = field;
        c.upperTitle = upper;
        c.lowerTitle = lower;
        c.alignment = Qt::AlignHCenter;
        c.footer = DataGridColumn::Footer::Sum;
        c.footerAlignment = Qt::AlignHCenter;
        c.width = 80;
        return c;
    };

    DataGridColumn name = text(QStringLiteral("a"), QStringLiteral("名 称"), 130);
    name.footer = DataGridColumn::Footer::Text;
    name.footerText = QStringLiteral("总计");
    name.footerAlignment = Qt::AlignHCenter;
    const QStringList sums = SummaryQuery::summedFields();
    const QString purchase = QStringLiteral("进 货");
    const QString sale = QStringLiteral("销 售");
    const QString stock = QStringLiteral("存 货");
    const QString quantity = QStringLiteral("数 量");
    const QString amount = QStringLiteral("金 额");
    return {
        name,
        text(QStringLiteral("b"), QStringLiteral("规格型号"), 100),
        text(QStringLiteral("c"), QStringLiteral("编 码"), 110),
        text(QStringLiteral("d"), QStringLiteral("类 别"), 70),
        sum(sums.at(0), purchase, quantity),
        sum(sums.at(1), purchase, amount),
        sum(sums.at(2), sale, quantity),
        sum(sums.at(3), sale, amount),
        sum(sums.at(4), stock, quantity),
        sum(sums.at(5), stock, amount),
    };
}

GridPrintSettings TForm1::printSettings()
{
    // The stock list's printout with this report's own heading.
    GridPrintSettings settings = StockListCommands::printSettings();
    settings.before.text = QStringLiteral("商 品 进 销 存 统 计 报 表");
    return settings;
}

void TForm1::buildMenu()
{
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("summaryMenu"));
    QAction *exportAction = m_menu->addAction(QStringLiteral("导出Excel"));
    exportAction->setObjectName(QStringLiteral("summaryExportAction"));
    exportAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    QAction *printAction = m_menu->addAction(QStringLiteral("打 印"));
    printAction->setObjectName(QStringLiteral("summaryPrintAction"));
    printAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    // The shortcuts work in the window, not only while the menu is open.
    addActions({exportAction, printAction});
    connect(exportAction, &QAction::triggered, this, &TForm1::exportList);
    connect(printAction, &QAction::triggered, this, &TForm1::printList);

    QTableView *view = m_grid->view();
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this,
            [this, view](const QPoint &pos) { m_menu->popup(view->viewport()->mapToGlobal(pos)); });
}

void TForm1::openModal()
{
    // A window already open without blocking cannot become modal; it comes
    // to the front instead.
    if (isVisible()) {
        BringWindowToFront(this);
        return;
    }
    exec();
}

void TForm1::openModeless()
{
    if (isVisible()) {
        BringWindowToFront(this);
        return;
    }
    show();
    raise();
    activateWindow();
}

void TForm1::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return; // the window manager showing it again after a minimise
    // The layout first, the restricted mode over it.
    restoreColumnLayout();
    listArticles();
}

void TForm1::listArticles()
{
    m_list->setQuery(SummaryQuery::all());
    // The list starts on its last row.
    m_grid->goToLastRow();
    m_grid->view()->setFocus();
}

void TForm1::done(int result)
{
    saveColumnLayout();
    QDialog::done(result);
    // Nothing is kept while the window is closed; the next showing reads afresh.
    m_list->clear();
}

void TForm1::updateCountLabel()
{
    m_countLabel->setText(
        m_list->isActive()
            ? QStringLiteral("共 %1 种商品（按名称、规格型号、编码和类别汇总）").arg(m_list->totalCount())
            : QString());
}

void TForm1::restoreColumnLayout()
{
    QList<ColumnLayout> saved = GridLayoutStore().restore(kLayoutSection);
    if (saved.isEmpty()) {
        hideRestrictedColumns();
        return;
    }
    // Only order and widths come back: this window hides no column of its
    // own, and the list is unsorted each time it is shown.
    for (ColumnLayout &column : saved) {
        column.visible = true;
        column.sortMarker = ColumnLayout::NoSort;
    }
    m_grid->applyColumnLayout(saved);
    hideRestrictedColumns();
}

void TForm1::saveColumnLayout()
{
    QList<ColumnLayout> layout = m_grid->columnLayout();
    // The restricted mode's hiding belongs to the session, not to the layout.
    for (ColumnLayout &column : layout) {
        column.visible = true;
        column.sortMarker = ColumnLayout::NoSort;
    }
    GridLayoutStore store;
    store.save(kLayoutSection, layout);
}

void TForm1::applyRestrictedMode()
{
    m_restricted = true;
    hideRestrictedColumns();
}

void TForm1::hideRestrictedColumns()
{
    if (!m_restricted)
        return;
    for (const int column : restrictedColumns())
        m_grid->setColumnVisible(column, false);
}

void TForm1::exportList()
{
    GridExporter::exportWithDialog(m_grid, this, exportTitle(), m_context.session().username);
}

void TForm1::printList()
{
    GridPrinter printer(m_grid, this);
    printer.setSettings(printSettings());
    printer.addSubstitution(
        QStringLiteral("%[Today1]"),
        StockListCommands::todayLine(m_context.session().username, Clock::current().today()));
    printer.preview();
}

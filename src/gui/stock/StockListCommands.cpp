#include "StockListCommands.h"

#include "StockListView.h"

#include "common/DataGrid.h"
#include "common/GridExporter.h"
#include "common/GridPrinter.h"
#include "common/Prompter.h"
#include "common/ShopContext.h"
#include "data/Clock.h"
#include "data/SqlListModel.h"
#include "shell/FloatingPanel.h"
#include "shell/MainWindowParts.h"
#include "stock/StockBook.h"

#include <QAction>

StockListCommands::StockListCommands(ShopContext &context, const MainWindowParts &parts)
    : QObject(parts.window), m_context(context), m_parts(parts)
{
    setObjectName(QStringLiteral("stockListCommands"));
    const struct
    {
        const char *objectName;
        void (StockListCommands::*run)();
    } items[] = {
        {"deleteStockAction", &StockListCommands::deleteSelected},
        {"exportExcelAction", &StockListCommands::exportList},
        {"printListAction", &StockListCommands::printList},
    };
    for (const auto &item : items) {
        auto *action = parts.window->findChild<QAction *>(QLatin1String(item.objectName));
        if (!action)
            continue;
        action->setEnabled(true);
        // The shortcuts work in the window, not only while the menu is open.
        parts.window->addAction(action);
        connect(action, &QAction::triggered, this, item.run);
    }
}

GridPrintSettings StockListCommands::printSettings()
{
    GridPrintSettings settings;
    settings.before.text = QStringLiteral("商 品 进 货 统 计 报 表");
    settings.before.alignment = Qt::AlignHCenter;
    settings.before.bold = true;
    settings.before.pointSize = 14;
    settings.before.emptyLinesAfter = 2;
    settings.after.text = QStringLiteral("%[Today1]");
    settings.after.alignment = Qt::AlignRight;
    settings.after.bold = true;
    settings.after.emptyLinesBefore = 1;
    settings.after.trailingBlanks = 70;
    settings.headerCentre = QStringLiteral("Page. &[Page]");
    settings.headerDoubleLine = true;
    settings.marginsMillimetres = QMarginsF(20, 20, 20, 20);
    settings.fitToPageWidth = true;
    settings.printColours = true;
    settings.growRowsToFit = true;
    settings.fontFamily = QStringLiteral("Arial");
    return settings;
}

QString StockListCommands::todayLine(const QString &userName, const QDate &today)
{
    return QStringLiteral("制表人：") + userName + QStringLiteral("    日期：") +
           today.toString(ShopContext::dateFormat());
}

void StockListCommands::deleteSelected()
{
    StockListView *list = m_parts.stockList;
    m_parts.salePanel->hide();
    // An empty or failed list has no selected record: nothing to delete.
    const qint64 id = list ? list->currentStockId() : 0;
    if (id == 0)
        return;
    if (!Prompter::confirm(m_parts.window, QStringLiteral("你真的要删除选中资料吗？"),
                           QStringLiteral("警告！")))
        return;
    DataGrid *grid = list->grid();
    const int row = grid->currentRow();
    bool removed = false;
    try {
        removed = StockBook(m_context.database()).remove(m_context.session(), id);
    } catch (const DatabaseError &error) {
        Prompter::error(m_parts.window, error.message());
        return;
    }
    // The list keeps its conditions and sort; the selection moves to the
    // row that took the deleted one's place.
    if (SqlListModel *model = grid->listModel()) {
        model->refresh();
        while (row >= model->rowCount() && model->canFetchMore())
            model->fetchMore();
        grid->setCurrentRow(std::min(row, model->rowCount() - 1));
    }
    if (removed)
        m_context.showSuccessNotice(QStringLiteral("删除数据成功..."));
    else
        Prompter::information(m_parts.window, QStringLiteral("该商品记录已不存在，可能已在其他收银台删除。"));
}

void StockListCommands::exportList()
{
    StockListView *list = m_parts.stockList;
    if (!list)
        return;
    GridExporter::exportWithDialog(list->grid(), m_parts.window, exportTitle(), m_context.session().username);
}

void StockListCommands::printList()
{
    StockListView *list = m_parts.stockList;
    if (!list)
        return;
    GridPrinter printer(list->grid(), m_parts.window);
    printer.setSettings(printSettings());
    printer.addSubstitution(QStringLiteral("%[Today1]"),
                            todayLine(m_context.session().username, Clock::current().today()));
    printer.preview();
}

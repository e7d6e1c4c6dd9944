#pragma once

#include <QDate>
#include <QObject>
#include <QString>

struct GridPrintSettings;
struct MainWindowParts;
class ShopContext;

// The stock list's commands that act on the whole list or its selected row:
// "删 除" (deletes the selected stock record after asking), "导出Excel"
// (Ctrl+E, writes the list to a spreadsheet file) and "打 印" (Ctrl+D, the
// print preview of the list).
class StockListCommands : public QObject
{
    Q_OBJECT

public:
    // Takes over the three menu items of the window's stock list.
    StockListCommands(ShopContext &context, const MainWindowParts &parts);

    static QString exportTitle() { return QStringLiteral("商品进货统计报表"); }
    // What the printed stock list looks like; "%[Today1]" is replaced when printing.
    static GridPrintSettings printSettings();
    // The closing line of the printout.
    static QString todayLine(const QString &userName, const QDate &today);

    void deleteSelected();
    void exportList();
    void printList();

private:
    ShopContext &m_context;
    const MainWindowParts &m_parts;
};

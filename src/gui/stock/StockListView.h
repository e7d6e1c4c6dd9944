#pragma once

#include "stock/StockQuery.h"

#include <QHash>
#include <QList>
#include <QVariant>
#include <QWidget>

class DataGrid;
class Database;
class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class SettingsStore;
class ShopContext;
class SqlListModel;
struct MainWindowParts;

// The stock list of the main window: the grid of stock rows with its totals,
// red rows at or below the stock alarm, title sorting and column hiding, and
// the quick-query boxes that narrow it as the operator types or scans.
class StockListView : public QWidget
{
    Q_OBJECT

public:
    // Places itself into the window's stock list area and its boxes into the
    // quick-query group, and takes over the list's menu items.
    StockListView(ShopContext &context, const MainWindowParts &parts);

    // data.id of the current row, 0 when there is none.
    qint64 currentStockId() const;
    // A field of the current row ("a", "7", "day1" ...); invalid when none.
    QVariant currentValue(const QString &field) const;
    DataGrid *grid() const { return m_grid; }
    SqlListModel *listModel() const { return m_list; }

    // What the quick-query boxes hold now.
    StockFilter filter() const;

    // Whether the list leaves out rows without stock ("不显示零库存"):
    // "全部记录" and "查询" both build their statements from it.
    bool zeroStockHidden() const { return m_zeroStockHidden; }
    void setZeroStockHidden(bool hide) { m_zeroStockHidden = hide; }

    // "全部记录": refills the drop-down lists, lists every row (or every row
    // with stock) by stock-in date and hides the sale panel.
    void showAllRecords();
    // "查询": the rows the quick-query boxes select; hides the sale panel.
    void runQuery();
    // A sale books one stock row and then runs "查询". When the list shows
    // that very "查询" already (same boxes, no title sort), the row as it
    // stands before the booking is taken here, and afterSale() re-reads that
    // row alone and moves the footer sums by the difference, instead of
    // running the statement over every row again. Otherwise the snapshot is
    // empty and afterSale() runs "查询".
    SqlListModel::RowSnapshot beforeSale(qint64 stockId);
    void afterSale(const SqlListModel::RowSnapshot &before);
    // "清空条件".
    void clearConditions();
    // "保存当前列宽" / "读取列宽".
    bool saveColumnLayout();
    bool restoreColumnLayout();

    // The columns each "隐藏列" item hides, by its stored flag.
    static QList<int> columnsOfFlag(const QString &flag);

signals:
    void rowClicked(qint64 stockId);
    void rowActivated(qint64 stockId);
    // A title was clicked: the entry and sale panels are hidden before the sort.
    void aboutToSort();
    // A new result is shown ("全部记录", "查询").
    void listReloaded();
    // "全部记录" refills the entry panel's lists of categories, names, specs,
    // codes and suppliers.
    void distinctListsRefillRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildGrid();
    void buildQuickQuery();
    void connectMenu();
    void applyRestrictedMode();
    void selectScannedRow();
    qint64 idOfRow(int row) const;
    void hideSalePanel();

    ShopContext &m_context;
    const MainWindowParts &m_parts;
    const Database &m_db;
    SettingsStore &m_settings;
    bool m_zeroStockHidden = false;
    DataGrid *m_grid = nullptr;
    SqlListModel *m_list = nullptr;
    // The last "查询" and what it was made from: a sale re-reads only its row
    // while the list still shows that search.
    SqlListQuery m_searchQuery;
    StockFilter m_searchFilter;
    bool m_searchZeroStockHidden = false;

    QComboBox *m_categoryBox = nullptr;
    QLineEdit *m_nameInitialsBox = nullptr;
    QComboBox *m_supplierBox = nullptr;
    QLineEdit *m_specInitialsBox = nullptr;
    QLineEdit *m_codeBox = nullptr;
    QLineEdit *m_remarkBox = nullptr;
    QCheckBox *m_dateRangeBox = nullptr;
    QDateEdit *m_firstDateBox = nullptr;
    QDateEdit *m_lastDateBox = nullptr;
    QPushButton *m_clearButton = nullptr;
    QPushButton *m_queryButton = nullptr;
    QPushButton *m_allRecordsButton = nullptr;
};

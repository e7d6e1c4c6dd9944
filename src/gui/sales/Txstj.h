#pragma once

#include "sales/SalesDetailQuery.h"
#include "sales/SalesStatistics.h"

#include <QDialog>
#include <QHash>
#include <QList>

class DataGrid;
class Database;
class FloatingPanel;
class NumberBox;
class QAction;
class QBarSeries;
class QBarSet;
class QChart;
class QChartView;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;
class SettingsStore;
class ShopContext;
class SqlListModel;

// The sales-detail window: reviews the sales and returns by period, goods,
// customer and order number, corrects or deletes one sale (the stock gets
// its quantity back), exports and prints the list and charts the profit or
// sales amount per month and per day.
class Txstj : public QDialog
{
    Q_OBJECT

public:
    // One of the two charts of "销售统计".
    enum class Chart { Monthly, Daily };
    // The edit panel's two modes.
    enum class PanelMode { Modify, Delete };

    // Made once by the main window; hidden and shown, never rebuilt.
    Txstj(ShopContext &context, QWidget *parent);

    DataGrid *grid() const { return m_grid; }
    SqlListModel *listModel() const { return m_list; }
    FloatingPanel *editPanel() const { return m_editPanel; }

    // The "销售单号：" box of the "销售单打印" group; a saved sale puts its
    // order number here.
    void setOrderNumber(const QString &orderNumber);
    QString orderNumber() const;

    // The views: "本 月", "全部记录", "全部退货", "当 天", the filter bar's
    // and the returns group's "查 询", "清空条件", the order number "查 询".
    void showThisMonth();
    void showAllRecords();
    void showAllReturns();
    void showToday();
    void runFilter(SalesDetailQuery::Kind kind = SalesDetailQuery::Kind::Sales);
    void clearConditions();
    void runOrderNumberQuery();
    SalesFilter filter() const;

    // "销售单预览": the order document of the order number in the box.
    void previewOrderDocument();

    // The edit panel on the current row ("修 改 " / double click, "删 除" / Del);
    // nothing when the row has no goods name.
    void openEditPanel(PanelMode mode);
    void closeEditPanel();
    // The panel's own "修 改" and "删 除".
    void confirmModify();
    void confirmDelete();

    // The statistics of one chart for the boxes' year (and month); a box
    // that holds no valid number is reported and the chart stays as it was.
    void queryChart(Chart chart, SalesStatistics::Kind kind);
    QBarSet *chartBars(Chart chart) const;
    QChartView *chartView(Chart chart) const;

    // "导出Excel", "打 印", "保存当前列宽", "全部显示".
    void exportList();
    void printList();
    bool saveColumnLayout();
    void showAllColumns();

    // The stored hidden columns as the main window read them at its first
    // show: columns and check marks of the context menu follow them.
    void applyStoredColumnFlags();
    // What an operator other than the administrator may not see or change.
    void applyRestrictedMode();

    // The columns one hiding entry changes, by its stored flag.
    static QList<int> columnsOfFlag(const QString &flag);
    static QString printTitle() { return QStringLiteral("销 售 统 计 报 表"); }
    static QString exportTitle() { return QStringLiteral("销 售 报 表"); }

public slots:
    void done(int result) override;

signals:
    // A sale line was corrected or deleted here: what other windows show of
    // the sales (the open ticket and its total) is out of date.
    void salesChanged();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildListPage(QWidget *page);
    void buildFilterBar(QWidget *parent, QGroupBox *group);
    void buildOrderGroup(QGroupBox *group);
    void buildEditPanel(QWidget *parent);
    void buildMenu();
    void buildStatisticsPage(QWidget *page);
    QWidget *buildChart(Chart chart, QWidget *parent);
    void toggleColumnFlag(QAction *action, bool checked);
    void setList(const SqlListQuery &query, bool toLastRow);
    void refillCategories();
    void fillEditPanel(PanelMode mode);
    void clearEditPanel();
    void keepLineCurrent(qint64 lineId, int formerRow);
    void onRowClicked(int row);
    void setChartValues(Chart chart, const QList<double> &values);
    // The sales changed or the window was shown again: the charts are queried
    // again when their page is (or is already) the current one.
    void chartsChanged();
    void showChartsIfStale();

    ShopContext &m_context;
    const Database &m_db;
    SettingsStore &m_settings;

    QTabWidget *m_pages = nullptr;
    DataGrid *m_grid = nullptr;
    SqlListModel *m_list = nullptr;
    QMenu *m_menu = nullptr;
    QAction *m_modifyAction = nullptr;
    QAction *m_deleteAction = nullptr;
    QAction *m_showAllColumnsAction = nullptr;
    QHash<QString, QAction *> m_flagActions; // "xiaoshouyin1" ...

    QComboBox *m_categoryBox = nullptr;
    QLineEdit *m_nameBox = nullptr;
    QLineEdit *m_modelBox = nullptr;
    QLineEdit *m_codeBox = nullptr;
    QLineEdit *m_customerBox = nullptr;
    QLineEdit *m_remarkBox = nullptr;
    QCheckBox *m_dateRangeBox = nullptr;
    QDateEdit *m_firstDateBox = nullptr;
    QDateEdit *m_lastDateBox = nullptr;
    QLineEdit *m_orderNumberBox = nullptr;
    QLineEdit *m_companyBox = nullptr;
    QLineEdit *m_addressBox = nullptr;

    // The sale edit panel.
    FloatingPanel *m_editPanel = nullptr;
    QHash<QString, QLineEdit *> m_panelFields; // by data1 column: a, b, ... j
    NumberBox *m_debtBox = nullptr;
    QPushButton *m_panelDeleteButton = nullptr;
    QPushButton *m_panelModifyButton = nullptr;
    qint64 m_panelLineId = 0;
    int m_lastClickedRow = -1;

    // The charts: year boxes, month box, views, series.
    QComboBox *m_monthlyYearBox = nullptr;
    QComboBox *m_dailyYearBox = nullptr;
    QComboBox *m_dailyMonthBox = nullptr;
    QWidget *m_monthlyPanel = nullptr;
    QWidget *m_dailyPanel = nullptr;
    QChartView *m_monthlyView = nullptr;
    QChartView *m_dailyView = nullptr;
    QBarSet *m_monthlyBars = nullptr;
    QBarSet *m_dailyBars = nullptr;
    bool m_chartsStale = true;
};

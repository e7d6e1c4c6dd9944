#pragma once

#include "common/DataGridColumn.h"

#include <QDialog>
#include <QList>
#include <QString>

class DataGrid;
class Database;
class QLabel;
class QMenu;
class ShopContext;
class SqlListModel;
struct GridPrintSettings;

// The summary window ("汇总统计"): per article (name, model, code and
// category) the purchase, sales and stock quantities and amounts summed over
// all stock-in records, with totals, title sorting, export and printing. The
// figures are read when the window is shown and stay as they are while it is
// open.
class TForm1 : public QDialog
{
    Q_OBJECT

public:
    // Made once by the main window; hidden and shown, never rebuilt.
    TForm1(ShopContext &context, QWidget *parent);

    DataGrid *grid() const { return m_grid; }
    SqlListModel *listModel() const { return m_list; }

    // The tool button opens the window modally, the stock list's menu without
    // blocking the main window; when it is open already it comes to the front.
    void openModal();
    void openModeless();

    // "导出Excel" and "打 印".
    void exportList();
    void printList();

    // Purchase, sales and stock amounts are hidden from an operator other
    // than the administrator until the program ends, whatever a restored
    // layout or a sort does.
    void applyRestrictedMode();
    bool isRestricted() const { return m_restricted; }

    static QList<DataGridColumn> designColumns();
    // The grid columns of the amounts an operator other than the
    // administrator does not see.
    static QList<int> restrictedColumns() { return {5, 7, 9}; }
    static QString exportTitle() { return QStringLiteral("商品进销存统计报表"); }
    static GridPrintSettings printSettings();

public slots:
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildMenu();
    void listArticles();
    void restoreColumnLayout();
    void saveColumnLayout();
    void hideRestrictedColumns();
    void updateCountLabel();

    ShopContext &m_context;
    const Database &m_db;
    DataGrid *m_grid = nullptr;
    SqlListModel *m_list = nullptr;
    QMenu *m_menu = nullptr;
    QLabel *m_countLabel = nullptr;
    bool m_restricted = false;
};

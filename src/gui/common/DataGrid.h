#pragma once

#include "DataGridColumn.h"
#include "DataGridModel.h"
#include "data/GridLayoutStore.h"

#include <QSet>
#include <QWidget>

class DataGridFooter;
class GroupedHeaderView;
class QTableView;

// The list grid of the stock, sales-detail and summary windows: a read-only
// table over a lazy SQL list with two-level coloured titles that sort on a
// click, a footer row of fixed texts and sums, hideable columns fitted to
// the width, a row-colour rule applied when drawing, and a column layout
// that is saved to and restored from the layout store.
class DataGrid : public QWidget
{
    Q_OBJECT

public:
    explicit DataGrid(QWidget *parent = nullptr);

    void setColumns(const QList<DataGridColumn> &columns);
    const QList<DataGridColumn> &columns() const { return m_model->columns(); }
    // The list is not owned; its sum fields are set from the columns.
    void setListModel(SqlListModel *model);
    SqlListModel *listModel() const { return m_model->source(); }
    // The fields whose footer shows a sum.
    QStringList sumFields() const;

    QTableView *view() const { return m_view; }
    GroupedHeaderView *header() const { return m_header; }
    DataGridFooter *footer() const { return m_footer; }
    DataGridModel *gridModel() const { return m_model; }

    // Title colours of one upper-title group.
    void setGroupColours(const QString &upperTitle, const QColor &background, const QColor &text);
    // The shop's title colours: 商品信息, 销售, 备注 sky blue, 进货 teal and
    // 存货 maroon with white text; other groups sky blue.
    void useShopGroupColours();
    void setRowColourRule(RowColourRule rule);
    void setRowBackground(const QColor &colour);
    void setFooterBackground(const QColor &colour);
    void setHint(const QString &hint);
    QString hint() const { return m_hint; }

    // The operator's (or a menu flag's) wish; a forced-hidden column stays
    // hidden whatever is wished, and shows again as wished when released.
    void setColumnVisible(int column, bool visible);
    bool isColumnVisible(int column) const;
    void setFieldVisible(const QString &field, bool visible);

    // Columns the session may not see (the restricted mode's cost and
    // profit columns). Nothing shows them while forced: not a menu item,
    // not a restored layout. A layout saved meanwhile keeps the visibility
    // the store already holds for them (or the one last wished when it
    // holds none), so a clerk's save cannot hide them for the administrator.
    void setColumnForcedHidden(int column, bool forced);
    bool isColumnForcedHidden(int column) const { return m_forcedHidden.contains(column); }
    int columnOfField(const QString &field) const;

    // ColumnLayout::NoSort, Ascending ("up") or Descending ("down").
    int sortMarker(int column) const { return m_model->sortMarker(column); }
    // What a click on a title does: sort by the marker as it stood before the
    // click (down: ascending; none or up: descending), then advance it
    // (none -> down -> up -> down) and clear the others unless Ctrl is held.
    void clickTitle(int column, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

    // The footer cell as shown: the fixed text, the formatted sum, or empty.
    QString footerText(int column) const;

    int currentRow() const;
    void setCurrentRow(int row);
    // Makes the list's last row current and shows it, reading only the page
    // that holds it. False when the list is empty or the page cannot be read.
    bool goToLastRow();
    QVariant currentValue(const QString &field) const;

    QList<ColumnLayout> columnLayout() const;
    void applyColumnLayout(const QList<ColumnLayout> &layout);
    bool saveLayout(GridLayoutStore &store, const QString &section) const;
    // False (and the design layout kept) when the section holds nothing.
    bool restoreLayout(const GridLayoutStore &store, const QString &section);

    // Shares the view's width among the visible columns in proportion to
    // their current widths.
    void fitColumns();

signals:
    // A title was clicked and the list is about to be sorted (the stock list
    // hides its panels).
    void aboutToSort(int column);
    void sorted(int column, bool ascending);
    // Double click or Enter on a row.
    void rowActivated(int row);
    void rowClicked(int row);
    void currentRowChanged(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onTitleClicked(int column);
    void updateFooter();

    DataGridModel *m_model;
    QTableView *m_view;
    GroupedHeaderView *m_header;
    DataGridFooter *m_footer;
    QString m_hint;
    void applyVisibility(int column);

    QList<int> m_widths;  // last width of each column while shown
    QList<bool> m_wanted; // the visibility asked for, forced hiding aside
    QSet<int> m_forcedHidden;
    bool m_fitting = false;
};

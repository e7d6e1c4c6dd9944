#pragma once

#include "DataGridColumn.h"
#include "data/SqlListModel.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QPointer>

#include <functional>

// Colour of a row's text, decided when the row is drawn; an invalid colour
// keeps the normal one.
using RowColourRule = std::function<QColor(const RowAccessor &)>;

// What a data grid's view and header read: the list's rows in the grid's
// columns, formatted with each column's pattern and coloured by the row
// rule, and the two-level titles with their group colours and sort markers.
class DataGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Role {
        UpperTitleRole = Qt::UserRole + 1, // header: the upper title line
        SortMarkerRole,                    // header: ColumnLayout::NoSort/Ascending/Descending
        RawValueRole,                      // cell: the value as the database gave it
    };

    explicit DataGridModel(QObject *parent = nullptr);

    void setColumns(const QList<DataGridColumn> &columns);
    const QList<DataGridColumn> &columns() const { return m_columns; }
    void setSource(SqlListModel *source);
    SqlListModel *source() const { return m_source; }

    void setGroupColours(const QString &upperTitle, const QColor &background, const QColor &text);
    void setTitleColours(const QColor &background, const QColor &text);
    void setRowColourRule(RowColourRule rule) { m_rowRule = std::move(rule); }
    void setRowBackground(const QColor &colour) { m_rowBackground = colour; }
    QColor rowBackground() const { return m_rowBackground; }

    int sortMarker(int column) const;
    void setSortMarker(int column, int marker);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent = QModelIndex()) const override;
    void fetchMore(const QModelIndex &parent = QModelIndex()) override;

private:
    struct Colours
    {
        QColor background;
        QColor text;
    };
    Colours groupColours(int column) const;

    QList<DataGridColumn> m_columns;
    QList<int> m_markers;
    QPointer<SqlListModel> m_source;
    QList<QMetaObject::Connection> m_connections;
    QHash<QString, Colours> m_groupColours;
    Colours m_titleColours;
    RowColourRule m_rowRule;
    QColor m_rowBackground;
};

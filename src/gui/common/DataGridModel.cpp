#include "DataGridModel.h"

#include "Contrast.h"
#include "data/GridLayoutStore.h"
#include "data/NumberFormat.h"

DataGridModel::DataGridModel(QObject *parent)
    : QAbstractTableModel(parent), m_titleColours{QColor(166, 202, 240), QColor(Qt::black)}
{}

void DataGridModel::setColumns(const QList<DataGridColumn> &columns)
{
    beginResetModel();
    m_columns = columns;
    m_markers = QList<int>(columns.size(), ColumnLayout::NoSort);
    endResetModel();
}

void DataGridModel::setSource(SqlListModel *source)
{
    beginResetModel();
    for (const QMetaObject::Connection &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_source = source;
    if (source) {
        m_connections << connect(source, &QAbstractItemModel::modelAboutToBeReset, this,
                                 &DataGridModel::beginResetModel)
                      << connect(source, &QAbstractItemModel::modelReset, this, &DataGridModel::endResetModel)
                      << connect(source, &QAbstractItemModel::rowsAboutToBeInserted, this,
                                 [this](const QModelIndex &, int first, int last) {
                                     beginInsertRows(QModelIndex(), first, last);
                                 })
                      << connect(source, &QAbstractItemModel::rowsInserted, this,
                                 &DataGridModel::endInsertRows)
                      << connect(source, &QObject::destroyed, this, [this] {
                             beginResetModel();
                             m_source = nullptr;
                             endResetModel();
                         });
    }
    endResetModel();
}

void DataGridModel::setGroupColours(const QString &upperTitle, const QColor &background, const QColor &text)
{
    m_groupColours.insert(upperTitle, Colours{background, text});
    if (!m_columns.isEmpty())
        emit headerDataChanged(Qt::Horizontal, 0, static_cast<int>(m_columns.size()) - 1);
}

void DataGridModel::setTitleColours(const QColor &background, const QColor &text)
{
    m_titleColours = Colours{background, text};
}

DataGridModel::Colours DataGridModel::groupColours(int column) const
{
    return m_groupColours.value(m_columns.at(column).upperTitle, m_titleColours);
}

int DataGridModel::sortMarker(int column) const
{
    return column >= 0 && column < m_markers.size() ? m_markers.at(column) : ColumnLayout::NoSort;
}

void DataGridModel::setSortMarker(int column, int marker)
{
    if (column < 0 || column >= m_markers.size() || m_markers.at(column) == marker)
        return;
    m_markers[column] = marker;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

int DataGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_source ? 0 : m_source->rowCount();
}

int DataGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant DataGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_source || index.column() >= m_columns.size())
        return QVariant();
    const DataGridColumn &column = m_columns.at(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return NumberFormat::formatValue(m_source->value(index.row(), column.field), column.pattern);
    case RawValueRole:
        return m_source->value(index.row(), column.field);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(column.alignment | Qt::AlignVCenter);
    case Qt::ForegroundRole: {
        // Evaluated at every draw, so a changed rule shows at the next repaint.
        QColor colour = m_rowRule ? m_rowRule(m_source->rowAt(index.row())) : QColor();
        // The rows keep the grid's own light background in every skin, so
        // their text is dark, whatever the skin's text colour is.
        if (m_rowBackground.isValid())
            return Contrast::readable(colour.isValid() ? colour : QColor(Qt::black), m_rowBackground);
        return colour.isValid() ? QVariant(colour) : QVariant();
    }
    case Qt::BackgroundRole:
        return m_rowBackground.isValid() ? QVariant(m_rowBackground) : QVariant();
    default:
        return QVariant();
    }
}

QVariant DataGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    const DataGridColumn &column = m_columns.at(section);
    switch (role) {
    case Qt::DisplayRole:
        return column.lowerTitle;
    case UpperTitleRole:
        return column.upperTitle;
    case SortMarkerRole:
        return sortMarker(section);
    case Qt::BackgroundRole:
        return groupColours(section).background;
    case Qt::ForegroundRole:
        return groupColours(section).text;
    default:
        return QVariant();
    }
}

bool DataGridModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_source && m_source->canFetchMore();
}

void DataGridModel::fetchMore(const QModelIndex &parent)
{
    if (!parent.isValid() && m_source)
        m_source->fetchMore();
}

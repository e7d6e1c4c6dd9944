#include "SqlListModel.h"

#include "Database.h"
#include "NumberFormat.h"
#include "QueryHelpers.h"
#include "Schema.h"

#include <QRegularExpression>
#include <QSqlField>

bool RowAccessor::isValid() const
{
    return m_model && m_row >= 0 && m_row < m_model->rowCount();
}

QVariant RowAccessor::value(const QString &field) const
{
    return m_model ? m_model->value(m_row, field) : QVariant();
}

SqlListModel::SqlListModel(const Database &database, QObject *parent)
    : QAbstractTableModel(parent), m_database(database)
{}

QString SqlListModel::identifier(const QString &field)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (plain.match(field).hasMatch())
        return field;
    QString escaped = field;
    escaped.replace(u'"', QStringLiteral("\"\""));
    return u'"' + escaped + u'"';
}

void SqlListModel::setQuery(const SqlListQuery &query)
{
    m_query = query;
    m_fieldIndex.clear();
    m_isDate.clear();
    for (int i = 0; i < m_query.fields.size(); ++i) {
        const QString &field = m_query.fields.at(i);
        m_fieldIndex.insert(field.toLower(), i);
        m_isDate << (m_query.dateFields.isEmpty() ? field.startsWith(QLatin1String("day"))
                                                  : m_query.dateFields.contains(field));
    }
    m_sortField.clear();
    m_sortAscending = true;
    m_record = QSqlRecord();
    m_active = true;
    run();
}

void SqlListModel::refresh()
{
    if (m_active)
        run();
}

void SqlListModel::clear()
{
    beginResetModel();
    m_active = false;
    m_rows.clear();
    m_sums.clear();
    m_totalCount = 0;
    m_exhausted = true;
    m_error.clear();
    endResetModel();
    emit totalsChanged();
}

void SqlListModel::setSumFields(const QStringList &fields)
{
    if (fields == m_sumFields)
        return;
    m_sumFields = fields;
    if (m_active && runAggregate())
        emit totalsChanged();
}

void SqlListModel::sortBy(const QString &field, bool ascending)
{
    if (fieldIndex(field) < 0)
        return;
    m_sortField = field;
    m_sortAscending = ascending;
    if (m_active)
        run();
}

void SqlListModel::setSortKeys(const QString &field, const QStringList &keys)
{
    m_sortKeys.insert(field.toLower(), keys);
}

void SqlListModel::run()
{
    beginResetModel();
    m_rows.clear();
    m_sums.clear();
    m_totalCount = 0;
    m_exhausted = true;
    m_error.clear();
    QList<QVariantList> page;
    const bool ok = runAggregate() && readPage(m_pageSize, page);
    m_rows = page;
    if (!ok) {
        m_rows.clear();
        m_sums.clear();
        m_totalCount = 0;
        m_exhausted = true;
    }
    endResetModel();
    emit totalsChanged();
    if (!ok)
        emit queryFailed(m_error);
}

QString SqlListModel::baseStatement() const
{
    QStringList columns;
    for (int i = 0; i < m_query.fields.size(); ++i) {
        const QString expression = i < m_query.expressions.size() ? m_query.expressions.at(i) : QString();
        const QString name = identifier(m_query.fields.at(i));
        columns << (expression.isEmpty() ? name : expression + QStringLiteral(" AS ") + name);
    }
    QString sql = QStringLiteral("select ") + columns.join(QStringLiteral(", ")) + QStringLiteral(" from ") +
                  m_query.from;
    if (!m_query.condition.trimmed().isEmpty())
        sql += QStringLiteral(" where ") + m_query.condition;
    if (!m_query.groupBy.trimmed().isEmpty())
        sql += QStringLiteral(" group by ") + m_query.groupBy;
    return sql;
}

bool SqlListModel::isTextField(const QString &field) const
{
    // After the first page the result itself says which columns hold text
    // (reliable on PostgreSQL, where the collation matters); before it the
    // shop tables' naming decides.
    const int i = m_record.indexOf(field);
    if (i >= 0)
        return m_record.field(i).metaType() == QMetaType::fromType<QString>();
    return Schema::isTextColumn(field);
}

QString SqlListModel::orderTerm(const QString &field, bool ascending) const
{
    const QString collation = isTextField(field) ? m_database.dialect().binaryCollation() : QString();
    return QStringLiteral("q.") + identifier(field) + collation +
           (ascending ? QStringLiteral(" ASC NULLS FIRST") : QStringLiteral(" DESC NULLS LAST"));
}

QString SqlListModel::orderClause() const
{
    QStringList terms;
    if (!m_sortField.isEmpty()) {
        for (const QString &key : m_sortKeys.value(m_sortField.toLower(), {m_sortField})) {
            if (fieldIndex(key) >= 0)
                terms << orderTerm(key, m_sortAscending);
        }
    } else if (!m_query.defaultOrderField.isEmpty()) {
        terms << orderTerm(m_query.defaultOrderField, !m_query.defaultDescending);
    }
    for (const QString &key : m_query.keyFields) {
        if (key.compare(m_sortField, Qt::CaseInsensitive) != 0)
            terms << orderTerm(key, true);
    }
    if (terms.isEmpty())
        return QString();
    return QStringLiteral(" order by ") + terms.join(QStringLiteral(", "));
}

bool SqlListModel::runAggregate()
{
    QStringList parts{QStringLiteral("count(*)")};
    for (const QString &field : m_sumFields)
        parts << QStringLiteral("sum(q.") + identifier(field) + u')';
    const QString sql = QStringLiteral("select ") + parts.join(QStringLiteral(", ")) +
                        QStringLiteral(" from (") + baseStatement() + QStringLiteral(") q");
    try {
        ++m_statements;
        QSqlQuery query = OpenStatement(m_database, sql, m_query.values);
        m_sums.clear();
        if (query.next()) {
            m_totalCount = query.value(0).toInt();
            for (int i = 0; i < m_sumFields.size(); ++i)
                m_sums.insert(m_sumFields.at(i).toLower(), query.value(i + 1));
        }
        m_exhausted = m_rows.size() >= m_totalCount;
        return true;
    } catch (const DatabaseError &error) {
        m_error = error.message();
        return false;
    }
}

bool SqlListModel::readPage(int limit, QList<QVariantList> &page)
{
    const QString sql = QStringLiteral("select * from (") + baseStatement() + QStringLiteral(") q") +
                        orderClause() + QStringLiteral(" limit ? offset ?");
    QVariantList values = m_query.values;
    values << limit << static_cast<int>(m_rows.size());
    try {
        ++m_statements;
        QSqlQuery query = OpenStatement(m_database, sql, values);
        m_record = query.record();
        while (query.next())
            page << rowFrom(query);
    } catch (const DatabaseError &error) {
        m_error = error.message();
        return false;
    }
    // Rows may have come or gone since the count; a short page marks the end.
    const int loaded = static_cast<int>(m_rows.size() + page.size());
    if (page.size() < limit)
        m_totalCount = loaded;
    m_exhausted = page.size() < limit || loaded >= m_totalCount;
    return true;
}

QVariantList SqlListModel::rowFrom(const QSqlQuery &query) const
{
    const int columns = static_cast<int>(m_query.fields.size());
    QVariantList row;
    row.reserve(columns);
    for (int c = 0; c < columns; ++c) {
        const QVariant v = query.value(c);
        row << (m_isDate.at(c) && !v.isNull() ? QVariant(Dialect::toDate(v)) : v);
    }
    return row;
}

SqlListModel::RowSnapshot SqlListModel::snapshotRow(const QVariant &key)
{
    RowSnapshot snapshot;
    snapshot.key = key;
    if (!m_active || m_query.keyFields.isEmpty() || !m_query.groupBy.trimmed().isEmpty())
        return snapshot;
    const QString sql = QStringLiteral("select * from (") + baseStatement() + QStringLiteral(") q where q.") +
                        identifier(m_query.keyFields.first()) + QStringLiteral(" = ?");
    QVariantList values = m_query.values;
    values << key;
    try {
        ++m_statements;
        QSqlQuery query = OpenStatement(m_database, sql, values);
        if (query.next()) {
            snapshot.inResult = true;
            snapshot.values = rowFrom(query);
        }
    } catch (const DatabaseError &) {
        // An unreadable row is followed by running the whole statement.
        snapshot.key = QVariant();
    }
    return snapshot;
}

void SqlListModel::rowChanged(const RowSnapshot &before)
{
    if (!m_active)
        return;
    const RowSnapshot after = before.key.isValid() ? snapshotRow(before.key) : RowSnapshot();
    if (!after.key.isValid() || after.inResult != before.inResult) {
        refresh();
        return;
    }
    if (!after.inResult)
        return;
    const QString order = m_sortField.isEmpty() ? m_query.defaultOrderField : m_sortField;
    if (!order.isEmpty() && after.values.value(fieldIndex(order)) != before.values.value(fieldIndex(order))) {
        refresh();
        return;
    }
    QHash<QString, QVariant> sums = m_sums;
    for (const QString &field : std::as_const(m_sumFields)) {
        const int column = fieldIndex(field);
        const QVariant was = before.values.value(column);
        const QVariant now = after.values.value(column);
        QVariant &total = sums[field.toLower()];
        if (was.isNull() && now.isNull())
            continue;
        if (!now.isNull() && was.isNull() && total.isNull()) {
            total = now;
        } else if (!was.isNull() && now.isNull()) {
            // Whether another row still holds a value is unknown here.
            refresh();
            return;
        } else if (total.typeId() == QMetaType::LongLong && now.typeId() == QMetaType::LongLong &&
                   (was.isNull() || was.typeId() == QMetaType::LongLong)) {
            total = total.toLongLong() + now.toLongLong() - was.toLongLong();
        } else {
            total = total.toDouble() + now.toDouble() - was.toDouble();
        }
    }
    m_sums = sums;
    const int keyColumn = fieldIndex(m_query.keyFields.first());
    for (int row = 0; row < m_rows.size(); ++row) {
        if (m_rows.at(row).value(keyColumn) == before.key) {
            m_rows[row] = after.values;
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
            break;
        }
    }
    emit totalsChanged();
}

QVariant SqlListModel::sum(const QString &field) const
{
    return m_sums.value(field.toLower());
}

int SqlListModel::fieldIndex(const QString &field) const
{
    return m_fieldIndex.value(field.toLower(), -1);
}

QString SqlListModel::fieldName(int column) const
{
    return column >= 0 && column < m_query.fields.size() ? m_query.fields.at(column) : QString();
}

QVariant SqlListModel::value(int row, const QString &field) const
{
    return value(row, fieldIndex(field));
}

QVariant SqlListModel::value(int row, int column) const
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_query.fields.size())
        return QVariant();
    return m_rows.at(row).at(column);
}

void SqlListModel::fetchAll()
{
    while (canFetchMore())
        fetchMore();
}

int SqlListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int SqlListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_query.fields.size());
}

QVariant SqlListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    if (role == Qt::DisplayRole)
        return NumberFormat::formatValue(value(index.row(), index.column()), QString());
    if (role == Qt::EditRole)
        return value(index.row(), index.column());
    return QVariant();
}

QVariant SqlListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return fieldName(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool SqlListModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_active && !m_exhausted && m_error.isEmpty();
}

void SqlListModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    const int first = static_cast<int>(m_rows.size());
    QList<QVariantList> page;
    if (!readPage(std::max(m_pageSize, first), page)) {
        m_exhausted = true;
        emit queryFailed(m_error);
        return;
    }
    if (!page.isEmpty()) {
        beginInsertRows(QModelIndex(), first, first + static_cast<int>(page.size()) - 1);
        m_rows << page;
        endInsertRows();
    }
    emit totalsChanged();
}

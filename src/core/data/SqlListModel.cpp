#include "SqlListModel.h"

#include "Database.h"
#include "NumberFormat.h"
#include "QueryHelpers.h"
#include "Schema.h"

#include <QRegularExpression>
#include <QSqlField>
#include <QSqlQuery>

#include <algorithm>

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
    run(true);
}

void SqlListModel::refresh()
{
    if (m_active)
        run(true);
}

void SqlListModel::resetRows()
{
    m_rows.clear();
    m_pages.clear();
    m_sparse = false;
    m_sortedKeys.clear();
    m_exhausted = true;
}

void SqlListModel::clear()
{
    beginResetModel();
    m_active = false;
    resetRows();
    m_sums.clear();
    m_totalCount = 0;
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
    // The order changes no count and no sum.
    if (m_active)
        run(false);
}

void SqlListModel::setSortKeys(const QString &field, const QStringList &keys, Qt::CaseSensitivity textCase)
{
    m_sortKeys.insert(field.toLower(), SortKeys{keys, textCase});
}

void SqlListModel::run(bool withTotals)
{
    beginResetModel();
    resetRows();
    m_error.clear();
    bool ok = true;
    QList<QVariantList> page;
    if (withTotals) {
        m_sums.clear();
        m_totalCount = 0;
        // A result that fits in its first page gives its count and sums from
        // that page: one pass instead of two. A query with its own page shape
        // needs the count to choose it, and a sorted one its keys first.
        if (m_query.pageCondition.isEmpty() && !keepsSortedKeys()) {
            ok = readRange(0, m_pageSize, page);
            if (ok && page.size() < m_pageSize) {
                sumLoadedRows(page);
            } else if (ok) {
                ok = runAggregate();
                m_exhausted = page.size() >= m_totalCount;
            }
            withTotals = false;
        } else {
            ok = runAggregate();
        }
    }
    if (ok && page.isEmpty() && keepsSortedKeys())
        ok = readOrderedKeys();
    // An empty result needs no page (a filter that matches nothing stays cheap).
    if (ok && page.isEmpty() && m_totalCount > 0)
        ok = readPage(m_pageSize, page);
    m_rows = page;
    if (!ok) {
        resetRows();
        m_sums.clear();
        m_totalCount = 0;
    }
    endResetModel();
    emit totalsChanged();
    if (!ok)
        emit queryFailed(m_error);
}

void SqlListModel::sumLoadedRows(const QList<QVariantList> &rows)
{
    m_totalCount = static_cast<int>(rows.size());
    m_exhausted = true;
    m_sums.clear();
    for (const QString &field : m_sumFields) {
        const int column = fieldIndex(field);
        // As SQL's sum: null without a value, whole numbers stay whole.
        bool any = false;
        bool whole = true;
        qint64 wholeSum = 0;
        double sum = 0;
        for (const QVariantList &row : rows) {
            const QVariant &v = column >= 0 ? row.at(column) : QVariant();
            if (v.isNull())
                continue;
            any = true;
            const int type = v.typeId();
            if (whole && (type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::UInt ||
                          type == QMetaType::ULongLong))
                wholeSum += v.toLongLong();
            else
                whole = false;
            sum += v.toDouble();
        }
        m_sums.insert(field.toLower(), !any ? QVariant() : whole ? QVariant(wholeSum) : QVariant(sum));
    }
}

QString SqlListModel::baseStatement(bool forPages) const
{
    // A long result reads its pages in order along the key; a short one is
    // found through the filter's index and sorted.
    constexpr int kPagesInOrderFrom = 5000;
    const QString &condition =
        forPages && !m_query.pageCondition.isEmpty() && m_totalCount >= kPagesInOrderFrom
            ? m_query.pageCondition
            : m_query.condition;
    QStringList columns;
    for (int i = 0; i < m_query.fields.size(); ++i) {
        const QString expression = i < m_query.expressions.size() ? m_query.expressions.at(i) : QString();
        const QString name = identifier(m_query.fields.at(i));
        columns << (expression.isEmpty() ? name : expression + QStringLiteral(" AS ") + name);
    }
    QString sql = QStringLiteral("select ") + columns.join(QStringLiteral(", ")) + QStringLiteral(" from ") +
                  m_query.from;
    if (!condition.trimmed().isEmpty())
        sql += QStringLiteral(" where ") + condition;
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

QString SqlListModel::orderTerm(const QString &field, bool ascending, bool isKey, bool foldCase) const
{
    const bool text = isTextField(field);
    const QString collation = text ? m_database.dialect().binaryCollation() : QString();
    // Nulls first ascending and last descending is SQLite's own order. On
    // PostgreSQL it is spelled out, except for a row key, which holds no null:
    // there the clause would only keep the server from reading its index.
    QString nulls;
    if (!m_database.dialect().isSQLite() && !isKey)
        nulls = ascending ? QStringLiteral(" NULLS FIRST") : QStringLiteral(" NULLS LAST");
    // lower() keeps nulls null, so the null order above holds as well. On
    // PostgreSQL under "C" it folds ASCII letters only, as SQLite's does.
    QString term = QStringLiteral("q.") + identifier(field) + collation;
    if (foldCase && text)
        term = QStringLiteral("lower(") + term + u')';
    return term + (ascending ? QStringLiteral(" ASC") : QStringLiteral(" DESC")) + nulls;
}

QString SqlListModel::orderClause(bool reversed) const
{
    const bool rowKey = m_query.keyFields.size() == 1;
    QStringList terms;
    if (!m_sortField.isEmpty()) {
        const SortKeys sort = m_sortKeys.value(m_sortField.toLower(), SortKeys{{m_sortField}});
        for (const QString &key : sort.keys) {
            if (fieldIndex(key) >= 0)
                terms << orderTerm(key, m_sortAscending != reversed,
                                   rowKey && key.compare(m_query.keyFields.first(), Qt::CaseInsensitive) == 0,
                                   sort.textCase == Qt::CaseInsensitive);
        }
    } else if (!m_query.defaultOrderField.isEmpty()) {
        terms << orderTerm(m_query.defaultOrderField, !m_query.defaultDescending != reversed, false);
    }
    for (const QString &key : m_query.keyFields) {
        if (key.compare(m_sortField, Qt::CaseInsensitive) != 0)
            terms << orderTerm(key, !reversed, rowKey);
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

bool SqlListModel::keepsSortedKeys() const
{
    return !m_sortField.isEmpty() && m_query.keyFields.size() == 1 && m_query.groupBy.trimmed().isEmpty() &&
           fieldIndex(m_query.keyFields.first()) >= 0;
}

bool SqlListModel::readOrderedKeys()
{
    const QString sql = QStringLiteral("select q.") + identifier(m_query.keyFields.first()) +
                        QStringLiteral(" from (") + baseStatement() + QStringLiteral(") q") + orderClause();
    try {
        ++m_statements;
        QSqlQuery query = OpenStatement(m_database, sql, m_query.values);
        m_sortedKeys.reserve(m_totalCount);
        while (query.next())
            m_sortedKeys << query.value(0);
    } catch (const DatabaseError &error) {
        m_sortedKeys.clear();
        m_error = error.message();
        return false;
    }
    m_totalCount = static_cast<int>(m_sortedKeys.size());
    return true;
}

bool SqlListModel::readByKeys(int offset, int limit, QList<QVariantList> &rows) const
{
    const int end = static_cast<int>(std::min<qsizetype>(qsizetype(offset) + limit, m_sortedKeys.size()));
    if (offset >= end)
        return true;
    const QString key = m_query.keyFields.first();
    QVariantList values = m_query.values;
    QHash<QString, int> position;
    QString marks;
    for (int i = offset; i < end; ++i) {
        marks += i == offset ? QStringLiteral("?") : QStringLiteral(",?");
        values << m_sortedKeys.at(i);
        position.insert(m_sortedKeys.at(i).toString(), i - offset);
    }
    const QString sql = QStringLiteral("select * from (") + baseStatement() + QStringLiteral(") q where q.") +
                        identifier(key) + QStringLiteral(" in (") + marks + u')';
    // A row gone since the sort keeps its place, empty.
    QList<QVariantList> found(end - offset, QVariantList(m_query.fields.size()));
    try {
        ++m_statements;
        QSqlQuery query = OpenStatement(m_database, sql, values);
        m_record = query.record();
        const int keyColumn = fieldIndex(key);
        while (query.next()) {
            const int at = position.value(query.value(keyColumn).toString(), -1);
            if (at >= 0)
                found[at] = rowFrom(query);
        }
    } catch (const DatabaseError &error) {
        m_error = error.message();
        return false;
    }
    rows << found;
    return true;
}

bool SqlListModel::readRange(int offset, int limit, QList<QVariantList> &rows) const
{
    if (keepsSortedKeys())
        return readByKeys(offset, limit, rows);
    // Rows in the lower half are read from the other end, so the page of the
    // last row skips no more rows than the page of the first one.
    const QString order = orderClause();
    const bool fromEnd = !m_query.keyFields.isEmpty() && !order.isEmpty() && offset > m_totalCount / 2 &&
                         offset < m_totalCount;
    int skip = offset;
    int take = limit;
    if (fromEnd) {
        const int end = static_cast<int>(std::min<qint64>(qint64(offset) + limit, m_totalCount));
        skip = m_totalCount - end;
        take = end - offset;
    }
    const QString sql = QStringLiteral("select * from (") + baseStatement(true) + QStringLiteral(") q") +
                        (fromEnd ? orderClause(true) : order) + QStringLiteral(" limit ? offset ?");
    QVariantList values = m_query.values;
    values << take << skip;
    QList<QVariantList> read;
    try {
        ++m_statements;
        QSqlQuery query = OpenStatement(m_database, sql, values);
        m_record = query.record();
        while (query.next())
            read << rowFrom(query);
    } catch (const DatabaseError &error) {
        m_error = error.message();
        return false;
    }
    if (fromEnd)
        std::reverse(read.begin(), read.end());
    rows << read;
    return true;
}

bool SqlListModel::readPage(int limit, QList<QVariantList> &page)
{
    if (!readRange(static_cast<int>(m_rows.size()), limit, page))
        return false;
    // Rows may have come or gone since the count; a short page marks the end
    // (a list that already counts every row keeps its count).
    const int loaded = static_cast<int>(m_rows.size() + page.size());
    if (page.size() < limit && !m_sparse)
        m_totalCount = loaded;
    m_exhausted = page.size() < limit || loaded >= m_totalCount;
    return true;
}

QVariantList SqlListModel::rowFrom(const QSqlQuery &query) const
{
    const int columns = static_cast<int>(m_query.fields.size());
    QVariantList row;
    row.reserve(columns);
    for (int c = 0; c < columns; ++c)
        row << query.value(c);
    return withDates(row);
}

QVariantList SqlListModel::withDates(QVariantList row) const
{
    for (int c = 0; c < row.size() && c < m_isDate.size(); ++c) {
        if (m_isDate.at(c) && !row.at(c).isNull())
            row[c] = Dialect::toDate(row.at(c));
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
        // One row by its key: on a server in one round trip.
        const QVariantList row = FirstRow(m_database, sql, values).mid(0, m_query.fields.size());
        if (!row.isEmpty()) {
            snapshot.inResult = true;
            snapshot.values = withDates(row);
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
    for (auto page = m_pages.begin(); page != m_pages.end(); ++page) {
        for (int i = 0; i < page.value().size(); ++i) {
            if (page.value().at(i).value(keyColumn) == before.key) {
                page.value()[i] = after.values;
                emit dataChanged(index(page.key() + i, 0), index(page.key() + i, columnCount() - 1));
            }
        }
    }
    emit totalsChanged();
}

const QVariantList *SqlListModel::loadedRow(int row) const
{
    if (row < 0)
        return nullptr;
    if (row < m_rows.size())
        return &m_rows.at(row);
    if (!m_sparse || row >= m_totalCount)
        return nullptr;
    auto page = m_pages.upperBound(row);
    if (page != m_pages.begin()) {
        --page;
        if (row < page.key() + page.value().size())
            return &page.value().at(row - page.key());
    }
    // A page that failed is not read again for every cell painted: with the
    // server out of reach each attempt would wait for the connection.
    if (!m_error.isEmpty())
        return nullptr;
    const int first = row / m_pageSize * m_pageSize;
    QList<QVariantList> rows;
    if (!readRange(first, m_pageSize, rows))
        return nullptr;
    const auto stored = m_pages.insert(first, rows);
    return row - first < stored.value().size() ? &stored.value().at(row - first) : nullptr;
}

bool SqlListModel::loadRow(int row)
{
    if (!m_active || row < 0 || row >= m_totalCount || !m_error.isEmpty())
        return false;
    if (!m_sparse && row >= m_rows.size()) {
        // From now on the list counts every row; the rows between are read
        // as the view reaches them.
        beginInsertRows(QModelIndex(), static_cast<int>(m_rows.size()), m_totalCount - 1);
        m_sparse = true;
        endInsertRows();
    }
    if (loadedRow(row))
        return true;
    if (!m_error.isEmpty())
        emit queryFailed(m_error);
    return false;
}

bool SqlListModel::hasUnloadedRows() const
{
    return m_active && !m_exhausted && m_error.isEmpty();
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
    if (column < 0 || column >= m_query.fields.size())
        return QVariant();
    const QVariantList *values = loadedRow(row);
    return values && column < values->size() ? values->at(column) : QVariant();
}

void SqlListModel::fetchAll()
{
    while (hasUnloadedRows())
        fetchMore();
}

int SqlListModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_sparse ? m_totalCount : static_cast<int>(m_rows.size());
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
    // A list that counts every row has nothing to add; its pages load as read.
    return !parent.isValid() && !m_sparse && hasUnloadedRows();
}

void SqlListModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid() || !hasUnloadedRows())
        return;
    const int first = static_cast<int>(m_rows.size());
    QList<QVariantList> page;
    if (!readPage(std::max(m_pageSize, first), page)) {
        m_exhausted = true;
        emit queryFailed(m_error);
        return;
    }
    if (m_sparse) {
        // The rows exist already; the pages now covered from the top go.
        m_rows << page;
        while (!m_pages.isEmpty() && m_pages.firstKey() + m_pages.first().size() <= m_rows.size())
            m_pages.erase(m_pages.begin());
    } else if (!page.isEmpty()) {
        beginInsertRows(QModelIndex(), first, first + static_cast<int>(page.size()) - 1);
        m_rows << page;
        endInsertRows();
    }
    emit totalsChanged();
}

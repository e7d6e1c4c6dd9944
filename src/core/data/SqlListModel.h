#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QMap>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

class Database;

// The statement behind a list: what to select, from where, under which
// conditions. The model adds the ordering and the paging itself.
struct SqlListQuery
{
    // Result columns in order, as named in the table ("a", "7", "day1") or,
    // with an expression, the name the expression is given ("进货数量").
    QStringList fields;
    // Optional SQL per field ("sum(\"2\")"); an empty entry or a short list
    // means the field is a plain column.
    QStringList expressions;
    QString from;        // "data"
    QString condition;   // without "where"; "?" for every value
    QVariantList values; // bound to the "?" of condition, in order
    // The same rows as condition, bound to the same values, written for
    // reading a long result in order (an index of the filter would make the
    // engine sort every matching row for one page); empty = condition.
    QString pageCondition;
    QString groupBy; // "a, b, c, d" or empty
    // Columns that make the order total, so that paging neither repeats nor
    // skips rows among equal sort values ("id"; the group columns of a report).
    QStringList keyFields;
    // The order before any title is clicked; empty = by the keys only.
    QString defaultOrderField;
    bool defaultDescending = false;
    // Fields shown as dates (QDate on both engines); empty = every field
    // named "day..." by the shop tables' convention.
    QStringList dateFields;

    bool operator==(const SqlListQuery &) const = default;
};

class SqlListModel;

// Read access to one row of a list by field name, handed to row-colour rules
// and to windows acting on "the current row".
class RowAccessor
{
public:
    RowAccessor(const SqlListModel *model, int row) : m_model(model), m_row(row) {}
    int row() const { return m_row; }
    bool isValid() const;
    QVariant value(const QString &field) const;

private:
    const SqlListModel *m_model;
    int m_row;
};

// A read-only list over one SELECT that fetches its rows lazily, page by page
// (LIMIT/OFFSET on both engines, so PostgreSQL never sends the whole result
// at once), knows the row count and the footer sums from one aggregate
// statement over the same conditions, and re-sorts by running the statement
// again with another ORDER BY (the sums stay: they do not depend on the order).
//
// Rows are loaded from the top as the view scrolls down. Asking for a row far
// below (the last one) loads only the page that holds it; the list then counts
// every row of the result and loads the pages between as they are read.
// A list with one key field sorted by a title keeps the keys of the sorted
// result once and reads later pages by key, so scrolling never sorts again.
class SqlListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit SqlListModel(const Database &database, QObject *parent = nullptr);

    // Runs the query: one aggregate (count and sums) and the first page.
    // Drops any sort; the list starts on its default order.
    void setQuery(const SqlListQuery &query);
    const SqlListQuery &query() const { return m_query; }
    // Runs the current query again, keeping the sort (after a sale or an edit).
    void refresh();
    // One row as the list's statement sees it, by the value of its first key
    // field: whether the statement holds it, and its values. Taken before a
    // change of that one row (a sale books one stock row), it lets the list
    // follow the change without running the whole statement again.
    struct RowSnapshot
    {
        QVariant key;
        bool inResult = false;
        QVariantList values;
    };
    RowSnapshot snapshotRow(const QVariant &key);
    // After the row of `before` changed: its loaded line shows the database's
    // values again and the count and sums move by the difference. When the
    // change can move or add or drop a line (the row entered or left the
    // result, a value it is ordered by changed, a sum lost its last value),
    // the whole statement runs again instead, as refresh() does.
    void rowChanged(const RowSnapshot &before);
    // Empties the list and forgets the query (the database is going away).
    void clear();
    bool isActive() const { return m_active; }

    // Fields whose sums the footer shows; the aggregate sums exactly these.
    void setSumFields(const QStringList &fields);
    QStringList sumFields() const { return m_sumFields; }

    // Re-runs the statement ordered by field; equal values keep the order of
    // the key fields. Nulls come first ascending and last descending. Count
    // and sums are not queried again.
    void sortBy(const QString &field, bool ascending);
    QString sortField() const { return m_sortField; }
    // What a sort by field orders by, when that is not the field alone (a
    // Chinese name by its pinyin initials, then by the text). Kept across
    // queries; keys the current query does not select are left out. With
    // Qt::CaseInsensitive text keys compare in lower case, so initials kept
    // in capitals ("LVb") sort among the others.
    void setSortKeys(const QString &field, const QStringList &keys,
                     Qt::CaseSensitivity textCase = Qt::CaseSensitive);
    bool sortAscending() const { return m_sortAscending; }

    // Rows in the whole result (the aggregate's count), not only those fetched.
    int totalCount() const { return m_totalCount; }
    // The footer sum of a summed field; null when there is no non-null value.
    QVariant sum(const QString &field) const;

    int fieldIndex(const QString &field) const;
    QString fieldName(int column) const;
    QVariant value(int row, const QString &field) const;
    QVariant value(int row, int column) const;
    RowAccessor rowAt(int row) const { return RowAccessor(this, row); }

    // Rows per page of the first fetch; later fetches double, so reaching
    // the end of a long list takes few statements.
    void setPageSize(int rows) { m_pageSize = rows > 0 ? rows : 1; }
    int pageSize() const { return m_pageSize; }
    // Statements run since the model was made (counting is for benchmarks
    // and tests: the first screen and the footers must take two).
    int statementCount() const { return m_statements; }
    // Loads every remaining row (export and printing need all of them).
    void fetchAll();
    // Loads the page holding row (0 <= row < totalCount()) without the rows
    // before it; afterwards rowCount() is totalCount(). False on an error.
    bool loadRow(int row);
    // Whether some row of the result is not loaded yet (export loads them).
    bool hasUnloadedRows() const;

    QString errorText() const { return m_error; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent = QModelIndex()) const override;
    void fetchMore(const QModelIndex &parent = QModelIndex()) override;

    // A field as an SQL identifier: plain codes stay bare ("a", "id"), all
    // others ("7", "进货数量") are double-quoted.
    static QString identifier(const QString &field);

signals:
    // A statement failed; the list is empty until the next successful run.
    void queryFailed(const QString &message);
    // Count and sums changed.
    void totalsChanged();

private:
    void run(bool withTotals);
    bool runAggregate();
    void sumLoadedRows(const QList<QVariantList> &rows);
    bool readPage(int limit, QList<QVariantList> &page);
    bool readRange(int offset, int limit, QList<QVariantList> &rows) const;
    bool readByKeys(int offset, int limit, QList<QVariantList> &rows) const;
    bool readOrderedKeys();
    bool keepsSortedKeys() const;
    const QVariantList *loadedRow(int row) const;
    QVariantList rowFrom(const QSqlQuery &query) const;
    QVariantList withDates(QVariantList row) const;
    void resetRows();
    QString baseStatement(bool forPages = false) const;
    QString orderClause(bool reversed = false) const;
    QString orderTerm(const QString &field, bool ascending, bool isKey, bool foldCase = false) const;
    bool isTextField(const QString &field) const;

    const Database &m_database;
    SqlListQuery m_query;
    QHash<QString, int> m_fieldIndex; // lower-case name -> column
    QList<bool> m_isDate;
    QStringList m_sumFields;
    QList<QVariantList> m_rows; // loaded from the top without a gap
    // Pages loaded below the rows above, by their first row; only while the
    // list counts every row (m_sparse). Filled as the view reads them.
    mutable QMap<int, QList<QVariantList>> m_pages;
    bool m_sparse = false;
    // The keys of the sorted result in their order (a title sort of a list
    // with one key field); empty otherwise.
    QVariantList m_sortedKeys;
    mutable QSqlRecord m_record;
    QHash<QString, QVariant> m_sums;
    QString m_sortField;
    struct SortKeys
    {
        QStringList keys;
        Qt::CaseSensitivity textCase = Qt::CaseSensitive;
    };
    QHash<QString, SortKeys> m_sortKeys; // lower-case field -> keys
    bool m_sortAscending = true;
    int m_totalCount = 0;
    int m_pageSize = 256;
    mutable int m_statements = 0;
    bool m_active = false;
    bool m_exhausted = true;
    mutable QString m_error;
};

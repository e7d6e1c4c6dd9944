#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <stdexcept>

class Database;

// A statement the database refused. what() is UTF-8; message() is the text
// for the operator, sql() the statement for the log.
class DatabaseError : public std::runtime_error
{
public:
    DatabaseError(const QString &message, const QString &sql);
    QString message() const { return m_message; }
    QString sql() const { return m_sql; }

private:
    QString m_message;
    QString m_sql;
};

// The statement helpers every window goes through. Typed values always travel
// as bound parameters ("?"), never inside the SQL text.

// Every statement run through these helpers while one is alive, with its
// values: the benchmarks replay exactly what an action ran in the database's
// own shell. One at a time, on the thread that runs the statements. A test
// may also act at a chosen statement, before it runs.
class StatementRecorder
{
public:
    struct Statement
    {
        QString sql;
        QVariantList values;
    };
    using Callback = std::function<void(const QString &sql, const QVariantList &values)>;
    explicit StatementRecorder(Callback beforeEach = {});
    ~StatementRecorder();
    StatementRecorder(const StatementRecorder &) = delete;
    StatementRecorder &operator=(const StatementRecorder &) = delete;
    const QList<Statement> &statements() const { return m_statements; }
    void clear() { m_statements.clear(); }

private:
    friend void RecordStatement(const QString &sql, const QVariantList &values);
    QList<Statement> m_statements;
    Callback m_beforeEach;
};
// Hands a statement run outside these helpers (BEGIN, COMMIT) to the recorder.
void RecordStatement(const QString &sql, const QVariantList &values = {});

// libpq's own connection behind a PostgreSQL connection of Qt's driver;
// null for any other driver.
struct pg_conn;
pg_conn *LibpqConnection(const QSqlDatabase &connection);

// Runs a SELECT and returns the query standing before its first row.
QSqlQuery OpenStatement(const Database &db, const QString &sql, const QVariantList &values = {});

// Runs an INSERT, UPDATE or DELETE; returns the number of rows it changed.
int ExecuteStatement(const Database &db, const QString &sql, const QVariantList &values = {});

// The values of the first row in column order (empty when there is none),
// for a statement whose result is one row (UPDATE/INSERT ... RETURNING). On a
// server the statement and its values travel in one round trip.
QVariantList FirstRow(const Database &db, const QString &sql, const QVariantList &values = {});

// The single value of the first row (an invalid QVariant when there is no row).
QVariant ScalarValue(const Database &db, const QString &sql, const QVariantList &values = {});

// "select c from t group by c order by c", nulls first as they always came:
// the distinct values of one column, ascending.
QSqlQuery OpenDistinctValues(const Database &db, const QString &column, const QString &table);

// The same as text, a null as one empty entry, in the query's order.
QStringList DistinctValues(const Database &db, const QString &column, const QString &table);

// The same list as DistinctValues, read by hopping along the column's index
// from one value to the next larger one: one index seek per distinct value
// instead of a scan of every row. For columns with few distinct values over
// many rows (the categories or customers of a million sale lines).
QStringList DistinctValuesByIndex(const Database &db, const QString &column, const QString &table);

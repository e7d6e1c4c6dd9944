#pragma once

#include <QList>
#include <QMetaType>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>

// Whole tables between a PostgreSQL server and a SQLite file, streamed with
// COPY through the driver's libpq connection: one pass over the data with no
// statement per row on the server, which row-by-row reading through Qt SQL
// cannot come near at a million sale lines.
namespace ServerCopy {

// One table both sides have, each column spelt as each side spells it and
// typed as the server stores it (dates, times and numbers are converted
// between the two engines' forms on the way).
struct Table
{
    QString serverName;
    QString fileName;
    QStringList serverColumns;
    QStringList fileColumns;
    QList<QMetaType> serverTypes;
};

// done and total in rows.
using Progress = std::function<void(qint64 done, qint64 total)>;

// Appends every row of tables on the server to the same tables of the
// SQLite file at path, in one transaction of the file, then runs
// afterwards (index statements) in it. The server side reads inside whatever
// transaction is open on server, so the caller chooses the snapshot. False
// with *error set (the server's or the file's words).
bool download(const QSqlDatabase &server, const QString &path, const QList<Table> &tables,
              const QStringList &afterwards, qint64 total, const Progress &progress, QString *error);

// Appends every row of the tables in the SQLite file at path to the same
// tables on the server, inside the transaction the caller has open there.
bool upload(const QSqlDatabase &server, const QString &path, const QList<Table> &tables, qint64 total,
            const Progress &progress, QString *error);

} // namespace ServerCopy

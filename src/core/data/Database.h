#pragma once

#include "DatabaseLocation.h"
#include "Dialect.h"

#include <QSqlDatabase>
#include <QString>

// The data module: owns the one connection to the shop database, creates the
// schema of a new database and checks the schema of an existing one.
class Database
{
public:
    // Opens at once; isOpen() and errorText() tell how it went.
    explicit Database(const DatabaseLocation &location,
                      const QString &connectionName = QStringLiteral("lwjxc"));
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    bool isOpen() const { return m_db.isValid() && m_db.isOpen(); }
    // A Chinese sentence naming the file or server and the reason.
    QString errorText() const { return m_error; }
    // True when this opening created the schema (a new database).
    bool wasCreated() const { return m_created; }

    // The backup window closes the connection while it copies the file and
    // reopens it afterwards.
    void close();
    bool reopen();

    QSqlDatabase connection() const { return m_db; }
    const Dialect &dialect() const { return m_dialect; }
    const DatabaseLocation &location() const { return m_location; }

    // How long a SQLite write waits for another counter's write (ms).
    static void setBusyTimeout(int milliseconds);

private:
    bool open();
    bool openSQLite();
    bool openPostgreSQL();
    bool checkOrCreateSchema();
    bool createSchema();
    bool fail(const QString &text);
    QString sqliteReason(const class QSqlError &error) const;

    DatabaseLocation m_location;
    QString m_connectionName;
    Dialect m_dialect;
    QSqlDatabase m_db;
    QString m_error;
    bool m_created = false;
};

// A write transaction that rolls back unless committed: writes that belong
// together (a sale and its stock booking) land together or not at all.
class WriteTransaction
{
public:
    explicit WriteTransaction(const Database &database);
    ~WriteTransaction();
    WriteTransaction(const WriteTransaction &) = delete;
    WriteTransaction &operator=(const WriteTransaction &) = delete;

    bool isActive() const { return m_active; }
    QString errorText() const { return m_error; }
    bool commit();
    void rollback();

private:
    QSqlDatabase m_db;
    bool m_active = false;
    QString m_error;
};

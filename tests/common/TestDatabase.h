#pragma once

#include "data/Database.h"

#include <QTemporaryDir>

#include <memory>

// A fresh, empty shop database for one test, on the engine the test run
// names (LWJXC_TEST_BACKEND=sqlite|postgresql; SQLite when unset). On
// PostgreSQL each instance gets its own database on the server named by
// LWJXC_TEST_PG_URL, dropped again afterwards.
class TestDatabase
{
public:
    TestDatabase();
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    // Whether this run is on PostgreSQL.
    static bool onPostgreSQL();
    // "SQLite" or "PostgreSQL", for test output.
    static QString backendName();

    bool isOpen() const { return m_db && m_db->isOpen(); }
    QString errorText() const;
    Database &db() { return *m_db; }
    const DatabaseLocation &location() const { return m_location; }
    // A second, independent connection to the same database (another counter).
    std::unique_ptr<Database> openSecondConnection(const QString &connectionName) const;
    // PostgreSQL only: ends every connection to this database and refuses new
    // ones, as a server that is down would, until called with true again.
    bool setServerReachable(bool reachable);

private:
    DatabaseLocation adminLocation() const;
    QTemporaryDir m_dir;
    DatabaseLocation m_location;
    QString m_pgDatabase;
    QString m_pgAdminUrl;
    std::unique_ptr<Database> m_db;
    QString m_error;
};

#include "TestDatabase.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace {
int g_counter = 0;

bool adminExec(const DatabaseLocation &server, const QString &sql, QString *error)
{
    const QString name = QStringLiteral("lwjxc_test_admin");
    bool ok = false;
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        admin.setHostName(server.host);
        admin.setPort(server.port);
        admin.setUserName(server.user);
        admin.setPassword(server.password);
        admin.setDatabaseName(server.database);
        if (!admin.open()) {
            *error = admin.lastError().text();
        } else {
            QSqlQuery q(admin);
            ok = q.exec(sql);
            if (!ok)
                *error = q.lastError().text();
            admin.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}
} // namespace

bool TestDatabase::onPostgreSQL()
{
    return qEnvironmentVariable("LWJXC_TEST_BACKEND") == QLatin1String("postgresql");
}

QString TestDatabase::backendName()
{
    return onPostgreSQL() ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite");
}

TestDatabase::TestDatabase()
{
    const QString connection = QStringLiteral("lwjxc_test_%1").arg(++g_counter);
    if (!onPostgreSQL()) {
        m_location = DatabaseLocation::fromArgument(m_dir.filePath(QStringLiteral("data.mdb")));
        m_location.explicitlyNamed = false; // a first start creates it
        m_db = std::make_unique<Database>(m_location, connection);
        return;
    }
    const QString url = qEnvironmentVariable("LWJXC_TEST_PG_URL");
    if (url.isEmpty()) {
        m_error = QStringLiteral("LWJXC_TEST_BACKEND=postgresql but LWJXC_TEST_PG_URL is not set");
        return;
    }
    const DatabaseLocation server = DatabaseLocation::fromArgument(url);
    m_pgDatabase = QStringLiteral("lwjxc_t_%1_%2_%3")
                       .arg(QCoreApplication::applicationPid())
                       .arg(g_counter)
                       .arg(QUuid::createUuid().toString(QUuid::Id128).left(8));
    if (!adminExec(server, QStringLiteral("CREATE DATABASE %1").arg(m_pgDatabase), &m_error))
        return;
    m_location = server;
    m_location.database = m_pgDatabase;
    m_db = std::make_unique<Database>(m_location, connection);
}

TestDatabase::~TestDatabase()
{
    m_db.reset();
    if (!m_pgDatabase.isEmpty()) {
        QString ignored;
        adminExec(adminLocation(),
                  QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_pgDatabase), &ignored);
    }
}

DatabaseLocation TestDatabase::adminLocation() const
{
    DatabaseLocation server = m_location;
    server.database = DatabaseLocation::fromArgument(qEnvironmentVariable("LWJXC_TEST_PG_URL")).database;
    return server;
}

bool TestDatabase::setServerReachable(bool reachable)
{
    if (m_pgDatabase.isEmpty())
        return false;
    QString error;
    if (!adminExec(adminLocation(),
                   QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS %2")
                       .arg(m_pgDatabase, reachable ? QStringLiteral("true") : QStringLiteral("false")),
                   &error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    return reachable ||
           adminExec(adminLocation(),
                     QStringLiteral("SELECT pg_terminate_backend(pid, 5000) FROM pg_stat_activity "
                                    "WHERE datname = '%1'")
                         .arg(m_pgDatabase),
                     &error);
}

QString TestDatabase::errorText() const
{
    if (!m_error.isEmpty())
        return m_error;
    return m_db ? m_db->errorText() : QStringLiteral("no database");
}

std::unique_ptr<Database> TestDatabase::openSecondConnection(const QString &connectionName) const
{
    return std::make_unique<Database>(m_location, connectionName);
}

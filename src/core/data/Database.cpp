#include "Database.h"

#include "PasswordHash.h"
#include "Schema.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
int g_busyTimeoutMs = 5000;

// SQLite result codes the opening tells apart (sqlite3.h).
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteCantOpen = 14;
constexpr int kSqliteNotADb = 26;
} // namespace

void Database::setBusyTimeout(int milliseconds)
{
    g_busyTimeoutMs = milliseconds;
}

Database::Database(const DatabaseLocation &location, const QString &connectionName)
    : m_location(location), m_connectionName(connectionName),
      m_dialect(location.isPostgreSQL() ? Dialect::Engine::PostgreSQL : Dialect::Engine::SQLite)
{
    open();
}

Database::~Database()
{
    close();
    m_db = QSqlDatabase();
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::removeDatabase(m_connectionName);
}

void Database::close()
{
    if (m_db.isValid() && m_db.isOpen())
        m_db.close();
}

bool Database::reopen()
{
    close();
    m_db = QSqlDatabase();
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::removeDatabase(m_connectionName);
    m_created = false;
    return open();
}

bool Database::fail(const QString &text)
{
    m_error = text;
    if (m_db.isValid() && m_db.isOpen())
        m_db.close();
    return false;
}

bool Database::open()
{
    m_error.clear();
    if (!m_location.errorText.isEmpty())
        return fail(m_location.errorText);
    if (!(m_location.isPostgreSQL() ? openPostgreSQL() : openSQLite()))
        return false;
    return checkOrCreateSchema();
}

QString Database::sqliteReason(const QSqlError &error) const
{
    const QString file = m_location.displayName();
    const QString detail = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    switch (error.nativeErrorCode().toInt() & 0xff) {
    case kSqliteBusy:
    case kSqliteLocked:
        return QStringLiteral("数据库文件“%1”正被其他程序锁定，请稍后再试。（%2）").arg(file, detail);
    case kSqliteReadOnly:
        return QStringLiteral(
                   "数据库文件“%1”是只读的，无法保存数据。请检查文件和所在文件夹的写入权限。（%2）")
            .arg(file, detail);
    case kSqliteCorrupt:
    case kSqliteNotADb:
        return QStringLiteral("数据库文件“%1”已损坏或不是本软件的数据库。（%2）").arg(file, detail);
    case kSqliteCantOpen:
        return QStringLiteral("无法打开数据库文件“%1”。（%2）").arg(file, detail);
    default:
        return QStringLiteral("数据库文件“%1”无法使用。（%2）").arg(file, detail);
    }
}

bool Database::openSQLite()
{
    const QString file = m_location.displayName();
    const QFileInfo info(m_location.path);
    if (info.exists() && !info.isFile())
        return fail(QStringLiteral("数据库文件“%1”不是一个文件。").arg(file));
    if (!info.exists()) {
        if (m_location.explicitlyNamed)
            return fail(QStringLiteral("数据库文件“%1”不存在。").arg(file));
        if (!QDir().mkpath(info.absolutePath()))
            return fail(QStringLiteral("无法创建数据库文件夹“%1”。")
                            .arg(QDir::toNativeSeparators(info.absolutePath())));
    } else if (!info.isReadable()) {
        return fail(QStringLiteral("数据库文件“%1”无法读取，请检查文件权限。").arg(file));
    }

    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_db.setDatabaseName(m_location.path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(g_busyTimeoutMs));
    if (!m_db.open())
        return fail(sqliteReason(m_db.lastError()));

    // Read before writing anything: a foreign or damaged file is left as it was.
    QSqlQuery probe(m_db);
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return fail(sqliteReason(probe.lastError()));
    return true;
}

bool Database::openPostgreSQL()
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
    m_db.setHostName(m_location.host);
    m_db.setPort(m_location.port);
    m_db.setUserName(m_location.user);
    m_db.setPassword(m_location.password);
    m_db.setDatabaseName(m_location.database);
    m_db.setConnectOptions(QStringLiteral("connect_timeout=10;application_name=lwjxc"));
    if (!m_db.open()) {
        const QSqlError error = m_db.lastError();
        const QString detail =
            (error.databaseText().isEmpty() ? error.text() : error.databaseText()).trimmed();
        return fail(QStringLiteral("无法连接数据库服务器“%1”。（%2）").arg(m_location.displayName(), detail));
    }
    QSqlQuery settings(m_db);
    settings.exec(QStringLiteral("SET client_min_messages TO WARNING"));
    return true;
}

namespace {
QStringList existingTables(const QSqlDatabase &db)
{
    QStringList names;
    for (const QString &t : db.tables(QSql::Tables))
        names << t.toLower();
    return names;
}
} // namespace

bool Database::checkOrCreateSchema()
{
    const QStringList present = existingTables(m_db);
    bool anyOurs = false;
    for (const Schema::Table &table : Schema::tables())
        anyOurs = anyOurs || present.contains(table.name);

    if (!anyOurs) {
        if (!present.isEmpty())
            return fail(QStringLiteral("数据库“%1”不是本软件的数据库（没有数据表 data、data1、userdb、rz）。")
                            .arg(m_location.displayName()));
        if (m_dialect.isSQLite()) {
            // Only now may the file change: WAL before the first table.
            QSqlQuery pragma(m_db);
            if (!pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
                return fail(sqliteReason(pragma.lastError()));
        }
        return createSchema();
    }

    for (const Schema::Table &table : Schema::tables()) {
        if (!present.contains(table.name))
            return fail(QStringLiteral("数据库“%1”缺少数据表“%2”，无法使用。")
                            .arg(m_location.displayName(), table.name));
        const QSqlRecord record = m_db.record(table.name);
        for (const QString &column : table.columns) {
            if (record.indexOf(column) < 0)
                return fail(QStringLiteral("数据库“%1”的数据表“%2”缺少列“%3”，无法使用。")
                                .arg(m_location.displayName(), table.name, column));
        }
    }

    if (m_dialect.isSQLite()) {
        QSqlQuery q(m_db);
        // A write probe tells a read-only or locked file now, not at the first sale.
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
            return fail(sqliteReason(q.lastError()));
        q.exec(QStringLiteral("ROLLBACK"));
        if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
            return fail(sqliteReason(q.lastError()));
        q.exec(QStringLiteral("PRAGMA synchronous=FULL"));
        q.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
    }
    // Best effort: a server account without the right to create indexes
    // still works, only slower.
    QSqlQuery index(m_db);
    for (const QString &statement : Schema::indexStatements())
        index.exec(statement);
    return true;
}

bool Database::createSchema()
{
    if (m_dialect.isSQLite()) {
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("PRAGMA synchronous=FULL"));
        q.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
    }
    WriteTransaction tx(*this);
    if (!tx.isActive())
        return fail(
            m_dialect.isSQLite()
                ? QStringLiteral("无法写入数据库文件“%1”。（%2）")
                      .arg(m_location.displayName(), tx.errorText())
                : QStringLiteral("无法写入数据库“%1”。（%2）").arg(m_location.displayName(), tx.errorText()));
    QSqlQuery q(m_db);
    if (m_dialect.isPostgreSQL()) {
        // Two counters starting on an empty server at once: the second waits
        // here and then finds the tables made by the first.
        q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(7345201)"));
        if (existingTables(m_db).contains(QStringLiteral("data")))
            return tx.commit() && checkOrCreateSchema();
    }
    for (const QString &statement : Schema::createStatements(m_dialect)) {
        if (!q.exec(statement))
            return fail(QStringLiteral("无法在“%1”中建立数据表。（%2）")
                            .arg(m_location.displayName(), q.lastError().text()));
    }
    q.prepare(QStringLiteral("INSERT INTO userdb (username, passwd) VALUES (?, ?)"));
    q.addBindValue(Schema::kAdministrator);
    q.addBindValue(PasswordHash::hash(Schema::kDefaultPassword));
    if (!q.exec())
        return fail(QStringLiteral("无法在“%1”中建立管理员账号。（%2）")
                        .arg(m_location.displayName(), q.lastError().text()));
    if (!tx.commit())
        return fail(
            QStringLiteral("无法保存新数据库“%1”。（%2）").arg(m_location.displayName(), tx.errorText()));
    m_created = true;
    return true;
}

WriteTransaction::WriteTransaction(const Database &database) : m_db(database.connection())
{
    QSqlQuery q(m_db);
    m_active = q.exec(database.dialect().beginWrite());
    if (!m_active)
        m_error = q.lastError().text();
}

WriteTransaction::~WriteTransaction()
{
    rollback();
}

bool WriteTransaction::commit()
{
    if (!m_active)
        return false;
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("COMMIT"))) {
        m_error = q.lastError().text();
        rollback();
        return false;
    }
    m_active = false;
    return true;
}

void WriteTransaction::rollback()
{
    if (!m_active)
        return;
    QSqlQuery q(m_db);
    q.exec(QStringLiteral("ROLLBACK"));
    m_active = false;
}

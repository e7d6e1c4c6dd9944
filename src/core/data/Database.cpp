#include "Database.h"

#include "PasswordHash.h"
#include "QueryHelpers.h"
#include "Schema.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QThread>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {
int g_busyTimeoutMs = 5000;
std::function<void()> g_checkHook;

// SQLite result codes the opening tells apart (sqlite3.h).
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteReadOnly = 8;
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteCantOpen = 14;
constexpr int kSqliteNotADb = 26;
} // namespace

// The structure check of a SQLite file on its own read-only connection and
// thread; the verdict is an empty text when the file is sound.
class IntegrityCheck
{
public:
    using Waiter = std::pair<QPointer<QObject>, std::function<void(const QString &)>>;

    IntegrityCheck(const QString &path, const QString &connectionName, const QString &displayName)
    {
        m_thread = std::thread([this, path, connectionName, displayName, hook = g_checkHook] {
            if (hook)
                hook();
            const QString verdict = run(path, connectionName, displayName);
            std::vector<Waiter> waiters;
            {
                const std::lock_guard lock(m_mutex);
                m_verdict = verdict;
                m_done = true;
                waiters.swap(m_waiters);
            }
            m_finished.notify_all();
            for (Waiter &waiter : waiters)
                deliver(std::move(waiter), verdict);
        });
    }
    ~IntegrityCheck() { m_thread.join(); }
    IntegrityCheck(const IntegrityCheck &) = delete;
    IntegrityCheck &operator=(const IntegrityCheck &) = delete;

    bool isDone()
    {
        const std::lock_guard lock(m_mutex);
        return m_done;
    }

    QString wait()
    {
        std::unique_lock lock(m_mutex);
        m_finished.wait(lock, [this] { return m_done; });
        return m_verdict;
    }

    void whenDone(QObject *context, std::function<void(const QString &)> fn)
    {
        Waiter waiter{QPointer<QObject>(context), std::move(fn)};
        {
            const std::lock_guard lock(m_mutex);
            if (!m_done) {
                m_waiters.push_back(std::move(waiter));
                return;
            }
        }
        deliver(std::move(waiter), m_verdict);
    }

    // "PRAGMA quick_check" walks every page of every table and index: a
    // damaged page, a broken tree or a truncated file gives something else
    // than "ok". It never writes.
    static QString verdictOf(QSqlQuery &query, const QString &displayName)
    {
        if (!query.exec(QStringLiteral("PRAGMA quick_check")))
            return Database::damagedText(displayName, query.lastError().databaseText());
        QStringList problems;
        while (query.next() && problems.size() < 3)
            problems << query.value(0).toString();
        query.finish();
        if (problems == QStringList{QStringLiteral("ok")})
            return QString();
        return Database::damagedText(displayName, problems.join(QStringLiteral("；")));
    }

private:
    static QString run(const QString &path, const QString &connectionName, const QString &displayName)
    {
        QString verdict;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
            db.setDatabaseName(path);
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
            if (!db.open()) {
                verdict = Database::damagedText(displayName, db.lastError().text());
            } else {
                QSqlQuery query(db);
                verdict = verdictOf(query, displayName);
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(connectionName);
        return verdict;
    }

    static void deliver(Waiter waiter, const QString &verdict)
    {
        QCoreApplication *app = QCoreApplication::instance();
        if (!app)
            return;
        QMetaObject::invokeMethod(
            app,
            [context = waiter.first, fn = std::move(waiter.second), verdict] {
                if (context)
                    fn(verdict);
            },
            Qt::QueuedConnection);
    }

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_finished;
    bool m_done = false;
    QString m_verdict;
    std::vector<Waiter> m_waiters;
};

QString Database::damagedText(const QString &file, const QString &detail)
{
    return QStringLiteral("数据库文件“%1”已损坏，为免数据进一步受损，本软件不会写入它。请用备份恢复。（%2）")
        .arg(file, detail);
}

void Database::setBusyTimeout(int milliseconds)
{
    g_busyTimeoutMs = milliseconds;
}

Database::Database(const DatabaseLocation &location, const QString &connectionName, DatabaseOptions options)
    : m_location(location), m_connectionName(connectionName),
      m_dialect(location.isPostgreSQL() ? Dialect::Engine::PostgreSQL : Dialect::Engine::SQLite),
      m_options(std::move(options))
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
    m_check.reset(); // waits for a check still under way
    if (m_db.isValid() && m_db.isOpen())
        m_db.close();
    m_writable = false;
}

bool Database::reopen()
{
    close();
    m_db = QSqlDatabase();
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::removeDatabase(m_connectionName);
    m_created = false;
    m_declined = false;
    m_writeRefusal.clear();
    return open();
}

bool Database::fail(const QString &text)
{
    m_error = text;
    m_check.reset();
    if (m_db.isValid() && m_db.isOpen())
        m_db.close();
    return false;
}

bool Database::open()
{
    m_error.clear();
    m_writable = false;
    if (!m_location.errorText.isEmpty())
        return fail(m_location.errorText);
    if (!(m_location.isPostgreSQL() ? openPostgreSQL() : openSQLite()))
        return false;
    if (!checkOrCreateSchema())
        return false;
    if (m_dialect.isSQLite() && !m_created && !checkStructure())
        return false;
    if (m_check)
        return true; // writing waits for the check
    if (!ensureWritable())
        return fail(m_writeRefusal);
    return true;
}

bool Database::checkStructure()
{
    if (m_options.checkInBackground) {
        // Reads go on while the check runs; a write that slips past the gate
        // is refused by SQLite itself.
        QSqlQuery q(m_db);
        q.exec(QStringLiteral("PRAGMA query_only=1"));
        m_check = std::make_shared<IntegrityCheck>(
            m_location.path, m_connectionName + QStringLiteral("_check"), m_location.displayName());
        return true;
    }
    QSqlQuery q(m_db);
    const QString verdict = IntegrityCheck::verdictOf(q, m_location.displayName());
    return verdict.isEmpty() || fail(verdict);
}

bool Database::ensureWritable() const
{
    if (m_writable)
        return true;
    if (!m_writeRefusal.isEmpty() || !isOpen())
        return false;
    if (m_check) {
        const QString verdict = m_check->wait();
        if (!verdict.isEmpty()) {
            m_writeRefusal = verdict;
            return false;
        }
    }
    return prepareForWriting();
}

bool Database::checkPending() const
{
    return !m_writable && m_writeRefusal.isEmpty() && m_check && !m_check->isDone();
}

void Database::setCheckHookForTests(std::function<void()> hook)
{
    g_checkHook = std::move(hook);
}

void Database::whenChecked(QObject *context, std::function<void(const QString &)> fn) const
{
    if (m_check)
        m_check->whenDone(context, std::move(fn));
    else
        fn(m_writeRefusal);
}

bool Database::prepareForWriting() const
{
    QSqlQuery q(m_db);
    if (m_dialect.isSQLite()) {
        q.exec(QStringLiteral("PRAGMA query_only=0"));
        // A real write, rolled back: a file SQLite could only open for
        // reading (read-only file system, permissions) is told now, not at
        // the first sale.
        bool writable = q.exec(QStringLiteral("BEGIN IMMEDIATE"));
        if (writable) {
            writable = q.exec(QStringLiteral("CREATE TABLE lwjxc_write_probe (x)"));
            const QSqlError error = q.lastError();
            QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
            if (!writable) {
                m_writeRefusal = sqliteReason(error);
                return false;
            }
        } else {
            m_writeRefusal = sqliteReason(q.lastError());
            return false;
        }
        if (!q.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) {
            m_writeRefusal = sqliteReason(q.lastError());
            return false;
        }
        q.exec(QStringLiteral("PRAGMA synchronous=FULL"));
        q.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
        // After a checkpoint has emptied the log, the file shrinks back to
        // this size instead of keeping the largest it ever reached.
        q.exec(QStringLiteral("PRAGMA journal_size_limit=%1").arg(4 * 1024 * 1024));
    }
    // Best effort: a server account without the right to create tables or
    // indexes still works, only slower (and without shared order numbers).
    for (const QString &statement : Schema::upgradeStatements(m_dialect))
        q.exec(statement);
    m_writable = true;
    return true;
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

namespace {
constexpr int kSQLiteCacheKiB = 20 * 1024;
} // namespace

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
    } else if (!info.isWritable()) {
        // Told before SQLite opens it, so no -wal or -shm file is left behind.
        return fail(QStringLiteral("数据库文件“%1”是只读的，无法保存数据。请检查文件和所在文件夹的写入权限。")
                        .arg(file));
    } else if (!QFileInfo(info.absolutePath()).isWritable()) {
        return fail(
            QStringLiteral("数据库文件“%1”所在的文件夹不可写入，无法保存数据。请检查文件夹的写入权限。")
                .arg(file));
    } else if (info.size() == 0) {
        // A failed copy or restore leaves an empty file: only the operator
        // may turn it into a new shop.
        if (!m_options.confirmEmptyFile || !m_options.confirmEmptyFile(m_location.path)) {
            m_declined = true;
            return fail(QStringLiteral("数据库文件“%1”是空的（0 字节），未作任何改动。").arg(file));
        }
    }

    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_db.setDatabaseName(m_location.path);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(g_busyTimeoutMs));
    if (!m_db.open())
        return fail(sqliteReason(m_db.lastError()));
    // SQLite's 2 MB default cache re-reads the pages of a keystroke's
    // statements from the system on every keystroke; 20 MB holds the stock
    // table's hot pages of a large shop and keeps the whole list loaded
    // within the memory the program aims at (a 64 MB cache does not).
    QSqlQuery(m_db).exec(QStringLiteral("PRAGMA cache_size=-%1").arg(kSQLiteCacheKiB));

    // Read before writing anything: a foreign or damaged file is left as it was.
    QSqlQuery probe(m_db);
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return fail(sqliteReason(probe.lastError()));
    return true;
}

namespace {
QString reasonOf(const QSqlError &error)
{
    QString detail = (error.databaseText().isEmpty() ? error.text() : error.databaseText()).trimmed();
    // libpq's second line only guesses at the cause.
    detail = detail.section(u'\n', 0, 0).trimmed();
    return detail.isEmpty() ? QStringLiteral("连接已断开") : detail;
}

// What the operator can do when the server wants a password it did not get
// (libpq's words); empty for any other refusal. The password itself is never
// repeated: libpq's messages do not carry it.
QString passwordAdvice(const QString &reason)
{
    QString advice;
    if (reason.contains(QLatin1String("no password supplied")))
        advice = QStringLiteral("服务器要求口令，但没有得到口令。");
    else if (reason.contains(QLatin1String("password authentication failed")))
        advice = QStringLiteral("服务器不接受这个口令。");
    else
        return advice;
    advice += QStringLiteral("请把口令写入 ~/.pgpass（只许本人读写：chmod 600 ~/.pgpass）"
                             "或环境变量 PGPASSWORD，数据库地址中不要写口令。");
    const QString passFile = qEnvironmentVariableIsEmpty("PGPASSFILE")
                                 ? QDir::home().filePath(QStringLiteral(".pgpass"))
                                 : qEnvironmentVariable("PGPASSFILE");
    const QFileInfo info(passFile);
    const auto othersMayRead = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                               QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    if (info.isFile() && (info.permissions() & othersMayRead))
        advice += QStringLiteral("\n%1 其他用户也能读取，因此没有被使用；请执行 chmod 600 %1。")
                      .arg(QDir::toNativeSeparators(passFile));
    return advice;
}
} // namespace

bool Database::openPostgreSQL()
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
    m_db.setHostName(m_location.host);
    m_db.setPort(m_location.port);
    m_db.setUserName(m_location.user);
    m_db.setPassword(m_location.password);
    m_db.setDatabaseName(m_location.database);
    // Every connection, the reopened ones too: notices stay out of the log,
    // and no statement starts parallel workers. The program's statements
    // take milliseconds; starting workers for them costs more than it saves
    // (the count and sums of 100,000 stock rows: 12 ms alone, 32-38 ms with
    // a worker).
    m_db.setConnectOptions(QStringLiteral("connect_timeout=10;application_name=lwjxc;"
                                          "options='-c client_min_messages=warning "
                                          "-c max_parallel_workers_per_gather=0'"));
    if (!m_db.open()) {
        const QString reason = reasonOf(m_db.lastError());
        const QString advice = passwordAdvice(reason);
        return fail(QStringLiteral("无法连接数据库服务器“%1”。（%2）").arg(m_location.displayName(), reason) +
                    (advice.isEmpty() ? QString() : u'\n' + advice));
    }
    return true;
}

Database::Connection Database::recoverConnection() const
{
    if (!m_dialect.isPostgreSQL() || !m_db.isValid())
        return Connection::Alive;
    {
        QSqlQuery probe(m_db);
        // An aborted transaction refuses every statement (25P02) on a live connection.
        if (probe.exec(QStringLiteral("SELECT 1")) ||
            probe.lastError().nativeErrorCode() == QLatin1String("25P02"))
            return Connection::Alive;
    }
    QSqlDatabase db = m_db;
    db.close();
    if (!db.open()) {
        m_reconnectError = reasonOf(db.lastError());
        return Connection::Unreachable;
    }
    m_reconnectError.clear();
    return Connection::Reconnected;
}

QString Database::lostConnectionText(const QString &reason) const
{
    if (!m_reconnectError.isEmpty() || !isOpen())
        return QStringLiteral("与数据库服务器“%1”的连接已中断，现在仍无法连接。（%2）")
            .arg(m_location.displayName(), m_reconnectError.isEmpty() ? reason : m_reconnectError);
    return QStringLiteral("与数据库服务器“%1”的连接曾中断，已重新连接，请再操作一次。（%2）")
        .arg(m_location.displayName(), reason);
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

namespace {
WriteTransaction::CommitHook g_commitHook;
} // namespace

void WriteTransaction::setCommitHookForTests(CommitHook hook)
{
    g_commitHook = std::move(hook);
}

WriteTransaction::WriteTransaction(const Database &database) : m_database(database)
{
    if (!database.ensureWritable()) {
        m_error = database.writeRefusal().isEmpty() ? database.errorText() : database.writeRefusal();
        return;
    }
    if (begin())
        return;
    // A server restarted since the last statement: the next operation
    // simply works on a new connection.
    if (database.recoverConnection() == Database::Connection::Reconnected && begin())
        return;
    if (database.dialect().isPostgreSQL() && !database.m_reconnectError.isEmpty())
        m_error = database.lostConnectionText(m_error);
}

bool WriteTransaction::begin()
{
    RecordStatement(m_database.dialect().beginWrite());
    QSqlQuery q(m_database.connection());
    if (!q.exec(m_database.dialect().beginWrite())) {
        m_error = reasonOf(q.lastError());
        return false;
    }
    if (m_database.dialect().isPostgreSQL()) {
        // Remembered so that a COMMIT whose answer is lost can be looked up.
        RecordStatement(QStringLiteral("SELECT txid_current()"));
        if (!q.exec(QStringLiteral("SELECT txid_current()")) || !q.next()) {
            m_error = reasonOf(q.lastError());
            QSqlQuery(m_database.connection()).exec(QStringLiteral("ROLLBACK"));
            return false;
        }
        m_serverTransaction = q.value(0).toLongLong();
    }
    m_active = true;
    ++m_database.m_transactionDepth;
    return true;
}

void WriteTransaction::end()
{
    if (m_active)
        --m_database.m_transactionDepth;
    m_active = false;
}

WriteTransaction::~WriteTransaction()
{
    rollback();
}

bool WriteTransaction::commit()
{
    if (!m_active)
        return false;
    const bool postgres = m_database.dialect().isPostgreSQL();
    if (postgres && g_commitHook)
        g_commitHook(m_database, false);
    RecordStatement(QStringLiteral("COMMIT"));
    QSqlQuery q(m_database.connection());
    const bool committed = q.exec(QStringLiteral("COMMIT"));
    const QString reason =
        committed ? QStringLiteral("server closed the connection unexpectedly") : reasonOf(q.lastError());
    q.finish();
    if (committed && !(postgres && g_commitHook && g_commitHook(m_database, true))) {
        end();
        return true;
    }
    m_error = reason;
    if (postgres) {
        end();
        return settleLostCommit(reason);
    }
    rollback();
    return false;
}

bool WriteTransaction::settleLostCommit(const QString &reason)
{
    const Database::Connection connection = m_database.recoverConnection();
    if (connection == Database::Connection::Alive) {
        // The server answered with a refusal: nothing was saved.
        QSqlQuery(m_database.connection()).exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    const QString server = m_database.location().displayName();
    if (connection == Database::Connection::Unreachable) {
        m_unknown = true;
        m_error = QStringLiteral("与数据库服务器“%1”的连接在保存时中断，服务器现在仍无法连接，"
                                 "无法确定是否已保存。请在服务器恢复后查看再决定是否重新录入。（%2；%3）")
                      .arg(server, reason, m_database.m_reconnectError);
        return false;
    }
    // The server knows how the transaction ended; a backend that has not yet
    // noticed the lost client may still be finishing it.
    QDeadlineTimer deadline(10000);
    QString status;
    do {
        QSqlQuery ask(m_database.connection());
        if (ask.prepare(QStringLiteral("SELECT txid_status(?)")) &&
            (ask.addBindValue(m_serverTransaction), ask.exec()) && ask.next())
            status = ask.value(0).toString();
        else
            status.clear();
        if (status != QLatin1String("in progress"))
            break;
        QThread::msleep(200);
    } while (!deadline.hasExpired());
    if (status == QLatin1String("committed"))
        return true;
    if (status == QLatin1String("aborted")) {
        m_error =
            QStringLiteral("与数据库服务器“%1”的连接在保存时中断，服务器确认没有保存；已重新连接。（%2）")
                .arg(server, reason);
        return false;
    }
    m_unknown = true;
    m_error = QStringLiteral("与数据库服务器“%1”的连接在保存时中断，无法确定是否已保存。"
                             "请先查看再决定是否重新录入。（%2）")
                  .arg(server, reason);
    return false;
}

void WriteTransaction::rollback()
{
    if (!m_active)
        return;
    QSqlQuery q(m_database.connection());
    q.exec(QStringLiteral("ROLLBACK"));
    end();
}

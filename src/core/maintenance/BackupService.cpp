#include "BackupService.h"

#include "ServerCopy.h"
#include "SqliteFile.h"
#include "data/Database.h"
#include "data/Dialect.h"
#include "data/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <atomic>
#include <filesystem>

namespace {

std::atomic<int> g_connectionCounter{0};

QString display(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString errorDetail(const QSqlError &error)
{
    const QString detail = error.databaseText().trimmed();
    return detail.isEmpty() ? error.text().trimmed() : detail;
}

// A connection of this service's own, removed again when it goes out of
// scope, so the checks never disturb the program's connection.
class OwnConnection
{
public:
    explicit OwnConnection(const QString &driver)
        : m_name(QStringLiteral("lwjxc_backup_%1").arg(++g_connectionCounter))
    {
        m_db = QSqlDatabase::addDatabase(driver, m_name);
    }
    ~OwnConnection()
    {
        if (m_db.isOpen())
            m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    OwnConnection(const OwnConnection &) = delete;
    OwnConnection &operator=(const OwnConnection &) = delete;
    QSqlDatabase &db() { return m_db; }

private:
    QString m_name;
    QSqlDatabase m_db;
};

// The program's own way onto the server (timeouts, messages), under a
// connection name of this service.
class ServerConnection
{
public:
    explicit ServerConnection(const DatabaseLocation &location)
        : m_database(location, QStringLiteral("lwjxc_backup_%1").arg(++g_connectionCounter))
    {}
    bool open(QString *error) const
    {
        if (!m_database.isOpen())
            *error = m_database.errorText();
        return m_database.isOpen();
    }
    QSqlDatabase db() const { return m_database.connection(); }

private:
    Database m_database;
};

// A free name beside path for a file that becomes path once it is complete.
QString temporaryBeside(const QString &path, const QString &purpose)
{
    const QFileInfo info(path);
    return info.dir().filePath(
        QStringLiteral(".%1.%2-%3")
            .arg(info.fileName(), purpose, QUuid::createUuid().toString(QUuid::Id128).left(12)));
}

void removeDatabaseFile(const QString &path)
{
    for (const QString &suffix :
         {QString(), QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(path + suffix);
}

// Replaces an existing file of that name in one step (rename over it).
bool replaceByRename(const QString &from, const QString &to, QString *error)
{
    std::error_code code;
    std::filesystem::rename(std::filesystem::path(from.toStdU16String()),
                            std::filesystem::path(to.toStdU16String()), code);
    if (code) {
        *error = QString::fromLocal8Bit(code.message());
        return false;
    }
    return true;
}

// "data-恢复前-20240305-093000.mdb", or with "-2", "-3" ... when a file of
// that name is already there.
QString freeName(const QDir &folder, const QString &fileName)
{
    const QFileInfo info(fileName);
    QString candidate = folder.filePath(fileName);
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = folder.filePath(
            QStringLiteral("%1-%2.%3").arg(info.completeBaseName()).arg(n).arg(info.suffix()));
    return candidate;
}

QStringList userTables(const QSqlDatabase &db)
{
    QStringList names;
    for (const QString &table : db.tables(QSql::Tables)) {
        if (!table.startsWith(QLatin1String("sqlite_")))
            names << table;
    }
    return names;
}

QString quotedName(const QString &name)
{
    QString escaped = name;
    escaped.replace(u'"', QStringLiteral("\"\""));
    return u'"' + escaped + u'"';
}

// The tables and columns present on the server and in the file, each spelt
// as each engine spells it (PostgreSQL folds ID to id). Every table both
// have is carried, so a table added to the shop later is carried too.
QList<ServerCopy::Table> commonTables(const QSqlDatabase &server, const QSqlDatabase &file)
{
    const QStringList fileTables = userTables(file);
    QList<ServerCopy::Table> common;
    for (const QString &serverTable : userTables(server)) {
        const auto match = std::find_if(fileTables.begin(), fileTables.end(), [&](const QString &t) {
            return t.compare(serverTable, Qt::CaseInsensitive) == 0;
        });
        if (match == fileTables.end())
            continue;
        ServerCopy::Table table{serverTable, *match, {}, {}, {}};
        const QSqlRecord serverRecord = server.record(serverTable);
        const QSqlRecord fileRecord = file.record(*match);
        for (int i = 0; i < serverRecord.count(); ++i) {
            const QString column = serverRecord.fieldName(i);
            for (int j = 0; j < fileRecord.count(); ++j) {
                if (fileRecord.fieldName(j).compare(column, Qt::CaseInsensitive) == 0) {
                    table.serverColumns << column;
                    table.fileColumns << fileRecord.fieldName(j);
                    table.serverTypes << serverRecord.field(i).metaType();
                    break;
                }
            }
        }
        if (!table.serverColumns.isEmpty())
            common << table;
    }
    return common;
}

} // namespace

BackupService::BackupService(DatabaseLocation location) : m_location(std::move(location)) {}

QString BackupService::keptFileName(const QDateTime &now)
{
    return QStringLiteral("data-恢复前-%1.mdb").arg(now.toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

QString BackupService::checkBackupFile(const QString &path, Check depth)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("备份数据库没找到!");
    if (!info.isFile())
        return QStringLiteral("“%1”不是一个文件。").arg(display(path));
    if (info.size() == 0)
        return QStringLiteral("“%1”是一个空文件，不是数据库备份。").arg(display(path));

    OwnConnection connection(QStringLiteral("QSQLITE"));
    QSqlDatabase &db = connection.db();
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open())
        return QStringLiteral("无法打开“%1”。（%2）").arg(display(path), errorDetail(db.lastError()));
    QSqlQuery check(db);
    if (!check.exec(depth == Check::Full ? QStringLiteral("PRAGMA integrity_check")
                                         : QStringLiteral("PRAGMA quick_check")))
        return QStringLiteral("“%1”已损坏或不是数据库文件。（%2）")
            .arg(display(path), errorDetail(check.lastError()));
    QStringList problems;
    while (check.next())
        problems << check.value(0).toString();
    if (problems != QStringList{QStringLiteral("ok")})
        return QStringLiteral("“%1”已损坏（完整性检查：%2）。").arg(display(path), problems.value(0));
    check.finish();

    const QStringList present = userTables(db);
    for (const Schema::Table &table : Schema::tables()) {
        if (!present.contains(table.name, Qt::CaseInsensitive))
            return QStringLiteral("“%1”不是本软件的数据库备份（没有数据表“%2”）。")
                .arg(display(path), table.name);
        const QSqlRecord record = db.record(table.name);
        for (const QString &column : table.columns) {
            if (record.indexOf(column) < 0)
                return QStringLiteral("“%1”不是本软件的数据库备份（数据表“%2”缺少列“%3”）。")
                    .arg(display(path), table.name, column);
        }
    }
    return QString();
}

// ---------------------------------------------------------------- backup

BackupService::Result BackupService::backupTo(const QString &target) const
{
    Result result;
    if (target.trimmed().isEmpty()) {
        result.error = QStringLiteral("没有指定备份文件。");
        return result;
    }
    const QFileInfo info(target);
    if (info.isDir()) {
        result.error = QStringLiteral("“%1”是一个文件夹，请在路径末尾写上文件名，例如 beifen.mdb。")
                           .arg(display(target));
        return result;
    }
    if (!m_location.isPostgreSQL()) {
        // Copying onto the shop's own file (or its log) would replace the shop.
        const QString shop = QFileInfo(m_location.path).absoluteFilePath();
        const QString absolute = info.absoluteFilePath();
        const QStringList ownFiles{shop, shop + QStringLiteral("-wal"), shop + QStringLiteral("-shm")};
        for (const QString &own : ownFiles) {
            if (absolute == own ||
                (info.exists() && info.canonicalFilePath() == QFileInfo(own).canonicalFilePath())) {
                result.error = QStringLiteral("不能备份到正在使用的数据库文件本身，请换一个文件名。");
                return result;
            }
        }
    }
    if (!QDir().mkpath(info.absolutePath())) {
        result.error = QStringLiteral("无法创建文件夹“%1”。").arg(display(info.absolutePath()));
        return result;
    }

    const QString temporary = temporaryBeside(info.absoluteFilePath(), QStringLiteral("part"));
    result = m_location.isPostgreSQL() ? backupPostgreSQL(temporary) : backupSqlite(temporary);
    if (result.ok) {
        // Read back what was written before it may take the target's name.
        const QString problem = checkBackupFile(temporary, Check::Quick);
        if (!problem.isEmpty()) {
            result.ok = false;
            result.error = QStringLiteral("备份文件写入后校验未通过：%1").arg(problem);
        }
    }
    if (result.ok) {
        QString error;
        if (!replaceByRename(temporary, info.absoluteFilePath(), &error)) {
            result.ok = false;
            result.error = QStringLiteral("无法写入“%1”。（%2）").arg(display(target), error);
        }
    }
    if (!result.ok)
        removeDatabaseFile(temporary);
    return result;
}

BackupService::Result BackupService::backupSqlite(const QString &temporary) const
{
    Result result;
    if (!QFileInfo(m_location.path).isFile()) {
        result.error = QStringLiteral("数据库文件“%1”不存在。").arg(m_location.displayName());
        return result;
    }
    QString error;
    result.ok = SqliteFile::copy(m_location.path, temporary, m_progress, &error);
    if (!result.ok)
        result.error = QStringLiteral("无法复制数据库：%1").arg(error);
    return result;
}

BackupService::Result BackupService::backupPostgreSQL(const QString &temporary) const
{
    Result result;
    const ServerConnection server(m_location);
    if (!server.open(&result.error))
        return result;
    OwnConnection file(QStringLiteral("QSQLITE"));
    file.db().setDatabaseName(temporary);
    if (!file.db().open()) {
        result.error = QStringLiteral("无法建立备份文件。（%1）").arg(errorDetail(file.db().lastError()));
        return result;
    }
    QSqlQuery out(file.db());
    // The file is thrown away unless it is complete, so it needs no journal;
    // the one commit at the end still reaches the disk before it is renamed.
    out.exec(QStringLiteral("PRAGMA journal_mode=OFF"));
    out.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    QStringList indexes;
    for (const QString &statement : Schema::createStatements(Dialect(Dialect::Engine::SQLite))) {
        if (!statement.startsWith(QLatin1String("CREATE TABLE"))) {
            indexes << statement; // built once the rows are in: faster
            continue;
        }
        if (!out.exec(statement)) {
            result.error = QStringLiteral("无法建立备份文件。（%1）").arg(errorDetail(out.lastError()));
            return result;
        }
    }

    QSqlQuery in(server.db());
    const auto failed = [&](const QSqlQuery &query) {
        result.error =
            QStringLiteral("读取数据库服务器上的数据失败。（%1）").arg(errorDetail(query.lastError()));
        return result;
    };
    // One snapshot for every table: sales committed while the copy runs are
    // left out whole, never half. Numbers come in full precision.
    if (!in.exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")) ||
        !in.exec(QStringLiteral("SET LOCAL extra_float_digits = 3")))
        return failed(in);
    const QList<ServerCopy::Table> tables = commonTables(server.db(), file.db());
    qint64 total = 0;
    for (const ServerCopy::Table &table : tables) {
        if (!in.exec(QStringLiteral("SELECT count(*) FROM %1").arg(quotedName(table.serverName))) ||
            !in.next())
            return failed(in);
        total += in.value(0).toLongLong();
    }
    in.finish();
    file.db().close();
    QString error;
    const bool copied =
        ServerCopy::download(server.db(), temporary, tables, indexes, total, m_progress, &error);
    QSqlQuery(server.db()).exec(QStringLiteral("COMMIT"));
    if (!copied) {
        result.error = QStringLiteral("从数据库服务器复制数据失败。（%1）").arg(error);
        return result;
    }
    result.ok = true;
    return result;
}

// ---------------------------------------------------------------- restore

BackupService::Result BackupService::restoreFrom(const QString &source, const QDateTime &now,
                                                 const QString &keepFolder) const
{
    Result result;
    const QFileInfo info(source);
    if (!info.isFile() || info.size() == 0) {
        result.error = checkBackupFile(source);
        return result;
    }
    if (!m_location.isPostgreSQL() &&
        info.absoluteFilePath() == QFileInfo(m_location.path).absoluteFilePath()) {
        result.error = QStringLiteral("“%1”就是正在使用的数据库，无须恢复。").arg(display(source));
        return result;
    }
    return m_location.isPostgreSQL() ? restorePostgreSQL(source, now, keepFolder)
                                     : restoreSqlite(source, now);
}

namespace {

// Copies the source beside where it will be used and checks that copy: what
// is checked is exactly what gets restored, even if the source changes or
// carries a write-ahead log of its own.
QString prepareRestoreCopy(const QString &source, const QString &copy, const SqliteFile::Progress &progress)
{
    QString error;
    if (!SqliteFile::copy(source, copy, progress, &error))
        return QStringLiteral("“%1”无法读取：%2").arg(display(source), error);
    // The check every start gives data.mdb: every page and record is read,
    // so truncated, overwritten or foreign files are refused. The full check
    // would also prove each index against its table, at four times the cost
    // (see docs/PERFORMANCE.md).
    QString problem = BackupService::checkBackupFile(copy, BackupService::Check::Quick);
    if (!problem.isEmpty()) {
        removeDatabaseFile(copy);
        problem.replace(display(copy), display(source));
    }
    return problem;
}

const QString kInUse =
    QStringLiteral("其他收银机或程序正在使用数据库，不能恢复。请先关闭其他收银机上的本软件，再恢复数据库。");

} // namespace

BackupService::Result BackupService::restoreSqlite(const QString &source, const QDateTime &now) const
{
    Result result;
    const QFileInfo shop(m_location.path);
    if (!QDir().mkpath(shop.absolutePath())) {
        result.error = QStringLiteral("无法创建文件夹“%1”。").arg(display(shop.absolutePath()));
        return result;
    }
    const QString copy = temporaryBeside(shop.absoluteFilePath(), QStringLiteral("restore"));
    result.error = prepareRestoreCopy(source, copy, m_progress);
    if (!result.error.isEmpty())
        return result;

    const QString wal = shop.absoluteFilePath() + QStringLiteral("-wal");
    const QString shm = shop.absoluteFilePath() + QStringLiteral("-shm");
    QString kept;
    if (shop.exists()) {
        QString error;
        const SqliteFile::Takeover takeover = SqliteFile::takeOver(shop.absoluteFilePath(), 1000, &error);
        // A new connection between the takeover and the rename would leave
        // a fresh log beside the file.
        if (takeover == SqliteFile::Takeover::InUse ||
            (takeover == SqliteFile::Takeover::Done && QFileInfo(wal).size() > 0)) {
            removeDatabaseFile(copy);
            result.inUse = true;
            result.error = kInUse;
            return result;
        }
        kept = freeName(shop.dir(), keptFileName(now));
        // The kept name is a second link to the same file (a copy where the
        // file system has no links), so data.mdb never goes missing: a crash
        // at any point leaves either the old or the restored shop under it.
        std::error_code code;
        std::filesystem::create_hard_link(std::filesystem::path(shop.absoluteFilePath().toStdU16String()),
                                          std::filesystem::path(kept.toStdU16String()), code);
        if (code && !QFile::copy(shop.absoluteFilePath(), kept)) {
            removeDatabaseFile(copy);
            result.error = QStringLiteral("无法保留原数据库文件“%1”。").arg(display(kept));
            return result;
        }
        // A file that could not be checkpointed (damaged) keeps its log with
        // it; no old log may stay beside the restored file, or it would be
        // replayed into it.
        QString moveError;
        if (QFileInfo(wal).size() > 0)
            replaceByRename(wal, kept + QStringLiteral("-wal"), &moveError);
        QFile::remove(wal);
        QFile::remove(shm);
    }
    QString error;
    if (!replaceByRename(copy, shop.absoluteFilePath(), &error)) {
        if (!kept.isEmpty() && QFileInfo::exists(kept + QStringLiteral("-wal")))
            replaceByRename(kept + QStringLiteral("-wal"), wal, &error);
        if (!kept.isEmpty())
            QFile::remove(kept);
        removeDatabaseFile(copy);
        result.error = QStringLiteral("无法替换数据库文件。（%1）").arg(error);
        return result;
    }
    result.ok = true;
    result.keptPath = kept;
    return result;
}

BackupService::Result BackupService::restorePostgreSQL(const QString &source, const QDateTime &now,
                                                       const QString &keepFolder) const
{
    Result result;
    const QString folder = keepFolder.isEmpty() ? QDir::tempPath() : keepFolder;
    if (!QDir().mkpath(folder)) {
        result.error = QStringLiteral("无法创建文件夹“%1”。").arg(display(folder));
        return result;
    }
    const QString copy =
        temporaryBeside(QDir(folder).filePath(QStringLiteral("restore.mdb")), QStringLiteral("check"));
    result.error = prepareRestoreCopy(source, copy, nullptr);
    if (!result.error.isEmpty())
        return result;
    const auto finish = [&](Result r) {
        removeDatabaseFile(copy);
        return r;
    };

    const ServerConnection server(m_location);
    if (!server.open(&result.error))
        return finish(result);
    QSqlQuery q(server.db());
    const QString othersSql = QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = "
                                             "current_database() AND pid <> pg_backend_pid()");
    const auto othersConnected = [&] { return q.exec(othersSql) && q.next() && q.value(0).toLongLong() > 0; };
    if (othersConnected()) {
        result.inUse = true;
        result.error = kInUse;
        return finish(result);
    }
    q.finish();

    // The server's data before the restore goes into a backup file first.
    const QString kept = freeName(QDir(folder), keptFileName(now));
    const Result keep = backupTo(kept);
    if (!keep.ok) {
        result.error = QStringLiteral("无法先保存恢复前的数据，没有恢复。（%1）").arg(keep.error);
        return finish(result);
    }

    OwnConnection file(QStringLiteral("QSQLITE"));
    file.db().setDatabaseName(copy);
    file.db().setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!file.db().open()) {
        result.error =
            QStringLiteral("无法打开“%1”。（%2）").arg(display(source), errorDetail(file.db().lastError()));
        return finish(result);
    }
    const QList<ServerCopy::Table> tables = commonTables(server.db(), file.db());
    const auto failedWith = [&](const QString &detail) {
        QSqlQuery(server.db()).exec(QStringLiteral("ROLLBACK"));
        result.error = QStringLiteral("恢复到数据库服务器失败，数据没有改变。（%1）").arg(detail);
        return finish(result);
    };
    const auto failed = [&](const QSqlQuery &query) { return failedWith(errorDetail(query.lastError())); };
    if (!q.exec(QStringLiteral("BEGIN")))
        return failed(q);
    QStringList names;
    for (const ServerCopy::Table &table : tables)
        names << quotedName(table.serverName);
    // Counters that connect now wait until the restore is done.
    if (!q.exec(
            QStringLiteral("LOCK TABLE %1 IN ACCESS EXCLUSIVE MODE").arg(names.join(QStringLiteral(", ")))))
        return failed(q);
    if (othersConnected()) {
        QSqlQuery(server.db()).exec(QStringLiteral("ROLLBACK"));
        result.inUse = true;
        result.error = kInUse;
        return finish(result);
    }

    qint64 total = 0;
    QSqlQuery in(file.db());
    for (const ServerCopy::Table &table : tables) {
        if (in.exec(QStringLiteral("SELECT count(*) FROM %1").arg(quotedName(table.fileName))) && in.next())
            total += in.value(0).toLongLong();
    }
    in.finish();
    // Inside the transaction: a failure further on brings every row back.
    if (!q.exec(QStringLiteral("TRUNCATE %1").arg(names.join(QStringLiteral(", ")))))
        return failed(q);
    q.finish();
    QString error;
    if (!ServerCopy::upload(server.db(), copy, tables, total, m_progress, &error))
        return failedWith(error);

    // New rows must not collide with restored ids.
    QSqlQuery identities(server.db());
    if (!identities.exec(QStringLiteral("SELECT table_name, column_name FROM information_schema.columns "
                                        "WHERE table_schema = current_schema() AND is_identity = 'YES'")))
        return failed(identities);
    QStringList resets;
    while (identities.next()) {
        const QString table = identities.value(0).toString();
        if (!names.contains(quotedName(table)))
            continue;
        const QString column = identities.value(1).toString();
        resets << QStringLiteral(
                      "SELECT setval(pg_get_serial_sequence('%1', '%2'), COALESCE(MAX(%3), 0) + 1, "
                      "false) FROM %1")
                      .arg(quotedName(table), column, quotedName(column));
    }
    for (const QString &reset : std::as_const(resets)) {
        if (!q.exec(reset))
            return failed(q);
    }
    if (!q.exec(QStringLiteral("COMMIT")))
        return failed(q);
    result.ok = true;
    result.keptPath = kept;
    return finish(result);
}

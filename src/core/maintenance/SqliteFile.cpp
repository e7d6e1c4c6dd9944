#include "SqliteFile.h"

#include <QFile>

#include <sqlite3.h>

namespace SqliteFile {

namespace {

// Pages per step of the copy: 16 MB with the usual 4 KB pages, so the
// progress moves several times a second on an ordinary disk.
constexpr int kPagesPerStep = 4096;

QString reasonOf(int code, const char *message)
{
    const QString detail = QString::fromUtf8(message ? message : sqlite3_errstr(code));
    switch (code & 0xff) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return QStringLiteral("文件已损坏或不是数据库文件（%1）").arg(detail);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("数据库正被其他程序使用（%1）").arg(detail);
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_READONLY:
        return QStringLiteral("无法打开或写入文件（%1）").arg(detail);
    case SQLITE_FULL:
        return QStringLiteral("磁盘已满（%1）").arg(detail);
    default:
        return detail;
    }
}

// Opens an existing file for reading and writing, or only for reading when
// it lies somewhere read-only (a write-protected stick).
int openExisting(const QString &path, sqlite3 **db)
{
    const QByteArray name = QFile::encodeName(path);
    int rc = sqlite3_open_v2(name.constData(), db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK)
        return rc;
    sqlite3_close(*db);
    *db = nullptr;
    rc = sqlite3_open_v2(name.constData(), db, SQLITE_OPEN_READONLY, nullptr);
    return rc;
}

class Handle
{
public:
    Handle() = default;
    ~Handle() { sqlite3_close(m_db); }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    sqlite3 **out() { return &m_db; }
    sqlite3 *get() const { return m_db; }
    // Closing is what removes the -wal and -shm of the last connection.
    int close()
    {
        const int rc = sqlite3_close(m_db);
        m_db = nullptr;
        return rc;
    }

private:
    sqlite3 *m_db = nullptr;
};

} // namespace

bool copy(const QString &source, const QString &target, const Progress &progress, QString *error)
{
    Handle src;
    int rc = openExisting(source, src.out());
    if (rc != SQLITE_OK) {
        *error = reasonOf(rc, src.get() ? sqlite3_errmsg(src.get()) : nullptr);
        return false;
    }
    sqlite3_busy_timeout(src.get(), 5000);
    // The read transaction stays open over every step of the copy, so the
    // steps all see one snapshot however much other counters write.
    rc = sqlite3_exec(src.get(), "BEGIN; SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        *error = reasonOf(rc, sqlite3_errmsg(src.get()));
        return false;
    }

    bool ok = false;
    {
        Handle dst;
        rc = sqlite3_open_v2(QFile::encodeName(target).constData(), dst.out(),
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        sqlite3_backup *backup =
            rc == SQLITE_OK ? sqlite3_backup_init(dst.get(), "main", src.get(), "main") : nullptr;
        if (!backup) {
            *error = reasonOf(rc == SQLITE_OK ? sqlite3_errcode(dst.get()) : rc,
                              dst.get() ? sqlite3_errmsg(dst.get()) : nullptr);
        } else {
            do {
                rc = sqlite3_backup_step(backup, kPagesPerStep);
                if (progress) {
                    const qint64 total = sqlite3_backup_pagecount(backup);
                    progress(total - sqlite3_backup_remaining(backup), total);
                }
                if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
                    sqlite3_sleep(20);
            } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
            const int finished = sqlite3_backup_finish(backup);
            if (rc == SQLITE_DONE && finished == SQLITE_OK) {
                // The copy carries the source's WAL flag; a backup is one file.
                rc = sqlite3_exec(dst.get(), "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
                ok = rc == SQLITE_OK;
            } else if (rc == SQLITE_DONE) {
                rc = finished;
            }
            if (!ok)
                *error = reasonOf(rc, sqlite3_errmsg(dst.get()));
        }
        if (dst.close() != SQLITE_OK && ok) {
            ok = false;
            *error = QStringLiteral("无法完成写入备份文件");
        }
    }
    sqlite3_exec(src.get(), "COMMIT", nullptr, nullptr, nullptr);
    if (!ok) {
        QFile::remove(target);
        QFile::remove(target + QStringLiteral("-journal"));
    }
    return ok;
}

Takeover takeOver(const QString &path, int busyMs, QString *error)
{
    Handle db;
    int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), db.out(), SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        *error = reasonOf(rc, db.get() ? sqlite3_errmsg(db.get()) : nullptr);
        return Takeover::Unusable;
    }
    sqlite3_busy_timeout(db.get(), busyMs);
    // An exclusive lock is refused while any other connection has the file
    // open (in WAL mode each holds a shared lock for as long as it is open),
    // and once held it keeps new ones out until this connection closes.
    rc = sqlite3_exec(db.get(), "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT;", nullptr, nullptr,
                      nullptr);
    if (rc != SQLITE_OK) {
        const int code = rc & 0xff;
        *error = reasonOf(rc, sqlite3_errmsg(db.get()));
        return code == SQLITE_BUSY || code == SQLITE_LOCKED ? Takeover::InUse : Takeover::Unusable;
    }
    sqlite3_stmt *checkpoint = nullptr;
    rc = sqlite3_prepare_v2(db.get(), "PRAGMA wal_checkpoint(TRUNCATE)", -1, &checkpoint, nullptr);
    bool complete = false;
    if (rc == SQLITE_OK && sqlite3_step(checkpoint) == SQLITE_ROW)
        complete = sqlite3_column_int(checkpoint, 0) == 0; // 0: not blocked
    rc = sqlite3_finalize(checkpoint);
    if (!complete) {
        *error = reasonOf(rc == SQLITE_OK ? SQLITE_BUSY : rc, sqlite3_errmsg(db.get()));
        return rc == SQLITE_OK ? Takeover::InUse : Takeover::Unusable;
    }
    if (db.close() != SQLITE_OK) {
        *error = QStringLiteral("无法关闭数据库文件");
        return Takeover::Unusable;
    }
    return Takeover::Done;
}

} // namespace SqliteFile

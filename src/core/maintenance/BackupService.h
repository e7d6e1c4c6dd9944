#pragma once

#include "data/DatabaseLocation.h"

#include <QDateTime>
#include <QString>

#include <functional>

// Backup and restore of the shop database. A backup is always one SQLite
// file with our tables, whichever engine holds the shop, so it can move a
// shop between engines. Nothing is reported as done that was not checked:
// every backup is read back before it takes its name, and a restore source
// must pass the same checks before it may replace anything.
class BackupService
{
public:
    // done of total (pages or rows); called often, on the calling thread.
    using Progress = std::function<void(qint64 done, qint64 total)>;

    struct Result
    {
        bool ok = false;
        QString error;      // why not, a Chinese sentence for the operator
        QString keptPath;   // restore: where the data before the restore was kept ("" if none)
        bool inUse = false; // restore refused because other connections use the database
    };

    explicit BackupService(DatabaseLocation location);

    void setProgress(Progress progress) { m_progress = std::move(progress); }

    // Writes a consistent copy of the whole shop to target. The copy is made
    // beside the target under a temporary name, read back (Check::Quick and
    // our tables and columns) and only then renamed to target, replacing a
    // file of that name. The caller asks before replacing.
    Result backupTo(const QString &target) const;

    // Replaces the shop's data by that of the backup file source (after
    // Check::Quick of a copy of it, the check every start gives data.mdb),
    // all or nothing. The data before it is kept: on SQLite as
    // data-恢复前-YYYYMMDD-HHMMSS.mdb beside the shop's file, on PostgreSQL as
    // such a backup file in keepFolder. Refused while other connections use
    // the database. The caller has closed its own connection.
    Result restoreFrom(const QString &source, const QDateTime &now,
                       const QString &keepFolder = QString()) const;

    // How deeply a file is read back. Quick reads every page and record
    // (PRAGMA quick_check): truncated, overwritten, zeroed or foreign files
    // fail it. It is what backups and restore sources get, as data.mdb gets
    // at every start. Full also proves every index entry against its table
    // (PRAGMA integrity_check: about ten seconds of CPU at a million sale
    // lines).
    enum class Check { Quick, Full };

    // Why the file cannot serve as a restore source (empty, not a database,
    // damaged, not this program's tables), or "" when it can.
    static QString checkBackupFile(const QString &path, Check depth = Check::Full);

    // "data-恢复前-20240305-093000.mdb"
    static QString keptFileName(const QDateTime &now);

private:
    Result backupSqlite(const QString &temporary) const;
    Result backupPostgreSQL(const QString &temporary) const;
    Result restoreSqlite(const QString &source, const QDateTime &now) const;
    Result restorePostgreSQL(const QString &source, const QDateTime &now, const QString &keepFolder) const;

    DatabaseLocation m_location;
    Progress m_progress;
};

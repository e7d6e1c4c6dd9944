#pragma once

#include <QString>

#include <functional>

// Whole-file work on SQLite databases that Qt SQL does not offer: a page copy
// that is consistent while other connections write, and taking a database
// for oneself before its file is replaced.
namespace SqliteFile {

// done and total in pages.
using Progress = std::function<void(qint64 done, qint64 total)>;

// Copies the database at source (with whatever its write-ahead log holds)
// page by page into target, which must not exist yet. The whole copy reads
// one snapshot: sales committed before it started are in it, sales committed
// while it runs are not, and none is half in it. The copy keeps no
// write-ahead log of its own, so it is one self-contained file. False with
// *error set when the source cannot be read (not a database, damaged) or
// the target cannot be written; a half-written target is removed.
bool copy(const QString &source, const QString &target, const Progress &progress, QString *error);

enum class Takeover {
    Done,     // every committed change is in the main file; no -wal is left
    InUse,    // another connection has the database open
    Unusable, // the file could not be opened or checkpointed (damaged, unreadable)
};

// Waits at most busyMs for other connections, takes the database for
// itself, moves the write-ahead log into the main file and closes it again,
// which lets SQLite remove the -wal and -shm files. The file can then be
// renamed without losing anything. *error explains InUse and Unusable.
Takeover takeOver(const QString &path, int busyMs, QString *error);

} // namespace SqliteFile

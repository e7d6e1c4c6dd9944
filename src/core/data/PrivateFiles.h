#pragma once

#include <QString>

// Keeps the shop's files to the account that runs the program. On Linux
// (and other Unix systems) the data folder, the database with its -wal and
// -shm companions, jxc.conf and lwjxc.ini hold prices, customers and
// password hashes that other local users have no business reading. On
// Windows the per-user folders already do this and every call is a no-op.
namespace PrivateFiles {

// From now on files this process creates are 0600 and folders 0700
// (process umask 077). Called first thing at start-up.
void restrictNewFiles();

// Takes group and other permissions away from an existing file (leaving
// 0600 or tighter) or folder (0700). False when the path exists and could
// not be changed; a missing path is no failure.
bool restrictFile(const QString &path);
bool restrictFolder(const QString &path);

// The database file and the companions SQLite keeps next to it.
void restrictDatabaseFiles(const QString &databasePath);

} // namespace PrivateFiles

#pragma once

#include "Session.h"

#include <QtGlobal>

class Database;
class QDateTime;

// The log of who signed in when: one rz row per session, opened at login and
// closed when the main window closes.
class SessionLog
{
public:
    explicit SessionLog(const Database &db);

    // Inserts the row with btime = now (or since) and returns the id of exactly that
    // row, even when another counter signs in at the same moment.
    // Throws DatabaseError.
    qint64 open(const QString &username);
    qint64 open(const QString &username, const QDateTime &since);

    // Signs the operator in now. While the file check of the start is still
    // reading a large shop the row is not written yet: the session comes
    // back with id Session::kRowPending, for open(username, sign-in time)
    // once the check has passed, so signing in never waits for the check.
    Session signIn(const QString &username);

    // Writes jtime = now into the row of that id; false when there is no such
    // row (an id of 0 means no session was opened). Throws DatabaseError.
    bool close(qint64 id);

private:
    const Database &m_db;
};

#include "SessionLog.h"

#include "data/Clock.h"
#include "data/Database.h"
#include "data/QueryHelpers.h"

SessionLog::SessionLog(const Database &db) : m_db(db) {}

qint64 SessionLog::open(const QString &username)
{
    return open(username, Clock::current().now());
}

qint64 SessionLog::open(const QString &username, const QDateTime &since)
{
    const QString sql = QStringLiteral("insert into rz (username, btime) values (?, ?)") +
                        Dialect::returningKey(QStringLiteral("id"));
    const QVariant id = ScalarValue(m_db, sql, {username, m_db.dialect().timestampValue(since)});
    if (!id.isValid() || id.toLongLong() <= 0)
        throw DatabaseError(QStringLiteral("数据库操作失败：无法记录登录日志。"), sql);
    return id.toLongLong();
}

Session SessionLog::signIn(const QString &username)
{
    return Session{username, m_db.checkPending() ? Session::kRowPending : open(username)};
}

bool SessionLog::close(qint64 id)
{
    if (id <= 0)
        return false;
    return ExecuteStatement(m_db, QStringLiteral("update rz set jtime = ? where id = ?"),
                            {m_db.dialect().timestampValue(Clock::current().now()), id}) > 0;
}

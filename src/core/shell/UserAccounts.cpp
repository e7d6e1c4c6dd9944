#include "UserAccounts.h"

#include "Session.h"
#include "data/Database.h"
#include "data/PasswordHash.h"
#include "data/QueryHelpers.h"
#include "data/Schema.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// Check and write in one transaction, so two counters adding the same name
// at once cannot both succeed. SQLite's BEGIN IMMEDIATE already serialises
// writers; PostgreSQL needs the table lock.
class UserTableLock
{
public:
    explicit UserTableLock(const Database &db) : m_tx(db)
    {
        if (!m_tx.isActive())
            throw DatabaseError(QStringLiteral("数据库操作失败：%1").arg(m_tx.errorText()), QString());
        if (db.dialect().isPostgreSQL()) {
            // LOCK cannot be prepared, so it goes as plain text; it carries no value.
            QSqlQuery lock(db.connection());
            if (!lock.exec(QStringLiteral("lock table userdb in share row exclusive mode")))
                throw DatabaseError(QStringLiteral("数据库操作失败：%1").arg(lock.lastError().text()),
                                    lock.lastQuery());
        }
    }
    void commit()
    {
        if (!m_tx.commit())
            throw DatabaseError(QStringLiteral("数据库操作失败：%1").arg(m_tx.errorText()), QString());
    }

private:
    WriteTransaction m_tx;
};

} // namespace

UserAccounts::UserAccounts(const Database &db) : m_db(db) {}

bool UserAccounts::isValidPassword(const QString &password)
{
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9]{1,10}$"));
    return allowed.match(password).hasMatch();
}

QString UserAccounts::matchingStoredValue(const QString &name, const QString &password) const
{
    QSqlQuery q = OpenStatement(m_db, QStringLiteral("select passwd from userdb where username = ?"), {name});
    if (!q.next())
        return QString();
    const QString stored = q.value(0).toString();
    // A name that occurs twice cannot say which password is meant.
    if (q.next())
        return QString();
    return PasswordHash::verify(password, stored) ? stored : QString();
}

void UserAccounts::rehashIfNeeded(const QString &name, const QString &password, const QString &stored)
{
    if (!PasswordHash::needsRehash(stored))
        return;
    // Keyed on the old value too: a change made meanwhile at another counter wins.
    ExecuteStatement(m_db, QStringLiteral("update userdb set passwd = ? where username = ? and passwd = ?"),
                     {PasswordHash::hash(password), name, stored});
}

bool UserAccounts::checkLogin(const QString &name, const QString &password)
{
    const QString typed = password.trimmed();
    const QString stored = matchingStoredValue(name, typed);
    if (stored.isNull())
        return false;
    rehashIfNeeded(name, typed, stored);
    return true;
}

bool UserAccounts::checkAdministrator(const QString &password)
{
    return checkLogin(Schema::kAdministrator, password);
}

QStringList UserAccounts::names() const
{
    QSqlQuery q = OpenStatement(m_db, QStringLiteral("select username from userdb"));
    QStringList result;
    while (q.next())
        result << q.value(0).toString();
    return result;
}

QStringList UserAccounts::distinctNames() const
{
    return DistinctValues(m_db, QStringLiteral("username"), QStringLiteral("userdb"));
}

UserAccounts::AddResult UserAccounts::addUser(const Session &by, const QString &name)
{
    RequireAdministrator(by);
    const QString trimmed = name.trimmed();
    if (trimmed == Schema::kAdministrator)
        return AddResult::Administrator;
    if (trimmed.isEmpty())
        return AddResult::EmptyName;
    UserTableLock lock(m_db);
    for (const QString &existing : names()) {
        if (existing.trimmed() == trimmed)
            return AddResult::AlreadyExists;
    }
    ExecuteStatement(m_db, QStringLiteral("insert into userdb (username, passwd) values (?, ?)"),
                     {trimmed, PasswordHash::hash(Schema::kDefaultPassword)});
    lock.commit();
    return AddResult::Added;
}

UserAccounts::DeleteResult UserAccounts::deleteUser(const Session &by, const QString &name)
{
    RequireAdministrator(by);
    const QString trimmed = name.trimmed();
    if (trimmed == Schema::kAdministrator)
        return DeleteResult::Administrator;
    if (trimmed.isEmpty())
        return DeleteResult::EmptyName;
    const int rows =
        ExecuteStatement(m_db, QStringLiteral("delete from userdb where username = ?"), {trimmed});
    return rows > 0 ? DeleteResult::Deleted : DeleteResult::NotFound;
}

UserAccounts::ResetResult UserAccounts::resetPassword(const Session &by, const QString &name)
{
    RequireAdministrator(by);
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return ResetResult::EmptyName;
    const int rows = ExecuteStatement(m_db, QStringLiteral("update userdb set passwd = ? where username = ?"),
                                      {PasswordHash::hash(Schema::kDefaultPassword), trimmed});
    return rows > 0 ? ResetResult::Reset : ResetResult::NotFound;
}

UserAccounts::ChangeResult UserAccounts::changePassword(const Session &by, const QString &name,
                                                        const QString &oldPassword,
                                                        const QString &newPassword)
{
    if (by.isRestricted() && name != by.username)
        throw AccessDenied();
    const QString fresh = newPassword.trimmed();
    if (!isValidPassword(fresh))
        return ChangeResult::InvalidNewPassword;
    UserTableLock lock(m_db);
    const QString stored = matchingStoredValue(name, oldPassword.trimmed());
    if (stored.isNull())
        return ChangeResult::WrongOldPassword;
    ExecuteStatement(m_db, QStringLiteral("update userdb set passwd = ? where username = ?"),
                     {PasswordHash::hash(fresh), name});
    lock.commit();
    return ChangeResult::Changed;
}

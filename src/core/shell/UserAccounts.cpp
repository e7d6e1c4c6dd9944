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

// Code points that draw nothing although their category says letter, mark
// or symbol (Unicode's default-ignorable ones, and the Braille blank).
bool isInvisibleCodePoint(char32_t c)
{
    return c == 0x00AD || c == 0x034F || c == 0x061C || c == 0x115F || c == 0x1160 || c == 0x17B4 ||
           c == 0x17B5 || (c >= 0x180B && c <= 0x180F) || (c >= 0x200B && c <= 0x200F) ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) || c == 0x2800 || c == 0x3164 ||
           (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF || c == 0xFFA0 || (c >= 0xFFF0 && c <= 0xFFF8) ||
           (c >= 0x1BCA0 && c <= 0x1BCA3) || (c >= 0x1D173 && c <= 0x1D17A) || (c >= 0xE0000 && c <= 0xE0FFF);
}

} // namespace

bool UserAccounts::hasInvisibleCharacters(const QString &name)
{
    for (const char32_t c : name.toUcs4()) {
        if (isInvisibleCodePoint(c))
            return true;
        switch (QChar::category(c)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Other_PrivateUse:
        case QChar::Other_NotAssigned:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return true;
        default:
            break;
        }
    }
    return false;
}

QString UserAccounts::comparableName(const QString &name)
{
    // Full-width letters, ligatures and compatibility ideographs fold onto
    // their plain forms; folding the case may leave a non-normal string, so
    // it is normalised once more.
    return name.normalized(QString::NormalizationForm_KC)
        .toCaseFolded()
        .normalized(QString::NormalizationForm_KC)
        .simplified();
}

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
    // While the file check of the start runs, the upgrade waits for a later
    // sign-in rather than holding this one up.
    if (!PasswordHash::needsRehash(stored) || m_db.checkPending())
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
    const QString comparable = comparableName(trimmed);
    if (comparable == comparableName(Schema::kAdministrator))
        return AddResult::Administrator;
    if (trimmed.isEmpty())
        return AddResult::EmptyName;
    if (hasInvisibleCharacters(trimmed))
        return AddResult::InvisibleCharacters;
    UserTableLock lock(m_db);
    for (const QString &existing : names()) {
        if (comparableName(existing) == comparable)
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

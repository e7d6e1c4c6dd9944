#pragma once

#include <QString>
#include <QStringList>

class Database;
struct Session;

// The operator accounts in userdb: the login check, the lists of names, and
// what the administrator does with accounts. Passwords are stored as salted
// hashes (PasswordHash); a plain one left by an older version is accepted
// once and then stored hashed. Every method may throw DatabaseError.
class UserAccounts
{
public:
    enum class AddResult { Added, EmptyName, Administrator, AlreadyExists, InvisibleCharacters };
    enum class DeleteResult { Deleted, EmptyName, Administrator, NotFound };
    enum class ResetResult { Reset, EmptyName, NotFound };
    enum class ChangeResult { Changed, WrongOldPassword, InvalidNewPassword };

    explicit UserAccounts(const Database &db);

    // True when exactly one row carries this name (compared as typed) and
    // the password matches it. The password is trimmed first. A legacy plain
    // password that matches is rewritten as a hash.
    bool checkLogin(const QString &name, const QString &password);

    // The same check for the administrator account.
    bool checkAdministrator(const QString &password);

    // Every name in the order the table returns it, duplicates included.
    QStringList names() const;
    // The distinct names in ascending order.
    QStringList distinctNames() const;

    // The administrator's tools; a restricted session gets AccessDenied and
    // nothing changes. Names are trimmed. A new name may not hold control or
    // invisible characters, and it exists already when it equals another
    // (the administrator's included) after trimming, Unicode compatibility
    // normalisation and case folding: "Bob" and "ｂｏｂ" are one user.
    AddResult addUser(const Session &by, const QString &name);
    DeleteResult deleteUser(const Session &by, const QString &name);
    // Sets the default password (Schema::kDefaultPassword), the
    // administrator's own included.
    ResetResult resetPassword(const Session &by, const QString &name);

    // Needs the old password of that account; the passwords are trimmed. A
    // new password must be 1 to 10 letters or digits. A restricted session
    // may change only its own password.
    ChangeResult changePassword(const Session &by, const QString &name, const QString &oldPassword,
                                const QString &newPassword);

    // True when the name holds a character that shows nothing or controls
    // the text: zero-width and joiner characters, direction marks, control
    // and format characters, fillers, variation selectors, unassigned and
    // private-use code points.
    static bool hasInvisibleCharacters(const QString &name);
    // The form two names are compared in for sameness.
    static QString comparableName(const QString &name);

    // What the password boxes accept.
    static constexpr int kMaxPasswordLength = 10;
    static bool isValidPassword(const QString &password);

private:
    // The stored value when exactly one row has this name and the password
    // matches it; otherwise a null string.
    QString matchingStoredValue(const QString &name, const QString &password) const;
    void rehashIfNeeded(const QString &name, const QString &password, const QString &stored);

    const Database &m_db;
};

#pragma once

#include "data/QueryHelpers.h"
#include "data/Schema.h"

#include <QString>

// The operator signed in at this counter and the number of the session row
// in rz. Every account but the administrator works in the restricted mode.
struct Session
{
    QString username;
    qint64 id = 0;

    // The id of a session whose row waits for the file check of the start
    // (SessionLog::signIn); it is written as soon as the check has passed.
    static constexpr qint64 kRowPending = -1;

    bool isAdministrator() const { return username == Schema::kAdministrator; }
    bool isRestricted() const { return !isAdministrator(); }

    // What the restricted mode withholds. Core services ask these, so a
    // hidden menu item is not the only thing standing in the way.
    bool mayChangeStock() const { return isAdministrator(); }
    bool mayChangeSales() const { return isAdministrator(); }
    bool mayManageUsers() const { return isAdministrator(); }
    bool maySeeCosts() const { return isAdministrator(); }
};

// A core service refused an action the signed-in operator may not perform.
// It is a DatabaseError so that every window already showing those shows
// this one too, and nothing has been written when it is thrown.
class AccessDenied : public DatabaseError
{
public:
    AccessDenied();
    static QString text() { return QStringLiteral("当前操作员无权执行此操作！"); }
};

// Throws AccessDenied unless the session belongs to the administrator.
void RequireAdministrator(const Session &session);

#include "Session.h"

AccessDenied::AccessDenied() : DatabaseError(text(), QString()) {}

void RequireAdministrator(const Session &session)
{
    if (!session.isAdministrator())
        throw AccessDenied();
}

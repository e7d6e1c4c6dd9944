#pragma once

// The benchmarks that time the main window sign in as the administrator
// without the login window, as the tests do, and wait until the window has
// taken the session.

#include "data/Database.h"
#include "data/Schema.h"
#include "shell/SessionLog.h"
#include "shell/TMainForm.h"

#include <QCoreApplication>

namespace BenchSupport {

inline void showSignedIn(TMainForm &form, Database &db)
{
    form.setLoginRunner([&db](TMainForm &) {
        TMainForm::LoginOutcome outcome;
        outcome.accepted = true;
        outcome.session.username = Schema::kAdministrator;
        outcome.session.id = SessionLog(db).open(Schema::kAdministrator);
        return outcome;
    });
    form.show();
    while (form.tag() == 0)
        QCoreApplication::processEvents();
}

} // namespace BenchSupport

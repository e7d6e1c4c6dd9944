#pragma once

#include "TestDatabase.h"

#include "common/Prompter.h"
#include "data/Clock.h"
#include "data/QueryHelpers.h"
#include "data/SettingsStore.h"
#include "shell/SessionLog.h"
#include "shell/TMainForm.h"

#include <QAction>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// A main window signed in on a fresh database with settings in a temporary
// folder and the clock standing at 2024-03-05 09:30, for the tests that
// drive the stock list's commands.
struct SignedInMainForm
{
    static inline const QDateTime kNow{QDate(2024, 3, 5), QTime(9, 30)};

    static void initTestCase(QTemporaryDir &home)
    {
        QStandardPaths::setTestModeEnabled(true);
        for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, home.filePath(QStringLiteral("user")));
        Prompter::setTestMode(true);
    }

    QTemporaryDir dir;
    TestDatabase database;
    SettingsStore settings{dir.filePath(QStringLiteral("jxc.conf"))};
    ManualClock clock{kNow};
    ScopedClock clockScope{clock};
    std::unique_ptr<TMainForm> form;

    // Opens the window signed in as username (the administrator by default).
    bool open(const QString &username = Schema::kAdministrator)
    {
        bool signedIn = false;
        form = std::make_unique<TMainForm>(database.db(), settings);
        form->setLoginRunner([&, username](TMainForm &) {
            TMainForm::LoginOutcome outcome;
            outcome.accepted = true;
            outcome.session.username = username;
            outcome.session.id = SessionLog(database.db()).open(username);
            signedIn = true;
            return outcome;
        });
        form->show();
        form->activateWindow();
        return QTest::qWaitFor([&] { return signedIn; }, 3000) && QTest::qWaitForWindowExposed(form.get());
    }

    QAction *action(const char *name) const { return form->findChild<QAction *>(QLatin1String(name)); }

    // One stock row as the stock book would leave it; amount may be null.
    void addStock(const QString &name, double price, double quantity, const QVariant &amount, double sold,
                  const QDate &day, const QString &remark = QString())
    {
        Database &db = database.db();
        ExecuteStatement(
            db,
            QStringLiteral("insert into data (a, b, c, d, \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", "
                           "\"7\", \"8\", day1, g, z, e, f) "
                           "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            {name, QStringLiteral("24寸"), QString(QStringLiteral("C-") + name), QStringLiteral("拉杆箱"),
             price, quantity, amount, price * 2, sold, sold * price * 2, quantity - sold,
             (quantity - sold) * price, db.dialect().dateValue(day), QStringLiteral("王老板"), remark,
             QStringLiteral("x"), QStringLiteral("y")});
    }
};

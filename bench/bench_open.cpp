// Times the start of the program on a large shop: how soon the main window
// stands while the file's structure check runs in the background, how soon
// the operator is signed in and the stock list filled (the session row waits
// for the check), how long that check takes until writing is allowed, and,
// for comparison, an opening that waits for the check.
//
//   bench_open [--database FILE] [--stock N] [--sales N] [--runs R]
//
// A missing FILE is generated first with lwjxc-datagen (next to this program).
// The run works on a copy of FILE (signing in writes session rows, the close
// makes a backup beside the shop), so the shop stays as it was.

#include "BenchSupport.h"
#include "common/DataGrid.h"
#include "common/Prompter.h"
#include "data/Database.h"
#include "data/SettingsStore.h"
#include "maintenance/AutomaticBackups.h"
#include "maintenance/BackupProgress.h"
#include "shell/SessionLog.h"
#include "shell/TMainForm.h"
#include "stock/StockListView.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTableView>
#include <QTimer>

using BenchSupport::out;
using BenchSupport::report;

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const BenchSupport::ShopRun shop(parser, app, 5);
    if (!shop.ok())
        return 1;
    const int runs = shop.runs();
    const QString file = shop.database();
    Prompter::setTestMode(true);
    const DatabaseLocation location = DatabaseLocation::fromArgument(file);

    QList<double> windowReady, signedIn, listReady, rowWritten, checkDone, waitingOpen;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        DatabaseOptions options;
        options.checkInBackground = true;
        Database db(location, QStringLiteral("bench%1").arg(run), options);
        if (!BenchSupport::opened(db))
            return 1;
        SettingsStore settings(shop.filePath(QStringLiteral("jxc%1.conf").arg(run)));
        TMainForm form(db, settings);
        bool done = false;
        form.setLoginRunner([&](TMainForm &shown) {
            // The sign-in window comes up over the main window; signing in
            // as the login window does leaves the session row for the check.
            Q_UNUSED(shown);
            windowReady << timer.nsecsElapsed() / 1e6;
            TMainForm::LoginOutcome outcome;
            outcome.accepted = true;
            outcome.session = SessionLog(db).signIn(Schema::kAdministrator);
            signedIn << timer.nsecsElapsed() / 1e6;
            done = true;
            return outcome;
        });
        form.show();
        while (!done)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        // The list is filled as the sign-in window closes.
        while (form.stockList()->grid()->view()->model()->rowCount() == 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        listReady << timer.nsecsElapsed() / 1e6;
        while (form.tag() <= 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        rowWritten << timer.nsecsElapsed() / 1e6;
        db.ensureWritable();
        checkDone << timer.nsecsElapsed() / 1e6;
        form.hide();
    }
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        Database db(location, QStringLiteral("wait%1").arg(run));
        waitingOpen << timer.nsecsElapsed() / 1e6;
    }
    out() << "shop: " << file << Qt::endl;
    report(QStringLiteral("main window, sign-in window opening (check in background)"), windowReady, 1000);
    report(QStringLiteral("signed in (session row left for the check)"), signedIn, 1000);
    report(QStringLiteral("signed in and stock list filled"), listReady, 1000);
    report(QStringLiteral("session row written (after the check)"), rowWritten, 0);
    report(QStringLiteral("structure check finished, writing allowed"), checkDone, 0);
    report(QStringLiteral("opening that waits for the check (for comparison)"), waitingOpen, 0);

    // Closing with the automatic backup on (the default), once: how soon
    // the progress window shows and how long the close takes. The backup
    // goes to "备份" beside the shop and is removed again.
    const QString backups = AutomaticBackups::folderFor(location, BackupProgress::userDataFolder());
    const bool backupsExisted = QFileInfo::exists(backups);
    QList<double> progressShown, closed;
    {
        Database db(location, QStringLiteral("close"));
        SettingsStore settings(shop.filePath(QStringLiteral("close.conf")));
        TMainForm form(db, settings);
        form.setLoginRunner([&](TMainForm &) {
            TMainForm::LoginOutcome outcome;
            outcome.accepted = true;
            outcome.session = SessionLog(db).signIn(Schema::kAdministrator);
            return outcome;
        });
        form.show();
        while (form.tag() <= 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QElapsedTimer timer;
        QTimer watch;
        watch.setInterval(10);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            for (QWidget *window : QApplication::topLevelWidgets()) {
                if (progressShown.isEmpty() && window->objectName() == QLatin1String("backupProgress") &&
                    window->isVisible())
                    progressShown << timer.nsecsElapsed() / 1e6;
            }
        });
        watch.start();
        timer.start();
        form.close();
        closed << timer.nsecsElapsed() / 1e6;
    }
    for (const AutomaticBackups::Entry &entry : AutomaticBackups::list(backups))
        QFile::remove(entry.path);
    if (!backupsExisted)
        QDir().rmdir(backups);
    report(QStringLiteral("close: progress window shown"), progressShown, 1000);
    report(QStringLiteral("close with the automatic backup"), closed, 0);
    return 0;
}

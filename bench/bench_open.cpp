// Times the start of the program on a large shop: how soon the main window
// stands with its stock list while the file's structure check runs in the
// background, how long that check takes until writing is allowed, and, for
// comparison, an opening that waits for the check.
//
//   bench_open [--db FILE] [--stock N] [--sales N] [--runs R]
//
// A missing FILE is generated first with lwjxc-datagen (next to this program).

#include "BenchSupport.h"
#include "common/DataGrid.h"
#include "common/Prompter.h"
#include "data/Database.h"
#include "data/SettingsStore.h"
#include "shell/SessionLog.h"
#include "shell/TMainForm.h"
#include "stock/StockListView.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTableView>
#include <QTemporaryDir>

using BenchSupport::out;
using BenchSupport::report;

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const BenchSupport::ShopOptions shopOptions(5);
    shopOptions.addTo(parser);
    parser.process(app);
    const QString file = shopOptions.shopFile(parser);
    if (file.isEmpty())
        return 1;
    const int runs = shopOptions.runs(parser);
    QTemporaryDir home;
    BenchSupport::keepSettingsIn(home);
    Prompter::setTestMode(true);
    const DatabaseLocation location = DatabaseLocation::fromArgument(file);

    QList<double> windowReady, signedIn, checkDone, waitingOpen;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        DatabaseOptions options;
        options.checkInBackground = true;
        Database db(location, QStringLiteral("bench%1").arg(run), options);
        if (!db.isOpen()) {
            out() << db.errorText() << Qt::endl;
            return 1;
        }
        SettingsStore settings(home.filePath(QStringLiteral("jxc%1.conf").arg(run)));
        TMainForm form(db, settings);
        bool done = false;
        form.setLoginRunner([&](TMainForm &shown) {
            // The sign-in window comes up over a main window that already
            // lists the stock; signing in writes the session row, which
            // waits for the check.
            if (shown.stockList()->grid()->view()->model()->rowCount() == 0)
                out() << "stock list empty at sign-in" << Qt::endl;
            windowReady << timer.nsecsElapsed() / 1e6;
            TMainForm::LoginOutcome outcome;
            outcome.accepted = true;
            outcome.session.username = Schema::kAdministrator;
            outcome.session.id = SessionLog(db).open(Schema::kAdministrator);
            signedIn << timer.nsecsElapsed() / 1e6;
            done = true;
            return outcome;
        });
        form.show();
        while (!done)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
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
    report(QStringLiteral("main window with stock list, check in background"), windowReady, 1000);
    report(QStringLiteral("first sign-in (a write: waits for the check)"), signedIn, 0);
    report(QStringLiteral("structure check finished, writing allowed"), checkDone, 0);
    report(QStringLiteral("opening that waits for the check (for comparison)"), waitingOpen, 0);
    return 0;
}

// Times the summary window ("汇总统计") on a large shop as the operator meets
// it: showing it (the grouped statement, its footer sums, every row loaded,
// the last row current, the first screen painted) and one click on a title
// (the list sorted again by the database and repainted).
//
//   bench_summary --database FILE|postgresql://... [--runs R]
//
// Works on the named database directly: opening it adds any missing index
// (which is part of what is measured the first time, and reported apart), and
// signing in writes one session row. Make the shop with lwjxc-datagen.

#include "BenchSupport.h"
#include "EngineShell.h"
#include "SignedInWindow.h"
#include "common/DataGrid.h"
#include "data/Database.h"
#include "data/QueryHelpers.h"
#include "data/Schema.h"
#include "data/SettingsStore.h"
#include "data/SqlListModel.h"
#include "reports/SummaryQuery.h"
#include "reports/TForm1.h"
#include "shell/SessionLog.h"
#include "shell/TMainForm.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <ctime>
#include <tuple>

using BenchSupport::out;
using BenchSupport::report;

namespace {

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(u' ', 0, 2);
}

// CPU time of this process in milliseconds: on a shared, loaded machine the
// wall time mostly measures the wait for a core; the CPU time is the work.
double cpuMs()
{
    return static_cast<double>(std::clock()) * 1000.0 / CLOCKS_PER_SEC;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption databaseOption(QStringLiteral("database"),
                                      QStringLiteral("shop file or PostgreSQL URL"), QStringLiteral("where"));
    QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("repetitions"), QStringLiteral("n"),
                                  QStringLiteral("15"));
    parser.addOptions({databaseOption, runsOption});
    parser.process(app);
    if (!parser.isSet(databaseOption)) {
        out() << "usage: bench_summary --database FILE|URL [--runs N]" << Qt::endl;
        return 2;
    }
    const int runs = std::max(1, parser.value(runsOption).toInt());

    QTemporaryDir home(QDir::temp().filePath(QStringLiteral("bench-summary-XXXXXX")));
    BenchSupport::keepSettingsIn(home);
    SettingsStore settings(home.filePath(QStringLiteral("jxc.conf")));

    QElapsedTimer openTimer;
    openTimer.start();
    Database db{DatabaseLocation::fromArgument(parser.value(databaseOption))};
    if (!db.isOpen()) {
        out() << db.errorText() << Qt::endl;
        return 1;
    }
    const double openMs = openTimer.nsecsElapsed() / 1e6;
    out() << "engine: " << db.dialect().name()
          << ", stock rows: " << ScalarValue(db, QStringLiteral("select count(*) from data")).toLongLong()
          << ", opening (missing indexes added): " << openMs << " ms" << Qt::endl;

    TMainForm form(db, settings);
    BenchSupport::showSignedIn(form, db);
    TForm1 *window = form.summary();
    DataGrid *grid = window->grid();
    SqlListModel *list = window->listModel();

    out() << "load average before: " << loadAverage() << Qt::endl;
    // Showing: the statement and the footer sums, every row loaded and the
    // last one current, the first screen painted.
    QList<double> showing;
    QList<double> showingCpu;
    QList<double> statements;
    QList<double> statementsCpu;
    QList<QList<EngineShell::Statement>> showingStatements;
    int rows = 0;
    for (int run = 0; run < runs; ++run) {
        EngineShell::Recorder recorder;
        QElapsedTimer timer;
        timer.start();
        const double cpu = cpuMs();
        window->openModeless();
        for (int c = 0; c < grid->columns().size(); ++c)
            grid->footerText(c);
        QCoreApplication::processEvents();
        window->grab();
        showing << timer.nsecsElapsed() / 1e6;
        showingCpu << cpuMs() - cpu;
        showingStatements << recorder.statements();
        rows = list->rowCount();
        if (!list->errorText().isEmpty())
            out() << list->errorText() << Qt::endl;
        if (grid->currentRow() != rows - 1)
            out() << "not on the last row" << Qt::endl;
        window->close();
        QCoreApplication::processEvents();
    }
    // The statements alone: the aggregate (count and six sums) and all rows.
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const double cpu = cpuMs();
        SqlListModel model(db);
        model.setPageSize(1 << 16);
        model.setSumFields(SummaryQuery::summedFields());
        model.setQuery(SummaryQuery::all());
        model.fetchAll();
        statements << timer.nsecsElapsed() / 1e6;
        statementsCpu << cpuMs() - cpu;
    }

    // Title clicks: each sum column and the name, twice each (descending,
    // then ascending), repainted.
    window->openModeless();
    QCoreApplication::processEvents();
    QList<double> clicks;
    QList<double> clicksCpu;
    QList<QList<EngineShell::Statement>> clickStatements;
    for (int run = 0; run < runs; ++run) {
        for (const int column : {8, 8, 4, 0}) {
            EngineShell::Recorder recorder;
            QElapsedTimer timer;
            timer.start();
            const double cpu = cpuMs();
            grid->clickTitle(column);
            QCoreApplication::processEvents();
            window->grab();
            clicks << timer.nsecsElapsed() / 1e6;
            clicksCpu << cpuMs() - cpu;
            clickStatements << recorder.statements();
        }
    }
    window->close();

    out() << "articles (rows of the summary): " << rows << Qt::endl;
    out() << Qt::fixed;
    out().setRealNumberPrecision(1);
    out() << "runs: " << runs << Qt::endl;
    report(QStringLiteral("showing the window (statement, footers, all rows, last row, painted)"), showing,
           100);
    report(QStringLiteral("  CPU time of this process"), showingCpu, 100);
    report(QStringLiteral("  the statements alone (count and sums + all rows)"), statements, 0);
    report(QStringLiteral("    CPU time of this process"), statementsCpu, 0);
    report(QStringLiteral("one title click (sorted by the database, repainted)"), clicks, 100);
    report(QStringLiteral("  CPU time of this process"), clicksCpu, 100);
    // The same statements replayed in the engine's shell (sqlite3 .timer,
    // psql \timing), no process start included.
    const QString target = parser.value(databaseOption);
    for (const auto &[what, times, recorded] :
         {std::tuple{QStringLiteral("showing"), showing, showingStatements},
          std::tuple{QStringLiteral("title click"), clicks, clickStatements}}) {
        const QList<double> shell = EngineShell::times(target, recorded);
        if (shell.isEmpty() || recorded.isEmpty())
            continue;
        out() << "shell, the " << recorded.constFirst().size() << " statement(s) of a " << what
              << ", median ms: " << BenchSupport::median(shell) << " (p90 "
              << BenchSupport::percentile90(shell) << "); ratio ours/shell "
              << BenchSupport::median(times) / std::max(BenchSupport::median(shell), 1.0) << Qt::endl;
    }
    out() << "load average after: " << loadAverage() << Qt::endl;
    form.close();
    return 0;
}

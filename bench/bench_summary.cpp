// Times the summary window ("汇总统计") on a large shop as the operator meets
// it: showing it (the grouped statement, its footer sums, every row loaded,
// the last row current, the first screen painted) and one click on a title
// (the list sorted again by the database and repainted).
//
//   bench_summary [--database FILE|URL] [--stock N] [--sales N] [--runs R]
//
// Works on a copy of FILE (a postgresql:// shop as it is): opening it adds
// any missing index (which is part of what is measured the first time, and
// reported apart), and signing in writes one session row. A missing FILE is
// generated first with lwjxc-datagen (next to this program).

#include "BenchSupport.h"
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

#include <algorithm>
#include <ctime>
#include <tuple>

using BenchSupport::out;
using BenchSupport::report;

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const BenchSupport::ShopRun shop(parser, app, 15);
    if (!shop.ok())
        return 1;
    const int runs = shop.runs();
    const QString target = shop.database();
    SettingsStore settings(shop.filePath(QStringLiteral("jxc.conf")));

    QElapsedTimer openTimer;
    openTimer.start();
    Database db{DatabaseLocation::fromArgument(target)};
    if (!BenchSupport::opened(db))
        return 1;
    const double openMs = openTimer.nsecsElapsed() / 1e6;
    out() << "engine: " << db.dialect().name()
          << ", stock rows: " << ScalarValue(db, QStringLiteral("select count(*) from data")).toLongLong()
          << ", opening (missing indexes added): " << openMs << " ms" << Qt::endl;

    TMainForm form(db, settings);
    BenchSupport::showSignedIn(form, db);
    TForm1 *window = form.summary();
    DataGrid *grid = window->grid();
    SqlListModel *list = window->listModel();

    out() << "load average before: " << BenchSupport::loadAverage() << Qt::endl;
    // Showing: the statement and the footer sums, every row loaded and the
    // last one current, the first screen painted.
    QList<double> showing;
    QList<double> showingCpu;
    QList<double> statements;
    QList<double> statementsCpu;
    QList<BenchSupport::Statements> showingStatements;
    int rows = 0;
    for (int run = 0; run < runs; ++run) {
        StatementRecorder recorder;
        QElapsedTimer timer;
        timer.start();
        const double cpu = BenchSupport::processCpuMs();
        window->openModeless();
        for (int c = 0; c < grid->columns().size(); ++c)
            grid->footerText(c);
        QCoreApplication::processEvents();
        window->grab();
        showing << timer.nsecsElapsed() / 1e6;
        showingCpu << BenchSupport::processCpuMs() - cpu;
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
        const double cpu = BenchSupport::processCpuMs();
        SqlListModel model(db);
        model.setPageSize(1 << 16);
        model.setSumFields(SummaryQuery::summedFields());
        model.setQuery(SummaryQuery::all());
        model.fetchAll();
        statements << timer.nsecsElapsed() / 1e6;
        statementsCpu << BenchSupport::processCpuMs() - cpu;
    }

    // Title clicks: each sum column and the name, twice each (descending,
    // then ascending), repainted.
    window->openModeless();
    QCoreApplication::processEvents();
    QList<double> clicks;
    QList<double> clicksCpu;
    QList<BenchSupport::Statements> clickStatements;
    for (int run = 0; run < runs; ++run) {
        for (const int column : {8, 8, 4, 0}) {
            StatementRecorder recorder;
            QElapsedTimer timer;
            timer.start();
            const double cpu = BenchSupport::processCpuMs();
            grid->clickTitle(column);
            QCoreApplication::processEvents();
            window->grab();
            clicks << timer.nsecsElapsed() / 1e6;
            clicksCpu << BenchSupport::processCpuMs() - cpu;
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
    for (const auto &[what, times, recorded] :
         {std::tuple{QStringLiteral("showing"), showing, showingStatements},
          std::tuple{QStringLiteral("title click"), clicks, clickStatements}}) {
        const QList<double> shell = BenchSupport::shellTimes(target, recorded);
        report(
            QStringLiteral("shell, the %1 statement(s) of a %2").arg(recorded.constFirst().size()).arg(what),
            shell, 0);
        BenchSupport::reportRatio(what, times, shell);
    }
    out() << "load average after: " << BenchSupport::loadAverage() << Qt::endl;
    form.close();
    return 0;
}

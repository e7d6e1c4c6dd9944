// Times the sales-detail window's core on a large generated shop: deleting a
// sale with its stock give-back, the "本 月" list (first screen and footer
// sums), one keystroke in the name filter, and the two charts' queries.
//
//   bench_salesreview [--database FILE|URL] [--stock N] [--sales N] [--runs R]
//
// Deletions go into a copy of FILE, so the shop stays as it was. A missing
// FILE is generated first with lwjxc-datagen (next to this program). A
// postgresql:// shop is used as it is, deletions included: give it a scratch
// copy (create database … template …). The name filter (texts matching much,
// little and nothing), the title sort of all lines, its later pages and the
// last page are also timed in the engine's own shell on the same statements,
// and the ratio printed.

#include "BenchSupport.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "data/QueryHelpers.h"
#include "data/Schema.h"
#include "data/SqlListModel.h"
#include "sales/SalesDetailQuery.h"
#include "sales/SalesLedger.h"
#include "sales/SalesStatistics.h"
#include "shell/Session.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTextStream>

#include <algorithm>
#include <functional>

using BenchSupport::out;
using BenchSupport::report;

namespace {

QList<double> timed(int runs, const std::function<void(int)> &work)
{
    QList<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        work(run);
        times << timer.nsecsElapsed() / 1e6;
    }
    return times;
}

// Times one action runs times, records the statements of each run, and
// prints the figures beside the same statements replayed in the shell.
void compareWithShell(const QString &what, const QString &target, int runs, double targetMs,
                      const std::function<void()> &action)
{
    QList<double> times;
    QList<double> cpu;
    QList<BenchSupport::Statements> statements;
    for (int run = 0; run < runs; ++run) {
        StatementRecorder recorder;
        QElapsedTimer timer;
        timer.start();
        const double cpuBefore = BenchSupport::processCpuMs();
        action();
        times << timer.nsecsElapsed() / 1e6;
        cpu << BenchSupport::processCpuMs() - cpuBefore;
        statements << recorder.statements();
    }
    report(what, times, targetMs);
    report(QStringLiteral("    CPU time of this process"), cpu, 0);
    QList<double> shellCpu;
    const QList<double> shell = BenchSupport::shellTimes(target, statements, &shellCpu);
    report(QStringLiteral("    shell, the same %1 statement(s) a run").arg(statements.constLast().size()),
           shell, 0);
    BenchSupport::reportRatio(QStringLiteral("wall time"), times, shell);
    if (!shellCpu.isEmpty())
        BenchSupport::reportRatio(QStringLiteral("CPU time"), cpu, shellCpu);
}

// The list actions of the sales-detail window on all lines: the name filter
// with texts matching much, little and nothing (the former plain match
// beside it), a title sort by an unindexed column, its later pages, and the
// last page of "全部记录".
void timeListActions(const Database &db, const QString &target, int runs)
{
    const Dialect &dialect = db.dialect();
    const QString little =
        ScalarValue(db, QStringLiteral("select e from data1 where e is not null and e <> '' group by e "
                                       "order by count(*), e limit 1"))
            .toString();
    const QString much =
        ScalarValue(db, QStringLiteral("select e from data1 group by e order by count(*) desc, e limit 1"))
            .toString()
            .left(1);
    const std::pair<QString, QStringList> texts[] = {
        {QStringLiteral("much"), {much}},
        {QStringLiteral("little"), {little}},
        {QStringLiteral("nothing"), {QStringLiteral("zzz"), QStringLiteral("zq")}},
    };
    for (const auto &[kind, typed] : texts) {
        for (const QString &text : typed) {
            SalesFilter filter;
            filter.nameInitials = text;
            int lines = 0;
            auto keystroke = [&](bool narrowed) {
                SqlListModel model(db);
                model.setSumFields(SalesDetailQuery::summedFields());
                model.setQuery(narrowed ? SalesDetailQuery::search(db, filter)
                                        : SalesDetailQuery::search(dialect, filter));
                lines = model.totalCount();
                if (!model.errorText().isEmpty())
                    out() << model.errorText() << Qt::endl;
            };
            compareWithShell(QStringLiteral("name filter \"%1\" (%2): values first, then IN (count + sums + "
                                            "first page)")
                                 .arg(text, kind),
                             target, runs, 40, [&] { keystroke(true); });
            out() << "    lines: " << lines << Qt::endl;
            compareWithShell(QStringLiteral("  the plain match, as before"), target, std::min(runs, 5), 0,
                             [&] { keystroke(false); });
        }
    }

    // A title sort of every line by an unindexed column (amount), once; then
    // pages further down read by their keys, as scrolling reads them.
    SqlListModel sorted(db);
    sorted.setSumFields(SalesDetailQuery::summedFields());
    sorted.setQuery(SalesDetailQuery::allRecords(dialect));
    bool ascending = false;
    compareWithShell(QStringLiteral("sorting all lines by amount (keys once + first page; no sums)"), target,
                     runs, 300, [&] {
                         sorted.sortBy(QStringLiteral("4"), ascending);
                         ascending = !ascending;
                     });
    sorted.loadRow(sorted.totalCount() - 1);
    const int pages = sorted.totalCount() / sorted.pageSize();
    int page = 1;
    compareWithShell(QStringLiteral("a later page of the sorted list (by its keys)"), target, runs, 20, [&] {
        page = (page * 7919) % std::max(pages, 1);
        sorted.value(page * sorted.pageSize(), QStringLiteral("a"));
    });

    // "全部记录" standing on its last line: count and sums, first and last page.
    compareWithShell(QStringLiteral("全部记录 to its last line (sums, first page, page of the last line)"),
                     target, runs, 0, [&] {
                         SqlListModel model(db);
                         model.setSumFields(SalesDetailQuery::summedFields());
                         model.setQuery(SalesDetailQuery::allRecords(dialect));
                         model.loadRow(model.totalCount() - 1);
                     });
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const BenchSupport::ShopRun shop(parser, app, 31);
    if (!shop.ok())
        return 1;
    const int runs = shop.runs();
    const QString target = shop.database();
    Database db{DatabaseLocation::fromArgument(target)};
    if (!BenchSupport::opened(db))
        return 1;
    const Dialect &dialect = db.dialect();
    // "Today" is the last sale day of the generated shop, so "本 月" is a full,
    // busy month.
    const QDate today = Dialect::toDate(ScalarValue(db, QStringLiteral("select max(day1) from data1")));
    ManualClock clock(today);
    ScopedClock scopedClock(clock);
    out() << "engine: " << dialect.name() << ", load average: " << BenchSupport::loadAverage() << Qt::endl;
    out() << BenchSupport::shopSize(db) << ", today: " << today.toString(Qt::ISODate) << Qt::endl;

    // 1. "本 月": the first screen and the footer sums (count + sums, first page).
    int monthRows = 0;
    const QList<double> month = timed(runs, [&](int) {
        SqlListModel model(db);
        model.setSumFields(SalesDetailQuery::summedFields());
        model.setQuery(SalesDetailQuery::thisMonth(dialect, today));
        monthRows = model.totalCount();
        if (model.rowCount() == 0 || !model.errorText().isEmpty())
            out() << "empty month list " << model.errorText() << Qt::endl;
    });
    out() << "本 月 lines: " << monthRows << Qt::endl;
    report(QStringLiteral("本 月 list, first screen + footer sums"), month, 0);

    // 2. The charts: twelve months and the days of the current month.
    const SalesStatistics statistics(db);
    const QList<double> monthly =
        timed(runs, [&](int) { statistics.monthly(today.year(), SalesStatistics::Kind::Profit); });
    report(QStringLiteral("monthly chart query (profit)"), monthly, 0);
    const QList<double> daily = timed(runs, [&](int) {
        statistics.daily(today.year(), today.month(), SalesStatistics::Kind::SalesAmount);
    });
    report(QStringLiteral("daily chart query (sales amount)"), daily, 0);

    // Showing the window: both charts, then the month list.
    const QList<double> showing = timed(runs, [&](int) {
        statistics.monthly(today.year(), SalesStatistics::Kind::Profit);
        statistics.daily(today.year(), today.month(), SalesStatistics::Kind::Profit);
        SqlListModel model(db);
        model.setSumFields(SalesDetailQuery::summedFields());
        model.setQuery(SalesDetailQuery::thisMonth(dialect, today));
    });
    report(QStringLiteral("showing the window (both charts + 本 月)"), showing, 150);

    // 3. One keystroke in the name filter: the list re-queried with sums, as
    // the window does it (the typed text matched among the names first).
    const QStringList typed{QStringLiteral("w"), QStringLiteral("wb"), QStringLiteral("wbl"),
                            QStringLiteral("m"), QStringLiteral("ml"), QStringLiteral("lgx")};
    const QList<double> keystroke = timed(runs, [&](int run) {
        SalesFilter filter;
        filter.nameInitials = typed.at(run % typed.size());
        SqlListModel model(db);
        model.setSumFields(SalesDetailQuery::summedFields());
        model.setQuery(SalesDetailQuery::search(db, filter));
        if (!model.errorText().isEmpty())
            out() << model.errorText() << Qt::endl;
    });
    report(QStringLiteral("one keystroke in the name filter (list + sums)"), keystroke, 300);
    timeListActions(db, target, runs);

    // 4. Deleting a sale with its give-back, lines spread over the table.
    QList<qint64> lines;
    QSqlQuery pick = OpenStatement(db, QStringLiteral("select ID from data1 where \"3\" > 0 order by ID"));
    while (pick.next())
        lines << pick.value(0).toLongLong();
    pick.finish();
    const Session admin{Schema::kAdministrator, 1};
    SalesLedger ledger(db);
    int gaveBack = 0;
    const QList<double> deleting = timed(runs, [&](int run) {
        if (ledger.remove(admin, lines.at((lines.size() / runs) * run)) != SalesLedger::Removal::AlreadyGone)
            ++gaveBack;
    });
    out() << "deleted lines: " << gaveBack << " of " << runs << Qt::endl;
    report(QStringLiteral("deleting a sale with its give-back"), deleting, 25);
    return 0;
}

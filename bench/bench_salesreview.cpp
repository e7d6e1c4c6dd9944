// Times the sales-detail window's core on a large generated shop: deleting a
// sale with its stock give-back, the "本 月" list (first screen and footer
// sums), one keystroke in the name filter, and the two charts' queries.
//
//   bench_salesreview [--db FILE] [--stock N] [--sales N] [--runs R]
//
// Deletions go into a copy of FILE, so the generated shop stays as it was. A
// missing FILE is generated first with lwjxc-datagen (next to this program).

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
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>

using BenchSupport::median;
using BenchSupport::out;
using BenchSupport::percentile90;
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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const BenchSupport::ShopOptions shopOptions(31);
    shopOptions.addTo(parser);
    parser.process(app);
    const QString file = shopOptions.shopFile(parser);
    if (file.isEmpty())
        return 1;
    const int runs = shopOptions.runs(parser);
    QTemporaryDir home(QDir::temp().filePath(QStringLiteral("bench-salesreview-XXXXXX")));
    const QString copy = home.filePath(QStringLiteral("data.mdb"));
    if (!QFile::copy(file, copy)) {
        out() << "cannot copy " << file << Qt::endl;
        return 1;
    }
    Database db{DatabaseLocation::fromArgument(copy)};
    if (!db.isOpen()) {
        out() << db.errorText() << Qt::endl;
        return 1;
    }
    const Dialect &dialect = db.dialect();
    // "Today" is the last sale day of the generated shop, so "本 月" is a full,
    // busy month.
    const QDate today = Dialect::toDate(ScalarValue(db, QStringLiteral("select max(day1) from data1")));
    ManualClock clock(today);
    ScopedClock scopedClock(clock);
    out() << "stock rows: " << ScalarValue(db, QStringLiteral("select count(*) from data")).toLongLong()
          << ", sale lines: " << ScalarValue(db, QStringLiteral("select count(*) from data1")).toLongLong()
          << ", today: " << today.toString(Qt::ISODate) << Qt::endl;

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

    // 3. One keystroke in the name filter: the list re-queried with sums.
    const QStringList typed{QStringLiteral("w"), QStringLiteral("wb"), QStringLiteral("wbl"),
                            QStringLiteral("m"), QStringLiteral("ml"), QStringLiteral("lgx")};
    const QList<double> keystroke = timed(runs, [&](int run) {
        SalesFilter filter;
        filter.nameInitials = typed.at(run % typed.size());
        SqlListModel model(db);
        model.setSumFields(SalesDetailQuery::summedFields());
        model.setQuery(SalesDetailQuery::search(dialect, filter));
        if (!model.errorText().isEmpty())
            out() << model.errorText() << Qt::endl;
    });
    report(QStringLiteral("one keystroke in the name filter (list + sums)"), keystroke, 300);

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

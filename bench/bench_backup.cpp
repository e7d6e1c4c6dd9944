// Times backup and restore of a large generated shop: the backup as
// "备份数据库" and the automatic backup of every close make it (page copy and
// read-back), the full integrity check for comparison, a restore into a copy of
// the shop and, with a PostgreSQL server, the same shop restored onto the
// server and backed up from it.
//
//   bench_backup [--db FILE] [--stock N] [--sales N] [--runs R] [--pg URL]
//
// FILE is only read; everything written goes to a temporary folder. A
// missing FILE is generated first with lwjxc-datagen (next to this program).
// --pg (or LWJXC_BENCH_PG_URL) names a server where a scratch database
// lwjxc_bench_backup is made and dropped again.

#include "BenchSupport.h"
#include "data/Database.h"
#include "data/QueryHelpers.h"
#include "maintenance/BackupService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>

using BenchSupport::out;
using BenchSupport::report;

namespace {

// Runs step `runs` times; reports wall-clock medians against the target and
// the CPU seconds the process spent, which the machine's load does not
// stretch.
template <typename Step> bool timed(const QString &what, int runs, double targetMs, Step step)
{
    QList<double> wall;
    QList<double> cpu;
    for (int run = 0; run < runs; ++run) {
        const double cpuBefore = BenchSupport::processCpuMs();
        QElapsedTimer timer;
        timer.start();
        const BackupService::Result result = step(run);
        wall << timer.nsecsElapsed() / 1e6;
        cpu << BenchSupport::processCpuMs() - cpuBefore;
        if (!result.ok) {
            out() << what << " failed: " << result.error << Qt::endl;
            return false;
        }
    }
    report(what, wall, targetMs);
    report(what + QStringLiteral(" (CPU time)"), cpu, 0);
    out() << "  load average now: " << BenchSupport::loadAverage() << Qt::endl;
    return true;
}

bool adminExec(const DatabaseLocation &server, const QString &sql)
{
    bool ok = false;
    {
        QSqlDatabase admin =
            QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench_admin"));
        admin.setHostName(server.host);
        admin.setPort(server.port);
        admin.setUserName(server.user);
        admin.setPassword(server.password);
        admin.setDatabaseName(server.database);
        ok = admin.open() && QSqlQuery(admin).exec(sql);
        admin.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench_admin"));
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    QCommandLineOption pgOption(QStringLiteral("pg"),
                                QStringLiteral("PostgreSQL server for the server timings"),
                                QStringLiteral("url"), qEnvironmentVariable("LWJXC_BENCH_PG_URL"));
    parser.addOption(pgOption);
    // The shop is only read; the backups and the restored copy go to the
    // run's temporary folder.
    const BenchSupport::ShopRun work(parser, app, 3, BenchSupport::ShopRun::Shop::AsNamed);
    if (!work.ok())
        return 1;
    const QString file = work.database();
    const int runs = work.runs();

    const DatabaseLocation shop = DatabaseLocation::fromArgument(file);
    {
        Database db(shop, QStringLiteral("bench_count"));
        if (!BenchSupport::opened(db))
            return 1;
        out() << "shop: " << file << ", " << QFileInfo(file).size() / (1024 * 1024) << " MB, "
              << BenchSupport::shopSize(db) << Qt::endl;
    }
    out() << "load average at start: " << BenchSupport::loadAverage() << Qt::endl;

    // 1. "备份数据库" and the automatic backup of a close: page copy, quick
    //    read-back, rename.
    const QString backup = work.filePath(QStringLiteral("beifen.mdb"));
    if (!timed(QStringLiteral("backup (copy + quick check + rename)"), runs, 3000,
               [&](int) { return BackupService(shop).backupTo(backup); }))
        return 1;

    // 2. For comparison: the full check, which also proves every index
    //    against its table (once: it is the slowest step by far).
    if (!timed(QStringLiteral("full check of a backup (integrity_check + tables)"), 1, 0, [&](int) {
            BackupService::Result r;
            r.error = BackupService::checkBackupFile(backup, BackupService::Check::Full);
            r.ok = r.error.isEmpty();
            return r;
        }))
        return 1;

    // 3. Restore into a copy of the shop (copy, quick check, keep, swap).
    const DatabaseLocation target =
        DatabaseLocation::fromArgument(work.filePath(QStringLiteral("shop/data.mdb")));
    if (!BackupService(shop).backupTo(target.path).ok)
        return 1;
    if (!timed(QStringLiteral("restore (copy + quick check + keep + swap)"), runs, 3000, [&](int run) {
            return BackupService(target).restoreFrom(backup, QDateTime::currentDateTime().addSecs(run));
        }))
        return 1;

    // 4. The same shop on a PostgreSQL server.
    const QString url = parser.value(pgOption);
    if (url.isEmpty()) {
        out() << "no --pg server given: server timings skipped" << Qt::endl;
        return 0;
    }
    const DatabaseLocation server = DatabaseLocation::fromArgument(url);
    const QString scratch = QStringLiteral("lwjxc_bench_backup");
    adminExec(server, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(scratch));
    if (!adminExec(server, QStringLiteral("CREATE DATABASE %1").arg(scratch))) {
        out() << "cannot create the scratch database on " << server.displayName() << Qt::endl;
        return 1;
    }
    DatabaseLocation onServer = server;
    onServer.database = scratch;
    {
        Database created(onServer, QStringLiteral("bench_schema"));
        if (!BenchSupport::opened(created))
            return 1;
    }
    const bool serverOk =
        timed(QStringLiteral("restore onto the server"), 1, 0,
              [&](int) {
                  return BackupService(onServer).restoreFrom(backup, QDateTime::currentDateTime(),
                                                             work.filePath(QStringLiteral("keep")));
              }) &&
        timed(QStringLiteral("backup from the server"), runs, 15000, [&](int) {
            return BackupService(onServer).backupTo(work.filePath(QStringLiteral("from-server.mdb")));
        });
    adminExec(server, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(scratch));
    return serverOk ? 0 : 1;
}

#pragma once

#include "data/QueryHelpers.h"

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVariantList>

class Database;
class QCommandLineParser;
class QCoreApplication;

// What every benchmark harness needs: figures on stdout, medians and p90s,
// a generated shop when the named file is missing, settings kept out of the
// user's folders, and the engine's own shell timing the same statements.
namespace BenchSupport {

QTextStream &out();
double median(QList<double> values);
double percentile90(QList<double> values);

// The machine's load average over 1, 5 and 15 minutes ("1.20 0.90 0.80"):
// on a shared machine every figure is read beside it.
QString loadAverage();

// CPU time this process has used, in milliseconds: on a shared, loaded
// machine the wall time mostly measures the wait for a core and the disk;
// the CPU time is the program's own work.
double processCpuMs();

// "<what>, median ms: M  (p90 P, N samples, target <= T, load L)" and
// "MISSED" when the median is over the target; a target of 0 or less prints
// none.
void report(const QString &what, const QList<double> &times, double target);

// "  ratio <what> ours / shell: R  (medians O / S ms, load L)": how far the
// program is from the shell running the same statements. sqlite3 times in
// whole milliseconds, so against a shell median under 2 ms of whole
// milliseconds no ratio is printed.
void reportRatio(const QString &what, const QList<double> &ours, const QList<double> &shell);

// The statements of one run of an action, as a StatementRecorder saw them
// (the transaction's BEGIN and COMMIT included).
using Statements = QList<StatementRecorder::Statement>;

// A statement with its ? placeholders (outside quoted text) replaced by
// literals, for the shell: numbers as they are, dates as ISO text, every
// other value quoted with its quotes doubled.
QString withLiterals(const QString &sql, const QVariantList &values);

// The recorded statements with their values written in, for the shell.
// LWJXC_BENCH_SQL=1 prints them.
QStringList replayable(const Statements &statements);

// The same statements timed inside the database's own shell on the same file
// or server: `sqlite3` with ".timer on" or `psql` with "\timing on", one
// process for all runs, so no process start is in the figures. `runs` holds
// the statements of each run as that run executed them (a run reading
// another page replays that page); results go to /dev/null and the figure of
// a run is the sum of its statements' times. SQLite gets the program's
// connection settings and opens the file read-only unless a statement
// writes (BEGIN, UPDATE ...: those need a file or server the benchmark may
// change). Empty, with a line on stdout, when the shell is missing or a
// statement fails. With `cpu`, sqlite3's user + sys time of each run goes
// there too (psql cannot tell the server's).
QList<double> shellTimes(const QString &database, const QList<QStringList> &runs,
                         QList<double> *cpu = nullptr);
// The same statements in every run.
QList<double> shellTimes(const QString &database, const QStringList &statements, int runs,
                         QList<double> *cpu = nullptr);
QList<double> shellTimes(const QString &database, const QList<Statements> &runs,
                         QList<double> *cpu = nullptr);

// True for a postgresql:// address, false for a shop file.
bool isServer(const QString &database);

// Generates FILE with lwjxc-datagen (next to the running program) when it
// does not exist. False, with a line on stdout, when that fails.
bool ensureShop(const QString &file, const QString &stockRows, const QString &saleLines);

// The shop a benchmark that writes works on: a shop file copied into dir,
// a server's address as it is (make a scratch database on the server:
// create database … template …). Empty, with a line on stdout, when the copy
// fails.
QString workingCopy(const QString &database, const QTemporaryDir &dir);

// False, with the reason on stdout, when the database did not open.
bool opened(const Database &db);

// "stock rows: N, sale lines: M".
QString shopSize(const Database &db);

// Points QSettings, XDG_CONFIG_HOME and XDG_DATA_HOME at the temporary
// folder, so a run leaves no preferences, layouts or automatic backups (of a
// server shop, made when the main window closes) behind.
void keepSettingsIn(const QTemporaryDir &home);

// How a benchmark on a generated shop starts: its options parsed
// (--database FILE|URL, also --db; a missing file is made with --stock and
// --sales rows, a server must hold a shop already: lwjxc-datagen --out URL;
// --runs N; the harness's own options are added to the parser before), a
// temporary folder that holds the settings (keepSettingsIn) and whatever the
// run writes, and the shop to work on: a copy of a shop file in that folder
// (or the file as named, for a harness that only reads it), a server's
// address as it is.
class ShopRun
{
public:
    enum class Shop { Copy, AsNamed };
    ShopRun(QCommandLineParser &parser, const QCoreApplication &app, int defaultRuns, Shop shop = Shop::Copy);
    ShopRun(const ShopRun &) = delete;
    ShopRun &operator=(const ShopRun &) = delete;
    // False when the shop could not be generated or copied (the reason is on
    // stdout).
    bool ok() const { return !m_database.isEmpty(); }
    // The shop as named on the command line.
    QString named() const { return m_named; }
    // The shop to open.
    QString database() const { return m_database; }
    int runs() const { return m_runs; }
    QString filePath(const QString &name) const;

private:
    QTemporaryDir m_home;
    QString m_named;
    QString m_database;
    int m_runs = 1;
};

} // namespace BenchSupport

#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QTextStream>
#include <QVariantList>

class QCommandLineParser;
class QTemporaryDir;
class StatementRecorder;

// What every benchmark harness needs: figures on stdout, medians and p90s,
// a generated shop when the named file is missing, and settings kept out of
// the user's folders.
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

// "  ratio <what> ours / shell: R (medians O / S ms)": how far the program is
// from the shell running the same statements.
void reportRatio(const QString &what, const QList<double> &ours, const QList<double> &shell);

// The same statements timed inside the database's own shell on the same file
// or server: `sqlite3` with ".timer on" or `psql` with "\timing on", one
// process for all runs, so no process start is in the figures. Each run
// executes every statement once (results go to /dev/null); the figure of a
// run is the sum of its statements' times. Statements that write (BEGIN,
// UPDATE ...) need a file or server the benchmark may change. Empty, with a line on stdout,
// when the shell is missing or a statement fails.
// With `cpu`, sqlite3's user + sys time of each run goes there too (psql
// cannot tell the server's).
QList<double> shellTimes(const QString &database, const QStringList &statements, int runs,
                         QList<double> *cpu = nullptr);

// A statement with its ? placeholders replaced by quoted literals, for the
// shell (the benchmarks' own fixed values, never operator input).
QString withLiterals(QString sql, const QVariantList &values);

// The statements a recorder saw, with their values spliced in, for the shell.
QStringList replayable(const StatementRecorder &recorder);

// True for a postgresql:// address, false for a shop file.
bool isServer(const QString &database);

// Generates FILE with lwjxc-datagen (next to the running program) when it
// does not exist. False, with a line on stdout, when that fails.
bool ensureShop(const QString &file, const QString &stockRows, const QString &saleLines);

// Points QSettings and XDG_CONFIG_HOME at the temporary folder, so a run
// leaves no preferences or layouts behind.
void keepSettingsIn(const QTemporaryDir &home);

// The options of a benchmark on a generated shop: --database FILE|URL (also
// --db; a missing file is made with --stock and --sales rows, a server must
// hold a shop already: lwjxc-datagen --out URL) and --runs N.
class ShopOptions
{
public:
    explicit ShopOptions(int defaultRuns);
    void addTo(QCommandLineParser &parser) const;
    // After parser.process(): the shop file (generated when missing) or the
    // server's address; empty when that failed (the reason is on stdout).
    QString shopFile(const QCommandLineParser &parser) const;
    int runs(const QCommandLineParser &parser) const;

private:
    QCommandLineOption m_db;
    QCommandLineOption m_stock;
    QCommandLineOption m_sales;
    QCommandLineOption m_runs;
};

} // namespace BenchSupport

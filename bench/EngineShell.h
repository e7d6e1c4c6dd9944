#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

class QCommandLineOption;
class QCommandLineParser;
class QTemporaryDir;

namespace BenchSupport {
class ShopOptions;
}

// The engines' own shells as the yardstick: the statements a window ran,
// timed inside sqlite3 (".timer on") or psql ("\timing"), so no process start
// is counted.
namespace EngineShell {

// A statement with its bound values written in as literals.
QString inlined(const QString &sql, const QVariantList &values);

// One statement as run, recorded through SetStatementObserver.
struct Statement
{
    QString sql;
    QVariantList values;
};

// Records every statement run between construction and destruction.
class Recorder
{
public:
    Recorder();
    ~Recorder();
    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;
    QList<Statement> statements() const { return *m_statements; }

private:
    std::shared_ptr<QList<Statement>> m_statements;
};

// Per run, the summed time in ms of the statements in the shell of the
// database at target (an SQLite file or a postgresql:// address).
// Empty (with a line on stdout) when the shell is missing or fails.
// With cpu, SQLite's user + sys time per run is stored there too (psql
// reports only the elapsed time).
QList<double> times(const QString &target, const QList<Statement> &statements, int runs,
                    QList<double> *cpu = nullptr);
// The same with the statements of each run as recorded (a run reading
// another page replays that page).
QList<double> times(const QString &target, const QList<QList<Statement>> &perRun,
                    QList<double> *cpu = nullptr);

// CPU time of this process in ms (on a loaded machine the elapsed time is
// mostly the wait for a core).
double cpuMs();

// The database a harness works on: the --database address as it is, or else
// a copy in home of the --db shop (generated when missing). Empty, with the
// reason on stdout, when that fails.
QString workingDatabase(const QCommandLineParser &parser, const QCommandLineOption &database,
                        const BenchSupport::ShopOptions &shop, const QTemporaryDir &home);

// "0.52 0.61 0.70" from /proc/loadavg.
QString loadAverage();

} // namespace EngineShell

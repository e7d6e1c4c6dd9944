#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QTextStream>

class QCommandLineParser;
class QTemporaryDir;

// What every benchmark harness needs: figures on stdout, medians and p90s,
// a generated shop when the named file is missing, and settings kept out of
// the user's folders.
namespace BenchSupport {

QTextStream &out();
double median(QList<double> values);
double percentile90(QList<double> values);

// "<what>, median ms: M  (p90 P, N samples, target <= T)" and "MISSED" when
// the median is over the target; a target of 0 or less prints none.
void report(const QString &what, const QList<double> &times, double target);

// Generates FILE with lwjxc-datagen (next to the running program) when it
// does not exist. False, with a line on stdout, when that fails.
bool ensureShop(const QString &file, const QString &stockRows, const QString &saleLines);

// Points QSettings and XDG_CONFIG_HOME at the temporary folder, so a run
// leaves no preferences or layouts behind.
void keepSettingsIn(const QTemporaryDir &home);

// The options of a benchmark on a generated shop: --db FILE (made with
// --stock and --sales rows when missing) and --runs N.
class ShopOptions
{
public:
    explicit ShopOptions(int defaultRuns);
    void addTo(QCommandLineParser &parser) const;
    // After parser.process(): the shop file, generated when missing; empty
    // when that failed (the reason is on stdout).
    QString shopFile(const QCommandLineParser &parser) const;
    int runs(const QCommandLineParser &parser) const;

private:
    QCommandLineOption m_db;
    QCommandLineOption m_stock;
    QCommandLineOption m_sales;
    QCommandLineOption m_runs;
};

} // namespace BenchSupport

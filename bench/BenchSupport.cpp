#include "BenchSupport.h"

#include <QCommandLineParser>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>

namespace BenchSupport {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0.0 : (n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2);
}

double percentile90(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0.0 : values.at(std::min<qsizetype>(values.size() - 1, values.size() * 9 / 10));
}

void report(const QString &what, const QList<double> &times, double target)
{
    out() << what << ", median ms: " << median(times) << "  (p90 " << percentile90(times) << ", "
          << times.size() << " samples";
    if (target > 0)
        out() << ", target <= " << target << ")" << (median(times) <= target ? "" : "  MISSED");
    else
        out() << ")";
    out() << Qt::endl;
}

bool ensureShop(const QString &file, const QString &stockRows, const QString &saleLines)
{
    if (QFile::exists(file))
        return true;
    const QString datagen =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("lwjxc-datagen"));
    out() << "generating " << file << " ..." << Qt::endl;
    if (QProcess::execute(datagen, {QStringLiteral("--stock"), stockRows, QStringLiteral("--sales"),
                                    saleLines, QStringLiteral("--out"), file}) != 0) {
        out() << "lwjxc-datagen failed" << Qt::endl;
        return false;
    }
    return true;
}

void keepSettingsIn(const QTemporaryDir &home)
{
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, home.path());
}

ShopOptions::ShopOptions(int defaultRuns)
    : m_db(QStringLiteral("db"), QStringLiteral("SQLite shop file"), QStringLiteral("file"),
           QStringLiteral("/tmp/bench-1m.mdb")),
      m_stock(QStringLiteral("stock"), QStringLiteral("stock rows when generating"), QStringLiteral("n"),
              QStringLiteral("100000")),
      m_sales(QStringLiteral("sales"), QStringLiteral("sale lines when generating"), QStringLiteral("n"),
              QStringLiteral("1000000")),
      m_runs(QStringLiteral("runs"), QStringLiteral("repetitions"), QStringLiteral("n"),
             QString::number(defaultRuns))
{}

void ShopOptions::addTo(QCommandLineParser &parser) const
{
    parser.addOptions({m_db, m_stock, m_sales, m_runs});
}

QString ShopOptions::shopFile(const QCommandLineParser &parser) const
{
    const QString file = parser.value(m_db);
    return ensureShop(file, parser.value(m_stock), parser.value(m_sales)) ? file : QString();
}

int ShopOptions::runs(const QCommandLineParser &parser) const
{
    return std::max(1, parser.value(m_runs).toInt());
}

} // namespace BenchSupport

#include "BenchSupport.h"

#include "data/QueryHelpers.h"

#include <QCommandLineParser>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <ctime>

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

double processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(u' ', 0, 2);
}

void report(const QString &what, const QList<double> &times, double target)
{
    out() << what << ", median ms: " << median(times) << "  (p90 " << percentile90(times) << ", "
          << times.size() << " samples";
    if (target > 0)
        out() << ", target <= " << target;
    out() << ", load " << loadAverage() << ")";
    if (target > 0 && median(times) > target)
        out() << "  MISSED";
    out() << Qt::endl;
}

void reportRatio(const QString &what, const QList<double> &ours, const QList<double> &shell)
{
    if (shell.isEmpty() || median(shell) <= 0) {
        out() << "  ratio " << what << ": no shell figure" << Qt::endl;
        return;
    }
    out() << "  ratio " << what << " ours / shell: " << median(ours) / median(shell) << "  (medians "
          << median(ours) << " / " << median(shell) << " ms, load " << loadAverage() << ")" << Qt::endl;
}

bool isServer(const QString &database)
{
    return database.startsWith(QLatin1String("postgresql://")) ||
           database.startsWith(QLatin1String("postgres://"));
}

QString withLiterals(QString sql, const QVariantList &values)
{
    qsizetype from = 0;
    for (const QVariant &value : values) {
        const qsizetype at = sql.indexOf(u'?', from);
        if (at < 0)
            break;
        QString literal;
        if (value.isNull()) {
            literal = QStringLiteral("NULL");
        } else if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong ||
                   value.typeId() == QMetaType::Double) {
            literal = value.toString();
        } else {
            literal = value.toString();
            literal.replace(u'\'', QStringLiteral("''"));
            literal = u'\'' + literal + u'\'';
        }
        sql.replace(at, 1, literal);
        from = at + literal.size();
    }
    return sql;
}

QStringList replayable(const StatementRecorder &recorder)
{
    QStringList statements;
    for (const StatementRecorder::Statement &statement : recorder.statements())
        statements << withLiterals(statement.sql, statement.values);
    // LWJXC_BENCH_SQL=1 shows what is replayed.
    if (qEnvironmentVariableIsSet("LWJXC_BENCH_SQL"))
        out() << statements.join(QStringLiteral(";\n")) << Qt::endl;
    return statements;
}

QList<double> shellTimes(const QString &database, const QStringList &statements, int runs, QList<double> *cpu)
{
    const bool server = isServer(database);
    // The program's connection settings, so a write costs the same.
    QString script = server
                         ? QStringLiteral("\\o /dev/null\n\\timing on\n")
                         : QStringLiteral(".output /dev/null\npragma busy_timeout=5000;\n"
                                          "pragma synchronous=FULL;\npragma foreign_keys=ON;\n.timer on\n");
    bool writes = false;
    for (const QString &statement : statements) {
        const QString start = statement.trimmed().left(6).toLower();
        writes = writes || !(start == QLatin1String("select") || start == QLatin1String("with r"));
    }
    for (int run = 0; run < runs; ++run) {
        for (QString statement : statements) {
            statement = statement.trimmed();
            if (!statement.endsWith(u';'))
                statement += u';';
            script += statement.simplified() + u'\n';
        }
    }
    QProcess shell;
    if (server)
        shell.start(QStringLiteral("psql"),
                    {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                     QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"), database});
    else
        shell.start(QStringLiteral("sqlite3"),
                    writes ? QStringList{database} : QStringList{QStringLiteral("-readonly"), database});
    if (!shell.waitForStarted()) {
        out() << "  the " << (server ? "psql" : "sqlite3") << " shell is not installed" << Qt::endl;
        return {};
    }
    shell.write(script.toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(-1);
    // sqlite3: "Run Time: real 0.012 user ... sys ..." (seconds); psql:
    // "Time: 12.345 ms".
    QList<double> each;
    QList<double> eachCpu;
    for (const QByteArray &line : shell.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (line.startsWith("Run Time: real ") && words.size() >= 8) {
            each << words.at(3).toDouble() * 1000.0;
            eachCpu << (words.at(5).toDouble() + words.at(7).toDouble()) * 1000.0;
        } else if (line.startsWith("Time: "))
            each << line.mid(6).split(' ').value(0).toDouble();
    }
    const QByteArray errors = shell.readAllStandardError().trimmed();
    if (shell.exitCode() != 0 || each.size() != runs * statements.size()) {
        out() << "  the shell failed (" << each.size() << " timings of " << runs * statements.size()
              << "): " << QString::fromUtf8(errors.left(400)) << Qt::endl;
        return {};
    }
    QList<double> times;
    for (int run = 0; run < runs; ++run) {
        double sum = 0;
        double cpuSum = 0;
        for (qsizetype i = 0; i < statements.size(); ++i) {
            sum += each.at(run * statements.size() + i);
            cpuSum += eachCpu.value(run * statements.size() + i);
        }
        times << sum;
        if (cpu && !eachCpu.isEmpty())
            *cpu << cpuSum;
    }
    return times;
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
    : m_db(QStringList{QStringLiteral("database"), QStringLiteral("db")},
           QStringLiteral("shop file or postgresql:// address"), QStringLiteral("file|url"),
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
    if (isServer(file))
        return file;
    return ensureShop(file, parser.value(m_stock), parser.value(m_sales)) ? file : QString();
}

int ShopOptions::runs(const QCommandLineParser &parser) const
{
    return std::max(1, parser.value(m_runs).toInt());
}

} // namespace BenchSupport

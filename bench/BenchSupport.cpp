#include "BenchSupport.h"

#include "data/Database.h"
#include "data/QueryHelpers.h"

#include <QCommandLineParser>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
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
    const double shellMedian = median(shell);
    // sqlite3 reports whole milliseconds: against 0 or 1 of them a ratio says nothing.
    const bool wholeMs = std::all_of(shell.begin(), shell.end(), [](double t) { return t == std::floor(t); });
    if (shell.isEmpty() || shellMedian <= 0 || (wholeMs && shellMedian < 2)) {
        out() << "  ratio " << what << ": no shell figure";
        if (!shell.isEmpty())
            out() << " (the shell's median " << shellMedian << " ms is at its 1 ms resolution)";
        out() << Qt::endl;
        return;
    }
    out() << "  ratio " << what << " ours / shell: " << median(ours) / shellMedian << "  (medians "
          << median(ours) << " / " << shellMedian << " ms, load " << loadAverage() << ")" << Qt::endl;
}

bool isServer(const QString &database)
{
    return database.startsWith(QLatin1String("postgresql://")) ||
           database.startsWith(QLatin1String("postgres://"));
}

QString withLiterals(const QString &sql, const QVariantList &values)
{
    QString result;
    result.reserve(sql.size());
    qsizetype next = 0;
    bool quoted = false;
    for (const QChar c : sql) {
        if (c == u'\'')
            quoted = !quoted;
        if (c != u'?' || quoted || next >= values.size()) {
            result += c;
            continue;
        }
        const QVariant &value = values.at(next++);
        switch (value.isNull() ? QMetaType::UnknownType : value.typeId()) {
        case QMetaType::UnknownType:
            result += QStringLiteral("NULL");
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
            result += value.toString();
            break;
        case QMetaType::Bool:
            result += value.toBool() ? u'1' : u'0';
            break;
        case QMetaType::QDate:
            result += u'\'' + value.toDate().toString(Qt::ISODate) + u'\'';
            break;
        default: {
            QString text = value.toString();
            text.replace(u'\'', QStringLiteral("''"));
            result += u'\'' + text + u'\'';
        }
        }
    }
    return result;
}

QStringList replayable(const Statements &statements)
{
    QStringList replayed;
    for (const StatementRecorder::Statement &statement : statements)
        replayed << withLiterals(statement.sql, statement.values);
    // LWJXC_BENCH_SQL=1 shows what is replayed.
    if (qEnvironmentVariableIsSet("LWJXC_BENCH_SQL"))
        out() << replayed.join(QStringLiteral(";\n")) << Qt::endl;
    return replayed;
}

QList<double> shellTimes(const QString &database, const QList<QStringList> &runs, QList<double> *cpu)
{
    const bool server = isServer(database);
    // The program's connection settings (Database), so a write costs the
    // same and a read finds as many pages in the cache (20 MB).
    QString script = server ? QStringLiteral("\\o /dev/null\n\\timing on\n")
                            : QStringLiteral(".output /dev/null\npragma busy_timeout=5000;\n"
                                             "pragma synchronous=FULL;\npragma foreign_keys=ON;\n"
                                             "pragma cache_size=-20480;\n.timer on\n");
    bool writes = false;
    qsizetype total = 0;
    for (const QStringList &statements : runs) {
        for (QString statement : statements) {
            statement = statement.trimmed();
            const QString start = statement.left(6).toLower();
            writes = writes || !(start == QLatin1String("select") || start.startsWith(QLatin1String("with")));
            if (!statement.endsWith(u';'))
                statement += u';';
            script += statement + u'\n';
        }
        total += statements.size();
    }
    if (total == 0) {
        out() << "  no statements to replay in the shell" << Qt::endl;
        return {};
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
        out() << "  the " << (server ? "psql" : "sqlite3")
              << " shell is not installed (package postgresql-client / sqlite3)" << Qt::endl;
        return {};
    }
    shell.write(script.toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(-1);
    // sqlite3: "Run Time: real 0.012 user 0.008000 sys 0.004000" (seconds);
    // psql: "Time: 12.345 ms", past a second "Time: 1234.567 ms (00:01.235)".
    static const QRegularExpression sqliteTime(
        QStringLiteral("^Run Time: real ([0-9.]+) user ([0-9.]+) sys ([0-9.]+)"),
        QRegularExpression::MultilineOption);
    static const QRegularExpression psqlTime(QStringLiteral("^Time: ([0-9.]+) ms"),
                                             QRegularExpression::MultilineOption);
    QList<double> each;
    QList<double> eachCpu;
    auto match =
        (server ? psqlTime : sqliteTime).globalMatch(QString::fromUtf8(shell.readAllStandardOutput()));
    while (match.hasNext()) {
        const QRegularExpressionMatch m = match.next();
        each << m.captured(1).toDouble() * (server ? 1.0 : 1000.0);
        if (!server)
            eachCpu << (m.captured(2).toDouble() + m.captured(3).toDouble()) * 1000.0;
    }
    if (shell.exitCode() != 0 || each.size() != total) {
        out() << "  the shell failed (" << each.size() << " timings of " << total
              << "): " << QString::fromUtf8(shell.readAllStandardError().trimmed().left(400)) << Qt::endl;
        return {};
    }
    QList<double> times;
    qsizetype at = 0;
    for (const QStringList &statements : runs) {
        double sum = 0;
        double cpuSum = 0;
        for (qsizetype i = 0; i < statements.size(); ++i, ++at) {
            sum += each.at(at);
            cpuSum += eachCpu.value(at);
        }
        times << sum;
        if (cpu && !server)
            *cpu << cpuSum;
    }
    return times;
}

QList<double> shellTimes(const QString &database, const QStringList &statements, int runs, QList<double> *cpu)
{
    return shellTimes(database, QList<QStringList>(runs, statements), cpu);
}

QList<double> shellTimes(const QString &database, const QList<Statements> &runs, QList<double> *cpu)
{
    QList<QStringList> replayed;
    for (const Statements &statements : runs)
        replayed << replayable(statements);
    return shellTimes(database, replayed, cpu);
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

QString workingCopy(const QString &database, const QTemporaryDir &dir)
{
    if (isServer(database))
        return database;
    const QString copy = dir.filePath(QStringLiteral("data.mdb"));
    if (!QFile::copy(database, copy)) {
        out() << "cannot copy " << database << " to " << copy << Qt::endl;
        return QString();
    }
    // The shared shops are read only; the copy is written.
    QFile::setPermissions(copy, QFile::permissions(copy) | QFileDevice::WriteOwner);
    return copy;
}

bool opened(const Database &db)
{
    if (!db.isOpen())
        out() << db.errorText() << Qt::endl;
    return db.isOpen();
}

QString shopSize(const Database &db)
{
    return QStringLiteral("stock rows: %1, sale lines: %2")
        .arg(ScalarValue(db, QStringLiteral("select count(*) from data")).toLongLong())
        .arg(ScalarValue(db, QStringLiteral("select count(*) from data1")).toLongLong());
}

void keepSettingsIn(const QTemporaryDir &home)
{
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    // The automatic backup of a server shop at the close goes to the data
    // folder (~/.local/share/<program>/备份): there it would stay behind.
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, home.path());
}

ShopRun::ShopRun(QCommandLineParser &parser, const QCoreApplication &app, int defaultRuns, Shop shop)
    : m_home(QDir::temp().filePath(QCoreApplication::applicationName() + QStringLiteral("-XXXXXX")))
{
    const QCommandLineOption database(QStringList{QStringLiteral("database"), QStringLiteral("db")},
                                      QStringLiteral("shop file or postgresql:// address"),
                                      QStringLiteral("file|url"), QStringLiteral("/tmp/bench-1m.mdb"));
    const QCommandLineOption stock(QStringLiteral("stock"), QStringLiteral("stock rows when generating"),
                                   QStringLiteral("n"), QStringLiteral("100000"));
    const QCommandLineOption sales(QStringLiteral("sales"), QStringLiteral("sale lines when generating"),
                                   QStringLiteral("n"), QStringLiteral("1000000"));
    const QCommandLineOption runs(QStringLiteral("runs"), QStringLiteral("repetitions"), QStringLiteral("n"),
                                  QString::number(defaultRuns));
    parser.addHelpOption();
    parser.addOptions({database, stock, sales, runs});
    parser.process(app);
    m_runs = std::max(1, parser.value(runs).toInt());
    keepSettingsIn(m_home);
    m_named = parser.value(database);
    if (!isServer(m_named) && !ensureShop(m_named, parser.value(stock), parser.value(sales)))
        return;
    m_database = shop == Shop::Copy ? workingCopy(m_named, m_home) : m_named;
}

QString ShopRun::filePath(const QString &name) const
{
    return m_home.filePath(name);
}

} // namespace BenchSupport

#include "EngineShell.h"

#include "BenchSupport.h"
#include "data/QueryHelpers.h"

#include <QCommandLineParser>
#include <QDate>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <ctime>
#include <memory>

namespace EngineShell {

QString inlined(const QString &sql, const QVariantList &values)
{
    QString result;
    qsizetype next = 0;
    bool inQuotes = false;
    for (const QChar c : sql) {
        if (c == u'\'')
            inQuotes = !inQuotes;
        if (c != u'?' || inQuotes || next >= values.size()) {
            result += c;
            continue;
        }
        const QVariant &v = values.at(next++);
        if (v.isNull()) {
            result += QStringLiteral("NULL");
        } else if (v.metaType() == QMetaType::fromType<QDate>()) {
            result += u'\'' + v.toDate().toString(Qt::ISODate) + u'\'';
        } else if (v.metaType() == QMetaType::fromType<QString>()) {
            QString text = v.toString();
            text.replace(u'\'', QStringLiteral("''"));
            result += u'\'' + text + u'\'';
        } else {
            result += v.toString();
        }
    }
    return result;
}

Recorder::Recorder() : m_statements(std::make_shared<QList<Statement>>())
{
    SetStatementObserver([list = m_statements](const QString &sql, const QVariantList &values) {
        list->append(Statement{sql, values});
    });
}

Recorder::~Recorder()
{
    SetStatementObserver({});
}

QList<double> times(const QString &target, const QList<Statement> &statements, int runs, QList<double> *cpu)
{
    return times(target, QList<QList<Statement>>(runs, statements), cpu);
}

QList<double> times(const QString &target, const QList<QList<Statement>> &perRun, QList<double> *cpu)
{
    const int runs = static_cast<int>(perRun.size());
    const bool postgres = target.startsWith(QLatin1String("postgres"));
    QString script = postgres ? QStringLiteral("\\o /dev/null\n\\timing on\n")
                              : QStringLiteral(".output /dev/null\n.timer on\n");
    QList<qsizetype> counts;
    qsizetype total = 0;
    for (const QList<Statement> &statements : perRun) {
        for (const Statement &s : statements)
            script += inlined(s.sql, s.values) + QStringLiteral(";\n");
        counts << statements.size();
        total += statements.size();
    }
    QProcess shell;
    if (postgres)
        shell.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), target});
    else
        shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-readonly"), target});
    if (!shell.waitForStarted()) {
        BenchSupport::out() << "shell not started (package sqlite3 / postgresql-client)" << Qt::endl;
        return {};
    }
    shell.write(script.toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(-1);
    const QString output = QString::fromUtf8(shell.readAllStandardOutput());
    static const QRegularExpression sqliteTime(
        QStringLiteral("Run Time: real ([0-9.]+) user ([0-9.]+) sys ([0-9.]+)"));
    static const QRegularExpression psqlTime(QStringLiteral("Time: ([0-9.]+) ms"));
    QList<double> each;
    QList<double> eachCpu;
    auto it = (postgres ? psqlTime : sqliteTime).globalMatch(output);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        each << m.captured(1).toDouble() * (postgres ? 1.0 : 1000.0);
        eachCpu << (postgres ? 0.0 : (m.captured(2).toDouble() + m.captured(3).toDouble()) * 1000.0);
    }
    if (total == 0 || each.size() != total) {
        BenchSupport::out() << "shell timings: expected " << total << ", got " << each.size() << ": "
                            << QString::fromUtf8(shell.readAllStandardError()).left(300) << Qt::endl;
        return {};
    }
    QList<double> result;
    if (cpu)
        cpu->clear();
    qsizetype at = 0;
    for (int run = 0; run < runs; ++run) {
        double sum = 0;
        double sumCpu = 0;
        for (qsizetype i = 0; i < counts.at(run); ++i, ++at) {
            sum += each.at(at);
            sumCpu += eachCpu.at(at);
        }
        result << sum;
        if (cpu && !postgres)
            *cpu << sumCpu;
    }
    return result;
}

double cpuMs()
{
    return static_cast<double>(std::clock()) * 1000.0 / CLOCKS_PER_SEC;
}

QString workingDatabase(const QCommandLineParser &parser, const QCommandLineOption &database,
                        const BenchSupport::ShopOptions &shop, const QTemporaryDir &home)
{
    if (parser.isSet(database))
        return parser.value(database);
    const QString file = shop.shopFile(parser);
    if (file.isEmpty())
        return QString();
    const QString copy = home.filePath(QStringLiteral("data.mdb"));
    if (!QFile::copy(file, copy)) {
        BenchSupport::out() << "cannot copy " << file << Qt::endl;
        return QString();
    }
    return copy;
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll()).section(u' ', 0, 2);
}

} // namespace EngineShell

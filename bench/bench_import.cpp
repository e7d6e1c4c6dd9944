// Times the Excel import: a workbook of generated goods read, checked and
// appended to the stock table of a generated shop in one transaction, as the
// import window does it (without the preview). The rows added are deleted
// again after each run, outside the timing. The workbooks are written by a
// child process first, so the peak memory reported is the import's own.
//
//   bench_import --database FILE|URL [--rows N] [--runs N] [--workbooks DIR]
//
// .xls holds at most 65,536 rows (the format's limit), so its workbook has
// min(N, 65535) records; .xlsx and .csv have N.

#include "BenchSupport.h"
#include "common/XlsWorkbookWriter.h"
#include "common/XlsxSheetWriter.h"
#include "data/Database.h"
#include "data/DatabaseLocation.h"
#include "data/QueryHelpers.h"
#include "maintenance/StockImport.h"
#include "shell/Session.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

namespace {

// The values of generated record r, in the sheet's column order.
struct GeneratedRow
{
    QStringList texts; // a b c d e f g
    QList<double> numbers;
    QString remark;
    QDate date;
};

GeneratedRow generated(int r)
{
    static const QStringList names{QStringLiteral("拉杆箱"), QStringLiteral("双肩包"),
                                   QStringLiteral("钱包"),   QStringLiteral("登机箱"),
                                   QStringLiteral("手提包"), QStringLiteral("腰包")};
    static const QStringList categories{QStringLiteral("箱"), QStringLiteral("包"), QStringLiteral("皮具")};
    GeneratedRow row;
    const QString name = names.at(r % names.size()) + QString::number(r % 997);
    row.texts = {name,
                 QStringLiteral("%1寸 %2")
                     .arg(16 + r % 13)
                     .arg(r % 2 ? QStringLiteral("黑色") : QStringLiteral("红色")),
                 QStringLiteral("69%1").arg(10000000000LL + r),
                 categories.at(r % categories.size()),
                 QString(),
                 QString(),
                 QStringLiteral("供货商%1").arg(r % 40)};
    const double price = 20 + r % 300, quantity = 1 + r % 20, sale = price * 1.6;
    row.numbers = {price, quantity, price * quantity, sale, 0, 0, quantity, price * quantity};
    row.remark = r % 5 ? QString() : QStringLiteral("批量导入");
    row.date = QDate(2020, 1, 1).addDays(r % 1800);
    return row;
}

bool makeWorkbooks(const QString &dir, int rows, QString *error)
{
    const QStringList header = StockImport::columnNames();
    XlsWorkbookWriter xls(StockImport::SheetName);
    XlsxSheetWriter xlsx{QString(StockImport::SheetName)};
    if (!xlsx.open(QDir(dir).filePath(QStringLiteral("goods.xlsx")))) {
        *error = xlsx.errorString();
        return false;
    }
    QFile csv(QDir(dir).filePath(QStringLiteral("goods.csv")));
    if (!csv.open(QIODevice::WriteOnly)) {
        *error = csv.errorString();
        return false;
    }
    csv.write(header.join(QLatin1Char(',')).toUtf8() + '\n');
    for (int c = 0; c < header.size(); ++c) {
        xls.writeText(0, c, header.at(c));
        xlsx.writeText(0, c, header.at(c));
    }
    for (int r = 1; r <= rows; ++r) {
        const GeneratedRow row = generated(r);
        QStringList line;
        int c = 0;
        for (const QString &text : row.texts) {
            if (!text.isEmpty()) {
                if (r < XlsWorkbookWriter::MaxRows)
                    xls.writeText(r, c, text);
                xlsx.writeText(r, c, text);
            }
            line << text;
            ++c;
        }
        for (double number : row.numbers) {
            if (r < XlsWorkbookWriter::MaxRows)
                xls.writeNumber(r, c, number);
            xlsx.writeNumber(r, c, number);
            line << QString::number(number, 'g', 15);
            ++c;
        }
        if (!row.remark.isEmpty()) {
            if (r < XlsWorkbookWriter::MaxRows)
                xls.writeText(r, c, row.remark);
            xlsx.writeText(r, c, row.remark);
        }
        line << row.remark;
        ++c;
        const QString date = row.date.toString(QStringLiteral("yyyy-MM-dd"));
        if (r < XlsWorkbookWriter::MaxRows)
            xls.writeDate(r, c, row.date);
        // Text dates in the program's form: libxlsxwriter's own date cells
        // need a format object per cell.
        xlsx.writeText(r, c, date);
        line << date;
        csv.write(line.join(QLatin1Char(',')).toUtf8() + '\n');
    }
    return xls.save(QDir(dir).filePath(QStringLiteral("goods.xls")), error) &&
           (xlsx.close() || (*error = xlsx.errorString(), false));
}

// Processor time of this process and of the helpers it waited for (the
// .xls reader), so a loaded machine's waiting is told apart from the
// import's own work.
double cpuMilliseconds()
{
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        total += (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                 (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    }
    return total;
}

double peakMegabytes(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_maxrss / 1024.0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("database"), QStringLiteral("The shop (file or postgresql:// URL)."),
                      QStringLiteral("FILE|URL")});
    parser.addOption({QStringLiteral("rows"), QStringLiteral("Records per workbook."), QStringLiteral("N"),
                      QStringLiteral("100000")});
    parser.addOption({QStringLiteral("runs"), QStringLiteral("Runs per workbook."), QStringLiteral("N"),
                      QStringLiteral("3")});
    parser.addOption({QStringLiteral("workbooks"), QStringLiteral("Folder of the generated workbooks."),
                      QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("make-workbooks"), QStringLiteral("Only write the workbooks.")});
    parser.addOption({QStringLiteral("only"), QStringLiteral("Only this workbook (xls, xlsx or csv)."),
                      QStringLiteral("KIND")});
    parser.process(app);
    BenchSupport::out().setEncoding(QStringConverter::Utf8);

    const int rows = parser.value(QStringLiteral("rows")).toInt();
    QTemporaryDir scratch;
    const QString dir = parser.isSet(QStringLiteral("workbooks")) ? parser.value(QStringLiteral("workbooks"))
                                                                  : scratch.path();
    if (parser.isSet(QStringLiteral("make-workbooks"))) {
        QString error;
        QDir().mkpath(dir);
        if (!makeWorkbooks(dir, rows, &error)) {
            BenchSupport::out() << "writing the workbooks failed: " << error << Qt::endl;
            return 1;
        }
        return 0;
    }

    if (!QFile::exists(QDir(dir).filePath(QStringLiteral("goods.xlsx")))) {
        BenchSupport::out() << "writing workbooks of " << rows << " rows to " << dir << " ..." << Qt::endl;
        if (QProcess::execute(QCoreApplication::applicationFilePath(),
                              {QStringLiteral("--make-workbooks"), QStringLiteral("--rows"),
                               QString::number(rows), QStringLiteral("--workbooks"), dir}) != 0)
            return 1;
    }

    const QString target = parser.value(QStringLiteral("database"));
    if (target.isEmpty()) {
        BenchSupport::out() << "--database is required" << Qt::endl;
        return 2;
    }
    if (!BenchSupport::isServer(target) &&
        !BenchSupport::ensureShop(target, QStringLiteral("20000"), QStringLiteral("100000")))
        return 1;
    Database db(DatabaseLocation::fromArgument(target));
    if (!BenchSupport::opened(db))
        return 1;
    const Session admin{Schema::kAdministrator, 1};
    const qint64 before = ScalarValue(db, QStringLiteral("select count(*) from data")).toLongLong();
    const qint64 lastId =
        ScalarValue(db, QStringLiteral("select coalesce(max(id), 0) from data")).toLongLong();
    BenchSupport::out() << "shop: " << db.location().displayName() << ", " << before << " stock rows, "
                        << db.dialect().name() << Qt::endl;
    const double target5 = db.dialect().isSQLite() ? 5000 : 20000;

    QStringList kinds{QStringLiteral("xls"), QStringLiteral("xlsx"), QStringLiteral("csv")};
    if (parser.isSet(QStringLiteral("only")))
        kinds = {parser.value(QStringLiteral("only"))};
    const int runs = parser.value(QStringLiteral("runs")).toInt();
    for (const QString &kind : kinds) {
        const QString file = QDir(dir).filePath(QStringLiteral("goods.") + kind);
        QList<double> reads, writes, totals, cpu, readCpu;
        qsizetype imported = 0;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer timer;
            timer.start();
            const double cpuStart = cpuMilliseconds();
            const StockImport::Reading reading = StockImport::read(file, {});
            const double readMs = timer.nsecsElapsed() / 1e6;
            readCpu << cpuMilliseconds() - cpuStart;
            if (!reading.ok) {
                BenchSupport::out() << kind << ": " << reading.failure << Qt::endl;
                return 1;
            }
            QString error;
            const auto outcome = StockImport::write(db, admin, reading.rows, {}, &error);
            const double totalMs = timer.nsecsElapsed() / 1e6;
            cpu << cpuMilliseconds() - cpuStart;
            if (outcome != StockImport::Outcome::Written) {
                BenchSupport::out() << kind << ": " << error << Qt::endl;
                return 1;
            }
            imported = reading.rows.size();
            reads << readMs;
            writes << totalMs - readMs;
            totals << totalMs;
            ExecuteStatement(db, QStringLiteral("delete from data where id > ?"), {lastId});
        }
        const QString what = QStringLiteral(".%1, %2 rows").arg(kind).arg(imported);
        BenchSupport::report(what + QStringLiteral(": read and check"), reads, 0);
        BenchSupport::report(what + QStringLiteral(": read and check, processor time"), readCpu, 0);
        BenchSupport::report(what + QStringLiteral(": write"), writes, 0);
        BenchSupport::report(what + QStringLiteral(": whole import"), totals, target5);
        BenchSupport::report(what + QStringLiteral(": whole import, processor time"), cpu, target5);
    }
    // The largest child is the workbook writer when the workbooks were made
    // in this run, else the .xls reader.
    BenchSupport::out() << "peak memory (RSS): " << QString::number(peakMegabytes(RUSAGE_SELF), 'f', 0)
                        << " MB (target < 300); largest helper process: "
                        << QString::number(peakMegabytes(RUSAGE_CHILDREN), 'f', 0) << " MB" << Qt::endl;
    return 0;
}

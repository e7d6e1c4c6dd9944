// Times the stock list's hot paths on a large generated shop: one keystroke in
// the name-initials box, "全部记录" with its drop-down lists, the memory of
// the whole list loaded, and the database's own shell (sqlite3 or psql)
// running exactly the statements each action ran.
//
//   bench_stocklist [--database FILE|URL] [--stock N] [--sales N] [--runs R]
//
// A missing FILE is generated first with lwjxc-datagen (next to this program);
// a PostgreSQL shop is loaded beforehand with lwjxc-datagen --out URL. The
// benchmark only reads, but signing in writes one session row: it works on a
// copy of FILE (a postgresql:// shop as it is).

#include "BenchSupport.h"
#include "SignedInWindow.h"
#include "common/DataGrid.h"
#include "data/Database.h"
#include "data/Dialect.h"
#include "data/QueryHelpers.h"
#include "data/SettingsStore.h"
#include "data/SqlListModel.h"
#include "shell/SessionLog.h"
#include "shell/TMainForm.h"
#include "stock/StockListView.h"
#include "stock/StockQuery.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTableView>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

using BenchSupport::out;
using BenchSupport::report;

namespace {

double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    QCommandLineOption grabOption(QStringLiteral("grab"),
                                  QStringLiteral("save a picture of the window and stop"),
                                  QStringLiteral("png"));
    parser.addOption(grabOption);
    const BenchSupport::ShopRun shop(parser, app, 21);
    if (!shop.ok())
        return 1;
    const int runs = shop.runs();
    const QString file = shop.database();
    SettingsStore settings(shop.filePath(QStringLiteral("jxc.conf")));
    Database db{DatabaseLocation::fromArgument(file)};
    if (!BenchSupport::opened(db))
        return 1;
    TMainForm form(db, settings);
    BenchSupport::showSignedIn(form, db);
    StockListView *list = form.stockList();
    SqlListModel *model = list->listModel();
    QTableView *table = list->grid()->view();
    auto *nameBox = form.findChild<QLineEdit *>(QStringLiteral("nameInitialsBox"));
    out() << "engine: " << db.dialect().name() << ", rows in data: " << model->totalCount()
          << ", load average: " << BenchSupport::loadAverage() << Qt::endl;
    if (parser.isSet(grabOption)) {
        QCoreApplication::processEvents();
        return form.grab().save(parser.value(grabOption)) ? 0 : 1;
    }

    // One keystroke: the statement, the model reset, the footer sums and the
    // first screen painted. The statements of one keystroke are kept for the
    // shell.
    const QStringList keystrokes{QStringLiteral("l"),  QStringLiteral("lg"), QStringLiteral("lgx"),
                                 QStringLiteral("lg"), QStringLiteral("l"),  QStringLiteral("s")};
    QList<double> keystroke;
    QList<double> keystrokeCpu;
    QList<double> keystrokePaint;
    QStringList keySql;
    for (int run = 0; run < runs; ++run) {
        for (const QString &text : keystrokes) {
            StatementRecorder recorder;
            QElapsedTimer timer;
            timer.start();
            const double cpu = BenchSupport::processCpuMs();
            nameBox->setText(text);
            list->grid()->footerText(4);
            const qint64 queried = timer.nsecsElapsed();
            table->viewport()->repaint();
            keystroke << timer.nsecsElapsed() / 1e6;
            keystrokeCpu << BenchSupport::processCpuMs() - cpu;
            keystrokePaint << (timer.nsecsElapsed() - queried) / 1e6;
            if (text == QLatin1String("lg"))
                keySql = BenchSupport::replayable(recorder.statements());
        }
    }
    nameBox->clear();
    const SqlListQuery keyQuery = StockQuery::search(db, false, [] {
        StockFilter f;
        f.nameInitials = QStringLiteral("lg");
        return f;
    }());
    QList<double> ourKey;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        model->setQuery(keyQuery);
        ourKey << timer.nsecsElapsed() / 1e6;
    }

    QList<double> allRecords;
    QList<double> allRecordsCpu;
    QStringList allSql;
    for (int run = 0; run < runs; ++run) {
        StatementRecorder recorder;
        QElapsedTimer timer;
        timer.start();
        const double cpu = BenchSupport::processCpuMs();
        form.showAllRecords();
        list->grid()->footerText(4);
        table->viewport()->repaint();
        allRecords << timer.nsecsElapsed() / 1e6;
        allRecordsCpu << BenchSupport::processCpuMs() - cpu;
        allSql = BenchSupport::replayable(recorder.statements());
    }
    // The same without the entry panel's five lists (names, specs, codes ...).
    QObject::disconnect(list, &StockListView::distinctListsRefillRequested, nullptr, nullptr);
    QList<double> allRecordsOwn;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        form.showAllRecords();
        list->grid()->footerText(4);
        table->viewport()->repaint();
        allRecordsOwn << timer.nsecsElapsed() / 1e6;
    }

    // The shell on the same file or server, the same statements.
    QList<double> shellKeyCpu;
    QList<double> shellAllCpu;
    const QList<double> shellKey = BenchSupport::shellTimes(file, keySql, runs, &shellKeyCpu);
    const QList<double> shellAll = BenchSupport::shellTimes(file, allSql, runs, &shellAllCpu);

    form.showAllRecords();
    const double before = residentMegabytes();
    QElapsedTimer fetchTimer;
    fetchTimer.start();
    model->fetchAll();
    const double fetchMs = fetchTimer.nsecsElapsed() / 1e6;
    table->viewport()->repaint();
    const double after = residentMegabytes();

    out() << Qt::fixed;
    out().setRealNumberPrecision(1);
    out() << "runs: " << runs << Qt::endl;
    report(QStringLiteral("keystroke in 商品名称 (query, reset, footer, first screen)"), keystroke, 25);
    report(QStringLiteral("  CPU time of this process"), keystrokeCpu, 0);
    report(QStringLiteral("  of which painting the first screen"), keystrokePaint, 0);
    report(QStringLiteral("  keystroke statements only (aggregate + first page)"), ourKey, 0);
    report(QStringLiteral("  shell, the same keystroke statements"), shellKey, 0);
    BenchSupport::reportRatio(QStringLiteral("keystroke statements"), ourKey, shellKey);
    BenchSupport::reportRatio(QStringLiteral("whole keystroke"), keystroke, shellKey);
    if (!shellKeyCpu.isEmpty())
        BenchSupport::reportRatio(QStringLiteral("whole keystroke CPU time"), keystrokeCpu, shellKeyCpu);
    report(QStringLiteral("全部记录 incl. drop-down lists"), allRecords, 50);
    report(QStringLiteral("  CPU time of this process"), allRecordsCpu, 0);
    report(QStringLiteral("  全部记录 with the two quick-query lists only"), allRecordsOwn, 0);
    report(QStringLiteral("  shell, the same 全部记录 statements (%1)").arg(allSql.size()), shellAll, 0);
    BenchSupport::reportRatio(QStringLiteral("全部记录"), allRecords, shellAll);
    if (!shellAllCpu.isEmpty())
        BenchSupport::reportRatio(QStringLiteral("全部记录 CPU time"), allRecordsCpu, shellAllCpu);
    out() << "fetch all " << model->rowCount() << " rows, ms: " << fetchMs << Qt::endl;
    out() << "VmRSS before fetch-all MB: " << before << ", with all rows MB: " << after << "  (target <= 200)"
          << Qt::endl;
    form.close();
    return 0;
}

// Times the stock list's hot paths on a large generated shop: one keystroke in
// the name-initials box, "全部记录" with its drop-down lists, the memory of
// the whole list loaded, and the sqlite3 shell running the same statements.
//
//   bench_stocklist [--db FILE] [--stock N] [--runs R]
//
// A missing FILE is generated first with lwjxc-datagen (next to this program).

#include "BenchSupport.h"
#include "common/DataGrid.h"
#include "data/Database.h"
#include "data/Dialect.h"
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
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

using BenchSupport::median;
using BenchSupport::out;
using BenchSupport::percentile90;
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

// The statement text as the list runs it, with the values spliced in for the
// shell (the benchmark's own fixed texts, no operator input).
QString shellStatements(const SqlListQuery &query, int firstScreen)
{
    QStringList columns;
    for (const QString &field : query.fields)
        columns << SqlListModel::identifier(field);
    QString condition = query.condition;
    for (const QVariant &value : query.values) {
        QString text = value.toString();
        text.replace(QLatin1Char('\''), QStringLiteral("''"));
        condition.replace(condition.indexOf(QLatin1Char('?')), 1,
                          QLatin1Char('\'') + text + QLatin1Char('\''));
    }
    const QString base = QStringLiteral("select ") + columns.join(QStringLiteral(", ")) +
                         QStringLiteral(" from data") +
                         (condition.isEmpty() ? QString() : QStringLiteral(" where ") + condition);
    QStringList sums{QStringLiteral("count(*)")};
    for (const QString &field : StockQuery::summedFields())
        sums << QStringLiteral("sum(q.") + SqlListModel::identifier(field) + QLatin1Char(')');
    return QStringLiteral("select ") + sums.join(QStringLiteral(", ")) + QStringLiteral(" from (") + base +
           QStringLiteral(") q;\nselect * from (") + base +
           QStringLiteral(") q order by q.id asc nulls first limit %1 offset 0;\n").arg(firstScreen);
}

// Wall time of `sqlite3 FILE < sql`, process start included.
double shellMilliseconds(const QString &file, const QString &sql)
{
    QProcess shell;
    QElapsedTimer timer;
    timer.start();
    shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-readonly"), file});
    if (!shell.waitForStarted())
        return -1;
    shell.write(sql.toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(60000);
    shell.readAllStandardOutput();
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption dbOption(QStringLiteral("db"), QStringLiteral("SQLite shop file"),
                                QStringLiteral("file"), QStringLiteral("/tmp/lwjxc-bench-100k.mdb"));
    QCommandLineOption stockOption(QStringLiteral("stock"), QStringLiteral("stock rows to generate"),
                                   QStringLiteral("n"), QStringLiteral("100000"));
    QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("repetitions"), QStringLiteral("n"),
                                  QStringLiteral("21"));
    QCommandLineOption grabOption(QStringLiteral("grab"),
                                  QStringLiteral("save a picture of the window and stop"),
                                  QStringLiteral("png"));
    parser.addOptions({dbOption, stockOption, runsOption, grabOption});
    parser.process(app);
    const QString file = parser.value(dbOption);
    const int runs = std::max(1, parser.value(runsOption).toInt());

    if (!BenchSupport::ensureShop(file, parser.value(stockOption), parser.value(stockOption)))
        return 1;

    // Preferences and layouts of this run stay out of the user's folders.
    QTemporaryDir home;
    BenchSupport::keepSettingsIn(home);
    SettingsStore settings(home.filePath(QStringLiteral("jxc.conf")));

    Database db{DatabaseLocation::fromArgument(file)};
    if (!db.isOpen()) {
        out() << db.errorText() << Qt::endl;
        return 1;
    }
    TMainForm form(db, settings);
    form.setLoginRunner([&db](TMainForm &) {
        TMainForm::LoginOutcome outcome;
        outcome.accepted = true;
        outcome.session.username = Schema::kAdministrator;
        outcome.session.id = SessionLog(db).open(Schema::kAdministrator);
        return outcome;
    });
    form.show();
    while (form.tag() == 0)
        QCoreApplication::processEvents();
    StockListView *list = form.stockList();
    SqlListModel *model = list->listModel();
    QTableView *table = list->grid()->view();
    auto *nameBox = form.findChild<QLineEdit *>(QStringLiteral("nameInitialsBox"));
    out() << "rows in data: " << model->totalCount() << Qt::endl;
    if (parser.isSet(grabOption)) {
        QCoreApplication::processEvents();
        return form.grab().save(parser.value(grabOption)) ? 0 : 1;
    }

    // One keystroke: the statement, the model reset, the footer sums and the
    // first screen painted.
    const QStringList keystrokes{QStringLiteral("l"),  QStringLiteral("lg"), QStringLiteral("lgx"),
                                 QStringLiteral("lg"), QStringLiteral("l"),  QStringLiteral("s")};
    QList<double> keystroke;
    QList<double> keystrokePaint;
    for (int run = 0; run < runs; ++run) {
        for (const QString &text : keystrokes) {
            QElapsedTimer timer;
            timer.start();
            nameBox->setText(text);
            list->grid()->footerText(4);
            const qint64 queried = timer.nsecsElapsed();
            table->viewport()->repaint();
            keystroke << timer.nsecsElapsed() / 1e6;
            keystrokePaint << (timer.nsecsElapsed() - queried) / 1e6;
        }
    }
    nameBox->clear();
    const SqlListQuery keyQuery = StockQuery::search(db.dialect(), false, [] {
        StockFilter f;
        f.nameInitials = QStringLiteral("lg");
        return f;
    }());

    QList<double> allRecords;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        form.showAllRecords();
        list->grid()->footerText(4);
        table->viewport()->repaint();
        allRecords << timer.nsecsElapsed() / 1e6;
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

    // The shell on the same file: first screen and aggregate of one keystroke
    // and of "全部记录" (without its drop-down lists).
    QList<double> shellKey;
    QList<double> shellAll;
    const QString keySql = shellStatements(keyQuery, model->pageSize());
    const QString allSql = shellStatements(StockQuery::allRecords(db.dialect(), false), model->pageSize())
                               .replace(QStringLiteral("order by q.id"),
                                        QStringLiteral("order by q.day1 asc nulls first, q.id"));
    QList<double> ourKey;
    for (int run = 0; run < runs; ++run) {
        shellKey << shellMilliseconds(file, keySql);
        shellAll << shellMilliseconds(file, allSql);
        QElapsedTimer timer;
        timer.start();
        model->setQuery(keyQuery);
        ourKey << timer.nsecsElapsed() / 1e6;
    }

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
    out() << "keystroke in 商品名称 (query, reset, footer, first screen), median ms: " << median(keystroke)
          << "  (target <= 40)" << Qt::endl;
    out() << "  of which painting the first screen, median ms: " << median(keystrokePaint) << Qt::endl;
    out() << "全部记录 incl. drop-down lists, median ms: " << median(allRecords) << "  (target <= 80)"
          << Qt::endl;
    out() << "全部记录 with the two quick-query lists only, median ms: " << median(allRecordsOwn) << Qt::endl;
    out() << "keystroke statements only (aggregate + first page), median ms: " << median(ourKey) << Qt::endl;
    out() << "sqlite3 shell, same keystroke statements, median ms: " << median(shellKey) << Qt::endl;
    out() << "sqlite3 shell, 全部记录 statements, median ms: " << median(shellAll) << Qt::endl;
    out().setRealNumberPrecision(2);
    out() << "ratio keystroke statements ours / shell: " << median(ourKey) / median(shellKey)
          << "  (aim <= 1.5)" << Qt::endl;
    out() << "ratio full keystroke ours / shell: " << median(keystroke) / median(shellKey) << Qt::endl;
    out().setRealNumberPrecision(1);
    out() << "fetch all " << model->rowCount() << " rows, ms: " << fetchMs << Qt::endl;
    out() << "VmRSS before fetch-all MB: " << before << ", with all rows MB: " << after << "  (target <= 200)"
          << Qt::endl;
    form.close();
    return 0;
}

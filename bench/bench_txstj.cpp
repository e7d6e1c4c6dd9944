// Times the sales-detail window as the operator meets it on a large generated
// shop: showing it ("本 月" listed and standing on its last line, the first
// screen painted; the charts wait for their page) and one keystroke in its
// name filter (the list and footer sums queried again, the window repainted),
// with texts that match much, little and nothing.
//
//   bench_txstj [--database FILE|URL] [--stock N] [--sales N] [--runs R]
//
// A missing FILE is generated first with lwjxc-datagen (next to this program).
// The run works on a copy of FILE (signing in writes a session, opening may
// add missing indexes), so the shop stays as it was; a postgresql:// shop is
// used as it is (one session row is written).

#include "BenchSupport.h"
#include "SignedInWindow.h"
#include "common/DataGrid.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "data/Dialect.h"
#include "data/QueryHelpers.h"
#include "data/Schema.h"
#include "data/SettingsStore.h"
#include "data/SqlListModel.h"
#include "sales/SalesDetailQuery.h"
#include "sales/Txstj.h"
#include "shell/SessionLog.h"
#include "shell/TMainForm.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTextStream>

#include <algorithm>

using BenchSupport::out;
using BenchSupport::report;

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const BenchSupport::ShopRun shop(parser, app, 15);
    if (!shop.ok())
        return 1;
    const int runs = shop.runs();
    const QString target = shop.database();
    SettingsStore settings(shop.filePath(QStringLiteral("jxc.conf")));
    Database db{DatabaseLocation::fromArgument(target)};
    if (!BenchSupport::opened(db))
        return 1;
    // "Today" is the shop's last sale day, so "本 月" is a full, busy month.
    const QDate today = Dialect::toDate(ScalarValue(db, QStringLiteral("select max(day1) from data1")));
    ManualClock clock(today);
    ScopedClock scopedClock(clock);
    out() << "engine: " << db.dialect().name() << ", load average: " << BenchSupport::loadAverage()
          << Qt::endl;
    out() << BenchSupport::shopSize(db) << ", today: " << today.toString(Qt::ISODate) << Qt::endl;

    TMainForm form(db, settings);
    BenchSupport::showSignedIn(form, db);

    Txstj *window = form.salesDetail();
    SqlListModel *list = window->listModel();
    auto *nameBox = window->findChild<QLineEdit *>(QStringLiteral("nameBox"));
    auto *pages = window->findChild<QTabWidget *>();
    if (!nameBox || !pages || pages->count() < 2) {
        out() << "no name filter box or pages" << Qt::endl;
        return 1;
    }

    // Showing the window: whatever it does on show ("本 月" with its footer
    // sums, scrolled to the last line; both charts queried and filled), then
    // the pending events and the first screen painted.
    QList<double> showing;
    QList<double> showingPaint;
    QList<double> chartsPaint;
    int monthLines = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        window->show();
        const qint64 shown = timer.nsecsElapsed();
        QCoreApplication::processEvents();
        window->grab();
        showing << timer.nsecsElapsed() / 1e6;
        showingPaint << (timer.nsecsElapsed() - shown) / 1e6;
        monthLines = list->totalCount();
        // The charts sit on the second page; turning to it and drawing them is
        // measured apart (the operator sees them only on that page).
        QElapsedTimer chartTimer;
        chartTimer.start();
        pages->setCurrentIndex(1);
        QCoreApplication::processEvents();
        window->grab();
        chartsPaint << chartTimer.nsecsElapsed() / 1e6;
        pages->setCurrentIndex(0);
        window->hide();
        QCoreApplication::processEvents();
    }
    // Where the showing goes: the two chart queries and "本 月" (the category
    // list refilled, the month listed and loaded to its last line).
    window->show();
    QCoreApplication::processEvents();
    QList<double> monthlyChart;
    QList<double> dailyChart;
    QList<double> thisMonth;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        window->queryChart(Txstj::Chart::Monthly, SalesStatistics::Kind::Profit);
        monthlyChart << timer.nsecsElapsed() / 1e6;
        timer.restart();
        window->queryChart(Txstj::Chart::Daily, SalesStatistics::Kind::Profit);
        dailyChart << timer.nsecsElapsed() / 1e6;
        timer.restart();
        window->showThisMonth();
        thisMonth << timer.nsecsElapsed() / 1e6;
    }
    window->hide();
    QCoreApplication::processEvents();
    // The two parts of "本 月" alone: the category drop-down's statement
    // (distinct d of all sale lines) and the month list loaded in full.
    const QList<double> categories = [&] {
        QList<double> times;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer timer;
            timer.start();
            DistinctValuesByIndex(db, QStringLiteral("d"), QStringLiteral("data1"));
            times << timer.nsecsElapsed() / 1e6;
        }
        return times;
    }();
    QList<BenchSupport::Statements> monthStatements;
    const QList<double> monthList = [&] {
        QList<double> times;
        for (int run = 0; run < runs; ++run) {
            StatementRecorder recorder;
            QElapsedTimer timer;
            timer.start();
            DistinctValuesByIndex(db, QStringLiteral("d"), QStringLiteral("data1"));
            SqlListModel model(db);
            model.setSumFields(SalesDetailQuery::summedFields());
            model.setQuery(SalesDetailQuery::thisMonth(db.dialect(), today));
            model.loadRow(model.totalCount() - 1);
            times << timer.nsecsElapsed() / 1e6;
            monthStatements << recorder.statements();
        }
        return times;
    }();
    const QList<double> monthShell = BenchSupport::shellTimes(target, monthStatements);
    out() << "本 月 lines: " << monthLines << ", loaded into the list: " << list->rowCount() << Qt::endl;

    // One keystroke in the name filter: the list and its footer sums queried
    // again over all sale lines, then the window repainted.
    window->show();
    QCoreApplication::processEvents();
    // Texts matching much (the first letter of the commonest name), little
    // (the rarest name) and nothing.
    const QString commonest =
        ScalarValue(db, QStringLiteral("select e from data1 group by e order by count(*) desc, e limit 1"))
            .toString();
    const QString little =
        ScalarValue(db, QStringLiteral("select e from data1 where e is not null and e <> '' group by e "
                                       "order by count(*), e limit 1"))
            .toString();
    const std::pair<QString, QStringList> kinds[] = {
        {QStringLiteral("much"), {commonest.left(1), commonest.left(2)}},
        {QStringLiteral("little"), {little}},
        {QStringLiteral("nothing"), {QStringLiteral("zzz"), QStringLiteral("zq")}},
    };
    QList<std::pair<QString, QList<double>>> keystrokes;
    QList<double> keystrokePaint;
    for (const auto &[kind, typed] : kinds) {
        QList<double> times;
        QStringList counts;
        for (int run = 0; run < runs; ++run) {
            for (const QString &text : typed) {
                nameBox->clear();
                QCoreApplication::processEvents();
                QElapsedTimer timer;
                timer.start();
                nameBox->setText(text);
                window->grid()->footerText(4);
                const qint64 queried = timer.nsecsElapsed();
                QCoreApplication::processEvents();
                window->grab();
                times << timer.nsecsElapsed() / 1e6;
                keystrokePaint << (timer.nsecsElapsed() - queried) / 1e6;
                if (!list->errorText().isEmpty())
                    out() << list->errorText() << Qt::endl;
                if (run == 0)
                    counts << QStringLiteral("\"%1\" %2 lines").arg(text).arg(list->totalCount());
            }
        }
        out() << "name filter, " << kind << ": " << counts.join(QStringLiteral(", ")) << Qt::endl;
        keystrokes.append({QStringLiteral("one keystroke in the name filter, text matching %1 "
                                          "(list + footer sums + repaint)")
                               .arg(kind),
                           times});
    }
    window->hide();

    out() << Qt::fixed;
    out().setRealNumberPrecision(1);
    out() << "runs: " << runs << Qt::endl;
    report(QStringLiteral("showing the window (本 月 to its last line + first screen painted)"), showing, 60);
    report(QStringLiteral("  of which events and painting after show()"), showingPaint, 0);
    report(QStringLiteral("  monthly chart query and fill (profit)"), monthlyChart, 0);
    report(QStringLiteral("  daily chart query and fill (profit)"), dailyChart, 0);
    report(QStringLiteral("  本 月 (category list refilled, month listed to its last line)"), thisMonth, 0);
    report(QStringLiteral("    category list statement alone (distinct d of data1, by the index)"),
           categories, 0);
    report(QStringLiteral("    本 月 statements alone (categories, count + sums, first and last page)"),
           monthList, 0);
    report(QStringLiteral("    the same %1 statements in the shell").arg(monthStatements.constLast().size()),
           monthShell, 0);
    BenchSupport::reportRatio(QStringLiteral("本 月 statements"), monthList, monthShell);
    report(QStringLiteral("turning to the charts page and drawing both charts, apart"), chartsPaint, 0);
    for (const auto &[what, times] : keystrokes)
        report(what, times, 40);
    report(QStringLiteral("  of which events and painting"), keystrokePaint, 0);
    out() << "load average after: " << BenchSupport::loadAverage() << Qt::endl;
    form.close();
    return 0;
}

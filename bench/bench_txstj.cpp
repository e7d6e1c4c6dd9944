// Times the sales-detail window as the operator meets it on a large generated
// shop: showing it ("本 月" listed and scrolled to its last line, both charts
// filled, the first screen painted) and one keystroke in its name filter (the
// list and footer sums queried again, the window repainted).
//
//   bench_txstj [--db FILE] [--stock N] [--sales N] [--runs R]
//
// A missing FILE is generated first with lwjxc-datagen (next to this program).
// The run works on a copy of FILE (signing in writes a session, opening may
// add missing indexes), so the generated shop stays as it was.

#include "BenchSupport.h"
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
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

using BenchSupport::median;
using BenchSupport::out;
using BenchSupport::percentile90;
using BenchSupport::report;

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const BenchSupport::ShopOptions shopOptions(15);
    shopOptions.addTo(parser);
    parser.process(app);
    const QString file = shopOptions.shopFile(parser);
    if (file.isEmpty())
        return 1;
    const int runs = shopOptions.runs(parser);

    // Preferences and layouts of this run stay out of the user's folders.
    QTemporaryDir home(QDir::temp().filePath(QStringLiteral("bench-txstj-XXXXXX")));
    BenchSupport::keepSettingsIn(home);
    SettingsStore settings(home.filePath(QStringLiteral("jxc.conf")));

    const QString copy = home.filePath(QStringLiteral("data.mdb"));
    if (!QFile::copy(file, copy)) {
        out() << "cannot copy " << file << Qt::endl;
        return 1;
    }
    Database db{DatabaseLocation::fromArgument(copy)};
    if (!db.isOpen()) {
        out() << db.errorText() << Qt::endl;
        return 1;
    }
    // "Today" is the shop's last sale day, so "本 月" is a full, busy month.
    const QDate today = Dialect::toDate(ScalarValue(db, QStringLiteral("select max(day1) from data1")));
    ManualClock clock(today);
    ScopedClock scopedClock(clock);
    out() << "stock rows: " << ScalarValue(db, QStringLiteral("select count(*) from data")).toLongLong()
          << ", sale lines: " << ScalarValue(db, QStringLiteral("select count(*) from data1")).toLongLong()
          << ", today: " << today.toString(Qt::ISODate) << Qt::endl;

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
            DistinctValues(db, QStringLiteral("d"), QStringLiteral("data1"));
            times << timer.nsecsElapsed() / 1e6;
        }
        return times;
    }();
    const QList<double> monthList = [&] {
        QList<double> times;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer timer;
            timer.start();
            SqlListModel model(db);
            model.setSumFields(SalesDetailQuery::summedFields());
            model.setQuery(SalesDetailQuery::thisMonth(db.dialect(), today));
            model.fetchAll();
            times << timer.nsecsElapsed() / 1e6;
        }
        return times;
    }();
    out() << "本 月 lines: " << monthLines << ", loaded into the list: " << list->rowCount() << Qt::endl;

    // One keystroke in the name filter: the list and its footer sums queried
    // again over all sale lines, then the window repainted.
    window->show();
    QCoreApplication::processEvents();
    const QStringList typed{QStringLiteral("w"), QStringLiteral("wb"), QStringLiteral("wbl"),
                            QStringLiteral("m"), QStringLiteral("ml"), QStringLiteral("lgx")};
    QList<double> keystroke;
    QList<double> keystrokePaint;
    for (int run = 0; run < runs; ++run) {
        for (const QString &text : typed) {
            QElapsedTimer timer;
            timer.start();
            nameBox->setText(text);
            window->grid()->footerText(4);
            const qint64 queried = timer.nsecsElapsed();
            QCoreApplication::processEvents();
            window->grab();
            keystroke << timer.nsecsElapsed() / 1e6;
            keystrokePaint << (timer.nsecsElapsed() - queried) / 1e6;
            if (!list->errorText().isEmpty())
                out() << list->errorText() << Qt::endl;
        }
    }
    out() << "last filter \"" << typed.constLast() << "\" lines: " << list->totalCount() << Qt::endl;
    window->hide();

    out() << Qt::fixed;
    out().setRealNumberPrecision(1);
    out() << "runs: " << runs << Qt::endl;
    report(QStringLiteral("showing the window (本 月 + both charts + first screen painted)"), showing, 150);
    report(QStringLiteral("  of which events and painting after show()"), showingPaint, 0);
    report(QStringLiteral("  monthly chart query and fill (profit)"), monthlyChart, 0);
    report(QStringLiteral("  daily chart query and fill (profit)"), dailyChart, 0);
    report(QStringLiteral("  本 月 (category list refilled, month listed to its last line)"), thisMonth, 0);
    report(QStringLiteral("    category list statement alone (distinct d of data1)"), categories, 0);
    report(QStringLiteral("    本 月 list alone (count + sums + all lines loaded)"), monthList, 0);
    report(QStringLiteral("turning to the charts page and drawing both charts, apart"), chartsPaint, 0);
    report(QStringLiteral("one keystroke in the name filter (list + footer sums + repaint)"), keystroke, 300);
    report(QStringLiteral("  of which events and painting"), keystrokePaint, 0);
    form.close();
    return 0;
}

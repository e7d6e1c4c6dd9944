// Times a sale at the counter on a large generated shop: the booking
// transaction alone, a confirmation as the operator sees it (booking, stock
// list queried again, ticket and customer list refreshed) and opening the
// sale panel on a row.
//
//   bench_sale [--database FILE|URL] [--stock N] [--sales N] [--runs R]
//
// The benchmark sells into a copy of FILE, so the generated shop stays as it
// was. A missing FILE is generated first with lwjxc-datagen (next to this
// program). On PostgreSQL (a postgresql:// address, loaded beforehand with
// lwjxc-datagen --out URL) it sells into that database itself: use a scratch
// one. The statements of one booking and of one confirmation are replayed in
// the database's own shell (sqlite3 on the copy, psql on the server).

#include "BenchSupport.h"
#include "SignedInWindow.h"
#include "common/DataGrid.h"
#include "common/Prompter.h"
#include "data/Database.h"
#include "data/QueryHelpers.h"
#include "data/SettingsStore.h"
#include "sales/CustomerLookup.h"
#include "sales/SalePanel.h"
#include "sales/SalesLedger.h"
#include "sales/TicketPanel.h"
#include "shell/FloatingPanel.h"
#include "shell/SessionLog.h"
#include "shell/TMainForm.h"
#include "stock/StockListView.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QSqlQuery>
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
    // Preferences, layouts and the sold-into copy stay in a temporary folder.
    const BenchSupport::ShopRun shop(parser, app, 51);
    if (!shop.ok())
        return 1;
    const int runs = shop.runs();
    const QString copy = shop.database();
    const bool server = BenchSupport::isServer(copy);
    Prompter::setTestMode(true);
    SettingsStore settings(shop.filePath(QStringLiteral("jxc.conf")));
    Database db{DatabaseLocation::fromArgument(copy)};
    if (!BenchSupport::opened(db))
        return 1;
    out() << BenchSupport::shopSize(db) << ", customers: " << CustomerLookup(db).names().size()
          << ", engine: " << db.dialect().name();
    if (!server)
        out() << ", synchronous: " << ScalarValue(db, QStringLiteral("pragma synchronous")).toInt()
              << " (2 = FULL)";
    out() << ", load average: " << BenchSupport::loadAverage() << Qt::endl;

    // Rows with stock for the two sales of every run, spread over the table.
    QList<qint64> rows;
    QSqlQuery pick = OpenStatement(
        db, QStringLiteral("select id from data where a <> '' and \"7\" >= ? order by id"), {2});
    while (pick.next())
        rows << pick.value(0).toLongLong();
    if (rows.size() < runs) {
        out() << "too few rows with stock" << Qt::endl;
        return 1;
    }
    auto rowOf = [&rows, runs](int run) { return rows.at((rows.size() / runs) * run); };

    // 1. The booking transaction alone.
    QList<double> booking;
    QList<double> bookingCpu;
    QStringList bookingSql;
    for (int run = 0; run < runs; ++run) {
        StatementRecorder recorder;
        SaleRequest sale;
        sale.stockId = rowOf(run);
        sale.price = 99.5;
        sale.quantity = 1;
        sale.orderNumber = QStringLiteral("20990101%1").arg(run, 3, 10, QLatin1Char('0'));
        sale.customer = QStringLiteral("基准客户");
        sale.saleDate = QDate::currentDate();
        QElapsedTimer timer;
        timer.start();
        const double cpu = BenchSupport::processCpuMs();
        const SaleBooking booked = SalesLedger(db).book(sale);
        booking << timer.nsecsElapsed() / 1e6;
        bookingCpu << BenchSupport::processCpuMs() - cpu;
        bookingSql = BenchSupport::replayable(recorder.statements());
        if (booked.result != SaleBooking::Result::Booked) {
            out() << "booking refused" << Qt::endl;
            return 1;
        }
    }

    TMainForm form(db, settings);
    BenchSupport::showSignedIn(form, db);
    SalePanel *sale = form.sale();
    QTableView *table = form.stockList()->grid()->view();
    auto *quantity = form.findChild<QLineEdit *>(QStringLiteral("Edit35"));
    form.toggleTicketPanel();

    // 2. Opening the panel on a row, customer list included, and 3. the
    // confirmation, each with the repaint the operator waits for.
    QList<double> opening;
    QList<double> confirming;
    QList<double> confirmingCpu;
    QStringList confirmSql;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        sale->openFor(rowOf(run));
        form.salePanel()->repaint();
        opening << timer.nsecsElapsed() / 1e6;
        if (!form.salePanel()->isVisible()) {
            out() << "the panel did not open" << Qt::endl;
            return 1;
        }
        quantity->setText(QStringLiteral("1"));
        StatementRecorder recorder;
        timer.restart();
        const double cpu = BenchSupport::processCpuMs();
        sale->confirm();
        table->viewport()->repaint();
        form.ticketPanel()->repaint();
        confirming << timer.nsecsElapsed() / 1e6;
        confirmingCpu << BenchSupport::processCpuMs() - cpu;
        confirmSql = BenchSupport::replayable(recorder.statements());
        if (!Prompter::shown().isEmpty() || form.salePanel()->isVisible()) {
            out() << "the sale was not saved: " << Prompter::shownTexts().join(QLatin1Char('|')) << Qt::endl;
            return 1;
        }
    }

    // The part of the confirmation that is the stock list's own "查询".
    QList<double> requery;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        form.stockList()->runQuery();
        table->viewport()->repaint();
        requery << timer.nsecsElapsed() / 1e6;
    }

    // The same statements in the shell, on the same (copied) file or server.
    form.close();
    QList<double> shellBookingCpu;
    QList<double> shellConfirmCpu;
    const QList<double> shellBooking = BenchSupport::shellTimes(copy, bookingSql, runs, &shellBookingCpu);
    const QList<double> shellConfirm = BenchSupport::shellTimes(copy, confirmSql, runs, &shellConfirmCpu);

    out() << Qt::fixed;
    out().setRealNumberPrecision(2);
    out() << "runs: " << runs << Qt::endl;
    report(QStringLiteral("booking transaction alone (synchronous=FULL)"), booking, 2);
    report(QStringLiteral("  CPU time of this process"), bookingCpu, 0);
    report(QStringLiteral("  shell, the same %1 booking statements").arg(bookingSql.size()), shellBooking, 0);
    BenchSupport::reportRatio(QStringLiteral("booking"), booking, shellBooking);
    if (!shellBookingCpu.isEmpty())
        BenchSupport::reportRatio(QStringLiteral("booking CPU time"), bookingCpu, shellBookingCpu);
    report(QStringLiteral("confirming a sale (booking, stock row, ticket, customer list, repaint)"),
           confirming, 20);
    report(QStringLiteral("  CPU time of this process"), confirmingCpu, 0);
    report(QStringLiteral("  shell, the same %1 confirmation statements").arg(confirmSql.size()),
           shellConfirm, 0);
    BenchSupport::reportRatio(QStringLiteral("confirmation"), confirming, shellConfirm);
    if (!shellConfirmCpu.isEmpty())
        BenchSupport::reportRatio(QStringLiteral("confirmation CPU time"), confirmingCpu, shellConfirmCpu);
    report(QStringLiteral("opening the sale panel on a row (customer list included)"), opening, 50);
    report(QStringLiteral("  the stock list's 查询 with repaint alone (no longer part of it)"), requery, 0);
    return 0;
}

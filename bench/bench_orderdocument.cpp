// Times the order document of a 20-line order on a large generated shop:
// reading the order's lines, laying out and drawing the pages into the print
// preview (what the operator waits for after "销售单打印"), and printing
// the same document into a PDF file.
//
//   bench_orderdocument [--db FILE] [--stock N] [--sales N] [--runs R]
//
// The order is added to a copy of FILE, so the generated shop stays as it
// was. A missing FILE is generated first with lwjxc-datagen (next to this
// program).

#include "BenchSupport.h"
#include "common/Prompter.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "data/QueryHelpers.h"
#include "maintenance/ReceiptTexts.h"
#include "sales/OrderDocumentContent.h"
#include "sales/Tform22.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QSettings>
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
    const BenchSupport::ShopRun shop(parser, app, 51);
    if (!shop.ok())
        return 1;
    const int runs = shop.runs();
    const QString copy = shop.database();
    Prompter::setTestMode(true);
    Database db{DatabaseLocation::fromArgument(copy)};
    if (!BenchSupport::opened(db))
        return 1;

    // One order of 20 lines among the generated ones.
    const QString order = QStringLiteral("20991231001");
    for (int i = 1; i <= 20; ++i) {
        ExecuteStatement(db,
                         QStringLiteral("insert into data1 (z, a, b, c, j, g, h, i, \"2\", \"3\", \"4\") "
                                        "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                         {order, QStringLiteral("基准拉杆箱%1号").arg(i), QStringLiteral("24寸"),
                          QStringLiteral("69012345%1").arg(i), QString(), QStringLiteral("基准客户"),
                          QStringLiteral("杭州市西湖路1号"), QStringLiteral("13800001111"), 99.5, 2.0,
                          199.0});
    }
    out() << "sale lines: " << ScalarValue(db, QStringLiteral("select count(*) from data1")).toLongLong()
          << ", lines of the order: "
          << ScalarValue(db, QStringLiteral("select count(*) from data1 where z = ?"), {order}).toLongLong()
          << Qt::endl;
    const ReceiptTexts texts = ReceiptTexts::defaults();

    QList<double> reading;
    QList<double> previewing;
    QList<double> pdf;
    int pages = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        OrderDocumentContent content = OrderDocumentContent::load(db, order, QStringLiteral("超级管理员"),
                                                                  texts, Clock::current().today());
        reading << timer.nsecsElapsed() / 1e6;
        if (content.lines.size() != 20) {
            out() << "the order has " << content.lines.size() << " lines" << Qt::endl;
            return 1;
        }

        // Reading, layout and drawing every page into the preview's pages,
        // as QPrintPreviewDialog does before it shows them.
        timer.restart();
        const Tform22 document(OrderDocumentContent::load(db, order, QStringLiteral("超级管理员"), texts,
                                                          Clock::current().today()));
        QPrinter printer(QPrinter::HighResolution);
        Tform22::setUpPrinter(printer);
        QPrintPreviewWidget preview(&printer);
        QObject::connect(&preview, &QPrintPreviewWidget::paintRequested, &preview,
                         [&document](QPrinter *target) { document.paint(*target); });
        preview.updatePreview();
        previewing << timer.nsecsElapsed() / 1e6;
        pages = preview.pageCount();

        timer.restart();
        const QString failure = document.printToPdf(shop.filePath(QStringLiteral("document.pdf")));
        pdf << timer.nsecsElapsed() / 1e6;
        if (!failure.isEmpty()) {
            out() << failure << Qt::endl;
            return 1;
        }
    }
    out() << "pages: " << pages << Qt::endl;
    report(QStringLiteral("reading the order's lines"), reading, 0);
    report(QStringLiteral("order document ready for preview (read, lay out, draw the pages)"), previewing,
           100);
    report(QStringLiteral("printing it into a PDF file"), pdf, 0);
    return 0;
}

// Times the list export: a stock list of a generated shop written to .xls,
// .xlsx and CSV through the grid exporter, as "导出Excel" does it (loading
// every row of the lazy list included).
//
//   bench_export [--database FILE|URL] [--stock N] [--sales N] [--runs N]
//
// Works on a copy of FILE (opening may add missing indexes); a missing FILE
// is generated first with lwjxc-datagen (next to this program).

#include "BenchSupport.h"
#include "common/BiffWriter.h"
#include "common/DataGrid.h"
#include "common/GridExporter.h"
#include "common/Prompter.h"
#include "data/Database.h"
#include "data/DatabaseLocation.h"
#include "data/QueryHelpers.h"
#include "data/SqlListModel.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

namespace {

QList<DataGridColumn> stockColumns()
{
    const QStringList fields{QStringLiteral("a"),    QStringLiteral("b"), QStringLiteral("c"),
                             QStringLiteral("d"),    QStringLiteral("2"), QStringLiteral("1"),
                             QStringLiteral("3"),    QStringLiteral("5"), QStringLiteral("4"),
                             QStringLiteral("6"),    QStringLiteral("7"), QStringLiteral("8"),
                             QStringLiteral("day1"), QStringLiteral("g"), QStringLiteral("z")};
    const QStringList upper{
        QStringLiteral("商 品 信 息"), QStringLiteral("商 品 信 息"), QStringLiteral("商 品 信 息"),
        QStringLiteral("商 品 信 息"), QStringLiteral("进 货"),       QStringLiteral("进 货"),
        QStringLiteral("进 货"),       QStringLiteral("销 售"),       QStringLiteral("销 售"),
        QStringLiteral("销 售"),       QStringLiteral("存 货"),       QStringLiteral("存 货"),
        QStringLiteral("备 注"),       QStringLiteral("备 注"),       QStringLiteral("备 注")};
    QList<DataGridColumn> columns;
    for (int i = 0; i < fields.size(); ++i) {
        DataGridColumn column;
        column.field = fields.at(i);
        column.upperTitle = upper.at(i);
        column.lowerTitle = fields.at(i);
        if (i == 0) {
            column.footer = DataGridColumn::Footer::Text;
            column.footerText = QStringLiteral("总计");
        }
        columns << column;
    }
    return columns;
}

SqlListQuery stockQuery(int limitId)
{
    SqlListQuery query;
    query.fields = {QStringLiteral("id")};
    for (const DataGridColumn &column : stockColumns())
        query.fields << column.field;
    query.from = QStringLiteral("data");
    if (limitId > 0) {
        query.condition = QStringLiteral("id <= ?");
        query.values = {limitId};
    }
    query.keyFields = {QStringLiteral("id")};
    query.defaultOrderField = QStringLiteral("day1");
    return query;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const BenchSupport::ShopRun shop(parser, app, 3);
    if (!shop.ok())
        return 1;
    const int runs = shop.runs();
    Prompter::setTestMode(true); // no dialogs, the file is not opened afterwards
    Database db(DatabaseLocation::fromArgument(shop.database()));
    if (!BenchSupport::opened(db))
        return 1;
    QTextStream &out = BenchSupport::out();
    const int stockRows = ScalarValue(db, QStringLiteral("select count(*) from data")).toInt();
    // The largest list an .xls sheet holds: head rows and footer take five.
    const int xlsRecords = BiffWriter::kMaxRows - 5;
    const int xlsLimitId = ScalarValue(db,
                                       QStringLiteral("select max(id) from (select id from data order by id "
                                                      "limit ?) q"),
                                       {xlsRecords})
                               .toInt();

    QTemporaryDir dir;
    out << "stock rows in the database: " << stockRows << "\n";
    struct Case
    {
        const char *name;
        SheetWriter::Format format;
        int limitId;
    };
    const Case cases[] = {
        {"xls (largest list an .xls holds)", SheetWriter::Format::Xls, xlsLimitId},
        {"xlsx (all rows)", SheetWriter::Format::Xlsx, 0},
        {"csv (all rows)", SheetWriter::Format::Csv, 0},
        {"xls (all rows: refused, too many rows)", SheetWriter::Format::Xls, 0},
    };
    {
        // Loading every row of the lazy list alone, which each export starts with.
        QList<double> seconds;
        for (int run = 0; run < runs; ++run) {
            SqlListModel list(db);
            DataGrid grid;
            grid.setColumns(stockColumns());
            grid.setListModel(&list);
            grid.resize(1000, 400);
            grid.show();
            list.setQuery(stockQuery(0));
            QElapsedTimer timer;
            timer.start();
            list.fetchAll();
            seconds << timer.nsecsElapsed() / 1e9;
        }
        out << QString::asprintf("%-42s records %7d  median %.3f s\n", "loading the list only", stockRows,
                                 BenchSupport::median(seconds));
    }
    for (const Case &c : cases) {
        QList<double> seconds;
        int records = 0;
        qint64 bytes = 0;
        GridExporter::Result result = GridExporter::Result::Written;
        for (int run = 0; run < runs; ++run) {
            SqlListModel list(db);
            DataGrid grid;
            grid.setColumns(stockColumns());
            grid.setListModel(&list);
            grid.resize(1000, 400);
            grid.show();
            list.setQuery(stockQuery(c.limitId));
            QApplication::processEvents();
            records = list.totalCount();
            GridExporter exporter(&grid);
            exporter.setTitle(QStringLiteral("商品进货统计报表"));
            exporter.setUserName(QStringLiteral("超级管理员"));
            const QString path =
                dir.filePath(QStringLiteral("out%1.").arg(run) + SheetWriter::suffix(c.format));
            QFile::remove(path);
            QElapsedTimer timer;
            timer.start();
            result = exporter.exportTo(path, c.format);
            seconds << timer.nsecsElapsed() / 1e9;
            bytes = QFileInfo(path).size();
        }
        out << QString::asprintf("%-42s records %7d  result %d  median %.3f s  (runs:", c.name, records,
                                 int(result), BenchSupport::median(seconds));
        for (const double s : seconds)
            out << QString::asprintf(" %.3f", s);
        out << QString::asprintf(")  file %.1f MB\n", bytes / 1e6);
    }
    return 0;
}

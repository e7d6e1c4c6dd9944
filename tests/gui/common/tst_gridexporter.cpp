#include "SheetReadBack.h"
#include "SignedInMainForm.h"

#include "common/BiffWriter.h"
#include "common/DataGrid.h"
#include "common/GridExporter.h"
#include "data/SqlListModel.h"
#include "stock/StockListView.h"

#include <QFile>
#include <QTableView>

namespace {

const QStringList kUpperTitles{
    QStringLiteral("商 品 信 息"), QStringLiteral("商 品 信 息"), QStringLiteral("商 品 信 息"),
    QStringLiteral("商 品 信 息"), QStringLiteral("进 货"),       QStringLiteral("进 货"),
    QStringLiteral("进 货"),       QStringLiteral("销 售"),       QStringLiteral("销 售"),
    QStringLiteral("销 售"),       QStringLiteral("存 货"),       QStringLiteral("存 货"),
    QStringLiteral("备 注"),       QStringLiteral("备 注"),       QStringLiteral("备 注")};
const QStringList kLowerTitles{
    QStringLiteral("名 称"),    QStringLiteral("规格型号"), QStringLiteral("编 码"), QStringLiteral("类 别"),
    QStringLiteral("数 量"),    QStringLiteral("单 价"),    QStringLiteral("金 额"), QStringLiteral("数 量"),
    QStringLiteral("单 价"),    QStringLiteral("金 额"),    QStringLiteral("数 量"), QStringLiteral("金 额"),
    QStringLiteral("入库日期"), QStringLiteral("供货商"),   QStringLiteral("备 注")};
// The stock list's fields in column order.
const QStringList kFields{QStringLiteral("a"),    QStringLiteral("b"), QStringLiteral("c"),
                          QStringLiteral("d"),    QStringLiteral("2"), QStringLiteral("1"),
                          QStringLiteral("3"),    QStringLiteral("5"), QStringLiteral("4"),
                          QStringLiteral("6"),    QStringLiteral("7"), QStringLiteral("8"),
                          QStringLiteral("day1"), QStringLiteral("g"), QStringLiteral("z")};

// The cell as the file must hold it, from the database value.
bool sameCell(const QVariant &cell, const QVariant &value)
{
    if (value.isNull())
        return cell.toString().isEmpty();
    if (value.typeId() == QMetaType::QDate)
        return cell.toString() == value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    if (value.typeId() == QMetaType::QString)
        return cell.toString() == value.toString();
    return qFuzzyCompare(cell.toDouble() + 1, value.toDouble() + 1);
}

} // namespace

// "导出Excel" on the stock list, driven through the menu item with the file
// dialog and questions answered by the test; the files read back by
// independent readers.
class TestGridExporter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        SignedInMainForm::initTestCase(m_home);
        QVERIFY2(!SheetReadBack::python().isEmpty(), "python3-xlrd is needed (test.sh installs it)");
    }

    void init()
    {
        m_shop = std::make_unique<SignedInMainForm>();
        QVERIFY(m_shop->database.isOpen());
        QVERIFY(m_shop->open());
        Prompter::clearShown();
    }

    void cleanup() { m_shop.reset(); }

    void exportsEveryRowUnderItsTitles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("written");
        QTest::newRow("xls by filter")
            << QStringLiteral("stock") << QStringLiteral("Microsoft Excel xls文件 (*.xls)")
            << QStringLiteral("stock.xls");
        QTest::newRow("xlsx by filter")
            << QStringLiteral("stock") << QStringLiteral("Excel 2007 xlsx文件 (*.xlsx)")
            << QStringLiteral("stock.xlsx");
        QTest::newRow("csv by filter") << QStringLiteral("stock") << QStringLiteral("CSV (UTF-8) (*.csv)")
                                       << QStringLiteral("stock.csv");
        QTest::newRow("suffix wins") << QStringLiteral("库存.xlsx")
                                     << QStringLiteral("Microsoft Excel xls文件 (*.xls)")
                                     << QStringLiteral("库存.xlsx");
    }

    // Title, maker line, both title rows, every value of every record under
    // its title, the footer; a null amount is an empty cell and the cells
    // after it keep their columns.
    void exportsEveryRowUnderItsTitles()
    {
        QFETCH(QString, name);
        QFETCH(QString, filter);
        QFETCH(QString, written);
        m_shop->addStock(QStringLiteral("新秀丽拉杆箱"), 350, 10, 3500.0, 2, QDate(2024, 1, 3),
                         QStringLiteral("说\"明\",逗号"));
        m_shop->addStock(QStringLiteral("双肩包"), 45.5, 4, QVariant(QMetaType::fromType<double>()), 1,
                         QDate(2024, 1, 1));
        m_shop->addStock(QStringLiteral("钱包"), 12.25, 3.5, 42.875, 0, QDate(2024, 1, 2));
        m_shop->form->showAllRecords();
        DataGrid *grid = m_shop->form->stockList()->grid();
        grid->setCurrentRow(2);

        const QString path = m_dir.filePath(written);
        QFile::remove(path);
        Prompter::queueFileName(m_dir.filePath(name), filter);
        m_shop->action("exportExcelAction")->trigger();
        QVERIFY2(QFile::exists(path), qPrintable(Prompter::shownTexts().join(u'\n')));
        QVERIFY(Prompter::shown().isEmpty());
        QCOMPARE(grid->currentRow(), 2);

        const SheetReadBack sheet = SheetReadBack::read(path);
        QVERIFY2(sheet.ok, qPrintable(sheet.error));
        QCOMPARE(sheet.rows.size(), 4 + 3 + 1);
        QCOMPARE(sheet.text(0, 3), QStringLiteral("商品进货统计报表"));
        QCOMPARE(sheet.text(1, 0), QStringLiteral("制表人：超级管理员"));
        QCOMPARE(sheet.text(1, 5), QStringLiteral("制表时间：2024-03-05 09:30:00"));
        for (int c = 0; c < kFields.size(); ++c) {
            QCOMPARE(sheet.text(2, c), kUpperTitles.at(c));
            QCOMPARE(sheet.text(3, c), kLowerTitles.at(c));
        }
        QCOMPARE(sheet.columnCount(3), 15);

        // The records in the list's order, straight from the database.
        QStringList columns;
        for (const QString &field : kFields)
            columns << SqlListModel::identifier(field);
        QSqlQuery query = OpenStatement(m_shop->database.db(),
                                        QStringLiteral("select ") + columns.join(QStringLiteral(", ")) +
                                            QStringLiteral(" from data order by day1, id"));
        int row = 4;
        while (query.next()) {
            for (int c = 0; c < kFields.size(); ++c) {
                QVariant value = query.value(c);
                if (kFields.at(c) == QLatin1String("day1"))
                    value = Dialect::toDate(value);
                QVERIFY2(sameCell(sheet.cell(row, c), value),
                         qPrintable(QStringLiteral("row %1 column %2: %3 vs %4")
                                        .arg(row)
                                        .arg(c)
                                        .arg(sheet.cell(row, c).toString(), value.toString())));
            }
            ++row;
        }
        QCOMPARE(row, 7);
        // The null amount of 双肩包 (first by date): empty, and 销售数量 still 1.
        QCOMPARE(sheet.text(4, 0), QStringLiteral("双肩包"));
        QVERIFY(sheet.cell(4, 6).toString().isEmpty());
        QCOMPARE(sheet.cell(4, 7).toDouble(), 1.0);
        QCOMPARE(sheet.text(7, 0), QStringLiteral("总计"));
        QCOMPARE(sheet.columnCount(7), 1);
    }

    // With the purchase price hidden both title rows and every data row hold
    // fourteen columns and each value stays under its own titles.
    void hiddenColumnIsLeftOut()
    {
        m_shop->addStock(QStringLiteral("拉杆箱"), 350, 10, 3500.0, 2, QDate(2024, 1, 3),
                         QStringLiteral("备注"));
        m_shop->form->showAllRecords();
        m_shop->action("hidePurchasePriceAction")->trigger();
        QVERIFY(!m_shop->form->stockList()->grid()->isColumnVisible(5));

        const QString path = m_dir.filePath(QStringLiteral("hidden.xls"));
        QFile::remove(path);
        Prompter::queueFileName(path, QString());
        m_shop->action("exportExcelAction")->trigger();
        const SheetReadBack sheet = SheetReadBack::xls(path);
        QVERIFY2(sheet.ok, qPrintable(sheet.error));
        QCOMPARE(sheet.columnCount(2), 14);
        QCOMPARE(sheet.columnCount(3), 14);
        QCOMPARE(sheet.columnCount(4), 14);
        QCOMPARE(sheet.text(2, 4), QStringLiteral("进 货"));
        QCOMPARE(sheet.text(3, 4), QStringLiteral("数 量"));
        QCOMPARE(sheet.cell(4, 4).toDouble(), 10.0);
        QCOMPARE(sheet.text(2, 5), QStringLiteral("进 货"));
        QCOMPARE(sheet.text(3, 5), QStringLiteral("金 额"));
        QCOMPARE(sheet.cell(4, 5).toDouble(), 3500.0);
        QCOMPARE(sheet.text(3, 7), QStringLiteral("单 价"));
        QCOMPARE(sheet.cell(4, 7).toDouble(), 700.0);
        QCOMPARE(sheet.text(3, 11), QStringLiteral("入库日期"));
        QCOMPARE(sheet.text(4, 11), QStringLiteral("2024-01-03"));
        QCOMPARE(sheet.text(4, 12), QStringLiteral("王老板"));
    }

    // The dialog comes, but an empty list writes no file and says nothing.
    void emptyListWritesNothing()
    {
        m_shop->form->showAllRecords();
        const QString path = m_dir.filePath(QStringLiteral("empty.xls"));
        QFile::remove(path);
        Prompter::queueFileName(path, QString());
        m_shop->action("exportExcelAction")->trigger();
        QVERIFY(!QFile::exists(path));
        QVERIFY(Prompter::shown().isEmpty());
    }

    void cancelledDialogWritesNothing()
    {
        m_shop->addStock(QStringLiteral("拉杆箱"), 350, 10, 3500.0, 2, QDate(2024, 1, 3));
        m_shop->form->showAllRecords();
        const QStringList before = QDir(m_dir.path()).entryList(QDir::Files);
        m_shop->action("exportExcelAction")->trigger(); // no file queued: Cancel
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), before);
        QVERIFY(Prompter::shown().isEmpty());
    }

    void overwriteQuestion_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("no keeps the old file") << int(Prompter::Answer::No) << false;
        QTest::newRow("closed box keeps it") << int(Prompter::Answer::Cancel) << false;
        QTest::newRow("yes replaces it") << int(Prompter::Answer::Yes) << true;
    }

    void overwriteQuestion()
    {
        QFETCH(int, answer);
        QFETCH(bool, replaced);
        m_shop->addStock(QStringLiteral("拉杆箱"), 350, 10, 3500.0, 2, QDate(2024, 1, 3));
        m_shop->form->showAllRecords();
        const QString path = m_dir.filePath(QStringLiteral("old.xls"));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
            old.write("old content");
        }
        Prompter::queueFileName(path, QString());
        Prompter::queueAnswer(Prompter::Answer(answer));
        m_shop->action("exportExcelAction")->trigger();
        QCOMPARE(Prompter::shown().size(), 1);
        QCOMPARE(Prompter::shown().first().caption, QStringLiteral("提示"));
        QCOMPARE(Prompter::shown().first().text,
                 QStringLiteral("已存在文件（") + path + QStringLiteral("），是否覆盖？"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll() == "old content", !replaced);
        if (replaced)
            QCOMPARE(SheetReadBack::xls(path).text(4, 0), QStringLiteral("拉杆箱"));
    }

    // A folder that does not exist: the operator is told, nothing is left.
    void unwritableFileIsReported()
    {
        m_shop->addStock(QStringLiteral("拉杆箱"), 350, 10, 3500.0, 2, QDate(2024, 1, 3));
        m_shop->form->showAllRecords();
        const QString path = m_dir.filePath(QStringLiteral("no/such/folder/list.xls"));
        Prompter::queueFileName(path, QString());
        m_shop->action("exportExcelAction")->trigger();
        QVERIFY(!QFile::exists(path));
        QCOMPARE(Prompter::shown().size(), 1);
        QCOMPARE(Prompter::shown().first().kind, Prompter::Kind::Error);
        QVERIFY(Prompter::lastText().contains(path));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // 16-bit row numbers: a list longer than an .xls sheet is refused with
    // a pointer to the other formats instead of wrapping onto the top rows;
    // at the limit it is written whole.
    // Remarks longer than an .xls cell holds: the file is written with them
    // cut and the operator is told how many; CSV keeps them whole, and what
    // a spreadsheet would run as a formula arrives as text.
    void cutCellsAreToldAndCsvIsDefused_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<int>("cut");
        QTest::newRow("xls") << QStringLiteral("long.xls") << 2;
        QTest::newRow("csv") << QStringLiteral("long.csv") << 0;
    }

    void cutCellsAreToldAndCsvIsDefused()
    {
        QFETCH(QString, fileName);
        QFETCH(int, cut);
        Database &db = m_shop->database.db();
        const QString longRemark(1500, QChar(u'长'));
        for (const QString &name :
             {QStringLiteral("=HYPERLINK(\"http://x\")"), QStringLiteral("箱A"), QStringLiteral("箱B")}) {
            ExecuteStatement(
                db, QStringLiteral("insert into data (a, \"2\", \"7\", day1, z) values (?, 1, 1, ?, ?)"),
                {name, db.dialect().dateValue(QDate(2024, 1, 1)),
                 name == QStringLiteral("箱A") ? QStringLiteral("短") : longRemark});
        }
        m_shop->form->showAllRecords();
        const QString path = m_dir.filePath(fileName);
        QFile::remove(path);
        Prompter::queueFileName(path, QString());
        m_shop->action("exportExcelAction")->trigger();
        QVERIFY2(QFile::exists(path), qPrintable(Prompter::lastText()));
        if (cut > 0) {
            QCOMPARE(Prompter::shown().size(), 1);
            QVERIFY2(Prompter::lastText().contains(QStringLiteral("有 %1 个单元格").arg(cut)),
                     qPrintable(Prompter::lastText()));
            const SheetReadBack sheet = SheetReadBack::xls(path);
            QVERIFY2(sheet.ok, qPrintable(sheet.error));
            QCOMPARE(sheet.text(4, 0), QStringLiteral("=HYPERLINK(\"http://x\")")); // a text cell in .xls
            QCOMPARE(sheet.text(4, 14).size(), (BiffWriter::kMaxRecordData - 8) / 2);
            return;
        }
        QVERIFY2(Prompter::shown().isEmpty(), qPrintable(Prompter::lastText()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(text.contains(QStringLiteral("\"'=HYPERLINK(\"\"http://x\"\")\",")),
                 qPrintable(text.left(400)));
        QVERIFY(text.contains(longRemark));
    }

    void xlsRowLimit()
    {
        if (TestDatabase::onPostgreSQL())
            QSKIP("the row count matters, not the engine");
        Database &db = m_shop->database.db();
        const int fits = BiffWriter::kMaxRows - 5; // title, maker, two title rows, footer
        ExecuteStatement(db,
                         QStringLiteral("insert into data (a, \"2\", \"7\", day1) "
                                        "with recursive n(i) as (select 1 union all select i + 1 from n "
                                        "where i < ?) select 'r' || i, i, 1, ? from n"),
                         {fits + 1, db.dialect().dateValue(QDate(2024, 1, 1))});
        m_shop->form->showAllRecords();
        const QString path = m_dir.filePath(QStringLiteral("big.xls"));
        QFile::remove(path);
        Prompter::queueFileName(path, QString());
        m_shop->action("exportExcelAction")->trigger();
        QVERIFY(!QFile::exists(path));
        QCOMPARE(Prompter::shown().size(), 1);
        QVERIFY(Prompter::lastText().contains(QStringLiteral("xlsx")));
        // The dialog offered .xlsx for the long list: a name typed without
        // suffix is written as a workbook at once.
        Prompter::clearShown();
        Prompter::queueFileName(m_dir.filePath(QStringLiteral("big")), QString());
        m_shop->action("exportExcelAction")->trigger();
        QVERIFY2(QFile::exists(m_dir.filePath(QStringLiteral("big.xlsx"))), qPrintable(Prompter::lastText()));

        ExecuteStatement(db, QStringLiteral("delete from data where a = ?"), {QStringLiteral("r1")});
        m_shop->form->showAllRecords();
        Prompter::clearShown();
        Prompter::queueFileName(path, QString());
        m_shop->action("exportExcelAction")->trigger();
        QVERIFY2(QFile::exists(path), qPrintable(Prompter::lastText()));
        const SheetReadBack sheet = SheetReadBack::xls(path);
        QVERIFY2(sheet.ok, qPrintable(sheet.error));
        QCOMPARE(sheet.rows.size(), BiffWriter::kMaxRows);
        QCOMPARE(sheet.text(0, 3), QStringLiteral("商品进货统计报表"));
        QCOMPARE(sheet.text(4, 0), QStringLiteral("r2"));
        QCOMPARE(sheet.text(BiffWriter::kMaxRows - 2, 0),
                 QString(QStringLiteral("r") + QString::number(fits + 1)));
        QCOMPARE(sheet.text(BiffWriter::kMaxRows - 1, 0), QStringLiteral("总计"));
        // At the limit .xls is offered again.
        Prompter::queueFileName(m_dir.filePath(QStringLiteral("fits")), QString());
        m_shop->action("exportExcelAction")->trigger();
        QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("fits.xls"))));
    }

private:
    QTemporaryDir m_home;
    QTemporaryDir m_dir;
    std::unique_ptr<SignedInMainForm> m_shop;
};

QTEST_MAIN(TestGridExporter)
#include "tst_gridexporter.moc"

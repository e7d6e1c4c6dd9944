#include "SheetReadBack.h"
#include "common/WorkbookReader.h"
#include "common/XlsWorkbookWriter.h"
#include "maintenance/StockImport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

// The .xls workbook writer, read back by the import's own reader (freexl)
// and by xlrd: the sheet name, texts in any script, numbers, dates, and a
// file large enough to need the extended allocation index.
class TestXlsWorkbookWriter : public QObject
{
    Q_OBJECT

private slots:
    void templateHasTheSheetAndColumnNames();
    void cellsReadBack_data();
    void cellsReadBack();

private:
    static QStringList xlrdSheetNames(const QString &path);
    QTemporaryDir m_dir;
};

QStringList TestXlsWorkbookWriter::xlrdSheetNames(const QString &path)
{
    QProcess python;
    python.start(SheetReadBack::python(),
                 {u"-c"_s,
                  u"import sys, xlrd; print('|'.join(xlrd.open_workbook(sys.argv[1]).sheet_names()))"_s,
                  path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return {u"xlrd failed: "_s + QString::fromUtf8(python.readAllStandardError())};
    return QString::fromUtf8(python.readAllStandardOutput()).trimmed().split(u'|');
}

void TestXlsWorkbookWriter::templateHasTheSheetAndColumnNames()
{
    const QString path = m_dir.filePath(u"模板.xls"_s);
    QString error;
    QVERIFY2(StockImport::writeTemplate(path, &error), qPrintable(error));
    QCOMPARE(xlrdSheetNames(path), QStringList{u"qmzrtk"_s});
    const SheetReadBack back = SheetReadBack::xls(path);
    QVERIFY2(back.ok, qPrintable(back.error));
    QCOMPARE(back.rows.size(), 1);
    QStringList header;
    for (const QVariant &cell : back.rows.first())
        header.append(cell.toString());
    QCOMPARE(header, StockImport::columnNames());
    // The import reads its own template: no rows, no complaint.
    const StockImport::Reading reading = StockImport::read(path, {});
    QVERIFY2(reading.ok, qPrintable(reading.failure));
    QCOMPARE(reading.rows.size(), 0);
}

void TestXlsWorkbookWriter::cellsReadBack_data()
{
    QTest::addColumn<int>("rows");
    QTest::newRow("one sector") << 1;
    // About 9 MB of records: more than 109 allocation table sectors.
    QTest::newRow("extended allocation index") << 30000;
}

void TestXlsWorkbookWriter::cellsReadBack()
{
    QFETCH(int, rows);
    XlsWorkbookWriter writer(u"数据"_s);
    for (int r = 0; r < rows; ++r) {
        writer.writeText(r, 0, u"箱包 ß €𝄞 %1"_s.arg(r));
        writer.writeDate(r, 1, QDate(2024, 2, 29).addDays(r % 400));
        for (int c = 2; c < 17; ++c)
            writer.writeNumber(r, c, r * 0.5 + c);
    }
    const QString path = m_dir.filePath(u"cells.xls"_s);
    QString error;
    QVERIFY2(writer.save(path, &error), qPrintable(error));

    QCOMPARE(xlrdSheetNames(path), QStringList{u"数据"_s});
    const SheetReadBack back = SheetReadBack::xls(path);
    QVERIFY2(back.ok, qPrintable(back.error));
    QCOMPARE(back.rows.size(), rows);
    QCOMPARE(back.text(rows - 1, 0), u"箱包 ß €𝄞 %1"_s.arg(rows - 1));

    const auto reader = WorkbookReader::forFile(path);
    int seen = 0;
    const bool read = reader->readSheet(u"数据"_s, [&](int row, const SheetRow &cells) {
        if (row != seen++ || cells.size() != 17)
            return false;
        return cells.at(0).cell.text == u"箱包 ß €𝄞 %1"_s.arg(row) &&
               cells.at(1).cell.kind == SheetCell::Kind::Date &&
               cells.at(1).cell.date == QDate(2024, 2, 29).addDays(row % 400) &&
               cells.at(16).cell.number == row * 0.5 + 16;
    });
    QVERIFY2(read, qPrintable(reader->errorText() + u" at row "_s + QString::number(seen - 1)));
    QCOMPARE(seen, rows);
}

QTEST_GUILESS_MAIN(TestXlsWorkbookWriter)
#include "tst_xlsworkbookwriter.moc"

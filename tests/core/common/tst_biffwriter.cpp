#include "SheetReadBack.h"
#include "common/BiffWriter.h"
#include "common/CsvSheetWriter.h"
#include "common/ListExport.h"
#include "common/SheetWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

using Format = SheetWriter::Format;

ListExportLayout stockLayout()
{
    ListExportLayout layout;
    layout.title = QStringLiteral("商品进货统计报表");
    layout.userName = QStringLiteral("张三");
    layout.madeAt = QDateTime(QDate(2024, 3, 5), QTime(14, 30, 9));
    layout.columns = {
        {{QStringLiteral("商 品 信 息"), QStringLiteral("名 称")}, QStringLiteral("总计")},
        {{QStringLiteral("商 品 信 息"), QStringLiteral("编 码")}, QString()},
        {{QStringLiteral("进 货"), QStringLiteral("数 量")}, QString()},
        {{QStringLiteral("进 货"), QStringLiteral("金 额")}, QString()},
        {{QStringLiteral("备 注"), QStringLiteral("入库日期")}, QString()},
        {{QStringLiteral("备注")}, QString()},
    };
    return layout;
}

QList<QVariantList> stockRecords()
{
    return {
        {QStringLiteral("拉杆箱"), QStringLiteral("C001"), 3, 360.5, QDate(2024, 1, 3),
         QStringLiteral("说\"明\",含逗号\n第二行")},
        // A null amount: its cell stays empty, the cells after it keep their columns.
        {QStringLiteral("双肩包"), QStringLiteral("A,B"), 10.25, QVariant(QMetaType::fromType<double>()),
         QDate(2024, 1, 1), QStringLiteral("好")},
        {QString(QStringLiteral("钱包") + QChar(0xD83D) + QChar(0xDE00)), QString(), qint64(-7), 1e-3,
         QVariant(QMetaType::fromType<QDate>()), QStringLiteral(" 前后空格 ")},
    };
}

bool writeSheet(Format format, const QString &path, const ListExportLayout &layout,
                const QList<QVariantList> &records, QString *error = nullptr)
{
    std::unique_ptr<SheetWriter> sheet = SheetWriter::create(format);
    if (!sheet->open(path)) {
        if (error)
            *error = sheet->errorString();
        return false;
    }
    ListExportWriter writer(*sheet, layout);
    writer.writeHead();
    for (const QVariantList &record : records)
        writer.writeRecord(record);
    writer.writeFooter();
    const bool ok = sheet->close();
    if (error)
        *error = sheet->errorString();
    return ok;
}

struct Record
{
    quint16 type;
    QByteArray data;
};

QList<Record> records(const QByteArray &bytes)
{
    QList<Record> list;
    qsizetype at = 0;
    while (at + 4 <= bytes.size()) {
        const auto type = qFromLittleEndian<quint16>(bytes.constData() + at);
        const auto length = qFromLittleEndian<quint16>(bytes.constData() + at + 2);
        list.append({type, bytes.mid(at + 4, length)});
        at += 4 + length;
    }
    return list;
}

} // namespace

// The list export's sheet writers: the .xls records and their layout read
// back by xlrd, the .xlsx read back from its XML, the CSV quoting.
class TestBiffWriter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!SheetReadBack::python().isEmpty(), "python3-xlrd is needed (test.sh installs it)");
    }

    void layoutReadBack_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("outsideGbk"); // how the name with an emoji comes back
        QTest::newRow("xls") << int(Format::Xls) << QStringLiteral("xls") << QStringLiteral("钱包?");
        QTest::newRow("xlsx") << int(Format::Xlsx) << QStringLiteral("xlsx")
                              << QString(QStringLiteral("钱包") + QChar(0xD83D) + QChar(0xDE00));
        QTest::newRow("csv") << int(Format::Csv) << QStringLiteral("csv")
                             << QString(QStringLiteral("钱包") + QChar(0xD83D) + QChar(0xDE00));
    }

    // Title, maker line, both title rows, every value under its title, the
    // footer, with the Chinese intact.
    void layoutReadBack()
    {
        QFETCH(int, format);
        QFETCH(QString, suffix);
        QFETCH(QString, outsideGbk);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("list.") + suffix);
        QString error;
        QVERIFY2(writeSheet(Format(format), path, stockLayout(), stockRecords(), &error), qPrintable(error));

        const SheetReadBack sheet = SheetReadBack::read(path);
        QVERIFY2(sheet.ok, qPrintable(sheet.error));
        QCOMPARE(sheet.rows.size(), 1 + 1 + 2 + 3 + 1);
        QCOMPARE(sheet.text(0, 3), QStringLiteral("商品进货统计报表"));
        QVERIFY(sheet.cell(0, 0).isNull());
        QCOMPARE(sheet.text(1, 0), QStringLiteral("制表人：张三"));
        QCOMPARE(sheet.text(1, 5), QStringLiteral("制表时间：2024-03-05 14:30:09"));

        const QStringList upper{QStringLiteral("商 品 信 息"), QStringLiteral("商 品 信 息"),
                                QStringLiteral("进 货"),       QStringLiteral("进 货"),
                                QStringLiteral("备 注"),       QStringLiteral("备注")};
        const QStringList lower{QStringLiteral("名 称"), QStringLiteral("编 码"),    QStringLiteral("数 量"),
                                QStringLiteral("金 额"), QStringLiteral("入库日期"), QString()};
        for (int c = 0; c < 6; ++c) {
            QCOMPARE(sheet.text(2, c), upper.at(c));
            QCOMPARE(sheet.text(3, c), lower.at(c));
        }

        QCOMPARE(sheet.text(4, 0), QStringLiteral("拉杆箱"));
        QCOMPARE(sheet.text(4, 1), QStringLiteral("C001"));
        QCOMPARE(sheet.cell(4, 2).toDouble(), 3.0);
        QCOMPARE(sheet.cell(4, 3).toDouble(), 360.5);
        QCOMPARE(sheet.text(4, 4), QStringLiteral("2024-01-03"));
        QCOMPARE(sheet.text(4, 5), QStringLiteral("说\"明\",含逗号\n第二行"));

        QCOMPARE(sheet.text(5, 0), QStringLiteral("双肩包"));
        QCOMPARE(sheet.text(5, 1), QStringLiteral("A,B"));
        QCOMPARE(sheet.cell(5, 2).toDouble(), 10.25);
        QVERIFY2(sheet.cell(5, 3).toString().isEmpty(), "a null amount is an empty cell");
        QCOMPARE(sheet.text(5, 4), QStringLiteral("2024-01-01"));
        QCOMPARE(sheet.text(5, 5), QStringLiteral("好"));

        QCOMPARE(sheet.text(6, 0), outsideGbk);
        QCOMPARE(sheet.cell(6, 2).toDouble(), -7.0);
        QCOMPARE(sheet.cell(6, 3).toDouble(), 0.001);
        QVERIFY(sheet.cell(6, 4).toString().isEmpty());
        QCOMPARE(sheet.text(6, 5), QStringLiteral(" 前后空格 "));

        QCOMPARE(sheet.text(7, 0), QStringLiteral("总计"));
        QCOMPARE(sheet.columnCount(7), 1);
    }

    void dateRow_data()
    {
        QTest::addColumn<QString>("begin");
        QTest::addColumn<QString>("end");
        QTest::addColumn<bool>("hasDateRow");
        QTest::newRow("none") << QString() << QString() << false;
        QTest::newRow("blanks only") << QStringLiteral("  ") << QStringLiteral(" ") << false;
        QTest::newRow("both") << QStringLiteral("2024-01-01") << QStringLiteral("2024-01-31") << true;
        QTest::newRow("begin only") << QStringLiteral("2024-01-01") << QString() << true;
        QTest::newRow("end only") << QString() << QStringLiteral("2024-01-31") << true;
    }

    // A date range takes row 1 (begin in column 0, end in column 5) and
    // moves everything below it down by one.
    void dateRow()
    {
        QFETCH(QString, begin);
        QFETCH(QString, end);
        QFETCH(bool, hasDateRow);
        ListExportLayout layout = stockLayout();
        layout.beginDate = begin;
        layout.endDate = end;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("dates.xls"));
        QVERIFY(writeSheet(Format::Xls, path, layout, {stockRecords().first()}));
        const SheetReadBack sheet = SheetReadBack::xls(path);
        QVERIFY2(sheet.ok, qPrintable(sheet.error));
        const int shift = hasDateRow ? 1 : 0;
        QCOMPARE(layout.headRows(), 4 + shift);
        QCOMPARE(sheet.rows.size(), 4 + shift + 1 + 1);
        if (hasDateRow) {
            QCOMPARE(sheet.text(1, 0), begin.trimmed().isEmpty() ? QString() : begin);
            QCOMPARE(sheet.text(1, 5), end.trimmed().isEmpty() ? QString() : end);
        }
        QCOMPARE(sheet.text(1 + shift, 0), QStringLiteral("制表人：张三"));
        QCOMPARE(sheet.text(2 + shift, 0), QStringLiteral("商 品 信 息"));
        QCOMPARE(sheet.text(4 + shift, 0), QStringLiteral("拉杆箱"));
        QCOMPARE(sheet.text(5 + shift, 0), QStringLiteral("总计"));
    }

    // The records as the format states them, with the code page right after
    // the begin of file; xlrd takes its encoding from it.
    void records_and_codepage()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("r.xls"));
        BiffWriter writer;
        QVERIFY(writer.open(path));
        writer.writeText(0, 0, QStringLiteral("箱包"));
        writer.writeInteger(1, 0, 7);
        writer.writeInteger(1, 1, -3);
        writer.writeInteger(1, 2, qint64(1) << 29); // beyond the RK form
        writer.writeNumber(1, 3, 2.5);
        writer.writeBlank(1, 4);
        QVERIFY(writer.close());

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<Record> list = records(file.readAll());
        QCOMPARE(list.size(), 9);
        QCOMPARE(list.at(0).type, BiffWriter::kBof);
        QCOMPARE(list.at(0).data, QByteArray("\x00\x00\x10\x00\x00\x00\x00\x00", 8));
        QCOMPARE(list.at(1).type, BiffWriter::kCodePage);
        QCOMPARE(list.at(1).data, QByteArray("\xA8\x03", 2)); // 936
        QCOMPARE(list.at(2).type, BiffWriter::kLabel);
        QCOMPARE(list.at(2).data, QByteArray("\0\0\0\0\0\0\x04\0\xCF\xE4\xB0\xFC", 12)); // GBK 箱包
        QCOMPARE(list.at(3).type, BiffWriter::kRk);
        QCOMPARE(qFromLittleEndian<quint32>(list.at(3).data.constData() + 6), quint32(7 * 4 + 2));
        QCOMPARE(list.at(4).type, BiffWriter::kRk);
        QCOMPARE(list.at(5).type, BiffWriter::kNumber);
        QCOMPARE(list.at(6).type, BiffWriter::kNumber);
        QCOMPARE(list.at(6).data.size(), 14);
        QCOMPARE(list.at(7).type, BiffWriter::kBlank);
        QCOMPARE(list.at(7).data, QByteArray("\x01\0\x04\0\x17\0", 6));
        QCOMPARE(list.at(8).type, BiffWriter::kEof);
        QVERIFY(list.at(8).data.isEmpty());

        const SheetReadBack sheet = SheetReadBack::xls(path);
        QVERIFY2(sheet.ok, qPrintable(sheet.error));
        QCOMPARE(sheet.codepage, 936);
        QCOMPARE(sheet.text(0, 0), QStringLiteral("箱包"));
        QCOMPARE(sheet.cell(1, 0).toDouble(), 7.0);
        QCOMPARE(sheet.cell(1, 1).toDouble(), -3.0);
        QCOMPARE(sheet.cell(1, 2).toDouble(), 536870912.0);
        QCOMPARE(sheet.cell(1, 3).toDouble(), 2.5);
    }

    // Rows past what readers of the format take are refused, not written
    // to be dropped (or, past 16 bits, wrapped round onto the title rows).
    void rowLimit()
    {
        QTemporaryDir dir;
        BiffWriter writer;
        QVERIFY(writer.open(dir.filePath(QStringLiteral("big.xls"))));
        writer.writeText(BiffWriter::kMaxRows - 1, 0, QStringLiteral("last"));
        writer.writeText(BiffWriter::kMaxRows, 0, QStringLiteral("one too many"));
        QVERIFY(!writer.close());
        QVERIFY(!writer.errorString().isEmpty());
    }

    void unwritableFile_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("xls") << int(Format::Xls);
        QTest::newRow("xlsx") << int(Format::Xlsx);
        QTest::newRow("csv") << int(Format::Csv);
    }

    void unwritableFile()
    {
        QFETCH(int, format);
        QTemporaryDir dir;
        std::unique_ptr<SheetWriter> sheet = SheetWriter::create(Format(format));
        QVERIFY(!sheet->open(dir.filePath(QStringLiteral("missing/folder/list.out"))));
        QVERIFY(!sheet->errorString().isEmpty());
    }

    // Every character of the basic plane in one workbook: xlrd (which
    // decodes code page 936 strictly) takes the file, and each character
    // comes back as itself or as "?" where GBK has no code for it.
    void onlyStrictGbkIsWritten()
    {
        QStringList cells;
        QString chunk;
        int unmapped = 0;
        for (char32_t c = 0x80; c <= 0xFFFF; ++c) {
            if (QChar::isSurrogate(c))
                continue;
            chunk += QChar(static_cast<char16_t>(c));
            if (BiffWriter::strictGbk(c) == 0)
                ++unmapped;
            if (chunk.size() == 1000) {
                cells << chunk;
                chunk.clear();
            }
        }
        cells << chunk;
        // The one-byte euro of code page 936 and private-use characters are
        // what strict readers refused; common text keeps its characters.
        QCOMPARE(BiffWriter::strictGbk(0x20AC), quint16(0));
        QCOMPARE(BiffWriter::strictGbk(0xE000), quint16(0));
        QCOMPARE(BiffWriter::strictGbk(U'箱'), quint16(0xCFE4));
        for (char32_t c = 0x4E00; c <= 0x9FA5; ++c)
            QVERIFY2(BiffWriter::strictGbk(c) != 0, qPrintable(QString::number(c, 16)));
        QVERIFY2(unmapped > 30000, qPrintable(QString::number(unmapped))); // Hangul, Arabic ...

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("all.xls"));
        BiffWriter writer;
        QVERIFY(writer.open(path));
        writer.writeText(0, 0, QStringLiteral("价格€5，") + QChar(0xE000) + QStringLiteral("😀箱"));
        for (int i = 0; i < cells.size(); ++i)
            writer.writeText(i + 1, 0, cells.at(i));
        QVERIFY(writer.close());
        QCOMPARE(writer.cutCells(), 0);

        const SheetReadBack sheet = SheetReadBack::xls(path);
        QVERIFY2(sheet.ok, qPrintable(sheet.error));
        QCOMPARE(sheet.text(0, 0), QStringLiteral("价格?5，??箱"));
        int questionMarks = 0;
        for (int i = 0; i < cells.size(); ++i) {
            const QString read = sheet.text(i + 1, 0);
            const QString &wrote = cells.at(i);
            QCOMPARE(read.size(), wrote.size());
            for (qsizetype k = 0; k < read.size(); ++k) {
                if (read.at(k) != wrote.at(k)) {
                    QVERIFY2(read.at(k) == u'?', qPrintable(QString::number(wrote.at(k).unicode(), 16)));
                    ++questionMarks;
                }
            }
        }
        QCOMPARE(questionMarks, unmapped);
    }

    // A text longer than one record holds is cut at a character boundary,
    // and the writer counts it so the export can say so.
    void cutCellsAreCounted()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("long.xls"));
        BiffWriter writer;
        QVERIFY(writer.open(path));
        const int limit = BiffWriter::kMaxRecordData - 8;
        writer.writeText(0, 0, QString(limit / 2, QChar(u'箱')));     // exactly full
        writer.writeText(1, 0, QString(limit / 2 + 1, QChar(u'箱'))); // one too many
        writer.writeText(2, 0, QString(limit, u'a'));
        writer.writeText(3, 0, QString(limit + 1, u'a'));
        writer.writeText(4, 0, u'a' + QString(limit / 2, QChar(u'包'))); // the cut falls inside a character
        QVERIFY(writer.close());
        QCOMPARE(writer.cutCells(), 3);

        const SheetReadBack sheet = SheetReadBack::xls(path);
        QVERIFY2(sheet.ok, qPrintable(sheet.error));
        QCOMPARE(sheet.text(0, 0).size(), limit / 2);
        QCOMPARE(sheet.text(1, 0).size(), limit / 2);
        QCOMPARE(sheet.text(2, 0).size(), limit);
        QCOMPARE(sheet.text(3, 0).size(), limit);
        QCOMPARE(sheet.text(4, 0), u'a' + QString(limit / 2 - 1, QChar(u'包')));

        // A new file starts counting afresh.
        QVERIFY(writer.open(path));
        writer.writeText(0, 0, QStringLiteral("短"));
        QVERIFY(writer.close());
        QCOMPARE(writer.cutCells(), 0);
    }

    // What a spreadsheet would run as a formula is written as text, as
    // OWASP advises; numbers and ordinary text are left as they are.
    void csvInjection_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("written");
        QTest::newRow("formula") << QStringLiteral("=1+1") << QStringLiteral("'=1+1");
        QTest::newRow("command") << QStringLiteral("=cmd|' /C calc'!A0")
                                 << QStringLiteral("'=cmd|' /C calc'!A0");
        QTest::newRow("hyperlink with comma")
            << QStringLiteral("=HYPERLINK(\"http://x\",\"点我\")")
            << QStringLiteral("\"'=HYPERLINK(\"\"http://x\"\",\"\"点我\"\")\"");
        QTest::newRow("plus") << QStringLiteral("+A1") << QStringLiteral("'+A1");
        QTest::newRow("minus") << QStringLiteral("-2+3") << QStringLiteral("'-2+3");
        QTest::newRow("at") << QStringLiteral("@SUM(A1)") << QStringLiteral("'@SUM(A1)");
        QTest::newRow("tab") << QStringLiteral("\t=1") << QStringLiteral("'\t=1");
        QTest::newRow("carriage return") << QStringLiteral("\r=1") << QStringLiteral("\"'\r=1\"");
        QTest::newRow("negative number") << QStringLiteral("-5") << QStringLiteral("-5");
        QTest::newRow("signed decimal") << QStringLiteral("+3.25") << QStringLiteral("+3.25");
        QTest::newRow("exponent") << QStringLiteral("-1e3") << QStringLiteral("-1e3");
        QTest::newRow("minus infinity is text") << QStringLiteral("-inf") << QStringLiteral("'-inf");
        QTest::newRow("dash alone") << QStringLiteral("-") << QStringLiteral("'-");
        QTest::newRow("formula later in the text") << QStringLiteral("A=1") << QStringLiteral("A=1");
        QTest::newRow("full-width equals") << QStringLiteral("＝1+1") << QStringLiteral("＝1+1");
        QTest::newRow("ordinary") << QStringLiteral("拉杆箱") << QStringLiteral("拉杆箱");
    }

    void csvInjection()
    {
        QFETCH(QString, text);
        QFETCH(QString, written);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.csv"));
        CsvSheetWriter writer;
        QVERIFY(writer.open(path));
        writer.writeText(0, 0, text);
        writer.writeNumber(0, 1, -5.5); // numeric cells stay numbers
        QVERIFY(writer.close());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 QByteArray("\xEF\xBB\xBF") + (written + QStringLiteral(",-5.5\r\n")).toUtf8());
    }

    void csvQuoting_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << QStringLiteral("拉杆箱") << QStringLiteral("拉杆箱");
        QTest::newRow("comma") << QStringLiteral("A,B") << QStringLiteral("\"A,B\"");
        QTest::newRow("quote") << QStringLiteral("24\"箱") << QStringLiteral("\"24\"\"箱\"");
        QTest::newRow("line break") << QStringLiteral("a\nb") << QStringLiteral("\"a\nb\"");
        QTest::newRow("carriage return") << QStringLiteral("a\rb") << QStringLiteral("\"a\rb\"");
        QTest::newRow("outer blanks") << QStringLiteral(" a ") << QStringLiteral("\" a \"");
        QTest::newRow("empty") << QString() << QString();
    }

    void csvQuoting()
    {
        QFETCH(QString, field);
        QFETCH(QString, written);
        QCOMPARE(CsvSheetWriter::quoted(field), written);
    }

    // The whole file: byte-order mark, CR LF, skipped rows and columns empty.
    void csvBytes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.csv"));
        CsvSheetWriter writer;
        QVERIFY(writer.open(path));
        writer.writeText(0, 2, QStringLiteral("标题"));
        writer.writeNumber(2, 0, 1.5);
        writer.writeInteger(2, 1, 42);
        writer.writeBlank(2, 2);
        writer.writeText(2, 3, QStringLiteral("x,y"));
        QVERIFY(writer.close());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 QByteArray("\xEF\xBB\xBF,,\xE6\xA0\x87\xE9\xA2\x98\r\n\r\n1.5,42,,\"x,y\"\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestBiffWriter)
#include "tst_biffwriter.moc"

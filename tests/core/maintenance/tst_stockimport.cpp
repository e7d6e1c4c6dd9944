#include "TestDatabase.h"
#include "common/WorkbookReader.h"
#include "data/QueryHelpers.h"
#include "maintenance/StockImport.h"
#include "shell/Session.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

// Stock records from workbooks into the stock table, on the engine of this
// run: what is read from each kind of file, what is refused and why, and
// that a refused, failed or cancelled import adds nothing.
class TestStockImport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qInfo("database backend: %s", qPrintable(TestDatabase::backendName())); }
    void init();
    void cleanup() { m_database.reset(); }

    void readsEveryKindOfFile_data();
    void readsEveryKindOfFile();
    void refusesWithAReason_data();
    void refusesWithAReason();
    void malformedFilesFailWithAReason_data();
    void malformedFilesFailWithAReason();
    void xlsReaderFaultIsContained_data();
    void xlsReaderFaultIsContained();
    void headerOnlyImportsNothing();
    void blankInitialsFilledOnlyWhenAsked();
    void writesValuesAsTheyStandTwice();
    void cancelAddsNothing();
    void failureHalfWayAddsNothing();
    void restrictedSessionIsRefused();

private:
    static QString data(const QString &name)
    {
        return qEnvironmentVariable("LWJXC_TEST_DATA") + u"/import/"_s + name;
    }
    int rowCount() { return ScalarValue(m_database->db(), u"select count(*) from data"_s).toInt(); }
    // A .csv of n good rows in a temporary folder.
    QString manyRows(int n);

    std::unique_ptr<TestDatabase> m_database;
    QTemporaryDir m_dir;
    Session m_admin{Schema::kAdministrator, 1};
};

void TestStockImport::init()
{
    m_database = std::make_unique<TestDatabase>();
    QVERIFY2(m_database->isOpen(), qPrintable(m_database->errorText()));
}

QString TestStockImport::manyRows(int n)
{
    const QString path = m_dir.filePath(u"many.csv"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(StockImport::columnNames().join(u',').toUtf8() + '\n');
    for (int i = 0; i < n; ++i)
        file.write(u"货%1,,C%1,箱,,,,1,2,2,3,0,0,2,2,,2024-02-0%2\n"_s.arg(i).arg(i % 9 + 1).toUtf8());
    return path;
}

void TestStockImport::readsEveryKindOfFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("category");
    QTest::addColumn<double>("purchasePrice");
    QTest::addColumn<double>("salePrice");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("lastRemark");

    // The first row and the remark of the last; the blank row in the middle
    // of the sheets is skipped.
    const QString remark = u"O'Brien \"特价\""_s;
    // Columns in reverse order with an extra one, the sheet name in capitals
    // on the second sheet, a date-formatted cell, a barcode stored as a number.
    QTest::newRow("xls BIFF8") << u"good.xls"_s << 3 << u"拉杆箱"_s << u"6901234567890"_s << u"箱"_s << 120.0
                               << 199.0 << QDate(2024, 3, 5) << remark;
    QTest::newRow("xls BIFF5 in GBK") << u"biff5.xls"_s << 1 << u"旅行箱"_s << u"X24"_s << u"箱"_s << 150.0
                                      << 260.0 << QDate(2023, 12, 1) << u"九五版"_s;
    QTest::newRow("xlsx shared strings") << u"good.xlsx"_s << 3 << u"拉杆箱"_s << u"6901234567890"_s
                                         << u"箱"_s << 120.0 << 199.0 << QDate(2024, 3, 5) << remark;
    // Rich and inline strings, formulas by their cached results, a custom
    // date format in the 1904 date system.
    QTest::newRow("xlsx inline, formulas, 1904") << u"inline.xlsx"_s << 1 << u"登机箱"_s << u"K9"_s << u"箱"_s
                                                 << 10.0 << 18.5 << QDate(2024, 3, 2) << QString();
    // Saved by LibreOffice: every kind of formula result (text, number,
    // date-formatted date) as the program that wrote the file computed it.
    for (const QString &kind : {u"xls"_s, u"xlsx"_s})
        QTest::newRow(qPrintable(kind + u" formulas by LibreOffice"_s))
            << u"formulas."_s + kind << 1 << u"拉杆箱"_s << u"6901234567890"_s << u"箱"_s << 120.0 << 192.0
            << QDate(2024, 3, 5) << u"高价"_s;
    QTest::newRow("csv UTF-8 with BOM") << u"good_utf8bom.csv"_s << 3 << u"拉杆箱"_s << u"6901234567890"_s
                                        << u"箱"_s << 120.0 << 199.0 << QDate(2024, 3, 5) << remark;
    QTest::newRow("csv GBK") << u"good_gbk.csv"_s << 3 << u"拉杆箱"_s << u"6901234567890"_s << u"箱"_s
                             << 120.0 << 199.0 << QDate(2024, 3, 5) << remark;
}

void TestStockImport::readsEveryKindOfFile()
{
    QFETCH(QString, file);
    QFETCH(int, rows);
    const StockImport::Reading reading = StockImport::read(data(file), {});
    QVERIFY2(reading.ok, qPrintable(reading.failure));
    QCOMPARE(reading.rows.size(), rows);
    const ImportedStock &first = reading.rows.first();
    QTEST(first.text('a'), "name");
    QTEST(first.text('c'), "code");
    QTEST(first.text('d'), "category");
    QVERIFY(first.numbers[0].has_value());
    QTEST(*first.numbers[0], "purchasePrice");
    QTEST(*first.numbers[3], "salePrice");
    QTEST(first.stockInDate, "date");
    QTEST(reading.rows.last().text('z'), "lastRemark");
}

void TestStockImport::refusesWithAReason_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("reasons");

    QTest::newRow("data on another sheet")
        << u"wrong_sheet.xls"_s << QStringList{u"工作簿中没有名为“qmzrtk”的工作表（只有 Sheet1）"_s};
    QTest::newRow("columns missing") << u"missing_column.xlsx"_s
                                     << QStringList{u"工作表第一行缺少列名：a7、day1"_s};
    // Twelve bad cells: the first ten named in sheet order, then the count.
    QTest::newRow("bad cells") << u"bad_cells.xls"_s
                               << QStringList{u"共 13 处"_s,
                                              u"第 12 行 a7：“abc”不是数字"_s,
                                              u"第 13 行 day1：“昨天”不是日期"_s,
                                              u"第 14 行 a：“长长长"_s,
                                              u"最多100个字符，现在是300个"_s,
                                              u"第 22 行 a1：“1,5”不是数字"_s,
                                              u"……等 13 处"_s};
}

void TestStockImport::refusesWithAReason()
{
    QFETCH(QString, file);
    QFETCH(QStringList, reasons);
    const StockImport::Reading reading = StockImport::read(data(file), {});
    QVERIFY(!reading.ok);
    QVERIFY(reading.rows.isEmpty());
    for (const QString &reason : reasons)
        QVERIFY2(reading.failure.contains(reason), qPrintable(reading.failure));
    // Only the first ten are named.
    QVERIFY2(!reading.failure.contains(u"第 23 行"_s), qPrintable(reading.failure));
}

void TestStockImport::malformedFilesFailWithAReason_data()
{
    QTest::addColumn<QString>("file");
    const QDir dir(qEnvironmentVariable("LWJXC_TEST_DATA") + u"/import/malformed"_s);
    const QStringList files = dir.entryList(QDir::Files);
    QVERIFY(files.size() >= 10);
    for (const QString &name : files)
        QTest::newRow(qPrintable(name)) << dir.filePath(name);
    QTest::newRow("missing file") << dir.filePath(u"no-such-file.xls"_s);
}

void TestStockImport::malformedFilesFailWithAReason()
{
    QFETCH(QString, file);
    const StockImport::Reading reading = StockImport::read(file, {});
    // A sector chain that turns back on itself still yields the workbook's
    // bytes, so that file may read; what counts is that it ends.
    if (reading.ok && file.endsWith(u"fat_loop.xls"_s))
        return;
    QVERIFY(!reading.ok);
    QVERIFY(!reading.cancelled);
    QVERIFY(reading.rows.isEmpty());
    QVERIFY2(reading.failure.size() > 4, qPrintable(reading.failure));
}

void TestStockImport::xlsReaderFaultIsContained_data()
{
    QTest::addColumn<QString>("helper"); // the script standing in for the reader; empty: the real one
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason");

    // freexl reads past a buffer while opening this file; whatever it does,
    // it does it in the helper process.
    QTest::newRow("freexl over-read reproducer")
        << QString() << u"asan/freexl_iconv_overread.xls"_s << u"无法读取"_s;
    QTest::newRow("reader crashes") << u"kill -SEGV $$"_s << u"good.xls"_s << u"无法读取该文件：读取时出错"_s;
    QTest::newRow("reader crashes mid-row") << u"printf 'N\\001\\0\\0\\0qR\\0\\0\\0\\0'; kill -ABRT $$"_s
                                            << u"good.xls"_s << u"无法读取该文件：读取时出错"_s;
    QTest::newRow("reader hangs") << u"exec sleep 30"_s << u"good.xls"_s << u"无法读取该文件：读取超时"_s;
    QTest::newRow("reader writes garbage") << u"printf 'R\\377\\377\\377\\377'; exec sleep 30"_s
                                           << u"good.xls"_s << u"无法读取该文件：读取时出错"_s;
    QTest::newRow("reader missing") << u"-"_s << u"good.xls"_s << u"无法读取该文件"_s;
}

void TestStockImport::xlsReaderFaultIsContained()
{
    QFETCH(QString, helper);
    QFETCH(QString, file);
    QFETCH(QString, reason);
    const QByteArray realHelper = qgetenv("LWJXC_XLSREAD");
    const int timeout = XlsWorkbookReader::helperTimeoutMs;
    const auto restore = qScopeGuard([&] {
        qputenv("LWJXC_XLSREAD", realHelper);
        XlsWorkbookReader::helperTimeoutMs = timeout;
    });
    if (!helper.isEmpty()) {
        const QString script = m_dir.filePath(u"xlsread.sh"_s);
        QFile out(script);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write("#!/bin/sh\n" + helper.toUtf8() + '\n');
        out.close();
        out.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        qputenv("LWJXC_XLSREAD",
                helper == u"-"_s ? QFile::encodeName(m_dir.filePath(u"none"_s)) : QFile::encodeName(script));
        XlsWorkbookReader::helperTimeoutMs = 1500;
    }
    const StockImport::Reading reading = StockImport::read(data(file), {});
    QVERIFY(!reading.ok);
    QVERIFY(!reading.cancelled);
    QVERIFY(reading.rows.isEmpty());
    QVERIFY2(reading.failure.startsWith(reason), qPrintable(reading.failure));

    // Still here, and the real reader reads a sound workbook as before.
    qputenv("LWJXC_XLSREAD", realHelper);
    QCOMPARE(StockImport::read(data(u"good.xls"_s), {}).rows.size(), 3);
}

void TestStockImport::headerOnlyImportsNothing()
{
    const StockImport::Reading reading = StockImport::read(data(u"header_only.xls"_s), {});
    QVERIFY2(reading.ok, qPrintable(reading.failure));
    QCOMPARE(reading.rows.size(), 0);
    QString error;
    QCOMPARE(StockImport::write(m_database->db(), m_admin, reading.rows, {}, &error),
             StockImport::Outcome::Written);
    QCOMPARE(rowCount(), 0);
}

void TestStockImport::blankInitialsFilledOnlyWhenAsked()
{
    // 双肩包 has empty e and f; 拉杆箱 carries its own "lgx" and "20c".
    const auto asStored = StockImport::read(data(u"good.xlsx"_s), {});
    QVERIFY(asStored.ok);
    QCOMPARE(asStored.rows.at(1).text('e'), QString());
    QCOMPARE(asStored.rows.at(1).text('f'), QString());

    const auto filled = StockImport::read(data(u"good.xlsx"_s), {.fillInitials = true});
    QVERIFY(filled.ok);
    QCOMPARE(filled.rows.at(0).text('e'), u"lgx"_s);
    QCOMPARE(filled.rows.at(0).text('f'), u"20c"_s);
    QCOMPARE(filled.rows.at(1).text('e'), u"sjb"_s);
    QCOMPARE(filled.rows.at(1).text('f'), u"B-2"_s);
}

void TestStockImport::writesValuesAsTheyStandTwice()
{
    const auto reading = StockImport::read(data(u"good.xls"_s), {});
    QVERIFY2(reading.ok, qPrintable(reading.failure));
    QString error;
    for (int pass = 1; pass <= 2; ++pass) {
        QCOMPARE(StockImport::write(m_database->db(), m_admin, reading.rows, {}, &error),
                 StockImport::Outcome::Written);
        QCOMPARE(rowCount(), 3 * pass);
    }
    // Nothing is derived: 双肩包's stock amount stays what the sheet says
    // (not 1 x 7), its empty initials stay empty, the empty date stays empty.
    QSqlQuery q =
        OpenStatement(m_database->db(),
                      u"select a, b, c, e, f, g, \"1\", \"3\", \"5\", \"6\", \"7\", \"8\", z, day1 from data "
                      "where b = ? order by id"_s,
                      {u"B-2"_s});
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), u"双肩包"_s);
    QCOMPARE(q.value(2).toString(), u"B002"_s);
    QCOMPARE(q.value(3).toString(), QString());
    QCOMPARE(q.value(4).toString(), QString());
    QCOMPARE(q.value(5).toString(), u"义乌小商品"_s);
    QCOMPARE(q.value(6).toDouble(), 45.5);
    QCOMPARE(q.value(7).toDouble(), 182.0);
    QCOMPARE(q.value(8).toDouble(), 1.0);
    QCOMPARE(q.value(9).toDouble(), 89.9);
    QCOMPARE(q.value(10).toDouble(), 3.0);
    QCOMPARE(q.value(11).toDouble(), 136.5);
    QCOMPARE(Dialect::toDate(q.value(13)), QDate(2024, 3, 6));
    // Quotes in a remark are stored as typed.
    QCOMPARE(
        ScalarValue(m_database->db(), u"select count(*) from data where z = ?"_s, {u"O'Brien \"特价\""_s})
            .toInt(),
        2);
}

void TestStockImport::cancelAddsNothing()
{
    const auto reading = StockImport::read(manyRows(450), {});
    QVERIFY2(reading.ok, qPrintable(reading.failure));
    QCOMPARE(reading.rows.size(), 450);
    QList<int> seen;
    QString error;
    const auto outcome = StockImport::write(
        m_database->db(), m_admin, reading.rows,
        [&seen](int done, int total) {
            seen.append(done);
            return !(done >= 400 && total == 450);
        },
        &error);
    QCOMPARE(outcome, StockImport::Outcome::Cancelled);
    QCOMPARE(seen, (QList<int>{200, 400}));
    QCOMPARE(rowCount(), 0);
    // The connection is usable afterwards.
    QCOMPARE(StockImport::write(m_database->db(), m_admin, reading.rows, {}, &error),
             StockImport::Outcome::Written);
    QCOMPARE(rowCount(), 450);
}

void TestStockImport::failureHalfWayAddsNothing()
{
    // The database refuses one record of the third batch.
    Database &db = m_database->db();
    QSqlQuery setup(db.connection());
    if (db.dialect().isSQLite()) {
        QVERIFY2(setup.exec(u"create trigger refuse before insert on data when new.c = 'C420' "
                            "begin select raise(abort, 'refused'); end"_s),
                 qPrintable(setup.lastError().text()));
    } else {
        QVERIFY2(setup.exec(u"create function refuse() returns trigger as $$ begin if new.c = 'C420' then "
                            "raise exception 'refused'; end if; return new; end $$ language plpgsql"_s),
                 qPrintable(setup.lastError().text()));
        QVERIFY2(setup.exec(
                     u"create trigger refuse before insert on data for each row execute function refuse()"_s),
                 qPrintable(setup.lastError().text()));
    }
    const auto reading = StockImport::read(manyRows(450), {});
    QVERIFY(reading.ok);
    QString error;
    QCOMPARE(StockImport::write(db, m_admin, reading.rows, {}, &error), StockImport::Outcome::Failed);
    QVERIFY2(error.contains(u"refused"_s), qPrintable(error));
    QCOMPARE(rowCount(), 0);
}

void TestStockImport::restrictedSessionIsRefused()
{
    const auto reading = StockImport::read(data(u"good.xls"_s), {});
    QVERIFY(reading.ok);
    QString error;
    QVERIFY_THROWS_EXCEPTION(
        AccessDenied, StockImport::write(m_database->db(), Session{u"店员"_s, 2}, reading.rows, {}, &error));
    QCOMPARE(rowCount(), 0);
}

QTEST_GUILESS_MAIN(TestStockImport)
#include "tst_stockimport.moc"

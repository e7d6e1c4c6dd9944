#include "PdfReadBack.h"
#include "SignedInMainForm.h"

#include "common/DataGrid.h"
#include "common/GridPrinter.h"
#include "data/QueryHelpers.h"
#include "stock/StockListCommands.h"
#include "stock/StockListView.h"

#include <QProcess>
#include <QRegularExpression>

// "打 印" on the stock list: the preview's pages printed to PDF and read back
// with pdftotext.
class TestGridPrinter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        SignedInMainForm::initTestCase(m_home);
        QProcess probe;
        probe.start(QStringLiteral("pdftotext"), {QStringLiteral("-v")});
        QVERIFY2(probe.waitForFinished(10000), "pdftotext (poppler-utils) is needed; test.sh installs it");
    }

    void init()
    {
        m_shop = std::make_unique<SignedInMainForm>();
        QVERIFY(m_shop->database.isOpen());
        QVERIFY(m_shop->open());
        Prompter::clearShown();
        m_pdf = m_dir.filePath(QStringLiteral("list.pdf"));
        QFile::remove(m_pdf);
        GridPrinter::setPreviewHook([this](GridPrinter &printer) {
            m_pages = printer.printToPdf(m_pdf) ? printer.lastPageCount() : 0;
        });
    }

    void cleanup()
    {
        GridPrinter::setPreviewHook(nullptr);
        if (!qEnvironmentVariableIsEmpty("LWJXC_KEEP_PDF"))
            QFile::copy(m_pdf, qEnvironmentVariable("LWJXC_KEEP_PDF") + QLatin1Char('/') +
                                   QString::fromLatin1(QTest::currentTestFunction()) +
                                   QStringLiteral(".pdf"));
        m_shop.reset();
    }

    // Heading, page header, the records and the closing "制表人：" line.
    void printsHeadingHeaderRecordsAndClosingLine()
    {
        m_shop->addStock(QStringLiteral("新秀丽拉杆箱"), 350, 10, 3500.0, 2, QDate(2024, 1, 3));
        m_shop->addStock(QStringLiteral("双肩包"), 45.5, 4, QVariant(QMetaType::fromType<double>()), 1,
                         QDate(2024, 1, 1));
        m_shop->form->showAllRecords();
        m_shop->action("printListAction")->trigger();
        QCOMPARE(m_pages, 1);
        const QString text = PdfReadBack::text(m_pdf);
        QVERIFY2(!text.isEmpty(), "pdftotext read nothing");
        QVERIFY2(PdfReadBack::withoutBlanks(text).contains(QStringLiteral("商品进货统计报表")),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Page. 1")));
        QVERIFY(!text.contains(QStringLiteral("&[Page]")));
        QVERIFY(!text.contains(QStringLiteral("%[Today1]")));
        QVERIFY2(text.contains(QRegularExpression(QStringLiteral("制表人：超级管理员\\s+日期：2024-03-05"))),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("3500")));
        QVERIFY(text.contains(QStringLiteral("双肩包")));
        QVERIFY(text.contains(QStringLiteral("2024-01-03")));
        QVERIFY(text.contains(QStringLiteral("总计")));
        // Footer sum of the purchase quantities.
        QVERIFY(text.contains(QStringLiteral("14")));
    }

    // A long list runs over several pages, each with its page number and
    // the titles again; the closing line comes once, after the last record.
    void longListHasNumberedPages()
    {
        for (int i = 0; i < 120; ++i)
            m_shop->addStock(QStringLiteral("商品%1").arg(i, 3, 10, QLatin1Char('0')), 10, 1, 10.0, 0,
                             QDate(2024, 1, 1).addDays(i));
        m_shop->form->showAllRecords();
        m_shop->action("printListAction")->trigger();
        QVERIFY(m_pages >= 2);
        const QString text = PdfReadBack::text(m_pdf);
        for (int page = 1; page <= m_pages; ++page)
            QVERIFY2(text.contains(QStringLiteral("Page. %1").arg(page)), qPrintable(QString::number(page)));
        QCOMPARE(text.count(QStringLiteral("入库日期")), m_pages);
        QCOMPARE(text.count(QStringLiteral("制表人：")), 1);
        QVERIFY(text.contains(QStringLiteral("商品000")));
        QVERIFY(text.contains(QStringLiteral("商品119")));
        QVERIFY(text.lastIndexOf(QStringLiteral("商品119")) < text.indexOf(QStringLiteral("制表人：")));
    }

    void everyTitleAndFigurePrintsWhole_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("longCode");
        QTest::addColumn<QPageLayout::Orientation>("orientation");
        const QString ean = QStringLiteral("6901234567892");
        // Arial is what the lists ask for; the Chinese and, where Arial is
        // missing, everything else come from a Simplified Chinese face.
        QTest::newRow("usual") << QStringLiteral("Arial") << ean << QPageLayout::Portrait;
        QTest::newRow("serif face") << QStringLiteral("AR PL UMing CN") << ean << QPageLayout::Portrait;
        // A face whose ideographs double as Kangxi radicals is passed over.
        QTest::newRow("radical-sharing face")
            << QStringLiteral("Noto Sans CJK SC") << ean << QPageLayout::Portrait;
        // Too wide for readable text across portrait A4.
        QTest::newRow("landscape") << QStringLiteral("Arial")
                                   << QStringLiteral("SAMSONITE-ALUMINIUM-TRUNK-2024-LIMITED-EDITION-0001")
                                   << QPageLayout::Landscape;
    }

    // The fifteen columns of the stock list do not fit portrait A4 at the
    // print size: the grid is scaled as a whole (landscape when it would get
    // too small), so every title, code, date and total reads whole.
    void everyTitleAndFigurePrintsWhole()
    {
        QFETCH(QString, family);
        QFETCH(QString, longCode);
        QFETCH(QPageLayout::Orientation, orientation);
        const QStringList codes = {longCode, QStringLiteral("6923456789013"),
                                   QStringLiteral("4006381333931")};
        Database &db = m_shop->database.db();
        for (int i = 0; i < codes.size(); ++i)
            ExecuteStatement(
                db,
                QStringLiteral("insert into data (a, b, c, d, \"1\", \"2\", \"3\", \"4\", \"5\", "
                               "\"6\", \"7\", \"8\", day1, g, z, e, f) "
                               "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {QStringLiteral("新秀丽铝框拉杆箱%1").arg(i), QStringLiteral("28寸磨砂黑"), codes.at(i),
                 QStringLiteral("拉杆箱"), 1999.5, 467612, 934989194.0, 2599, 12, 31188.0, 467600,
                 934965200.0, db.dialect().dateValue(QDate(2024, 11, 20 + i)), QStringLiteral("广州新秀丽"),
                 QStringLiteral("展厅样品"), QStringLiteral("xxl"), QStringLiteral("mh")});
        m_shop->form->showAllRecords();
        qreal scale = 0;
        // A stock list as wide as it gets: every column and long figures.
        QPageLayout::Orientation printedOrientation = QPageLayout::Portrait;
        GridPrinter::setPreviewHook([&](GridPrinter &printer) {
            GridPrintSettings settings = printer.settings();
            settings.fontFamily = family;
            printer.setSettings(settings);
            m_pages = printer.printToPdf(m_pdf) ? printer.lastPageCount() : 0;
            scale = printer.lastScale();
            printedOrientation = printer.lastOrientation();
        });
        m_shop->action("printListAction")->trigger();
        QCOMPARE(m_pages, 1);
        QVERIFY2(9 * scale >= 6.49, qPrintable(QString::number(9 * scale)));
        QCOMPARE(printedOrientation, orientation);
        // Read as printed: no radicals standing in for 金, 入 or 日.
        const QString text = PdfReadBack::rawText(m_pdf);
        const QString compact = PdfReadBack::withoutBlanks(text);
        for (const QString &title :
             {QStringLiteral("名称"), QStringLiteral("规格型号"), QStringLiteral("编码"),
              QStringLiteral("类别"), QStringLiteral("数量"), QStringLiteral("单价"), QStringLiteral("金额"),
              QStringLiteral("入库日期"), QStringLiteral("供货商"), QStringLiteral("备注"),
              QStringLiteral("商品信息"), QStringLiteral("存货")})
            QVERIFY2(compact.contains(title), qPrintable(title + QLatin1Char('\n') + text));
        QVERIFY2(!text.contains(QRegularExpression(QStringLiteral("[\\x{2E80}-\\x{2FDF}]"))),
                 qPrintable(text));
        QStringList figures = codes;
        figures << QStringLiteral("2024-11-20")
                << QStringLiteral("2024-11-22")
                // Footer totals: purchase quantity and amount, stock amount.
                << QStringLiteral("1402836") << QStringLiteral("2804967582") << QStringLiteral("2804895600");
        for (const QString &figure : std::as_const(figures))
            QVERIFY2(QRegularExpression(QStringLiteral("(^|\\s)") + figure + QStringLiteral("(\\s|$)"))
                         .match(text)
                         .hasMatch(),
                     qPrintable(figure + QLatin1Char('\n') + text));
    }

    // A hidden column is not printed.
    void hiddenColumnIsNotPrinted()
    {
        m_shop->addStock(QStringLiteral("拉杆箱"), 350, 10, 3500.0, 2, QDate(2024, 1, 3),
                         QStringLiteral("独特备注"));
        m_shop->form->showAllRecords();
        m_shop->action("hideRemarkAction")->trigger();
        m_shop->action("printListAction")->trigger();
        const QString text = PdfReadBack::text(m_pdf);
        QVERIFY(text.contains(QStringLiteral("拉杆箱")));
        QVERIFY(!text.contains(QStringLiteral("独特备注")));
    }

    void substitutions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("printed");
        QTest::newRow("page header") << QStringLiteral("Page. &[Page]") << 3 << QStringLiteral("Page. 3");
        QTest::newRow("closing line")
            << QStringLiteral("%[Today1]") << 1 << QStringLiteral("制表人：张三    日期：2024-03-05");
        QTest::newRow("twice") << QStringLiteral("%[Today1]/%[Today1]") << 1
                               << QStringLiteral(
                                      "制表人：张三    日期：2024-03-05/制表人：张三    日期：2024-03-05");
        QTest::newRow("plain") << QStringLiteral("商 品") << 1 << QStringLiteral("商 品");
    }

    void substitutions()
    {
        QFETCH(QString, text);
        QFETCH(int, page);
        QFETCH(QString, printed);
        GridPrinter printer(nullptr);
        printer.addSubstitution(QStringLiteral("%[Today1]"),
                                StockListCommands::todayLine(QStringLiteral("张三"), QDate(2024, 3, 5)));
        QCOMPARE(printer.substituted(text, page), printed);
    }

private:
    QTemporaryDir m_home;
    QTemporaryDir m_dir;
    std::unique_ptr<SignedInMainForm> m_shop;
    QString m_pdf;
    int m_pages = 0;
};

QTEST_MAIN(TestGridPrinter)
#include "tst_gridprinter.moc"

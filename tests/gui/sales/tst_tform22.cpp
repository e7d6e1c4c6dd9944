#include "TestDatabase.h"
#include "common/Prompter.h"
#include "data/Clock.h"
#include "data/QueryHelpers.h"
#include "data/Schema.h"
#include "data/SettingsStore.h"
#include "maintenance/Tpos.h"
#include "sales/Tform22.h"
#include "sales/TicketPanel.h"
#include "shell/SessionLog.h"
#include "shell/TMainForm.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

// The printed order document: what it shows read back from the PDF, which
// lines belong to it, its pages, the slogan band, and the ways the operator
// reaches it.
class TestTform22 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void showsTheWholeOrder();
    void onlyLinesOfThatOrderNumber_data();
    void onlyLinesOfThatOrderNumber();
    void orderWithoutCustomer();
    void columnHeaderOnEveryPage();
    void pagination_data();
    void pagination();
    void sloganBand();
    void negativeTotal();
    void longFiguresPrintWhole_data();
    void longFiguresPrintWhole();
    void emptyOrderNumber();
    void ticketPanelButton();
    void mainWindowPrintsTheTicketsOrder();

private:
    struct Line
    {
        QString order;
        QString name;
        QString spec = u"24寸"_s;
        QString code = u"6901"_s;
        QString remark;
        double price = 0;
        double quantity = 0;
        QString customer;
        QString address;
        QString contact;
    };
    void insert(const Line &line);
    void insertOrder(const QString &order, int count);
    // The document's text, page by page (pdftotext), blanks removed so the
    // layout's spacing does not matter.
    QStringList pagesOf(const QString &pdf);
    bool print(const QString &order, const ReceiptTexts &texts = ReceiptTexts::defaults());
    QString pdfPath() const { return m_dir->filePath(u"document.pdf"_s); }

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestDatabase> m_database;
    std::unique_ptr<ManualClock> m_clock;
    std::unique_ptr<ScopedClock> m_clockScope;
};

namespace {
QString squeezed(QString text)
{
    static const QRegularExpression blanks(u"\\s+"_s);
    return text.remove(blanks);
}
} // namespace

void TestTform22::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_home.isValid());
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, m_home.filePath(u"user"_s));
    Prompter::setTestMode(true);
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestTform22::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_database = std::make_unique<TestDatabase>();
    QVERIFY2(m_database->isOpen(), qPrintable(m_database->errorText()));
    m_clock = std::make_unique<ManualClock>(QDateTime(QDate(2026, 12, 8), QTime(15, 4, 5)));
    m_clockScope = std::make_unique<ScopedClock>(*m_clock);
    Prompter::clearShown();
    Tform22::setPdfRedirect(pdfPath());
}

void TestTform22::cleanup()
{
    // LWJXC_KEEP_PDF=folder keeps each test's document for a look.
    if (!qEnvironmentVariableIsEmpty("LWJXC_KEEP_PDF"))
        QFile::copy(pdfPath(), qEnvironmentVariable("LWJXC_KEEP_PDF") + u'/' +
                                   QString::fromLatin1(QTest::currentTestFunction()) + u'-' +
                                   QString::fromLatin1(QTest::currentDataTag()) + u".pdf"_s);
    Tform22::setPdfRedirect(QString());
    m_clockScope.reset();
    m_clock.reset();
    m_database.reset();
    m_dir.reset();
}

void TestTform22::insert(const Line &line)
{
    ExecuteStatement(m_database->db(),
                     u"insert into data1 (z, a, b, c, j, g, h, i, \"2\", \"3\", \"4\") "
                     u"values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s,
                     {line.order, line.name, line.spec, line.code, line.remark, line.customer, line.address,
                      line.contact, line.price, line.quantity, line.price * line.quantity});
}

void TestTform22::insertOrder(const QString &order, int count)
{
    for (int i = 1; i <= count; ++i) {
        Line line;
        line.order = order;
        line.name = u"货品%1号"_s.arg(i);
        line.price = 10;
        line.quantity = 1;
        line.customer = u"李四"_s;
        insert(line);
    }
}

QStringList TestTform22::pagesOf(const QString &pdf)
{
    // To look at the printed pages: TFORM22_PDF_DIR=/some/folder keeps a copy.
    const QString keep = qEnvironmentVariable("TFORM22_PDF_DIR");
    if (!keep.isEmpty()) {
        const QString name = QString::fromLatin1(QTest::currentTestFunction()) + u".pdf"_s;
        QFile::remove(QDir(keep).filePath(name));
        QFile::copy(pdf, QDir(keep).filePath(name));
    }
    QProcess pdftotext;
    pdftotext.start(u"pdftotext"_s, {u"-layout"_s, pdf, u"-"_s});
    if (!pdftotext.waitForFinished(30000) || pdftotext.exitCode() != 0)
        return {};
    // Fonts that share a glyph between an ideograph and its Kangxi radical
    // make pdftotext answer the radical; compatibility normalisation reads
    // them as the ideographs that were printed (it also turns the full-width
    // brackets and ￥ into their plain forms).
    const QString text =
        QString::fromUtf8(pdftotext.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    // Glyphs the CJK font shares between a character and a variant or
    // radical come back as the other one; read them as printed.
    QString readable = text;
    for (const auto &[variant, printed] :
         {std::pair{u'戶', u'户'}, std::pair{u'⻆', u'角'}, std::pair{u'⺠', u'民'}})
        readable.replace(QChar(variant), QChar(printed));
    QStringList pages = readable.split(u'\f');
    if (!pages.isEmpty() && squeezed(pages.last()).isEmpty())
        pages.removeLast();
    for (QString &page : pages)
        page = squeezed(page);
    return pages;
}

bool TestTform22::print(const QString &order, const ReceiptTexts &texts)
{
    QFile::remove(pdfPath());
    return Tform22::preview(nullptr, m_database->db(), order, u"超级管理员"_s, texts);
}

// As the document shows it after normalisation and without blanks.
static QString shown(const QString &text)
{
    return squeezed(text.normalized(QString::NormalizationForm_KC));
}

void TestTform22::showsTheWholeOrder()
{
    Line first{u"20261208001"_s, u"新秀丽拉杆箱"_s,    u"28寸"_s,       u"6901234"_s, u"红色"_s, 12.5, 3,
               u"张三"_s,        u"杭州市西湖路1号"_s, u"13800001111"_s};
    Line second{u"20261208001"_s, u"双肩包"_s, u"大号"_s, u"6905678"_s, QString(), 40, 2,
                u"另一位"_s,      u"别处"_s,   u"000"_s};
    insert(first);
    insert(second);
    ReceiptTexts texts = ReceiptTexts::defaults();
    texts.documentContact = u"电话：0571-86001234 地址：杭州市文三路"_s;
    QVERIFY(print(u"  20261208001 "_s, texts));
    const QStringList pages = pagesOf(pdfPath());
    QCOMPARE(pages.size(), 1);
    const QString page = pages.first();
    for (const QString &expected : QStringList{texts.documentHeader,
                                               texts.documentContact,
                                               u"客户名称：张三"_s,
                                               u"单 号：20261208001"_s,
                                               u"客户地址：杭州市西湖路1号"_s,
                                               u"联系电话：13800001111"_s,
                                               u"日 期：2026-12-08"_s,
                                               u"商品名称"_s,
                                               u"规格型号"_s,
                                               u"编 码"_s,
                                               u"数量"_s,
                                               u"单 价"_s,
                                               u"金 额"_s,
                                               u"备 注"_s,
                                               u"新秀丽拉杆箱28寸69012343"_s,
                                               u"12.537.5红色"_s,
                                               u"双肩包大号69056782"_s,
                                               u"4080"_s,
                                               u"合 计"_s,
                                               u"人民币"_s,
                                               u"（大写） 壹佰壹拾柒元伍角"_s,
                                               u"￥117.5"_s,
                                               texts.documentSlogan1,
                                               texts.documentSlogan2,
                                               u"收货人："_s,
                                               u"送货人："_s,
                                               u"制单人：超级管理员"_s})
        QVERIFY2(page.contains(shown(expected)), qPrintable(expected + u" not in "_s + page));
    // The customer comes from the first line only.
    QVERIFY(!page.contains(shown(u"另一位"_s)));
    // Top to bottom in band order.
    QVERIFY(page.indexOf(shown(texts.documentHeader)) < page.indexOf(u"客户名称"_s));
    QVERIFY(page.indexOf(u"新秀丽拉杆箱"_s) < page.indexOf(u"双肩包"_s));
    QVERIFY(page.indexOf(u"双肩包"_s) < page.indexOf(u"合计"_s));
    QVERIFY(page.indexOf(u"合计"_s) < page.indexOf(u"制单人"_s));
    QVERIFY(Prompter::shown().isEmpty());
}

void TestTform22::onlyLinesOfThatOrderNumber_data()
{
    QTest::addColumn<QString>("other");
    QTest::newRow("longer number containing it") << u"202612080011"_s;
    QTest::newRow("number with a prefix") << u"920261208001"_s;
    QTest::newRow("part of it") << u"2026120800"_s;
}

void TestTform22::onlyLinesOfThatOrderNumber()
{
    QFETCH(QString, other);
    insert({u"20261208001"_s, u"拉杆箱"_s, u"24寸"_s, u"1"_s, QString(), 100, 1, u"张三"_s, {}, {}});
    insert({other, u"钱包"_s, u"小"_s, u"2"_s, QString(), 55, 1, u"王五"_s, {}, {}});
    QVERIFY(print(u"20261208001"_s));
    const QString page = pagesOf(pdfPath()).join(QString());
    QVERIFY(page.contains(shown(u"拉杆箱"_s)));
    QVERIFY(!page.contains(shown(u"钱包"_s)));
    QVERIFY(page.contains(shown(u"（大写） 壹佰元整"_s)));
    QVERIFY(page.contains(shown(u"￥100"_s)));
    QVERIFY(page.contains(shown(u"客户名称：张三"_s)));
}

void TestTform22::orderWithoutCustomer()
{
    insert({u"20261208003"_s, u"手提包"_s, u"中"_s, u"3"_s, QString(), 0.53, 1, QString(), {}, {}});
    QVERIFY(print(u"20261208003"_s));
    const QString page = pagesOf(pdfPath()).join(QString());
    // Nothing between the caption and the next label.
    QVERIFY2(page.contains(shown(u"客户名称：单号："_s)), qPrintable(page));
    QVERIFY(page.contains(shown(u"（大写） 伍角叁分"_s)));
}

void TestTform22::columnHeaderOnEveryPage()
{
    insertOrder(u"20261208005"_s, 60);
    QVERIFY(print(u"20261208005"_s));
    const QStringList pages = pagesOf(pdfPath());
    QCOMPARE(pages.size(), 2);
    const QString header = shown(u"商品名称 规格型号 编 码 数量 单 价 金 额 备 注"_s);
    for (const QString &page : pages)
        QVERIFY2(page.contains(header), qPrintable(page));
    // Every line exactly once, in order, across both pages.
    const QString all = pages.join(QString());
    qsizetype from = 0;
    for (int i = 1; i <= 60; ++i) {
        const QString name = u"货品%1号"_s.arg(i);
        const qsizetype at = all.indexOf(name, from);
        QVERIFY2(at >= 0, qPrintable(name));
        QCOMPARE(all.count(name), 1);
        from = at;
    }
    QVERIFY(pages.at(0).contains(shown(u"货品1号"_s)));
    QVERIFY(pages.at(1).contains(shown(u"货品60号"_s)));
    // The title and customer lines only on the first page, the summary and
    // signatures on the last.
    QVERIFY(!pages.at(1).contains(shown(u"客户名称"_s)));
    QVERIFY(!pages.at(0).contains(shown(u"制单人"_s)));
    QVERIFY(pages.at(1).contains(shown(u"（大写） 陆佰元整"_s)));
    QVERIFY(pages.at(1).contains(shown(u"制单人：超级管理员"_s)));
}

void TestTform22::pagination_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<bool>("slogans");
    QTest::addColumn<int>("pageCount");
    QTest::addColumn<int>("linesOnFirstPage");

    // The first page holds 136 pixels of title, customer lines and header,
    // then 36 rows of 25 in its 1047.
    QTest::newRow("one line") << 1 << true << 1 << 1;
    QTest::newRow("summary bands still fit") << 31 << true << 1 << 31;
    QTest::newRow("signatures move on") << 32 << true << 2 << 32;
    QTest::newRow("no slogans, two more fit") << 33 << false << 1 << 33;
    QTest::newRow("full first page") << 36 << true << 2 << 36;
    QTest::newRow("60 lines") << 60 << true << 2 << 36;
    QTest::newRow("200 lines") << 200 << true << 6 << 36;
}

void TestTform22::pagination()
{
    QFETCH(int, lines);
    QFETCH(bool, slogans);
    QFETCH(int, pageCount);
    QFETCH(int, linesOnFirstPage);
    OrderDocumentContent content;
    content.lines.resize(lines);
    content.slogan1 = slogans ? u"宣传语"_s : QString();
    const QList<Tform22::Page> pages = Tform22(content).pages();
    QCOMPARE(pages.size(), pageCount);
    const double height = Tform22::defaultPageHeight();
    qsizetype placedLines = 0;
    for (qsizetype p = 0; p < pages.size(); ++p) {
        const Tform22::Page &page = pages.at(p);
        // Every page after the first opens with the column header.
        if (p > 0)
            QCOMPARE(page.first().band, Tform22::Band::ColumnHeader);
        for (const Tform22::PlacedBand &placed : page) {
            QVERIFY(placed.top + Tform22::bandHeight(placed.band) <= height);
            if (placed.band == Tform22::Band::Line) {
                QCOMPARE(placed.line, placedLines);
                ++placedLines;
            }
        }
    }
    QCOMPARE(placedLines, qsizetype(lines));
    QCOMPARE(std::count_if(pages.first().cbegin(), pages.first().cend(),
                           [](const Tform22::PlacedBand &b) { return b.band == Tform22::Band::Line; }),
             linesOnFirstPage);
    QCOMPARE(pages.last().last().band, Tform22::Band::Signatures);
    const auto hasSlogans = [](const Tform22::Page &page) {
        return std::any_of(page.cbegin(), page.cend(),
                           [](const Tform22::PlacedBand &b) { return b.band == Tform22::Band::Slogans; });
    };
    QCOMPARE(std::any_of(pages.cbegin(), pages.cend(), hasSlogans), slogans);
}

void TestTform22::sloganBand()
{
    insertOrder(u"20261208007"_s, 2);
    ReceiptTexts texts = ReceiptTexts::defaults();
    texts.documentSlogan1 = u"买箱包到岚蔚"_s;
    texts.documentSlogan2 = u"第二句宣传语"_s;
    QVERIFY(print(u"20261208007"_s, texts));
    QString page = pagesOf(pdfPath()).join(QString());
    QVERIFY(page.contains(shown(u"买箱包到岚蔚"_s)));
    QVERIFY(page.contains(shown(u"第二句宣传语"_s)));

    // An empty first slogan drops the band, the second slogan with it.
    texts.documentSlogan1.clear();
    QVERIFY(print(u"20261208007"_s, texts));
    page = pagesOf(pdfPath()).join(QString());
    QVERIFY(!page.contains(shown(u"第二句宣传语"_s)));
    QVERIFY(page.contains(shown(u"制单人：超级管理员"_s)));

    // Typed in again, it is back on the next print.
    texts.documentSlogan1 = u"新的宣传语"_s;
    QVERIFY(print(u"20261208007"_s, texts));
    page = pagesOf(pdfPath()).join(QString());
    QVERIFY(page.contains(shown(u"新的宣传语"_s)));
    QVERIFY(page.contains(shown(u"第二句宣传语"_s)));
}

void TestTform22::negativeTotal()
{
    // Returns outweigh the sales: the total has a minus sign, which has no
    // capital form. The operator is told, the document still shows.
    insert({u"20261208009"_s, u"旅行袋"_s, u"中"_s, u"9"_s, QString(), 50, -1, u"张三"_s, {}, {}});
    QVERIFY(print(u"20261208009"_s));
    QCOMPARE(Prompter::shownTexts(), (QStringList{u"45"_s, u"读取错误，应为数字"_s}));
    const QString page = pagesOf(pdfPath()).join(QString());
    QVERIFY(page.contains(shown(u"旅行袋"_s)));
    QVERIFY(page.contains(shown(u"￥-50"_s)));
    // Nothing after the caption but the band's other texts.
    QVERIFY2(
        page.contains(QRegularExpression(QRegularExpression::escape(shown(u"（大写）"_s)) + u"(¥|人民币)"_s)),
        qPrintable(page));
}

void TestTform22::longFiguresPrintWhole_data()
{
    QTest::addColumn<QString>("family");
    QTest::newRow("the document's own") << u"宋体"_s;
    QTest::newRow("sans") << u"Noto Sans CJK SC"_s;
    QTest::newRow("serif") << u"Noto Serif CJK SC"_s;
}

// Prices and amounts of eight digits and more, and a thirteen-digit code,
// are set smaller to fit their cells, never cut to "8765…".
void TestTform22::longFiguresPrintWhole()
{
    QFETCH(QString, family);
    Tform22::setFontFamily(family);
    const auto restore = qScopeGuard([] { Tform22::setFontFamily(u"宋体"_s); });
    Line cheap{
        u"20261208009"_s, u"零钱包"_s, u"小号"_s, u"6901234567892"_s, QString(), 9999.99, 1, {}, {}, {}};
    Line dear{
        u"20261208009"_s, u"定制箱"_s, u"铝镁"_s, u"4006381333931"_s, QString(), 87654321.99, 1, {}, {}, {}};
    insert(cheap);
    insert(dear);
    QVERIFY(print(u"20261208009"_s));
    const QStringList pages = pagesOf(pdfPath());
    QCOMPARE(pages.size(), 1);
    for (const QString &figure : {u"9999.99"_s, u"87654321.99"_s, u"6901234567892"_s, u"4006381333931"_s,
                                  u"￥87664321.98"_s, u"合计"_s, u"人民币"_s})
        QVERIFY2(pages.first().contains(shown(figure)), qPrintable(figure + u" not in "_s + pages.first()));
    QVERIFY(!pages.first().contains(u"…"_s));
    // The figure columns widened instead: the long price prints at the size
    // of the short one (a shrunk figure has a lower box).
    QProcess boxes;
    boxes.start(u"pdftotext"_s, {u"-bbox"_s, pdfPath(), u"-"_s});
    QVERIFY(boxes.waitForFinished(30000));
    const QString html = QString::fromUtf8(boxes.readAllStandardOutput());
    auto height = [&html](const QString &word) {
        const QRegularExpression box(u"yMin=\"([0-9.]+)\" xMax=\"[0-9.]+\" yMax=\"([0-9.]+)\">"_s +
                                     QRegularExpression::escape(word) + u"<"_s);
        const QRegularExpressionMatch m = box.match(html);
        return m.hasMatch() ? m.captured(2).toDouble() - m.captured(1).toDouble() : 0.0;
    };
    QVERIFY(height(u"9999.99"_s) > 0);
    QVERIFY2(height(u"87654321.99"_s) >= 0.95 * height(u"9999.99"_s),
             qPrintable(u"%1 vs %2"_s.arg(height(u"87654321.99"_s)).arg(height(u"9999.99"_s))));
    // The name column paid for it and keeps its text.
    const std::array<double, 6> rules = Tform22::fittedRules(OrderDocumentContent::load(
        m_database->db(), u"20261208009"_s, QString(), ReceiptTexts(), QDate(2026, 12, 8)));
    QVERIFY(rules[0] < 130 && rules[0] >= 64);
    QCOMPARE(rules[5], 562.0);
}

void TestTform22::emptyOrderNumber()
{
    insertOrder(u"20261208001"_s, 1);
    QVERIFY(!print(u"   "_s));
    QCOMPARE(Prompter::shownTexts(), QStringList{u"点选要打印的某行记录"_s});
    QVERIFY(!QFile::exists(pdfPath()));
}

void TestTform22::ticketPanelButton()
{
    TicketPanel panel(m_database->db());
    QSignalSpy requested(&panel, &TicketPanel::orderDocumentRequested);
    QVERIFY(panel.documentButton()->isEnabled());
    panel.setOrderNumber(u"20261208011"_s);
    panel.refresh();
    QTest::mouseClick(panel.documentButton(), Qt::LeftButton);
    QCOMPARE(Prompter::shownTexts(), QStringList{u"先进行销售"_s});
    QCOMPARE(requested.count(), 0);

    insertOrder(u"20261208011"_s, 1);
    panel.refresh();
    Prompter::clearShown();
    QTest::mouseClick(panel.documentButton(), Qt::LeftButton);
    QVERIFY(Prompter::shown().isEmpty());
    QCOMPARE(requested.count(), 1);
}

void TestTform22::mainWindowPrintsTheTicketsOrder()
{
    SettingsStore settings(m_dir->filePath(u"jxc.conf"_s));
    TMainForm form(m_database->db(), settings);
    form.setLoginRunner([this](TMainForm &) {
        TMainForm::LoginOutcome outcome;
        outcome.accepted = true;
        outcome.session.username = Schema::kAdministrator;
        outcome.session.id = SessionLog(m_database->db()).open(Schema::kAdministrator);
        return outcome;
    });
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTRY_COMPARE(form.session().username, QString(Schema::kAdministrator));

    insert({u"20261208012"_s, u"登机箱"_s, u"20寸"_s, u"12"_s, QString(), 3000.1, 1, u"赵六"_s, {}, {}});
    // The settings window's boxes count, saved or not.
    form.receiptSettings()->box(SettingsStore::Keys::DocumentHeader)->setText(u"岚蔚箱包销售单"_s);
    form.ticket()->setOrderNumber(u"20261208012"_s);
    form.ticket()->refresh();
    Prompter::clearShown();
    form.ticket()->documentButton()->click();
    QVERIFY2(Prompter::shown().isEmpty(), qPrintable(Prompter::shownTexts().join(u'|')));
    const QString page = pagesOf(pdfPath()).join(QString());
    for (const QString &expected :
         QStringList{u"岚蔚箱包销售单"_s, u"单 号：20261208012"_s, u"登机箱"_s, u"（大写） 叁仟元壹角"_s,
                     u"￥3000.1"_s, QString(u"制单人："_s + Schema::kAdministrator)})
        QVERIFY2(page.contains(shown(expected)), qPrintable(expected + u" not in "_s + page));
}

QTEST_MAIN(TestTform22)
#include "tst_tform22.moc"

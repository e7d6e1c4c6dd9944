#include "TestDatabase.h"
#include "common/DataGrid.h"
#include "common/Prompter.h"
#include "data/Clock.h"
#include "data/QueryHelpers.h"
#include "data/Schema.h"
#include "data/SettingsStore.h"
#include "maintenance/Tpos.h"
#include "sales/OrderDocumentContent.h"
#include "sales/ReceiptPrinter.h"
#include "sales/SalesLedger.h"
#include "sales/TicketPanel.h"
#include "shell/FloatingPanel.h"
#include "shell/Session.h"
#include "shell/SessionLog.h"
#include "shell/TMainForm.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

using namespace Qt::StringLiterals;

// The ticket panel: the lines of the current order, total, cash and change,
// the checks before the receipt, the receipt itself read back from a PDF, and
// its place in the main window.
class TestTicketPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void refresh_data();
    void refresh();
    void change_data();
    void change();
    void checksBeforePrinting_data();
    void checksBeforePrinting();
    void enterInCashGoesToPrinting();
    void orderButtons();
    void receiptShowsEveryLineInOrder();
    void receiptUsesTheSettingsBoxes();
    void receiptTotalIsTheSumOfItsLines_data();
    void receiptTotalIsTheSumOfItsLines();
    void totalsAreRoundedToTheCent();
    void paperSize();
    void mainWindowWiring();

private:
    // Books one line of the given name, price and quantity onto the order.
    void sell(const QString &order, const QString &name, double price, double quantity);
    QString pdfText(const QString &path);
    QString pdfPath() const { return m_dir->filePath(u"receipt.pdf"_s); }

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestDatabase> m_database;
    std::unique_ptr<ManualClock> m_clock;
    std::unique_ptr<ScopedClock> m_clockScope;
};

void TestTicketPanel::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_home.isValid());
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, m_home.filePath(u"user"_s));
    Prompter::setTestMode(true);
    QApplication::setQuitOnLastWindowClosed(false);
}

void TestTicketPanel::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_database = std::make_unique<TestDatabase>();
    QVERIFY2(m_database->isOpen(), qPrintable(m_database->errorText()));
    m_clock = std::make_unique<ManualClock>(QDateTime(QDate(2026, 12, 8), QTime(15, 4, 5)));
    m_clockScope = std::make_unique<ScopedClock>(*m_clock);
    Prompter::clearShown();
    ReceiptPrinter::setPdfRedirect(pdfPath());
}

void TestTicketPanel::cleanup()
{
    ReceiptPrinter::setPdfRedirect(QString());
    m_clockScope.reset();
    m_clock.reset();
    m_database.reset();
    m_dir.reset();
}

void TestTicketPanel::sell(const QString &order, const QString &name, double price, double quantity)
{
    Database &db = m_database->db();
    const QString insert = u"insert into data (a, b, c, d, \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", \"7\", "
                           u"\"8\", day1) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s +
                           Dialect::returningKey(u"id"_s);
    const qint64 id = ScalarValue(db, insert,
                                  {name, u"24寸"_s, u"6901"_s, u"箱包"_s, 10.0, 100.0, 1000.0, price, 0.0,
                                   0.0, 100.0, 1000.0, db.dialect().dateValue(QDate(2026, 12, 1))})
                          .toLongLong();
    SaleRequest sale;
    sale.stockId = id;
    sale.price = price;
    sale.quantity = quantity;
    sale.orderNumber = order;
    sale.saleDate = QDate(2026, 12, 8);
    QCOMPARE(SalesLedger(db).book(sale).result, SaleBooking::Result::Booked);
}

QString TestTicketPanel::pdfText(const QString &path)
{
    QProcess pdftotext;
    pdftotext.start(u"pdftotext"_s, {u"-layout"_s, path, u"-"_s});
    if (!pdftotext.waitForFinished(30000) || pdftotext.exitCode() != 0)
        return QString();
    // Fonts that share a glyph between an ideograph and its Kangxi radical
    // make pdftotext answer the radical (小 as ⼩); compatibility
    // normalisation reads them as the ideographs that were printed.
    return QString::fromUtf8(pdftotext.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
}

void TestTicketPanel::refresh_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("quantityFooter");

    QTest::newRow("the order, not 202612081001")
        << u"20261208100"_s << QStringList{u"新秀丽拉杆箱"_s, u"双肩包"_s} << u"117.5"_s << u"5"_s;
    QTest::newRow("four-digit counter") << u"202612081001"_s << QStringList{u"钱包"_s} << u"99"_s << u"1"_s;
    QTest::newRow("empty box lists nothing") << QString() << QStringList{} << u"0"_s << u"0"_s;
    QTest::newRow("quote in the number") << u"8'00"_s << QStringList{u"腰包"_s} << u"10"_s << u"1"_s;
    QTest::newRow("sale and return") << u"20261208200"_s << QStringList{u"旅行袋"_s, u"旅行袋"_s} << u"0"_s
                                     << u"0"_s;
}

void TestTicketPanel::refresh()
{
    QFETCH(QString, box);
    QFETCH(QStringList, names);
    sell(u"20261208100"_s, u"新秀丽拉杆箱"_s, 12.5, 3);
    sell(u"20261208100"_s, u"双肩包"_s, 40, 2);
    sell(u"202612081001"_s, u"钱包"_s, 99, 1);
    sell(u"8'00"_s, u"腰包"_s, 10, 1);
    sell(u"20261208200"_s, u"旅行袋"_s, 30, 1);
    sell(u"20261208200"_s, u"旅行袋"_s, 30, -1);

    TicketPanel panel(m_database->db());
    panel.setOrderNumber(box);
    panel.setCustomerName(u"王老板"_s);
    panel.refresh();
    QVERIFY(Prompter::shown().isEmpty());
    DataGrid *grid = panel.grid();
    QStringList shown;
    for (int row = 0; row < grid->listModel()->rowCount(); ++row)
        shown << grid->listModel()->value(row, u"a"_s).toString();
    QCOMPARE(shown, names);
    QTEST(panel.totalBox()->text(), "total");
    QCOMPARE(grid->footerText(0), u"销售单号："_s);
    QCOMPARE(grid->footerText(1), box);
    QTEST(grid->footerText(2), "quantityFooter");
    QCOMPARE(grid->footerText(3), QString());
    QCOMPARE(grid->footerText(4), panel.totalBox()->text());
    QCOMPARE(panel.customerLabel()->text(), u"客户名称：王老板"_s);
}

void TestTicketPanel::change_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("cash");
    QTest::addColumn<QString>("change");

    QTest::newRow("100 for 37.5") << u"100"_s << u"100"_s << u"62.5"_s;
    QTest::newRow("exact") << u"37.5"_s << u"37.5"_s << u"0"_s;
    QTest::newRow("letters and minus are refused") << u"-1a0x0"_s << u"100"_s << u"62.5"_s;
    QTest::newRow("short") << u"20"_s << u"20"_s << u"-17.5"_s;
    QTest::newRow("two points keep the last change") << u"50.5."_s << u"50.5."_s << u"13"_s;
}

void TestTicketPanel::change()
{
    QFETCH(QString, typed);
    sell(u"20261208001"_s, u"拉杆箱"_s, 12.5, 3);
    TicketPanel panel(m_database->db());
    panel.setOrderNumber(u"20261208001"_s);
    panel.refresh();
    QCOMPARE(panel.totalBox()->text(), u"37.5"_s);
    QCOMPARE(panel.changeBox()->text(), u"0"_s);
    QTest::keyClicks(panel.cashBox(), typed);
    QTEST(panel.cashBox()->text(), "cash");
    QTEST(panel.changeBox()->text(), "change");
    QVERIFY(panel.changeBox()->isReadOnly());
    QVERIFY(panel.totalBox()->isReadOnly());

    // A new line on the ticket changes the total and with it the change.
    sell(u"20261208001"_s, u"钱包"_s, 2.5, 1);
    panel.cashBox()->setText(u"100"_s);
    panel.refresh();
    QCOMPARE(panel.totalBox()->text(), u"40"_s);
    QCOMPARE(panel.changeBox()->text(), u"60"_s);
}

void TestTicketPanel::checksBeforePrinting_data()
{
    QTest::addColumn<QString>("order");
    QTest::addColumn<QString>("cash");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("printed");

    QTest::newRow("no lines") << u"20261208999"_s << u"100"_s << u"先进行销售"_s << false;
    QTest::newRow("lines summing to 0") << u"20261208200"_s << u"100"_s << u"先进行销售"_s << false;
    QTest::newRow("cash empty") << u"20261208001"_s << QString() << u"输入现金额"_s << false;
    QTest::newRow("cash not a number")
        << u"20261208001"_s << u"1.2.3"_s << u"现金额不是有效的数字，请重新输入"_s << false;
    QTest::newRow("cash short") << u"20261208001"_s << u"37.4"_s << u"现金不足"_s << false;
    QTest::newRow("cash equal prints") << u"20261208001"_s << u"37.5"_s << QString() << true;
    QTest::newRow("cash more prints") << u"20261208001"_s << u"100"_s << QString() << true;
}

void TestTicketPanel::checksBeforePrinting()
{
    QFETCH(QString, order);
    QFETCH(QString, cash);
    QFETCH(QString, message);
    QFETCH(bool, printed);
    sell(u"20261208001"_s, u"拉杆箱"_s, 12.5, 3);
    sell(u"20261208200"_s, u"旅行袋"_s, 30, 1);
    sell(u"20261208200"_s, u"旅行袋"_s, 30, -1);

    TicketPanel panel(m_database->db());
    panel.show();
    QVERIFY(QTest::qWaitForWindowActive(&panel));
    panel.setOrderNumber(order);
    panel.refresh();
    const int rowsBefore = panel.grid()->listModel()->rowCount();
    panel.cashBox()->setText(cash);
    panel.printButton()->setFocus();
    QTest::mouseClick(panel.printButton(), Qt::LeftButton);
    QCOMPARE(Prompter::shownTexts(), message.isEmpty() ? QStringList{} : QStringList{message});
    QCOMPARE(QFile::exists(pdfPath()), printed);
    if (message == u"输入现金额"_s)
        QTRY_VERIFY(panel.cashBox()->hasFocus());
    if (printed) {
        // The printed ticket leaves the list until the next refresh; the
        // total stays.
        QCOMPARE(panel.grid()->listModel()->rowCount(), 0);
        QCOMPARE(panel.totalBox()->text(), u"37.5"_s);
        panel.refresh();
        QCOMPARE(panel.grid()->listModel()->rowCount(), 1);
    } else {
        // A refused receipt leaves the list as it was.
        QCOMPARE(panel.grid()->listModel()->rowCount(), rowsBefore);
    }
}

void TestTicketPanel::enterInCashGoesToPrinting()
{
    TicketPanel panel(m_database->db());
    panel.show();
    QVERIFY(QTest::qWaitForWindowActive(&panel));
    panel.cashBox()->setFocus();
    QTRY_VERIFY(panel.cashBox()->hasFocus());
    QTest::keyClicks(panel.cashBox(), u"50"_s);
    QTest::keyClick(panel.cashBox(), Qt::Key_Return);
    QTRY_VERIFY(panel.printButton()->hasFocus());
    // Enter only moves the focus; nothing is checked or printed yet.
    QVERIFY(Prompter::shown().isEmpty());
}

void TestTicketPanel::orderButtons()
{
    TicketPanel panel(m_database->db());
    QSignalSpy previous(&panel, &TicketPanel::previousOrderRequested);
    QSignalSpy next(&panel, &TicketPanel::nextOrderRequested);
    QCOMPARE(panel.previousButton()->text(), u"上一单"_s);
    QCOMPARE(panel.nextButton()->text(), u"下一单"_s);
    QTest::mouseClick(panel.nextButton(), Qt::LeftButton);
    QTest::mouseClick(panel.nextButton(), Qt::LeftButton);
    QTest::mouseClick(panel.previousButton(), Qt::LeftButton);
    QCOMPARE(next.count(), 2);
    QCOMPARE(previous.count(), 1);
    QCOMPARE(panel.documentButton()->text(), u"销售单打印"_s);
    QVERIFY(panel.documentButton()->isEnabled());
}

void TestTicketPanel::receiptShowsEveryLineInOrder()
{
    sell(u"20261208001"_s, u"新秀丽拉杆箱"_s, 12.5, 1);
    sell(u"20261208001"_s, u"双肩包"_s, 12.5, 2);
    sell(u"20261208002"_s, u"钱包"_s, 99, 1);
    TicketPanel panel(m_database->db());
    panel.setCashierSource([] { return u"超级管理员"_s; });
    panel.setOrderNumber(u"20261208001"_s);
    panel.refresh();
    QTest::keyClicks(panel.cashBox(), u"100"_s);
    QCOMPARE(panel.changeBox()->text(), u"62.5"_s);
    QVERIFY(panel.printReceiptWithoutChecks());
    QVERIFY(Prompter::shown().isEmpty());

    const QString text = pdfText(pdfPath());
    QVERIFY2(!text.isEmpty(), "pdftotext read nothing");
    QStringList lines;
    for (const QString &line : text.split(u'\n')) {
        if (!line.trimmed().isEmpty())
            lines << line.simplified();
    }
    const QString rule(31, u'-');
    const QStringList expected{u"POS小票销售单"_s,
                               rule,
                               u"销售单号：20261208001"_s,
                               u"收银员：超级管理员"_s,
                               u"打印时间：2026-12-08 15:04:05"_s,
                               rule,
                               u"商品名称 数量 金额"_s,
                               u"新秀丽拉杆箱 1 12.5"_s,
                               u"双肩包 2 25"_s,
                               rule,
                               u"合计:37.5元"_s,
                               u"现金:100.00元 找零:62.50元"_s,
                               rule,
                               u"岚蔚进销存软件提供技术支持"_s,
                               u"官网：www.lanwei-xiangbao.cn"_s,
                               rule,
                               u"欢迎下次惠顾！"_s,
                               rule};
    QStringList normalised;
    for (const QString &line : expected)
        normalised << line.normalized(QString::NormalizationForm_KC);
    QCOMPARE(lines, normalised);
    QVERIFY(!text.contains(u"钱包"_s));
}

void TestTicketPanel::receiptTotalIsTheSumOfItsLines_data()
{
    QTest::addColumn<bool>("checks");
    QTest::newRow("POS小票打印") << true;
    QTest::newRow("printing without the checks") << false;
}

void TestTicketPanel::receiptTotalIsTheSumOfItsLines()
{
    // A line deleted in the sales detail after the ticket was shown: the
    // receipt's total and change follow the lines it prints, not the old box.
    QFETCH(bool, checks);
    sell(u"20261208001"_s, u"拉杆箱"_s, 128, 2);
    sell(u"20261208001"_s, u"钱包"_s, 75.48, 1);
    TicketPanel panel(m_database->db());
    panel.setOrderNumber(u"20261208001"_s);
    panel.refresh();
    QCOMPARE(panel.totalBox()->text(), u"331.48"_s);
    QTest::keyClicks(panel.cashBox(), u"500"_s);
    const qint64 first = ScalarValue(m_database->db(), u"select min(ID) from data1"_s).toLongLong();
    QCOMPARE(SalesLedger(m_database->db()).remove(Session{Schema::kAdministrator, 1}, first),
             SalesLedger::Removal::GivenBack);

    if (checks)
        panel.printReceipt();
    else
        QVERIFY(panel.printReceiptWithoutChecks());
    QVERIFY2(Prompter::shown().isEmpty(), qPrintable(Prompter::shownTexts().join(u'|')));
    const QString text = pdfText(pdfPath()).simplified();
    QVERIFY2(text.contains(u"钱包 1 75.48"_s), qPrintable(text));
    QVERIFY(!text.contains(u"拉杆箱"_s));
    QVERIFY2(text.contains(u"合计:75.48元"_s), qPrintable(text));
    QVERIFY2(text.contains(u"现金:500.00元 找零:424.52元"_s), qPrintable(text));
    QCOMPARE(panel.totalBox()->text(), u"75.48"_s);
}

void TestTicketPanel::totalsAreRoundedToTheCent()
{
    // 12.1 + 3.3 - 12.1 - 3.3 is -8.88178419700125E-16 in binary arithmetic.
    sell(u"20261208001"_s, u"拉杆箱"_s, 12.1, 1);
    sell(u"20261208001"_s, u"钱包"_s, 3.3, 1);
    sell(u"20261208001"_s, u"拉杆箱"_s, 12.1, -1);
    sell(u"20261208001"_s, u"钱包"_s, 3.3, -1);
    TicketPanel panel(m_database->db());
    panel.setOrderNumber(u"20261208001"_s);
    panel.refresh();
    QCOMPARE(panel.totalBox()->text(), u"0"_s);
    const int amount = panel.grid()->columnOfField(u"4"_s);
    QCOMPARE(panel.grid()->footerText(amount), u"0"_s);
    QTest::keyClicks(panel.cashBox(), u"10"_s);
    QCOMPARE(panel.changeBox()->text(), u"10"_s);
    panel.requestOrderDocument();
    QCOMPARE(Prompter::lastText(), u"先进行销售"_s);
    Prompter::clearShown();
    panel.printReceipt();
    QCOMPARE(Prompter::lastText(), u"先进行销售"_s);
    // The order document shows and spells the same total.
    const OrderDocumentContent document = OrderDocumentContent::load(
        m_database->db(), u"20261208001"_s, u"超级管理员"_s, ReceiptTexts::defaults(), QDate(2026, 12, 8));
    QCOMPARE(document.totalText, u"0"_s);
    QCOMPARE(document.capitalText, QString());
}

void TestTicketPanel::receiptUsesTheSettingsBoxes()
{
    sell(u"20261208001"_s, u"拉杆箱"_s, 10, 1);
    SettingsStore settings(m_dir->filePath(u"jxc.conf"_s));
    Tpos texts(settings);
    // Edited but not saved: the next receipt prints it.
    texts.box(SettingsStore::Keys::ReceiptTitle)->setText(u"岚蔚箱包专卖"_s);
    texts.box(SettingsStore::Keys::ReceiptClosing)->setText(u"谢谢惠顾"_s);
    TicketPanel panel(m_database->db());
    panel.setTextsSource([&texts] { return texts.texts(); });
    panel.setOrderNumber(u"20261208001"_s);
    panel.refresh();
    panel.cashBox()->setText(u"10"_s);
    panel.printReceipt();
    QVERIFY(Prompter::shown().isEmpty());
    const QString text = pdfText(pdfPath());
    const auto kc = [](const QString &s) { return s.normalized(QString::NormalizationForm_KC); };
    QVERIFY2(text.contains(kc(u"岚蔚箱包专卖"_s)), qPrintable(text));
    QVERIFY(text.contains(kc(u"谢谢惠顾"_s)));
    QVERIFY(!text.contains(kc(u"POS小票销售单"_s)));
}

void TestTicketPanel::paperSize()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdfPath());
    QVERIFY(ReceiptPrinter::SetReceiptPaperLength(printer, 250));
    const QSizeF size = printer.pageLayout().pageSize().size(QPageSize::Millimeter);
    QCOMPARE(qRound(size.width()), 80);
    QCOMPARE(qRound(size.height()), 250);

    // The PDF has the receipt paper's size: 80 x 250 mm in points.
    sell(u"20261208001"_s, u"拉杆箱"_s, 10, 1);
    TicketPanel panel(m_database->db());
    panel.setOrderNumber(u"20261208001"_s);
    panel.refresh();
    QVERIFY(panel.printReceiptWithoutChecks());
    QProcess info;
    info.start(u"pdfinfo"_s, {pdfPath()});
    QVERIFY(info.waitForFinished(30000));
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    const QRegularExpressionMatch match =
        QRegularExpression(u"Page size:\\s+([0-9.]+) x ([0-9.]+) pts"_s).match(out);
    QVERIFY2(match.hasMatch(), qPrintable(out));
    QCOMPARE(qRound(match.captured(1).toDouble() * 25.4 / 72), 80);
    QCOMPARE(qRound(match.captured(2).toDouble() * 25.4 / 72), 250);
}

void TestTicketPanel::mainWindowWiring()
{
    SettingsStore settings(m_dir->filePath(u"jxc.conf"_s));
    settings.setValue(SettingsStore::Keys::ReceiptTitle, u"已存的标题"_s);
    TMainForm form(m_database->db(), settings);
    FloatingPanel *panel = form.ticketPanel();
    QVERIFY(form.ticket());
    QVERIFY(panel->isAncestorOf(form.ticket()));
    QVERIFY(!panel->isVisible());
    // The settings were loaded at start.
    QVERIFY(form.receiptSettings());
    QCOMPARE(form.receiptSettings()->box(SettingsStore::Keys::ReceiptTitle)->text(), u"已存的标题"_s);

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
    auto *ticketAction = form.findChild<QAction *>(u"ticketAction"_s);
    auto *menuAction = form.findChild<QAction *>(u"menuTicketAction"_s);
    auto *settingsAction = form.findChild<QAction *>(u"printSettingsAction"_s);
    QVERIFY(ticketAction && menuAction && settingsAction);
    for (QAction *action : {ticketAction, menuAction, settingsAction})
        QVERIFY(action->isEnabled());
    ticketAction->trigger();
    QVERIFY(panel->isVisible());
    ticketAction->trigger();
    QVERIFY(!panel->isVisible());
    menuAction->trigger();
    QVERIFY(panel->isVisible());
    panel->closeButton()->click();
    QVERIFY(!panel->isVisible());

    settingsAction->trigger();
    QTRY_VERIFY(form.receiptSettings()->isVisible());
    QVERIFY(form.receiptSettings()->isWindow());
    Tpos *first = form.receiptSettings();
    form.receiptSettings()->close();
    settingsAction->trigger();
    QCOMPARE(form.receiptSettings(), first);
    QVERIFY(first->isVisible());
    first->close();
}

QTEST_MAIN(TestTicketPanel)
#include "tst_ticketpanel.moc"

#include "common/Prompter.h"
#include "shell/ChineseUi.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCalendarWidget>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

// A button's text as the operator reads it, without the "(&Y)" mnemonic
// the translation adds.
QString plainText(const QAbstractButton *button)
{
    QString text = button->text();
    text.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
    text.remove(u'&');
    return text.trimmed();
}

} // namespace

class TestChineseUi : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void messageBoxButtonsAreChinese_data();
    void messageBoxButtonsAreChinese();
    void textBoxMenuAndCalendarAreChinese();
};

void TestChineseUi::initTestCase()
{
    QVERIFY2(ChineseUi::install(*qApp), "qtbase_zh_CN.qm not found (package qt6-translations-l10n)");
    Prompter::setTestMode(false);
}

void TestChineseUi::messageBoxButtonsAreChinese_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("press");
    QTest::addColumn<bool>("answer");

    QTest::newRow("ask, yes") << QStringLiteral("ask")
                              << QStringList{QStringLiteral("是"), QStringLiteral("否")}
                              << QStringLiteral("是") << true;
    QTest::newRow("ask, no") << QStringLiteral("ask")
                             << QStringList{QStringLiteral("是"), QStringLiteral("否")}
                             << QStringLiteral("否") << false;
    QTest::newRow("confirm, ok") << QStringLiteral("confirm")
                                 << QStringList{QStringLiteral("取消"), QStringLiteral("确定")}
                                 << QStringLiteral("确定") << true;
    QTest::newRow("confirm, cancel") << QStringLiteral("confirm")
                                     << QStringList{QStringLiteral("取消"), QStringLiteral("确定")}
                                     << QStringLiteral("取消") << false;
    QTest::newRow("information") << QStringLiteral("information") << QStringList{QStringLiteral("确定")}
                                 << QStringLiteral("确定") << true;
}

void TestChineseUi::messageBoxButtonsAreChinese()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, buttons);
    QFETCH(QString, press);
    QFETCH(bool, answer);

    // The box is modal: read it and press a button from the event loop it runs.
    QStringList seen;
    bool pressed = false;
    QTimer poll;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || pressed)
            return;
        for (QAbstractButton *button : box->buttons()) {
            seen.append(plainText(button));
            if (plainText(button) == press) {
                pressed = true;
                button->click();
            }
        }
        if (!pressed)
            box->reject();
    });
    poll.start();

    bool result = true;
    const QString text = QStringLiteral("你真的要删除用户：lisi吗?");
    if (kind == QLatin1String("ask"))
        result = Prompter::ask(nullptr, text);
    else if (kind == QLatin1String("confirm"))
        result = Prompter::confirm(nullptr, text);
    else
        Prompter::information(nullptr, text);
    poll.stop();

    seen.sort();
    buttons.sort();
    QCOMPARE(seen, buttons);
    QVERIFY(pressed);
    QCOMPARE(result, answer);
}

void TestChineseUi::textBoxMenuAndCalendarAreChinese()
{
    QLineEdit box;
    box.setText(QStringLiteral("拉杆箱"));
    const std::unique_ptr<QMenu> menu(box.createStandardContextMenu());
    QStringList texts;
    for (const QAction *action : menu->actions()) {
        if (!action->isSeparator())
            texts.append(action->text());
    }
    QVERIFY2(texts.size() >= 5, qPrintable(texts.join(u'|')));
    for (const char *english : {"Undo", "Cut", "Copy", "Paste", "Select All"}) {
        for (const QString &text : texts)
            QVERIFY2(!QString(text).remove(u'&').contains(QLatin1String(english)),
                     qPrintable(texts.join(u'|')));
    }
    QVERIFY2(texts.first().startsWith(QStringLiteral("撤消")), qPrintable(texts.join(u'|')));

    // Calendars take the default locale: Chinese month and day names.
    QCalendarWidget calendar;
    QCOMPARE(calendar.locale().monthName(12), QStringLiteral("十二月"));
    QCOMPARE(calendar.locale().dayName(1, QLocale::ShortFormat), QStringLiteral("周一"));
}

QTEST_MAIN(TestChineseUi)
#include "tst_chineseui.moc"

#include "TestDatabase.h"
#include "common/Prompter.h"
#include "data/PasswordHash.h"
#include "data/QueryHelpers.h"
#include "data/Schema.h"
#include "shell/Session.h"
#include "shell/Tchangepassfm.h"
#include "shell/UserAccounts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QtTest>

namespace {
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}
} // namespace

// The password change window: the old password must be right, the new one
// typed twice, and only then does userdb change.
class TestTchangepassfm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void showsTheOperatorsAscending();
    void keyboardOnlyChange();
    void refusals_data();
    void refusals();
    void closeWhenDoneClosesAfterASuccess_data();
    void closeWhenDoneClosesAfterASuccess();
    void runningSessionIsNotAffected();

private:
    void openWindow();
    template <typename T> T *child(const QString &name) { return m_window->findChild<T *>(name); }
    QLineEdit *box(const QString &name) { return child<QLineEdit>(name); }
    void choose(const QString &name);
    QStringList allRows();

    std::unique_ptr<TestDatabase> m_t;
    QPointer<Tchangepassfm> m_window;
};

void TestTchangepassfm::init()
{
    Prompter::setTestMode(true);
    m_t = std::make_unique<TestDatabase>();
    QVERIFY2(m_t->isOpen(), qPrintable(m_t->errorText()));
    ExecuteStatement(m_t->db(), QStringLiteral("insert into userdb (username, passwd) values (?, ?)"),
                     {QStringLiteral("张三"), PasswordHash::hash(QStringLiteral("old1"))});
    ExecuteStatement(m_t->db(), QStringLiteral("insert into userdb (username, passwd) values (?, ?)"),
                     {QStringLiteral("Anna"), PasswordHash::hash(QStringLiteral("anna1"))});
}

void TestTchangepassfm::cleanup()
{
    delete m_window;
    m_t.reset();
}

void TestTchangepassfm::openWindow()
{
    m_window = new Tchangepassfm(m_t->db(), Session{Schema::kAdministrator, 1});
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
}

void TestTchangepassfm::choose(const QString &name)
{
    auto *operators = child<QComboBox>(QStringLiteral("operatorBox"));
    const int index = operators->findText(name);
    QVERIFY2(index >= 0, qPrintable(name));
    operators->setCurrentIndex(index);
}

QStringList TestTchangepassfm::allRows()
{
    QSqlQuery q =
        OpenStatement(m_t->db(), QStringLiteral("select username, passwd from userdb order by username"));
    QStringList rows;
    while (q.next())
        rows << q.value(0).toString() + u'|' + q.value(1).toString();
    return rows;
}

void TestTchangepassfm::showsTheOperatorsAscending()
{
    openWindow();
    QCOMPARE(m_window->windowTitle(), QStringLiteral("更改密码"));
    auto *operators = child<QComboBox>(QStringLiteral("operatorBox"));
    QVERIFY(!operators->isEditable());
    QStringList names;
    for (int i = 0; i < operators->count(); ++i)
        names << operators->itemText(i);
    QCOMPARE(names, (QStringList{QStringLiteral("Anna"), QStringLiteral("张三"), Schema::kAdministrator}));
    QCOMPARE(operators->currentText(), QString());
    QCOMPARE(QApplication::focusWidget(), operators);
    for (const QString &name : {QStringLiteral("oldPasswordBox"), QStringLiteral("newPasswordBox"),
                                QStringLiteral("repeatPasswordBox")}) {
        QCOMPARE(box(name)->echoMode(), QLineEdit::Password);
        QCOMPARE(box(name)->maxLength(), 10);
        typeText(box(name), QStringLiteral("a b口1"));
        QCOMPARE(box(name)->text(), QStringLiteral("ab1"));
        box(name)->clear();
    }
    QCOMPARE(child<QCheckBox>(QStringLiteral("closeWhenDoneBox"))->text(), QStringLiteral("更改完毕退出"));
}

void TestTchangepassfm::keyboardOnlyChange()
{
    openWindow();
    auto *operators = child<QComboBox>(QStringLiteral("operatorBox"));
    // Down picks the next operator in a closed list, which counts as picking.
    QTest::keyClick(operators, Qt::Key_Down);
    QTest::keyClick(operators, Qt::Key_Down);
    QCOMPARE(operators->currentText(), QStringLiteral("张三"));
    QCOMPARE(QApplication::focusWidget(), box(QStringLiteral("oldPasswordBox")));
    typeText(QApplication::focusWidget(), QStringLiteral("old1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), box(QStringLiteral("newPasswordBox")));
    typeText(QApplication::focusWidget(), QStringLiteral("New22"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), box(QStringLiteral("repeatPasswordBox")));
    typeText(QApplication::focusWidget(), QStringLiteral("New22"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), child<QPushButton>(QStringLiteral("changeButton")));
    QVERIFY(Prompter::shown().isEmpty());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(Prompter::shownTexts(),
             QStringList{QStringLiteral("你已经成功修改了密码！下次运行程序时生效！")});
    for (const QString &name : {QStringLiteral("oldPasswordBox"), QStringLiteral("newPasswordBox"),
                                QStringLiteral("repeatPasswordBox")})
        QVERIFY(box(name)->text().isEmpty());
    QVERIFY(m_window->isVisible());
    UserAccounts accounts(m_t->db());
    QVERIFY(accounts.checkLogin(QStringLiteral("张三"), QStringLiteral("New22")));
    QVERIFY(!accounts.checkLogin(QStringLiteral("张三"), QStringLiteral("old1")));
    QVERIFY(accounts.checkLogin(QStringLiteral("Anna"), QStringLiteral("anna1")));
}

void TestTchangepassfm::refusals_data()
{
    QTest::addColumn<QString>("operatorName");
    QTest::addColumn<QString>("oldPassword");
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<QString>("repeated");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focused");
    QTest::addColumn<QString>("cleared"); // the box emptied by the refusal, if any
    QTest::newRow("wrong old password")
        << QStringLiteral("张三") << QStringLiteral("old2") << QStringLiteral("New22")
        << QStringLiteral("New22") << QStringLiteral("旧口令不正确！") << QStringLiteral("oldPasswordBox")
        << QStringLiteral("oldPasswordBox");
    QTest::newRow("another operator's password")
        << QStringLiteral("张三") << QStringLiteral("anna1") << QStringLiteral("New22")
        << QStringLiteral("New22") << QStringLiteral("旧口令不正确！") << QStringLiteral("oldPasswordBox")
        << QStringLiteral("oldPasswordBox");
    QTest::newRow("old password missing")
        << QStringLiteral("张三") << QString() << QStringLiteral("New22") << QStringLiteral("New22")
        << QStringLiteral("必须输入旧口令！") << QStringLiteral("oldPasswordBox") << QString();
    QTest::newRow("new password missing")
        << QStringLiteral("张三") << QStringLiteral("old1") << QString() << QStringLiteral("New22")
        << QStringLiteral("新口令长度不能为空！") << QStringLiteral("newPasswordBox") << QString();
    QTest::newRow("repeat differs") << QStringLiteral("张三") << QStringLiteral("old1")
                                    << QStringLiteral("New22") << QStringLiteral("New23")
                                    << QStringLiteral("两次输入的密码不一致！请重新输入！")
                                    << QStringLiteral("repeatPasswordBox")
                                    << QStringLiteral("repeatPasswordBox");
    QTest::newRow("no operator chosen")
        << QString() << QStringLiteral("old1") << QStringLiteral("New22") << QStringLiteral("New22")
        << QStringLiteral("必须选择用户！") << QStringLiteral("operatorBox") << QString();
}

void TestTchangepassfm::refusals()
{
    QFETCH(QString, operatorName);
    QFETCH(QString, oldPassword);
    QFETCH(QString, newPassword);
    QFETCH(QString, repeated);
    QFETCH(QString, message);
    QFETCH(QString, focused);
    QFETCH(QString, cleared);
    openWindow();
    if (!operatorName.isEmpty())
        choose(operatorName);
    typeText(box(QStringLiteral("oldPasswordBox")), oldPassword);
    typeText(box(QStringLiteral("newPasswordBox")), newPassword);
    typeText(box(QStringLiteral("repeatPasswordBox")), repeated);
    const QStringList before = allRows();
    QTest::mouseClick(child<QPushButton>(QStringLiteral("changeButton")), Qt::LeftButton);
    QCOMPARE(Prompter::shownTexts(), QStringList{message});
    QCOMPARE(QApplication::focusWidget()->objectName(), focused);
    if (!cleared.isEmpty())
        QVERIFY(box(cleared)->text().isEmpty());
    // The other boxes keep what was typed.
    if (cleared != QLatin1String("oldPasswordBox"))
        QCOMPARE(box(QStringLiteral("oldPasswordBox"))->text(), oldPassword);
    QCOMPARE(box(QStringLiteral("newPasswordBox"))->text(), newPassword);
    QCOMPARE(allRows(), before);
    QVERIFY(m_window->isVisible());
}

void TestTchangepassfm::closeWhenDoneClosesAfterASuccess_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::newRow("ticked: the window goes") << true;
    QTest::newRow("not ticked: it stays") << false;
}

void TestTchangepassfm::closeWhenDoneClosesAfterASuccess()
{
    QFETCH(bool, ticked);
    openWindow();
    child<QCheckBox>(QStringLiteral("closeWhenDoneBox"))->setChecked(ticked);
    choose(QStringLiteral("Anna"));
    typeText(box(QStringLiteral("oldPasswordBox")), QStringLiteral("anna1"));
    typeText(box(QStringLiteral("newPasswordBox")), QStringLiteral("anna2"));
    typeText(box(QStringLiteral("repeatPasswordBox")), QStringLiteral("anna2"));
    QTest::mouseClick(child<QPushButton>(QStringLiteral("changeButton")), Qt::LeftButton);
    QCOMPARE(Prompter::shownTexts(),
             QStringList{QStringLiteral("你已经成功修改了密码！下次运行程序时生效！")});
    QVERIFY(UserAccounts(m_t->db()).checkLogin(QStringLiteral("Anna"), QStringLiteral("anna2")));
    if (ticked) {
        QTRY_VERIFY(m_window.isNull());
    } else {
        QTest::qWait(20);
        QVERIFY(!m_window.isNull());
        QVERIFY(m_window->isVisible());
        QTest::mouseClick(child<QPushButton>(QStringLiteral("closeButton")), Qt::LeftButton);
        QTRY_VERIFY(m_window.isNull());
    }
}

void TestTchangepassfm::runningSessionIsNotAffected()
{
    // The administrator changes his own password while signed in: his
    // session row stays as it is, the next login needs the new password.
    const qint64 before = ScalarValue(m_t->db(), QStringLiteral("select count(*) from rz")).toLongLong();
    openWindow();
    choose(Schema::kAdministrator);
    typeText(box(QStringLiteral("oldPasswordBox")), Schema::kDefaultPassword);
    typeText(box(QStringLiteral("newPasswordBox")), QStringLiteral("Boss1"));
    typeText(box(QStringLiteral("repeatPasswordBox")), QStringLiteral("Boss1"));
    child<QPushButton>(QStringLiteral("changeButton"))->click();
    QCOMPARE(Prompter::lastText(), QStringLiteral("你已经成功修改了密码！下次运行程序时生效！"));
    QCOMPARE(ScalarValue(m_t->db(), QStringLiteral("select count(*) from rz")).toLongLong(), before);
    UserAccounts accounts(m_t->db());
    QVERIFY(accounts.checkLogin(Schema::kAdministrator, QStringLiteral("Boss1")));
    QVERIFY(!accounts.checkLogin(Schema::kAdministrator, Schema::kDefaultPassword));
}

int main(int argc, char *argv[])
{
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    TestTchangepassfm test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tchangepassfm.moc"

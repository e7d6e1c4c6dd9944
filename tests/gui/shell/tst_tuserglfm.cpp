#include "TestDatabase.h"
#include "common/Prompter.h"
#include "data/PasswordHash.h"
#include "data/QueryHelpers.h"
#include "data/Schema.h"
#include "shell/Session.h"
#include "shell/Tuserglfm.h"
#include "shell/UserAccounts.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QtTest>

namespace {
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}
} // namespace

// The user administration window: locked until the administrator confirms
// his password, then reset, add and delete with their messages and rows.
class TestTuserglfm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void administratorPasswordUnlocks_data();
    void administratorPasswordUnlocks();
    void listShowsEveryRowInStoredOrder();
    void pickingANameFillsBothBoxes();
    void addUser_data();
    void addUser();
    void deleteUser_data();
    void deleteUser();
    void resetThenLoginWithDefault_data();
    void resetThenLoginWithDefault();
    void resetHintNamesTheDefault();
    void restrictedSessionIsRefusedBelowTheWindow();
    void closeDestroysTheWindow();

private:
    void openWindow(const Session &session = Session{Schema::kAdministrator, 1});
    void unlock();
    void pick(const QString &name);
    template <typename T> T *child(const QString &name) { return m_window->findChild<T *>(name); }
    QStringList listed();
    QStringList storedNames();

    std::unique_ptr<TestDatabase> m_t;
    QPointer<Tuserglfm> m_window;
};

void TestTuserglfm::init()
{
    Prompter::setTestMode(true);
    m_t = std::make_unique<TestDatabase>();
    QVERIFY2(m_t->isOpen(), qPrintable(m_t->errorText()));
    for (const QString &name : {QStringLiteral("张三"), QStringLiteral("O'Neil")})
        ExecuteStatement(m_t->db(), QStringLiteral("insert into userdb (username, passwd) values (?, ?)"),
                         {name, PasswordHash::hash(QStringLiteral("own1"))});
}

void TestTuserglfm::cleanup()
{
    delete m_window;
    m_t.reset();
}

void TestTuserglfm::openWindow(const Session &session)
{
    m_window = new Tuserglfm(m_t->db(), session);
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
}

void TestTuserglfm::unlock()
{
    typeText(child<QLineEdit>(QStringLiteral("adminPasswordBox")), Schema::kDefaultPassword);
    child<QPushButton>(QStringLiteral("adminLoginButton"))->click();
    QCOMPARE(Prompter::lastText(), QStringLiteral("超级管理员登录成功！"));
    Prompter::clearShown();
}

void TestTuserglfm::pick(const QString &name)
{
    auto *list = child<QListWidget>(QStringLiteral("userList"));
    const QList<QListWidgetItem *> items = list->findItems(name, Qt::MatchExactly);
    QVERIFY2(!items.isEmpty(), qPrintable(name));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items.first()).center());
}

QStringList TestTuserglfm::listed()
{
    auto *list = child<QListWidget>(QStringLiteral("userList"));
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    return names;
}

QStringList TestTuserglfm::storedNames()
{
    QStringList names = UserAccounts(m_t->db()).names();
    names.sort();
    return names;
}

void TestTuserglfm::administratorPasswordUnlocks_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("unlocked");
    QTest::newRow("default password")
        << Schema::kDefaultPassword << QStringLiteral("超级管理员登录成功！") << true;
    QTest::newRow("wrong password") << QStringLiteral("889") << QStringLiteral("密码不对！") << false;
    QTest::newRow("empty") << QString() << QStringLiteral("密码不对！") << false;
    QTest::newRow("an operator's password")
        << QStringLiteral("own1") << QStringLiteral("密码不对！") << false;
}

void TestTuserglfm::administratorPasswordUnlocks()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(bool, unlocked);
    openWindow();
    QCOMPARE(m_window->windowTitle(), QStringLiteral("用户管理—(管理员专用)"));
    auto *box = child<QLineEdit>(QStringLiteral("adminPasswordBox"));
    QCOMPARE(QApplication::focusWidget(), box);
    QCOMPARE(box->echoMode(), QLineEdit::Password);
    QCOMPARE(box->maxLength(), 10);
    QVERIFY(!child<QListWidget>(QStringLiteral("userList"))->isEnabled());
    QVERIFY(!child<QTabWidget>(QStringLiteral("userTabs"))->isEnabled());

    // Keyboard only: type, Enter to the button, Enter to press it.
    typeText(box, typed);
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), child<QPushButton>(QStringLiteral("adminLoginButton")));
    QVERIFY(Prompter::shown().isEmpty());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(Prompter::shownTexts(), QStringList{message});
    QCOMPARE(child<QListWidget>(QStringLiteral("userList"))->isEnabled(), unlocked);
    QCOMPARE(child<QTabWidget>(QStringLiteral("userTabs"))->isEnabled(), unlocked);
    if (unlocked)
        QVERIFY(box->text().isEmpty());
}

void TestTuserglfm::listShowsEveryRowInStoredOrder()
{
    ExecuteStatement(m_t->db(), QStringLiteral("insert into userdb (username, passwd) values (?, ?)"),
                     {QStringLiteral("张三"), QStringLiteral("x")});
    openWindow();
    QCOMPARE(listed(), (QStringList{Schema::kAdministrator, QStringLiteral("张三"), QStringLiteral("O'Neil"),
                                    QStringLiteral("张三")}));
}

void TestTuserglfm::pickingANameFillsBothBoxes()
{
    openWindow();
    unlock();
    pick(QStringLiteral("O'Neil"));
    QCOMPARE(child<QLineEdit>(QStringLiteral("resetNameBox"))->text(), QStringLiteral("O'Neil"));
    QCOMPARE(child<QLineEdit>(QStringLiteral("deleteNameBox"))->text(), QStringLiteral("O'Neil"));
    QVERIFY(child<QLineEdit>(QStringLiteral("resetNameBox"))->isReadOnly());
    QVERIFY(child<QLineEdit>(QStringLiteral("deleteNameBox"))->isReadOnly());
    // The arrow keys pick as well.
    auto *list = child<QListWidget>(QStringLiteral("userList"));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Up);
    QCOMPARE(child<QLineEdit>(QStringLiteral("deleteNameBox"))->text(), QStringLiteral("张三"));
}

void TestTuserglfm::addUser_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("added"); // empty: no row added
    const QString success = QStringLiteral("成功添加新用户！缺省口令是：") + Schema::kDefaultPassword +
                            QStringLiteral(",请此用户下次登录时及时修改口令！");
    QTest::newRow("new name") << QStringLiteral("李四") << success << QStringLiteral("李四");
    QTest::newRow("blanks trimmed") << QStringLiteral("  李四 ") << success << QStringLiteral("李四");
    QTest::newRow("quote and blank inside")
        << QStringLiteral("D'Arcy Li") << success << QStringLiteral("D'Arcy Li");
    QTest::newRow("existing name") << QStringLiteral("张三") << QStringLiteral("用户名已存在！") << QString();
    QTest::newRow("existing name with blanks")
        << QStringLiteral(" O'Neil ") << QStringLiteral("用户名已存在！") << QString();
    QTest::newRow("administrator") << Schema::kAdministrator
                                   << QStringLiteral("超级管理员只能有一个，不能增加") << QString();
    QTest::newRow("empty") << QStringLiteral("   ") << QStringLiteral("请选择用户名！") << QString();
}

void TestTuserglfm::addUser()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    QFETCH(QString, added);
    openWindow();
    unlock();
    const QStringList before = storedNames();
    auto *box = child<QLineEdit>(QStringLiteral("newNameBox"));
    typeText(box, typed);
    QTest::mouseClick(child<QPushButton>(QStringLiteral("addButton")), Qt::LeftButton);
    QCOMPARE(Prompter::shownTexts(), QStringList{message});
    QCOMPARE(box->text(), typed);
    QStringList expected = before;
    if (!added.isEmpty())
        expected << added;
    expected.sort();
    QCOMPARE(storedNames(), expected);
    QStringList shownNames = listed();
    shownNames.sort();
    QCOMPARE(shownNames, expected);
    if (!added.isEmpty())
        QVERIFY(UserAccounts(m_t->db()).checkLogin(added, Schema::kDefaultPassword));
}

void TestTuserglfm::deleteUser_data()
{
    QTest::addColumn<QString>("picked"); // empty: nothing picked
    QTest::addColumn<bool>("answerYes");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("confirmed") << QStringLiteral("O'Neil") << true
                               << QStringList{QStringLiteral("你真的要删除用户：O'Neil吗?"),
                                              QStringLiteral("成功删除！")}
                               << true;
    QTest::newRow("declined") << QStringLiteral("张三") << false
                              << QStringList{QStringLiteral("你真的要删除用户：张三吗?")} << false;
    QTest::newRow("administrator refused")
        << Schema::kAdministrator << true << QStringList{QStringLiteral("超级管理员不能删除！")} << false;
    QTest::newRow("nothing picked") << QString() << true << QStringList{QStringLiteral("请选择用户")}
                                    << false;
}

void TestTuserglfm::deleteUser()
{
    QFETCH(QString, picked);
    QFETCH(bool, answerYes);
    QFETCH(QStringList, messages);
    QFETCH(bool, deleted);
    openWindow();
    unlock();
    if (!picked.isEmpty())
        pick(picked);
    const QStringList before = storedNames();
    Prompter::queueAnswer(answerYes ? Prompter::Answer::Yes : Prompter::Answer::No);
    child<QTabWidget>(QStringLiteral("userTabs"))->setCurrentIndex(2);
    QTest::mouseClick(child<QPushButton>(QStringLiteral("deleteButton")), Qt::LeftButton);
    QCOMPARE(Prompter::shownTexts(), messages);
    QStringList expected = before;
    if (deleted)
        expected.removeAll(picked);
    QCOMPARE(storedNames(), expected);
    QStringList shownNames = listed();
    shownNames.sort();
    QCOMPARE(shownNames, expected);
    QCOMPARE(child<QLineEdit>(QStringLiteral("deleteNameBox"))->text().isEmpty(),
             deleted || picked.isEmpty());
}

void TestTuserglfm::resetThenLoginWithDefault_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("operator") << QStringLiteral("张三");
    QTest::newRow("administrator's own") << Schema::kAdministrator;
}

void TestTuserglfm::resetThenLoginWithDefault()
{
    QFETCH(QString, name);
    openWindow();
    unlock();
    ExecuteStatement(m_t->db(), QStringLiteral("update userdb set passwd = ? where username = ?"),
                     {PasswordHash::hash(QStringLiteral("forgot1")), name});
    QTest::mouseClick(child<QPushButton>(QStringLiteral("resetButton")), Qt::LeftButton);
    QCOMPARE(Prompter::shownTexts(), QStringList{QStringLiteral("请选择用户名！")});
    Prompter::clearShown();
    pick(name);
    QTest::mouseClick(child<QPushButton>(QStringLiteral("resetButton")), Qt::LeftButton);
    QCOMPARE(Prompter::shownTexts(),
             QStringList{QStringLiteral("已经成功将密码初始化为：") + Schema::kDefaultPassword});
    UserAccounts accounts(m_t->db());
    QVERIFY(accounts.checkLogin(name, Schema::kDefaultPassword));
    QVERIFY(!accounts.checkLogin(name, QStringLiteral("forgot1")));
}

void TestTuserglfm::resetHintNamesTheDefault()
{
    openWindow();
    unlock();
    QTest::mouseClick(child<QPushButton>(QStringLiteral("hintButton")), Qt::LeftButton);
    QCOMPARE(Prompter::shownTexts(),
             QStringList{QStringLiteral("初始化口令用于忘记密码的用户，将口令更改为:") +
                         Schema::kDefaultPassword});
}

void TestTuserglfm::restrictedSessionIsRefusedBelowTheWindow()
{
    // An operator who knows the administrator's password still works in his
    // own session: the accounts refuse him.
    openWindow(Session{QStringLiteral("张三"), 5});
    unlock();
    const QStringList before = storedNames();
    typeText(child<QLineEdit>(QStringLiteral("newNameBox")), QStringLiteral("李四"));
    child<QPushButton>(QStringLiteral("addButton"))->click();
    pick(QStringLiteral("O'Neil"));
    child<QPushButton>(QStringLiteral("resetButton"))->click();
    Prompter::queueAnswer(Prompter::Answer::Yes);
    child<QPushButton>(QStringLiteral("deleteButton"))->click();
    QCOMPARE(Prompter::shownTexts(), QStringList(3, QStringLiteral("当前操作员无权执行此操作！")));
    QCOMPARE(storedNames(), before);
    QVERIFY(UserAccounts(m_t->db()).checkLogin(QStringLiteral("O'Neil"), QStringLiteral("own1")));
}

void TestTuserglfm::closeDestroysTheWindow()
{
    openWindow();
    unlock();
    QTest::mouseClick(child<QPushButton>(QStringLiteral("closeButton")), Qt::LeftButton);
    QTRY_VERIFY(m_window.isNull());
    // A new opening starts locked.
    openWindow();
    QVERIFY(!child<QListWidget>(QStringLiteral("userList"))->isEnabled());
    QVERIFY(!child<QTabWidget>(QStringLiteral("userTabs"))->isEnabled());
}

int main(int argc, char *argv[])
{
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    TestTuserglfm test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tuserglfm.moc"

#include "TestDatabase.h"
#include "common/Prompter.h"
#include "data/PasswordHash.h"
#include "data/QueryHelpers.h"
#include "data/Schema.h"
#include "data/SettingsStore.h"
#include "shell/DesktopShortcut.h"
#include "shell/Tloginfm.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// Key by key, as a keyboard or an input method delivers them; QTest's own
// key table knows only ASCII.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}
} // namespace

// The login window driven like an operator would: keys, clicks, the
// messages it shows, and the rz rows and shortcut it leaves behind.
class TestTloginfm : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void showsItsControlsAndTheNames();
    void passwordBoxTakesOnlyLettersAndDigits_data();
    void passwordBoxTakesOnlyLettersAndDigits();
    void pastedOrComposedTextCannotBringInOtherCharacters();
    void requiredBoxesAreReportedAndFocused_data();
    void requiredBoxesAreReportedAndFocused();
    void wrongPasswordClearsTheBoxAndLetsTryAgain();
    void keyboardOnlyLoginOpensTheSession();
    void twoLoginsGiveTwoRowsWithIncreasingIds();
    void closingOrCancellingWritesNoRow_data();
    void closingOrCancellingWritesNoRow();
    void zeroStockPreferenceIsReadAtLogin_data();
    void zeroStockPreferenceIsReadAtLogin();
    void legacyPlainPasswordIsAcceptedOnceThenHashed();
    void defaultPasswordIsNoticed_data();
    void defaultPasswordIsNoticed();
    void typedNameIsUsedAsTyped();
    void shortcutIsMadeAtEveryShow();
    void shortcutNamesTheDatabaseChosenAtStart();
    void shortcutArgumentsAreQuoted_data();
    void shortcutArgumentsAreQuoted();
    void shortcutIconIsTheInstalledOneOrWrittenBesideTheData();
    void desktopFolderFollowsTheUserDirs();

private:
    std::unique_ptr<Tloginfm> showLogin();
    QComboBox *userBox(Tloginfm &w) { return w.findChild<QComboBox *>(QStringLiteral("userBox")); }
    QLineEdit *passwordBox(Tloginfm &w) { return w.findChild<QLineEdit *>(QStringLiteral("passwordBox")); }
    QPushButton *button(Tloginfm &w, const QString &name) { return w.findChild<QPushButton *>(name); }
    int sessionRows() { return ScalarValue(m_t->db(), QStringLiteral("select count(*) from rz")).toInt(); }
    void addUser(const QString &name, const QString &password);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestDatabase> m_t;
    std::unique_ptr<SettingsStore> m_settings;
};

void TestTloginfm::init()
{
    Prompter::setTestMode(true);
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("desk")));
    m_t = std::make_unique<TestDatabase>();
    QVERIFY2(m_t->isOpen(), qPrintable(m_t->errorText()));
    m_settings = std::make_unique<SettingsStore>(m_dir->filePath(QStringLiteral("jxc.ini")));
}

void TestTloginfm::cleanup()
{
    m_settings.reset();
    m_t.reset();
    m_dir.reset();
}

void TestTloginfm::addUser(const QString &name, const QString &password)
{
    ExecuteStatement(m_t->db(), QStringLiteral("insert into userdb (username, passwd) values (?, ?)"),
                     {name, PasswordHash::hash(password)});
}

std::unique_ptr<Tloginfm> TestTloginfm::showLogin()
{
    auto w = std::make_unique<Tloginfm>(m_t->db(), *m_settings);
    w->setDesktopFolder(m_dir->filePath(QStringLiteral("desk")));
    w->show();
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w.get()))
        qWarning("login window did not become active");
    return w;
}

void TestTloginfm::showsItsControlsAndTheNames()
{
    addUser(QStringLiteral("张三"), QStringLiteral("a1"));
    addUser(QStringLiteral("Anna"), QStringLiteral("a1"));
    addUser(QStringLiteral("张三"), QStringLiteral("a2"));
    auto w = showLogin();
    QCOMPARE(w->windowTitle(), QStringLiteral("用户登录"));
    QCOMPARE(w->findChild<QLabel *>(QStringLiteral("defaultPasswordLabel"))->text(),
             QStringLiteral("初始登陆密码：") + Schema::kDefaultPassword);
    QCOMPARE(button(*w, QStringLiteral("loginButton"))->text(), QStringLiteral("登 录"));
    QVERIFY(button(*w, QStringLiteral("loginButton"))->isVisible());
    QCOMPARE(button(*w, QStringLiteral("cancelButton"))->text(), QStringLiteral("退出"));
    QVERIFY(!button(*w, QStringLiteral("cancelButton"))->isVisible());
    QCOMPARE(button(*w, QStringLiteral("shortcutButton"))->text(), QStringLiteral("桌面快捷"));
    QVERIFY(!button(*w, QStringLiteral("shortcutButton"))->isVisible());
    QVERIFY(!button(*w, QStringLiteral("shortcutButton"))->isEnabled());

    QComboBox *users = userBox(*w);
    QVERIFY(users->isEditable());
    QStringList listed;
    for (int i = 0; i < users->count(); ++i)
        listed << users->itemText(i);
    QCOMPARE(listed, (QStringList{QStringLiteral("Anna"), QStringLiteral("张三"), Schema::kAdministrator}));
    QCOMPARE(users->currentText(), QStringLiteral("Anna"));
    QCOMPARE(QApplication::focusWidget(), users);

    QLineEdit *password = passwordBox(*w);
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    QCOMPARE(password->maxLength(), 10);
}

void TestTloginfm::passwordBoxTakesOnlyLettersAndDigits_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("letters and digits") << QStringLiteral("aZ09") << QStringLiteral("aZ09");
    QTest::newRow("blank dropped") << QStringLiteral("ab c1") << QStringLiteral("abc1");
    QTest::newRow("chinese dropped") << QStringLiteral("口令a9") << QStringLiteral("a9");
    QTest::newRow("punctuation dropped") << QStringLiteral("a-b_c.d!'") << QStringLiteral("abcd");
    QTest::newRow("full-width digit dropped") << QStringLiteral("１2") << QStringLiteral("2");
    QTest::newRow("at most ten") << QStringLiteral("abcdefghijk12") << QStringLiteral("abcdefghij");
}

void TestTloginfm::passwordBoxTakesOnlyLettersAndDigits()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    auto w = showLogin();
    typeText(passwordBox(*w), typed);
    QCOMPARE(passwordBox(*w)->text(), kept);
}

void TestTloginfm::pastedOrComposedTextCannotBringInOtherCharacters()
{
    auto w = showLogin();
    QLineEdit *box = passwordBox(*w);
    QTest::keyClicks(box, QStringLiteral("ab"));
    QApplication::clipboard()->setText(QStringLiteral("c d"));
    box->paste();
    QCOMPARE(box->text(), QStringLiteral("ab"));
    QApplication::clipboard()->setText(QStringLiteral("cd"));
    box->paste();
    QCOMPARE(box->text(), QStringLiteral("abcd"));

    QInputMethodEvent composed(QString(), {});
    composed.setCommitString(QStringLiteral("密码"));
    QApplication::sendEvent(box, &composed);
    QCOMPARE(box->text(), QStringLiteral("abcd"));
}

void TestTloginfm::requiredBoxesAreReportedAndFocused_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focused");
    QTest::newRow("no user") << QString() << QStringLiteral("888") << QStringLiteral("必须选择用户！")
                             << QStringLiteral("userBox");
    QTest::newRow("blank user") << QStringLiteral("   ") << QStringLiteral("888")
                                << QStringLiteral("必须选择用户！") << QStringLiteral("userBox");
    QTest::newRow("both empty: user first")
        << QString() << QString() << QStringLiteral("必须选择用户！") << QStringLiteral("userBox");
    QTest::newRow("no password") << Schema::kAdministrator << QString() << QStringLiteral("必须输入密码！")
                                 << QStringLiteral("passwordBox");
}

void TestTloginfm::requiredBoxesAreReportedAndFocused()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, message);
    QFETCH(QString, focused);
    auto w = showLogin();
    userBox(*w)->setEditText(QString());
    typeText(userBox(*w)->lineEdit(), user);
    QTest::keyClicks(passwordBox(*w), password);
    QTest::mouseClick(button(*w, QStringLiteral("loginButton")), Qt::LeftButton);
    QCOMPARE(Prompter::shownTexts(), QStringList{message});
    QCOMPARE(Prompter::shown().constFirst().kind, Prompter::Kind::Warning);
    QWidget *focus = QApplication::focusWidget();
    QVERIFY(focus);
    QVERIFY2(focus->objectName() == focused || focus->parentWidget()->objectName() == focused,
             qPrintable(focus->objectName()));
    QVERIFY(w->isVisible());
    QCOMPARE(w->result(), int(QDialog::Rejected));
    QCOMPARE(sessionRows(), 0);
}

void TestTloginfm::wrongPasswordClearsTheBoxAndLetsTryAgain()
{
    auto w = showLogin();
    userBox(*w)->setEditText(Schema::kAdministrator);
    QTest::keyClicks(passwordBox(*w), QStringLiteral("889"));
    QTest::mouseClick(button(*w, QStringLiteral("loginButton")), Qt::LeftButton);
    QCOMPARE(Prompter::shownTexts(), QStringList{QStringLiteral("密码不正确！请重新输入！")});
    QVERIFY(passwordBox(*w)->text().isEmpty());
    QCOMPARE(QApplication::focusWidget(), passwordBox(*w));
    QVERIFY(w->isVisible());
    QCOMPARE(sessionRows(), 0);

    QTest::keyClicks(passwordBox(*w), Schema::kDefaultPassword);
    QTest::mouseClick(button(*w, QStringLiteral("loginButton")), Qt::LeftButton);
    QCOMPARE(w->result(), int(QDialog::Accepted));
    QVERIFY(!w->isVisible());
    QCOMPARE(sessionRows(), 1);
}

void TestTloginfm::keyboardOnlyLoginOpensTheSession()
{
    addUser(QStringLiteral("张三"), QStringLiteral("zs1"));
    auto w = showLogin();
    QLineEdit *nameEdit = userBox(*w)->lineEdit();
    nameEdit->selectAll();
    typeText(nameEdit, QStringLiteral("张三"));
    QTest::keyClick(nameEdit, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), passwordBox(*w));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("zs1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), button(*w, QStringLiteral("loginButton")));
    QVERIFY(w->isVisible()); // Enter in the password box only moves on
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(w->result(), int(QDialog::Accepted));
    QVERIFY(Prompter::shownTexts().isEmpty());

    QCOMPARE(w->session().username, QStringLiteral("张三"));
    QVERIFY(w->session().isRestricted());
    QSqlQuery q = OpenStatement(m_t->db(), QStringLiteral("select id, username, btime, jtime from rz"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toLongLong(), w->session().id);
    QCOMPARE(q.value(1).toString(), QStringLiteral("张三"));
    QVERIFY(!q.isNull(2));
    QVERIFY(q.isNull(3));
    QVERIFY(!q.next());
}

void TestTloginfm::twoLoginsGiveTwoRowsWithIncreasingIds()
{
    QList<qint64> ids;
    for (int run = 0; run < 2; ++run) {
        auto w = showLogin();
        userBox(*w)->setEditText(Schema::kAdministrator);
        QTest::keyClicks(passwordBox(*w), Schema::kDefaultPassword);
        QTest::mouseClick(button(*w, QStringLiteral("loginButton")), Qt::LeftButton);
        QCOMPARE(w->result(), int(QDialog::Accepted));
        QVERIFY(w->session().isAdministrator());
        ids << w->session().id;
    }
    QVERIFY(ids.at(1) > ids.at(0));
    QSqlQuery q = OpenStatement(m_t->db(), QStringLiteral("select id from rz order by id"));
    QList<qint64> stored;
    while (q.next())
        stored << q.value(0).toLongLong();
    QCOMPARE(stored, ids);
}

void TestTloginfm::closingOrCancellingWritesNoRow_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("closes"); // only the title bar ends the sign-in
    QTest::newRow("title-bar close") << QStringLiteral("close") << true;
    QTest::newRow("escape does nothing") << QStringLiteral("escape") << false;
    QTest::newRow("hidden cancel button is inactive") << QStringLiteral("cancel") << false;
}

void TestTloginfm::closingOrCancellingWritesNoRow()
{
    QFETCH(QString, how);
    auto w = showLogin();
    userBox(*w)->setEditText(Schema::kAdministrator);
    QTest::keyClicks(passwordBox(*w), Schema::kDefaultPassword);
    if (how == QLatin1String("close"))
        w->close();
    else if (how == QLatin1String("escape"))
        QTest::keyClick(passwordBox(*w), Qt::Key_Escape);
    else
        button(*w, QStringLiteral("cancelButton"))->click();
    QFETCH(bool, closes);
    QCOMPARE(!w->isVisible(), closes);
    if (closes)
        QCOMPARE(w->result(), int(QDialog::Rejected));
    QCOMPARE(w->session().id, 0);
    QCOMPARE(sessionRows(), 0);
}

void TestTloginfm::zeroStockPreferenceIsReadAtLogin_data()
{
    QTest::addColumn<QString>("stored"); // "<absent>": the key was never written
    QTest::addColumn<int>("expected");   // -1: nullopt, 0: show all, 1: hide zero stock
    QTest::newRow("no settings at all") << QStringLiteral("<absent>") << -1;
    QTest::newRow("n0 = no hides zero stock") << QStringLiteral("no") << 1;
    QTest::newRow("n0 = yes shows all") << QStringLiteral("yes") << 0;
    QTest::newRow("other value changes nothing") << QStringLiteral("maybe") << -1;
    QTest::newRow("empty value changes nothing") << QString() << -1;
}

void TestTloginfm::zeroStockPreferenceIsReadAtLogin()
{
    QFETCH(QString, stored);
    QFETCH(int, expected);
    if (stored != QLatin1String("<absent>"))
        QVERIFY(m_settings->setValue(QStringLiteral("n0"), stored));
    else
        QVERIFY(!m_settings->keyExists());
    auto w = showLogin();
    userBox(*w)->setEditText(Schema::kAdministrator);
    QTest::keyClicks(passwordBox(*w), Schema::kDefaultPassword);
    QTest::mouseClick(button(*w, QStringLiteral("loginButton")), Qt::LeftButton);
    QCOMPARE(w->result(), int(QDialog::Accepted));
    const std::optional<bool> hide = w->hideZeroStock();
    QCOMPARE(hide.has_value() ? int(*hide) : -1, expected);
}

void TestTloginfm::legacyPlainPasswordIsAcceptedOnceThenHashed()
{
    ExecuteStatement(m_t->db(), QStringLiteral("insert into userdb (username, passwd) values (?, ?)"),
                     {QStringLiteral("老王"), QStringLiteral("lw88")});
    auto w = showLogin();
    userBox(*w)->setEditText(QStringLiteral("老王"));
    QTest::keyClicks(passwordBox(*w), QStringLiteral("lw88"));
    QTest::mouseClick(button(*w, QStringLiteral("loginButton")), Qt::LeftButton);
    QCOMPARE(w->result(), int(QDialog::Accepted));
    const QString stored =
        ScalarValue(m_t->db(), QStringLiteral("select passwd from userdb where username = ?"),
                    {QStringLiteral("老王")})
            .toString();
    QVERIFY2(PasswordHash::isHashed(stored), qPrintable(stored));
    QVERIFY(PasswordHash::verify(QStringLiteral("lw88"), stored));
}

void TestTloginfm::defaultPasswordIsNoticed_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("isDefault");
    QTest::newRow("new account") << QString(Schema::kDefaultPassword) << QString(Schema::kDefaultPassword)
                                 << true;
    QTest::newRow("own password") << QStringLiteral("zs1") << QStringLiteral("zs1") << false;
    QTest::newRow("own password starting like the default")
        << QStringLiteral("8881") << QStringLiteral("8881") << false;
}

void TestTloginfm::defaultPasswordIsNoticed()
{
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(bool, isDefault);
    addUser(QStringLiteral("张三"), stored);
    auto w = showLogin();
    userBox(*w)->setEditText(QStringLiteral("张三"));
    QTest::keyClicks(passwordBox(*w), typed);
    QTest::mouseClick(button(*w, QStringLiteral("loginButton")), Qt::LeftButton);
    QCOMPARE(w->result(), int(QDialog::Accepted));
    QCOMPARE(w->usedDefaultPassword(), isDefault);
}

void TestTloginfm::typedNameIsUsedAsTyped()
{
    const QString name = QStringLiteral(" O'Neil 张 ");
    addUser(name, QStringLiteral("on1"));
    {
        // The trimmed name is another (unknown) operator.
        auto w = showLogin();
        userBox(*w)->setEditText(name.trimmed());
        QTest::keyClicks(passwordBox(*w), QStringLiteral("on1"));
        QTest::mouseClick(button(*w, QStringLiteral("loginButton")), Qt::LeftButton);
        QCOMPARE(Prompter::lastText(), QStringLiteral("密码不正确！请重新输入！"));
        QVERIFY(w->isVisible());
    }
    auto w = showLogin();
    userBox(*w)->setEditText(name);
    QTest::keyClicks(passwordBox(*w), QStringLiteral("on1"));
    QTest::mouseClick(button(*w, QStringLiteral("loginButton")), Qt::LeftButton);
    QCOMPARE(w->result(), int(QDialog::Accepted));
    QCOMPARE(w->session().username, name);
    QCOMPARE(ScalarValue(m_t->db(), QStringLiteral("select username from rz where id = ?"), {w->session().id})
                 .toString(),
             name);
}

void TestTloginfm::shortcutIsMadeAtEveryShow()
{
    const QString desk = m_dir->filePath(QStringLiteral("desk"));
    const QString file = QDir(desk).filePath(QStringLiteral("岚蔚箱包销售管理软件.desktop"));
    {
        QFile stale(file);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("[Desktop Entry]\nExec=/old/place/lwjxc\n");
    }
    auto w = showLogin();
    QFile made(file);
    QVERIFY(made.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(made.readAll());
    made.close();
    const QString exe = QApplication::applicationFilePath();
    QVERIFY2(text.startsWith(QStringLiteral("[Desktop Entry]\n")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("\nType=Application\n")));
    QVERIFY(text.contains(QStringLiteral("\nName=岚蔚箱包销售管理软件\n")));
    QVERIFY(text.contains(QStringLiteral("\nComment=岚蔚箱包销售管理软件\n")));
    QVERIFY2(text.contains(QStringLiteral("\nExec=\"") + exe + QStringLiteral("\"\n")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("\nPath=") + QFileInfo(exe).absolutePath() + u'\n'));
    QVERIFY(text.contains(QStringLiteral("\nIcon=")));
    QVERIFY(!text.contains(QStringLiteral("/old/place")));
    QVERIFY(QFileInfo(file).isExecutable());

    // Shown again after the operator deleted it: made again.
    w->hide();
    QVERIFY(QFile::remove(file));
    w->show();
    QVERIFY(QFile::exists(file));
    QCOMPARE(QDir(desk).entryList(QDir::Files | QDir::Hidden).size(), 1);

    // The quoting a launcher needs for a program in an odd folder.
    const QString entry =
        DesktopShortcut::desktopEntry(QStringLiteral("/opt/my \"shop\"/100%/lwjxc"), QString());
    QVERIFY2(entry.contains(QStringLiteral("\nExec=\"/opt/my \\\\\"shop\\\\\"/100%%/lwjxc\"\n")),
             qPrintable(entry));
    QVERIFY(entry.contains(QStringLiteral("\nPath=/opt/my \"shop\"/100%\n")));

    // No desktop folder: nothing is made anywhere, and logging in still works.
    auto w2 = std::make_unique<Tloginfm>(m_t->db(), *m_settings);
    w2->setDesktopFolder(m_dir->filePath(QStringLiteral("no such folder")));
    w2->show();
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("no such folder"))));
    userBox(*w2)->setEditText(Schema::kAdministrator);
    QTest::keyClicks(passwordBox(*w2), Schema::kDefaultPassword);
    QTest::mouseClick(button(*w2, QStringLiteral("loginButton")), Qt::LeftButton);
    QCOMPARE(w2->result(), int(QDialog::Accepted));
}

namespace {
QString readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}
} // namespace

void TestTloginfm::shortcutNamesTheDatabaseChosenAtStart()
{
    const QString desk = m_dir->filePath(QStringLiteral("desk"));
    const QString file = QDir(desk).filePath(DesktopShortcut::fileName());
    const QString exe = QApplication::applicationFilePath();

    // The default database: the launcher starts the program plainly.
    showLogin();
    QVERIFY2(readAll(file).contains(QStringLiteral("\nExec=\"") + exe + QStringLiteral("\"\n")),
             qPrintable(readAll(file)));

    // A database named at start is named in the launcher too.
    DatabaseLocation named = m_t->location();
    named.explicitlyNamed = true;
    Database other(named, QStringLiteral("named_at_start"));
    QVERIFY2(other.isOpen(), qPrintable(other.errorText()));
    Tloginfm w(other, *m_settings);
    w.setDesktopFolder(desk);
    w.show();
    const QString expected = QStringLiteral("\nExec=\"%1\" \"--database\" \"%2\"\n").arg(exe, named.path);
    QVERIFY2(readAll(file).contains(expected), qPrintable(readAll(file)));
}

void TestTloginfm::shortcutArgumentsAreQuoted_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("inExec");

    QTest::newRow("spaces and Chinese")
        << QStringLiteral("/home/店主/My Shop/data.mdb") << QStringLiteral("\"/home/店主/My Shop/data.mdb\"");
    QTest::newRow("shell characters") << QStringLiteral("/srv/a\"b$c`d\\e.mdb")
                                      << QStringLiteral("\"/srv/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e.mdb\"");
    QTest::newRow("percent of an address") << QStringLiteral("postgresql://a%40b@h:5432/db")
                                           << QStringLiteral("\"postgresql://a%%40b@h:5432/db\"");
}

void TestTloginfm::shortcutArgumentsAreQuoted()
{
    QFETCH(QString, argument);
    QFETCH(QString, inExec);

    const QString entry = DesktopShortcut::desktopEntry(
        QStringLiteral("/usr/bin/lwjxc"), QStringLiteral("lwjxc"), {QStringLiteral("--database"), argument});
    const QString expected = QStringLiteral("\nExec=\"/usr/bin/lwjxc\" \"--database\" ") + inExec + u'\n';
    QVERIFY2(entry.contains(expected), qPrintable(entry + QStringLiteral("\nexpected:") + expected));
    // The entry stays valid for the desktop's own checker when it is there.
    const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (validator.isEmpty())
        return;
    const QString file = m_dir->filePath(QStringLiteral("check.desktop"));
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(entry.toUtf8());
    }
    QProcess process;
    process.start(validator, {file});
    QVERIFY(process.waitForFinished(30000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardOutput().constData());
}

void TestTloginfm::shortcutIconIsTheInstalledOneOrWrittenBesideTheData()
{
    // An installed program: <prefix>/bin beside <prefix>/share/icons.
    const QDir prefix(m_dir->filePath(QStringLiteral("usr")));
    QVERIFY(prefix.mkpath(QStringLiteral("bin")));
    const QString exe = prefix.filePath(QStringLiteral("bin/lwjxc"));
    {
        QFile program(exe);
        QVERIFY(program.open(QIODevice::WriteOnly));
    }
    QCOMPARE(DesktopShortcut::installedIconName(exe), QString());
    QVERIFY(prefix.mkpath(QStringLiteral("share/icons/hicolor/scalable/apps")));
    QVERIFY(QFile::copy(QStringLiteral(":/icons/hicolor/16x16/apps/lwjxc.png"),
                        prefix.filePath(QStringLiteral("share/icons/hicolor/scalable/apps/lwjxc.svg"))));
    QCOMPARE(DesktopShortcut::installedIconName(exe), QStringLiteral("lwjxc"));

    const QString desk = m_dir->filePath(QStringLiteral("desk"));
    const DesktopShortcut shortcut(desk);
    QVERIFY(shortcut.create(exe, DesktopShortcut::programIcon()));
    QVERIFY2(readAll(shortcut.path()).contains(QStringLiteral("\nIcon=lwjxc\n")),
             qPrintable(readAll(shortcut.path())));

    // Run from a build folder: the suitcase is written beside the user's data.
    QVERIFY(shortcut.create(QApplication::applicationFilePath(), DesktopShortcut::programIcon()));
    const QString text = readAll(shortcut.path());
    const qsizetype at = text.indexOf(QStringLiteral("\nIcon=")) + 6;
    const QString iconFile = text.mid(at, text.indexOf(u'\n', at) - at);
    QVERIFY2(iconFile.endsWith(QStringLiteral("/lwjxc.png")), qPrintable(text));
    const QImage image(iconFile);
    QCOMPARE(image.size(), QSize(256, 256));
    // The suitcase's brown body at the centre, not a blank or generic icon.
    const QColor centre = image.pixelColor(128, 110);
    QVERIFY2(centre.red() > centre.blue() + 60, qPrintable(centre.name()));
}

void TestTloginfm::desktopFolderFollowsTheUserDirs()
{
    // HOME and XDG_CONFIG_HOME point into a temporary folder (see main).
    const QDir home(QDir::homePath());
    QDir(home.filePath(QStringLiteral("Desktop"))).removeRecursively();
    QFile::remove(home.filePath(QStringLiteral(".config/user-dirs.dirs")));
    // Neither a configured desktop nor ~/Desktop: no shortcut, no folder made.
    QCOMPARE(DesktopShortcut::defaultDesktopFolder(), QString());
    QVERIFY(DesktopShortcut().path().isEmpty());
    QVERIFY(!DesktopShortcut().create(QApplication::applicationFilePath()));
    QVERIFY(!home.exists(QStringLiteral("Desktop")));

    QVERIFY(home.mkdir(QStringLiteral("Desktop")));
    QCOMPARE(DesktopShortcut::defaultDesktopFolder(), home.filePath(QStringLiteral("Desktop")));

    QVERIFY(home.mkpath(QStringLiteral(".config")));
    QVERIFY(home.mkdir(QStringLiteral("桌面")));
    QFile dirs(home.filePath(QStringLiteral(".config/user-dirs.dirs")));
    QVERIFY(dirs.open(QIODevice::WriteOnly));
    dirs.write(QStringLiteral("XDG_DESKTOP_DIR=\"$HOME/桌面\"\n").toUtf8());
    dirs.close();
    QCOMPARE(DesktopShortcut::defaultDesktopFolder(), home.filePath(QStringLiteral("桌面")));
    QVERIFY(DesktopShortcut().create(QApplication::applicationFilePath()));
    QVERIFY(QFile::exists(home.filePath(QStringLiteral("桌面/岚蔚箱包销售管理软件.desktop"))));
}

int main(int argc, char *argv[])
{
    // The desktop and settings of this test live in a temporary home.
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral(".config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral(".local/share"))));
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    TestTloginfm test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tloginfm.moc"

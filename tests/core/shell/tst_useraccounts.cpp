#include "TestDatabase.h"
#include "data/PasswordHash.h"
#include "data/QueryHelpers.h"
#include "data/Schema.h"
#include "shell/Session.h"
#include "shell/UserAccounts.h"

#include <QSqlQuery>
#include <QtTest>

using AddResult = UserAccounts::AddResult;
using DeleteResult = UserAccounts::DeleteResult;
using ResetResult = UserAccounts::ResetResult;
using ChangeResult = UserAccounts::ChangeResult;

Q_DECLARE_METATYPE(UserAccounts::AddResult)
Q_DECLARE_METATYPE(UserAccounts::DeleteResult)
Q_DECLARE_METATYPE(UserAccounts::ResetResult)
Q_DECLARE_METATYPE(UserAccounts::ChangeResult)

// The operator accounts: login check, lists, the administrator's tools and
// the password change, on the engine of this run.
class TestUserAccounts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void login_data();
    void login();
    void legacyPlainPasswordIsAcceptedThenStoredHashed();
    void olderHashIsReplacedByArgon2idAtSignIn();
    void failedLoginLeavesLegacyPasswordAlone();
    void namesInStoredOrderAndDistinctAscending();
    void addUser_data();
    void addUser();
    void namesAreComparedAfterNormalisationAndCaseFolding_data();
    void namesAreComparedAfterNormalisationAndCaseFolding();
    void deleteUser_data();
    void deleteUser();
    void resetThenLoginWithDefault_data();
    void resetThenLoginWithDefault();
    void changePassword_data();
    void changePassword();
    void restrictedSessionCannotManageUsers_data();
    void restrictedSessionCannotManageUsers();
    void restrictedSessionChangesOnlyItsOwnPassword();

private:
    void insertRow(const QString &name, const QString &stored);
    QString storedPassword(const QString &name) const;
    int rowCount() const;
    QStringList allRows() const;

    std::unique_ptr<TestDatabase> m_t;
    std::unique_ptr<UserAccounts> m_accounts;
    const Session m_admin{Schema::kAdministrator, 1};
};

void TestUserAccounts::initTestCase()
{
    qInfo("database backend: %s", qPrintable(TestDatabase::backendName()));
}

void TestUserAccounts::init()
{
    m_t = std::make_unique<TestDatabase>();
    QVERIFY2(m_t->isOpen(), qPrintable(m_t->errorText()));
    m_accounts = std::make_unique<UserAccounts>(m_t->db());
}

void TestUserAccounts::cleanup()
{
    m_accounts.reset();
    m_t.reset();
}

void TestUserAccounts::insertRow(const QString &name, const QString &stored)
{
    ExecuteStatement(m_t->db(), QStringLiteral("insert into userdb (username, passwd) values (?, ?)"),
                     {name, stored});
}

QString TestUserAccounts::storedPassword(const QString &name) const
{
    return ScalarValue(m_t->db(), QStringLiteral("select passwd from userdb where username = ?"), {name})
        .toString();
}

int TestUserAccounts::rowCount() const
{
    return ScalarValue(m_t->db(), QStringLiteral("select count(*) from userdb")).toInt();
}

QStringList TestUserAccounts::allRows() const
{
    QSqlQuery q = OpenStatement(
        m_t->db(), QStringLiteral("select username, passwd from userdb order by username, passwd"));
    QStringList rows;
    while (q.next())
        rows << q.value(0).toString() + u'|' + q.value(1).toString();
    return rows;
}

void TestUserAccounts::login_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("accepted");
    // Accounts: see the test body.
    QTest::newRow("administrator, default password")
        << Schema::kAdministrator << Schema::kDefaultPassword << true;
    QTest::newRow("administrator, wrong password")
        << Schema::kAdministrator << QStringLiteral("889") << false;
    QTest::newRow("chinese name") << QStringLiteral("张三") << QStringLiteral("abc123") << true;
    QTest::newRow("password is trimmed") << QStringLiteral("张三") << QStringLiteral("  abc123 ") << true;
    QTest::newRow("password is case sensitive")
        << QStringLiteral("张三") << QStringLiteral("ABC123") << false;
    QTest::newRow("other user's password") << QStringLiteral("张三") << QStringLiteral("q1") << false;
    QTest::newRow("quote in name") << QStringLiteral("O'Neil") << QStringLiteral("q1") << true;
    QTest::newRow("name with blanks as typed") << QStringLiteral(" 李 四 ") << QStringLiteral("x1") << true;
    QTest::newRow("name is not trimmed") << QStringLiteral("李 四") << QStringLiteral("x1") << false;
    QTest::newRow("unknown user") << QStringLiteral("王五") << QStringLiteral("888") << false;
    QTest::newRow("name stored twice") << QStringLiteral("双人") << QStringLiteral("888") << false;
    QTest::newRow("empty password") << QStringLiteral("张三") << QString() << false;
    QTest::newRow("injection in name") << QStringLiteral("x' or '1'='1") << QStringLiteral("888") << false;
    QTest::newRow("injection in password")
        << QStringLiteral("张三") << QStringLiteral("' or '1'='1") << false;
}

void TestUserAccounts::login()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(bool, accepted);
    insertRow(QStringLiteral("张三"), PasswordHash::hash(QStringLiteral("abc123")));
    insertRow(QStringLiteral("O'Neil"), PasswordHash::hash(QStringLiteral("q1")));
    insertRow(QStringLiteral(" 李 四 "), PasswordHash::hash(QStringLiteral("x1")));
    insertRow(QStringLiteral("双人"), PasswordHash::hash(QStringLiteral("888")));
    insertRow(QStringLiteral("双人"), PasswordHash::hash(QStringLiteral("888")));
    const QStringList before = allRows();
    QCOMPARE(m_accounts->checkLogin(name, password), accepted);
    // Hashed values need no rewrite: a login changes nothing.
    QCOMPARE(allRows(), before);
}

void TestUserAccounts::legacyPlainPasswordIsAcceptedThenStoredHashed()
{
    insertRow(QStringLiteral("老王"), QStringLiteral("lw88"));
    QVERIFY(m_accounts->checkLogin(QStringLiteral("老王"), QStringLiteral("lw88")));
    const QString stored = storedPassword(QStringLiteral("老王"));
    QVERIFY2(PasswordHash::isHashed(stored), qPrintable(stored));
    QVERIFY(!stored.contains(QStringLiteral("lw88")));
    QVERIFY(PasswordHash::verify(QStringLiteral("lw88"), stored));
    // From now on the hash answers: the same password still works, others do not.
    QVERIFY(m_accounts->checkLogin(QStringLiteral("老王"), QStringLiteral("lw88")));
    QVERIFY(!m_accounts->checkLogin(QStringLiteral("老王"), stored));
    QCOMPARE(storedPassword(QStringLiteral("老王")), stored);
    QCOMPARE(rowCount(), 2);

    // The administrator of an older database, confirmed in the user window.
    ExecuteStatement(m_t->db(), QStringLiteral("update userdb set passwd = ? where username = ?"),
                     {QStringLiteral("123"), Schema::kAdministrator});
    QVERIFY(m_accounts->checkAdministrator(QStringLiteral("123")));
    QVERIFY(PasswordHash::isHashed(storedPassword(Schema::kAdministrator)));
}

void TestUserAccounts::olderHashIsReplacedByArgon2idAtSignIn()
{
    // PBKDF2 as the previous version wrote it.
    const QString old = PasswordHash::legacyPbkdf2(QStringLiteral("lw88"), 20000);
    insertRow(QStringLiteral("老王"), old);
    QVERIFY(!m_accounts->checkLogin(QStringLiteral("老王"), QStringLiteral("lw89")));
    QCOMPARE(storedPassword(QStringLiteral("老王")), old);
    QVERIFY(m_accounts->checkLogin(QStringLiteral("老王"), QStringLiteral("lw88")));
    const QString stored = storedPassword(QStringLiteral("老王"));
    QVERIFY2(stored.startsWith(QStringLiteral("$argon2id$")), qPrintable(stored));
    QVERIFY(!PasswordHash::needsRehash(stored));
    QVERIFY(m_accounts->checkLogin(QStringLiteral("老王"), QStringLiteral("lw88")));
    QCOMPARE(storedPassword(QStringLiteral("老王")), stored);
}

void TestUserAccounts::failedLoginLeavesLegacyPasswordAlone()
{
    insertRow(QStringLiteral("老王"), QStringLiteral("lw88"));
    QVERIFY(!m_accounts->checkLogin(QStringLiteral("老王"), QStringLiteral("lw89")));
    QCOMPARE(storedPassword(QStringLiteral("老王")), QStringLiteral("lw88"));
}

void TestUserAccounts::namesInStoredOrderAndDistinctAscending()
{
    QCOMPARE(m_accounts->addUser(m_admin, QStringLiteral("王五")), AddResult::Added);
    QCOMPARE(m_accounts->addUser(m_admin, QStringLiteral("张三")), AddResult::Added);
    QCOMPARE(m_accounts->addUser(m_admin, QStringLiteral("a李")), AddResult::Added);
    insertRow(QStringLiteral("张三"), QStringLiteral("1")); // left by an older version
    QCOMPARE(m_accounts->names(),
             (QStringList{Schema::kAdministrator, QStringLiteral("王五"), QStringLiteral("张三"),
                          QStringLiteral("a李"), QStringLiteral("张三")}));
    QCOMPARE(m_accounts->distinctNames(), (QStringList{QStringLiteral("a李"), QStringLiteral("张三"),
                                                       QStringLiteral("王五"), Schema::kAdministrator}));
}

void TestUserAccounts::addUser_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<AddResult>("result");
    QTest::addColumn<QString>("storedAs"); // empty: nothing added
    // "张三" exists before each row.
    QTest::newRow("new name") << QStringLiteral("李四") << AddResult::Added << QStringLiteral("李四");
    QTest::newRow("surrounding blanks trimmed")
        << QStringLiteral("  李四 ") << AddResult::Added << QStringLiteral("李四");
    QTest::newRow("inner blank kept")
        << QStringLiteral("李 四") << AddResult::Added << QStringLiteral("李 四");
    QTest::newRow("quote") << QStringLiteral("O'Neil") << AddResult::Added << QStringLiteral("O'Neil");
    QTest::newRow("longer name with existing prefix")
        << QStringLiteral("张三丰") << AddResult::Added << QStringLiteral("张三丰");
    QTest::newRow("existing name") << QStringLiteral("张三") << AddResult::AlreadyExists << QString();
    QTest::newRow("existing name with blanks")
        << QStringLiteral(" 张三\t") << AddResult::AlreadyExists << QString();
    QTest::newRow("administrator") << Schema::kAdministrator << AddResult::Administrator << QString();
    QTest::newRow("administrator with blanks")
        << QStringLiteral(" 超级管理员 ") << AddResult::Administrator << QString();
    QTest::newRow("empty") << QString() << AddResult::EmptyName << QString();
    QTest::newRow("blanks only") << QStringLiteral("   ") << AddResult::EmptyName << QString();

    // Names that only look like another one.
    const AddResult invisible = AddResult::InvisibleCharacters;
    QTest::newRow("administrator with zero-width space")
        << QStringLiteral("超级管理员\u200B") << invisible << QString();
    QTest::newRow("zero-width joiner inside") << QStringLiteral("张\u200D三") << invisible << QString();
    QTest::newRow("byte order mark") << QStringLiteral("\uFEFF李四") << invisible << QString();
    QTest::newRow("right-to-left override") << QStringLiteral("李\u202E四") << invisible << QString();
    QTest::newRow("control character") << QStringLiteral("李\u0007四") << invisible << QString();
    QTest::newRow("Hangul filler") << QStringLiteral("李\u3164") << invisible << QString();
    QTest::newRow("variation selector") << QStringLiteral("李四\uFE0F") << invisible << QString();
    QTest::newRow("private use") << QStringLiteral("李\uE000四") << invisible << QString();
    QTest::newRow("tag character") << QStringLiteral("李四") + QString::fromUcs4(U"\U000E0041", 1)
                                   << invisible << QString();
    QTest::newRow("other case") << QStringLiteral("Bob") << AddResult::Added << QStringLiteral("Bob");
    QTest::newRow("accented letter is another name")
        << QStringLiteral("José") << AddResult::Added << QStringLiteral("José");
}

void TestUserAccounts::namesAreComparedAfterNormalisationAndCaseFolding_data()
{
    QTest::addColumn<QString>("existing");
    QTest::addColumn<QString>("added");
    QTest::addColumn<AddResult>("result");
    QTest::newRow("lower case of an existing name")
        << QStringLiteral("Bob") << QStringLiteral("bob") << AddResult::AlreadyExists;
    QTest::newRow("upper case") << QStringLiteral("bob") << QStringLiteral("BOB") << AddResult::AlreadyExists;
    QTest::newRow("full-width letters")
        << QStringLiteral("Bob") << QStringLiteral("\uFF42\uFF4F\uFF42") << AddResult::AlreadyExists;
    QTest::newRow("composed and decomposed accent")
        << QStringLiteral("Jos\u00E9") << QStringLiteral("Jose\u0301") << AddResult::AlreadyExists;
    QTest::newRow("ideographic space inside")
        << QStringLiteral("李 四") << QStringLiteral("李\u3000四") << AddResult::AlreadyExists;
    QTest::newRow("an older row with different case")
        << QStringLiteral(" ANNA ") << QStringLiteral("anna") << AddResult::AlreadyExists;
    QTest::newRow("different names stay different")
        << QStringLiteral("Bob") << QStringLiteral("Bobby") << AddResult::Added;
}

void TestUserAccounts::namesAreComparedAfterNormalisationAndCaseFolding()
{
    QFETCH(QString, existing);
    QFETCH(QString, added);
    QFETCH(AddResult, result);
    insertRow(existing, PasswordHash::hash(QStringLiteral("abc")));
    QCOMPARE(m_accounts->addUser(m_admin, added), result);
    QCOMPARE(rowCount(), result == AddResult::Added ? 3 : 2);
}

void TestUserAccounts::addUser()
{
    QFETCH(QString, name);
    QFETCH(AddResult, result);
    QFETCH(QString, storedAs);
    insertRow(QStringLiteral("张三"), PasswordHash::hash(QStringLiteral("abc")));
    const QStringList before = allRows();
    QCOMPARE(m_accounts->addUser(m_admin, name), result);
    if (storedAs.isEmpty()) {
        QCOMPARE(allRows(), before);
        return;
    }
    QCOMPARE(rowCount(), 3);
    QCOMPARE(
        ScalarValue(m_t->db(), QStringLiteral("select count(*) from userdb where username = ?"), {storedAs})
            .toInt(),
        1);
    QVERIFY(PasswordHash::isHashed(storedPassword(storedAs)));
    QVERIFY(m_accounts->checkLogin(storedAs, Schema::kDefaultPassword));
}

void TestUserAccounts::deleteUser_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<DeleteResult>("result");
    QTest::addColumn<QStringList>("namesAfter");
    const QString admin = Schema::kAdministrator;
    // Before each row: 超级管理员, 张三, O'Neil, 张三 (a duplicate from an older version).
    QTest::newRow("every row of the name goes")
        << QStringLiteral("张三") << DeleteResult::Deleted << QStringList{admin, QStringLiteral("O'Neil")};
    QTest::newRow("name is trimmed") << QStringLiteral(" 张三 ") << DeleteResult::Deleted
                                     << QStringList{admin, QStringLiteral("O'Neil")};
    QTest::newRow("quote") << QStringLiteral("O'Neil") << DeleteResult::Deleted
                           << QStringList{admin, QStringLiteral("张三"), QStringLiteral("张三")};
    QTest::newRow("administrator refused")
        << admin << DeleteResult::Administrator
        << QStringList{admin, QStringLiteral("张三"), QStringLiteral("O'Neil"), QStringLiteral("张三")};
    QTest::newRow("empty") << QStringLiteral(" ") << DeleteResult::EmptyName
                           << QStringList{admin, QStringLiteral("张三"), QStringLiteral("O'Neil"),
                                          QStringLiteral("张三")};
    QTest::newRow("unknown") << QStringLiteral("王五") << DeleteResult::NotFound
                             << QStringList{admin, QStringLiteral("张三"), QStringLiteral("O'Neil"),
                                            QStringLiteral("张三")};
}

void TestUserAccounts::deleteUser()
{
    QFETCH(QString, name);
    QFETCH(DeleteResult, result);
    QFETCH(QStringList, namesAfter);
    insertRow(QStringLiteral("张三"), PasswordHash::hash(QStringLiteral("a")));
    insertRow(QStringLiteral("O'Neil"), PasswordHash::hash(QStringLiteral("b")));
    insertRow(QStringLiteral("张三"), PasswordHash::hash(QStringLiteral("c")));
    QCOMPARE(m_accounts->deleteUser(m_admin, name), result);
    QStringList after = m_accounts->names();
    after.sort();
    namesAfter.sort();
    QCOMPARE(after, namesAfter);
}

void TestUserAccounts::resetThenLoginWithDefault_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("operator") << QStringLiteral("张三");
    QTest::newRow("administrator himself") << Schema::kAdministrator;
}

void TestUserAccounts::resetThenLoginWithDefault()
{
    QFETCH(QString, name);
    insertRow(QStringLiteral("张三"), PasswordHash::hash(QStringLiteral("abc")));
    ExecuteStatement(m_t->db(), QStringLiteral("update userdb set passwd = ? where username = ?"),
                     {PasswordHash::hash(QStringLiteral("secret9")), Schema::kAdministrator});
    QVERIFY(!m_accounts->checkLogin(name, Schema::kDefaultPassword));
    QCOMPARE(m_accounts->resetPassword(m_admin, QStringLiteral(" ") + name + QStringLiteral(" ")),
             ResetResult::Reset);
    QVERIFY(m_accounts->checkLogin(name, Schema::kDefaultPassword));
    QVERIFY(PasswordHash::isHashed(storedPassword(name)));
    QCOMPARE(rowCount(), 2);
    QCOMPARE(m_accounts->resetPassword(m_admin, QStringLiteral("  ")), ResetResult::EmptyName);
    QCOMPARE(m_accounts->resetPassword(m_admin, QStringLiteral("王五")), ResetResult::NotFound);
    QCOMPARE(rowCount(), 2);
}

void TestUserAccounts::changePassword_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("oldPassword");
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<ChangeResult>("result");
    // 张三 has "abc123"; 双人 is stored twice with "888".
    QTest::newRow("right old password") << QStringLiteral("张三") << QStringLiteral("abc123")
                                        << QStringLiteral("New99") << ChangeResult::Changed;
    QTest::newRow("passwords trimmed") << QStringLiteral("张三") << QStringLiteral(" abc123 ")
                                       << QStringLiteral(" New99 ") << ChangeResult::Changed;
    QTest::newRow("ten characters") << QStringLiteral("张三") << QStringLiteral("abc123")
                                    << QStringLiteral("abcdefghi0") << ChangeResult::Changed;
    QTest::newRow("wrong old password") << QStringLiteral("张三") << QStringLiteral("abc124")
                                        << QStringLiteral("New99") << ChangeResult::WrongOldPassword;
    QTest::newRow("empty old password")
        << QStringLiteral("张三") << QString() << QStringLiteral("New99") << ChangeResult::WrongOldPassword;
    QTest::newRow("unknown user") << QStringLiteral("王五") << QStringLiteral("abc123")
                                  << QStringLiteral("New99") << ChangeResult::WrongOldPassword;
    QTest::newRow("empty name") << QString() << QStringLiteral("abc123") << QStringLiteral("New99")
                                << ChangeResult::WrongOldPassword;
    QTest::newRow("name stored twice") << QStringLiteral("双人") << QStringLiteral("888")
                                       << QStringLiteral("New99") << ChangeResult::WrongOldPassword;
    QTest::newRow("empty new password") << QStringLiteral("张三") << QStringLiteral("abc123")
                                        << QStringLiteral("  ") << ChangeResult::InvalidNewPassword;
    QTest::newRow("eleven characters") << QStringLiteral("张三") << QStringLiteral("abc123")
                                       << QStringLiteral("abcdefghi01") << ChangeResult::InvalidNewPassword;
    QTest::newRow("inner blank") << QStringLiteral("张三") << QStringLiteral("abc123")
                                 << QStringLiteral("ab c") << ChangeResult::InvalidNewPassword;
    QTest::newRow("chinese") << QStringLiteral("张三") << QStringLiteral("abc123") << QStringLiteral("口令1")
                             << ChangeResult::InvalidNewPassword;
}

void TestUserAccounts::changePassword()
{
    QFETCH(QString, name);
    QFETCH(QString, oldPassword);
    QFETCH(QString, newPassword);
    QFETCH(ChangeResult, result);
    insertRow(QStringLiteral("张三"), PasswordHash::hash(QStringLiteral("abc123")));
    insertRow(QStringLiteral("双人"), PasswordHash::hash(QStringLiteral("888")));
    insertRow(QStringLiteral("双人"), PasswordHash::hash(QStringLiteral("888")));
    const QStringList before = allRows();
    QCOMPARE(m_accounts->changePassword(m_admin, name, oldPassword, newPassword), result);
    if (result != ChangeResult::Changed) {
        QCOMPARE(allRows(), before);
        return;
    }
    QVERIFY(m_accounts->checkLogin(name, newPassword));
    QVERIFY(!m_accounts->checkLogin(name, oldPassword));
    QVERIFY(PasswordHash::isHashed(storedPassword(name)));
    // Nobody else's password moved.
    QVERIFY(m_accounts->checkLogin(Schema::kAdministrator, Schema::kDefaultPassword));
    QCOMPARE(rowCount(), 4);
}

void TestUserAccounts::restrictedSessionCannotManageUsers_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("sessionUser");
    for (const QString &op : {QStringLiteral("add"), QStringLiteral("delete"), QStringLiteral("reset")}) {
        QTest::addRow("%s by operator", qPrintable(op)) << op << QStringLiteral("张三");
        QTest::addRow("%s without login", qPrintable(op)) << op << QString();
        QTest::addRow("%s by look-alike", qPrintable(op)) << op << QStringLiteral(" 超级管理员");
    }
}

void TestUserAccounts::restrictedSessionCannotManageUsers()
{
    QFETCH(QString, operation);
    QFETCH(QString, sessionUser);
    insertRow(QStringLiteral("张三"), PasswordHash::hash(QStringLiteral("abc123")));
    const QStringList before = allRows();
    const Session restricted{sessionUser, 7};
    QVERIFY(restricted.isRestricted());
    try {
        if (operation == QLatin1String("add"))
            m_accounts->addUser(restricted, QStringLiteral("李四"));
        else if (operation == QLatin1String("delete"))
            m_accounts->deleteUser(restricted, QStringLiteral("张三"));
        else
            m_accounts->resetPassword(restricted, QStringLiteral("张三"));
        QFAIL("a restricted session was let through");
    } catch (const AccessDenied &denied) {
        QCOMPARE(denied.message(), QStringLiteral("当前操作员无权执行此操作！"));
    }
    QCOMPARE(allRows(), before);
}

void TestUserAccounts::restrictedSessionChangesOnlyItsOwnPassword()
{
    insertRow(QStringLiteral("张三"), PasswordHash::hash(QStringLiteral("abc123")));
    const Session zhang{QStringLiteral("张三"), 3};
    const QStringList before = allRows();
    QVERIFY_THROWS_EXCEPTION(AccessDenied,
                             m_accounts->changePassword(zhang, Schema::kAdministrator,
                                                        Schema::kDefaultPassword, QStringLiteral("x1")));
    QCOMPARE(allRows(), before);
    QCOMPARE(m_accounts->changePassword(zhang, QStringLiteral("张三"), QStringLiteral("abc123"),
                                        QStringLiteral("x1")),
             ChangeResult::Changed);
    QVERIFY(m_accounts->checkLogin(QStringLiteral("张三"), QStringLiteral("x1")));
}

QTEST_GUILESS_MAIN(TestUserAccounts)
#include "tst_useraccounts.moc"

#include "ShopFile.h"
#include "common/Prompter.h"
#include "data/QueryHelpers.h"
#include "data/SettingsStore.h"
#include "shell/SessionLog.h"
#include "shell/StartupChecks.h"
#include "shell/TMainForm.h"
#include "shell/UserAccounts.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSemaphore>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

// What the operator is asked and told while the program opens its shop.
class TestStartupChecks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The main window keeps its layouts where the tests say.
        QStandardPaths::setTestModeEnabled(true);
        for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, m_home.filePath(QStringLiteral("user")));
        Prompter::setTestMode(true);
    }
    void init() { Prompter::clearShown(); }
    void emptyFileIsAskedAbout_data();
    void emptyFileIsAskedAbout();
    void damageFoundAfterStartIsTold();
    void signInDoesNotWaitForTheCheck_data();
    void signInDoesNotWaitForTheCheck();

private:
    QTemporaryDir m_home;
};

void TestStartupChecks::emptyFileIsAskedAbout_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("no: left alone") << false;
    QTest::newRow("yes: a new shop") << true;
}

void TestStartupChecks::emptyFileIsAskedAbout()
{
    QFETCH(bool, yes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.mdb"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    Prompter::queueAnswer(yes ? Prompter::Answer::Yes : Prompter::Answer::No);
    Database db(DatabaseLocation::fromArgument(path), QStringLiteral("startup"),
                StartupChecks::databaseOptions());
    QCOMPARE(Prompter::shown().size(), 1);
    QCOMPARE(Prompter::shown().first().kind, Prompter::Kind::Question);
    QCOMPARE(Prompter::lastText(), StartupChecks::emptyFileQuestion(path));
    QVERIFY(Prompter::lastText().contains(QStringLiteral("0 字节")));
    QCOMPARE(db.isOpen(), yes);
    QCOMPARE(db.declined(), !yes);
    if (!yes)
        QCOMPARE(QFileInfo(path).size(), 0);
}

void TestStartupChecks::damageFoundAfterStartIsTold()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.mdb"));
    const QString made = MakeShopFile(path, 2000);
    QVERIFY2(made.isEmpty(), qPrintable(made));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.seek(f.size() / 4096 / 2 * 4096);
        f.write(QByteArray(4096, '\0'));
    }
    Database db(DatabaseLocation::fromArgument(path), QStringLiteral("startup"),
                StartupChecks::databaseOptions());
    QVERIFY2(db.isOpen(), qPrintable(db.errorText())); // the window may open at once
    QWidget window;
    StartupChecks::endOnDamage(db, &window);
    QTRY_VERIFY(!Prompter::shown().isEmpty());
    QCOMPARE(Prompter::shown().first().kind, Prompter::Kind::Error);
    QVERIFY2(Prompter::lastText().contains(QStringLiteral("已损坏")), qPrintable(Prompter::lastText()));
}

void TestStartupChecks::signInDoesNotWaitForTheCheck_data()
{
    QTest::addColumn<bool>("damaged");
    QTest::newRow("sound file: the session row follows the check") << false;
    QTest::newRow("damaged file: nothing is written") << true;
}

void TestStartupChecks::signInDoesNotWaitForTheCheck()
{
    QFETCH(bool, damaged);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.mdb"));
    const QString made = MakeShopFile(path, 2000);
    QVERIFY2(made.isEmpty(), qPrintable(made));
    if (damaged) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.seek(f.size() / 4096 / 2 * 4096);
        f.write(QByteArray(4096, '\0'));
    }
    const auto hash = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                           : QByteArray();
    };
    const QByteArray before = hash();
    // The check of a large shop takes seconds: here it is held until the
    // operator has signed in (at most 10 s, so a sign-in that waits for it
    // shows as slow instead of hanging).
    QSemaphore gate;
    Database::setCheckHookForTests([&gate] { gate.tryAcquire(1, 10000); });
    Database db(DatabaseLocation::fromArgument(path), QStringLiteral("startup"),
                StartupChecks::databaseOptions());
    Database::setCheckHookForTests({});
    QVERIFY2(db.isOpen(), qPrintable(db.errorText()));
    QVERIFY(db.checkPending());
    SettingsStore settings(dir.filePath(QStringLiteral("jxc.conf")));
    TMainForm form(db, settings);
    StartupChecks::endOnDamage(db, &form);
    qint64 signInMs = -1;
    form.setLoginRunner([&](TMainForm &) {
        // What the sign-in window does when "登录" is pressed.
        QElapsedTimer timer;
        timer.start();
        TMainForm::LoginOutcome outcome;
        outcome.accepted = UserAccounts(db).checkLogin(Schema::kAdministrator, Schema::kDefaultPassword);
        outcome.session = SessionLog(db).signIn(Schema::kAdministrator);
        signInMs = timer.elapsed();
        return outcome;
    });
    form.show();
    QTRY_VERIFY(signInMs >= 0);
    QVERIFY2(signInMs < 3000, qPrintable(QString::number(signInMs)));
    QCOMPARE(form.tag(), Session::kRowPending);
    gate.release();
    if (damaged) {
        QTRY_VERIFY(!Prompter::shown().isEmpty());
        QVERIFY2(Prompter::lastText().contains(QStringLiteral("已损坏")), qPrintable(Prompter::lastText()));
        QTest::qWait(100);
        QCOMPARE(form.tag(), Session::kRowPending);
        form.hide();
        QCOMPARE(hash(), before);
    } else {
        QTRY_VERIFY(form.tag() > 0);
        QCOMPARE(
            ScalarValue(
                db,
                QStringLiteral("select count(*) from rz where id = ? and username = ? and btime is not null"),
                {form.tag(), Schema::kAdministrator})
                .toInt(),
            1);
        QVERIFY(Prompter::shown().isEmpty());
    }
}

QTEST_MAIN(TestStartupChecks)
#include "tst_startupchecks.moc"

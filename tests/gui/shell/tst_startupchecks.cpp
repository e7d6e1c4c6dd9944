#include "ShopFile.h"
#include "common/Prompter.h"
#include "data/QueryHelpers.h"
#include "shell/StartupChecks.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

// What the operator is asked and told while the program opens its shop.
class TestStartupChecks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Prompter::setTestMode(true); }
    void init() { Prompter::clearShown(); }
    void emptyFileIsAskedAbout_data();
    void emptyFileIsAskedAbout();
    void damageFoundAfterStartIsTold();
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

QTEST_MAIN(TestStartupChecks)
#include "tst_startupchecks.moc"

#include "TestDatabase.h"
#include "data/Clock.h"
#include "data/QueryHelpers.h"
#include "shell/SessionLog.h"

#include <QSqlQuery>
#include <QtTest>

// The session log in rz: one row per login, its own id back, the logout time
// written into exactly that row.
class TestSessionLog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void openStoresNameAndTimeAsTyped_data();
    void openStoresNameAndTimeAsTyped();
    void twoLoginsGiveIncreasingIdsAndCloseTheirOwnRows();
    void idIsTheRowJustInsertedWhileAnotherCounterSignsIn();
    void closeWithoutSessionWritesNothing();
};

void TestSessionLog::initTestCase()
{
    qInfo("database backend: %s", qPrintable(TestDatabase::backendName()));
}

void TestSessionLog::openStoresNameAndTimeAsTyped_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("administrator") << QStringLiteral("超级管理员");
    QTest::newRow("quote") << QStringLiteral("O'Neil");
    QTest::newRow("blanks kept") << QStringLiteral(" 李 四 ");
    QTest::newRow("sql text") << QStringLiteral("x'); delete from rz; --");
}

void TestSessionLog::openStoresNameAndTimeAsTyped()
{
    QFETCH(QString, name);
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    ManualClock clock(QDateTime(QDate(2026, 2, 14), QTime(8, 59, 30)));
    ScopedClock scoped(clock);
    SessionLog log(t.db());
    const qint64 id = log.open(name);
    QVERIFY(id > 0);
    QSqlQuery q =
        OpenStatement(t.db(), QStringLiteral("select username, btime, jtime from rz where id = ?"), {id});
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), name);
    QCOMPARE(Dialect::toDateTime(q.value(1)), clock.now());
    QVERIFY(q.isNull(2));
    QVERIFY(!q.next());
    QCOMPARE(ScalarValue(t.db(), QStringLiteral("select count(*) from rz")).toInt(), 1);
}

void TestSessionLog::twoLoginsGiveIncreasingIdsAndCloseTheirOwnRows()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    ManualClock clock(QDateTime(QDate(2026, 3, 1), QTime(9, 0, 0)));
    ScopedClock scoped(clock);
    SessionLog log(t.db());
    const qint64 first = log.open(QStringLiteral("张三"));
    clock.advanceSecs(3600);
    QVERIFY(log.close(first));
    const QDateTime firstEnd = clock.now();
    clock.advanceSecs(60);
    const qint64 second = log.open(QStringLiteral("张三"));
    QVERIFY(second > first);
    clock.advanceSecs(120);
    QVERIFY(log.close(second));

    QSqlQuery q = OpenStatement(t.db(), QStringLiteral("select id, btime, jtime from rz order by id"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toLongLong(), first);
    QCOMPARE(Dialect::toDateTime(q.value(1)), QDateTime(QDate(2026, 3, 1), QTime(9, 0, 0)));
    QCOMPARE(Dialect::toDateTime(q.value(2)), firstEnd);
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toLongLong(), second);
    QCOMPARE(Dialect::toDateTime(q.value(1)), QDateTime(QDate(2026, 3, 1), QTime(10, 1, 0)));
    QCOMPARE(Dialect::toDateTime(q.value(2)), QDateTime(QDate(2026, 3, 1), QTime(10, 3, 0)));
    QVERIFY(!q.next());
}

void TestSessionLog::idIsTheRowJustInsertedWhileAnotherCounterSignsIn()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    auto other = t.openSecondConnection(QStringLiteral("second counter"));
    QVERIFY2(other->isOpen(), qPrintable(other->errorText()));
    ManualClock clock(QDateTime(QDate(2026, 3, 1), QTime(9, 0, 0)));
    ScopedClock scoped(clock);
    SessionLog here(t.db());
    SessionLog there(*other);

    const qint64 mine = here.open(QStringLiteral("张三"));
    const qint64 theirs = there.open(QStringLiteral("李四"));
    QVERIFY(mine != theirs);
    // The largest id now belongs to the other counter; ours is still our row.
    QCOMPARE(ScalarValue(t.db(), QStringLiteral("select max(id) from rz")).toLongLong(), theirs);
    QCOMPARE(ScalarValue(t.db(), QStringLiteral("select username from rz where id = ?"), {mine}).toString(),
             QStringLiteral("张三"));

    clock.advanceSecs(30);
    QVERIFY(here.close(mine));
    QVERIFY(!ScalarValue(t.db(), QStringLiteral("select jtime from rz where id = ?"), {mine}).isNull());
    QVERIFY(ScalarValue(t.db(), QStringLiteral("select jtime from rz where id = ?"), {theirs}).isNull());
}

void TestSessionLog::closeWithoutSessionWritesNothing()
{
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    SessionLog log(t.db());
    const qint64 id = log.open(QStringLiteral("张三"));
    QVERIFY(!log.close(0));
    QVERIFY(!log.close(id + 100));
    QVERIFY(ScalarValue(t.db(), QStringLiteral("select jtime from rz where id = ?"), {id}).isNull());
}

QTEST_GUILESS_MAIN(TestSessionLog)
#include "tst_sessionlog.moc"

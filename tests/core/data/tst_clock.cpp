#include "data/Clock.h"

#include <QTest>

class TestClock : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Clock::setCurrent(nullptr); }

    void currentDefaultsToSystemTime();
    void setCurrentAndReset();
    void scopedClockRestoresPrevious();
};

void TestClock::currentDefaultsToSystemTime()
{
    const QDateTime before = QDateTime::currentDateTime();
    const QDateTime now = Clock::current().now();
    const QDateTime after = QDateTime::currentDateTime();
    QVERIFY(before <= now && now <= after);
    QVERIFY(dynamic_cast<SystemClock *>(&Clock::current()));
}

void TestClock::setCurrentAndReset()
{
    ManualClock manual(QDateTime(QDate(2019, 6, 1), QTime(9, 30)));
    Clock::setCurrent(&manual);
    QCOMPARE(Clock::current().today(), QDate(2019, 6, 1));
    manual.advanceDays(2);
    QCOMPARE(Clock::current().now(), QDateTime(QDate(2019, 6, 3), QTime(9, 30)));
    Clock::setCurrent(nullptr);
    QVERIFY(Clock::current().today() != QDate(2019, 6, 3));
}

void TestClock::scopedClockRestoresPrevious()
{
    ManualClock outer(QDate(2020, 1, 1));
    ManualClock inner(QDate(2021, 1, 1));
    {
        const ScopedClock useOuter(outer);
        {
            const ScopedClock useInner(inner);
            QCOMPARE(Clock::current().today(), QDate(2021, 1, 1));
        }
        QCOMPARE(Clock::current().today(), QDate(2020, 1, 1));
    }
    QVERIFY(dynamic_cast<SystemClock *>(&Clock::current()));
}

QTEST_GUILESS_MAIN(TestClock)
#include "tst_clock.moc"

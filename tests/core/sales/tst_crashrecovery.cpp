#include "data/Database.h"
#include "data/QueryHelpers.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// A counter program killed at any moment (power cut, kill -9) loses no sale
// it reported as saved and leaves no half sale: the helper program
// "salesloop" books and removes sales on a shop file and is killed with
// SIGKILL at random moments, again and again. LWJXC_CRASH_KILLS sets how
// many times (a few by default; hundreds for a long run).
class TestCrashRecovery : public QObject
{
    Q_OBJECT

private slots:
    void killedCounterLosesNothingItReported();

private:
    struct Reported
    {
        QSet<qint64> booked;
        QSet<qint64> removed;
        QSet<qint64> removing; // a kill may come between the commit and "R"
    };
    static void readReport(const QByteArray &output, Reported &reported);
};

void TestCrashRecovery::readReport(const QByteArray &output, Reported &reported)
{
    // The last line may be cut off by the kill; only whole lines count.
    const QList<QByteArray> lines = output.split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        const qint64 id = line.mid(2).toLongLong();
        if (line.startsWith("B "))
            reported.booked << id;
        else if (line.startsWith("R "))
            reported.removed << id;
        else if (line.startsWith("r "))
            reported.removing << id;
    }
}

void TestCrashRecovery::killedCounterLosesNothingItReported()
{
    const int asked = qEnvironmentVariableIntValue("LWJXC_CRASH_KILLS");
    const int kills = asked > 0 ? asked : 4;
    const QString helper = QCoreApplication::applicationDirPath() + QStringLiteral("/salesloop");
    QVERIFY2(QFileInfo(helper).isExecutable(), qPrintable(helper));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.mdb"));
    QCOMPARE(QProcess::execute(helper, {QStringLiteral("make"), path}), 0);

    Reported reported;
    QRandomGenerator random(20261209);
    int killedWhileWorking = 0;
    for (int run = 0; run < kills; ++run) {
        QProcess loop;
        loop.start(helper, {QStringLiteral("loop"), path, QString::number(random.generate())});
        QVERIFY2(loop.waitForStarted(), qPrintable(loop.errorString()));
        // Let it get going, then kill it somewhere in the middle of its work.
        QByteArray output;
        QDeadlineTimer firstSale(20000);
        while (!output.contains('\n') && !firstSale.hasExpired() && loop.state() == QProcess::Running) {
            loop.waitForReadyRead(100);
            output += loop.readAllStandardOutput();
        }
        QTest::qWait(int(random.bounded(20, 400)));
        loop.kill(); // SIGKILL
        QVERIFY(loop.waitForFinished(10000));
        output += loop.readAllStandardOutput();
        QVERIFY2(loop.exitStatus() == QProcess::CrashExit, output.right(300).constData());
        ++killedWhileWorking;
        readReport(output, reported);

        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        raw.setDatabaseName(path);
        QVERIFY(raw.open());
        {
            QSqlQuery q(raw);
            QVERIFY(q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next());
            QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
            QSet<qint64> present;
            QVERIFY(q.exec(QStringLiteral("select ID from data1")));
            while (q.next())
                present << q.value(0).toLongLong();
            for (qint64 id : std::as_const(reported.booked)) {
                if (!reported.removing.contains(id))
                    QVERIFY2(present.contains(id), qPrintable(QStringLiteral("sale %1 lost").arg(id)));
            }
            for (qint64 id : std::as_const(reported.removed))
                QVERIFY2(!present.contains(id), qPrintable(QStringLiteral("removed sale %1 back").arg(id)));
            // Every stock row agrees with the lines sold from it.
            QVERIFY(q.exec(QStringLiteral(
                "select d.a, d.\"2\" - d.\"7\", d.\"5\", d.\"6\", coalesce(sum(l.\"3\"), 0), "
                "coalesce(sum(l.\"4\"), 0), d.\"8\", d.\"7\" * d.\"1\" from data d left join data1 l "
                "on l.a = d.a and l.b = d.b and l.c = d.c and l.d = d.d and l.day2 = d.day1 group by d.id")));
            int rows = 0;
            while (q.next()) {
                ++rows;
                const QString name = q.value(0).toString();
                QCOMPARE(q.value(1).toDouble(), q.value(4).toDouble()); // stock taken = quantity of lines
                QCOMPARE(q.value(2).toDouble(), q.value(4).toDouble()); // sold = quantity of lines
                QCOMPARE(q.value(3).toDouble(), q.value(5).toDouble()); // sales amount = amounts of lines
                QCOMPARE(q.value(6).toDouble(), q.value(7).toDouble()); // stock value = stock x price
                Q_UNUSED(name);
            }
            QCOMPARE(rows, 6);
        }
        raw.close();
        raw = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    }
    qInfo("%d kills; %lld sales and %lld removals reported before them", killedWhileWorking,
          qint64(reported.booked.size()), qint64(reported.removed.size()));
    QVERIFY(!reported.booked.isEmpty());
    // The shop opens normally afterwards.
    Database reopened(DatabaseLocation::fromArgument(path), QStringLiteral("after"));
    QVERIFY2(reopened.isOpen(), qPrintable(reopened.errorText()));
}

QTEST_GUILESS_MAIN(TestCrashRecovery)
#include "tst_crashrecovery.moc"

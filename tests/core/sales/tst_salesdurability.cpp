#include "TestDatabase.h"
#include "data/QueryHelpers.h"
#include "sales/SalesLedger.h"
#include "shell/Session.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <optional>

// What a long day at the counter and a flaky network must not do to the
// sales: grow SQLite's log without end, or report a sale the server saved as
// not saved (so that it is entered twice).
class TestSalesDurability : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qInfo("database backend: %s", qPrintable(TestDatabase::backendName())); }
    void cleanup() { WriteTransaction::setCommitHookForTests({}); }
    void writeAheadLogStaysBounded_data();
    void writeAheadLogStaysBounded();
    void lostCommitIsAnsweredTruthfully_data();
    void lostCommitIsAnsweredTruthfully();

private:
    static qint64 addStock(Database &db, double stock);
};

qint64 TestSalesDurability::addStock(Database &db, double stock)
{
    const QString sql =
        QStringLiteral("insert into data (a, b, c, d, \"1\", \"2\", \"3\", \"4\", \"5\", \"6\", "
                       "\"7\", \"8\", day1) values (?, ?, ?, ?, ?, ?, ?, ?, 0, 0, ?, ?, ?)") +
        Dialect::returningKey(QStringLiteral("id"));
    return ScalarValue(db, sql,
                       {QStringLiteral("新秀丽拉杆箱"), QStringLiteral("24寸"),
                        QStringLiteral("6901234567892"), QStringLiteral("拉杆箱"), 50.0, stock, 50.0 * stock,
                        80.0, stock, 50.0 * stock, db.dialect().dateValue(QDate(2025, 3, 1))})
        .toLongLong();
}

void TestSalesDurability::writeAheadLogStaysBounded_data()
{
    // A deletion finishes its statements, so its automatic checkpoint works
    // even when every sale before it left one open: only a day of sales
    // alone shows whether booking lets the log be reset.
    QTest::addColumn<int>("takeBackEvery");
    QTest::addColumn<bool>("otherCounterReads");
    QTest::newRow("sales, another counter reading between them") << 0 << true;
    QTest::newRow("sales, every tenth taken back") << 10 << false;
}

void TestSalesDurability::writeAheadLogStaysBounded()
{
    if (TestDatabase::onPostgreSQL())
        QSKIP("the write-ahead log file is SQLite's");
    QFETCH(int, takeBackEvery);
    QFETCH(bool, otherCounterReads);
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    const qint64 stockId = addStock(t.db(), 100000);
    SalesLedger ledger(t.db());
    const Session admin{Schema::kAdministrator, 1};
    std::unique_ptr<Database> other = t.openSecondConnection(QStringLiteral("other_counter"));
    QVERIFY2(other->isOpen(), qPrintable(other->errorText()));
    const QString wal = t.location().path + QStringLiteral("-wal");
    qint64 largest = 0;
    int removed = 0;
    for (int i = 0; i < 1500; ++i) {
        SaleRequest sale;
        sale.stockId = stockId;
        sale.price = 80;
        sale.quantity = 1 + i % 3;
        sale.orderNumber = QStringLiteral("20260305%1").arg(i / 10 + 1, 3, 10, QLatin1Char('0'));
        sale.customer = QStringLiteral("顾客%1").arg(i % 40);
        sale.saleDate = QDate(2026, 3, 5);
        const SaleBooking booking = ledger.book(sale);
        QCOMPARE(booking.result, SaleBooking::Result::Booked);
        if (takeBackEvery > 0 && i % takeBackEvery == takeBackEvery - 1) {
            QCOMPARE(ledger.remove(admin, booking.lineId), SalesLedger::Removal::GivenBack);
            ++removed;
        }
        if (otherCounterReads && i % 5 == 0)
            QCOMPARE(ScalarValue(*other, QStringLiteral("select count(*) from data1")).toInt(),
                     i + 1 - removed);
        largest = std::max(largest, QFileInfo(wal).size());
    }
    qInfo("largest -wal file during 1,500 sales: %lld bytes", largest);
    QVERIFY2(largest < 8 * 1024 * 1024, qPrintable(QString::number(largest)));
    QCOMPARE(ScalarValue(t.db(), QStringLiteral("select count(*) from data1")).toInt(), 1500 - removed);
}

void TestSalesDurability::lostCommitIsAnsweredTruthfully_data()
{
    QTest::addColumn<bool>("afterServerCommitted");
    QTest::addColumn<bool>("atFirstStatement");
    QTest::newRow("connection lost at the booking's first statement") << false << true;
    QTest::newRow("connection lost before COMMIT reached the server") << false << false;
    QTest::newRow("connection lost after the server committed") << true << false;
}

void TestSalesDurability::lostCommitIsAnsweredTruthfully()
{
    if (!TestDatabase::onPostgreSQL())
        QSKIP("a SQLite file has no connection to lose");
    QFETCH(bool, afterServerCommitted);
    QFETCH(bool, atFirstStatement);
    TestDatabase t;
    QVERIFY2(t.isOpen(), qPrintable(t.errorText()));
    const qint64 stockId = addStock(t.db(), 10);
    std::unique_ptr<Database> admin = t.openSecondConnection(QStringLiteral("killer"));
    QVERIFY2(admin->isOpen(), qPrintable(admin->errorText()));

    // The server ends the counter's connection at the chosen moment, as a
    // crash or a cut cable would.
    bool killed = false;
    auto kill = [&] {
        QSqlQuery pid(t.db().connection());
        if (!pid.exec(QStringLiteral("select pg_backend_pid()")) || !pid.next())
            return false;
        killed = ScalarValue(*admin, QStringLiteral("select pg_terminate_backend(?, 5000)"),
                             {pid.value(0).toInt()})
                     .toBool();
        return killed;
    };
    WriteTransaction::setCommitHookForTests([&](const Database &db, bool afterCommit) {
        if (&db != &t.db() || afterCommit != afterServerCommitted || killed || atFirstStatement)
            return false;
        return kill();
    });
    std::optional<StatementRecorder> atUpdate;
    if (atFirstStatement) {
        atUpdate.emplace([&](const QString &sql, const QVariantList &) {
            if (!killed && sql.startsWith(QLatin1String("update data")))
                kill();
        });
    }

    SaleRequest sale;
    sale.stockId = stockId;
    sale.price = 80;
    sale.quantity = 2;
    sale.orderNumber = QStringLiteral("20260305001");
    sale.saleDate = QDate(2026, 3, 5);
    SaleBooking booking;
    QString message;
    try {
        booking = SalesLedger(t.db()).book(sale);
    } catch (const DatabaseError &error) {
        message = error.message();
    }
    WriteTransaction::setCommitHookForTests({});
    atUpdate.reset();
    QVERIFY(killed);

    const int lines = ScalarValue(*admin, QStringLiteral("select count(*) from data1")).toInt();
    const double stock =
        ScalarValue(*admin, QStringLiteral("select \"7\" from data where id = ?"), {stockId}).toDouble();
    if (afterServerCommitted) {
        QVERIFY2(message.isEmpty(), qPrintable(message));
        QCOMPARE(booking.result, SaleBooking::Result::Booked);
        QCOMPARE(lines, 1);
        QCOMPARE(stock, 8.0);
    } else {
        QCOMPARE(lines, 0);
        QCOMPARE(stock, 10.0);
        // At a statement the server was reached again, and the sale is to be
        // entered once more; at COMMIT the program asked whether it was saved.
        QVERIFY2(atFirstStatement ? message.contains(QStringLiteral("请再操作一次"))
                                  : message.contains(QStringLiteral("未能保存")) &&
                                        message.contains(QStringLiteral("确认没有保存")),
                 qPrintable(message));
        QVERIFY2(message.contains(t.location().displayName()), qPrintable(message));
    }
    // The connection works again for the next sale, without a restart.
    sale.orderNumber = QStringLiteral("20260305002");
    QCOMPARE(SalesLedger(t.db()).book(sale).result, SaleBooking::Result::Booked);
    QCOMPARE(ScalarValue(*admin, QStringLiteral("select count(*) from data1")).toInt(), lines + 1);
}

QTEST_GUILESS_MAIN(TestSalesDurability)
#include "tst_salesdurability.moc"

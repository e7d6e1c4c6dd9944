#include "TestDatabase.h"
#include "data/QueryHelpers.h"
#include "sales/CustomerLookup.h"

#include <QtTest>

// The customer details the sale panel takes from earlier sale lines, with
// quotes and blanks in what the operator typed, on the engine of this run.
class TestCustomerLookup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void forOrder_data();
    void forOrder();
    void forName_data();
    void forName();
    void names();
    void namesOfAnEmptyTable();

private:
    void addLine(const QVariant &order, const QVariant &customer, const QString &address,
                 const QString &contact, const QString &remark);
    std::unique_ptr<TestDatabase> m_database;
};

void TestCustomerLookup::addLine(const QVariant &order, const QVariant &customer, const QString &address,
                                 const QString &contact, const QString &remark)
{
    ExecuteStatement(
        m_database->db(),
        QStringLiteral("insert into data1 (a, z, g, h, i, j, \"3\") values (?, ?, ?, ?, ?, ?, 1)"),
        {QStringLiteral("拉杆箱"), order, customer, address, contact, remark});
}

void TestCustomerLookup::initTestCase()
{
    qInfo("database backend: %s", qPrintable(TestDatabase::backendName()));
    m_database = std::make_unique<TestDatabase>();
    QVERIFY2(m_database->isOpen(), qPrintable(m_database->errorText()));
    addLine(QStringLiteral("20240305001"), QStringLiteral("王老板"), QStringLiteral("白沟大街1号"),
            QStringLiteral("13800000000"), QStringLiteral("老客户"));
    addLine(QStringLiteral("20240305001"), QStringLiteral("王老板"), QStringLiteral("白沟大街1号"),
            QStringLiteral("13800000000"), QStringLiteral("老客户"));
    // An order that starts with the first one's number.
    addLine(QStringLiteral("202403050011"), QStringLiteral("李四"), QStringLiteral("保定"),
            QStringLiteral("139"), QString());
    addLine(QStringLiteral("2024'03\"05"), QStringLiteral("O'Brien \"Bags\""), QStringLiteral("Dublin's 5"),
            QStringLiteral("'; drop table data1; --"), QStringLiteral("quote ' remark"));
    // Two customers typed on one order: the first in name order counts.
    addLine(QStringLiteral("20240306002"), QStringLiteral("张三"), QStringLiteral("北京"),
            QStringLiteral("1"), QString());
    addLine(QStringLiteral("20240306002"), QStringLiteral("Anna"), QStringLiteral("Wien"),
            QStringLiteral("2"), QString());
    addLine(QStringLiteral("20240307001"), QVariant(QMetaType::fromType<QString>()), QString(), QString(),
            QString());
    addLine(QStringLiteral("20240307002"), QStringLiteral(""), QString(), QString(), QString());
    // Upper and lower case sort by their codes on both engines.
    addLine(QStringLiteral("20240308001"), QStringLiteral("anna"), QString(), QString(), QString());
    addLine(QStringLiteral("20240308002"), QStringLiteral("Zoe"), QString(), QString(), QString());
    addLine(QStringLiteral("20240308003"), QStringLiteral("Zoe"), QString(), QString(), QString());
}

void TestCustomerLookup::forOrder_data()
{
    QTest::addColumn<QString>("order");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QStringList>("customer"); // g, h, i, j

    QTest::newRow("order with lines") << QStringLiteral("20240305001") << true
                                      << QStringList{QStringLiteral("王老板"), QStringLiteral("白沟大街1号"),
                                                     QStringLiteral("13800000000"), QStringLiteral("老客户")};
    QTest::newRow("typed with blanks")
        << QStringLiteral("  20240305001 ") << true
        << QStringList{QStringLiteral("王老板"), QStringLiteral("白沟大街1号"), QStringLiteral("13800000000"),
                       QStringLiteral("老客户")};
    QTest::newRow("a longer number is another order")
        << QStringLiteral("202403050011") << true
        << QStringList{QStringLiteral("李四"), QStringLiteral("保定"), QStringLiteral("139"), QString()};
    QTest::newRow("a prefix is no order") << QStringLiteral("2024030500") << false << QStringList();
    QTest::newRow("order without lines") << QStringLiteral("20240305002") << false << QStringList();
    QTest::newRow("quotes in order and customer")
        << QStringLiteral("2024'03\"05") << true
        << QStringList{QStringLiteral("O'Brien \"Bags\""), QStringLiteral("Dublin's 5"),
                       QStringLiteral("'; drop table data1; --"), QStringLiteral("quote ' remark")};
    QTest::newRow("quote alone matches nothing") << QStringLiteral("'") << false << QStringList();
    QTest::newRow("two customers: first by name")
        << QStringLiteral("20240306002") << true
        << QStringList{QStringLiteral("Anna"), QStringLiteral("Wien"), QStringLiteral("2"), QString()};
    QTest::newRow("line without customer")
        << QStringLiteral("20240307001") << true << QStringList{QString(), QString(), QString(), QString()};
}

void TestCustomerLookup::forOrder()
{
    QFETCH(QString, order);
    QFETCH(bool, found);
    QFETCH(QStringList, customer);
    const std::optional<CustomerLookup::Customer> result = CustomerLookup(m_database->db()).forOrder(order);
    QCOMPARE(result.has_value(), found);
    if (found)
        QCOMPARE((QStringList{result->name, result->address, result->contact, result->remark}), customer);
}

void TestCustomerLookup::forName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("contact");

    QTest::newRow("known") << QStringLiteral("王老板") << true << QStringLiteral("白沟大街1号")
                           << QStringLiteral("13800000000");
    QTest::newRow("trimmed") << QStringLiteral(" 李四  ") << true << QStringLiteral("保定")
                             << QStringLiteral("139");
    QTest::newRow("quotes") << QStringLiteral("O'Brien \"Bags\"") << true << QStringLiteral("Dublin's 5")
                            << QStringLiteral("'; drop table data1; --");
    QTest::newRow("unknown") << QStringLiteral("赵六") << false << QString() << QString();
    QTest::newRow("part of a name is no name") << QStringLiteral("王") << false << QString() << QString();
}

void TestCustomerLookup::forName()
{
    QFETCH(QString, name);
    QFETCH(bool, found);
    const std::optional<CustomerLookup::Customer> result = CustomerLookup(m_database->db()).forName(name);
    QCOMPARE(result.has_value(), found);
    if (found) {
        QTEST(result->address, "address");
        QTEST(result->contact, "contact");
    }
}

void TestCustomerLookup::names()
{
    // Ascending by the characters' codes on both engines; the line without a
    // name and the one with an empty name give one empty entry, first.
    const QStringList expected{QString(),
                               QStringLiteral("Anna"),
                               QStringLiteral("O'Brien \"Bags\""),
                               QStringLiteral("Zoe"),
                               QStringLiteral("anna"),
                               QStringLiteral("张三"),
                               QStringLiteral("李四"),
                               QStringLiteral("王老板")};
    QCOMPARE(CustomerLookup(m_database->db()).names(), expected);
}

void TestCustomerLookup::namesOfAnEmptyTable()
{
    TestDatabase empty;
    QVERIFY2(empty.isOpen(), qPrintable(empty.errorText()));
    QCOMPARE(CustomerLookup(empty.db()).names(), QStringList());
    ExecuteStatement(empty.db(), QStringLiteral("insert into data1 (a) values (?)"), {QStringLiteral("x")});
    QCOMPARE(CustomerLookup(empty.db()).names(), QStringList{QString()});
}

QTEST_GUILESS_MAIN(TestCustomerLookup)
#include "tst_customerlookup.moc"

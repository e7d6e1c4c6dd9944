#include "data/PasswordHash.h"

#include <QSet>
#include <QtTest>

#include <ctime>

// The stored form of passwords: salted, self-describing, and tolerant of the
// plain passwords older versions left in userdb.
class TestPasswordHash : public QObject
{
    Q_OBJECT

private slots:
    void hashVerifiesOnlyItsOwnPassword_data();
    void hashVerifiesOnlyItsOwnPassword();
    void storedTextCarriesAlgorithmAndFactors();
    void samePasswordGetsDifferentSalts();
    void legacyPlainValueIsComparedAsText_data();
    void legacyPlainValueIsComparedAsText();
    void damagedHashNeverMatches_data();
    void damagedHashNeverMatches();
    void iterationsComeFromTheStoredText();
    void rehashIsAskedForPlainAndWeakValues_data();
    void rehashIsAskedForPlainAndWeakValues();
    void oneCheckTakesWellUnderATenthOfASecond();
};

void TestPasswordHash::hashVerifiesOnlyItsOwnPassword_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("attempt");
    QTest::addColumn<bool>("matches");
    QTest::newRow("default password") << QStringLiteral("888") << QStringLiteral("888") << true;
    QTest::newRow("one digit off") << QStringLiteral("888") << QStringLiteral("889") << false;
    QTest::newRow("case matters") << QStringLiteral("abcXYZ") << QStringLiteral("abcxyz") << false;
    QTest::newRow("prefix is not enough") << QStringLiteral("abc123") << QStringLiteral("abc12") << false;
    QTest::newRow("empty attempt") << QStringLiteral("abc") << QString() << false;
    QTest::newRow("ten characters") << QStringLiteral("Az09Az09Az") << QStringLiteral("Az09Az09Az") << true;
    QTest::newRow("non-ascii still hashes") << QStringLiteral("口令") << QStringLiteral("口令") << true;
}

void TestPasswordHash::hashVerifiesOnlyItsOwnPassword()
{
    QFETCH(QString, password);
    QFETCH(QString, attempt);
    QFETCH(bool, matches);
    const QString stored = PasswordHash::hash(password);
    QVERIFY(PasswordHash::isHashed(stored));
    QVERIFY(!stored.contains(password));
    QCOMPARE(PasswordHash::verify(attempt, stored), matches);
}

void TestPasswordHash::storedTextCarriesAlgorithmAndFactors()
{
    // Argon2id with at least OWASP's factors: 19 MiB, two passes, one lane.
    const QString stored = PasswordHash::hash(QStringLiteral("888"));
    QVERIFY2(stored.startsWith(QStringLiteral("$argon2id$v=19$m=19456,t=2,p=1$")), qPrintable(stored));
    QCOMPARE(stored.split(u'$').size(), 6);
    QVERIFY(!PasswordHash::needsRehash(stored));
}

void TestPasswordHash::samePasswordGetsDifferentSalts()
{
    QSet<QString> salts;
    QSet<QString> values;
    for (int i = 0; i < 5; ++i) {
        const QString stored = PasswordHash::hash(QStringLiteral("888"));
        salts.insert(stored.section(u'$', 4, 4));
        values.insert(stored);
        QVERIFY(PasswordHash::verify(QStringLiteral("888"), stored));
    }
    QCOMPARE(salts.size(), 5);
    QCOMPARE(values.size(), 5);
}

void TestPasswordHash::legacyPlainValueIsComparedAsText_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("attempt");
    QTest::addColumn<bool>("matches");
    QTest::newRow("plain default") << QStringLiteral("888") << QStringLiteral("888") << true;
    QTest::newRow("plain wrong") << QStringLiteral("888") << QStringLiteral("999") << false;
    QTest::newRow("plain letters") << QStringLiteral("abc1") << QStringLiteral("abc1") << true;
    QTest::newRow("plain is case sensitive") << QStringLiteral("abc1") << QStringLiteral("ABC1") << false;
    QTest::newRow("empty stored never matches") << QString() << QString() << false;
}

void TestPasswordHash::legacyPlainValueIsComparedAsText()
{
    QFETCH(QString, stored);
    QFETCH(QString, attempt);
    QFETCH(bool, matches);
    QVERIFY(!PasswordHash::isHashed(stored));
    QCOMPARE(PasswordHash::verify(attempt, stored), matches);
}

void TestPasswordHash::damagedHashNeverMatches_data()
{
    QTest::addColumn<QString>("stored");
    const QString good = PasswordHash::legacyPbkdf2(QStringLiteral("888"), 1000);
    const QStringList parts = good.split(u'$');
    QTest::newRow("missing hash") << parts.mid(0, 3).join(u'$');
    QTest::newRow("extra field") << good + QStringLiteral("$x");
    QTest::newRow("zero iterations") << QStringList{parts[0], QStringLiteral("0"), parts[2], parts[3]}.join(
        u'$');
    QTest::newRow("negative iterations")
        << QStringList{parts[0], QStringLiteral("-5"), parts[2], parts[3]}.join(u'$');
    QTest::newRow("absurd iterations")
        << QStringList{parts[0], QStringLiteral("999999999"), parts[2], parts[3]}.join(u'$');
    QTest::newRow("salt not base64") << QStringList{parts[0], parts[1], QStringLiteral("!!!"), parts[3]}.join(
        u'$');
    QTest::newRow("empty salt") << QStringList{parts[0], parts[1], QString(), parts[3]}.join(u'$');
    QTest::newRow("other iterations than hashed with")
        << QStringList{parts[0], QStringLiteral("1001"), parts[2], parts[3]}.join(u'$');
    QTest::newRow("prefix only") << QStringLiteral("pbkdf2-sha256$");

    const QString argon = PasswordHash::hash(QStringLiteral("888"));
    QTest::newRow("argon2id cut short") << argon.left(argon.size() - 10);
    QString flipped = argon;
    flipped[flipped.size() - 3] = flipped.at(flipped.size() - 3) == u'A' ? u'B' : u'A';
    QTest::newRow("argon2id hash changed") << flipped;
    // A row asking for 4 GiB must not be tried at all.
    QTest::newRow("argon2id absurd memory")
        << QString(argon).replace(QStringLiteral("m=19456"), QStringLiteral("m=4194304"));
    QTest::newRow("argon2id other passes than hashed with")
        << QString(argon).replace(QStringLiteral("t=2"), QStringLiteral("t=3"));
    QTest::newRow("argon2id prefix only") << QStringLiteral("$argon2id$");
}

void TestPasswordHash::damagedHashNeverMatches()
{
    QFETCH(QString, stored);
    QVERIFY(PasswordHash::isHashed(stored));
    QVERIFY(!PasswordHash::verify(QStringLiteral("888"), stored));
    // The stored text itself, typed as a password, is no key either.
    QVERIFY(!PasswordHash::verify(stored, stored));
}

void TestPasswordHash::iterationsComeFromTheStoredText()
{
    // A value written with another work factor keeps working after the
    // program's factor changes.
    const QString weak = PasswordHash::legacyPbkdf2(QStringLiteral("abc"), 1000);
    QCOMPARE(weak.section(u'$', 1, 1), QStringLiteral("1000"));
    QVERIFY(PasswordHash::verify(QStringLiteral("abc"), weak));
    QVERIFY(!PasswordHash::verify(QStringLiteral("abd"), weak));
}

void TestPasswordHash::rehashIsAskedForPlainAndWeakValues_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("rehash");
    QTest::newRow("plain") << QStringLiteral("888") << true;
    QTest::newRow("pbkdf2 of earlier versions")
        << PasswordHash::legacyPbkdf2(QStringLiteral("888"), 20000) << true;
    QTest::newRow("pbkdf2 at 600000 is still replaced")
        << PasswordHash::legacyPbkdf2(QStringLiteral("888"), 600000) << true;
    QTest::newRow("argon2id of today") << PasswordHash::hash(QStringLiteral("888")) << false;
    QTest::newRow("argon2id with less memory")
        << QString(PasswordHash::hash(QStringLiteral("888")))
               .replace(QStringLiteral("m=19456"), QStringLiteral("m=4096"))
        << true;
}

void TestPasswordHash::rehashIsAskedForPlainAndWeakValues()
{
    QFETCH(QString, stored);
    QFETCH(bool, rehash);
    QCOMPARE(PasswordHash::needsRehash(stored), rehash);
}

void TestPasswordHash::oneCheckTakesWellUnderATenthOfASecond()
{
    // Processor time, not wall time: the test machine is shared, and what
    // matters is the work one sign-in asks of the counter's computer.
    const QString stored = PasswordHash::hash(QStringLiteral("888"));
    constexpr int rounds = 5;
    const std::clock_t start = std::clock();
    for (int i = 0; i < rounds; ++i)
        QVERIFY(PasswordHash::verify(QStringLiteral("888"), stored));
    const double perCheck = 1000.0 * double(std::clock() - start) / CLOCKS_PER_SEC / rounds;
    qInfo("one check: %.0f ms of processor time", perCheck);
    QVERIFY2(perCheck < 100, qPrintable(QStringLiteral("%1 ms").arg(perCheck)));
}

QTEST_GUILESS_MAIN(TestPasswordHash)
#include "tst_passwordhash.moc"

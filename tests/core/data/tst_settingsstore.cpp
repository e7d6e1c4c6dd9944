#include "data/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// -1 for "not chosen", else 0 or 1, so optional answers fit a data table.
int code(std::optional<bool> answer)
{
    return answer ? int(*answer) : -1;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void firstStartReadsDefaultsAndCreatesNothing();
    void writeCreatesFolderAndFile();
    void valuesAreStoredAsPlainStrings();
    void skinIndex_data();
    void skinIndex();
    void alarmQuantity_data();
    void alarmQuantity();
    void emptiedAlarmBoxStoresZero();
    void hideZeroStock_data();
    void hideZeroStock();
    void nextOrderCounter_data();
    void nextOrderCounter();
    void columnHidden_data();
    void columnHidden();
    void setColumnHiddenWritesOwnSense();
    void orderNumberColumnShown_data();
    void orderNumberColumnShown();
    void backupPath_data();
    void backupPath();
    void textsRoundTrip_data();
    void textsRoundTrip();
    void handEditedFileIsRead();
    void laterReadsSeeOtherStoresWrites();
    void failedWriteIsReported();
    void defaultStoreIsVelmoraJxcPerUser();

private:
    QString path() const { return m_dir->filePath(u"Velmora/jxc.conf"_s); }

    QTemporaryDir m_home;                 // stands in for the user's config folder
    std::unique_ptr<QTemporaryDir> m_dir; // one fresh folder per test
};

void TestSettingsStore::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_home.isValid());
    // The per-user store of this process goes to a temporary folder, never
    // to the real ~/.config.
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, m_home.filePath(u"user"_s));
        QSettings::setPath(format, QSettings::SystemScope, m_home.filePath(u"system"_s));
    }
}

void TestSettingsStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestSettingsStore::firstStartReadsDefaultsAndCreatesNothing()
{
    const SettingsStore store(path());
    QVERIFY(!store.keyExists());
    QCOMPARE(store.skinIndex().value_or(-1), -1);
    QCOMPARE(store.alarmQuantity(), u"5"_s);
    QCOMPARE(code(store.hideZeroStock()), -1);
    QCOMPARE(store.nextOrderCounter(), qint64(1));
    QCOMPARE(store.lastSaleDate(), QString());
    QCOMPARE(store.company(), QString());
    QCOMPARE(store.address(), QString());
    QCOMPARE(store.value(SettingsStore::Keys::ReceiptTitle), QString());
    QCOMPARE(store.backupPath(), SettingsStore::defaultBackupPath());
    const QList<QLatin1String> flags = SettingsStore::stockColumnFlags() + SettingsStore::salesColumnFlags();
    QCOMPARE(flags.size(), 15);
    for (const QLatin1String flag : flags)
        QVERIFY2(!store.columnHidden(flag).has_value(), flag.data());
    QVERIFY(!store.orderNumberColumnShown());

    // Nothing at all was created: no file, no folder, no lock file.
    QVERIFY(!store.keyExists());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
}

void TestSettingsStore::writeCreatesFolderAndFile()
{
    SettingsStore store(path());
    QVERIFY(store.setValue(SettingsStore::Keys::Company, u"岚蔚箱包"_s));
    QVERIFY(QFileInfo::exists(path()));
    QVERIFY(store.keyExists());
    // No lock file left behind.
    QCOMPARE(QDir(m_dir->filePath(u"Velmora"_s)).entryList(QDir::Files | QDir::Hidden),
             QStringList{u"jxc.conf"_s});
    QCOMPARE(SettingsStore(path()).company(), u"岚蔚箱包"_s);
}

void TestSettingsStore::valuesAreStoredAsPlainStrings()
{
    // Other tools (and an older build) read these files: numbers and flags
    // must be stored as the plain words, never as typed values.
    SettingsStore store(path());
    QVERIFY(store.setSkinIndex(3));
    QVERIFY(store.setOrderCounter(41));
    QVERIFY(store.setHideZeroStock(true));
    QVERIFY(store.setColumnHidden(SettingsStore::Keys::HideStockSupplier, true));
    QVERIFY(store.setOrderNumberColumnShown(false));
    const QByteArray text = readAll(path());
    QVERIFY2(text.contains("skin=3\n"), text.constData());
    QVERIFY2(text.contains("danhao=41\n"), text.constData());
    QVERIFY2(text.contains("n0=no\n"), text.constData());
    QVERIFY2(text.contains("rukuyin4=yes\n"), text.constData());
    QVERIFY2(text.contains("xiaoshouyin6=no\n"), text.constData());
    QVERIFY2(!text.contains("@"), text.constData());
}

void TestSettingsStore::skinIndex_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("expected"); // -1: keep the built-in skin

    QTest::newRow("first skin") << u"0"_s << 0;
    QTest::newRow("last skin") << u"4"_s << 4;
    QTest::newRow("accepted, no such skin") << u"5"_s << 5;
    QTest::newRow("out of range") << u"7"_s << -1;
    QTest::newRow("negative") << u"-1"_s << -1;
    QTest::newRow("leading zero") << u"03"_s << -1;
    QTest::newRow("word") << u"blue"_s << -1;
    QTest::newRow("empty") << QString() << -1;
}

void TestSettingsStore::skinIndex()
{
    QFETCH(QString, stored);
    QFETCH(int, expected);
    SettingsStore store(path());
    QVERIFY(store.setValue(SettingsStore::Keys::Skin, stored));
    QCOMPARE(store.skinIndex().value_or(-1), expected);
    // Whatever was accepted, only indices below SkinCount name a skin.
    if (expected == 5)
        QVERIFY(*store.skinIndex() >= SettingsStore::SkinCount);
}

void TestSettingsStore::alarmQuantity_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty means the box's initial 5") << QString() << u"5"_s;
    QTest::newRow("zero stays zero") << u"0"_s << u"0"_s;
    QTest::newRow("number") << u"12"_s << u"12"_s;
}

void TestSettingsStore::alarmQuantity()
{
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    SettingsStore store(path());
    QVERIFY(store.setValue(SettingsStore::Keys::AlarmQuantity, stored));
    QCOMPARE(store.alarmQuantity(), expected);
}

void TestSettingsStore::emptiedAlarmBoxStoresZero()
{
    SettingsStore store(path());
    QVERIFY(store.setAlarmQuantity(u"8"_s));
    QCOMPARE(store.alarmQuantity(), u"8"_s);
    QVERIFY(store.setAlarmQuantity(QString()));
    QCOMPARE(store.value(SettingsStore::Keys::AlarmQuantity), u"0"_s);
    QCOMPARE(store.alarmQuantity(), u"0"_s);
}

void TestSettingsStore::hideZeroStock_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("expected");

    QTest::newRow("no: hide zero stock") << u"no"_s << 1;
    QTest::newRow("yes: show all") << u"yes"_s << 0;
    QTest::newRow("capitalised") << u"No"_s << -1;
    QTest::newRow("other word") << u"true"_s << -1;
    QTest::newRow("empty") << QString() << -1;
}

void TestSettingsStore::hideZeroStock()
{
    QFETCH(QString, stored);
    QFETCH(int, expected);
    SettingsStore store(path());
    QVERIFY(store.setValue(SettingsStore::Keys::ZeroStock, stored));
    QCOMPARE(code(store.hideZeroStock()), expected);

    QVERIFY(store.setHideZeroStock(true));
    QCOMPARE(store.value(SettingsStore::Keys::ZeroStock), u"no"_s);
    QCOMPARE(code(store.hideZeroStock()), 1);
    QVERIFY(store.setHideZeroStock(false));
    QCOMPARE(store.value(SettingsStore::Keys::ZeroStock), u"yes"_s);
    QCOMPARE(code(store.hideZeroStock()), 0);
}

void TestSettingsStore::nextOrderCounter_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("absent") << QString() << qint64(1);
    QTest::newRow("41") << u"41"_s << qint64(42);
    QTest::newRow("zero") << u"0"_s << qint64(1);
    QTest::newRow("padded") << u"007"_s << qint64(8);
    QTest::newRow("junk") << u"abc"_s << qint64(1);
    QTest::newRow("decimal") << u"4.5"_s << qint64(1);
    QTest::newRow("trailing junk") << u"41x"_s << qint64(1);
    QTest::newRow("negative") << u"-3"_s << qint64(1);
    QTest::newRow("largest, one more overflows") << u"9223372036854775807"_s << qint64(1);
    QTest::newRow("beyond 64 bits") << u"99999999999999999999"_s << qint64(1);
}

void TestSettingsStore::nextOrderCounter()
{
    QFETCH(QString, stored);
    QFETCH(qint64, expected);
    SettingsStore store(path());
    QVERIFY(store.setValue(SettingsStore::Keys::OrderCounter, stored));
    QCOMPARE(store.nextOrderCounter(), expected);
}

void TestSettingsStore::columnHidden_data()
{
    QTest::addColumn<QString>("flag");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("hidden"); // -1: change nothing

    QTest::newRow("stock yes hides") << QString(SettingsStore::Keys::HideStockPurchasePrice) << u"yes"_s << 1;
    QTest::newRow("stock no shows") << QString(SettingsStore::Keys::HideStockSalePrice) << u"no"_s << 0;
    QTest::newRow("stock other word") << QString(SettingsStore::Keys::HideStockAmounts) << u"Yes"_s << -1;
    QTest::newRow("sales yes hides") << QString(SettingsStore::Keys::HideSalesProfit) << u"yes"_s << 1;
    QTest::newRow("sales no shows") << QString(SettingsStore::Keys::HideSalesCustomerRemark) << u"no"_s << 0;
    QTest::newRow("sales padded") << QString(SettingsStore::Keys::HideSalesDebt) << u" yes"_s << -1;
    QTest::newRow("sales number") << QString(SettingsStore::Keys::HideSalesDate) << u"1"_s << -1;
    QTest::newRow("order number yes shows")
        << QString(SettingsStore::Keys::ShowSalesOrderNumber) << u"yes"_s << 0;
    QTest::newRow("order number no hides")
        << QString(SettingsStore::Keys::ShowSalesOrderNumber) << u"no"_s << 1;
    QTest::newRow("order number other")
        << QString(SettingsStore::Keys::ShowSalesOrderNumber) << u"ja"_s << -1;
}

void TestSettingsStore::columnHidden()
{
    QFETCH(QString, flag);
    QFETCH(QString, stored);
    QFETCH(int, hidden);
    SettingsStore store(path());
    QVERIFY(store.setValue(flag, stored));
    QCOMPARE(code(store.columnHidden(flag)), hidden);
}

void TestSettingsStore::setColumnHiddenWritesOwnSense()
{
    SettingsStore store(path());
    const QList<QLatin1String> flags = SettingsStore::stockColumnFlags() + SettingsStore::salesColumnFlags();
    for (const QLatin1String flag : flags) {
        const QString name(flag);
        QVERIFY(store.setColumnHidden(name, true));
        QCOMPARE(store.value(name), u"yes"_s);
        QCOMPARE(code(store.columnHidden(name)), 1);
    }
    // Hiding every "hide" column does not show the order number column.
    QVERIFY(!store.orderNumberColumnShown());
    QCOMPARE(code(store.columnHidden(SettingsStore::Keys::ShowSalesOrderNumber)), -1);

    QVERIFY(store.setColumnHidden(SettingsStore::Keys::ShowSalesOrderNumber, true));
    QCOMPARE(store.value(SettingsStore::Keys::ShowSalesOrderNumber), u"no"_s);
    QVERIFY(store.setColumnHidden(SettingsStore::Keys::ShowSalesOrderNumber, false));
    QCOMPARE(store.value(SettingsStore::Keys::ShowSalesOrderNumber), u"yes"_s);
    QVERIFY(store.orderNumberColumnShown());

    // Showing one column again leaves the others hidden.
    QVERIFY(store.setColumnHidden(SettingsStore::Keys::HideStockInDate, false));
    QCOMPARE(store.value(SettingsStore::Keys::HideStockInDate), u"no"_s);
    QCOMPARE(code(store.columnHidden(SettingsStore::Keys::HideStockSupplier)), 1);
}

void TestSettingsStore::orderNumberColumnShown_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("shown");

    QTest::newRow("absent: hidden") << QString() << false;
    QTest::newRow("yes") << u"yes"_s << true;
    QTest::newRow("no") << u"no"_s << false;
    QTest::newRow("other word") << u"YES"_s << false;
}

void TestSettingsStore::orderNumberColumnShown()
{
    QFETCH(QString, stored);
    QFETCH(bool, shown);
    SettingsStore store(path());
    if (!stored.isNull())
        QVERIFY(store.setValue(SettingsStore::Keys::ShowSalesOrderNumber, stored));
    QCOMPARE(store.orderNumberColumnShown(), shown);
}

void TestSettingsStore::backupPath_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QString() << SettingsStore::defaultBackupPath();
    QTest::newRow("chosen") << u"/media/usb/备份/data.mdb"_s << u"/media/usb/备份/data.mdb"_s;
    QTest::newRow("windows path") << u"E:\\bak\\beifen.mdb"_s << u"E:\\bak\\beifen.mdb"_s;
}

void TestSettingsStore::backupPath()
{
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    SettingsStore store(path());
    QVERIFY(store.setBackupPath(stored));
    QCOMPARE(store.backupPath(), expected);
#ifdef Q_OS_WIN
    QCOMPARE(SettingsStore::defaultBackupPath(), u"D:\\beifen.mdb"_s);
#else
    QCOMPARE(
        SettingsStore::defaultBackupPath(),
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).filePath(u"beifen.mdb"_s));
#endif
}

void TestSettingsStore::textsRoundTrip_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("chinese") << u"岚蔚箱包专卖店"_s;
    QTest::newRow("comma") << u"箱包, 皮具"_s;
    QTest::newRow("semicolon and equals") << u"电话;1=2"_s;
    QTest::newRow("leading at") << u"@Variant(abc)"_s;
    QTest::newRow("quotes") << u"\"欢迎\" '光临'"_s;
    QTest::newRow("backslashes") << u"D:\\beifen.mdb"_s;
    QTest::newRow("outer spaces") << u"  谢谢惠顾  "_s;
    QTest::newRow("line break") << u"第一行\n第二行"_s;
    QTest::newRow("looks like a list") << u"a,b,c"_s;
}

void TestSettingsStore::textsRoundTrip()
{
    QFETCH(QString, text);
    {
        SettingsStore store(path());
        QVERIFY(store.setValue(SettingsStore::Keys::ReceiptClosing, text));
        QVERIFY(store.setCompany(text));
    }
    const SettingsStore reopened(path());
    QCOMPARE(reopened.value(SettingsStore::Keys::ReceiptClosing), text);
    QCOMPARE(reopened.company(), text);
}

void TestSettingsStore::handEditedFileIsRead()
{
    QVERIFY(QDir().mkpath(QFileInfo(path()).path()));
    QFile file(path());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[General]\n"
               "company=A, B\n"
               "n0=no\n"
               "skin=2\n"
               "danhao=41\n"
               "rukuyin2=yes\n"
               "xiaoshouyin6=yes\n");
    file.close();

    const SettingsStore store(path());
    QVERIFY(store.keyExists());
    QCOMPARE(store.company(), u"A, B"_s);
    QCOMPARE(code(store.hideZeroStock()), 1);
    QCOMPARE(store.skinIndex().value_or(-1), 2);
    QCOMPARE(store.nextOrderCounter(), qint64(42));
    QCOMPARE(code(store.columnHidden(SettingsStore::Keys::HideStockAmounts)), 1);
    QVERIFY(store.orderNumberColumnShown());
}

void TestSettingsStore::laterReadsSeeOtherStoresWrites()
{
    const SettingsStore reader(path());
    SettingsStore writer(path());
    QVERIFY(writer.setLastSaleDate(u"2024-03-01"_s));
    QCOMPARE(reader.lastSaleDate(), u"2024-03-01"_s);
    QVERIFY(writer.setLastSaleDate(u"2024-03-02"_s));
    QCOMPARE(reader.lastSaleDate(), u"2024-03-02"_s);

    // A change made behind the program's back (another instance) is seen too.
    {
        QSettings other(path(), QSettings::IniFormat);
        other.setValue(u"riqi"_s, u"2024-03-03-other"_s);
    }
    QCOMPARE(reader.lastSaleDate(), u"2024-03-03-other"_s);
}

void TestSettingsStore::failedWriteIsReported()
{
    // A regular file where the folder should be: nothing can be written,
    // whoever runs the test.
    QFile blocker(m_dir->filePath(u"Velmora"_s));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    SettingsStore store(path());
    QVERIFY(!store.setOrderCounter(7));
    QVERIFY(!store.keyExists());
    QCOMPARE(store.nextOrderCounter(), qint64(1));
}

void TestSettingsStore::defaultStoreIsVelmoraJxcPerUser()
{
    SettingsStore store;
    const QString expected = QDir(m_home.filePath(u"user"_s)).filePath(u"Velmora/jxc.conf"_s);
    QCOMPARE(QDir::fromNativeSeparators(store.location()), expected);
    QVERIFY(!store.keyExists());
    QCOMPARE(store.alarmQuantity(), u"5"_s);
    QVERIFY(!QFileInfo::exists(expected));

    QVERIFY(store.setAlarmQuantity(u"3"_s));
    QVERIFY(QFileInfo::exists(expected));
    QVERIFY(store.keyExists());
    QCOMPARE(SettingsStore().alarmQuantity(), u"3"_s);

    // Organisation-wide values are not this program's preferences.
    QVERIFY(QFile::remove(expected));
    {
        QSettings organisation(QSettings::NativeFormat, QSettings::UserScope, u"Velmora"_s);
        organisation.setValue(u"skin"_s, u"1"_s);
    }
    QVERIFY(SettingsStore().setCompany(u"店"_s));
    QCOMPARE(SettingsStore().skinIndex().value_or(-1), -1);
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"

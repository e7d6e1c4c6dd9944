#include "common/Prompter.h"
#include "data/SettingsStore.h"
#include "maintenance/Tpos.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

// The receipt settings window: its default texts, the load at start that
// only happens with a stored receipt title, and the save.
class TestTpos : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void firstStartShowsDefaults();
    void load_data();
    void load();
    void saveStoresEveryBoxInOrder();
    void emptiedTitleBringsDefaultsBack();
    void failedSaveIsNotReportedAsSaved();
    void textsFollowTheBoxesBeforeSaving();

private:
    QString settingsPath() const { return m_dir->filePath(u"jxc.conf"_s); }
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_settings;
};

void TestTpos::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    Prompter::setTestMode(true);
}

void TestTpos::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_settings = std::make_unique<SettingsStore>(settingsPath());
    Prompter::clearShown();
}

void TestTpos::cleanup()
{
    m_settings.reset();
    m_dir.reset();
}

void TestTpos::firstStartShowsDefaults()
{
    Tpos window(*m_settings);
    QCOMPARE(window.windowTitle(), u"销售单小票设置"_s);
    QCOMPARE(window.size(), QSize(398, 474));
    QVERIFY(!window.isVisible());
    const QStringList expected{u"POS小票销售单"_s, u"岚蔚进销存软件提供技术支持"_s,
                               u"官网：www.lanwei-xiangbao.cn"_s, u"欢迎下次惠顾！"_s, u"霁松阁软件销售单"_s};
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(window.box(ReceiptTexts::keys().at(i))->text(), expected.at(i));
    QVERIFY(window.box(SettingsStore::Keys::DocumentContact)->text().startsWith(u"客服电话："_s));
    QVERIFY(window.box(SettingsStore::Keys::DocumentContact)->text().contains(u" 客服QQ:"_s));
    QVERIFY(!window.box(SettingsStore::Keys::DocumentSlogan1)->text().isEmpty());
    QVERIFY(window.box(SettingsStore::Keys::DocumentSlogan2)->text().startsWith(u"官网："_s));
    QCOMPARE(window.box(SettingsStore::Keys::Company)->text(), u"霁松阁软件"_s);
    QCOMPARE(window.texts(), ReceiptTexts::defaults());
    // Reading the store at start writes nothing.
    QVERIFY(!m_settings->keyExists());
}

void TestTpos::load_data()
{
    QTest::addColumn<QString>("pos1");
    QTest::addColumn<bool>("loaded");

    QTest::newRow("stored title: every stored value") << u"岚蔚箱包小票"_s << true;
    QTest::newRow("empty title: defaults") << QString() << false;
}

void TestTpos::load()
{
    QFETCH(QString, pos1);
    QFETCH(bool, loaded);
    m_settings->setValue(SettingsStore::Keys::ReceiptTitle, pos1);
    m_settings->setValue(SettingsStore::Keys::ReceiptSlogan1, u"买箱包，到岚蔚"_s);
    m_settings->setValue(SettingsStore::Keys::Company, u"岚蔚箱包"_s);
    // "pos3" and the others are never written.
    Tpos window(*m_settings);
    if (loaded) {
        QCOMPARE(window.box(SettingsStore::Keys::ReceiptTitle)->text(), pos1);
        QCOMPARE(window.box(SettingsStore::Keys::ReceiptSlogan1)->text(), u"买箱包，到岚蔚"_s);
        QCOMPARE(window.box(SettingsStore::Keys::Company)->text(), u"岚蔚箱包"_s);
        // A value that was never stored gives an empty box.
        QCOMPARE(window.box(SettingsStore::Keys::ReceiptSlogan2)->text(), QString());
        QCOMPARE(window.box(SettingsStore::Keys::DocumentSlogan1)->text(), QString());
        QCOMPARE(window.texts(), ReceiptTexts::load(*m_settings));
    } else {
        QCOMPARE(window.texts(), ReceiptTexts::defaults());
    }
}

void TestTpos::saveStoresEveryBoxInOrder()
{
    Tpos window(*m_settings);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QStringList typed;
    for (const QLatin1String key : ReceiptTexts::keys()) {
        QLineEdit *box = window.box(key);
        box->clear();
        // Typed keys are ASCII; the Chinese part arrives as an input method
        // would put it.
        QTest::keyClicks(box, QString(key) + u" 'quote' \"double\" "_s);
        box->insert(u"新的"_s);
        const QString text = QString(key) + u" 'quote' \"double\" 新的"_s;
        QCOMPARE(box->text(), text);
        typed << text;
    }
    // A document slogan 1 may be left empty and is stored empty.
    window.box(SettingsStore::Keys::DocumentSlogan1)->clear();
    typed[6] = QString();
    QTest::mouseClick(window.saveButton(), Qt::LeftButton);
    QCOMPARE(Prompter::shownTexts(), QStringList{u"已保存成功！"_s});
    QVERIFY(!window.isVisible());

    for (int i = 0; i < typed.size(); ++i)
        QCOMPARE(m_settings->value(ReceiptTexts::keys().at(i)), typed.at(i));
    // The next start shows them.
    Tpos next(*m_settings);
    QCOMPARE(next.texts(), window.texts());
    QCOMPARE(next.box(SettingsStore::Keys::DocumentSlogan1)->text(), QString());
    // The window closed but kept its texts.
    QCOMPARE(window.box(SettingsStore::Keys::ReceiptTitle)->text(), typed.first());
}

void TestTpos::emptiedTitleBringsDefaultsBack()
{
    Tpos window(*m_settings);
    window.box(SettingsStore::Keys::ReceiptTitle)->clear();
    window.box(SettingsStore::Keys::ReceiptClosing)->setText(u"谢谢惠顾"_s);
    window.save();
    QCOMPARE(Prompter::lastText(), u"已保存成功！"_s);
    QCOMPARE(m_settings->value(SettingsStore::Keys::ReceiptClosing), u"谢谢惠顾"_s);
    Tpos next(*m_settings);
    QCOMPARE(next.texts(), ReceiptTexts::defaults());
}

void TestTpos::failedSaveIsNotReportedAsSaved()
{
    // A settings file whose folder is a plain file cannot be written.
    QFile blocker(m_dir->filePath(u"blocked"_s));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsStore unwritable(m_dir->filePath(u"blocked/jxc.conf"_s));
    Tpos window(unwritable);
    window.show();
    window.save();
    QCOMPARE(Prompter::shown().size(), 1);
    QCOMPARE(Prompter::shown().first().kind, Prompter::Kind::Error);
    QVERIFY(Prompter::lastText() != u"已保存成功！"_s);
    QVERIFY(window.isVisible());
}

void TestTpos::textsFollowTheBoxesBeforeSaving()
{
    Tpos window(*m_settings);
    window.box(SettingsStore::Keys::ReceiptTitle)->setText(u"试用小票"_s);
    QCOMPARE(window.texts().receiptTitle, u"试用小票"_s);
    QVERIFY(!m_settings->keyExists());
}

QTEST_MAIN(TestTpos)
#include "tst_tpos.moc"

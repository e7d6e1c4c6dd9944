#include "../common/SignedInMainForm.h"
#include "TinyHttpServer.h"
#include "UpgradeTestKey.h"

#include "common/Prompter.h"
#include "periphery/OnlineUpgrade.h"
#include "periphery/TDownloadWindow.h"
#include "periphery/TLogonWindow.h"
#include "periphery/UpgradeHandOver.h"
#include "periphery/UpgradeSettings.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

const QString kTitle = u"岚蔚箱包销售管理软件"_s;
const QString kCaption = u"软件升级精灵"_s;

QString dateText(QDate date)
{
    return date.toString(u"MM/dd/yyyy"_s);
}

// Saves what the operator sees when LWJXC_SHOT_DIR names a folder.
void shot(QWidget *widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("LWJXC_SHOT_DIR");
    if (!dir.isEmpty())
        widget->grab().save(QDir(dir).filePath(name + u".png"_s));
}

template <typename Window> Window *visibleWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<Window *>(widget); window && window->isVisible())
            return window;
    }
    return nullptr;
}

} // namespace

class TestOnlineUpgrade : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void noNewerVersion_data();
    void noNewerVersion();
    void silentWhenNothingAnswers_data();
    void silentWhenNothingAnswers();
    void certificateErrorEndsTheCheck();
    void laterEndsTheCheck();
    void questionBoxHasTheProgramsButtons();
    void browserMethodOpensTheFirstAddress();
    void unwritableFolderOffersTheBrowser();
    void downloadFinishesAndHandsOver();
    void cancelDuringDownload();
    void missingFileAsksToSkip_data();
    void missingFileAsksToSkip();
    void lostConnectionIsReported();
    void logOnWindowOnRequest_data();
    void logOnWindowOnRequest();
    void badSignatureInstallsNothing();
    void restartAfterUpgrade_data();
    void restartAfterUpgrade();
    void programCarriesTheUpgrader();
    void menuItemRunsTheCheck();

private:
    void serveInfo(const QString &date, const QStringList &files, const QString &extra = QString());
    QString fileAddress(const QString &name, const QByteArray &content);
    void start(const QString &programPath = QString());
    bool waitIdle();
    QStringList fileRequests() const;

    QTemporaryDir m_home;
    std::unique_ptr<TinyHttpServer> m_server;
    std::unique_ptr<QTemporaryDir> m_programFolder;
    std::unique_ptr<QTemporaryDir> m_temp;
    std::unique_ptr<QWidget> m_window;
    OnlineUpgrade *m_upgrade = nullptr;
    QList<QUrl> m_opened;
    QString m_signatures;
};

void TestOnlineUpgrade::initTestCase()
{
    SignedInMainForm::initTestCase(m_home);
    QVERIFY(UpgradeSettings::releaseDate().isValid());
}

void TestOnlineUpgrade::init()
{
    Prompter::setTestMode(true);
    m_server = std::make_unique<TinyHttpServer>();
    QVERIFY(m_server->listen());
    m_programFolder = std::make_unique<QTemporaryDir>();
    m_temp = std::make_unique<QTemporaryDir>();
    qputenv("TMPDIR", m_temp->path().toLocal8Bit());
    m_window = std::make_unique<QWidget>();
    m_opened.clear();
    m_signatures.clear();
}

void TestOnlineUpgrade::cleanup()
{
    m_upgrade = nullptr;
    m_window.reset();
    m_server.reset();
    qunsetenv("TMPDIR");
}

QString TestOnlineUpgrade::fileAddress(const QString &name, const QByteArray &content)
{
    m_server->setRoute(u"/dl/"_s + name, content);
    return m_server->url(u"/dl/"_s + name).toString();
}

// The files' signatures are made from what the routes serve at that moment.
void TestOnlineUpgrade::serveInfo(const QString &date, const QStringList &files, const QString &extra)
{
    QString text = u"#date="_s + date + u"\r\n#message={修正了销售统计。\r\n加快了库存查询。}\r\n"_s + extra;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString suffix = i == 0 ? QString() : QString::number(i + 1);
        text += u"#url%1=%2\r\n"_s.arg(suffix, files.at(i));
    }
    m_server->setRoute(u"/lwjxc.inf"_s, text.toUtf8() + m_signatures.toUtf8());
}

void TestOnlineUpgrade::start(const QString &programPath)
{
    OnlineUpgrade::Setup setup;
    setup.infoUrl = m_server->url(u"/lwjxc.inf"_s);
    setup.releaseDate = UpgradeSettings::releaseDate();
    setup.programPath = programPath.isEmpty() ? m_programFolder->filePath(u"lwjxc"_s) : programPath;
    setup.programTitle = kTitle;
    setup.programArguments = {setup.programPath, u"--database=/shop/data.mdb"_s};
    setup.publicKey = UpgradeTestKey::publicKey();
    // Notes its command line where the test can read it.
    setup.upgraderSource = m_programFolder->filePath(u"fake-upgrader.sh"_s);
    QFile script(setup.upgraderSource);
    if (script.open(QIODevice::WriteOnly))
        script.write("#!/bin/sh\necho \"$0|$1|$2|$LWJXC_UPGRADE_WAIT_PID|$3 $4\" > \"$(dirname "
                     "\"$0\")/cmdline.txt\"\n");
    script.close();
    m_upgrade = new OnlineUpgrade(setup, m_window.get());
    m_upgrade->openInBrowser = [this](const QUrl &url) {
        m_opened.append(url);
        return true;
    };
    m_upgrade->check();
}

bool TestOnlineUpgrade::waitIdle()
{
    return QTest::qWaitFor([this] { return m_upgrade->state() == OnlineUpgrade::State::Idle; }, 15000);
}

QStringList TestOnlineUpgrade::fileRequests() const
{
    QStringList files = m_server->requests();
    files.removeAll(u"/lwjxc.inf"_s);
    return files;
}

// Signs the files a test serves and adds their "#sig" lines.
#define SIGN(index, content)                                                                                 \
    m_signatures += u"#sig%1=%2\r\n"_s.arg((index) == 0 ? QString() : QString::number((index) + 1),          \
                                           UpgradeTestKey::sign(content))

void TestOnlineUpgrade::noNewerVersion_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<bool>("withAddress");
    const QDate release = UpgradeSettings::releaseDate();
    QTest::newRow("the same date") << dateText(release) << true;
    QTest::newRow("an earlier date") << dateText(release.addDays(-1)) << true;
    QTest::newRow("later, but no address") << dateText(release.addDays(1)) << false;
    QTest::newRow("no date") << QString() << true;
}

void TestOnlineUpgrade::noNewerVersion()
{
    QFETCH(QString, date);
    QFETCH(bool, withAddress);
    serveInfo(date, withAddress ? QStringList{fileAddress(u"a"_s, "A")} : QStringList{});
    start();
    QVERIFY(waitIdle());
    QCOMPARE(Prompter::shown().size(), 1);
    QCOMPARE(Prompter::shown().constFirst().kind, Prompter::Kind::Information);
    QCOMPARE(Prompter::shown().constFirst().caption, kCaption);
    QCOMPARE(Prompter::lastText(), u"没有发现新的版本，您目前已经是最新版本。"_s);
    QCOMPARE(fileRequests(), QStringList());
}

void TestOnlineUpgrade::silentWhenNothingAnswers_data()
{
    QTest::addColumn<bool>("hostThere");
    QTest::newRow("information file missing") << true;
    QTest::newRow("host unreachable") << false;
}

void TestOnlineUpgrade::silentWhenNothingAnswers()
{
    QFETCH(bool, hostThere);
    if (!hostThere)
        m_server.reset(new TinyHttpServer); // not listening: nothing answers
    OnlineUpgrade::Setup setup;
    setup.infoUrl = hostThere ? m_server->url(u"/lwjxc.inf"_s)
                              : QUrl(u"http://127.0.0.1:%1/lwjxc.inf"_s.arg(TinyHttpServer::closedPort()));
    setup.releaseDate = UpgradeSettings::releaseDate();
    setup.programPath = m_programFolder->filePath(u"lwjxc"_s);
    m_upgrade = new OnlineUpgrade(setup, m_window.get());
    QSignalSpy idle(m_upgrade, &OnlineUpgrade::idle);
    m_upgrade->check();
    QVERIFY(idle.wait(10000));
    QCOMPARE(Prompter::shownTexts(), QStringList());
}

// A site whose certificate does not verify may be someone else's: the check
// ends with a message instead of silently, and nothing is asked or fetched.
void TestOnlineUpgrade::certificateErrorEndsTheCheck()
{
    m_server = std::make_unique<TinyHttpServer>();
    QVERIFY(m_server->useTls());
    QVERIFY(m_server->listen());
    serveInfo(dateText(UpgradeSettings::releaseDate().addDays(1)), {fileAddress(u"a"_s, "A")});
    start();
    QVERIFY(waitIdle());
    QCOMPARE(Prompter::shown().size(), 1);
    QCOMPARE(Prompter::shown().constFirst().kind, Prompter::Kind::Error);
    QCOMPARE(Prompter::lastText(), u"无法确认升级服务器 127.0.0.1 的身份（证书错误），升级检查已取消。"_s);
    QCOMPARE(m_server->requests(), QStringList());
    QVERIFY(!m_upgrade->downloadWindow());
    QCOMPARE(QDir(m_programFolder->path()).entryList({u"*.uTMP*"_s}, QDir::Files), QStringList());
}

void TestOnlineUpgrade::laterEndsTheCheck()
{
    serveInfo(dateText(UpgradeSettings::releaseDate().addDays(1)), {fileAddress(u"a"_s, "A")});
    Prompter::queueAnswer(Prompter::Answer::No);
    start();
    QVERIFY(waitIdle());
    QCOMPARE(Prompter::shown().size(), 1);
    QCOMPARE(Prompter::shown().constFirst().kind, Prompter::Kind::Question);
    QCOMPARE(Prompter::shown().constFirst().caption, kCaption);
    QCOMPARE(Prompter::lastText(),
             kTitle + u"已经有新版本推出，\n修正了销售统计。\r\n加快了库存查询。\n您要升级到新版本吗？"_s);
    QCOMPARE(fileRequests(), QStringList());
    QVERIFY(!m_upgrade->downloadWindow());
}

void TestOnlineUpgrade::questionBoxHasTheProgramsButtons()
{
    serveInfo(dateText(UpgradeSettings::releaseDate().addDays(1)), {fileAddress(u"a"_s, "A")});
    Prompter::setTestMode(false);
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll.stop();
        for (QAbstractButton *button : box->buttons())
            buttons << button->text();
        icon = box->icon();
        title = box->windowTitle();
        shot(box, u"question"_s);
        box->button(QMessageBox::NoButton); // (no standard buttons on this box)
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == u"[&L]稍等一下"_s)
                button->click();
        }
    });
    poll.start(20);
    start();
    const bool idle = waitIdle();
    Prompter::setTestMode(true);
    QVERIFY(idle);
    buttons.sort();
    QCOMPARE(buttons, (QStringList{u"[&L]稍等一下"_s, u"[&Y]是"_s}));
    QCOMPARE(icon, QMessageBox::Question);
    QCOMPARE(title, kCaption);
    QCOMPARE(fileRequests(), QStringList());
}

void TestOnlineUpgrade::browserMethodOpensTheFirstAddress()
{
    const QString first = fileAddress(u"setup.exe"_s, "S");
    serveInfo(dateText(UpgradeSettings::releaseDate().addDays(30)), {first, fileAddress(u"b"_s, "B")},
              u"#method=2\r\n"_s);
    Prompter::queueAnswer(Prompter::Answer::Yes);
    start();
    QVERIFY(waitIdle());
    QCOMPARE(m_opened, QList<QUrl>{QUrl(first)});
    QCOMPARE(fileRequests(), QStringList());
}

void TestOnlineUpgrade::unwritableFolderOffersTheBrowser()
{
    const QString first = fileAddress(u"lwjxc"_s, "P");
    SIGN(0, "P");
    serveInfo(dateText(UpgradeSettings::releaseDate().addDays(1)), {first});
    Prompter::queueAnswer(Prompter::Answer::Yes); // upgrade
    Prompter::queueAnswer(Prompter::Answer::Yes); // open the browser instead
    const QString missingFolder = m_programFolder->filePath(u"gone"_s);
    start(missingFolder + u"/lwjxc"_s);
    QVERIFY(waitIdle());
    QCOMPARE(Prompter::shown().size(), 2);
    QCOMPARE(Prompter::shown().at(1).kind, Prompter::Kind::Warning);
    QVERIFY(Prompter::lastText().contains(QDir::toNativeSeparators(missingFolder)));
    QVERIFY(Prompter::lastText().contains(u"不能写入"_s));
    QCOMPARE(m_opened, QList<QUrl>{QUrl(first)});
    QCOMPARE(fileRequests(), QStringList());
}

void TestOnlineUpgrade::downloadFinishesAndHandsOver()
{
    const QByteArray program(160 * 1024, 'N');
    TinyHttpServer::Route slow{200, program};
    slow.bytesPerTick = 8 * 1024; // long enough to look at
    m_server->setRoute(u"/dl/lwjxc"_s, slow);
    SIGN(0, program);
    SIGN(1, "help");
    serveInfo(dateText(UpgradeSettings::releaseDate().addDays(1)),
              {m_server->url(u"/dl/lwjxc"_s).toString(), fileAddress(u"help.txt"_s, "help")});
    Prompter::queueAnswer(Prompter::Answer::Yes);
    start();

    QTRY_VERIFY(m_upgrade->downloadWindow() && m_upgrade->downloadWindow()->isVisible());
    TDownloadWindow *window = m_upgrade->downloadWindow();
    auto label = [window](const char *name) {
        return window->findChild<QLabel *>(QLatin1String(name))->text();
    };
    QTRY_VERIFY(label("sizeLabel").contains(u" / 160.0 KB"_s));
    QCOMPARE(label("overallLabel"), u"当前正在下载:1 of 2"_s);
    QCOMPARE(label("fileLabel"), u"lwjxc"_s);
    QCOMPARE(label("addressLabel"), m_server->url(u"/dl/lwjxc"_s).toString());
    QVERIFY(label("rateLabel").endsWith(u"/秒"_s));
    auto *finish = window->findChild<QPushButton *>(u"finishButton"_s);
    auto *cancel = window->findChild<QPushButton *>(u"cancelButton"_s);
    QVERIFY(!finish->isEnabled() && cancel->isEnabled());
    shot(window, u"downloading"_s);

    QTRY_VERIFY_WITH_TIMEOUT(window->isFinished(), 15000);
    QCOMPARE(window->windowTitle(), u"升级完成！"_s);
    QCOMPARE(label("overallLabel"), u"当前正在下载:2 of 2"_s);
    QCOMPARE(label("messageLabel"), kTitle + u" 已经升级完成，\n\n请按[确定]键重新启动程序"_s);
    QCOMPARE(finish->text(), u"[&O]确定"_s);
    QVERIFY(finish->isEnabled() && !cancel->isEnabled());
    QTest::keyClick(window, Qt::Key_Escape); // only "确定" leaves
    QVERIFY(window->isVisible());
    shot(window, u"finished"_s);
    QCOMPARE(QDir(m_programFolder->path()).entryList({u"*.uTMP"_s}, QDir::Files, QDir::Name),
             (QStringList{u"help.txt.uTMP"_s, u"lwjxc.uTMP"_s}));
    QCOMPARE(Prompter::shown().size(), 1);

    QSignalSpy handedOver(m_upgrade, &OnlineUpgrade::handedOver);
    QTest::mouseClick(finish, Qt::LeftButton);
    QCOMPARE(handedOver.size(), 1);
    const QString upgrader = QDir(m_temp->path()).filePath(u"Upgrader3"_s);
    auto cmdline = [this] {
        QFile file(m_temp->filePath(u"cmdline.txt"_s));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
    };
    QTRY_VERIFY(!cmdline().isEmpty());
    // The program's database goes along to the restart.
    QCOMPARE(cmdline(), u"%1|%2|+/afterupgrade0|%3|--database /shop/data.mdb"_s
                            .arg(upgrader, m_programFolder->filePath(u"lwjxc"_s))
                            .arg(QCoreApplication::applicationPid()));
}

void TestOnlineUpgrade::cancelDuringDownload()
{
    const QByteArray program(400 * 1024, 'N');
    TinyHttpServer::Route slow{200, program};
    slow.bytesPerTick = 4 * 1024;
    m_server->setRoute(u"/dl/lwjxc"_s, slow);
    SIGN(0, program);
    serveInfo(dateText(UpgradeSettings::releaseDate().addDays(1)),
              {m_server->url(u"/dl/lwjxc"_s).toString()});
    Prompter::queueAnswer(Prompter::Answer::Yes);
    start();
    QTRY_VERIFY(QFile::exists(m_programFolder->filePath(u"lwjxc.uTMP"_s)));
    QTest::keyClick(m_upgrade->downloadWindow(), Qt::Key_Escape);
    QVERIFY(waitIdle());
    QTRY_VERIFY(!m_upgrade->downloadWindow());
    QCOMPARE(Prompter::shown().size(), 1); // the question only
    QCOMPARE(QDir(m_programFolder->path()).entryList({u"lwjxc.*"_s}, QDir::Files), QStringList());
}

void TestOnlineUpgrade::missingFileAsksToSkip_data()
{
    QTest::addColumn<bool>("skip");
    QTest::newRow("yes continues") << true;
    QTest::newRow("no abandons") << false;
}

void TestOnlineUpgrade::missingFileAsksToSkip()
{
    QFETCH(bool, skip);
    const QString missing = m_server->url(u"/dl/gone.dll"_s).toString();
    SIGN(0, "x");
    SIGN(1, "B");
    serveInfo(dateText(UpgradeSettings::releaseDate().addDays(1)), {missing, fileAddress(u"b"_s, "B")});
    Prompter::queueAnswer(Prompter::Answer::Yes);
    Prompter::queueAnswer(skip ? Prompter::Answer::Yes : Prompter::Answer::No);
    start();
    if (skip) {
        QTRY_VERIFY(m_upgrade->state() == OnlineUpgrade::State::Finished);
        QCOMPARE(fileRequests(), (QStringList{u"/dl/gone.dll"_s, u"/dl/b"_s}));
    } else {
        QVERIFY(waitIdle());
        QCOMPARE(fileRequests(), QStringList{u"/dl/gone.dll"_s});
        QTRY_VERIFY(!m_upgrade->downloadWindow());
    }
    QCOMPARE(Prompter::shown().size(), 2);
    QCOMPARE(Prompter::shown().at(1).kind, Prompter::Kind::Warning);
    QCOMPARE(Prompter::shown().at(1).caption, u"错误 #404"_s);
    QCOMPARE(Prompter::shown().at(1).text,
             u"文档"_s + missing + u"找不到或者发生错误，\n\n您要忽略这个文档并且继续升级操作吗？"_s);
}

void TestOnlineUpgrade::lostConnectionIsReported()
{
    const QByteArray program(120 * 1024, 'N');
    TinyHttpServer::Route dropping{200, program};
    dropping.dropAfter = 30 * 1024;
    m_server->setRoute(u"/dl/lwjxc"_s, dropping);
    SIGN(0, program);
    serveInfo(dateText(UpgradeSettings::releaseDate().addDays(1)),
              {m_server->url(u"/dl/lwjxc"_s).toString()});
    Prompter::queueAnswer(Prompter::Answer::Yes);
    start();
    QVERIFY(waitIdle());
    QCOMPARE(Prompter::shown().size(), 2);
    QCOMPARE(Prompter::shown().at(1).kind, Prompter::Kind::Error);
    QCOMPARE(Prompter::shown().at(1).caption, kCaption);
    QCOMPARE(Prompter::lastText(), u"与远端服务器的连接中断，\n\n请重新连接后再进行升级操作。"_s);
    QTRY_VERIFY(!m_upgrade->downloadWindow());
    QCOMPARE(QDir(m_programFolder->path()).entryList({u"*.uTMP"_s}, QDir::Files), QStringList());
}

void TestOnlineUpgrade::logOnWindowOnRequest_data()
{
    QTest::addColumn<bool>("logOn");
    QTest::newRow("logged on") << true;
    QTest::newRow("cancelled") << false;
}

void TestOnlineUpgrade::logOnWindowOnRequest()
{
    QFETCH(bool, logOn);
    TinyHttpServer::Route guarded{200, "PROGRAM"};
    guarded.user = "shop";
    guarded.password = "secret";
    m_server->setRoute(u"/dl/lwjxc"_s, guarded);
    SIGN(0, "PROGRAM");
    serveInfo(dateText(UpgradeSettings::releaseDate().addDays(1)),
              {m_server->url(u"/dl/lwjxc"_s).toString()});
    Prompter::queueAnswer(Prompter::Answer::Yes);
    QString prompt;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *window = visibleWindow<TLogonWindow>();
        if (!window)
            return;
        poll.stop();
        prompt = window->findChild<QLabel *>(u"promptLabel"_s)->text();
        if (!logOn) {
            window->findChild<QPushButton *>(u"cancelButton"_s)->click();
            return;
        }
        QTest::keyClicks(window->findChild<QLineEdit *>(u"userNameEdit"_s), u"shop"_s);
        QTest::keyClick(window->findChild<QLineEdit *>(u"userNameEdit"_s), Qt::Key_Return);
        QTest::keyClicks(window->findChild<QLineEdit *>(u"passwordEdit"_s), u"secret"_s);
        QTest::keyClick(window->findChild<QLineEdit *>(u"passwordEdit"_s), Qt::Key_Return);
    });
    poll.start(20);
    start();
    if (logOn) {
        QTRY_VERIFY_WITH_TIMEOUT(m_upgrade->state() == OnlineUpgrade::State::Finished, 15000);
        QFile downloaded(m_programFolder->filePath(u"lwjxc.uTMP"_s));
        QVERIFY(downloaded.open(QIODevice::ReadOnly));
        QCOMPARE(downloaded.readAll(), QByteArray("PROGRAM"));
    } else {
        QVERIFY(waitIdle());
        QCOMPARE(Prompter::shown().size(), 1); // only the question: cancelling says nothing
    }
    QCOMPARE(prompt, u"服务器 127.0.0.1 需要用户名和密码："_s);
}

void TestOnlineUpgrade::badSignatureInstallsNothing()
{
    m_signatures = u"#sig=%1\r\n"_s.arg(UpgradeTestKey::sign("the file as the maker built it"));
    serveInfo(dateText(UpgradeSettings::releaseDate().addDays(1)),
              {fileAddress(u"lwjxc"_s, "a changed file")});
    Prompter::queueAnswer(Prompter::Answer::Yes);
    start();
    QVERIFY(waitIdle());
    QCOMPARE(Prompter::shown().size(), 2);
    QCOMPARE(Prompter::shown().at(1).kind, Prompter::Kind::Error);
    QVERIFY(Prompter::lastText().contains(u"lwjxc 与它的签名不符"_s));
    QCOMPARE(QDir(m_programFolder->path()).entryList({u"lwjxc*"_s}, QDir::Files), QStringList());
}

void TestOnlineUpgrade::restartAfterUpgrade_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<bool>("reported");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("left");
    const QStringList all{u"data.mdb"_s, u"libx.so.old"_s, u"lwjxc"_s, u"lwjxc.old"_s};
    QTest::newRow("after an upgrade")
        << u"/afterupgrade"_s << true << kTitle + u" 已经升级完成，现在运行的是新版本。"_s
        << QStringList{u"data.mdb"_s, u"lwjxc"_s};
    QTest::newRow("after a failed upgrade")
        << u"/upgradefailed"_s << true << u"升级没有完成，"_s + kTitle + u" 已经恢复为原来的版本。"_s << all;
    QTest::newRow("an ordinary start") << QString() << false << QString() << all;
    QTest::newRow("another option") << u"--database"_s << false << QString() << all;
}

void TestOnlineUpgrade::restartAfterUpgrade()
{
    QFETCH(QString, argument);
    QFETCH(bool, reported);
    QFETCH(QString, text);
    QFETCH(QStringList, left);
    for (const QString &name : {u"data.mdb"_s, u"libx.so.old"_s, u"lwjxc"_s, u"lwjxc.old"_s}) {
        QFile file(m_programFolder->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QStringList arguments{m_programFolder->filePath(u"lwjxc"_s)};
    if (!argument.isEmpty())
        arguments << argument;
    QCOMPARE(OnlineUpgrade::reportRestart(arguments, m_programFolder->path(), kTitle), reported);
    QCOMPARE(Prompter::lastText(), text);
    QCOMPARE(QDir(m_programFolder->path()).entryList(QDir::Files, QDir::Name), left);
}

void TestOnlineUpgrade::programCarriesTheUpgrader()
{
    QFile carried(UpgradeHandOver::upgraderResource());
    QVERIFY(carried.open(QIODevice::ReadOnly));
    QFile built(QStringLiteral(LWJXC_BUILT_UPGRADER));
    QVERIFY(built.open(QIODevice::ReadOnly));
    const QByteArray bytes = carried.readAll();
    QVERIFY(bytes.startsWith("\x7f"
                             "ELF"));
    QVERIFY(bytes == built.readAll());
}

void TestOnlineUpgrade::menuItemRunsTheCheck()
{
    serveInfo(dateText(UpgradeSettings::releaseDate()), {fileAddress(u"a"_s, "A")});
    qputenv("LWJXC_UPGRADE_URL", m_server->url(u"/lwjxc.inf"_s).toEncoded());
    SignedInMainForm main;
    QVERIFY(main.open());
    Prompter::clearShown();
    QAction *upgrade = main.action("upgradeAction");
    QVERIFY(upgrade->isEnabled());
    upgrade->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(Prompter::lastText(), u"没有发现新的版本，您目前已经是最新版本。"_s, 10000);
    qunsetenv("LWJXC_UPGRADE_URL");
    QCOMPARE(m_server->requests(), QStringList{u"/lwjxc.inf"_s});
}

QTEST_MAIN(TestOnlineUpgrade)
#include "tst_onlineupgrade.moc"

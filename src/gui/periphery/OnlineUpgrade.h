#pragma once

#include "TDownloadWindow.h"
#include "periphery/UpgradeDownloader.h"
#include "periphery/UpgradeInfo.h"

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>

class QWidget;

// "软件升级": asks the maker's web site for a newer release, asks the
// operator, downloads the signed files into the program folder and hands
// over to the upgrader. Idle until check() is called; abandoning at any
// point returns to idle.
class OnlineUpgrade : public QObject
{
    Q_OBJECT
public:
    struct Setup
    {
        QUrl infoUrl;
        QDate releaseDate;
        // The running program; its folder receives the downloads.
        QString programPath;
        QString programTitle;
        QByteArray publicKey;
        // Where the upgrader is copied from (the program's own resource).
        QString upgraderSource;
        // The program's command line, whose options (its database) the
        // upgraded program is started with again.
        QStringList programArguments;
    };
    enum class State { Idle, Checking, Downloading, Finished, HandedOver };

    OnlineUpgrade(const Setup &setup, QWidget *window);

    static QString caption() { return QStringLiteral("软件升级精灵"); }

    // Start-up after an upgrade: with "/afterupgrade" first the old files
    // go and the operator hears that the upgrade is complete; with
    // "/upgradefailed" that the old version was put back. False for any other
    // start.
    static bool reportRestart(const QStringList &arguments, const QString &programFolder,
                              const QString &programTitle);

    void check();
    State state() const { return m_state; }
    TDownloadWindow *downloadWindow() const { return m_downloadWindow; }

    // Opens an address in the web browser; tests put in their own.
    std::function<bool(const QUrl &)> openInBrowser;
    // Asks for a user name and password; by default the log-on window.
    std::function<bool(const QUrl &, QString *, QString *)> logOn;

signals:
    // The upgrader runs; the program must end now.
    void handedOver();
    void idle();

private:
    void infoArrived(const QByteArray &bytes);
    void infoUnavailable(bool certificateError);
    void downloadFinished(UpgradeDownloader::Outcome outcome);
    void handOver();
    void openFirstAddress();
    void backToIdle();
    void error(const QString &text);

    Setup m_setup;
    QWidget *m_window;
    UpgradeDownloader *m_downloader;
    QPointer<TDownloadWindow> m_downloadWindow;
    UpgradeInfo m_info;
    State m_state = State::Idle;
};

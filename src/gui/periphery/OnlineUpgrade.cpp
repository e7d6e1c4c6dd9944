#include "OnlineUpgrade.h"

#include "TDownloadWindow.h"
#include "TLogonWindow.h"

#include "common/Prompter.h"
#include "periphery/UpgradeHandOver.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

OnlineUpgrade::OnlineUpgrade(const Setup &setup, QWidget *window)
    : QObject(window), m_setup(setup), m_window(window),
      m_downloader(new UpgradeDownloader(setup.publicKey, this))
{
    openInBrowser = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    logOn = [this](const QUrl &url, QString *user, QString *password) {
        TLogonWindow logOnWindow(url.host(),
                                 m_downloadWindow ? static_cast<QWidget *>(m_downloadWindow) : m_window);
        if (logOnWindow.exec() != QDialog::Accepted)
            return false;
        *user = logOnWindow.userName();
        *password = logOnWindow.password();
        return true;
    };
    m_downloader->logOn = [this](const QUrl &url, QString *user, QString *password) {
        return logOn(url, user, password);
    };
    m_downloader->skipMissingFile = [this](const QUrl &url, int status) {
        return Prompter::choose(
            m_downloadWindow, Prompter::Kind::Warning,
            QStringLiteral("文档%1找不到或者发生错误，\n\n您要忽略这个文档并且继续升级操作吗？")
                .arg(url.toDisplayString()),
            QStringLiteral("错误 #%1").arg(status), QStringLiteral("[&Y]是"), QStringLiteral("[&N]否"));
    };
    connect(m_downloader, &UpgradeDownloader::infoFetched, this, &OnlineUpgrade::infoArrived);
    connect(m_downloader, &UpgradeDownloader::infoUnavailable, this, &OnlineUpgrade::infoUnavailable);
    connect(m_downloader, &UpgradeDownloader::finished, this, &OnlineUpgrade::downloadFinished);
}

void OnlineUpgrade::check()
{
    if (m_state != State::Idle) {
        if (m_downloadWindow) {
            m_downloadWindow->raise();
            m_downloadWindow->activateWindow();
        }
        return;
    }
    m_state = State::Checking;
    m_downloader->fetchInfo(m_setup.infoUrl);
}

void OnlineUpgrade::infoUnavailable(bool certificateError)
{
    // An unreachable site or a missing information file ends the check
    // silently; a certificate that does not fit might be someone else's site.
    if (certificateError)
        error(QStringLiteral("无法确认升级服务器 %1 的身份（证书错误），升级检查已取消。")
                  .arg(m_setup.infoUrl.host()));
    backToIdle();
}

void OnlineUpgrade::infoArrived(const QByteArray &bytes)
{
    m_info = UpgradeInfo::parse(bytes);
    if (!m_info.isNewerThan(m_setup.releaseDate) || m_info.files.isEmpty()) {
        Prompter::information(m_window, QStringLiteral("没有发现新的版本，您目前已经是最新版本。"),
                              caption());
        return backToIdle();
    }
    const QString question = QStringLiteral("%1已经有新版本推出，\n%2\n您要升级到新版本吗？")
                                 .arg(m_setup.programTitle, m_info.message);
    if (!Prompter::choose(m_window, Prompter::Kind::Question, question, caption(), QStringLiteral("[&Y]是"),
                          QStringLiteral("[&L]稍等一下")))
        return backToIdle();
    if (m_info.method == UpgradeInfo::Method::Browser) {
        openFirstAddress();
        return backToIdle();
    }
    const QString folder = QFileInfo(m_setup.programPath).absolutePath();
    if (!UpgradeHandOver::folderWritable(folder)) {
        const QString text = QStringLiteral("程序所在的文件夹 %1 不能写入，无法在这里下载新版本。\n\n"
                                            "要在浏览器中打开新版本的下载地址吗？")
                                 .arg(QDir::toNativeSeparators(folder));
        if (Prompter::choose(m_window, Prompter::Kind::Warning, text, caption(), QStringLiteral("[&Y]是"),
                             QStringLiteral("[&N]否")))
            openFirstAddress();
        return backToIdle();
    }

    m_state = State::Downloading;
    delete m_downloadWindow;
    m_downloadWindow = new TDownloadWindow(m_window);
    connect(m_downloader, &UpgradeDownloader::fileStarted, m_downloadWindow, &TDownloadWindow::startFile);
    connect(m_downloader, &UpgradeDownloader::progressed, m_downloadWindow, &TDownloadWindow::showProgress);
    connect(m_downloadWindow, &TDownloadWindow::cancelRequested, m_downloader, &UpgradeDownloader::cancel);
    connect(m_downloadWindow, &QDialog::accepted, this, &OnlineUpgrade::handOver);
    m_downloadWindow->show();
    m_downloader->download(m_info.files, folder);
}

void OnlineUpgrade::downloadFinished(UpgradeDownloader::Outcome outcome)
{
    using Outcome = UpgradeDownloader::Outcome;
    const QString problem = m_downloader->problem();
    switch (outcome) {
    case Outcome::Finished:
        if (m_downloader->downloadedFiles().isEmpty()) {
            error(QStringLiteral("没有下载到任何文档，升级已取消。"));
            break;
        }
        m_state = State::Finished;
        if (m_downloadWindow)
            m_downloadWindow->showFinished(m_setup.programTitle);
        return;
    case Outcome::Cancelled:
    case Outcome::Declined:
    case Outcome::LogOnCancelled:
        break;
    case Outcome::ConnectionLost:
        error(QStringLiteral("与远端服务器的连接中断，\n\n请重新连接后再进行升级操作。"));
        break;
    case Outcome::CertificateError:
        error(QStringLiteral("无法确认下载服务器的身份（证书错误），升级已取消。\n\n%1").arg(problem));
        break;
    case Outcome::MissingSignature:
        error(
            QStringLiteral("升级信息没有为文档 %1 提供有效的签名，无法确认它来自本软件的开发者，升级已取消。")
                .arg(problem));
        break;
    case Outcome::BadSignature:
        error(QStringLiteral("下载的文档 %1 与它的签名不符，可能已被篡改。\n\n该文档已经删除，升级已取消。")
                  .arg(problem));
        break;
    case Outcome::InvalidAddress:
        error(QStringLiteral("升级信息中的下载地址 %1 无效，升级已取消。").arg(problem));
        break;
    case Outcome::WriteFailed:
        error(QStringLiteral("无法写入文档 %1，升级已取消。").arg(QDir::toNativeSeparators(problem)));
        break;
    }
    backToIdle();
}

void OnlineUpgrade::handOver()
{
    QString reason;
    if (!UpgradeHandOver::start(m_setup.upgraderSource, m_setup.programPath, m_info.methodDigit(), &reason,
                                m_setup.programArguments)) {
        error(reason + QStringLiteral("，升级已取消。"));
        return backToIdle();
    }
    m_state = State::HandedOver;
    emit handedOver();
}

void OnlineUpgrade::openFirstAddress()
{
    const QUrl url = m_info.files.constFirst().url();
    if (!openInBrowser(url))
        Prompter::warning(
            m_window, QStringLiteral("无法打开浏览器，请手动访问 %1").arg(url.toDisplayString()), caption());
}

void OnlineUpgrade::backToIdle()
{
    if (m_downloadWindow) {
        m_downloadWindow->hide();
        m_downloadWindow->deleteLater();
    }
    m_state = State::Idle;
    emit idle();
}

void OnlineUpgrade::error(const QString &text)
{
    Prompter::error(m_downloadWindow ? static_cast<QWidget *>(m_downloadWindow) : m_window, text, caption());
}

bool OnlineUpgrade::reportRestart(const QStringList &arguments, const QString &programFolder,
                                  const QString &programTitle)
{
    const QString first = arguments.value(1);
    if (first == UpgradeHandOver::restartArgument()) {
        UpgradeHandOver::removeOldFiles(programFolder);
        Prompter::information(
            nullptr, QStringLiteral("%1 已经升级完成，现在运行的是新版本。").arg(programTitle), caption());
        return true;
    }
    if (first == UpgradeHandOver::failedArgument()) {
        Prompter::warning(
            nullptr, QStringLiteral("升级没有完成，%1 已经恢复为原来的版本。").arg(programTitle), caption());
        return true;
    }
    return false;
}

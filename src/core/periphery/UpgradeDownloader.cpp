#include "UpgradeDownloader.h"

#include "UpgradeSignature.h"

#include <QAuthenticator>
#include <QCoreApplication>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>

#include <cmath>

namespace {
// A transfer that stalls this long counts as a lost connection.
constexpr int kTransferTimeoutMilliseconds = 30000;
} // namespace

UpgradeDownloader::UpgradeDownloader(const QByteArray &publicKey, QObject *parent)
    : QObject(parent), m_publicKey(publicKey), m_network(new QNetworkAccessManager(this))
{
    connect(m_network, &QNetworkAccessManager::authenticationRequired, this, &UpgradeDownloader::askLogOn);
}

UpgradeDownloader::~UpgradeDownloader()
{
    if (m_reply) {
        m_cancelled = true;
        m_reply->disconnect(this);
        m_reply->abort();
    }
    discardPartial();
}

QNetworkReply *UpgradeDownloader::get(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setTransferTimeout(kTransferTimeoutMilliseconds);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("lwjxc/%1 (upgrade)").arg(QCoreApplication::applicationVersion()));
    if (!m_authorities.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(m_authorities);
        request.setSslConfiguration(tls);
    }
    m_cancelled = false;
    m_logOnCancelled = false;
    m_writeFailed = false;
    m_reply = m_network->get(request);
    return m_reply;
}

void UpgradeDownloader::askLogOn(QNetworkReply *reply, QAuthenticator *authenticator)
{
    QString user;
    QString password;
    if (logOn && logOn(reply->url(), &user, &password)) {
        authenticator->setUser(user);
        authenticator->setPassword(password);
        return;
    }
    // Leaving the authenticator unchanged ends the reply with an
    // authentication error.
    m_logOnCancelled = true;
}

void UpgradeDownloader::fetchInfo(const QUrl &url)
{
    if (isBusy())
        return;
    QNetworkReply *reply = get(url);
    connect(reply, &QNetworkReply::downloadProgress, this, [reply](qint64 received, qint64) {
        if (received > UpgradeInfo::MaxFileSize)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        m_reply = nullptr;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() == QNetworkReply::NoError && status == 200) {
            const QByteArray bytes = reply->read(UpgradeInfo::MaxFileSize + 1);
            if (bytes.size() <= UpgradeInfo::MaxFileSize) {
                emit infoFetched(bytes);
                return;
            }
        }
        emit infoUnavailable(reply->error() == QNetworkReply::SslHandshakeFailedError);
    });
}

void UpgradeDownloader::download(const QList<UpgradeInfo::File> &files, const QString &folder)
{
    if (isBusy())
        return;
    m_files = files;
    m_folder = folder;
    m_index = 0;
    m_downloaded.clear();
    m_problem.clear();
    for (const UpgradeInfo::File &file : files) {
        if (file.fileName().isEmpty())
            return end(Outcome::InvalidAddress, file.address);
        if (UpgradeSignature::decode(file.signature, UpgradeSignature::SignatureBytes).isEmpty())
            return end(Outcome::MissingSignature, file.address);
    }
    const QDir dir(folder);
    const QStringList stale =
        dir.entryList({QStringLiteral("*.uTMP"), QStringLiteral("*.uTMP.sig")}, QDir::Files | QDir::Hidden);
    for (const QString &name : stale)
        QFile::remove(dir.filePath(name));
    startNext();
}

void UpgradeDownloader::startNext()
{
    if (m_index >= m_files.size())
        return end(Outcome::Finished);
    const UpgradeInfo::File &file = m_files.at(m_index);
    const QString name = file.fileName();
    m_out = std::make_unique<QFile>(QDir(m_folder).filePath(downloadedName(name)));
    if (!m_out->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_out.reset();
        return end(Outcome::WriteFailed, QDir(m_folder).filePath(downloadedName(name)));
    }
    emit fileStarted(m_index, int(m_files.size()), file.url(), name);
    m_fileTimer.start();
    QNetworkReply *reply = get(file.url());
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        // Only a successful answer is the file; an error page is not.
        if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200)
            return;
        if (m_out && m_out->write(reply->readAll()) < 0) {
            m_writeFailed = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        const double seconds = std::max<qint64>(m_fileTimer.elapsed(), 1) / 1000.0;
        const double rate = received / seconds;
        const int left = (total > 0 && rate > 0) ? int(std::ceil((total - received) / rate)) : -1;
        emit progressed(received, total, rate, left);
    });
    connect(reply, &QNetworkReply::finished, this, &UpgradeDownloader::fileFinished);
}

void UpgradeDownloader::fileFinished()
{
    QNetworkReply *reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();
    const UpgradeInfo::File file = m_files.at(m_index);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();

    if (m_cancelled)
        return end(Outcome::Cancelled);
    if (m_writeFailed)
        return end(Outcome::WriteFailed, m_out->fileName());
    if (reply->error() == QNetworkReply::NoError && status == 200) {
        bool written = m_out->write(reply->readAll()) >= 0 && m_out->flush();
        const QString path = m_out->fileName();
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        // A body cut short is a broken connection, whatever the socket said.
        if (written && length.isValid() && m_out->size() != length.toLongLong())
            return end(Outcome::ConnectionLost, file.address);
        m_out->close();
        m_out.reset();
        if (!written) {
            QFile::remove(path);
            return end(Outcome::WriteFailed, path);
        }
        if (!UpgradeSignature::verifyFile(path, file.signature, m_publicKey)) {
            QFile::remove(path);
            return end(Outcome::BadSignature, file.fileName());
        }
        QFile signature(signatureName(path));
        if (!signature.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            signature.write(file.signature.trimmed().toLatin1()) < 0 || !signature.flush()) {
            QFile::remove(path);
            return end(Outcome::WriteFailed, signature.fileName());
        }
        m_downloaded.append(path);
        ++m_index;
        return startNext();
    }
    if (m_logOnCancelled)
        return end(Outcome::LogOnCancelled, file.address);
    if (reply->error() == QNetworkReply::SslHandshakeFailedError)
        return end(Outcome::CertificateError, file.address);
    if (status >= 400) {
        discardPartial();
        if (skipMissingFile && skipMissingFile(file.url(), status)) {
            ++m_index;
            return startNext();
        }
        return end(Outcome::Declined, file.address);
    }
    end(Outcome::ConnectionLost, file.address);
}

void UpgradeDownloader::discardPartial()
{
    if (!m_out)
        return;
    m_out->close();
    m_out->remove();
    m_out.reset();
}

void UpgradeDownloader::end(Outcome outcome, const QString &problem)
{
    discardPartial();
    m_problem = problem;
    emit finished(outcome);
}

void UpgradeDownloader::cancel()
{
    m_cancelled = true;
    if (m_reply)
        m_reply->abort();
}

#pragma once

#include "UpgradeInfo.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QStringList>

#include <functional>
#include <memory>

class QAuthenticator;
class QNetworkAccessManager;
class QNetworkReply;

// The network side of the online upgrade: fetches the information file and
// downloads each file of a release into the program folder as "name.uTMP",
// accepting a file only when its signature verifies against the given public
// key. One transfer at a time.
class UpgradeDownloader : public QObject
{
    Q_OBJECT
public:
    enum class Outcome {
        Finished,         // every file is downloaded and verified (or skipped)
        Cancelled,        // the operator cancelled
        Declined,         // a file is missing and the operator would not skip it
        LogOnCancelled,   // the server wanted a log-on and the operator cancelled it
        ConnectionLost,   // the connection broke during a download
        CertificateError, // the server's certificate was not accepted
        MissingSignature, // the information file has no valid signature for a file
        BadSignature,     // a downloaded file does not match its signature (deleted)
        InvalidAddress,   // an address that is not http(s) or names no file
        WriteFailed,      // the program folder cannot take the file
    };
    Q_ENUM(Outcome)

    explicit UpgradeDownloader(const QByteArray &publicKey, QObject *parent = nullptr);
    ~UpgradeDownloader() override;

    // Asked when the server answers a download with an error status: true
    // skips the file and goes on with the next. Without a hook: no.
    std::function<bool(const QUrl &url, int httpStatus)> skipMissingFile;
    // Asked when the server wants a user name and password: false gives up.
    std::function<bool(const QUrl &url, QString *user, QString *password)> logOn;

    // Certificate authorities trusted for this downloader's https
    // connections besides the system's; only tests add one, for their own
    // local server. A certificate that does not verify is never accepted.
    void addTrustedAuthorities(const QList<QSslCertificate> &authorities) { m_authorities += authorities; }

    // Ends with infoFetched or infoUnavailable.
    void fetchInfo(const QUrl &url);
    // Ends with finished. Earlier downloads left in the folder are removed
    // first, so only this release's files wait there for the upgrader.
    void download(const QList<UpgradeInfo::File> &files, const QString &folder);
    void cancel();

    bool isBusy() const { return !m_reply.isNull(); }
    // The address or file name the last outcome is about.
    QString problem() const { return m_problem; }
    // The ".uTMP" files of the last download, in order.
    const QStringList &downloadedFiles() const { return m_downloaded; }

    static QString downloadedName(const QString &fileName) { return fileName + QStringLiteral(".uTMP"); }
    static QString signatureName(const QString &downloaded) { return downloaded + QStringLiteral(".sig"); }

signals:
    void infoFetched(const QByteArray &bytes);
    // Not reachable, not there or not an information file. certificateError
    // tells the one case the operator must hear about.
    void infoUnavailable(bool certificateError);
    void fileStarted(int index, int count, const QUrl &url, const QString &fileName);
    // size and secondsLeft are -1 while unknown.
    void progressed(qint64 received, qint64 size, double bytesPerSecond, int secondsLeft);
    void finished(UpgradeDownloader::Outcome outcome);

private:
    QNetworkReply *get(const QUrl &url);
    void askLogOn(QNetworkReply *reply, QAuthenticator *authenticator);
    void startNext();
    void fileFinished();
    void end(Outcome outcome, const QString &problem = QString());
    void discardPartial();

    QByteArray m_publicKey;
    QNetworkAccessManager *m_network;
    QList<QSslCertificate> m_authorities;
    QPointer<QNetworkReply> m_reply;
    QList<UpgradeInfo::File> m_files;
    QString m_folder;
    int m_index = 0;
    std::unique_ptr<QFile> m_out;
    QElapsedTimer m_fileTimer;
    bool m_cancelled = false;
    bool m_logOnCancelled = false;
    bool m_writeFailed = false;
    QString m_problem;
    QStringList m_downloaded;
};

#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

#include <optional>

class QTcpSocket;

// A web server on 127.0.0.1 for the tests of the online upgrade: each path
// answers with a status and body, optionally behind a user name and
// password, slowly, or cut off in the middle. Unknown paths answer 404.
// With useTls() it speaks https with a certificate of the tests' own
// certificate authority (tests/data/upgrade/tls), which nothing trusts
// unless a test adds it.
class TinyHttpServer : public QObject
{
    Q_OBJECT
public:
    struct Route
    {
        Route(int status_ = 200, const QByteArray &body_ = QByteArray()) : status(status_), body(body_) {}

        int status;
        QByteArray body;
        // Basic authentication wanted when user is not empty.
        QByteArray user;
        QByteArray password;
        // Closes the connection after this many body bytes (the header
        // still announces the whole body).
        qint64 dropAfter = -1;
        // Sends the body in pieces of this size every tickMilliseconds.
        int bytesPerTick = 0;
        int tickMilliseconds = 20;
    };

    explicit TinyHttpServer(QObject *parent = nullptr);

    // Serves https from then on with the named certificate of
    // tests/data/upgrade/tls ("server.pem" for 127.0.0.1, "otherhost.pem"
    // for another host name). Call before listen().
    bool useTls(const QString &certificateName = QStringLiteral("server.pem"));
    // The certificate authority that signed the servers' certificates.
    static QList<QSslCertificate> testAuthority();

    bool listen();
    QUrl url(const QString &path) const;
    void setRoute(const QString &path, const Route &route);
    void setRoute(const QString &path, const QByteArray &body) { setRoute(path, Route{200, body}); }
    // The paths asked for, in order (a request the server refused counts).
    const QStringList &requests() const { return m_requests; }
    // A port on 127.0.0.1 where nothing listens.
    static quint16 closedPort();

private:
    void serve(QTcpSocket *socket);
    static void send(QTcpSocket *socket, const Route &route);

    // Hands out sockets that speak TLS when a configuration is set.
    class Listener : public QTcpServer
    {
    public:
        std::optional<QSslConfiguration> tls;

    protected:
        void incomingConnection(qintptr descriptor) override;
    };

    Listener m_server;
    QHash<QString, Route> m_routes;
    QStringList m_requests;
};

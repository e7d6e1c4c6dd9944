#include "TinyHttpServer.h"

#include <QFile>
#include <QPointer>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

namespace {
QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    default:
        return "Status";
    }
}
QString tlsFile(const QString &name)
{
    return qEnvironmentVariable("LWJXC_TEST_DATA") + QStringLiteral("/upgrade/tls/") + name;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

void TinyHttpServer::Listener::incomingConnection(qintptr descriptor)
{
    if (!tls)
        return QTcpServer::incomingConnection(descriptor);
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    socket->setSslConfiguration(*tls);
    socket->startServerEncryption();
    addPendingConnection(socket);
}

bool TinyHttpServer::useTls(const QString &certificateName)
{
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(tlsFile(certificateName));
    const QSslKey key(readAll(tlsFile(QStringLiteral("server.key"))), QSsl::Ec);
    if (chain.isEmpty() || key.isNull() || !QSslSocket::supportsSsl())
        return false;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificateChain(chain + testAuthority());
    configuration.setPrivateKey(key);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_server.tls = configuration;
    return true;
}

QList<QSslCertificate> TinyHttpServer::testAuthority()
{
    return QSslCertificate::fromPath(tlsFile(QStringLiteral("ca.pem")));
}

TinyHttpServer::TinyHttpServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        }
    });
}

bool TinyHttpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost);
}

QUrl TinyHttpServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("%1://127.0.0.1:%2%3")
                    .arg(m_server.tls ? QStringLiteral("https") : QStringLiteral("http"))
                    .arg(m_server.serverPort())
                    .arg(path));
}

void TinyHttpServer::setRoute(const QString &path, const Route &route)
{
    m_routes.insert(path, route);
}

quint16 TinyHttpServer::closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort(); // closed again when probe goes
}

void TinyHttpServer::serve(QTcpSocket *socket)
{
    // Wait for the whole request head; requests here have no body.
    const QByteArray head = socket->peek(64 * 1024);
    if (!head.contains("\r\n\r\n") || socket->property("served").toBool())
        return;
    socket->setProperty("served", true);
    socket->readAll();
    const QList<QByteArray> lines = head.left(head.indexOf("\r\n\r\n")).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    const QString path = QString::fromLatin1(requestLine.value(1));
    m_requests.append(path);
    QByteArray authorization;
    for (const QByteArray &line : lines) {
        if (line.toLower().startsWith("authorization:"))
            authorization = line.mid(int(qstrlen("authorization:"))).trimmed();
    }

    Route route = m_routes.value(path, Route{404, "not here"});
    if (!route.user.isEmpty() &&
        authorization != "Basic " + QByteArray(route.user + ':' + route.password).toBase64()) {
        const QByteArray body = "log on first";
        socket->write(
            "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"upgrade\"\r\nContent-Length: " +
            QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
        return;
    }
    send(socket, route);
}

void TinyHttpServer::send(QTcpSocket *socket, const Route &route)
{
    socket->write("HTTP/1.1 " + QByteArray::number(route.status) + ' ' + reason(route.status) +
                  "\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                  QByteArray::number(route.body.size()) + "\r\nConnection: close\r\n\r\n");
    const QByteArray body = route.dropAfter >= 0 ? route.body.left(route.dropAfter) : route.body;
    if (route.bytesPerTick <= 0) {
        socket->write(body);
        socket->disconnectFromHost();
        return;
    }
    auto *timer = new QTimer(socket);
    auto sent = std::make_shared<qint64>(0);
    QPointer<QTcpSocket> guard(socket);
    QObject::connect(timer, &QTimer::timeout, socket, [guard, timer, sent, body, route] {
        if (!guard)
            return;
        guard->write(body.mid(*sent, route.bytesPerTick));
        *sent += route.bytesPerTick;
        if (*sent >= body.size()) {
            timer->stop();
            guard->disconnectFromHost();
        }
    });
    timer->start(route.tickMilliseconds);
}

#include "VirtualBusServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace {

// A client that sends this much without a line break is not speaking the protocol.
constexpr qint64 maxLineLength = 64 * 1024;

constexpr quint16 pluginDefaultPort = 35468;   // the plugin's, when the URL has none

} // namespace

void VirtualBusServer::host(quint16 port)
{
    if (m_servers.contains(port))
        return;
    auto *server = new QTcpServer(this);
    if (!server->listen(QHostAddress::LocalHost, port)) {
        delete server;
        return;
    }
    connect(server, &QTcpServer::newConnection, this, [this, server] { accept(server); });
    m_servers.insert(port, server);
}

void VirtualBusServer::hostInterface(const QString &interface)
{
    // Where the plugin's client will connect: the URL's host, or this machine.
    const QUrl url(interface);
    const QString hostName = url.host();
    const QHostAddress address = hostName.isEmpty() ? QHostAddress(QHostAddress::LocalHost)
                                                    : QHostAddress(hostName);
    if (address.isLoopback())
        host(quint16(url.port(pluginDefaultPort)));
}

void VirtualBusServer::sendLinesAtOnce(QObject *owner)
{
    if (auto *socket = qobject_cast<QAbstractSocket *>(owner))
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    for (QAbstractSocket *socket : owner->findChildren<QAbstractSocket *>())
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

void VirtualBusServer::accept(QTcpServer *server)
{
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        sendLinesAtOnce(socket);
        m_joined.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readLines(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_joined.remove(socket);
            socket->deleteLater();
        });
    }
}

void VirtualBusServer::readLines(QTcpSocket *socket)
{
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine().trimmed();
        if (line.startsWith("connect:")) {
            m_joined[socket].append(line.mid(8));
        } else if (line.startsWith("disconnect:")) {
            m_joined[socket].removeAll(line.mid(11));
            socket->disconnectFromHost();
            return;
        } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
            forward(socket, line.left(colon), line.mid(colon + 1) + '\n');
        }
    }
    if (socket->bytesAvailable() > maxLineLength)
        socket->abort();
}

void VirtualBusServer::forward(QTcpSocket *from, const QByteArray &interface,
                               const QByteArray &frame)
{
    for (auto it = m_joined.cbegin(); it != m_joined.cend(); ++it) {
        if (it.key() != from && it.value().contains(interface))
            it.key()->write(frame);
    }
}

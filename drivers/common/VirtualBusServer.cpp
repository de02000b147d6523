#include "VirtualBusServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace {

constexpr quint16 pluginDefaultPort = 35468;   // the plugin's, when the URL has none

// Printable ASCII without blanks: interfaces and frames are never anything else.
bool isProtocolText(QByteArrayView text, qsizetype maxLength)
{
    if (text.isEmpty() || text.size() > maxLength)
        return false;
    for (char c : text)
        if (c <= ' ' || c > '~')
            return false;
    return true;
}

bool isDigits(QByteArrayView text, bool hex)
{
    for (char c : text)
        if (!(c >= '0' && c <= '9') && !(hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))))
            return false;
    return true;
}

// "<decimal id>#<flags>#<hex payload>": the plugin's clients split a line at '#' and take
// the three parts unchecked, so anything else must never reach them.
bool isFrame(QByteArrayView text)
{
    const qsizetype first = text.indexOf('#');
    const qsizetype second = first < 0 ? -1 : text.sliced(first + 1).indexOf('#');
    if (first < 1 || first > 10 || second < 0)
        return false;
    const QByteArrayView id = text.first(first);
    const QByteArrayView flags = text.sliced(first + 1, second);
    const QByteArrayView payload = text.sliced(first + second + 2);
    if (!isDigits(id, false) || flags.size() > 6 || payload.size() > 128 || payload.size() % 2)
        return false;
    for (char c : flags)
        if (!QByteArrayView("RXFBEL").contains(c))
            return false;
    return isDigits(payload, true);
}

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
        // Qt stops reading from the connection once this much waits; readLines then
        // finds no line in it and closes the client.
        socket->setReadBufferSize(kMaxLineLength * 4);
        addClient(socket);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
    }
}

void VirtualBusServer::addClient(QIODevice *client)
{
    m_clients.insert(client, {});
    connect(client, &QIODevice::readyRead, this, [this, client] { readLines(client); });
    readLines(client);
}

void VirtualBusServer::drop(QIODevice *client)
{
    if (m_clients.remove(client))
        client->deleteLater();
}

void VirtualBusServer::readLines(QIODevice *client)
{
    while (m_clients.contains(client) && client->canReadLine()) {
        const QByteArray line = client->readLine(kMaxLineLength + 1);
        if (!line.endsWith('\n')) {
            // Longer than any line of the protocol.
            ++m_garbage;
            if (auto *socket = qobject_cast<QAbstractSocket *>(client))
                socket->abort();
            drop(client);
            return;
        }
        handleLine(client, line.trimmed());
    }
    if (m_clients.contains(client) && client->bytesAvailable() > kMaxLineLength) {
        ++m_garbage;
        if (auto *socket = qobject_cast<QAbstractSocket *>(client))
            socket->abort();
        drop(client);
    }
}

void VirtualBusServer::handleLine(QIODevice *client, QByteArray line)
{
    if (line.startsWith("connect:")) {
        const QByteArray interface = line.mid(8);
        QByteArrayList &joined = m_clients[client];
        if (!isProtocolText(interface, kMaxInterfaceLength) || joined.size() >= kMaxInterfaces)
            ++m_garbage;
        else if (!joined.contains(interface))
            joined.append(interface);
        return;
    }
    if (line.startsWith("disconnect:")) {
        m_clients[client].removeAll(line.mid(11));
        if (auto *socket = qobject_cast<QAbstractSocket *>(client))
            socket->disconnectFromHost();
        else
            drop(client);
        return;
    }
    const qsizetype colon = line.indexOf(':');
    const QByteArrayView interface = QByteArrayView(line).first(std::max<qsizetype>(colon, 0));
    const QByteArrayView frame = QByteArrayView(line).sliced(colon + 1);
    if (colon <= 0 || !isProtocolText(interface, kMaxInterfaceLength)
        || !isFrame(frame)) {
        ++m_garbage;
        return;
    }
    forward(client, interface.toByteArray(), frame.toByteArray() + '\n');
}

void VirtualBusServer::forward(QIODevice *from, const QByteArray &interface,
                               const QByteArray &frame)
{
    for (auto it = m_clients.cbegin(); it != m_clients.cend(); ++it) {
        if (it.key() == from || !it.value().contains(interface))
            continue;
        if (it.key()->bytesToWrite() > kMaxUnsentBytes) {
            if (m_dropped++ == 0)
                qWarning("virtual bus: a client stops reading; frames for it are dropped");
            continue;
        }
        it.key()->write(frame);
    }
}

#pragma once

#include <QByteArrayList>
#include <QHash>
#include <QObject>

class QTcpServer;
class QTcpSocket;

// Hosts virtual buses for this process, speaking the wire protocol of Qt's virtualcan
// plugin, so that processes using the plugin (the simulator, canbusutil) and the driver
// libraries share one bus whoever hosts it. The plugin's own server allows one port per
// process and lives on the thread of the first device that opened it; this one serves any
// number of ports from the long-lived host thread.
//
// Wire protocol, ASCII lines ending in '\n':
//   client -> server  "connect:can0"            join interface can0
//                     "disconnect:can0"         leave it; the server closes the socket
//                     "can0:<id>#<flags>#<hex>" a frame on can0
//   server -> client  "<id>#<flags>#<hex>"      a frame on an interface the client joined,
//                                               never echoed to its sender
class VirtualBusServer final : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts serving the port unless it is served already, here or by another process.
    void host(quint16 port);
    // Hosts the bus a virtualcan interface names ("can0" or "tcp://host:port/can0") when
    // it lies on this machine; a bus on another host is that host's business.
    void hostInterface(const QString &interface);

    // Every frame is one short line: a socket under `owner` (or `owner` itself) then sends
    // each at once. With Nagle's algorithm on, a line written while the previous one waits
    // for its acknowledgement is held back, up to the peer's delayed-ACK time (40 ms on
    // Linux): far too late for a frame with a schedule.
    static void sendLinesAtOnce(QObject *owner);
    bool hosts(quint16 port) const { return m_servers.contains(port); }

private:
    void accept(QTcpServer *server);
    void readLines(QTcpSocket *socket);
    void forward(QTcpSocket *from, const QByteArray &interface, const QByteArray &frame);

    QHash<quint16, QTcpServer *> m_servers;
    QHash<QTcpSocket *, QByteArrayList> m_joined; // socket -> interfaces it joined
};

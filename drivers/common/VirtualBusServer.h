#pragma once

#include <QByteArrayList>
#include <QHash>
#include <QObject>

class QIODevice;
class QTcpServer;

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
//
// Any process on the machine may connect, so nothing a client sends or fails to read
// makes the host's memory grow without bound: a line longer than any frame closes the
// client, joins beyond kMaxInterfaces are ignored, lines that are not the protocol are
// dropped, and a client that stops reading loses the frames meant for it (counted) while
// more than kMaxUnsentBytes wait for it. The other clients keep every frame.
class VirtualBusServer final : public QObject
{
    Q_OBJECT

public:
    // A frame line of CAN FD with 64 bytes is about 150 characters.
    static constexpr qsizetype kMaxLineLength = 512;
    static constexpr qsizetype kMaxInterfaceLength = 64;
    static constexpr int kMaxInterfaces = 16;
    static constexpr qint64 kMaxUnsentBytes = 1024 * 1024;

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

    // Serves an open connection as a client; the server owns it from then on. Accepted
    // sockets come here; any other device works as well.
    void addClient(QIODevice *client);
    int clientCount() const { return int(m_clients.size()); }
    // Frames not delivered because their client had stopped reading.
    quint64 droppedFrames() const { return m_dropped; }
    // Lines dropped because they were not the protocol.
    quint64 droppedLines() const { return m_garbage; }

private:
    void accept(QTcpServer *server);
    void readLines(QIODevice *client);
    void handleLine(QIODevice *client, QByteArray line);
    void forward(QIODevice *from, const QByteArray &interface, const QByteArray &frame);
    void drop(QIODevice *client);

    QHash<quint16, QTcpServer *> m_servers;
    QHash<QIODevice *, QByteArrayList> m_clients; // client -> interfaces it joined
    quint64 m_dropped = 0;
    quint64 m_garbage = 0;
};

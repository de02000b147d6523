#include "VirtualBusServer.h"

#include "TestHelpers.h"
#include "free_port.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <memory>

namespace {

std::unique_ptr<QTcpSocket> joinAs(quint16 port, const QByteArray &interface)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress::LocalHost, port);
    if (!socket->waitForConnected(3000))
        return nullptr;
    socket->write("connect:" + interface + '\n');
    socket->flush();
    return socket;
}

} // namespace

// Frames go to the other clients of the same interface, never back to their sender, and every
// accepted connection sends without Nagle's delay (a frame line must not wait for an ACK).
TEST(VirtualBusServer, ForwardsToTheInterfacesClientsWithoutDelay)
{
    const quint16 port = quint16(freeTestPort());
    ASSERT_NE(port, 0);
    VirtualBusServer server;
    server.host(port);
    ASSERT_TRUE(server.hosts(port));

    auto sender = joinAs(port, "can0");
    auto peer = joinAs(port, "can0");
    auto other = joinAs(port, "can1");
    ASSERT_TRUE(sender && peer && other);
    ASSERT_TRUE(waitUntil([&] { return server.findChildren<QTcpSocket *>().size() == 3; }));
    for (QTcpSocket *accepted : server.findChildren<QTcpSocket *>())
        EXPECT_EQ(accepted->socketOption(QAbstractSocket::LowDelayOption).toInt(), 1);

    waitUntil([] { return false; }, 50);   // the joins arrive before the frame
    sender->write("can0:291#X#0102\n");
    sender->flush();
    ASSERT_TRUE(waitUntil([&] {
        QCoreApplication::processEvents();
        return peer->canReadLine();
    }));
    EXPECT_EQ(peer->readLine(), QByteArray("291#X#0102\n"));
    waitUntil([] { return false; }, 50);
    EXPECT_EQ(sender->bytesAvailable(), 0);
    EXPECT_EQ(other->bytesAvailable(), 0);
}

// ---- Hostile and broken clients

namespace {

struct HostileRow
{
    const char *name;
    QByteArray bytes;
    bool closed;   // the server ends the connection
};

QByteArray manyJoins()
{
    QByteArray out;
    for (int i = 0; i < 50000; ++i)
        out += "connect:can" + QByteArray::number(i) + '\n';
    return out;
}

QByteArray garbage()
{
    QByteArray out;
    for (int i = 0; i < 20000; ++i)
        out += char((i * 7919) % 256);
    return out + "\n:\n:x\ncan0:\ncan0:a b\ncan0:1#X\ncan0:1##0\ncan0:x#X#00\ncan0:1#Q#00\n"
           + QByteArray(300, '0').prepend("can0:1##") + "\n";
}

// The sender's frames still reach the reading peer, and nothing else does.
void expectFrameGetsThrough(VirtualBusServer &server, QTcpSocket &sender, QTcpSocket &peer)
{
    sender.write("can0:2015##0102030405060708\n");
    sender.flush();
    ASSERT_TRUE(waitUntil([&] {
        QCoreApplication::processEvents();
        return peer.canReadLine();
    }));
    EXPECT_EQ(peer.readLine(), QByteArray("2015##0102030405060708\n"));
    EXPECT_EQ(peer.bytesAvailable(), 0);
}

} // namespace

TEST(VirtualBusServer, HostileClientsCannotStopTheBus)
{
    const HostileRow rows[] = {
        {"LineWithoutEnd", QByteArray(200000, 'A'), true},
        {"EndlessJoins", manyJoins(), false},
        {"Garbage", garbage(), false},
    };
    for (const HostileRow &row : rows) {
        SCOPED_TRACE(row.name);
        const quint16 port = quint16(freeTestPort());
        VirtualBusServer server;
        server.host(port);
        auto sender = joinAs(port, "can0");
        auto peer = joinAs(port, "can0");
        auto hostile = joinAs(port, "can0");
        ASSERT_TRUE(sender && peer && hostile);
        ASSERT_TRUE(waitUntil([&] { return server.clientCount() == 3; }));
        hostile->write(row.bytes);
        hostile->flush();
        waitUntil([&] { return hostile->state() != QAbstractSocket::ConnectedState; }, 500);
        EXPECT_EQ(hostile->state() != QAbstractSocket::ConnectedState, row.closed);
        if (!row.closed) {
            EXPECT_GT(server.droppedLines(), 0u);
        }
        expectFrameGetsThrough(server, *sender, *peer);
    }
}

TEST(VirtualBusServer, AClientThatNeverReadsLosesItsFramesAndNoOneElseDoes)
{
    const quint16 port = quint16(freeTestPort());
    VirtualBusServer server;
    server.host(port);
    auto sender = joinAs(port, "can0");
    auto peer = joinAs(port, "can0");
    QTcpSocket lazy;
    lazy.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    lazy.setReadBufferSize(4096);   // Qt reads no more than this from the connection
    lazy.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(sender && peer && lazy.waitForConnected(3000));
    lazy.write("connect:can0\n");
    lazy.flush();
    ASSERT_TRUE(waitUntil([&] { return server.clientCount() == 3; }));
    waitUntil([] { return false; }, 50);

    const QByteArray line = "can0:291#XF#" + QByteArray(128, 'F') + '\n';
    constexpr int kFrames = 120000;   // about 17 MB for each reader
    int received = 0;
    qint64 mostUnsent = 0;
    for (int i = 0; i < kFrames; ++i) {
        sender->write(line);
        if (i % 500 == 0) {
            QCoreApplication::processEvents();
            while (peer->canReadLine() && peer->readLine().size() > 0)
                ++received;
            for (QTcpSocket *s : server.findChildren<QTcpSocket *>())
                mostUnsent = std::max(mostUnsent, s->bytesToWrite());
        }
    }
    sender->flush();
    ASSERT_TRUE(waitUntil([&] {
        QCoreApplication::processEvents();
        while (peer->canReadLine() && peer->readLine().size() > 0)
            ++received;
        return received == kFrames;
    }, 30000)) << received;
    EXPECT_GT(server.droppedFrames(), 0u);
    EXPECT_LE(mostUnsent, VirtualBusServer::kMaxUnsentBytes + line.size());
    EXPECT_EQ(lazy.state(), QAbstractSocket::ConnectedState);
}

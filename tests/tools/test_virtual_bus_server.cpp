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

// The virtual bus host's line handling: three clients send what the input says, one of
// them never reads. The host forwards, drops and counts, and never lets what waits for the
// idle client grow past its limit.
#include "VirtualBusServer.h"

#include <QCoreApplication>
#include <QIODevice>
#include <QPointer>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

class FakeClient final : public QIODevice
{
public:
    explicit FakeClient(bool reads) : m_reads(reads)
    {
        open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    }
    void feed(QByteArrayView bytes)
    {
        m_in.append(bytes);
        emit readyRead();
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_in.size(); }
    qint64 bytesToWrite() const override { return m_out.size(); }
    bool canReadLine() const override { return m_in.contains('\n'); }
    QByteArray m_out;

protected:
    qint64 readData(char *data, qint64 max) override
    {
        const qint64 n = std::min<qint64>(max, m_in.size());
        std::memcpy(data, m_in.constData(), size_t(n));
        m_in.remove(0, n);
        return n;
    }
    qint64 writeData(const char *data, qint64 size) override
    {
        if (!m_reads)
            m_out.append(data, size);
        return size;
    }

private:
    bool m_reads;
    QByteArray m_in;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        VirtualBusServer server;
        QPointer<FakeClient> clients[3] = {new FakeClient(true), new FakeClient(true),
                                           new FakeClient(false)};
        // The idle client is close to its limit already.
        clients[2]->m_out.fill('x', VirtualBusServer::kMaxUnsentBytes - 40);
        for (FakeClient *c : clients) {
            c->setParent(&server);
            server.addClient(c);
            c->feed("connect:can0\n");
        }
        // Chunks: a byte picking the client, a byte of length, then that many bytes.
        size_t pos = 0;
        while (pos + 2 <= size) {
            FakeClient *c = clients[data[pos] % 3];
            const size_t n = std::min<size_t>(data[pos + 1], size - pos - 2);
            if (c)
                c->feed(QByteArrayView(data + pos + 2, qsizetype(n)));
            pos += 2 + n;
        }
        if (clients[2]
            && clients[2]->bytesToWrite()
                   > VirtualBusServer::kMaxUnsentBytes + VirtualBusServer::kMaxLineLength)
            std::abort();
        if (server.clientCount() > 3)
            std::abort();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}

#include "SignalBridge.h"

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

int SignalBridge::s_fds[2] = {-1, -1};

SignalBridge::SignalBridge(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, s_fds) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(s_fds[1], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char c;
        if (::read(s_fds[1], &c, 1) > 0)
            emit terminationRequested();
    });
    struct sigaction sa = {};
    sa.sa_handler = &SignalBridge::handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

SignalBridge::~SignalBridge()
{
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    m_notifier.reset();
    for (int &fd : s_fds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void SignalBridge::handler(int)
{
    const char c = 1;
    // Only async-signal-safe calls here.
    [[maybe_unused]] const ssize_t n = ::write(s_fds[0], &c, 1);
}

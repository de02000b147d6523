#include "StopSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};
volatile std::sig_atomic_t g_signal = 0;
std::function<void()> g_onStop;

void handle(int signal)
{
    if (g_signal != 0)
        _exit(128 + signal);
    g_signal = signal;
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(g_pipe[1], &byte, 1);
}

} // namespace

namespace stopsignals {

void install(std::function<void()> onStop)
{
    g_onStop = std::move(onStop);
    if (g_pipe[0] < 0) {
        if (pipe(g_pipe) != 0)
            return;
        fcntl(g_pipe[0], F_SETFL, O_NONBLOCK);
        fcntl(g_pipe[1], F_SETFL, O_NONBLOCK);
        // Owned by the application object, so it goes when the command ends.
        auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read,
                                             QCoreApplication::instance());
        QObject::connect(notifier, &QSocketNotifier::activated, [] {
            char buffer[16];
            while (read(g_pipe[0], buffer, sizeof buffer) > 0) {
            }
            if (g_onStop)
                g_onStop();
        });
    }
    struct sigaction action = {};
    action.sa_handler = handle;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int received()
{
    return g_signal;
}

} // namespace stopsignals

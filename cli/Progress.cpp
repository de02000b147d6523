#include "Progress.h"

#include <cstdio>
#include <unistd.h>

namespace {
constexpr qint64 kQuietMs = 1000;
constexpr qint64 kTerminalEveryMs = 100;
constexpr qint64 kPlainEveryMs = 5000;
constexpr int kBarWidth = 30;

QString duration(double seconds)
{
    const qint64 s = qint64(seconds + 0.5);
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}
} // namespace

Progress::Progress(QString label) : m_label(std::move(label)), m_terminal(isTerminal())
{
    m_clock.start();
}

bool Progress::isTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

void Progress::update(double done, double total, const QString &unit, const QString &text)
{
    const qint64 now = m_clock.elapsed();
    if (now < kQuietMs)
        return;
    const qint64 every = m_terminal ? kTerminalEveryMs : kPlainEveryMs;
    if (m_lastDrawMs >= 0 && now - m_lastDrawMs < every)
        return;
    m_lastDrawMs = now;
    const double seconds = double(now) / 1000.0;
    const double rate = seconds > 0 ? done / seconds : 0;
    QString line = m_label;
    if (total > 0) {
        const double share = std::min(1.0, done / total);
        if (m_terminal) {
            const int filled = int(share * kBarWidth);
            line += QStringLiteral(" [") + QString(filled, QLatin1Char('#'))
                    + QString(kBarWidth - filled, QLatin1Char(' ')) + QStringLiteral("]");
        }
        line += QStringLiteral(" %1%").arg(int(share * 100));
    }
    if (!unit.isEmpty())
        line += QStringLiteral(" %1 %2/s").arg(rate, 0, 'f', 1).arg(unit);
    if (total > 0 && rate > 0)
        line += QStringLiteral(" left %1").arg(duration((total - done) / rate));
    else
        line += QStringLiteral(" %1").arg(duration(seconds));
    if (!text.isEmpty())
        line += QLatin1Char(' ') + text;
    if (m_terminal) {
        std::fprintf(stderr, "\r\033[K%s", line.toLocal8Bit().constData());
        m_drawn = true;
    } else {
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    }
    std::fflush(stderr);
}

void Progress::finish()
{
    if (m_drawn) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        m_drawn = false;
    }
}

#include "Vexa100.h"

#include "Paths.h"

#include <QLibrary>

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

using FadeFn = int32_t (*)(int32_t, int32_t, int32_t);
using ClockFn = double (*)();

struct Binding
{
    bool tried = false;
    bool reported = false;
    QString error;
    QLibrary library;
    FadeFn fade = nullptr;
    ClockFn clock = nullptr;
};

Binding &binding()
{
    static Binding b;
    return b;
}

double fallbackClock()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t ms = uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec / 1000000);
    return double(uint32_t(ms));
}

int32_t fallbackFade(int32_t colour, int32_t numerator, int32_t denominator)
{
    const double f = double(numerator) / double(denominator);
    auto channel = [f](int c) {
        const double x = c * f;
        return x > 0 ? std::floor(x + 0.5) : std::ceil(x - 0.5);
    };
    const double sum = channel((colour >> 16) & 0xFF) * 65536.0
                       + channel((colour >> 8) & 0xFF) * 256.0 + channel(colour & 0xFF);
    if (!std::isfinite(sum) || sum >= 2147483648.0 || sum <= -2147483649.0)
        return INT32_MIN;
    return int32_t(sum);
}

bool ensureBound()
{
    Binding &b = binding();
    if (!b.tried) {
        b.tried = true;
        const QString path = paths::join(paths::programFolder(), vexa::libraryFileName());
        b.library.setFileName(path);
        if (!b.library.load()) {
            b.error = QStringLiteral("%1 を読み込めません: %2").arg(path, b.library.errorString());
        } else {
            b.fade = reinterpret_cast<FadeFn>(b.library.resolve("ColorAttenuation"));
            b.clock = reinterpret_cast<ClockFn>(b.library.resolve("vx_timeGetTime"));
            if (!b.fade || !b.clock) {
                b.error = QStringLiteral("%1 に %2 がありません。")
                              .arg(path, QLatin1String(!b.fade ? "ColorAttenuation" : "vx_timeGetTime"));
                b.fade = nullptr;
                b.clock = nullptr;
            }
        }
    }
    if (b.fade && b.clock)
        return true;
    if (!b.reported) {
        b.reported = true;
        std::fprintf(stderr, "%s\n", qPrintable(b.error));
    }
    return false;
}

} // namespace

namespace vexa {

QString libraryFileName()
{
    return QStringLiteral("libvexa100.so");
}

bool bind(QString *error)
{
    Binding &b = binding();
    const bool ok = ensureBound();
    if (!ok && error)
        *error = b.error;
    return ok;
}

double vx_timeGetTime()
{
    Binding &b = binding();
    if (b.clock || ensureBound())
        return b.clock();
    return fallbackClock();
}

int32_t ColorAttenuation(int32_t colour, int32_t numerator, int32_t denominator)
{
    Binding &b = binding();
    if (b.fade || ensureBound())
        return b.fade(colour, numerator, denominator);
    return fallbackFade(colour, numerator, denominator);
}

void unbindForTesting()
{
    Binding &b = binding();
    if (b.library.isLoaded())
        b.library.unload();
    b.tried = false;
    b.reported = false;
    b.error.clear();
    b.fade = nullptr;
    b.clock = nullptr;
}

} // namespace vexa

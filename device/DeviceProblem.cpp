#include "DeviceProblem.h"

#include "MessageBox.h"

#include <mutex>

namespace {

std::mutex g_mutex;
QString g_title;

} // namespace

namespace DeviceProblem {

void setTitle(const QString &title)
{
    std::lock_guard lock(g_mutex);
    g_title = title;
}

void show(const char *utf8)
{
    if (!utf8 || !*utf8)
        return;
    QString title;
    {
        std::lock_guard lock(g_mutex);
        title = g_title;
    }
    showMessage(QString::fromUtf8(utf8), MsgIcon::Critical, title);
}

QStringList collect(const std::function<int(int, char *, int)> &get)
{
    QStringList entries;
    if (!get)
        return entries;
    char text[512] = {};
    const int count = get(0, text, int(sizeof text));
    for (int i = 0; i < count && i < 256; ++i) {
        // The list may have changed between two calls: it ends where it became shorter.
        if (i > 0 && get(i, text, int(sizeof text)) <= i)
            break;
        entries << QString::fromUtf8(text);
    }
    return entries;
}

} // namespace DeviceProblem

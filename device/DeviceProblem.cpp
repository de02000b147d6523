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

} // namespace DeviceProblem

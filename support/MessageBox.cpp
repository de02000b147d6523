#include "MessageBox.h"

#include <cstdio>

namespace {
MessageHandler &currentHandler()
{
    static MessageHandler handler;
    return handler;
}
} // namespace

MessageHandler setMessageHandler(MessageHandler handler)
{
    MessageHandler previous = std::move(currentHandler());
    currentHandler() = std::move(handler);
    return previous;
}

MsgResult showMessage(const QString &text, MsgIcon icon, const QString &title, MsgButtons buttons)
{
    if (currentHandler())
        return currentHandler()({text, icon, title, buttons});
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    return buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::Ok;
}

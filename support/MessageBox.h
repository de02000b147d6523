#pragma once

#include <QString>

#include <functional>

// Every message the program shows goes through here, so that tests can record the texts
// and answer the boxes without a person.
enum class MsgIcon { None, Critical, Question, Exclamation, Information };
enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgResult { Ok, Cancel, Yes, No };

struct MessageRequest
{
    QString text;
    MsgIcon icon = MsgIcon::None;
    QString title;
    MsgButtons buttons = MsgButtons::Ok;
};

using MessageHandler = std::function<MsgResult(const MessageRequest &)>;

// The window layer installs a real message box; without one, messages go to stderr.
// Returns the previous handler.
MessageHandler setMessageHandler(MessageHandler handler);

MsgResult showMessage(const QString &text, MsgIcon icon, const QString &title,
                      MsgButtons buttons = MsgButtons::Ok);

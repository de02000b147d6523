#pragma once

#include "MessageBox.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <vector>

// Records every message box and answers it with the queued answers (Ok by default).
class MessageRecorder
{
public:
    MessageRecorder()
    {
        m_previous = setMessageHandler([this](const MessageRequest &r) {
            messages.push_back(r);
            if (!answers.empty()) {
                const MsgResult a = answers.front();
                answers.pop_front();
                return a;
            }
            return r.buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::Ok;
        });
    }
    ~MessageRecorder() { setMessageHandler(m_previous); }

    std::vector<MessageRequest> messages;
    std::deque<MsgResult> answers;

    QStringList texts() const
    {
        QStringList t;
        for (const auto &m : messages)
            t << m.text;
        return t;
    }

private:
    MessageHandler m_previous;
};

// Sets an environment variable for the lifetime of the object.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const QByteArray &value) : m_name(name)
    {
        m_had = qEnvironmentVariableIsSet(name);
        m_old = qgetenv(name);
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline bool writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write(data) == data.size();
}

// Pumps events until cond() holds or the time is up.
inline bool waitUntil(const std::function<bool()> &cond, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!cond()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <variant>

// The outcome of an operation at a module boundary: a value, or a message that says what
// failed in words the user can act on. Result<> carries no value.
template <typename T = std::monostate>
class Result final
{
public:
    Result() requires std::is_same_v<T, std::monostate> : m_value(T{}) {}
    Result(T value) : m_value(std::move(value)) {}

    static Result failure(QString message)
    {
        Result r{Failure{}};
        r.m_error = std::move(message);
        return r;
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T &value() const { return *m_value; }
    T &value() { return *m_value; }
    const QString &error() const { return m_error; }

private:
    struct Failure {};
    explicit Result(Failure) {}

    std::optional<T> m_value;
    QString m_error;
};

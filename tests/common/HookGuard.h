#pragma once

#include <functional>
#include <utility>

// Sets a global …ForTesting hook for the guard's lifetime and sets the hook's default
// (an empty value) again when the guard ends, also when a failed assertion leaves the test
// early, so no later test runs with this test's clock, folder or answer:
//   HookGuard clock(&setRecordClockForTesting, std::function<QDateTime()>(&hour));
template <class Setter, class Value>
class HookGuard
{
public:
    HookGuard(Setter set, Value value) : m_set(set) { m_set(std::move(value)); }
    ~HookGuard() { m_set(Value{}); }
    HookGuard(const HookGuard &) = delete;
    HookGuard &operator=(const HookGuard &) = delete;

private:
    Setter m_set;
};

// Runs a …ForTesting reset (an unbind, a restore) when the scope ends, however it ends.
class ResetGuard
{
public:
    explicit ResetGuard(std::function<void()> reset) : m_reset(std::move(reset)) {}
    ~ResetGuard()
    {
        if (m_reset)
            m_reset();
    }
    ResetGuard(const ResetGuard &) = delete;
    ResetGuard &operator=(const ResetGuard &) = delete;

private:
    std::function<void()> m_reset;
};

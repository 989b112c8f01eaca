#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

// A one-shot wake-up at a moment of an AgentClock.
class ClockTimer {
public:
    virtual ~ClockTimer() = default;
    // Fires once at `when` (milliseconds of the clock), or at once when that
    // has passed; replaces an earlier start.
    virtual void startAt(qint64 when) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

// The time a character's animations and silent speech run by. The system
// clock in the program; tests advance a clock of their own.
class AgentClock {
public:
    virtual ~AgentClock() = default;
    // Milliseconds since an arbitrary start; never goes back.
    virtual qint64 now() const = 0;
    // The timer must not outlive the clock.
    virtual std::unique_ptr<ClockTimer> createTimer(std::function<void()> fire) = 0;
};

// Monotonic time and Qt timers of the calling thread's event loop.
class SystemAgentClock : public AgentClock {
public:
    SystemAgentClock();
    qint64 now() const override;
    std::unique_ptr<ClockTimer> createTimer(std::function<void()> fire) override;

    // One clock for every character of the program.
    static SystemAgentClock& instance();

private:
    qint64 m_start = 0;
};

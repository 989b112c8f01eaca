#pragma once

#include "AgentClock.h"

#include <algorithm>
#include <vector>

// A clock that stands still until the test advances it; the timers due on
// the way fire in order, each at its own moment.
class ManualAgentClock final : public AgentClock {
public:
    qint64 now() const override { return m_now; }

    std::unique_ptr<ClockTimer> createTimer(std::function<void()> fire) override
    {
        return std::make_unique<Timer>(*this, std::move(fire));
    }

    void advance(qint64 milliseconds)
    {
        const qint64 target = m_now + milliseconds;
        for (int fired = 0; fired < 1000000; ++fired) {
            Timer* next = nullptr;
            for (Timer* timer : m_timers) {
                if (timer->m_active && timer->m_due <= target && (!next || timer->m_due < next->m_due))
                    next = timer;
            }
            if (!next)
                break;
            m_now = std::max(m_now, next->m_due);
            next->m_active = false;
            next->m_fire();
        }
        m_now = target;
    }

private:
    class Timer final : public ClockTimer {
    public:
        Timer(ManualAgentClock& clock, std::function<void()> fire) : m_clock(clock), m_fire(std::move(fire))
        {
            m_clock.m_timers.push_back(this);
        }
        ~Timer() override { std::erase(m_clock.m_timers, this); }
        void startAt(qint64 when) override
        {
            m_due = std::max(when, m_clock.m_now);
            m_active = true;
        }
        void stop() override { m_active = false; }
        bool isActive() const override { return m_active; }

        ManualAgentClock& m_clock;
        std::function<void()> m_fire;
        qint64 m_due = 0;
        bool m_active = false;
    };

    qint64 m_now = 0;
    std::vector<Timer*> m_timers;
};

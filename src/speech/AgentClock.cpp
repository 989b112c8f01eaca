#include "AgentClock.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace {

class SystemClockTimer : public ClockTimer {
public:
    SystemClockTimer(const SystemAgentClock& clock, std::function<void()> fire) : m_clock(clock)
    {
        m_timer.setSingleShot(true);
        // frame times are short; a coarse timer would be off by up to 5%
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, std::move(fire));
    }
    void startAt(qint64 when) override
    {
        const qint64 wait = std::clamp<qint64>(when - m_clock.now(), 0, std::numeric_limits<int>::max());
        m_timer.start(static_cast<int>(wait));
    }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    const SystemAgentClock& m_clock;
    QTimer m_timer;
};

qint64 monotonicMilliseconds()
{
    QElapsedTimer timer;
    timer.start();
    return timer.msecsSinceReference();
}

}  // namespace

SystemAgentClock::SystemAgentClock() : m_start(monotonicMilliseconds()) {}

qint64 SystemAgentClock::now() const { return monotonicMilliseconds() - m_start; }

std::unique_ptr<ClockTimer> SystemAgentClock::createTimer(std::function<void()> fire)
{
    return std::make_unique<SystemClockTimer>(*this, std::move(fire));
}

SystemAgentClock& SystemAgentClock::instance()
{
    static SystemAgentClock clock;
    return clock;
}

#include "Clock.h"

#include <atomic>

namespace {

SystemClock &systemClock()
{
    static SystemClock clock;
    return clock;
}

// Set from tests and start-up, read from anywhere: atomic so a reader never
// sees a torn pointer even if a worker thread ever asks for the time.
std::atomic<Clock *> currentClock{nullptr};

} // namespace

Clock &Clock::current()
{
    Clock *clock = currentClock.load(std::memory_order_acquire);
    return clock ? *clock : systemClock();
}

void Clock::setCurrent(Clock *clock)
{
    currentClock.store(clock, std::memory_order_release);
}

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

ManualClock::ManualClock(const QDateTime &start) : m_now(start) {}

ScopedClock::ScopedClock(Clock &clock) : m_previous(currentClock.load(std::memory_order_acquire))
{
    Clock::setCurrent(&clock);
}

ScopedClock::~ScopedClock()
{
    Clock::setCurrent(m_previous);
}

#pragma once

#include <QDate>
#include <QDateTime>

// Where the program reads the time, so order numbers, day changes and month
// views can be tested and demonstrated on any chosen date.
class Clock
{
public:
    virtual ~Clock() = default;

    // Local time.
    virtual QDateTime now() const = 0;
    QDate today() const { return now().date(); }

    // The clock every window reads. Defaults to the system clock; the clock
    // set here is not owned and must outlive its use.
    static Clock &current();
    // nullptr restores the system clock.
    static void setCurrent(Clock *clock);
};

// The computer's own clock.
class SystemClock final : public Clock
{
public:
    QDateTime now() const override;
};

// A clock that stands still until told otherwise.
class ManualClock final : public Clock
{
public:
    explicit ManualClock(const QDateTime &start);
    explicit ManualClock(QDate day) : ManualClock(day.startOfDay()) {}

    QDateTime now() const override { return m_now; }

    void set(const QDateTime &time) { m_now = time; }
    void advanceSecs(qint64 seconds) { m_now = m_now.addSecs(seconds); }
    // Keeps the time of day.
    void advanceDays(qint64 days) { m_now = m_now.addDays(days); }

private:
    QDateTime m_now;
};

// Makes a clock current for a scope and restores the previous one after it.
class ScopedClock
{
public:
    explicit ScopedClock(Clock &clock);
    ~ScopedClock();

    ScopedClock(const ScopedClock &) = delete;
    ScopedClock &operator=(const ScopedClock &) = delete;

private:
    Clock *m_previous;
};

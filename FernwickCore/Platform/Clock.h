#pragma once

#include <chrono>
#include <memory>

namespace fernwick {

using TimePoint = std::chrono::system_clock::time_point;

/// The source of "now" for every engine that stamps or compares times. Tests pass a ManualClock.
class Clock {
public:
    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;
    /// The wall clock; a process-wide instance.
    static std::shared_ptr<const Clock> system();
};

/// A clock that stands still until told otherwise. Not thread-safe to set while others read.
class ManualClock final : public Clock {
public:
    explicit ManualClock(TimePoint start = TimePoint{}) : m_now(start) {}
    TimePoint now() const override { return m_now; }
    void set(TimePoint t) { m_now = t; }
    void advance(std::chrono::system_clock::duration d) { m_now += d; }

private:
    TimePoint m_now;
};

} // namespace fernwick

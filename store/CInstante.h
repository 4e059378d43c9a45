#pragma once

#include "platform/SystemTime.h"

// A time of day with minute resolution: the unit in which time frames are compared. Seconds are
// never looked at.
class CInstante {
  public:
    CInstante() = default;
    CInstante(int hour, int minute);
    // The hour and minute of `time`.
    explicit CInstante(const SYSTEMTIME& time);
    CInstante(const CInstante&) = default;
    CInstante& operator=(const CInstante&) = default;
    virtual ~CInstante() = default;

    int GetHour() const { return _hour; }
    int GetMinute() const { return _minute; }
    // Minutes since midnight.
    int MinutesOfDay() const { return _hour * 60 + _minute; }
    // Minutes forward from this time of day to `to`, around the clock: 0..1439.
    int MinutesUntil(const CInstante& to) const;

    // Hour first, then minute.
    bool operator<(const CInstante& other) const { return MinutesOfDay() < other.MinutesOfDay(); }
    bool operator>(const CInstante& other) const { return MinutesOfDay() > other.MinutesOfDay(); }
    bool operator<=(const CInstante& other) const { return MinutesOfDay() <= other.MinutesOfDay(); }
    bool operator>=(const CInstante& other) const { return MinutesOfDay() >= other.MinutesOfDay(); }
    bool operator==(const CInstante& other) const { return _hour == other._hour && _minute == other._minute; }

    // The hour and minute of the phone's local clock.
    void SetToCurrentTime();
    // 00:00.
    void reset();

    // Compares two full local times (date and time down to the millisecond): -1 when `a` is
    // earlier, 0 when equal, 1 when later. A time that is not a valid date is compared field by
    // field, so the result is always defined.
    static int CompareSystemTimes(const SYSTEMTIME& a, const SYSTEMTIME& b);

  private:
    int _hour = 0;
    int _minute = 0;
};

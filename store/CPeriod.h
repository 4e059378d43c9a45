#pragma once

#include "platform/SystemTime.h"
#include "store/CInstante.h"

class CStrPeriod;

// An interval of times of day from Inicio to Final. When Final is not later than Inicio the
// interval runs through midnight; when they are equal it lasts 24 hours.
class CPeriod {
  public:
    CPeriod() = default;
    CPeriod(const CInstante& inicio, const CInstante& final);
    // The hours and minutes of the two times.
    CPeriod(const SYSTEMTIME& inicio, const SYSTEMTIME& final);
    // The start and end time of day of a frame.
    explicit CPeriod(const CStrPeriod& period);
    CPeriod(const CPeriod&) = default;
    CPeriod& operator=(const CPeriod&) = default;
    virtual ~CPeriod() = default;

    const CInstante& GetInicio() const { return _inicio; }
    const CInstante& GetFinal() const { return _final; }
    void SetInicio(const CInstante& inicio) { _inicio = inicio; }
    void SetFinal(const CInstante& final) { _final = final; }

    // Both ends equal.
    bool operator==(const CPeriod& other) const { return _inicio == other._inicio && _final == other._final; }
    // Whether the interval starts later than `instant`.
    bool operator>(const CInstante& instant) const { return _inicio > instant; }

    // A 24-hour interval: start and end are the same time of day.
    bool IsAllDay() const { return _inicio == _final; }

    // 1 when the interval holds `instant`. With `inclusiveStart` the start belongs to the
    // interval and the end does not; without it, the end of a same-day interval belongs to it
    // and its start does not (the test for "the interval that ends at this minute"). An interval
    // through midnight holds, without the inclusive start, the minutes after its start and before
    // its end.
    int IsInside(const CInstante& instant, bool inclusiveStart) const;
    // 1 when every minute of `period` lies within this interval, in one piece: a 24-hour interval
    // holds every interval, and an interval that runs out of this one and back in (through the
    // rest of the day) is not held even when both of its ends are.
    int IsInside(const CPeriod& period) const;
    // 1 when the two intervals share at least one minute. A 24-hour interval meets every other.
    int Intersect(const CPeriod& period) const;

  private:
    CInstante _inicio;
    CInstante _final;
};

#include "store/CPeriod.h"

#include "store/CStrPeriod.h"

namespace {

constexpr int kMinutesPerDay = 24 * 60;

}  // namespace

CPeriod::CPeriod(const CInstante& inicio, const CInstante& final) : _inicio(inicio), _final(final) {}

CPeriod::CPeriod(const SYSTEMTIME& inicio, const SYSTEMTIME& final) : _inicio(inicio), _final(final) {}

CPeriod::CPeriod(const CStrPeriod& period) : _inicio(period.GetInicio()), _final(period.GetFinal()) {}

int CPeriod::IsInside(const CInstante& x, bool inclusiveStart) const {
    const CInstante& b = _inicio;
    const CInstante& e = _final;
    if (b < e) {
        return inclusiveStart ? (b <= x && x < e) : (b < x && x <= e);
    }
    // Through midnight, or all day when b == e.
    if (inclusiveStart) {
        return b <= x || x < e;
    }
    return b < x || x < e;
}

int CPeriod::IsInside(const CPeriod& p) const {
    if (IsAllDay()) {
        return 1;
    }
    if (p.IsAllDay()) {
        return 0;
    }
    // Measured forward from this interval's start: p must start before it ends, and both must
    // happen before this interval ends. Comparing the ends alone would take an interval that
    // leaves this one and comes back through the rest of the day for one inside it.
    const int length = _inicio.MinutesUntil(_final);
    const int start = _inicio.MinutesUntil(p._inicio);
    int end = _inicio.MinutesUntil(p._final);
    if (end == 0) {
        end = kMinutesPerDay;
    }
    return start < end && end <= length;
}

int CPeriod::Intersect(const CPeriod& p) const {
    if (IsAllDay() || p.IsAllDay()) {
        return 1;
    }
    // Two intervals of the day overlap exactly when one of them holds the start of the other. A
    // test on the ends instead would miss two intervals through midnight that end at the same
    // minute (21:00-06:00 and 22:00-06:00): neither holds that end.
    return IsInside(p._inicio, true) || p.IsInside(_inicio, true);
}

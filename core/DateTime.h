#pragma once

#include <cstdint>
#include <string>

#include "platform/SystemTime.h"

// Date arithmetic on local times, counted in units of 100 nanoseconds.
inline constexpr int64_t DT_SECOND = 10'000'000LL;
inline constexpr int64_t DT_MINUTE = 600'000'000LL;
inline constexpr int64_t DT_DAY = 864'000'000'000LL;

// Moves `time` by count x unit (100-ns ticks). Fills the day of the week. Returns false, leaving
// `time` unchanged, when it is not a valid date or the result would leave years 1601..30827.
bool DT_AddDiff(SYSTEMTIME& time, int64_t count, int64_t unit);

// Whole units (100-ns ticks each) from `first` to `second`, negative when `second` is earlier.
int64_t DT_PeriodsBetween(const SYSTEMTIME& first, const SYSTEMTIME& second, int64_t unit);

// 100-ns ticks since 1601-01-01 00:00 of the local calendar; false for an invalid date.
bool SystemTimeToTicks(const SYSTEMTIME& time, int64_t& ticks);
bool TicksToSystemTime(int64_t ticks, SYSTEMTIME& time);

// "YYYY-MM-DD hh:mm:ss".
std::string DT_Format(const SYSTEMTIME& time);

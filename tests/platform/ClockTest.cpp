#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/sim/CSimClock.h"

namespace fs = std::filesystem;
using platform::sim::CSimClock;

namespace {

constexpr int64_t kHour = 3600 * 1000;

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

class ClockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        _dir = fs::temp_directory_path() / ("zv-clock-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(_dir);
    }
    void TearDown() override { fs::remove_all(_dir); }
    // Its folder does not exist yet: the first write creates it.
    fs::path file() const { return _dir / "phone" / "clock"; }

    fs::path _dir;
};

int64_t machineLocalMs() {
    time_t t = std::time(nullptr);
    struct tm tm {};
    localtime_r(&t, &tm);
    return static_cast<int64_t>(timegm(&tm)) * 1000;
}

SYSTEMTIME at(uint16_t y, uint16_t mo, uint16_t d, uint16_t h, uint16_t mi, uint16_t s, uint16_t ms) {
    return SYSTEMTIME{y, mo, 0, d, h, mi, s, ms};
}

}  // namespace

TEST_F(ClockTest, SetAdvanceAndSpeedChangePhoneTime) {
    CSimClock clock(file());
    const int64_t t0 = CSimClock::toMillis(at(2024, 6, 1, 12, 0, 0, 0));
    clock.setLocalMillis(t0);
    EXPECT_NEAR(clock.localMillis(), t0, 200);
    clock.advance(90 * 60 * 1000);
    EXPECT_NEAR(clock.localMillis(), t0 + 90 * 60 * 1000, 200);

    clock.setSpeed(1000);
    EXPECT_EQ(clock.realDuration(4000), std::chrono::milliseconds(4));
    int64_t fastStart = clock.localMillis();
    sleepMs(30);
    int64_t before = clock.localMillis();
    EXPECT_GE(before - fastStart, 25 * 1000);

    // Another change of speed rebases at the phone time of now: no jump back or forth.
    clock.setSpeed(2);
    std::ifstream in(file());
    long long baseReal = 0, baseLocal = 0;
    double speed = 0;
    ASSERT_TRUE(in >> baseReal >> baseLocal >> speed);
    EXPECT_EQ(speed, 2.0);
    EXPECT_GE(baseLocal, before);
    EXPECT_LT(baseLocal - before, 5000);
    EXPECT_THROW(clock.setSpeed(0), std::exception);
}

TEST_F(ClockTest, SecondObjectOnSameFileSeesChanges) {
    CSimClock writer(file());
    CSimClock reader(file());
    EXPECT_EQ(reader.speed(), 1.0);
    const int64_t target = CSimClock::toMillis(at(2030, 1, 2, 3, 4, 5, 0));
    writer.setLocalMillis(target);
    writer.setSpeed(50);
    for (int i = 0; i < 200 && reader.speed() != 50.0; ++i) {
        sleepMs(10);
    }
    EXPECT_EQ(reader.speed(), 50.0);
    EXPECT_NEAR(reader.localMillis(), writer.localMillis(), 5000);
    EXPECT_NEAR(reader.localMillis(), target, 60 * 1000);
}

TEST_F(ClockTest, TickCountIgnoresCalendarJumpsAndFollowsSpeed) {
    CSimClock clock(file());
    uint32_t t0 = clock.tickCount();
    clock.advance(10 * 24 * kHour);
    clock.setLocalMillis(0);
    EXPECT_LT(clock.tickCount() - t0, 1000u);

    // What ran at speed 1 stays counted at speed 1 when the speed changes.
    sleepMs(50);
    uint32_t beforeSpeedUp = clock.tickCount();
    clock.setSpeed(1000);
    uint32_t t1 = clock.tickCount();
    EXPECT_LT(t1 - beforeSpeedUp, 20000u);
    sleepMs(30);
    EXPECT_GE(clock.tickCount() - t1, 25000u);
}

TEST_F(ClockTest, SleepFollowsSpeedChangeMidway) {
    // 20 phone seconds at speed 1; another clock object speeds the phone up meanwhile.
    CSimClock clock(file());
    std::atomic<bool> done{false};
    std::thread sleeper([&] {
        clock.sleep(20000);
        done = true;
    });
    sleepMs(100);
    CSimClock(file()).setSpeed(1e6);
    for (int i = 0; i < 300 && !done; ++i) {
        sleepMs(10);
    }
    EXPECT_TRUE(done);
    sleeper.join();
}

TEST(ClockConversionTest, AcrossMonthYearAndLeapDay) {
    // Each time with its day of the week (0 = Sunday).
    const std::pair<SYSTEMTIME, uint16_t> cases[] = {
        {at(2024, 2, 29, 23, 59, 59, 999), 4},  {at(2024, 3, 1, 0, 0, 0, 0), 5},
        {at(2023, 12, 31, 23, 59, 59, 500), 0}, {at(1969, 12, 31, 23, 59, 59, 999), 3},
        {at(1601, 1, 1, 0, 0, 0, 0), 1},        {at(1900, 2, 28, 12, 30, 0, 1), 3},
        {at(1900, 3, 1, 0, 0, 0, 0), 4},        {at(2000, 2, 29, 6, 7, 8, 9), 2},
        {at(9999, 12, 31, 23, 59, 59, 999), 5}};
    for (auto [t, dayOfWeek] : cases) {
        t.wDayOfWeek = dayOfWeek;
        EXPECT_EQ(CSimClock::fromMillis(CSimClock::toMillis(t)), t) << t.wYear << "-" << t.wMonth;
    }
    EXPECT_EQ(CSimClock::toMillis(at(1969, 12, 31, 23, 59, 59, 999)), -1);
    EXPECT_EQ(
        CSimClock::toMillis(at(2024, 3, 1, 0, 0, 0, 0)) - CSimClock::toMillis(at(2024, 2, 28, 0, 0, 0, 0)),
        48 * kHour);
}

// The conversion is calendar arithmetic of its own: it agrees with the C library's UTC calendar
// at steps of a little over 37 days across the clock's whole range, at every time of day.
TEST(ClockConversionTest, AgreesWithTheCLibraryAcrossTheRange) {
    const int64_t first = CSimClock::toMillis(at(1601, 1, 1, 0, 0, 0, 0));
    const int64_t last = CSimClock::toMillis(at(9999, 12, 31, 23, 59, 59, 999));
    const int64_t step = 37 * 24 * kHour + 3'599'001;  // drifts through the hours and seconds
    int compared = 0;
    for (int64_t ms = first; ms <= last; ms += step, ++compared) {
        const int64_t secs = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
        const time_t t = static_cast<time_t>(secs);
        struct tm tm {};
        ASSERT_NE(gmtime_r(&t, &tm), nullptr);
        const SYSTEMTIME st = CSimClock::fromMillis(ms);
        ASSERT_EQ(st.wYear, tm.tm_year + 1900) << ms;
        ASSERT_EQ(st.wMonth, tm.tm_mon + 1) << ms;
        ASSERT_EQ(st.wDay, tm.tm_mday) << ms;
        ASSERT_EQ(st.wDayOfWeek, tm.tm_wday) << ms;
        ASSERT_EQ(st.wHour, tm.tm_hour) << ms;
        ASSERT_EQ(st.wMinute, tm.tm_min) << ms;
        ASSERT_EQ(st.wSecond, tm.tm_sec) << ms;
        ASSERT_EQ(st.wMilliseconds, ms - secs * 1000) << ms;
    }
    EXPECT_GT(compared, 80000);
}

TEST_F(ClockTest, MissingOrCorruptFileMeansMachineTimeAndIsReportedOnce) {
    EXPECT_NEAR(CSimClock(file()).localMillis(), machineLocalMs(), 2000);
    EXPECT_FALSE(fs::exists(file()));

    fs::create_directories(file().parent_path());
    std::ofstream(file()) << "12 not-a-number 3\n";
    ::testing::internal::CaptureStderr();
    {
        CSimClock clock(file());
        EXPECT_NEAR(clock.localMillis(), machineLocalMs(), 2000);
        sleepMs(20);  // read again later: no second report
        EXPECT_EQ(clock.speed(), 1.0);
        clock.setSpeed(2);  // replaces the bad file
        EXPECT_EQ(CSimClock(file()).speed(), 2.0);
    }
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(file().string()), std::string::npos);
    EXPECT_EQ(err.find(file().string()), err.rfind(file().string())) << err;

    for (const char* bad : {"", "1 2", "1 2 0", "1 2 -4", "1 2 3 4"}) {
        std::ofstream(file()) << bad;
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(CSimClock(file()).speed(), 1.0) << bad;
        ::testing::internal::GetCapturedStderr();
    }
}

// Numbers the clock cannot work with (they would overflow its conversions) are refused with a
// message, and the phone goes on with the machine's time.
TEST_F(ClockTest, AbsurdNumbersInTheFileAreRefusedAndMachineTimeIsUsed) {
    fs::create_directories(file().parent_path());
    const char* rows[] = {
        "0 9223372036854775807 1",
        "-9223372036854775808 0 1",
        "0 0 1e300",
        "0 0 1e-300",
        "0 0 inf",
        "0 0 nan",
        "99999999999999999 0 1",
        "0 -99999999999999999 2",
        "1700000000000 1700000000000 1e7",
    };
    for (const char* bad : rows) {
        std::ofstream(file()) << bad << "\n";
        ::testing::internal::CaptureStderr();
        {
            CSimClock clock(file());
            EXPECT_EQ(clock.speed(), 1.0) << bad;
            EXPECT_NEAR(clock.localMillis(), machineLocalMs(), 2000) << bad;
            EXPECT_GE(clock.localTime().wYear, 2000) << bad;
            EXPECT_GT(clock.realDuration(1000).count(), 0) << bad;
        }
        std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find(file().string()), std::string::npos) << bad;
        EXPECT_NE(err.find("machine's time"), std::string::npos) << bad << ": " << err;
    }
    // The clock's own changes keep to the same range.
    CSimClock clock(file());
    EXPECT_THROW(clock.setSpeed(1e300), std::exception);
    EXPECT_THROW(clock.setSpeed(1e-9), std::exception);
    EXPECT_THROW(clock.setLocalMillis(INT64_MAX), std::exception);
    EXPECT_THROW(clock.advance(INT64_MAX), std::exception);
    EXPECT_THROW(clock.advance(INT64_MIN), std::exception);
    clock.advance(kHour);
    EXPECT_NEAR(clock.localMillis(), machineLocalMs() + kHour, 2000);
}

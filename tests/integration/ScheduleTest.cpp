// The shipped example scenario against the real program: places found by their cells, frames
// started and ended at their times through real program launches, locking, and a frame end with
// the phone radio off.

#include <gtest/gtest.h>

#include "support/ProgramFixture.h"

namespace {

class ScheduleTest : public ProgramFixture {
  protected:
    // A phone minute in three seconds: the frame-end wake-ups come within moments of a clock jump,
    // and an expectation's two phone minutes leave a slow (sanitizer) build six seconds.
    ScheduleTest() : ProgramFixture("20") { startProgram(); }
};

TEST_F(ScheduleTest, HomeAndOfficeExampleRunsThrough) {
    Result r = device({"scenario", std::string(ZENTROVA_SOURCE_DIR) + "/examples/home_office.scenario"});
    EXPECT_EQ(r.code, 0) << r.out << "\n--- log ---\n"
                         << device({"log"}).out << "\n--- app ---\n"
                         << device({"app"}).out;
}

}  // namespace

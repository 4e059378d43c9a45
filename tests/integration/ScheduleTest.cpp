// The shipped example scenario against the real program: places found by their cells, frames
// started and ended at their times through real program launches, locking, and a frame end with
// the phone radio off.

#include <gtest/gtest.h>

#include "support/ProgramFixture.h"

namespace {

class ScheduleTest : public ProgramFixture {
  protected:
    // A phone minute in a second: the frame-end wake-ups come within moments of a clock jump.
    ScheduleTest() : ProgramFixture("60") { startProgram(); }
};

TEST_F(ScheduleTest, HomeAndOfficeExampleRunsThrough) {
    Result r = device({"scenario", std::string(ZENTROVA_SOURCE_DIR) + "/examples/home_office.scenario"});
    EXPECT_EQ(r.code, 0) << r.out << "\n--- log ---\n"
                         << device({"log"}).out << "\n--- app ---\n"
                         << device({"app"}).out;
}

}  // namespace

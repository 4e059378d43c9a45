#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "platform/linux/CLinuxNamedEvents.h"

namespace {

using platform::lnx::CLinuxNamedEvents;
namespace p = platform;

TEST(LinuxNamedEventsTest, NamedEventsReachTheirWaiters) {
    int backlight = 0;
    CLinuxNamedEvents events({{"BackLightChangeEvent",
                               [&] {
                                   ++backlight;
                                   return backlight == 2 ? p::ERROR_WRITE_FAULT : p::ERROR_SUCCESS;
                               }},
                              {"Broken", []() -> p::Result { throw std::runtime_error("driver gone"); }}});
    struct Row {
        const char* name;
        p::Result result;
        int backlightCalls;
    };
    const Row rows[] = {
        {"BackLightChangeEvent", p::ERROR_SUCCESS, 1},
        {"BackLightChangeEvent", p::ERROR_WRITE_FAULT, 2},  // the waiter's failure is the signal's
        {"backlightchangeevent", p::ERROR_SUCCESS, 2},      // names are exact
        {"SomethingElse", p::ERROR_SUCCESS, 2},
        {"Broken", p::ERROR_GEN_FAILURE, 2},
        {"", p::ERROR_INVALID_PARAMETER, 2},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(events.signal(row.name), row.result) << row.name;
        EXPECT_EQ(backlight, row.backlightCalls) << row.name;
    }
}

}  // namespace

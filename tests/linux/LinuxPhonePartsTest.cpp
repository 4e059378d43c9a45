#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/linux/CLinuxControlPanel.h"
#include "platform/linux/CLinuxNamedEvents.h"
#include "platform/linux/CLinuxTodayThemePanel.h"

namespace {

using platform::lnx::CLinuxControlPanel;
using platform::lnx::CLinuxNamedEvents;
using platform::lnx::CLinuxTodayThemePanel;
namespace p = platform;

TEST(LinuxPhonePartsTest, NamedEventsReachTheirWaiters) {
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

// The desktop answers the program's applet and Today-panel drives as a phone without them does,
// so the managers fall back instead of waiting for windows that never show.
TEST(LinuxPhonePartsTest, AppletsAndTheTodayPanelAreNotThere) {
    CLinuxControlPanel panel;
    EXPECT_EQ(panel.startApplet("ctlpnl.exe", "cplmain.cpl,6"), p::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(panel.startApplet("ctlpnl.exe", "mycpl.cpl"), p::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(panel.foregroundWindow(), 0u);
    int w = 5, h = 5;
    for (p::ForeignWindow window : {0u, 1u, 10u}) {
        EXPECT_EQ(panel.firstChild(window), 0u);
        EXPECT_EQ(panel.nextSibling(window), 0u);
        EXPECT_EQ(panel.className(window), "");
        EXPECT_EQ(panel.clientSize(window, w, h), p::ERROR_INVALID_HANDLE);
        EXPECT_EQ(w + h, 0);
        EXPECT_EQ(panel.postMouse(window, p::MouseAction::LeftDown, 1, 1), p::ERROR_INVALID_HANDLE);
        EXPECT_EQ(panel.closeWindow(window), p::ERROR_INVALID_HANDLE);
    }

    CLinuxTodayThemePanel today;
    std::vector<std::string> themes{"stale"};
    EXPECT_EQ(today.listThemes(themes), p::ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(themes.empty());
    EXPECT_EQ(today.start("ctlpnl.exe", "cplmain.cpl,2,1"), p::ERROR_FILE_NOT_FOUND);
    themes = {"stale"};
    EXPECT_EQ(today.findThemeList(themes), p::ERROR_NOT_FOUND);
    EXPECT_TRUE(themes.empty());
    EXPECT_EQ(today.pressItem(0), p::ERROR_NOT_FOUND);
    EXPECT_EQ(today.releaseItem(0), p::ERROR_NOT_FOUND);
    EXPECT_EQ(today.pressOk(), p::ERROR_NOT_FOUND);
    today.close();
}

}  // namespace

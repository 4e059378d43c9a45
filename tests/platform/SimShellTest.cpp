// The simulated phone's shell (open a file, ring tone) and its Today settings panel: what they
// accept, and what they leave in the phone's state and registry.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/sim/CSimClock.h"
#include "platform/sim/CSimPhone.h"
#include "platform/sim/CSimShell.h"
#include "platform/sim/CSimTodayThemePanel.h"
#include "support/TempHome.h"

namespace {

using platform::RegRoot;
using platform::sim::CSimPhone;
using platform::sim::CSimShell;
using platform::sim::CSimTodayThemePanel;

class SimShellTest : public ::testing::Test {
  protected:
    std::string makeFile(const std::string& name) {
        std::string path = (home.root() / name).string();
        std::ofstream(path) << "x";
        return path;
    }
    // As another process (zentrova-device status) reads it.
    std::string kept(const char* name) { return CSimPhone::loadSettings(home.services().home())[name]; }
    platform::sim::CSimClock& clock() {
        return dynamic_cast<platform::sim::CSimClock&>(home.services().clock());
    }
    platform::IShell& shell() { return home.services().shell(); }
    platform::ITodayThemePanel& panel() { return home.services().todayThemePanel(); }

    TempHome home;
};

TEST_F(SimShellTest, OpeningAFileRecordsItAndAMissingFileOrUnknownVerbFails) {
    std::string first = makeFile("notes.txt");
    std::string second = makeFile("song.mp3");
    EXPECT_EQ(shell().openFile("Open", first), platform::ERROR_SUCCESS);
    EXPECT_EQ(kept(CSimShell::kLastOpened), first);
    EXPECT_EQ(shell().openFile("open", second), platform::ERROR_SUCCESS);
    EXPECT_EQ(kept(CSimShell::kLastOpened), second);

    EXPECT_EQ(shell().openFile("Open", (home.root() / "missing.txt").string()),
              platform::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(shell().openFile("Open", ""), platform::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(shell().openFile("Print", first), platform::ERROR_NOT_SUPPORTED);
    EXPECT_EQ(kept(CSimShell::kLastOpened), second);
}

TEST_F(SimShellTest, RingToneGoesToTheSoundSettingsAndThePhoneState) {
    std::string tone = makeFile("ring.wav");
    ASSERT_EQ(shell().setRingTone(tone), platform::ERROR_SUCCESS);
    std::string sound;
    EXPECT_EQ(home.services().registry().getString(RegRoot::CurrentUser, CSimShell::kRingToneKey,
                                                   CSimShell::kRingToneSound, sound),
              platform::ERROR_SUCCESS);
    EXPECT_EQ(sound, tone);
    EXPECT_EQ(kept(CSimShell::kRingTone), tone);

    EXPECT_EQ(shell().setRingTone((home.root() / "gone.wav").string()), platform::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(kept(CSimShell::kRingTone), tone);
    home.services().registry().getString(RegRoot::CurrentUser, CSimShell::kRingToneKey,
                                         CSimShell::kRingToneSound, sound);
    EXPECT_EQ(sound, tone);
}

TEST_F(SimShellTest, ThemeCommandIsWrittenOnlyWhenMissingAndTheThemeStartsAtTheFirst) {
    auto& registry = home.services().registry();
    std::string command;
    ASSERT_EQ(registry.getString(RegRoot::ClassesRoot, CSimTodayThemePanel::kThemeCommandKey, "", command),
              platform::ERROR_SUCCESS);
    EXPECT_EQ(command, CSimTodayThemePanel::kThemeCommand);
    EXPECT_EQ(kept(CSimTodayThemePanel::kTodayTheme), "Default");

    registry.setString(RegRoot::ClassesRoot, CSimTodayThemePanel::kThemeCommandKey, "", "mine.exe x");
    auto phone = std::make_shared<CSimPhone>(home.services().home(), registry, false);
    phone->setSetting(CSimTodayThemePanel::kTodayTheme, "Ocean");
    CSimTodayThemePanel again(phone, registry, home.services().clock());
    registry.getString(RegRoot::ClassesRoot, CSimTodayThemePanel::kThemeCommandKey, "", command);
    EXPECT_EQ(command, "mine.exe x");
    EXPECT_EQ(kept(CSimTodayThemePanel::kTodayTheme), "Ocean");
}

TEST_F(SimShellTest, PanelOpensOnlyForItsProgramWithTheTodayApplet) {
    EXPECT_EQ(panel().start("notepad.exe", "cplmain.cpl,2,1"), platform::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(panel().start("ctlpnl.exe", "cplmain.cpl,3"), platform::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(panel().start("ctlpnl.exe", "cplmain.cpl,2,x"), platform::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(panel().start("ctlpnl.exe", "cplmain.cpl,22"), platform::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(panel().start("ctlpnl.exe", ""), platform::ERROR_INVALID_PARAMETER);
    auto& sim = dynamic_cast<CSimTodayThemePanel&>(panel());
    EXPECT_FALSE(sim.isOpen());
    EXPECT_EQ(panel().start("\\Windows\\CTLPNL.EXE", " cplmain.cpl,2 "), platform::ERROR_SUCCESS);
    EXPECT_TRUE(sim.isOpen());
    EXPECT_EQ(panel().start("ctlpnl.exe", "cplmain.cpl,2,1"), platform::ERROR_SUCCESS);
    panel().close();
    EXPECT_FALSE(sim.isOpen());
}

TEST_F(SimShellTest, ListShowsAfterAMomentAndOnlyAClickOnOneItemThenOkChangesTheTheme) {
    std::vector<std::string> items;
    EXPECT_EQ(panel().findThemeList(items), platform::ERROR_NOT_FOUND);  // nothing started
    EXPECT_EQ(panel().pressOk(), platform::ERROR_NOT_FOUND);

    ASSERT_EQ(panel().start("ctlpnl.exe", "cplmain.cpl,2,1"), platform::ERROR_SUCCESS);
    EXPECT_EQ(panel().findThemeList(items), platform::ERROR_NOT_FOUND);  // not shown yet (phone at speed 1)
    EXPECT_EQ(panel().pressItem(1), platform::ERROR_NOT_FOUND);
    clock().setSpeed(1000);
    clock().sleep(CSimTodayThemePanel::kShowDelayMs);
    ASSERT_EQ(panel().findThemeList(items), platform::ERROR_SUCCESS);
    EXPECT_EQ(items, CSimTodayThemePanel::themes());
    EXPECT_EQ(panel().pressItem(items.size()), platform::ERROR_INVALID_PARAMETER);

    // Pressed on one item, released on another: no click.
    EXPECT_EQ(panel().pressItem(1), platform::ERROR_SUCCESS);
    EXPECT_EQ(panel().releaseItem(2), platform::ERROR_SUCCESS);
    // A click that is then closed without OK.
    panel().pressItem(3);
    panel().releaseItem(3);
    panel().close();
    EXPECT_EQ(kept(CSimTodayThemePanel::kTodayTheme), "Default");

    ASSERT_EQ(panel().start("ctlpnl.exe", "cplmain.cpl,2,1"), platform::ERROR_SUCCESS);
    clock().sleep(CSimTodayThemePanel::kShowDelayMs);
    panel().pressItem(1);
    panel().releaseItem(2);
    EXPECT_EQ(panel().pressOk(), platform::ERROR_SUCCESS);  // keeps the current theme
    EXPECT_EQ(kept(CSimTodayThemePanel::kTodayTheme), "Default");

    ASSERT_EQ(panel().start("ctlpnl.exe", "cplmain.cpl,2,1"), platform::ERROR_SUCCESS);
    clock().sleep(CSimTodayThemePanel::kShowDelayMs);
    panel().pressItem(2);
    panel().releaseItem(2);
    EXPECT_EQ(kept(CSimTodayThemePanel::kTodayTheme), "Default");
    EXPECT_EQ(panel().pressOk(), platform::ERROR_SUCCESS);
    EXPECT_EQ(kept(CSimTodayThemePanel::kTodayTheme), "Sunset");
    EXPECT_EQ(panel().findThemeList(items), platform::ERROR_NOT_FOUND);  // OK closed it
}

TEST_F(SimShellTest, ThemesAreListedWithoutOpeningThePanel) {
    std::vector<std::string> themes;
    EXPECT_EQ(panel().listThemes(themes), platform::ERROR_SUCCESS);
    EXPECT_EQ(themes, CSimTodayThemePanel::themes());
    EXPECT_FALSE(dynamic_cast<CSimTodayThemePanel&>(panel()).isOpen());
}

}  // namespace

// The thread-run actions of a time frame (open a file, ring tone, Today theme) on the simulated
// phone: their delay, what they change, their event-log entries, and the end of their threads.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "core/CLogEvent.h"
#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/SafeFormat.h"
#include "platform/sim/CSimClock.h"
#include "platform/sim/CSimPhone.h"
#include "platform/sim/CSimShell.h"
#include "platform/sim/CSimTodayThemePanel.h"
#include "schedule/CActionThreads.h"
#include "support/TempHome.h"

namespace {

using platform::RegRoot;
using platform::sim::CSimShell;
using platform::sim::CSimTodayThemePanel;

class ActionThreadsTest : public ::testing::Test {
  protected:
    ActionThreadsTest() {
        CInstaller(home.services().home()).Install();
        config = std::make_unique<CConfigurationZentrova>();
        clock().setSpeed(1000);
    }
    ~ActionThreadsTest() override {
        CLogMgr::Destroy();
        config.reset();
    }

    static CStrAction action(int code, const std::string& szOp1, int delay = 0) {
        CStrAction a;
        a.SetId(code);
        a.SetSzOp1(szOp1);
        a.SetDelay(delay);
        return a;
    }
    std::string makeFile(const std::string& name) {
        std::string path = (home.root() / name).string();
        std::ofstream(path) << "x";
        return path;
    }
    static std::vector<CLogEvent> entries() {
        std::vector<CLogEvent> out;
        for (const CLogEvent& e : CLogMgr::GetInstance()->GetQueue()) {
            if (e.GetSource() == CLogEvent::SOURCE_SCHEDULE_ENGINE) {
                out.push_back(e);
            }
        }
        return out;
    }
    template <typename... Args>
    static std::string text(const char* key, const Args&... args) {
        return SafeSprintf(CTextsMgr::GetInstance()->GetText(key), args...);
    }
    std::string kept(const char* name) {
        return platform::sim::CSimPhone::loadSettings(home.services().home())[name];
    }
    uint32_t ringVolume() {
        uint32_t v = 0;
        registry().getDword(RegRoot::CurrentUser, CActionThreads::kRingVolumeKey,
                            CActionThreads::kRingVolumeValue, v);
        return v;
    }
    std::string ringScript() {
        std::string s;
        registry().getString(RegRoot::CurrentUser, CActionThreads::kRingScriptKey,
                             CActionThreads::kRingScriptValue, s);
        return s;
    }
    platform::sim::CSimClock& clock() {
        return dynamic_cast<platform::sim::CSimClock&>(home.services().clock());
    }
    platform::IRegistry& registry() { return home.services().registry(); }
    CSimTodayThemePanel& panel() {
        return dynamic_cast<CSimTodayThemePanel&>(home.services().todayThemePanel());
    }

    TempHome home;
    std::unique_ptr<CConfigurationZentrova> config;
};

TEST_F(ActionThreadsTest, OpenFileWaitsItsDelayOnItsOwnThreadThenOpensAndLogs) {
    std::string file = makeFile("agenda.txt");
    CActionThreads threads;
    uint32_t before = clock().tickCount();
    ASSERT_TRUE(threads.Start(action(CActionThreads::kCodeOpenFile, file, 300)));
    // Five minutes of phone time are 300 ms here: the action has not run yet.
    EXPECT_TRUE(entries().empty());
    EXPECT_EQ(kept(CSimShell::kLastOpened), "");

    ASSERT_TRUE(threads.WaitAll(600000));
    EXPECT_GE(clock().tickCount() - before, 300000u);
    EXPECT_EQ(threads.GetRunningCount(), 0u);
    EXPECT_EQ(kept(CSimShell::kLastOpened), file);
    auto logged = entries();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].GetSeverity(), CLogEvent::SEVERITY_INFO);
    EXPECT_EQ(logged[0].GetResume(), text("EVENT_LOG_MGR_ACTION_OPEN_FILE_RESUME", file));
    EXPECT_EQ(logged[0].GetDescription(), text("EVENT_LOG_MGR_ACTION_OPEN_FILE_DESCRIPTION", file));

    EXPECT_FALSE(threads.Start(action(13, file)));  // not a thread-run action
}

TEST_F(ActionThreadsTest, AMissingFileIsLoggedAsAFailureWithTheShellsError) {
    std::string file = (home.root() / "missing.txt").string();
    CActionThreads::ThreadOpenFile(action(CActionThreads::kCodeOpenFile, file));
    auto logged = entries();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].GetSeverity(), CLogEvent::SEVERITY_ERROR);
    EXPECT_EQ(logged[0].GetResume(), text("EVENT_LOG_MGR_ACTION_OPEN_FILE_FAILED_RESUME", file));
    EXPECT_EQ(logged[0].GetDescription(), text("EVENT_LOG_MGR_ACTION_OPEN_FILE_FAILED_DESCRIPTION", file,
                                               static_cast<long>(platform::ERROR_FILE_NOT_FOUND)));
    EXPECT_EQ(kept(CSimShell::kLastOpened), "");
}

TEST_F(ActionThreadsTest, RingToneSetsVolumeOnlyFrom1To5AndScriptOnlyWhenGiven) {
    registry().setDword(RegRoot::CurrentUser, CActionThreads::kRingVolumeKey,
                        CActionThreads::kRingVolumeValue, 2);
    registry().setString(RegRoot::CurrentUser, CActionThreads::kRingScriptKey,
                         CActionThreads::kRingScriptValue, "old");
    std::string tone = makeFile("tone.wav");
    auto ring = [&](int volume, const std::string& script, const std::string& file) {
        CStrAction a = action(CActionThreads::kCodeRingTone, file);
        a.SetIntOp1(volume);
        a.SetSzOp2(script);
        CActionThreads::ThreadRingTone(a);
    };

    ring(0, "", tone);
    EXPECT_EQ(kept(CSimShell::kRingTone), tone);
    EXPECT_EQ(ringVolume(), 2u);
    EXPECT_EQ(ringScript(), "old");
    ring(6, "", tone);
    EXPECT_EQ(ringVolume(), 2u);

    ring(3, "Up", tone);
    EXPECT_EQ(ringVolume(), 3u);
    EXPECT_EQ(ringScript(), "Up");
    auto logged = entries();
    ASSERT_EQ(logged.size(), 3u);
    EXPECT_EQ(logged[2].GetSeverity(), CLogEvent::SEVERITY_INFO);
    EXPECT_EQ(logged[2].GetResume(), text("EVENT_LOG_MGR_ACTION_RING_TONE_RESUME", tone));
    EXPECT_EQ(logged[2].GetDescription(), text("EVENT_LOG_MGR_ACTION_RING_TONE_DESCRIPTION", tone, "Up", 3));

    // A sound file that is gone: the tone stays, the failure is logged; volume and script are
    // settings of their own and still apply.
    std::string gone = (home.root() / "gone.wav").string();
    ring(5, "Down", gone);
    EXPECT_EQ(kept(CSimShell::kRingTone), tone);
    EXPECT_EQ(ringVolume(), 5u);
    EXPECT_EQ(ringScript(), "Down");
    logged = entries();
    ASSERT_EQ(logged.size(), 4u);
    EXPECT_EQ(logged[3].GetSeverity(), CLogEvent::SEVERITY_ERROR);
    EXPECT_EQ(logged[3].GetResume(), text("EVENT_LOG_MGR_ACTION_RING_TONE_FAILED_RESUME", gone));
}

TEST_F(ActionThreadsTest, ThemeActionSelectsTheThemeInThePanelOnceItShows) {
    CActionThreads threads;
    ASSERT_TRUE(threads.StartTheme(action(CActionThreads::kCodeTheme, "Graphite", 5)));
    ASSERT_TRUE(threads.WaitAll(600000));
    EXPECT_EQ(kept(CSimTodayThemePanel::kTodayTheme), "Graphite");
    EXPECT_FALSE(panel().isOpen());
    auto logged = entries();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].GetResume(), text("EVENT_LOG_MGR_ACTION_THEME_RESUME", "Graphite"));
    EXPECT_EQ(logged[0].GetDescription(), text("EVENT_LOG_MGR_ACTION_THEME_DESCRIPTION", "Graphite"));

    // At once on this thread, with the program name quoted in the command.
    registry().setString(RegRoot::ClassesRoot, CActionThreads::kThemeCommandKey, "",
                         "\"\\Windows\\ctlpnl.exe\"  cplmain.cpl,2,1 ");
    CActionThreads::SetTheme("Ocean");
    EXPECT_EQ(kept(CSimTodayThemePanel::kTodayTheme), "Ocean");
    EXPECT_FALSE(panel().isOpen());
}

TEST_F(ActionThreadsTest, ThemeNotInTheListChangesNothing) {
    CActionThreads::SetTheme("Aurora");
    CActionThreads::SetTheme("ocean");  // names are compared exactly
    EXPECT_EQ(kept(CSimTodayThemePanel::kTodayTheme), "Default");
    EXPECT_FALSE(panel().isOpen());
    EXPECT_EQ(entries().size(), 2u);  // the entries are still written
}

TEST_F(ActionThreadsTest, MissingOrUnusableThemeCommandGivesUpSilently) {
    for (const char* command : {"", "ctlpnl.exe", "ctlpnl.exe   ", "\"ctlpnl.exe cplmain.cpl,2,1"}) {
        SCOPED_TRACE(command);
        if (*command) {
            registry().setString(RegRoot::ClassesRoot, CActionThreads::kThemeCommandKey, "", command);
        } else {
            registry().deleteValue(RegRoot::ClassesRoot, CActionThreads::kThemeCommandKey, "");
        }
        CActionThreads::SetTheme("Ocean");
        EXPECT_EQ(kept(CSimTodayThemePanel::kTodayTheme), "Default");
        EXPECT_FALSE(panel().isOpen());
    }
    EXPECT_EQ(entries().size(), 4u);  // only the theme entries
}

TEST_F(ActionThreadsTest, FinishDropsActionsStillWaitingAndJoinsTheirThreads) {
    clock().setSpeed(1);
    std::string file = makeFile("late.txt");
    CActionThreads threads;
    ASSERT_TRUE(threads.StartOpenFile(action(CActionThreads::kCodeOpenFile, file, 3600)));
    ASSERT_TRUE(threads.StartTheme(action(CActionThreads::kCodeTheme, "Sunset", 3600)));
    EXPECT_FALSE(threads.WaitAll(50));
    EXPECT_EQ(threads.GetRunningCount(), 2u);

    auto start = std::chrono::steady_clock::now();
    threads.Finish();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(threads.GetRunningCount(), 0u);
    EXPECT_TRUE(entries().empty());
    EXPECT_EQ(kept(CSimShell::kLastOpened), "");
    EXPECT_EQ(kept(CSimTodayThemePanel::kTodayTheme), "Default");
    EXPECT_FALSE(threads.StartOpenFile(action(CActionThreads::kCodeOpenFile, file)));
}

}  // namespace

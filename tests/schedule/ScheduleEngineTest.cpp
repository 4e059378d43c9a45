// The schedule engine's decisions over a scripted radio: which frame starts when the phone
// moves, when nothing may change (profile change mode, locked), what it learns in location-area
// mode, and the wake-ups it asks for.

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "core/CTextsMgr.h"
#include "core/IMainPanel.h"
#include "location/CCellMgr.h"
#include "location/CRilMgr.h"
#include "managers/CMobilePhoneMgr.h"
#include "platform/CProcessLauncher.h"
#include "schedule/CScheduleEngine.h"
#include "store/CDB.h"
#include "store/CStrAction.h"
#include "store/CStrCell.h"
#include "store/CStrLAC.h"
#include "store/CTableActions.h"
#include "store/CTableCell.h"
#include "store/CTableLAC.h"
#include "store/CTablePeriods.h"
#include "store/CTablePlaces.h"
#include "support/ChildProcess.h"
#include "support/RecordingMgr.h"
#include "support/ScriptedPhone.h"

namespace {

// The panel as the engine sees it: only the place and frame shown are kept.
struct RecordingPanel : IMainPanel {
    void InvalidatePanel(Area) override {}
    void NotifyTodayPlugin(int, int) override {}
    void NotifyTodayPluginChangePosition(int, int) override {}
    void SetPlaceAndFrame(const std::string& place, const std::string& frame) override {
        std::lock_guard lock(m);
        shown = place + "|" + frame;
    }
    void UpdateNotificationsDebugInfo() override {}
    void SetWaitCursor(bool) override {}
    std::string Shown() {
        std::lock_guard lock(m);
        return shown;
    }
    std::mutex m;
    std::string shown;
};

class ScheduleEngineTest : public ScriptedPhoneTest {
  protected:
    ScheduleEngineTest() {
        CCellMgr::ResetInstance();
        db = std::make_unique<CDB>();
        db->OpenDB(1);  // on the fast clock: making each table pauses
        clock->setSpeed(1);
        setNow(2026, 12, 7, 10, 0);  // a Monday
        home = addPlace("Home");
        office = addPlace("Office");
        addFrame(home, 0, 0, 0, 0, "All day", 1);  // 24 hours, Wi-Fi on
        addFrame(office, 9, 0, 17, 0, "Work", 0);  // Wi-Fi off at the start
        assignCell(1111, home);
        assignCell(2222, office);
        phone = std::make_unique<CMobilePhoneMgr>();
        phone->Initialize();
        phone->RefreshStatus(1);
        ril = std::make_unique<CRilMgr>();
        ril->Initialize();
        engine = CScheduleEngine::GetInstance();
        this->ril->AddStatusListener(engine);
    }
    ~ScheduleEngineTest() override {
        ril->RemoveStatusListener(engine);
        CScheduleEngine::DestroyInstance();
        ril.reset();
        phone.reset();
        CCellMgr::ResetInstance();
        db.reset();
    }
    void setNow(int y, int mo, int d, int h, int mi) {
        clock->setLocalMillis(platform::sim::CSimClock::toMillis(
            {static_cast<uint16_t>(y), static_cast<uint16_t>(mo), 0, static_cast<uint16_t>(d),
             static_cast<uint16_t>(h), static_cast<uint16_t>(mi), 0, 0}));
    }
    int addPlace(const std::string& name) {
        CStrPlace place;
        place.SetName(name);
        db->GetTablePlaces()->Add(place);
        return place.GetId();
    }
    // One frame on each weekday (Monday to Friday, or every day for a 24-hour frame) with one
    // Wi-Fi action at its start.
    void addFrame(int place, int h1, int m1, int h2, int m2, const std::string& name, int wifi) {
        int lastDay = (h1 == h2 && m1 == m2) ? 7 : 5;
        for (int day = 1; day <= lastDay; ++day) {
            CStrPeriod period(
                -1, name, place,
                SYSTEMTIME{2026, 1, 0, 1, static_cast<uint16_t>(h1), static_cast<uint16_t>(m1), 0, 0},
                SYSTEMTIME{2026, 1, 0, 1, static_cast<uint16_t>(h2), static_cast<uint16_t>(m2), 0, 0});
            period.SetWeekDay(day);
            db->GetTablePeriods()->Add(period);
            CStrAction action;
            action.SetIdPeriod(period.GetId());
            action.SetId(CMgr::MGR_WIFI);
            action.SetType(0);
            action.SetIntOp1(wifi);
            action.SetIntOp2(0);
            db->GetTableActions()->Add(action);
        }
    }
    void assignCell(int cell, int place) {
        CStrCell record;
        record.SetIdCell(cell);
        record.SetIdPlace(place);
        db->GetTableCell()->Add(record);
    }
    bool waitForForced(size_t count) {
        return WaitUntil([&] { return wifi.Forced().size() >= count; });
    }
    bool idle() {
        return WaitUntil([&] { return engine->GetCountCommandsPending() == 0; }) &&
               (std::this_thread::sleep_for(std::chrono::milliseconds(300)),
                engine->GetCountCommandsPending() == 0);
    }
    // Every pending frame wake-up of this program (id 7).
    std::vector<std::string> frameWakeUps() {
        std::vector<std::string> out;
        auto& n = services->notifications();
        for (uint32_t handle : n.getUserNotificationHandles()) {
            platform::UserNotificationTrigger t;
            if (n.getUserNotification(handle, t) && t.arguments.rfind("timer_notification_07", 0) == 0) {
                out.push_back(t.arguments);
            }
        }
        return out;
    }
    CStrPlace placeRecord(int id) {
        CStrPlace place;
        place.SetId(id);
        db->GetTablePlaces()->FindAndFill(place);
        return place;
    }
    // The time of the engine's pending frame wake-up ("" when none).
    std::string pendingWakeUp() {
        auto& n = services->notifications();
        for (uint32_t handle : n.getUserNotificationHandles()) {
            platform::UserNotificationTrigger t;
            if (n.getUserNotification(handle, t) && t.arguments.rfind("timer_notification_07", 0) == 0) {
                return t.arguments;
            }
        }
        return "";
    }

    RecordingMgr wifi;
    std::unique_ptr<CDB> db;
    std::unique_ptr<CMobilePhoneMgr> phone;
    std::unique_ptr<CRilMgr> ril;
    CScheduleEngine* engine = nullptr;
    int home = 0;
    int office = 0;
};

TEST_F(ScheduleEngineTest, MovingToAnotherPlaceEndsTheFrameAndStartsTheNewPlacesFrame) {
    ScriptedPhoneTest::ril->notifyLocation(1111, 10);
    ASSERT_TRUE(waitForForced(1));
    EXPECT_EQ(wifi.Forced()[0].first, 1);
    EXPECT_EQ(engine->GetCurrentPeriod().GetIdPlace(), home);
    EXPECT_EQ(config->GetLongParameter("last_place"), static_cast<uint32_t>(home));
    // The 24-hour frame ends tomorrow at midnight.
    EXPECT_EQ(pendingWakeUp(), "timer_notification_07_00_2026_12_08_00_00_00");

    ScriptedPhoneTest::ril->notifyLocation(2222, 10);
    ASSERT_TRUE(waitForForced(2));
    EXPECT_EQ(wifi.Forced()[1].first, 0);
    EXPECT_EQ(engine->GetCurrentPeriod().GetName(), "Work");
    EXPECT_EQ(pendingWakeUp(), "timer_notification_07_00_2026_12_07_17_00_00");
    auto log = logged(CScheduleEngine::kLogSource);
    EXPECT_NE(std::find(log.begin(), log.end(), "Start Office - Work(09:00-17:00) (1)"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "End Home - All day (0)"), log.end());
    // The descriptions name one action in the singular, none in the plural.
    std::vector<std::string> descriptions;
    for (const CLogEvent& e : CLogMgr::GetInstance()->GetQueue()) {
        if (e.GetSource() == CScheduleEngine::kLogSource) {
            descriptions.push_back(e.GetDescription());
        }
    }
    EXPECT_NE(std::find(descriptions.begin(), descriptions.end(),
                        "Office: the time frame Work(09:00-17:00) has started (1 action)."),
              descriptions.end());
    EXPECT_NE(std::find(descriptions.begin(), descriptions.end(),
                        "Home: the time frame All day has ended (0 actions)."),
              descriptions.end());

    // The same place again changes nothing.
    ScriptedPhoneTest::ril->notifyLocation(2223, 10);
    assignCell(2223, office);
    ASSERT_TRUE(idle());
    EXPECT_EQ(wifi.Forced().size(), 2u);
}

TEST_F(ScheduleEngineTest, ProfileChangeModeAndLockingKeepThePlace) {
    config->SetLongParameter("profile_change_mode", 1);
    ScriptedPhoneTest::ril->notifyLocation(1111, 10);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(wifi.Forced().empty());
    config->SetLongParameter("profile_change_mode", 0);

    CStrPlace officePlace;
    officePlace.SetId(office);
    db->GetTablePlaces()->FindAndFill(officePlace);
    engine->SetLockedPlace(officePlace);
    ASSERT_TRUE(waitForForced(1));
    EXPECT_EQ(config->GetLongParameter("locked_profile"), static_cast<uint32_t>(office));
    ScriptedPhoneTest::ril->notifyLocation(1112, 10);
    assignCell(1112, home);
    ScriptedPhoneTest::ril->notifyLocation(1111, 10);
    ASSERT_TRUE(idle());
    EXPECT_EQ(wifi.Forced().size(), 1u);
    EXPECT_EQ(engine->GetCurrentPeriod().GetIdPlace(), office);

    // Unlocked, the place the phone is in counts again.
    engine->SetLockedMode(0);
    engine->ChangeInDB();
    ASSERT_TRUE(waitForForced(2));
    EXPECT_EQ(config->GetLongParameter("locked_profile"), 0u);
    EXPECT_EQ(engine->GetCurrentPeriod().GetIdPlace(), home);
}

TEST_F(ScheduleEngineTest, AreaModeLearnsTheCellAndDropsAStaleAssociation) {
    config->SetLongParameter("intelligent_lac_mode", 1);
    ril->SetLocationMode(0);
    CStrLAC lac;
    lac.SetIdLac(55);
    lac.SetIdPlace(home);
    db->GetTableLAC()->Add(lac);
    ScriptedPhoneTest::ril->notifyLocation(4444, 55);
    ASSERT_TRUE(waitForForced(1));
    // The same area with a new cell: nothing changes, but the cell is learned for Home.
    ScriptedPhoneTest::ril->notifyLocation(4445, 55);
    ASSERT_TRUE(idle());
    CStrCell learned;
    learned.SetIdCell(4445);
    ASSERT_TRUE(db->GetTableCell()->FindAndFill(learned));
    EXPECT_EQ(learned.GetIdPlace(), home);

    // An area associated with a place that no longer exists.
    CStrLAC stale;
    stale.SetIdLac(66);
    stale.SetIdPlace(424242);
    db->GetTableLAC()->Add(stale);
    ScriptedPhoneTest::ril->notifyLocation(5555, 66);
    ASSERT_TRUE(idle());
    stale.SetIdLac(66);
    EXPECT_FALSE(db->GetTableLAC()->FindAndFill(stale));
    auto log = logged(CScheduleEngine::kLogSource);
    EXPECT_NE(
        std::find(log.begin(), log.end(), CTextsMgr::GetInstance()->GetText("LAC ASSIGNED BUT NO PLACE")),
        log.end());
    EXPECT_EQ(engine->GetCurrentPeriod().GetId(), -1);
}

TEST_F(ScheduleEngineTest, WakeUpForTheCurrentMinuteIsTomorrow) {
    engine->SetPeriodNotification(1, 10, 0);
    EXPECT_EQ(pendingWakeUp(), "timer_notification_07_01_2026_12_08_10_00_00");
    engine->SetPeriodNotification(1, 10, 1);
    EXPECT_EQ(pendingWakeUp(), "timer_notification_07_01_2026_12_07_10_01_00");
}

TEST_F(ScheduleEngineTest, NightFrameFoundAfterMidnightEndsThisMorning) {
    int night = addPlace("Night");
    addFrame(night, 22, 0, 6, 0, "Sleep", 0);
    assignCell(3333, night);
    setNow(2026, 12, 8, 2, 0);  // Tuesday, in the early part of a 22:00-06:00 frame
    ScriptedPhoneTest::ril->notifyLocation(3333, 10);
    ASSERT_TRUE(waitForForced(1));
    EXPECT_EQ(engine->GetCurrentPeriod().GetName(), "Sleep");
    EXPECT_EQ(pendingWakeUp(), "timer_notification_07_00_2026_12_08_06_00_00");
}

TEST_F(ScheduleEngineTest, FrameEndWithThePhoneOffWaitsForTheNextReportAndUsesTheLastPlace) {
    ScriptedPhoneTest::ril->notifyLocation(2222, 10);
    ASSERT_TRUE(waitForForced(1));
    setRadio(false);
    phone->RefreshStatus(0);
    setNow(2026, 12, 7, 17, 0);
    engine->TimeNotification(7, 0, SYSTEMTIME{2026, 12, 1, 7, 17, 0, 0, 0});
    ASSERT_TRUE(idle());
    // Office has nothing after 17:00 today: the next start is tomorrow at 09:00.
    EXPECT_EQ(engine->GetCurrentPeriod().GetId(), -1);
    EXPECT_EQ(pendingWakeUp(), "timer_notification_07_01_2026_12_08_09_00_00");
}

TEST_F(ScheduleEngineTest, AlwaysOnFrameLocksThePhoneOnItsPlace) {
    CStrPeriod always(-1, "Meeting", office, SYSTEMTIME{2026, 1, 0, 1, 9, 30, 0, 0},
                      SYSTEMTIME{2026, 1, 0, 1, 11, 0, 0, 0});
    always.SetWeekDay(1);
    always.SetAlwaysOn(1);
    db->GetTablePeriods()->Add(always);
    engine->Init();
    ASSERT_TRUE(idle());
    EXPECT_EQ(engine->GetLockedMode(), 1);
    EXPECT_EQ(engine->GetLockedPlace().GetId(), office);
    EXPECT_EQ(engine->GetCurrentPeriod().GetName(), "Meeting");
    EXPECT_EQ(config->GetLongParameter("locked_profile"), static_cast<uint32_t>(office));
    // Its end unlocks; a lock of the user's is not ended by it.
    setNow(2026, 12, 7, 11, 0);
    engine->TimeNotification(8, 0, SYSTEMTIME{2026, 12, 1, 7, 11, 0, 0, 0});
    ASSERT_TRUE(idle());
    EXPECT_EQ(engine->GetLockedMode(), 0);
    EXPECT_EQ(config->GetLongParameter("locked_profile"), 0u);
    CStrPlace homePlace;
    homePlace.SetId(home);
    db->GetTablePlaces()->FindAndFill(homePlace);
    engine->SetLockedPlace(homePlace);
    engine->TimeNotification(8, 0, SYSTEMTIME{2026, 12, 1, 7, 11, 0, 0, 0});
    ASSERT_TRUE(idle());
    EXPECT_EQ(engine->GetLockedMode(), 1);
    // Later in the day the next always-on start is a week away, and its texts are ready.
    engine->SetLockedMode(0);
    ASSERT_TRUE(idle());
    setNow(2026, 12, 7, 12, 0);
    engine->ManageNextPeriodAlwaysOn();
    EXPECT_NE(engine->GetNextExecutionResume().find("Office"), std::string::npos);
}

TEST_F(ScheduleEngineTest, EntryPointsOfOtherThreadsWaitTheirTurnOnTheWorker) {
    clock->setSpeed(1000);  // the engine's 3-second waits take a few milliseconds
    // A report that waits while the phone radio is being switched keeps the worker busy.
    phone->SetStatus(CMgr::kStatusNeverRead);
    ScriptedPhoneTest::ril->notifyLocation(1111, 10);
    ASSERT_TRUE(WaitUntil([&] { return engine->GetStatusReports() == 1; }));
    // A lock asked for meanwhile runs after it, not on the asking thread.
    engine->SetLockedPlace(placeRecord(office));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(engine->GetLockedMode(), 0);
    EXPECT_EQ(config->GetLongParameter("locked_profile"), 0u);
    phone->SetStatus(0);
    ASSERT_TRUE(idle());
    EXPECT_EQ(engine->GetLockedMode(), 1);
    EXPECT_EQ(engine->GetCurrentPeriod().GetIdPlace(), office);
}

TEST_F(ScheduleEngineTest, AReportWhileTheRadioIsSwitchedIsJudgedWhenThePhoneIsReady) {
    clock->setSpeed(100);  // the report waits up to two minutes of phone time: 1.2 s here
    phone->SetBlocked(1);  // the location poll switched the radio on
    ScriptedPhoneTest::ril->notifyLocation(2222, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(wifi.Forced().empty());
    phone->SetBlocked(0);
    ASSERT_TRUE(waitForForced(1));
    EXPECT_EQ(engine->GetCurrentPeriod().GetName(), "Work");
}

TEST_F(ScheduleEngineTest, WakeUpsOfAnEarlierRunAreTakenOverAndTheRunningEndIsKept) {
    // Two copies of one frame end left by runs that crashed.
    for (int copy = 0; copy < 2; ++copy) {
        platform::UserNotificationTrigger trigger;
        trigger.start = SYSTEMTIME{2026, 12, 1, 7, 17, 0, 0, 0};
        trigger.application = platform::CProcessLauncher::selfExecutable().string();
        trigger.arguments = "timer_notification_07_00_2026_12_07_17_00_00";
        services->notifications().setUserNotification(trigger);
    }
    engine->Init();
    ASSERT_TRUE(idle());
    EXPECT_EQ(frameWakeUps().size(), 1u);
    ScriptedPhoneTest::ril->notifyLocation(2222, 10);
    ASSERT_TRUE(waitForForced(1));
    ASSERT_TRUE(idle());
    EXPECT_EQ(frameWakeUps(), std::vector<std::string>{"timer_notification_07_00_2026_12_07_17_00_00"});
    // A start planned while Work runs does not drop Work's end.
    engine->SetPeriodNotification(1, 18, 0);
    EXPECT_EQ(frameWakeUps(), std::vector<std::string>{"timer_notification_07_00_2026_12_07_17_00_00"});
}

TEST_F(ScheduleEngineTest, ThePanelFollowsEveryExecutionAndClearsWhenTheFrameOrPlaceGoes) {
    RecordingPanel panel;
    IMainPanel::Install(&panel);
    struct Uninstall {
        RecordingPanel* panel;
        ~Uninstall() { IMainPanel::Uninstall(panel); }
    } uninstall{&panel};
    ScriptedPhoneTest::ril->notifyLocation(2222, 10);
    ASSERT_TRUE(waitForForced(1));
    ASSERT_TRUE(idle());
    EXPECT_EQ(panel.Shown(), "Office|Work");
    // A cell that belongs to no place: no place, no frame.
    ScriptedPhoneTest::ril->notifyLocation(9999, 10);
    ASSERT_TRUE(idle());
    EXPECT_EQ(panel.Shown(), "|");
    // Back at the office, then the frame ends.
    ScriptedPhoneTest::ril->notifyLocation(2222, 10);
    ASSERT_TRUE(waitForForced(2));
    ASSERT_TRUE(idle());
    EXPECT_EQ(panel.Shown(), "Office|Work");
    setNow(2026, 12, 7, 17, 0);
    engine->TimeNotification(7, 0, SYSTEMTIME{2026, 12, 1, 7, 17, 0, 0, 0});
    ASSERT_TRUE(idle());
    EXPECT_EQ(panel.Shown(), "|");
}

TEST_F(ScheduleEngineTest, ReportsWaitingInTheQueueMergeIntoTheLatest) {
    clock->setSpeed(1000);
    phone->SetStatus(CMgr::kStatusNeverRead);  // the first report waits for the phone
    ScriptedPhoneTest::ril->notifyLocation(1111, 10);
    ASSERT_TRUE(WaitUntil([&] { return engine->GetStatusReports() == 1; }));
    // A burst of moves while it waits: Home, Office, Home, ..., ending at the Office.
    for (int move = 0; move < 10; ++move) {
        ScriptedPhoneTest::ril->notifyLocation(move % 2 == 0 ? 1111 : 2222, 10);
    }
    phone->SetStatus(0);
    ASSERT_TRUE(idle());
    EXPECT_EQ(engine->GetStatusReports(), 2);
    EXPECT_EQ(engine->GetCurrentPeriod().GetName(), "Work");
}

}  // namespace

// The location engine over a scripted radio interface: readings, place lookup, the cell history,
// the signal level and the battery and current history files.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "core/Utf16.h"
#include "location/CCellMgr.h"
#include "location/CRilMgr.h"
#include "managers/CMobilePhoneMgr.h"
#include "managers/CNotificationBroker.h"
#include "store/CDB.h"
#include "store/CStrCell.h"
#include "store/CStrLAC.h"
#include "store/CTableCell.h"
#include "store/CTableLAC.h"
#include "store/CTablePlaces.h"
#include "support/ChildProcess.h"
#include "support/ScriptedPhone.h"

namespace {

struct RecordingListener : IStatusListener {
    void StatusChanged(int, int, int code) override {
        std::lock_guard lock(m);
        codes.push_back(code);
    }
    std::string& GetName() override { return name; }
    int count(int code) {
        std::lock_guard lock(m);
        return static_cast<int>(std::count(codes.begin(), codes.end(), code));
    }
    std::mutex m;
    std::vector<int> codes;
    std::string name = "test";
};

std::string readUtf8(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Utf16LeToUtf8(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
}

class RilMgrTest : public ScriptedPhoneTest {
  protected:
    RilMgrTest() {
        CCellMgr::ResetInstance();
        db = std::make_unique<CDB>();
        db->OpenDB(1);
        CStrPlace home;
        home.SetName("Home");
        db->GetTablePlaces()->Add(home);
        homeId = home.GetId();
        CStrCell cell;
        cell.SetIdCell(1234);
        cell.SetIdPlace(homeId);
        db->GetTableCell()->Add(cell);
        CStrLAC lac;
        lac.SetIdLac(56);
        lac.SetIdPlace(homeId);
        db->GetTableLAC()->Add(lac);
    }
    ~RilMgrTest() override {
        CCellMgr::ResetInstance();
        db.reset();
    }
    std::unique_ptr<CDB> db;
    int homeId = 0;
};

TEST(SignalLevel, RangeOfTheRecordGivesThePercentage) {
    auto record = [](uint32_t mask, int strength, int min, int max) {
        return ScriptedRil::words({32, static_cast<int32_t>(mask), strength, min, max}, 32);
    };
    EXPECT_EQ(CRilMgr::ProcessQualityInfo(record(7, -80, -113, -51)), 53);
    EXPECT_EQ(CRilMgr::ProcessQualityInfo(record(7, -113, -113, -51)), 0);
    EXPECT_EQ(CRilMgr::ProcessQualityInfo(record(7, -51, -113, -51)), 100);
    // Without minimum or maximum there is no level.
    EXPECT_EQ(CRilMgr::ProcessQualityInfo(record(1 | 2, -80, -113, -51)), -1);
    // An empty range divides by nothing: full at the maximum, none below.
    EXPECT_EQ(CRilMgr::ProcessQualityInfo(record(7, -60, -60, -60)), 100);
    EXPECT_EQ(CRilMgr::ProcessQualityInfo(record(7, -70, -60, -60)), 0);
    // A strength outside the range still fits the bar.
    EXPECT_EQ(CRilMgr::ProcessQualityInfo(record(7, -40, -113, -51)), 100);
    EXPECT_EQ(CRilMgr::ProcessQualityInfo(record(7, -130, -113, -51)), 0);
}

TEST_F(RilMgrTest, ReadingsFindThePlaceRecordNewCellsAndTellListeners) {
    CRilMgr engine;
    engine.Initialize();
    ASSERT_EQ(ril->opens, 1);
    EXPECT_EQ(ril->notifyClasses, platform::RIL_NCLASS_NETWORK_MISC);
    RecordingListener listener;
    engine.AddStatusListener(&listener);

    ril->notifyLocation(1234, 56);
    EXPECT_EQ(engine.GetCellID(), 1234);
    EXPECT_EQ(engine.GetCurrentPlace(), homeId);
    EXPECT_EQ(listener.count(1), 1);
    EXPECT_EQ(engine.GetLocEvents(), 1);
    EXPECT_EQ(config->GetLongParameter("location_notification_received"), 1u);

    // The same cell again: no history entry, listeners not told (no refresh asked for it).
    ril->notifyLocation(1234, 56);
    EXPECT_EQ(CCellMgr::GetInstance()->GetQueue().size(), 1u);
    EXPECT_EQ(listener.count(1), 1);
    // ... unless a refresh with a non-zero mode asked for the reading.
    engine.RefreshStatus(1);
    ril->replyTower(1234, 56);
    EXPECT_EQ(listener.count(1), 2);
    EXPECT_EQ(engine.GetRefreshStatusMode(), 0);

    // A cell of no place; readings with a non-positive cell or area are dropped.
    ril->notifyLocation(777, 56);
    EXPECT_EQ(engine.GetCurrentPlace(), 0);
    ril->notifyLocation(0, 56);
    EXPECT_EQ(engine.GetCellID(), 777);
    auto history = CCellMgr::GetInstance()->GetQueue();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].GetCell(), 777);
    EXPECT_EQ(history[0].GetType(), 1);
    EXPECT_EQ(history[0].GetIdProfile(), 0);
    EXPECT_EQ(history[1].GetProfile(), "Home");
    engine.RemoveStatusListener(&listener);
}

TEST_F(RilMgrTest, LocationModeChoosesAreaOrCellButThePlaceAlwaysComesFromTheCell) {
    CRilMgr engine;
    engine.Initialize();
    ril->notifyLocation(999, 56);  // area 56 belongs to Home, cell 999 to nobody
    EXPECT_EQ(engine.GetLocation(), 999);
    EXPECT_FALSE(engine.IsCurrentPlaceKnown());
    engine.SetLocationMode(0);
    EXPECT_EQ(config->GetLongParameter("location_mode"), 0u);
    EXPECT_EQ(engine.GetLocation(), 56);
    CStrPlace place;
    ASSERT_TRUE(engine.GetCurrentPlace(place));
    EXPECT_EQ(place.GetName(), "Home");
    EXPECT_EQ(engine.GetCurrentPlace(), 0);  // the radio-off decision's place: by cell id
}

TEST_F(RilMgrTest, CellHistoryIsBoundedNewestFirstAndRecalculatedAfterChanges) {
    config->SetLongParameter("cell_history_list_number", 3);
    CCellMgr::ResetInstance();
    CCellMgr* history = CCellMgr::GetInstance();
    for (int cell : {1, 2, 3, 4}) {
        history->CellChanged(cell, 56 + cell, 0);
    }
    auto queue = history->GetQueue();
    ASSERT_EQ(queue.size(), 3u);
    EXPECT_EQ(queue[0].GetCell(), 4);
    EXPECT_EQ(queue[2].GetCell(), 2);
    EXPECT_EQ(queue[0].GetIdProfile(), 0);

    // Cell 4 is associated with Home afterwards: only recalculation shows it.
    CStrCell cell;
    cell.SetIdCell(4);
    cell.SetIdPlace(homeId);
    db->GetTableCell()->Add(cell);
    EXPECT_EQ(history->GetQueue()[0].GetIdProfile(), 0);
    history->ChangesInDB();
    EXPECT_EQ(history->GetQueue()[0].GetIdProfile(), homeId);
    EXPECT_EQ(history->GetQueue()[0].GetProfile(), "Home");
    history->vaciar();
    EXPECT_TRUE(history->GetQueue().empty());
}

TEST_F(RilMgrTest, BatteryAndCurrentLinesAreWrittenExactlyAndRestartAtTheLimit) {
    config->SetLongParameter("battery_file_size", 1);
    CRilMgr engine;
    clock->setLocalMillis(platform::sim::CSimClock::toMillis({2026, 12, 0, 3, 9, 8, 7, 0}));
    power->percent = 250;  // above 100 (255 is "unknown") is stored and written as it is
    power->current = -5;
    engine.RefreshBatteryLevel();
    EXPECT_EQ(engine.GetBatteryLeval(), 250);
    std::string battery = readUtf8(engine.GetBatteryLogPath());
    EXPECT_EQ(battery.substr(battery.size() - 7), " 250%\r\n");
    // The same reading again is no change: no second line.
    engine.RefreshBatteryLevel();
    EXPECT_EQ(readUtf8(engine.GetBatteryLogPath()), battery);
    EXPECT_EQ(readUtf8(engine.GetCurrentLogPath()).substr(19), " -005mA\r\n");
    power->percent = 7;
    power->current = 5;
    engine.RefreshBatteryLevel();
    battery = readUtf8(engine.GetBatteryLogPath());
    EXPECT_EQ(battery.substr(battery.size() - 7), " 007%\r\n");
    std::string current = readUtf8(engine.GetCurrentLogPath());
    EXPECT_EQ(current.substr(current.size() - 9), " +005mA\r\n");
    EXPECT_EQ(current.substr(0, 10), "2026-12-03");

    // 1 KB holds 19 lines of 52 bytes: the 20th starts the file again as its only line.
    for (int level = 10; level < 28; ++level) {
        power->percent = static_cast<uint8_t>(level);
        engine.RefreshBatteryLevel();
    }
    battery = readUtf8(engine.GetBatteryLogPath());
    EXPECT_EQ(battery.size(), 26u);
    EXPECT_EQ(battery.substr(19), " 027%\r\n");
}

TEST_F(RilMgrTest, ClearingKeepsOnlyTheLatestHistoryAsBackup) {
    CRilMgr engine;
    engine.RefreshBatteryLevel();
    std::filesystem::path bak = engine.GetBatteryLogPath();
    bak.replace_extension(".bak");
    engine.ClearBatteryHistory();  // answered no: nothing moves
    EXPECT_FALSE(std::filesystem::exists(bak));
    boxes->setAnswerYes(true);
    power->percent = 50;
    engine.RefreshBatteryLevel();
    std::string first = readUtf8(engine.GetBatteryLogPath());
    engine.ClearBatteryHistory();
    EXPECT_EQ(readUtf8(bak), first);
    // The new file starts with the current value.
    EXPECT_NE(readUtf8(engine.GetBatteryLogPath()).find(" 050%\r\n"), std::string::npos);
    power->percent = 40;
    engine.RefreshBatteryLevel();
    std::string second = readUtf8(engine.GetBatteryLogPath());
    engine.ClearBatteryHistory();
    EXPECT_EQ(readUtf8(bak), second);
    EXPECT_EQ(readUtf8(bak).find(" 080%"), std::string::npos);

    // When the copy cannot be made (a folder stands in its place), the history stays whole and
    // goes on growing.
    std::filesystem::remove(bak);
    std::filesystem::create_directories(bak / "in-the-way");
    power->percent = 30;
    engine.RefreshBatteryLevel();
    const std::string kept = readUtf8(engine.GetBatteryLogPath());
    engine.ClearBatteryHistory();
    EXPECT_EQ(readUtf8(engine.GetBatteryLogPath()), kept);
    power->percent = 20;
    engine.RefreshBatteryLevel();
    EXPECT_EQ(readUtf8(engine.GetBatteryLogPath()).substr(0, kept.size()), kept);
}

}  // namespace

namespace {

TEST_F(RilMgrTest, SimulationAndBadLocationsFeedTheSameReadingPath) {
    CRilMgr engine;
    engine.Initialize();
    engine.StartTestChangeLocation();
    EXPECT_TRUE(WaitUntil([&] { return CCellMgr::GetInstance()->GetQueue().size() >= 2; }));
    engine.StartTestChangeLocation();  // already running: the user is told
    ASSERT_FALSE(boxes->shown().empty());
    EXPECT_EQ(boxes->shown().back().text, "Test was already running");
    engine.StopTestChangeLocation();
    EXPECT_EQ(engine.GetAreaCode(), 234);
    EXPECT_GE(engine.GetCellID(), 10);

    engine.BadLocations();
    ScriptedPhoneTest::ril->notifyLocation(1234, 56);
    EXPECT_EQ(engine.GetCellID(), CRilMgr::kBadLocation);
    EXPECT_EQ(engine.GetAreaCode(), CRilMgr::kBadLocation);
}

bool Armed(int id) {
    auto map = CMgr::GetMapMgrNotifi();
    auto it = map.find(id);
    return it != map.end() && it->second != 0;
}

TEST_F(RilMgrTest, PollingSurvivesAForcedReadingAndFollowsItsSetting) {
    config->SetLongParameter("refresh_location", 5);
    CNotificationBroker broker;
    CRilMgr engine;
    engine.Initialize();
    ASSERT_TRUE(Armed(CMgr::MGR_RIL));
    // A forced reading (an action, the highest power) clears the manager's notification, which is
    // the poll: it is armed again.
    engine.SetMaxPower();
    EXPECT_TRUE(WaitUntil([] { return Armed(CMgr::MGR_RIL); }));
    // Switching polling off in the settings takes effect at once, and on again too.
    config->SetLongParameter("refresh_location", 0);
    EXPECT_TRUE(WaitUntil([] { return !Armed(CMgr::MGR_RIL); }));
    config->SetLongParameter("refresh_location", 7);
    EXPECT_TRUE(WaitUntil([] { return Armed(CMgr::MGR_RIL); }));
    EXPECT_EQ(engine.GetRefreshPeriod(), 7);
}

TEST_F(RilMgrTest, APollThatSwitchesTheRadioKeepsTheUsersTimeLimit) {
    setRadio(false);
    CMobilePhoneMgr phone;
    phone.Initialize();
    phone.RefreshStatus(1);
    ASSERT_EQ(phone.GetStatus(), 1);
    // The user switched the radio off for 30 minutes.
    phone.ForceStatus(1, 30, 0, 0);
    ASSERT_TRUE(WaitUntil([] { return Armed(CMgr::MGR_PHONE); }));

    config->SetLongParameter("refresh_location", 5);
    config->SetLongParameter("refresh_location_turn_on_radio", 1);
    CRilMgr engine;
    engine.Initialize();
    engine.ProcessTimerNotification(0);
    // The poll asked for the radio (the scripted line leaves it off, so the poll is skipped)...
    EXPECT_TRUE(WaitUntil([&] {
        const auto kinds = line->kinds();
        return std::find(kinds.begin(), kinds.end(), "full") != kinds.end();
    }));
    // ...and the user's change still reverts when its time is up.
    EXPECT_TRUE(Armed(CMgr::MGR_PHONE));
    EXPECT_TRUE(Armed(CMgr::MGR_RIL));
}

TEST_F(RilMgrTest, LosingCoverageIsToldOnceAndACellBringsThePlaceBack) {
    CRilMgr engine;
    engine.Initialize();
    RecordingListener listener;
    engine.AddStatusListener(&listener);
    ril->notifyLocation(1234, 56);
    ASSERT_EQ(listener.count(1), 1);
    ril->notifyLocation(0, 0);
    ril->notifyLocation(0, 0);
    EXPECT_EQ(listener.count(1), 2);
    EXPECT_TRUE(engine.IsWithoutCoverage());
    EXPECT_EQ(engine.GetCellID(), 0);
    ril->notifyLocation(1234, 56);
    EXPECT_EQ(listener.count(1), 3);
    EXPECT_FALSE(engine.IsWithoutCoverage());
    EXPECT_EQ(engine.GetCurrentPlace(), homeId);
    engine.RemoveStatusListener(&listener);
}

}  // namespace

// Every action code of a frame reaches what carries it out: a manager (with the values it needs
// before its status), the messaging manager, or the event log when nothing of this program does.

#include <gtest/gtest.h>

#include "core/CTextsMgr.h"
#include "core/SafeFormat.h"
#include "managers/CCallForwardMgr.h"
#include "managers/CMessageMgr.h"
#include "managers/CSpeakerMgr.h"
#include "schedule/CActionExecutor.h"
#include "store/CDB.h"
#include "store/CStrAction.h"
#include "store/CStrPeriod.h"
#include "store/CStrPlace.h"
#include "support/SimPhoneFixture.h"

namespace {

using ActionExecutorTest = SimPhoneFixture;

TEST_F(ActionExecutorTest, EveryCodeReachesItsManagerOrIsLoggedAsNotRun) {
    CDB db;
    db.OpenDB(1);
    CStrPlace place;
    place.SetName("Away");
    db.GetTablePlaces()->Add(place);
    CStrPeriod period(-1, "Trip", place.GetId(), SYSTEMTIME{2026, 1, 0, 1, 0, 0, 0, 0},
                      SYSTEMTIME{2026, 1, 0, 1, 0, 0, 0, 0});
    period.SetWeekDay(1);
    db.GetTablePeriods()->Add(period);
    struct Row {
        int code;
        int intOp1;
        int level;
        const char* sz1;
        const char* sz3;
    };
    // In table order: the speaker and forwarding take their level and number first; 4 (data
    // connections) and 99 have nothing in this program to run them.
    const Row rows[] = {{2, 2, 3, "", ""},
                        {51, 1, -1, "+34600111222", ""},
                        {14, 0, -1, "+34600999888", "Arrived"},
                        {4, 2, -1, "", ""},
                        {99, 1, -1, "", ""}};
    for (const Row& row : rows) {
        CStrAction action;
        action.SetIdPeriod(period.GetId());
        action.SetId(row.code);
        action.SetType(0);
        action.SetIntOp1(row.intOp1);
        action.SetIntOp2(0);
        action.SetIntOp3(row.level);
        action.SetSzOp1(row.sz1);
        action.SetSzOp3(row.sz3);
        db.GetTableActions()->Add(action);
    }
    CSpeakerMgr speaker;
    CCallForwardMgr forward;
    CMessageMgr messages;
    {
        CActionExecutor executor;
        executor.Run(db, period, place, 0);
    }
    ASSERT_TRUE(WaitUntil([&] { return phone().volume == CSpeakerMgr::VolumeOfLevel(3); }));
    ASSERT_TRUE(WaitUntil([&] { return phone().forwarding == "+34600111222"; }));
    ASSERT_TRUE(
        WaitUntil([&] { return platform::sim::CSimPhone::loadOutbox(home.services().home()).size() == 1; }));
    EXPECT_EQ(platform::sim::CSimPhone::loadOutbox(home.services().home())[0].text, "Arrived");
    std::vector<std::string> schedule = logged(CActionExecutor::kLogSource);
    for (int code : {4, 99}) {
        const std::string notRun = SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_ACTION_UNKNOWN_RESUME"), code);
        EXPECT_EQ(std::count(schedule.begin(), schedule.end(), notRun), 1) << code;
    }
    db.CloseDB(0);
}

}  // namespace

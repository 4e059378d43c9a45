// The location engine's poll on the simulated phone: with the phone radio off it switches the
// radio on for one reading and off again when the phone is still at the same place.

#include <gtest/gtest.h>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "location/CCellMgr.h"
#include "location/CRilMgr.h"
#include "managers/CMobilePhoneMgr.h"
#include "platform/sim/CSimClock.h"
#include "platform/sim/CSimPhone.h"
#include "store/CDB.h"
#include "store/CStrCell.h"
#include "store/CTableCell.h"
#include "store/CTablePlaces.h"
#include "support/ChildProcess.h"
#include "support/TempHome.h"

namespace {

class PollingTest : public ::testing::Test {
  protected:
    PollingTest() {
        // The poll's waits (15 s, then up to 5 × 5 s for the radio) take a fraction of a second.
        // Not faster: the radio's answer crosses several threads, and on a loaded machine (a
        // sanitizer run) they must still get their turn within the poll's 40 simulated seconds.
        dynamic_cast<platform::sim::CSimClock&>(home.services().clock()).setSpeed(200);
        CInstaller(home.services().home()).Install();
        config = std::make_unique<CConfigurationZentrova>();
        CMgr::SetMgrConfig("2222222222");
        config->SetLongParameter("allow_ril_notifications", 0);  // only polled readings
        config->SetLongParameter("refresh_location", 5);
        config->SetLongParameter("refresh_location_turn_on_radio", 1);
        CCellMgr::ResetInstance();
        db = std::make_unique<CDB>();
        db->OpenDB(1);
        CStrPlace place;
        place.SetName("Home");
        db->GetTablePlaces()->Add(place);
        CStrCell cell;
        cell.SetIdCell(1000);
        cell.SetIdPlace(place.GetId());
        db->GetTableCell()->Add(cell);
        // The phone's own handle on the state, as a user outside the program would change it.
        outside = std::make_unique<platform::sim::CSimPhone>(home.services().home(),
                                                             home.services().registry(), false);
        outside->setCell(1000, 100);
        phone = std::make_unique<CMobilePhoneMgr>();
        phone->Initialize();
        phone->RefreshStatus(1);
        engine = std::make_unique<CRilMgr>();
        engine->Initialize();
    }
    ~PollingTest() override {
        engine.reset();
        phone.reset();
        CCellMgr::ResetInstance();
        db.reset();
    }
    // Switches the radio off through the manager and waits until everyone knows it.
    void radioOff() {
        phone->ForceStatus(1, 0, 0, 0);
        ASSERT_TRUE(WaitUntil([&] { return phone->GetStatus() == 1 && engine->GetCellID() == 0; }));
    }

    TempHome home;
    std::unique_ptr<CConfigurationZentrova> config;
    std::unique_ptr<CDB> db;
    std::unique_ptr<platform::sim::CSimPhone> outside;
    std::unique_ptr<CMobilePhoneMgr> phone;
    std::unique_ptr<CRilMgr> engine;
};

TEST_F(PollingTest, RadioSwitchedOnForAReadingGoesOffAgainAtTheSamePlace) {
    ASSERT_TRUE(WaitUntil([&] { return engine->GetCurrentPlace() > 0; }));
    radioOff();
    engine->ProcessTimerNotification(0);
    EXPECT_TRUE(WaitUntil([&] { return engine->GetCellID() == 1000; }));
    // The same place: the manager switches the radio off again.
    EXPECT_TRUE(WaitUntil([&] { return !outside->state().radio && phone->GetStatus() == 1; }));
    // The poll is armed again.
    EXPECT_NE(CMgr::GetMapMgrNotifi()[CMgr::MGR_RIL], 0u);
}

TEST_F(PollingTest, RadioStaysOnWhenTheReadingFindsACellOfNoPlace) {
    ASSERT_TRUE(WaitUntil([&] { return engine->GetCurrentPlace() > 0; }));
    radioOff();
    outside->setCell(777, 100);
    engine->ProcessTimerNotification(0);
    ASSERT_TRUE(WaitUntil([&] { return engine->GetCellID() == 777; }));
    EXPECT_EQ(engine->GetCurrentPlace(), 0);
    // Give a wrongly made switch-off every chance to happen.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(outside->state().radio);
    EXPECT_EQ(phone->GetStatus(), 0);
}

TEST_F(PollingTest, WithoutPermissionToSwitchTheRadioOnThePollOnlyReArms) {
    config->SetLongParameter("refresh_location_turn_on_radio", 0);
    radioOff();
    engine->ProcessTimerNotification(0);
    EXPECT_EQ(engine->GetCellID(), 0);
    EXPECT_FALSE(outside->state().radio);
    EXPECT_NE(CMgr::GetMapMgrNotifi()[CMgr::MGR_RIL], 0u);
}

}  // namespace

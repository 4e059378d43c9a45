// Latency from a move of the phone to another place's cell, asked for over the control socket as
// `zentrova-device cell` asks, to the manager command of the new place's frame's first action.
// The path: the simulated phone's new serving cell, the radio interface's location notification,
// the location engine's reading and place lookup, the schedule engine's status command (ending the
// old frame, starting the new one) and the start actions. The phone's clock runs 1000 times
// faster, so the fixed 100 ms pause after each worker command takes 0.1 ms; the rest is measured
// as it comes. Reported as the median of repetitions.

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "location/CCellMgr.h"
#include "location/CRilMgr.h"
#include "managers/CMobilePhoneMgr.h"
#include "platform/CControlClient.h"
#include "platform/CControlServer.h"
#include "platform/sim/CSimClock.h"
#include "schedule/CScheduleEngine.h"
#include "store/CDB.h"
#include "store/CStrAction.h"
#include "store/CStrCell.h"
#include "store/CTableActions.h"
#include "store/CTableCell.h"
#include "store/CTablePeriods.h"
#include "store/CTablePlaces.h"
#include "support/RecordingMgr.h"
#include "support/TempHome.h"

namespace {

using Clock = std::chrono::steady_clock;

void AddPlace(CDB& db, const std::string& name, int cell, int wifi) {
    CStrPlace place;
    place.SetName(name);
    db.GetTablePlaces()->Add(place);
    for (int day = 1; day <= 7; ++day) {
        CStrPeriod period(-1, "Day", place.GetId(), SYSTEMTIME{2026, 1, 0, 1, 0, 0, 0, 0},
                          SYSTEMTIME{2026, 1, 0, 1, 0, 0, 0, 0});
        period.SetWeekDay(day);
        db.GetTablePeriods()->Add(period);
        CStrAction action;
        action.SetIdPeriod(period.GetId());
        action.SetId(CMgr::MGR_WIFI);
        action.SetType(0);
        action.SetIntOp1(wifi);
        action.SetIntOp2(0);
        db.GetTableActions()->Add(action);
    }
    CStrCell record;
    record.SetIdCell(cell);
    record.SetIdPlace(place.GetId());
    db.GetTableCell()->Add(record);
}

void BM_CellMoveToFirstActionCommand(benchmark::State& state) {
    TempHome home;
    auto& clock = dynamic_cast<platform::sim::CSimClock&>(home.services().clock());
    clock.setSpeed(1000);
    CInstaller(home.services().home()).Install();
    CConfigurationZentrova config;
    CMgr::SetMgrConfig("2222222222");
    CDB db;
    db.OpenDB(1);
    AddPlace(db, "Home", 1111, 1);
    AddPlace(db, "Office", 2222, 0);
    platform::CControlServer control(home.services().home());
    home.services().registerControlCommands(control);
    control.start();
    platform::CControlClient client(home.services().home());
    RecordingMgr probe;
    {
        CMobilePhoneMgr phone;
        phone.Initialize();
        phone.RefreshStatus(1);
        CRilMgr ril;
        ril.Initialize();
        CScheduleEngine* engine = CScheduleEngine::GetInstance();
        ril.AddStatusListener(engine);
        int move = 0;
        for (auto _ : state) {
            size_t before;
            {
                std::lock_guard lock(probe.m);
                before = probe.forced.size();
            }
            // Every commands' pause has passed before the next move.
            while (engine->GetCountCommandsPending() > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            const std::string cell = (move++ % 2 == 0) ? "2222" : "1111";
            auto start = Clock::now();
            std::string reply;
            client.request({"cell", cell, cell == "1111" ? "10" : "20"}, reply);
            std::unique_lock lock(probe.m);
            if (!probe.changed.wait_for(lock, std::chrono::seconds(10),
                                        [&] { return probe.forced.size() > before; })) {
                state.SkipWithError("no action command within 10 s");
                break;
            }
            state.SetIterationTime(std::chrono::duration<double>(probe.at - start).count());
        }
        ril.RemoveStatusListener(engine);
        CScheduleEngine::DestroyInstance();
        control.stop();
    }
    CCellMgr::ResetInstance();
}

BENCHMARK(BM_CellMoveToFirstActionCommand)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

// Latency from a move of the phone to another place's cell, asked for over the control socket as
// `zentrova-device cell` asks, to the manager command of the new place's frame's first action.
// The path: the simulated phone's new serving cell, the radio interface's location notification,
// the location engine's reading and place lookup, the schedule engine's status command (ending the
// old frame, starting the new one) and the start actions. Measured with the phone's clock 1000
// times faster (the fixed 100 ms pause after each worker command takes 0.1 ms), and at its own
// speed for one move and for the last of a burst of quick moves. Reported as medians.

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

// Runs moves between places and measures, for each iteration, the time from the last move of a
// burst to the first action command of the place it went to. The burst's earlier moves go to
// "Home" and "Office" by turns, `gapMs` apart; the last one goes to "Gym", whose action alone
// forces status 5.
void MeasureMoves(benchmark::State& state, double speed, int burst, int gapMs) {
    TempHome home;
    auto& clock = dynamic_cast<platform::sim::CSimClock&>(home.services().clock());
    clock.setSpeed(speed);
    CInstaller(home.services().home()).Install();
    CConfigurationZentrova config;
    CMgr::SetMgrConfig("2222222222");
    CDB db;
    db.OpenDB(1);
    AddPlace(db, "Home", 1111, 1);
    AddPlace(db, "Office", 2222, 0);
    AddPlace(db, "Gym", 3333, 5);
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
        auto moveTo = [&](const std::string& cell, const char* lac) {
            std::string reply;
            client.request({"cell", cell, lac}, reply);
        };
        int move = 0;
        // Whether the probe got a status forced on it since the `since`-th one.
        auto forcedSince = [&](size_t since, int status) {
            for (size_t i = since; i < probe.forced.size(); ++i) {
                if (probe.forced[i].first == status) {
                    return true;
                }
            }
            return false;
        };
        for (auto _ : state) {
            // Every burst starts from "Home", reached and settled: its action has come (the move
            // reaches the engine later than the control request returns, and a move to "Gym"
            // still queued behind it would be merged with it into no change at all), and every
            // command's pause has passed.
            size_t sinceHome;
            {
                std::lock_guard lock(probe.m);
                sinceHome = probe.forced.size();
            }
            moveTo("1111", "10");
            {
                std::unique_lock lock(probe.m);
                if (!probe.changed.wait_for(lock, std::chrono::seconds(60),
                                            [&] { return forcedSince(sinceHome, 1); })) {
                    state.SkipWithError("no action command of \"Home\" within 60 s");
                    break;
                }
            }
            while (engine->GetCountCommandsPending() > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            size_t before;
            {
                std::lock_guard lock(probe.m);
                before = probe.forced.size();
            }
            for (int i = 1; i < burst; ++i) {
                bool home = ++move % 2 == 0;
                moveTo(home ? "1111" : "2222", home ? "10" : "20");
                std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
            }
            auto start = Clock::now();
            moveTo("3333", "30");
            std::unique_lock lock(probe.m);
            if (!probe.changed.wait_for(lock, std::chrono::seconds(60),
                                        [&] { return forcedSince(before, 5); })) {
                state.SkipWithError("no action command of the last place within 60 s");
                break;
            }
            state.SetIterationTime(std::chrono::duration<double>(probe.at - start).count());
            state.counters["commands_forced"] = static_cast<double>(probe.forced.size() - before);
            lock.unlock();
            // The Gym's status is left before the next iteration's "Home".
            while (engine->GetCountCommandsPending() > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        ril.RemoveStatusListener(engine);
        CScheduleEngine::DestroyInstance();
        control.stop();
    }
    CCellMgr::ResetInstance();
}

// One move from rest, the phone's clock 1000 times faster (the pause after each command 0.1 ms).
void BM_CellMoveToFirstActionCommand(benchmark::State& state) {
    MeasureMoves(state, 1000, 1, 0);
}
BENCHMARK(BM_CellMoveToFirstActionCommand)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(40)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// At the phone's own speed: one move from rest, and the last of 10 moves 50 ms apart. Superseded
// location reports are merged in the engine's queue, so the last move waits for at most the
// command running when it came, not for one pause per earlier move.
void BM_OneMoveAtRealSpeed(benchmark::State& state) {
    MeasureMoves(state, 1, 1, 0);
}
BENCHMARK(BM_OneMoveAtRealSpeed)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_LastOfTenQuickMovesAtRealSpeed(benchmark::State& state) {
    MeasureMoves(state, 1, 10, 50);
}
BENCHMARK(BM_LastOfTenQuickMovesAtRealSpeed)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace

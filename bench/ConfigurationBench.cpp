// Cost of reading settings: a cached read, a read that goes to the registry file, and the date
// arithmetic used for every timed notification.

#include <benchmark/benchmark.h>

#include <filesystem>

#include "core/CConfiguration.h"
#include "core/CConfigurationZentrova.h"
#include "core/DateTime.h"
#include "platform/Services.h"
#include "support/TempHome.h"

namespace {

// A temporary home with the value the benchmarks read.
struct BenchHome : TempHome {
    BenchHome() {
        services().registry().setDword(platform::RegRoot::LocalMachine, CConfigurationZentrova::kKeyPath,
                                       "refresh_battery_time", 60);
    }
};

void BM_CachedNumberRead(benchmark::State& state) {
    BenchHome home;
    CConfiguration config(CConfigurationZentrova::kKeyPath);
    config.GetLongParameter("refresh_battery_time");
    for (auto _ : state) {
        benchmark::DoNotOptimize(config.GetLongParameter("refresh_battery_time"));
    }
}
BENCHMARK(BM_CachedNumberRead);

void BM_RegistryNumberRead(benchmark::State& state) {
    BenchHome home;
    auto& reg = home.services().registry();
    uint32_t v = 0;
    for (auto _ : state) {
        reg.getDword(platform::RegRoot::LocalMachine, CConfigurationZentrova::kKeyPath,
                     "refresh_battery_time", v);
        benchmark::DoNotOptimize(v);
    }
}
BENCHMARK(BM_RegistryNumberRead);

void BM_NumberWrite(benchmark::State& state) {
    BenchHome home;
    CConfiguration config(CConfigurationZentrova::kKeyPath);
    uint32_t n = 0;
    for (auto _ : state) {
        config.SetLongParameter("refresh_battery_time", ++n);
    }
}
BENCHMARK(BM_NumberWrite);

void BM_AddMinutes(benchmark::State& state) {
    SYSTEMTIME t{2008, 2, 4, 14, 23, 50, 10, 0};
    for (auto _ : state) {
        SYSTEMTIME u = t;
        DT_AddDiff(u, 30, DT_MINUTE);
        benchmark::DoNotOptimize(u);
    }
}
BENCHMARK(BM_AddMinutes);

}  // namespace

BENCHMARK_MAIN();

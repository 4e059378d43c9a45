// The event log: 10,000 events logged as the program logs them (the settings read at every event,
// the line formatted, converted to UTF-16LE and appended, the in-memory list kept, the file
// rotated at its size limit as installed), against the least the same file needs: the same
// UTF-16LE lines, formatted beforehand, one write() each.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "core/CLogMgr.h"
#include "core/Utf16.h"
#include "platform/Services.h"
#include "support/TempHome.h"

namespace {

constexpr int kEvents = 10000;

const std::string kResume = "Wi-Fi switched on";
const std::string kDescription = "The frame Office hours of the place Office started";

void BM_LogEvents(benchmark::State& state) {
    TempHome home;
    CInstaller(home.services().home()).Install();
    CConfigurationZentrova config;
    CLogMgr::Log(CLogEvent::SOURCE_APPLICATION, CLogEvent::SEVERITY_INFO, kResume, kDescription);
    for (auto _ : state) {
        for (int i = 0; i < kEvents; ++i) {
            CLogMgr::Log(CLogEvent::SOURCE_APPLICATION, CLogEvent::SEVERITY_INFO, kResume, kDescription);
        }
    }
    state.counters["events"] = kEvents;
    CLogMgr::Destroy();
}
BENCHMARK(BM_LogEvents)->Unit(benchmark::kMillisecond);

void BM_AnchorLogWrite(benchmark::State& state) {
    TempHome home;
    CLogEvent event;
    event.SetSeverity(CLogEvent::SEVERITY_INFO);
    event.SetResume(kResume);
    event.SetDescription(kDescription);
    event.SetTime(platform::Services::get().clock().localTime());
    const std::string bytes = Utf8ToUtf16Le(CLogMgr::FormatLine(event));
    const std::string path = (home.root() / "anchor_log.txt").string();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    for (auto _ : state) {
        for (int i = 0; i < kEvents; ++i) {
            benchmark::DoNotOptimize(::write(fd, bytes.data(), bytes.size()));
        }
    }
    state.counters["events"] = kEvents;
    ::close(fd);
}
BENCHMARK(BM_AnchorLogWrite)->Unit(benchmark::kMillisecond);

}  // namespace

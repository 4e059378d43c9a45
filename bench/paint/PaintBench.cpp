// Cost of painting the main panel at 480 x 640 with the test skin: the whole panel (background,
// both bars, texts) into an image, as a full repaint does. Reports the median and the maximum over
// repetitions, and the window's own longest and shortest paint.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "app/CApp.h"
#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "support/TempHome.h"
#include "support/TestSkin.h"
#include "ui/CQtApplication.h"
#include "ui/CWindowMain.h"

namespace {

CWindowMain* g_window = nullptr;

void BM_OnPaint480x640(benchmark::State& state) {
    QImage target(g_window->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&target);
        g_window->OnPaint(painter);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_OnPaint480x640)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(10)
    ->ComputeStatistics("max",
                        [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); })
    ->ReportAggregatesOnly(true);

class BenchApp : public CApp {
  public:
    int argc;
    char** argv;
    std::unique_ptr<CWindowMain> window;
    CConfigurationZentrova config;
    IConfiguration* GetConfiguration() override { return &config; }
    int InitInstance() override {
        window = std::make_unique<CWindowMain>(0, 1);
        if (!window->InitGUIBase(0, "", 1)) {
            return 0;
        }
        g_window = window.get();
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        std::printf("window paints: %d, longest %.3f ms, shortest %.3f ms\n",
                    CWindowMain::_OnPaintExecuted.load(),
                    static_cast<double>(CWindowMain::_OnPaintMajorTimeExecution.load()),
                    static_cast<double>(CWindowMain::_OnPaintMinorTimeExecution.load()));
        return 0;
    }
    ~BenchApp() override { window.reset(); }
};

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    TempHome home(platform::Services::Role::Program);
    CInstaller(home.services().home()).Install();
    test_skin::Install(home.services().home().programDir());
    CQtApplication qt(argc, argv);
    CWindowMain::SetScreenSize(480, 640);
    BenchApp app;
    app.argc = argc;
    app.argv = argv;
    app.WinMain(0, 0, "", 1);
    return 0;
}

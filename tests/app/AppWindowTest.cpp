// The application object and the main window in one process, offscreen: exceptions that end a
// run, the close rules, and the dispatch of forwarded timer lines.

#include <gtest/gtest.h>

#include <QTimer>

#include "app/CApp.h"
#include "core/CConfigurationZentrova.h"
#include "core/CExceptionDB.h"
#include "core/CInstaller.h"
#include "core/CTextsMgr.h"
#include "platform/CWindowHandles.h"
#include "support/ChildProcess.h"
#include "support/TempHome.h"
#include "support/TestSkin.h"
#include "ui/CQtApplication.h"
#include "ui/CWindowMain.h"

namespace {

// A listener that records what it receives.
class Recorder : public ITimeNotificationListener {
  public:
    void TimeNotification(unsigned int id, long value, const SYSTEMTIME& time) override {
        std::lock_guard lock(m);
        calls.push_back({id, value, time});
    }
    struct Call {
        unsigned int id;
        long value;
        SYSTEMTIME time;
    };
    std::vector<Call> snapshot() {
        std::lock_guard lock(m);
        return calls;
    }
    std::mutex m;
    std::vector<Call> calls;
};

// An application whose start-up does what the test asks.
class TestApp : public CApp {
  public:
    std::function<int(TestApp&)> init;
    std::unique_ptr<CWindowMain> window;
    CConfigurationZentrova config;
    IConfiguration* GetConfiguration() override { return &config; }
    int InitInstance() override { return init(*this); }
    ~TestApp() override { window.reset(); }
};

class AppWindowTest : public ::testing::Test {
  protected:
    AppWindowTest() {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        CInstaller(home.services().home()).Install();
        test_skin::Install(home.services().home().programDir());
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) {
            qt = std::make_unique<CQtApplication>(argc, argv);
        }
    }

    // Runs the app with a window; `during` runs inside the message loop, then the loop ends
    // unless `during` ended it.
    int runWithWindow(TestApp& app, const std::function<void(CWindowMain&)>& during) {
        app.init = [&](TestApp& a) {
            a.window = std::make_unique<CWindowMain>(0, 1);
            if (!a.window->InitGUIBase(0, "", 1)) {
                return 0;
            }
            CWindowMain* w = a.window.get();
            QTimer::singleShot(0, w, [w, &during] {
                during(*w);
                QTimer::singleShot(200, w, [] { QApplication::exit(7); });
            });
            return 1;
        };
        return app.WinMain(0, 0, "", 1);
    }

    TempHome home{platform::Services::Role::Program};
    std::unique_ptr<CQtApplication> qt;
};

TEST_F(AppWindowTest, ExceptionsEndingStartUpOrTheLoopAreShownAndEndTheRun) {
    {
        TestApp app;
        app.init = [](TestApp&) -> int {
            throw CExceptionDB("Registry value %s not found", std::string("x"));
        };
        EXPECT_NE(app.WinMain(0, 0, "", 1), 0);
    }
    {
        TestApp app;
        app.init = [](TestApp&) -> int { throw std::runtime_error("boom"); };
        EXPECT_NE(app.WinMain(0, 0, "", 1), 0);
    }
    {
        TestApp app;
        // A message handler that throws: the loop ends and the message is shown.
        int code = runWithWindow(app, [](CWindowMain& w) {
            QTimer::singleShot(0, &w, [] { throw CExceptionDB(std::string("thrown in the loop")); });
        });
        EXPECT_NE(code, 7);
    }
    auto shown = home.boxes().shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, "Registry value x not found");
    EXPECT_EQ(shown[1].text, CTextsMgr::GetInstance()->GetText("UNEXPECTED ERROR"));
    EXPECT_EQ(shown[2].text, "thrown in the loop");
}

TEST_F(AppWindowTest, ExitAsksAndTheSystemCloseNeedsThePermission) {
    home.services().registry().setDword(platform::RegRoot::LocalMachine, CConfigurationZentrova::kKeyPath,
                                        "allow_windows_close_zva", 0);
    {
        TestApp app;
        bool stillOpen = false;
        int closingAfterNo = -1;
        int code = runWithWindow(app, [&](CWindowMain& w) {
            w.OnExit();  // answered "no" by the policy
            QTimer::singleShot(50, &w, [&] {
                closingAfterNo = w.GetClosingZVA();
                w.close();  // the window system's close, not allowed by the setting
                stillOpen = !w.IsDestroyed();
            });
        });
        EXPECT_EQ(code, 7);
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ(closingAfterNo, 0);
        ASSERT_FALSE(home.boxes().shown().empty());
        EXPECT_EQ(home.boxes().shown()[0].text,
                  CTextsMgr::GetInstance()->GetText("MAIN_PANEL_CONFIRM_CLOSE"));
    }
    // With "yes" the Exit command ends the loop through the window's destruction.
    home.boxes().setAnswerYes(true);
    TestApp second;
    EXPECT_EQ(runWithWindow(second, [](CWindowMain& w) { w.OnExit(); }), 0);
}

TEST_F(AppWindowTest, ForwardedTimerLinesReachEveryListenerInOrder) {
    TestApp app;
    Recorder first;
    Recorder second;
    runWithWindow(app, [&](CWindowMain& w) {
        w.AddTimeNotificationListener(&first);
        w.AddTimeNotificationListener(&second);
        auto send = [&](const std::string& line) {
            std::u16string wide(line.begin(), line.end());
            COPYDATASTRUCT data;
            data.cbData = static_cast<uint32_t>((wide.size() + 1) * 2);
            data.lpData = wide.c_str();
            platform::CWindowHandles::SendMessageW(w.GetHandle(), WM_COPYDATA, w.GetHandle(),
                                                   reinterpret_cast<LPARAM>(&data));
        };
        send("timer_notification_00_01_2008_02_15_00_20_10");
        ASSERT_TRUE(WaitUntil([&] { return first.snapshot().size() == 1; }));
        // Fields that cannot be read are 0; a line is cut to 98 characters before parsing.
        send("timer_notification_07_xx");
        ASSERT_TRUE(WaitUntil([&] { return first.snapshot().size() == 2; }));
        send("timer_notification_08_05_2009_03_07_08_05_" + std::string(60, ' ') + "09");
        ASSERT_TRUE(WaitUntil([&] { return second.snapshot().size() == 3; }));
        // A field out of range (a year of -999 would wrap to 64537) reaches no listener.
        send("timer_notification_00_01_-999_02_15_00_20_10");
        ASSERT_TRUE(WaitUntil(
            [&] { return w.DescribeState().find("timer_lines_refused=1\n") != std::string::npos; }));
        EXPECT_EQ(first.snapshot().size(), 3u);
    });
    auto calls = first.snapshot();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].id, 0u);
    EXPECT_EQ(calls[0].value, 1);
    EXPECT_EQ(calls[0].time, (SYSTEMTIME{2008, 2, 0, 15, 0, 20, 10, 0}));
    EXPECT_EQ(calls[1].id, 7u);
    EXPECT_EQ(calls[1].value, 0);
    EXPECT_EQ(calls[1].time.wYear, 0);
    EXPECT_EQ(calls[2].id, 8u);
    EXPECT_EQ(calls[2].time.wMinute, 5);
    EXPECT_EQ(calls[2].time.wSecond, 0);
}

}  // namespace

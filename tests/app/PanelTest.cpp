// The main window offscreen: layout per screen, the bars, the command table, the data commands and
// a skin whose images are missing.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QSpinBox>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "app/CApp.h"
#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "core/CTextsMgr.h"
#include "core/SafeFormat.h"
#include "store/CDB.h"
#include "support/RecordingMgr.h"
#include "support/TempHome.h"
#include "support/TestSkin.h"
#include "ui/CButtonOwnDrawImage.h"
#include "ui/CButtonOwnFixed.h"
#include "ui/CDialogLibrary.h"
#include "ui/COptionDialog.h"
#include "ui/CQtApplication.h"
#include "ui/CSkinMgr.h"
#include "ui/CWindowMain.h"

namespace fs = std::filesystem;

namespace {

// A panel whose levels the test sets and whose handlers say when they run.
class TestPanel : public CWindowMain {
  public:
    TestPanel() : CWindowMain(0, 1) {}
    int battery = 0;
    int signal = 0;
    bool ac = false;
    bool recordOnly = false;  // handlers record instead of acting
    std::vector<std::string> ran;

    int GetBatteryLevelShown() const override { return battery; }
    int GetSignalLevelShown() const override { return signal; }
    bool IsOnAC() const override { return ac; }

#define RECORD(name, call)    \
    void name() override {    \
        ran.push_back(#name); \
        if (!recordOnly)      \
            call;             \
    }
    RECORD(OnBT, CWindowMain::OnBT())
    RECORD(OnSpeaker, CWindowMain::OnSpeaker())
    RECORD(OnWifi, CWindowMain::OnWifi())
    RECORD(OnCurrentPlace, CWindowMain::OnCurrentPlace())
    RECORD(OnMobilePhone, CWindowMain::OnMobilePhone())
    RECORD(OnConnections, CWindowMain::OnConnections())
    RECORD(OnBand, CWindowMain::OnBand())
    RECORD(OnCloseApp, CWindowMain::OnCloseApp())
    RECORD(OnRefresh, CWindowMain::OnRefresh())
    RECORD(OnAbout, CWindowMain::OnAbout())
    RECORD(OnTest, CWindowMain::OnTest())
    RECORD(OnTest2, CWindowMain::OnTest2())
    RECORD(OnTest3, CWindowMain::OnTest3())
    RECORD(OnTest4, CWindowMain::OnTest4())
    RECORD(OnExit, CWindowMain::OnExit())
    RECORD(OnOptions, CWindowMain::OnOptions())
    RECORD(OnCurrentPlace_AddProfile, CWindowMain::OnCurrentPlace_AddProfile())
    RECORD(OnCurrentPlace_AssignToProfile, CWindowMain::OnCurrentPlace_AssignToProfile())
    RECORD(OnCurrentPlace_Actions, CWindowMain::OnCurrentPlace_Actions())
    RECORD(OnCurrentPlace_SelectProfile, CWindowMain::OnCurrentPlace_SelectProfile())
    RECORD(OnCurrentPlace_UnselectProfile, CWindowMain::OnCurrentPlace_UnselectProfile())
    RECORD(OnBackup, CWindowMain::OnBackup())
    RECORD(OnRestore, CWindowMain::OnRestore())
    RECORD(OnCheckDBIntregrity, CWindowMain::OnCheckDBIntregrity())
    RECORD(OnFormat, CWindowMain::OnFormat())
    RECORD(OnXMLExport, CWindowMain::OnXMLExport())
    RECORD(OnXMLImport, CWindowMain::OnXMLImport())
    RECORD(OnHelp, CWindowMain::OnHelp())
    RECORD(OnTestDecBattery, CWindowMain::OnTestDecBattery())
    RECORD(OnTestDecSignal, CWindowMain::OnTestDecSignal())
    RECORD(OnTestChangeLocation, CWindowMain::OnTestChangeLocation())
    RECORD(OnTestChangeLocation2, CWindowMain::OnTestChangeLocation2())
    RECORD(OnTestRestart, CWindowMain::OnTestRestart())
    RECORD(OnTestRemoveIddleConnections, CWindowMain::OnTestRemoveIddleConnections())
    RECORD(OnTestMail, CWindowMain::OnTestMail())
    RECORD(OnTestMailProviders, CWindowMain::OnTestMailProviders())
    RECORD(OnTestSMS, CWindowMain::OnTestSMS())
    RECORD(OnTestBackLight, CWindowMain::OnTestBackLight())
    RECORD(OnTestTheme, CWindowMain::OnTestTheme())
    RECORD(OnTestRingTone, CWindowMain::OnTestRingTone())
    RECORD(OnTestMemory, CWindowMain::OnTestMemory())
    RECORD(OnTestLocationsReport, CWindowMain::OnTestLocationsReport())
    RECORD(OnTestDebugInfo, CWindowMain::OnTestDebugInfo())
    RECORD(OnTestUploadLocation, CWindowMain::OnTestUploadLocation())
#undef RECORD
    void OnTestBeam(int on) override {
        ran.push_back("OnTestBeam(" + std::to_string(on) + ")");
    }
    void OnTestCallForward(int on) override {
        ran.push_back("OnTestCallForward(" + std::to_string(on) + ")");
    }
    void OnTestVolumeLevel(int level) override {
        ran.push_back("OnTestVolumeLevel(" + std::to_string(level) + ")");
    }
    void OnTestCellChange(WPARAM id) override {
        ran.push_back("OnTestCellChange(" + std::to_string(id) + ")");
    }
};

class TestApp : public CApp {
  public:
    std::function<void(TestPanel&)> during;
    std::unique_ptr<TestPanel> window;
    CConfigurationZentrova config;
    int restarts = 0;
    IConfiguration* GetConfiguration() override { return &config; }
    void RequestRestart() override { ++restarts; }
    int InitInstance() override {
        window = std::make_unique<TestPanel>();
        if (!window->InitGUIBase(0, "", 1)) {
            return 0;
        }
        TestPanel* w = window.get();
        QTimer::singleShot(0, w, [this, w] {
            during(*w);
            QApplication::exit(7);
        });
        return 1;
    }
    ~TestApp() override { window.reset(); }
};

class PanelTest : public ::testing::Test {
  protected:
    PanelTest() {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        CInstaller(home.services().home()).Install();
        test_skin::Install(home.services().home().programDir(), true);
        CSkinMgr::DestroyInstance();
        CButtonOwnDrawImage::ClearBitmapList();
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) {
            qt = std::make_unique<CQtApplication>(argc, argv);
        }
        CWindowMain::SetScreenSize(480, 640);
    }
    ~PanelTest() override {
        CButtonOwnDrawImage::ClearBitmapList();
        CSkinMgr::DestroyInstance();
        ::unsetenv("ZENTROVA_FILE_ANSWER");
    }

    // Runs a panel; `during` runs inside its message loop. The exit code of the run.
    int run(const std::function<void(TestPanel&)>& during) {
        app.during = during;
        return app.WinMain(0, 0, "", 1);
    }
    static void settle() {
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
        }
    }
    static std::vector<CButtonOwnDrawImage*> flowButtons(TestPanel& w) {
        std::vector<CButtonOwnDrawImage*> out;
        for (CButtonOwnDrawImage* b : w.GetListButtonsOwner()) {
            if (b != w.GetCurrentLocationButton()) {
                out.push_back(b);
            }
        }
        return out;
    }

    TempHome home{platform::Services::Role::Program};
    std::unique_ptr<CQtApplication> qt;
    TestApp app;
};

TEST_F(PanelTest, ButtonsFlowFromTheBottomAtTheScreensSizeAndRelayOnlyOnRotation) {
    struct Row {
        int width, height;
        int buttonWidth, buttonHeight, bottomMargin;
    };
    const Row rows[] = {
        {480, 640, 60, 65, 50}, {640, 480, 60, 65, 50}, {240, 320, 60, 65, 25},
        {320, 240, 40, 45, 25}, {240, 240, 40, 45, 25},
    };
    ASSERT_EQ(run([&](TestPanel& w) {
                  for (const Row& row : rows) {
                      SCOPED_TRACE(std::to_string(row.width) + "x" + std::to_string(row.height));
                      w.resize(row.width, row.height);
                      settle();
                      const QRect client = w.ClientRect();
                      auto buttons = flowButtons(w);
                      ASSERT_EQ(buttons.size(), 8u);
                      for (CButtonOwnDrawImage* b : buttons) {
                          EXPECT_EQ(b->size(), QSize(row.buttonWidth, row.buttonHeight)) << b->GetSkinName();
                          EXPECT_TRUE(client.contains(b->geometry())) << b->GetSkinName();
                      }
                      EXPECT_EQ(buttons[0]->x(), 0);
                      EXPECT_EQ(buttons[0]->geometry().bottom() + 1, client.bottom() + 1 - row.bottomMargin);
                  }
                  // One layout per change of orientation; a new size of the same one keeps it.
                  w.resize(480, 640);
                  settle();
                  const int before = w.GetLayoutCount();
                  w.resize(640, 480);
                  settle();
                  EXPECT_EQ(w.GetLayoutCount(), before + 1);
                  w.resize(640, 400);
                  settle();
                  EXPECT_EQ(w.GetLayoutCount(), before + 1);
              }),
              7);
}

TEST_F(PanelTest, BarsShowTheLevelFromTheBottomAndTheSymbolOfThePowerLine) {
    // The test skin (480 x 640): battery bar in gradient mode at 12,200 24x120 from (40,200,40) to
    // (200,60,40), its symbol at 14,330 20x28; signal bar in image mode at 444,200.
    ASSERT_EQ(run([&](TestPanel& w) {
                  auto grab = [&] {
                      settle();
                      return w.grab().toImage();
                  };
                  w.battery = 0;
                  w.signal = 0;
                  QImage empty = grab();
                  w.battery = 100;
                  w.signal = 100;
                  QImage full = grab();
                  w.ac = true;
                  QImage onAC = grab();
                  auto near = [](QColor c, int r, int g, int b) {
                      return std::abs(c.red() - r) < 30 && std::abs(c.green() - g) < 30 &&
                             std::abs(c.blue() - b) < 30;
                  };
                  // Near the top and the bottom of the battery bar, away from the number.
                  EXPECT_FALSE(near(empty.pixelColor(16, 205), 40, 200, 40));
                  EXPECT_FALSE(near(empty.pixelColor(16, 315), 200, 60, 40));
                  EXPECT_TRUE(near(full.pixelColor(16, 203), 40, 200, 40));
                  EXPECT_TRUE(near(full.pixelColor(16, 316), 200, 60, 40));
                  // The signal image (blue at its top) fills the whole bar at 100, nothing at 0.
                  EXPECT_TRUE(near(full.pixelColor(448, 203), 40, 120, 220));
                  EXPECT_FALSE(near(empty.pixelColor(448, 203), 40, 120, 220));
                  // The plug's yellow shows only on AC.
                  EXPECT_TRUE(near(onAC.pixelColor(24, 344), 250, 200, 0));
                  EXPECT_FALSE(near(full.pixelColor(24, 344), 250, 200, 0));
                  EXPECT_GE(CWindowMain::_OnPaintExecuted.load(), 3);
              }),
              7);
}

TEST_F(PanelTest, EveryCommandOfTheTableReachesItsHandlerAndMenuIdsAreInTheMenu) {
    struct Row {
        WPARAM id;
        const char* handler;
        bool inMenu;
    };
    const Row rows[] = {
        {103, "OnBT", false},
        {104, "OnSpeaker", false},
        {105, "OnWifi", false},
        {106, "OnCurrentPlace", false},
        {107, "OnMobilePhone", false},
        {108, "OnConnections", false},
        {110, "OnBand", false},
        {111, "OnCloseApp", false},
        {5, "OnCloseApp", false},
        {112, "OnRefresh", false},
        {9, "OnAbout", true},
        {10, "OnTest", false},
        {40036, "OnTest", false},
        {100, "OnTest2", false},
        {101, "OnTest3", false},
        {102, "OnTest4", false},
        {1234, "OnExit", true},
        {40002, "OnOptions", true},
        {40229, "OnCurrentPlace_AddProfile", true},
        {40231, "OnCurrentPlace_AssignToProfile", true},
        {40232, "OnCurrentPlace_Actions", true},
        {40233, "OnCurrentPlace_Actions", true},
        {40235, "OnCurrentPlace_SelectProfile", true},
        {40237, "OnCurrentPlace_UnselectProfile", true},
        {40047, "OnBackup", true},
        {40048, "OnRestore", true},
        {40049, "OnCheckDBIntregrity", true},
        {40050, "OnFormat", true},
        {40059, "OnXMLImport", true},
        {40060, "OnXMLExport", true},
        {40241, "OnHelp", true},
        {40052, "OnTestDecBattery", true},
        {40053, "OnTestDecSignal", true},
        {40054, "OnTestChangeLocation", true},
        {40115, "OnTestChangeLocation2", true},
        {40057, "OnTestRestart", true},
        {40109, "OnTestRemoveIddleConnections", true},
        {40116, "OnTestMail", true},
        {40117, "OnTestMailProviders", true},
        {40118, "OnTestSMS", true},
        {40111, "OnTestBeam(1)", true},
        {40112, "OnTestBeam(0)", true},
        {40095, "OnTestCallForward(1)", true},
        {40094, "OnTestCallForward(0)", true},
        {40127, "OnTestVolumeLevel(0)", true},
        {40128, "OnTestVolumeLevel(1)", true},
        {40129, "OnTestVolumeLevel(2)", true},
        {40130, "OnTestVolumeLevel(3)", true},
        {40131, "OnTestVolumeLevel(4)", true},
        {40132, "OnTestVolumeLevel(100)", true},
        {40133, "OnTestBackLight", true},
        {40135, "OnTestTheme", true},
        {40136, "OnTestRingTone", true},
        {40223, "OnTestMemory", true},
        {40224, "OnTestLocationsReport", true},
        {40279, "OnTestDebugInfo", true},
        {40282, "OnTestUploadLocation", true},
        {40298, "OnTestCellChange(40298)", true},
        {40300, "OnTestCellChange(40300)", true},
        {40302, "OnTestCellChange(40302)", true},
    };
    ASSERT_EQ(run([&](TestPanel& w) {
                  w.recordOnly = true;
                  std::map<int, QAction*> menu;
                  std::function<void(QMenu*)> collect = [&](QMenu* m) {
                      for (QAction* a : m->actions()) {
                          if (a->menu()) {
                              collect(a->menu());
                          } else if (a->data().isValid()) {
                              menu[a->data().toInt()] = a;
                          }
                      }
                  };
                  collect(w.GetMenu());
                  for (const Row& row : rows) {
                      w.ran.clear();
                      if (row.inMenu) {
                          ASSERT_TRUE(menu.count(static_cast<int>(row.id))) << row.id;
                          menu[static_cast<int>(row.id)]->trigger();  // posts the command
                          settle();
                      } else {
                          EXPECT_EQ(w.ProcessMsg(WM_COMMAND, row.id, 0), 1) << row.id;
                      }
                      ASSERT_EQ(w.ran.size(), 1u) << row.id;
                      EXPECT_EQ(w.ran[0], row.handler) << row.id;
                  }
                  // Ids not in the table are left to the default handling.
                  EXPECT_EQ(w.ProcessMsg(WM_COMMAND, 4242, 0), 0);
                  // The captions are translated in place.
                  EXPECT_EQ(menu[40047]->text().toStdString(),
                            CTextsMgr::GetInstance()->GetText("MENU_DATA_BACKUP"));
                  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
              }),
              7);
}

// Taps through the popups of the panel as a user would: each step waits for a popup of its window
// class (or the custom-time dialog) and makes its choice there.
struct Tap {
    const char* popup;  // a popup's window class, or "custom" for the custom-time dialog
    int id;             // the choice; for "custom", the hours
    int minutes = 0;    // for "custom"
};

void tapThrough(TestPanel& w, std::vector<Tap> taps) {
    auto pending = std::make_shared<std::vector<Tap>>(std::move(taps));
    auto* timer = new QTimer(&w);  // owned by the panel
    QObject::connect(timer, &QTimer::timeout, [&w, pending, timer] {
        if (pending->empty()) {
            timer->deleteLater();
            return;
        }
        const Tap tap = pending->front();
        if (std::string(tap.popup) == "custom") {
            QWidget* dialog = QApplication::activeModalWidget();
            auto* hours = dialog ? dialog->findChild<QSpinBox*>("hours") : nullptr;
            auto* minutes = dialog ? dialog->findChild<QSpinBox*>("minutes") : nullptr;
            if (!hours || !minutes) {
                return;
            }
            hours->setValue(tap.id);
            minutes->setValue(tap.minutes);
            static_cast<QDialog*>(dialog)->accept();
        } else {
            COptionDialog* popup = COptionDialog::GetOpen(&w);
            if (!popup || std::string(popup->GetClassName()) != tap.popup || !popup->isVisible()) {
                return;
            }
            ASSERT_NE(popup->FindButton(tap.id), nullptr) << tap.id;
            popup->FindButton(tap.id)->click();
        }
        pending->erase(pending->begin());
    });
    timer->start(5);
}

TEST_F(PanelTest, ChoicesOfAButtonsPopupReachItsManagerWithTheTimeLimitAsked) {
    using Call = RecordingMgr::Call;
    struct Row {
        const char* what;
        int mgrId;
        void (CWindowMain::*command)();
        std::vector<Tap> taps;
        std::vector<Call> expected;  // status, minutes, status to come back to, delay
    };
    const char* kChoice = "Options Window";
    const char* kLimit = "Options Window limit";
    // This test binary holds its own static copy of the common library, so a dialog of the
    // loaded dialog library would work on other singletons (settings, texts, phone) than the
    // panel's. The popup's own custom-time input stands in for the library's dialog here; that
    // dialog is tested with the library in test_dialogs.
    struct NoDialogLibrary {
        NoDialogLibrary() { CDialogLibrary::SetPathForTests("/nonexistent/libZentrovaDLL.so"); }
        ~NoDialogLibrary() { CDialogLibrary::SetPathForTests(""); }
    } noDialogLibrary;
    const Row rows[] = {
        {"Wi-Fi on for 60 minutes",
         CMgr::MGR_WIFI,
         &CWindowMain::OnWifi,
         {{kChoice, 1}, {kLimit, 60}},
         {{1, 60, 0, 0}}},
        {"Wi-Fi on for a custom 1 h 30",
         CMgr::MGR_WIFI,
         &CWindowMain::OnWifi,
         {{kChoice, 1}, {kLimit, 144}, {"custom", 1, 30}},
         {{1, 90, 0, 0}}},
        {"Wi-Fi on with no limit",
         CMgr::MGR_WIFI,
         &CWindowMain::OnWifi,
         {{kChoice, 1}, {kLimit, 999}},
         {{1, 0, 0, 0}}},
        {"Wi-Fi off at once", CMgr::MGR_WIFI, &CWindowMain::OnWifi, {{kChoice, 0}}, {{0, 0, 0, 0}}},
        {"Wi-Fi on, then cancel", CMgr::MGR_WIFI, &CWindowMain::OnWifi, {{kChoice, 1}, {kLimit, 109}}, {}},
        {"Wi-Fi popup cancelled", CMgr::MGR_WIFI, &CWindowMain::OnWifi, {{kChoice, 109}}, {}},
        {"speaker vibrate at once",
         CMgr::MGR_SPEAKER,
         &CWindowMain::OnSpeaker,
         {{kChoice, 1}},
         {{1, 0, 0, 0}}},
        {"speaker on for 5 minutes",
         CMgr::MGR_SPEAKER,
         &CWindowMain::OnSpeaker,
         {{kChoice, 2}, {kLimit, 5}},
         {{2, 5, 0, 0}}},
        {"Bluetooth discoverable at once", CMgr::MGR_BT, &CWindowMain::OnBT, {{kChoice, 2}}, {{2, 0, 0, 0}}},
        {"3G for 10 minutes",
         CMgr::MGR_BAND,
         &CWindowMain::OnBand,
         {{kChoice, 2}, {kLimit, 10}},
         {{2, 10, 0, 0}}},
        {"phone radio on (its 0) for 30 minutes, back to off",
         CMgr::MGR_PHONE,
         &CWindowMain::OnMobilePhone,
         {{kChoice, 0}, {kLimit, 30}},
         {{0, 30, 1, 0}}},
        {"connected for 120 minutes",
         CMgr::MGR_CONNECTIONS,
         &CWindowMain::OnConnections,
         {{kChoice, 2}, {kLimit, 120}},
         {{2, 120, 0, 0}}},
    };
    ASSERT_EQ(run([&](TestPanel& w) {
                  for (const Row& row : rows) {
                      SCOPED_TRACE(row.what);
                      RecordingMgr mgr(row.mgrId);
                      // The phone radio's 1 is off; every other device starts at its 0.
                      mgr.SetStatus(row.mgrId == CMgr::MGR_PHONE ? 1 : 0);
                      tapThrough(w, row.taps);
                      (w.*row.command)();
                      EXPECT_EQ(COptionDialog::GetOpen(&w), nullptr);
                      EXPECT_TRUE(w.isEnabled());
                      EXPECT_EQ(mgr.calls, row.expected);
                  }
              }),
              7);
}

TEST_F(PanelTest, DataCommandsThroughTheMenuAndTheFileAnswer) {
    CDB db;
    db.OpenDB(1);
    CStrPlace place;
    place.SetName("Harbour office");
    db.GetTablePlaces()->Add(place);
    db.CloseDB(0);
    const fs::path program = home.services().home().programDir();
    const fs::path backup = home.root() / "chosen" / "backup.db";
    fs::create_directories(backup.parent_path());
    home.boxes().setAnswerYes(true);
    CTextsMgr* texts = CTextsMgr::GetInstance();
    ASSERT_EQ(run([&](TestPanel& w) {
                  // XML export, then import (marked for the next start, which a restart brings).
                  w.ProcessMsg(WM_COMMAND, CWindowMain::CMD_XML_EXPORT, 0);
                  std::ifstream xml(CDB::XmlPath());
                  std::string text((std::istreambuf_iterator<char>(xml)), {});
                  EXPECT_NE(text.find("Harbour office"), std::string::npos);
                  w.ProcessMsg(WM_COMMAND, CWindowMain::CMD_XML_IMPORT, 0);
                  EXPECT_TRUE(fs::exists(CDB::PendingImportPath()));
                  EXPECT_EQ(app.restarts, 1);
                  // Backup to the answered file, then restore it: the database goes to the safety copy.
                  ::setenv("ZENTROVA_FILE_ANSWER", backup.c_str(), 1);
                  w.ProcessMsg(WM_COMMAND, 40047, 0);
                  ASSERT_TRUE(fs::exists(backup));
                  EXPECT_EQ(fs::file_size(backup), fs::file_size(program / "comm_mgr.db"));
                  w.ProcessMsg(WM_COMMAND, 40048, 0);
                  EXPECT_TRUE(fs::exists(program / "comm_mgr.bak"));
                  EXPECT_EQ(app.restarts, 2);
                  // A cancelled choice restores nothing.
                  ::setenv("ZENTROVA_FILE_ANSWER", "", 1);
                  w.ProcessMsg(WM_COMMAND, 40048, 0);
                  EXPECT_EQ(app.restarts, 2);
              }),
              7);
    auto shown = home.boxes().shown();
    std::vector<std::string> texts_shown;
    for (const auto& box : shown) {
        texts_shown.push_back(box.text);
    }
    EXPECT_NE(std::find(texts_shown.begin(), texts_shown.end(), texts->GetText("DB_RESTORE_RESTART")),
              texts_shown.end());
    EXPECT_EQ(texts_shown.back(), texts->GetText("RESTORE_DB_KO"));
}

TEST_F(PanelTest, ASkinWithoutItsBarImagesEndsTheStartWithTheMessage) {
    fs::remove(home.services().home().programDir() / "themes" / "default" / "vga" / "battery.png");
    fs::remove(home.services().home().programDir() / "themes" / "default" / "vga" / "question.png");
    bool ran = false;
    EXPECT_EQ(run([&](TestPanel&) { ran = true; }), 1);
    EXPECT_FALSE(ran);
    EXPECT_TRUE(app.window->IsSkinMissing());
    ASSERT_FALSE(home.boxes().shown().empty());
    EXPECT_EQ(home.boxes().shown().back().text,
              SafeSprintf(CTextsMgr::GetInstance()->GetText("ERROR LOADING"), std::string("battery.png")));
}

}  // namespace

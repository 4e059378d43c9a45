// The option popups offscreen over a window: where their buttons go on each screen, scrolling
// when they do not fit, the choice they return (a tap, the cancel button, a tap outside, the
// back key), and the help file a page shows.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "core/CTextsMgr.h"
#include "support/OffscreenApp.h"
#include "support/TempHome.h"
#include "ui/CBaseWindow.h"
#include "ui/CButtonOwnDrawImage.h"
#include "ui/CButtonOwnFixed.h"
#include "ui/COptionDialog.h"
#include "ui/COptionDialogChooseImage.h"
#include "ui/COptionDialogTimeLimit.h"
#include "ui/CPageWithHelp.h"
#include "ui/CQtApplication.h"
#include "ui/CSkinMgr.h"

namespace fs = std::filesystem;

namespace {

class OwnerWindow : public CBaseWindow {
  public:
    int InitGUI(uintptr_t, const std::string&, int) override { return 1; }
};

class OptionDialogTest : public ::testing::Test {
  protected:
    OptionDialogTest() {
        qt = MakeOffscreenApp();
        CInstaller(home.services().home()).Install();
        CSkinMgr::DestroyInstance();
        CButtonOwnDrawImage::ClearBitmapList();
    }
    ~OptionDialogTest() override {
        owner.reset();
        CButtonOwnDrawImage::ClearBitmapList();
        CButtonOwnDrawImage::ClearCache();
        CSkinMgr::DestroyInstance();
    }
    // An owner window of the screen's size, with the skin of that screen read and released as
    // the main window leaves it.
    void screen(int width, int height) {
        owner.reset();
        CSkinMgr::DestroyInstance();
        CSkinMgr::SetScreenSize(width, height);
        ASSERT_EQ(CSkinMgr::GetInstance()->Initialize(), 1);
        CSkinMgr::GetInstance()->UnloadXML();
        owner = std::make_unique<OwnerWindow>();
        owner->resize(width, height);
        owner->show();
    }
    // Runs `act` once the popup is shown; the popup's choice.
    static int runModal(COptionDialog& popup, const std::function<void()>& act) {
        QTimer::singleShot(0, [&] { act(); });
        return popup.ShowModal();
    }

    TempHome home{platform::Services::Role::Program};
    std::unique_ptr<CQtApplication> qt;
    std::unique_ptr<OwnerWindow> owner;
};

TEST_F(OptionDialogTest, ButtonsFillRowsThatFitTheScreenAndScrollBeyondIt) {
    struct Row {
        int width, height;
        int choices;
        std::vector<int> perRow;  // buttons in each row, cancel included
        bool scrolls;
    };
    const Row rows[] = {
        {240, 320, 4, {3, 2}, false},  // four choices on a 240-pixel screen wrap after the third
        {240, 320, 3, {3, 1}, false},
        {480, 640, 4, {5}, false},
        {320, 240, 6, {5, 2}, false},
        {240, 240, 4, {3, 2}, false},
        {240, 320, 20, {3, 3, 3, 3, 3, 3, 3}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.width) + "x" + std::to_string(row.height) + " " +
                     std::to_string(row.choices));
        screen(row.width, row.height);
        COptionDialog popup("Title", 0, 0, 0, 0, owner.get(), owner.get());
        for (int i = 0; i < row.choices; ++i) {
            popup.AddButton(i, "wifi", "Choice");
        }
        popup.InitGUI(0, "", 1);
        std::vector<CButtonOwnFixed*> all = popup.GetButtons();
        all.push_back(popup.GetCancelButton());
        std::vector<int> perRow;
        int lastY = -1;
        for (CButtonOwnFixed* b : all) {
            EXPECT_EQ(b->size(), QSize(60, 65));
            if (b->y() != lastY) {
                perRow.push_back(0);
                lastY = b->y();
            }
            ++perRow.back();
            if (!row.scrolls) {
                // Wholly inside the popup, and the popup inside the screen.
                EXPECT_TRUE(popup.rect().contains(b->geometry())) << b->GetId();
            }
        }
        EXPECT_EQ(perRow, row.perRow);
        EXPECT_EQ(popup.IsScrolling(), row.scrolls);
        EXPECT_TRUE(owner->rect().contains(popup.geometry()));
        EXPECT_EQ(popup.GetCancelButton()->GetId(), COptionDialog::kCancel);
    }
}

TEST_F(OptionDialogTest, TheTimeLimitPopupOffersItsEightChoicesInsideItsFrame) {
    screen(240, 320);
    COptionDialogTimeLimit popup("For how long?", 20, 25, 200, 200, owner.get(), owner.get());
    popup.InitGUI(0, "", 1);
    std::vector<int> ids;
    for (CButtonOwnFixed* b : popup.GetButtons()) {
        ids.push_back(b->GetId());
        EXPECT_TRUE(popup.rect().contains(b->geometry())) << b->GetId();
        EXPECT_FALSE(b->GetCurrentBitmap(false).image.isNull()) << b->GetId();
    }
    EXPECT_EQ(ids, (std::vector<int>{999, 1, 5, 10, 30, 60, 120, 144}));
    EXPECT_EQ(popup.geometry().topLeft(), QPoint(20, 25));
    EXPECT_STREQ(popup.GetClassName(), "Options Window limit");
}

TEST_F(OptionDialogTest, AChoiceIsReturnedAndEveryWayOutCancels) {
    screen(240, 320);
    struct Row {
        const char* what;
        std::function<void(COptionDialog&)> act;
        int expected;
    };
    const Row rows[] = {
        {"tap a choice", [](COptionDialog& p) { p.FindButton(5)->click(); }, 5},
        {"tap cancel", [](COptionDialog& p) { p.GetCancelButton()->click(); }, COptionDialog::kCancel},
        {"tap outside",
         [this](COptionDialog&) {
             // The owner's area below the popup: the cover over the owner takes the tap.
             QWidget* cover = owner->childAt(10, 300);
             ASSERT_NE(cover, nullptr);
             QMouseEvent release(QEvent::MouseButtonRelease, QPointF(10, 300), QPointF(10, 300),
                                 Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
             QApplication::sendEvent(cover, &release);
         },
         COptionDialog::kCancel},
        {"back key",
         [](COptionDialog& p) {
             QKeyEvent key(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(&p, &key);
         },
         COptionDialog::kCancel},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        COptionDialog popup("Title", 0, 0, 0, 0, owner.get(), owner.get());
        popup.AddButton(5, "wifi", "On");
        popup.AddButton(0, "wifi", "Off");
        int open = -1;
        const int chosen = runModal(popup, [&] {
            open = COptionDialog::GetOpen(owner.get()) == &popup ? 1 : 0;
            EXPECT_EQ(owner->GetDialogShowed(), &popup);
            row.act(popup);
        });
        EXPECT_EQ(open, 1);
        EXPECT_EQ(chosen, row.expected);
        EXPECT_EQ(COptionDialog::GetOpen(owner.get()), nullptr);
        EXPECT_EQ(owner->GetDialogShowed(), nullptr);
        EXPECT_EQ(COptionDialog::DescribeOpen(), "");
        // Nothing of the popup is left over the owner.
        EXPECT_EQ(owner->childAt(10, 300), nullptr);
    }
}

TEST_F(OptionDialogTest, ThePlaceImagesOfTheSkinAreOfferedAndTheChosenFileReturned) {
    screen(240, 320);
    const std::vector<std::string> files = COptionDialogChooseImage::ListPlaceImages();
    ASSERT_GE(files.size(), 3u);
    for (const std::string& f : files) {
        EXPECT_EQ(f.rfind("place_", 0), 0u) << f;
    }
    std::string chosen;
    COptionDialogChooseImage popup(owner.get(), owner.get(), chosen);
    runModal(popup, [&] { popup.FindButton(COptionDialogChooseImage::kFirstImage + 1)->click(); });
    EXPECT_EQ(chosen, files[1]);
    EXPECT_EQ(popup.GetButtons()[1]->GetCurrentBitmap(false).file, files[1]);
}

class HelpPage : public CPageWithHelp {
  public:
    void ShowHelp() override {}
    std::string GetTxtFile() const override { return "test_page"; }
};

TEST_F(OptionDialogTest, HelpIsTheLanguagesFileThenEnglishThenNoHelp) {
    CConfigurationZentrova config;
    const fs::path folder = home.services().home().programDir() / "traductions";
    struct Row {
        std::vector<const char*> files;  // present in the folder
        const char* expected;
    };
    const Row rows[] = {
        {{"es_test_page.txt", "en_test_page.txt"}, "es_test_page.txt"},
        {{"en_test_page.txt"}, "en_test_page.txt"},
        {{}, "es_no_help.txt"},
    };
    config.SetRegistryParameter("language", "es");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        fs::remove(folder / "es_test_page.txt");
        fs::remove(folder / "en_test_page.txt");
        for (const char* file : row.files) {
            std::ofstream(folder / file) << "help\n";
        }
        EXPECT_EQ(fs::path(HelpPage().FindHelpFile()), folder / row.expected);
    }
    // The shipped main-window help in Spanish.
    class MainHelp : public HelpPage {
        std::string GetTxtFile() const override { return "main_window"; }
    };
    EXPECT_EQ(fs::path(MainHelp().FindHelpFile()), folder / "es_main_window.txt");
}

}  // namespace

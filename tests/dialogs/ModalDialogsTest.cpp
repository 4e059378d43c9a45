// The custom time, sound level and about dialogs: what each saves and where, run modally as the
// popups and the main window run them.

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <array>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "DialogFixture.h"
#include "dialogs/CDialogModalAbout.h"
#include "dialogs/CDialogModalCustomTime.h"
#include "dialogs/CDialogSoundLevel.h"
#include "dialogs/Factories.h"
#include "managers/CConnectionsMgr.h"
#include "managers/CSpeakerMgr.h"
#include "support/HttpServer.h"

namespace {

class ModalDialogsTest : public DialogFixture {
  protected:
    ~ModalDialogsTest() override { ::unsetenv("ZENTROVA_FILE_ANSWER"); }
    std::vector<std::string> Boxes() {
        std::vector<std::string> texts;
        for (const auto& shown : home.boxes().shown()) {
            texts.push_back(shown.text);
        }
        return texts;
    }
    // The left soft key ("SAVE") of a dialog.
    static QPushButton* LeftKey(QDialog* dialog) {
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            if (button->text().toStdString() == CTextsMgr::Text("SAVE")) {
                return button;
            }
        }
        ADD_FAILURE() << "no save key";
        return nullptr;
    }
    std::array<long, 3> LastTimes() {
        return {static_cast<long>(config->GetLongParameter("custom_time_1")),
                static_cast<long>(config->GetLongParameter("custom_time_2")),
                static_cast<long>(config->GetLongParameter("custom_time_3"))};
    }
};

TEST_F(ModalDialogsTest, CustomTimeGivesMinutesAndPushesTheLastThree) {
    enum How { SaveKey, Accept, LastButton, Cancel };
    struct Row {
        const char* name;
        std::array<long, 3> before;
        How how;
        int hours, minutes;  // or, for LastButton, the button's index in `hours`
        int result;          // DoModal
        long chosen;         // hours x 60 + minutes given to the caller
        std::array<long, 3> after;
    };
    const Row rows[] = {
        {"first custom time", {0, 0, 0}, SaveKey, 1, 30, 1, 90, {90, 0, 0}},
        {"same as the newest: no push", {90, 45, 20}, SaveKey, 1, 30, 1, 90, {90, 45, 20}},
        {"new time pushes the others", {30, 60, 120}, SaveKey, 0, 45, 1, 45, {45, 30, 60}},
        {"an older one is pushed again", {30, 60, 120}, SaveKey, 1, 0, 1, 60, {60, 30, 60}},
        {"accepted by the caller saves too", {10, 0, 0}, Accept, 2, 5, 1, 125, {125, 10, 0}},
        {"the second button selects its time", {30, 90, 0}, LastButton, 1, 0, 1, 90, {90, 30, 90}},
        {"the newest button changes nothing", {30, 90, 0}, LastButton, 0, 0, 1, 30, {30, 90, 0}},
        {"cancelled", {30, 60, 120}, Cancel, 3, 0, 0, 0, {30, 60, 120}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (int i = 0; i < 3; ++i) {
            config->SetLongParameter(CDialogModalCustomTime::kKeys[i], static_cast<uint32_t>(row.before[i]));
        }
        std::unique_ptr<ICustomTimeDialog> dialog(New_CDialogModalCustomTime(owner.get(), 143));
        ASSERT_NE(dialog, nullptr);
        std::vector<bool> enabled;
        WhenModal([&](QDialog* shown) {
            for (const char* key : CDialogModalCustomTime::kKeys) {
                auto* button = shown->findChild<QPushButton*>(key);
                enabled.push_back(button && button->isEnabled());
            }
            auto* hours = shown->findChild<QSpinBox*>("hours");
            auto* minutes = shown->findChild<QSpinBox*>("minutes");
            ASSERT_TRUE(hours && minutes);
            if (row.how == LastButton) {
                shown->findChild<QPushButton*>(CDialogModalCustomTime::kKeys[row.hours])->click();
                return;
            }
            hours->setValue(row.hours);
            minutes->setValue(row.minutes);
            if (row.how == SaveKey) {
                LeftKey(shown)->click();
            } else if (row.how == Accept) {
                shown->accept();
            } else {
                shown->reject();
            }
        });
        EXPECT_EQ(dialog->DoModal(), row.result);
        if (row.result == 1) {
            EXPECT_EQ(dialog->GetHours() * 60 + dialog->GetMinutes(), row.chosen);
        }
        EXPECT_EQ(LastTimes(), row.after);
        // A button without a value cannot be pressed.
        ASSERT_EQ(enabled.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(enabled[i], row.before[i] > 0) << i;
        }
    }
}

TEST_F(ModalDialogsTest, CustomTimeOfZeroAsksForData) {
    CDialogModalCustomTime dialog(owner.get(), 143);
    WhenModal([&](QDialog* shown) {
        static_cast<CDialogModalCustomTime*>(shown)->Save();  // 0 h 0 min
        EXPECT_TRUE(shown->isVisible());
        Shot(shown, "dialog_custom_time_240x320");
        shown->reject();
    });
    config->SetLongParameter("custom_time_1", 90);
    EXPECT_EQ(dialog.DoModal(), 0);
    EXPECT_EQ(Boxes(), std::vector<std::string>{CTextsMgr::Text("PLEASE FILL DATA")});
    EXPECT_EQ(config->GetLongParameter("custom_time_1"), 90u);
}

TEST_F(ModalDialogsTest, SoundLevelGoesToTheSpeakerManagerAndTheVolume) {
    struct Row {
        bool speaker;
        int level;
    };
    const Row rows[] = {{true, 0}, {true, 3}, {true, 5}, {false, 2}, {false, 5}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.level) + (row.speaker ? " with" : " without") + " speaker manager");
        std::unique_ptr<CSpeakerMgr> speaker = row.speaker ? std::make_unique<CSpeakerMgr>() : nullptr;
        if (speaker) {
            speaker->SetLevel(1);
        }
        std::unique_ptr<IModalDialog> dialog(New_CDialogSoundLevel(owner.get(), 0));
        int shownLevel = -1;
        WhenModal([&](QDialog* shown) {
            auto* slider = shown->findChild<QSlider*>("level");
            ASSERT_NE(slider, nullptr);
            shownLevel = slider->value();
            EXPECT_EQ(slider->minimum(), 0);
            EXPECT_EQ(slider->maximum(), 5);
            slider->setValue(row.level);
            if (row.level == 3) {
                Shot(shown, "dialog_sound_level_240x320");
            }
            static_cast<CDialogSoundLevel*>(shown)->Save();
        });
        EXPECT_EQ(dialog->DoModal(), 1);
        if (speaker) {
            EXPECT_EQ(shownLevel, 1);  // the manager's level
            EXPECT_EQ(speaker->GetSound(), row.level);
        }
        uint32_t volume = 0;
        ASSERT_EQ(home.services().sound().getWaveVolume(volume), platform::ERROR_SUCCESS);
        EXPECT_EQ(volume, CSpeakerMgr::VolumeOfLevel(row.level));
    }
    // Without a manager the phone's volume is the level shown.
    std::unique_ptr<IModalDialog> again(New_CDialogSoundLevel(owner.get(), 0));
    EXPECT_EQ(static_cast<CDialogSoundLevel*>(again.get())->GetLevel(), 5);
}

TEST_F(ModalDialogsTest, AboutChecksTheVersionAgainstTheUpdateServer) {
    HttpServer server(home.root());
    config->SetRegistryParameter("url_update", server.url());
    config->SetRegistryParameter("current_version", "0.1.0");
    CConnectionsMgr connections;
    connections.SetVersionTimeoutMs(2000);
    CDialogModalAbout about(owner.get(), 0);
    WhenModal([&](QDialog* shown) {
        auto* version = shown->findChild<QLabel*>("version");
        auto* translator = shown->findChild<QLabel*>("translator");
        ASSERT_TRUE(version && translator);
        EXPECT_EQ(version->text().toStdString(), "Version 0.1.0");
        EXPECT_EQ(translator->text().toStdString(), "Translation: Zentrova team");
        EXPECT_EQ(about.GetVersionState().toStdString(), "The version has not been checked yet.");
        Shot(shown, "dialog_about_240x320");
        struct Row {
            int status;
            const char* body;
            CDialogModalAbout::Check check;
            const char* box;
            const char* state;
        };
        const Row rows[] = {
            {200, "0.1.0|\r\n", CDialogModalAbout::Check::Latest,
             "The version check has finished.\nYou are using the latest version.",
             "You are using the latest version."},
            {200, "0.2.0||x|URL/Zentrova-0.2.0.cab\r\n", CDialogModalAbout::Check::Newer,
             "The version check has finished.\nA newer version is available.",
             "A newer version is available."},
            {500, "", CDialogModalAbout::Check::Failed, "The latest version could not be checked.",
             "The version has not been checked yet."},
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.body);
            std::string body = row.body;
            if (auto at = body.find("URL"); at != std::string::npos) {
                body.replace(at, 3, server.url());
            }
            server.answer(row.status, body);
            home.boxes().clear();
            EXPECT_EQ(about.CheckVersion(), row.check);
            EXPECT_EQ(Boxes(), std::vector<std::string>{row.box});
            EXPECT_EQ(about.GetVersionState().toStdString(), row.state);
        }
        ASSERT_FALSE(server.requests().empty());
        EXPECT_EQ(server.requests().back().rfind("/Zentrova/zentrova?", 0), 0u) << server.requests().back();
        shown->reject();
    });
    about.DoModal();
}

TEST_F(ModalDialogsTest, AboutDownloadsTheNewerPackageAndShowsTheChanges) {
    HttpServer server(home.root());
    config->SetRegistryParameter("url_update", server.url());
    CConnectionsMgr connections;
    connections.SetVersionTimeoutMs(2000);
    CDialogModalAbout about(owner.get(), 0);
    const std::filesystem::path target = home.root() / "Zentrova.cab";
    WhenModal([&](QDialog* shown) {
        // No newer version known yet: nothing to download.
        ::setenv("ZENTROVA_FILE_ANSWER", target.c_str(), 1);
        home.boxes().clear();
        EXPECT_FALSE(about.Download());
        EXPECT_EQ(Boxes(), std::vector<std::string>{"The file could not be downloaded."});

        server.answer(200, "9.9||x|" + server.url() + "/get/Zentrova-9.9.cab\r\n");
        ASSERT_EQ(about.CheckVersion(), CDialogModalAbout::Check::Newer);
        server.answer(200, std::string("MSCF\0\x01package", 13));
        home.boxes().clear();
        EXPECT_TRUE(about.Download());
        std::ifstream in(target, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        EXPECT_EQ(bytes.str(), std::string("MSCF\0\x01package", 13));
        EXPECT_EQ(Boxes(), std::vector<std::string>{"Saved as " + target.string()});
        EXPECT_EQ(server.requests().back().rfind("/get/Zentrova-9.9.cab", 0), 0u);

        // The server fails, or the user chooses no file.
        server.answer(404, "missing");
        home.boxes().clear();
        EXPECT_FALSE(about.Download());
        EXPECT_EQ(Boxes(), std::vector<std::string>{"The file could not be downloaded."});
        ::setenv("ZENTROVA_FILE_ANSWER", "", 1);
        home.boxes().clear();
        EXPECT_FALSE(about.Download());
        EXPECT_TRUE(Boxes().empty());

        // The list of changes in the text-file dialog.
        std::string title, text;
        WhenModal([&](QDialog* changes) {
            title = static_cast<CDialogModalBase*>(changes)->GetTitle().toStdString();
            auto* view = changes->findChild<QPlainTextEdit*>("text");
            text = view ? view->toPlainText().toStdString() : "";
            Shot(changes, "dialog_about_changes_240x320");
            changes->reject();
        });
        about.ShowChanges();
        EXPECT_EQ(title, "What's new");
        EXPECT_NE(text.find("Zentrova"), std::string::npos) << text;
        shown->reject();
    });
    about.DoModal();
}

}  // namespace

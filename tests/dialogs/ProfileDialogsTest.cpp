// The modal dialogs of the profile editor: the checks that keep them open, what they store or
// hand back, and how they look on a quarter-VGA screen.

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <memory>

#include "DialogFixture.h"
#include "ModalScript.h"
#include "dialogs/CDialogModalAddPlace.h"
#include "dialogs/CDialogModalBacklight.h"
#include "dialogs/CDialogModalCallForward.h"
#include "dialogs/CDialogModalChooseFile.h"
#include "dialogs/CDialogModalChooseImage.h"
#include "dialogs/CDialogModalDelay.h"
#include "dialogs/CDialogModalMessage.h"
#include "dialogs/CDialogModalRingTone.h"
#include "dialogs/CDialogModalTheme.h"
#include "dialogs/CDialogModalTimeFrame.h"
#include "dialogs/CDialogModalWeekDays.h"
#include "dialogs/Factories.h"
#include "schedule/CScheduleEngine.h"
#include "ui/COptionDialogChooseImage.h"

namespace {

void SaveDialog(QDialog* dialog) {
    static_cast<CDialogModalBase*>(dialog)->Save();
}

class ProfileDialogsTest : public DialogFixture {
  protected:
    ~ProfileDialogsTest() override { CScheduleEngine::DestroyInstance(); }

    bool Shown(const std::string& key) {
        const std::string text = CTextsMgr::Text(key);
        for (const auto& box : home.boxes().shown()) {
            if (box.text == text) {
                return true;
            }
        }
        return false;
    }
    std::vector<CStrPeriod> FramesOf(int place) {
        std::vector<CStrPeriod> frames;
        db->GetTablePeriods()->GetAllRecordsForPlace(frames, place, 0);
        return frames;
    }
};

TEST_F(ProfileDialogsTest, AddPlaceNeedsANameAndOffersAllDayFrames) {
    for (bool withFrames : {false, true}) {
        SCOPED_TRACE(withFrames);
        home.boxes().clear();
        home.boxes().setAnswerYes(withFrames);
        CStrPlace place;
        int id = -1;
        std::unique_ptr<IModalDialog> dialog(
            New_CDialogModalAddPlace(owner.get(), CDialogModalAddPlace::kTemplate, &place, 0, &id));
        bool stayedOpen = false;
        const std::string name = withFrames ? "Home" : "Car";
        ModalScript script;
        script
            .Dialog(SaveDialog)  // no name yet
            .Dialog([&](QDialog* shown) {
                stayedOpen = shown->isVisible();
                shown->findChild<QLineEdit*>("name")->setText(QString::fromStdString(name));
                shown->findChild<QLineEdit*>("description")->setText("Mine");
                SaveDialog(shown);
            });
        EXPECT_EQ(dialog->DoModal(), 1);
        EXPECT_TRUE(stayedOpen);
        EXPECT_TRUE(Shown("PLEASE FILL DATA"));
        EXPECT_TRUE(Shown("CONFIRM CREATE DEFAULT SCHEDULE"));
        CStrPlace stored;
        stored.SetId(id);
        ASSERT_TRUE(db->GetTablePlaces()->FindAndFill(stored));
        EXPECT_EQ(stored.GetName(), name);
        EXPECT_EQ(stored.GetDescription(), "Mine");
        EXPECT_EQ(stored.GetImage(), "place_unknown.png");
        EXPECT_EQ(place.GetId(), id);
        const std::vector<CStrPeriod> frames = FramesOf(id);
        if (!withFrames) {
            EXPECT_TRUE(frames.empty());
            continue;
        }
        ASSERT_EQ(frames.size(), 7u);
        int days = 0;
        for (const CStrPeriod& frame : frames) {
            EXPECT_EQ(frame.GetName(), CTextsMgr::Text("NAME DEFAULT TIME FRAME"));
            EXPECT_EQ(frame.GetInicio().wHour * 60 + frame.GetInicio().wMinute, 0);
            EXPECT_EQ(frame.GetFinal().wHour * 60 + frame.GetFinal().wMinute, 0);
            EXPECT_EQ(frame.GetEnabled(), 1);
            days |= 1 << frame.GetWeekDay();
        }
        EXPECT_EQ(days, 0xFE);  // one on each day, Monday to Sunday
    }
}

TEST_F(ProfileDialogsTest, EditPlaceChangesTheStoredPlaceAndItsImageComesFromTheChooser) {
    CStrPlace place("Gym", "", "place_unknown.png", -1);
    db->GetTablePlaces()->Add(place);
    const std::vector<std::string> images = COptionDialogChooseImage::ListPlaceImages();
    ASSERT_GT(images.size(), 1u);
    CDialogModalAddPlace dialog(owner.get(), CDialogModalAddPlace::kTemplate, &place, true, nullptr);
    ModalScript script;
    script
        .Dialog([](QDialog* shown) {
            shown->findChild<QLineEdit*>("name")->setText("Sports");
            // Clicked from the dialog's own loop: the chooser runs modally over it.
            QTimer::singleShot(0, shown->findChild<QPushButton*>("change_icon"), &QPushButton::click);
        })
        .Dialog([&](QDialog* chooser) {
            auto* list = chooser->findChild<QListWidget*>("images");
            ASSERT_EQ(list->count(), static_cast<int>(images.size()));
            list->setCurrentRow(1);
            SaveDialog(chooser);
        })
        .Dialog(SaveDialog);
    EXPECT_EQ(dialog.DoModal(), 1);
    CStrPlace stored;
    stored.SetId(place.GetId());
    ASSERT_TRUE(db->GetTablePlaces()->FindAndFill(stored));
    EXPECT_EQ(stored.GetName(), "Sports");
    EXPECT_EQ(stored.GetImage(), images[1]);
    EXPECT_EQ(db->GetTablePlaces()->GetAllRecordsCopy().size(), 2u);  // no new place
}

TEST_F(ProfileDialogsTest, TimeFrameNeedsANameAndGuardsAlwaysOn) {
    CStrPlace place("Work", "", "place_pc.png", -1);
    db->GetTablePlaces()->Add(place);
    SYSTEMTIME begin{}, end{};
    begin.wHour = 9;
    end.wHour = 12;
    CStrPeriod always(-1, "Always", place.GetId(), begin, end);
    always.SetWeekDay(3);
    always.SetAlwaysOn(1);
    db->GetTablePeriods()->Add(always);

    CStrPeriod frame(-1, "", place.GetId(), SYSTEMTIME{}, SYSTEMTIME{});
    frame.SetWeekDay(3);
    frame.SetEnabled(1);
    CDialogModalTimeFrame dialog(owner.get(), frame);
    bool stayedOpen = false, clearedOnNo = false, stayedOpenOnCollision = false;
    ModalScript script;
    script.Dialog(SaveDialog)
        .Dialog([&](QDialog* shown) {
            stayedOpen = shown->isVisible();
            shown->findChild<QLineEdit*>("name")->setText("Lunch");
            shown->findChild<QTimeEdit*>("begin")->setTime(QTime(11, 30));
            shown->findChild<QTimeEdit*>("end")->setTime(QTime(13, 15));
            // Declining the warning clears the box again.
            home.boxes().setAnswerYes(false);
            shown->findChild<QCheckBox*>("alwayson")->setChecked(true);
            clearedOnNo = !shown->findChild<QCheckBox*>("alwayson")->isChecked();
            home.boxes().setAnswerYes(true);
            shown->findChild<QCheckBox*>("alwayson")->setChecked(true);
            SaveDialog(shown);  // collides with the 9:00-12:00 always-on frame
        })
        .Dialog([&](QDialog* shown) {
            stayedOpenOnCollision = shown->isVisible();
            shown->findChild<QTimeEdit*>("begin")->setTime(QTime(12, 0));
            shown->findChild<QCheckBox*>("enabled")->setChecked(false);
            SaveDialog(shown);
        });
    EXPECT_EQ(dialog.DoModal(), 1);
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(clearedOnNo);
    EXPECT_TRUE(stayedOpenOnCollision);
    EXPECT_TRUE(Shown("PLEASE FILL DATA"));
    EXPECT_TRUE(Shown("DIALOG_TIME_FRAME_ALWAYSON_WARNING"));
    EXPECT_TRUE(Shown("DIALOG_TIME_FRAME_ALWAYSON_COLISION"));
    const CStrPeriod& result = dialog.GetPeriod();
    EXPECT_EQ(result.GetName(), "Lunch");
    EXPECT_EQ(result.GetInicio().wHour, 12);
    EXPECT_EQ(result.GetInicio().wMinute, 0);
    EXPECT_EQ(result.GetFinal().wHour, 13);
    EXPECT_EQ(result.GetFinal().wMinute, 15);
    EXPECT_EQ(result.GetEnabled(), 0);
    EXPECT_EQ(result.GetAlwaysOn(), 1);
}

TEST_F(ProfileDialogsTest, WeekDaysAreSevenDigitsMondayFirst) {
    struct Row {
        const char* given;
        std::vector<int> toggle;
        const char* expected;
    };
    const Row rows[] = {
        {"1000000", {}, "1000000"},
        {"1000000", {1, 7}, "0000001"},
        {"0000000", {2, 3, 5}, "0110100"},
        {"1111111", {4}, "1110111"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.given);
        CDialogModalWeekDays dialog(owner.get(), row.given, true);
        ModalScript script;
        script.Dialog([&](QDialog* shown) {
            for (int day : row.toggle) {
                auto* box = shown->findChild<QCheckBox*>(QString("day%1").arg(day));
                box->setChecked(!box->isChecked());
            }
            SaveDialog(shown);
        });
        ASSERT_EQ(dialog.DoModal(), 1);
        EXPECT_EQ(dialog.GetDays(), row.expected);
    }
    EXPECT_TRUE(CDialogModalWeekDays::IsDayIn("0010000", 3));
    EXPECT_FALSE(CDialogModalWeekDays::IsDayIn("0010000", 2));
    EXPECT_EQ(CDialogModalWeekDays::OnlyDay(7), "0000001");
}

TEST_F(ProfileDialogsTest, RingTypesInListOrderWithTheirValues) {
    const char* keys[] = {
        "RING", "INCREASING RING", "RING ONCE", "VIBRATE", "VIBRATE AND RING", "VIBRATE AFTER RING", "NONE"};
    CDialogModalRingTone dialog(owner.get(), CDialogModalRingTone::kTemplate);
    dialog.SetFields(2, "/tones/a.wav", 9);  // a volume out of range leaves the volume as it is
    ModalScript script;
    script.Dialog([&](QDialog* shown) {
        auto* types = shown->findChild<QComboBox*>("type");
        ASSERT_EQ(types->count(), 7);
        for (int i = 0; i < 7; ++i) {
            EXPECT_EQ(types->itemText(i).toStdString(), CTextsMgr::Text(keys[i]));
            EXPECT_EQ(types->itemData(i).toInt(), i);
        }
        EXPECT_EQ(types->currentIndex(), 2);
        EXPECT_EQ(shown->findChild<QComboBox*>("volume")->currentData().toInt(), 0);
        types->setCurrentIndex(6);
        SaveDialog(shown);
    });
    ASSERT_EQ(dialog.DoModal(), 1);
    EXPECT_EQ(dialog.GetType(), 6);
    EXPECT_EQ(dialog.GetTone(), "/tones/a.wav");
    EXPECT_EQ(dialog.GetVolume(), 0);
}

TEST_F(ProfileDialogsTest, BacklightPacksPowerHighAndBatteryLow) {
    CDialogModalBacklight dialog(owner.get(), CDialogModalBacklight::kTemplate, (3 << 16) | 9);
    ModalScript script;
    script.Dialog([](QDialog* shown) {
        EXPECT_EQ(shown->findChild<QSpinBox*>("ac")->value(), 3);
        EXPECT_EQ(shown->findChild<QSpinBox*>("battery")->value(), 9);
        shown->findChild<QSpinBox*>("ac")->setValue(10);
        shown->findChild<QSpinBox*>("battery")->setValue(1);
        SaveDialog(shown);
    });
    ASSERT_EQ(dialog.DoModal(), 1);
    EXPECT_EQ(dialog.GetPacked(), 0x000A0001);
}

TEST_F(ProfileDialogsTest, ChooseFileWalksFoldersAndOffersOnlySoundsForRingTones) {
    const QString root = QString::fromStdString(home.root().string()) + "/files";
    QDir().mkpath(root + "/music");
    for (const char* name : {"/notes.txt", "/music/bell.wav", "/music/cover.jpg"}) {
        QFile file(root + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    CDialogModalChooseFile dialog(owner.get(), "", root.toStdString(), "SOUND FILES");
    std::vector<std::string> listed;
    ModalScript script;
    script.Dialog([&](QDialog* shown) {
        auto* list = shown->findChild<QListWidget*>("files");
        // "..", the folder, and no text file.
        ASSERT_EQ(list->count(), 2);
        list->setCurrentRow(1);
        emit list->itemActivated(list->currentItem());
        for (int i = 0; i < list->count(); ++i) {
            listed.push_back(list->item(i)->text().toStdString());
        }
        list->setCurrentRow(1);
        emit list->itemActivated(list->currentItem());  // a file: chosen
    });
    ASSERT_EQ(dialog.DoModal(), 1);
    EXPECT_EQ(listed, (std::vector<std::string>{"..", "bell.wav"}));
    EXPECT_EQ(dialog.GetFile(), (root + "/music/bell.wav").toStdString());
}

TEST_F(ProfileDialogsTest, RequiredFieldsKeepMessageAndForwardingOpen) {
    home.boxes().clear();
    CDialogModalMessage message(owner.get(), CDialogModalMessage::kTemplate, CDialogModalMessage::kSms);
    CDialogModalCallForward forward(owner.get(), CDialogModalCallForward::kTemplate);
    for (CDialogModalBase* dialog : std::initializer_list<CDialogModalBase*>{&message, &forward}) {
        bool stayedOpen = false;
        ModalScript script;
        script.Dialog(SaveDialog).Dialog([&](QDialog* shown) {
            stayedOpen = shown->isVisible();
            shown->reject();
        });
        EXPECT_EQ(dialog->DoModal(), 0);
        EXPECT_TRUE(stayedOpen);
    }
    EXPECT_TRUE(Shown("PLEASE FILL DATA"));
}

TEST_F(ProfileDialogsTest, EveryDialogFitsAQuarterVgaScreen) {
    CStrPlace place("Work", "Office", "place_pc.png", -1);
    CStrPeriod frame(-1, "Office", 1, SYSTEMTIME{}, SYSTEMTIME{});
    auto shoot = [&](IModalDialog* made, const std::string& name) {
        std::unique_ptr<IModalDialog> owned(made);
        ModalScript script;
        script.Dialog([&](QDialog* shown) {
            EXPECT_EQ(shown->size(), QSize(240, 320)) << name;
            ExpectFitsWidth(shown);
            Shot(shown, "dialog_" + name + "_240x320");
            shown->reject();
        });
        owned->DoModal();
        EXPECT_EQ(script.Ran(), 1) << name;
    };
    shoot(new CDialogModalDelay(owner.get(), 30), "delay");
    shoot(new CDialogModalTimeFrame(owner.get(), frame), "time_frame");
    shoot(new CDialogModalWeekDays(owner.get(), "1000000", true), "week_days");
    shoot(New_CDialogModalAddPlace(owner.get(), CDialogModalAddPlace::kTemplate, &place, 1, nullptr),
          "add_place");
    shoot(New_CDialogModalChooseImage(owner.get(), CDialogModalChooseImage::kTemplate), "choose_image");
    shoot(New_CDialogModalMessage(owner.get(), CDialogModalMessage::kTemplate, 1), "message_mail");
    shoot(New_CDialogModalMessage(owner.get(), CDialogModalMessage::kTemplate, 0), "message_sms");
    shoot(New_CDialogModalCallForward(owner.get(), CDialogModalCallForward::kTemplate), "call_forward");
    shoot(new CDialogModalChooseFile(owner.get(), "", home.root().string(), "ALL FILES"), "choose_file");
    shoot(New_CDialogModalTheme(owner.get(), CDialogModalTheme::kTemplate), "theme");
    shoot(New_CDialogModalBacklight(owner.get(), CDialogModalBacklight::kTemplate), "backlight");
    shoot(New_CDialogModalRingTone(owner.get(), CDialogModalRingTone::kTemplate), "ring_tone");
}

}  // namespace

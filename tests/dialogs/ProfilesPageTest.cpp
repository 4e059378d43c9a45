// The profile editor: what its commands store in the tables (actions with their codes, moments and
// values; copied days; places and frames), the refusals and confirmations on the way, and the texts
// its lists show.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTimeEdit>
#include <QTreeWidget>
#include <algorithm>
#include <optional>

#include "DialogFixture.h"
#include "ModalScript.h"
#include "dialogs/CDialogModalBase.h"
#include "dialogs/CDialogModalTheme.h"
#include "dialogs/CPropertyPageProfiles.h"
#include "dialogs/CPropertySheetDialogZentrova.h"
#include "dialogs/CSoftKeyBar.h"
#include "schedule/CScheduleEngine.h"

namespace {

using Page = CPropertyPageProfiles;

SYSTEMTIME At(int hour, int minute) {
    SYSTEMTIME t{};
    t.wHour = static_cast<uint16_t>(hour);
    t.wMinute = static_cast<uint16_t>(minute);
    return t;
}

void SaveDialog(QDialog* dialog) {
    static_cast<CDialogModalBase*>(dialog)->Save();
}

// The delay dialog: enter `seconds` and save.
ModalScript::DialogStep Delay(int seconds) {
    return [seconds](QDialog* dialog) {
        dialog->findChild<QSpinBox*>("delay")->setValue(seconds);
        SaveDialog(dialog);
    };
}

void Cancel(QDialog* dialog) {
    dialog->reject();
}

class ProfilesPageTest : public DialogFixture {
  protected:
    ProfilesPageTest() {
        CTablePlaces* places = db->GetTablePlaces();
        defaultPlace = places->GetAllRecordsCopy().front().GetId();
        CStrPlace work("Work", "Office days", "place_pc.png", -1);
        places->Add(work);
        workId = work.GetId();
        office = AddFrame("Office", 1, At(8, 0), At(18, 0));
        evening = AddFrame("Evening", 1, At(18, 0), At(22, 0));
        gym = AddFrame("Gym", 2, At(19, 0), At(20, 0));
        AddAction(office, Page::kCodeWifi, 0, 1);
        AddAction(office, Page::kCodeSpeaker, 1, 2, 3);
        page = new CPropertyPageProfiles();
        page->setParent(owner.get());
        page->setGeometry(owner->rect());
        page->InitPage();
        page->SelectPlace(workId);
        page->SelectDay(1);
        page->SelectFrame(office);
        home.boxes().clear();
    }
    ~ProfilesPageTest() override {
        delete page;
        CScheduleEngine::DestroyInstance();
    }

    int AddFrame(const std::string& name, int day, const SYSTEMTIME& begin, const SYSTEMTIME& end,
                 int place = -1) {
        CStrPeriod frame(-1, name, place == -1 ? workId : place, begin, end);
        frame.SetWeekDay(day);
        frame.SetEnabled(1);
        db->GetTablePeriods()->Add(frame);
        return frame.GetId();
    }
    void AddAction(int frame, int code, int moment, int value, int op3 = -1) {
        CStrAction action;
        action.SetId(code);
        action.SetIdPeriod(frame);
        action.SetType(moment);
        action.SetIntOp1(value);
        action.SetIntOp3(op3);
        db->GetTableActions()->Add(action);
    }
    std::optional<CStrAction> ActionOf(int frame, int code, int moment) {
        return db->GetTableActions()->GetAction(frame, code, false, moment);
    }
    std::vector<CStrPeriod> FramesOf(int place, int day) {
        std::vector<CStrPeriod> frames;
        db->GetTablePeriods()->GetAllRecordsForPlace(frames, place, day);
        std::sort(frames.begin(), frames.end());
        return frames;
    }
    std::vector<CStrAction> ActionsOf(int frame) {
        std::vector<CStrAction> actions;
        db->GetTableActions()->GetAllRecordsForPeriod(actions, frame);
        return actions;
    }
    bool Shown(const std::string& key) {
        const std::string text = CTextsMgr::Text(key);
        for (const auto& box : home.boxes().shown()) {
            if (box.text == text) {
                return true;
            }
        }
        return false;
    }
    // Every row of the actions table as text, to see that nothing changed.
    std::string AllActions() {
        std::string all, line;
        for (const CStrAction& action : db->GetTableActions()->GetAllRecordsCopy()) {
            all += action.toString(line) + "\n";
        }
        return all;
    }
    std::string AllFrames() {
        std::string all, line;
        for (const CStrPeriod& frame : db->GetTablePeriods()->GetAllRecordsCopy()) {
            all += frame.toString(line) + "\n";
        }
        return all;
    }

    int defaultPlace = -1;
    int workId = -1;
    int office = -1, evening = -1, gym = -1;
    CPropertyPageProfiles* page = nullptr;
};

TEST_F(ProfilesPageTest, DeviceItemsStoreTheirCodeMomentAndValueAfterTheDelay) {
    struct Row {
        int command;
        int code;
        int moment;
        int value;
    };
    const Row rows[] = {
        {40166, Page::kCodePhone, 0, 1},         // phone off on entering: the radio's status 1
        {40167, Page::kCodePhone, 0, 0},         // phone on: status 0
        {40198, Page::kCodePhone, 1, 1},         // phone off on leaving
        {40222, Page::kCodeWifi, 1, 0},          // Wi-Fi off on leaving
        {40160, Page::kCodeBluetooth, 0, 2},     // Bluetooth visible
        {40190, Page::kCodeBluetooth, 1, 0},     // Bluetooth off on leaving
        {40168, Page::kCodeConnections, 0, 0},   // connections disabled
        {40202, Page::kCodeConnections, 1, 2},   // connect on leaving
        {40173, Page::kCodeBand, 0, 2},          // 3G
        {40174, Page::kCodeBeam, 0, 1},          // infrared on
        {40213, Page::kCodeVibrate, 1, 0},       // vibrate off on leaving
        {40187, Page::kCodePower, 0, 0x100000},  // screen off
        {40221, Page::kCodePower, 1, 0x800000},  // reset on leaving
        {40210, Page::kCodeCallForward, 1, 0},   // forwarding off on leaving
    };
    int delay = 1;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command);
        ModalScript script;
        script.Dialog(Delay(delay));
        ASSERT_TRUE(page->OnCommand(row.command));
        EXPECT_EQ(script.Ran(), 1);
        std::optional<CStrAction> stored = ActionOf(office, row.code, row.moment);
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->GetIntOp1(), row.value);
        EXPECT_EQ(stored->GetDelay(), delay);
        EXPECT_EQ(stored->GetType(), row.moment);
        // One action per frame, code and moment.
        int same = 0;
        for (const CStrAction& action : ActionsOf(office)) {
            same += action.GetId() == row.code && action.GetType() == row.moment;
        }
        EXPECT_EQ(same, 1);
        ++delay;
    }
    EXPECT_TRUE(page->IsChanged());
}

TEST_F(ProfilesPageTest, TheSameValueStoresNothingAndAsksNothingExceptForTheSpeaker) {
    const std::string before = AllActions();
    {
        ModalScript script;
        script.Dialog(Delay(9));
        page->OnCommand(40161);  // Wi-Fi on on entering: stored already
        QApplication::processEvents();
        EXPECT_EQ(script.Ran(), 0);
    }
    EXPECT_EQ(AllActions(), before);
    EXPECT_FALSE(page->IsChanged());
    // The speaker on on leaving is stored already, yet it asks again and stores the level.
    ModalScript script;
    script.Dialog(Delay(4));
    page->OnCommand(40197);
    EXPECT_EQ(script.Ran(), 1);
    std::optional<CStrAction> speaker = ActionOf(office, Page::kCodeSpeaker, 1);
    ASSERT_TRUE(speaker);
    EXPECT_EQ(speaker->GetIntOp1(), 2);
    EXPECT_EQ(speaker->GetDelay(), 4);
    // No speaker manager runs here: the level is the full one.
    EXPECT_EQ(speaker->GetIntOp3(), Page::kFullLevel);
}

TEST_F(ProfilesPageTest, WithoutASelectedFrameNothingIsStored) {
    page->SelectFrame(-1);
    const std::string before = AllActions();
    for (int command : {40166, 40161, 40176, 40185, 40184}) {
        SCOPED_TRACE(command);
        home.boxes().clear();
        ModalScript script;
        script.Dialog(Cancel);
        page->OnCommand(command);
        QApplication::processEvents();
        EXPECT_EQ(script.Ran(), 0);
        EXPECT_TRUE(Shown("SELECT PROFILE SCHEDULE"));
    }
    EXPECT_EQ(AllActions(), before);
}

TEST_F(ProfilesPageTest, CancellingTheDelayLeavesNoNewAction) {
    ModalScript script;
    script.Dialog(Cancel);
    page->OnCommand(40170);
    EXPECT_EQ(script.Ran(), 1);
    EXPECT_FALSE(ActionOf(office, Page::kCodeConnections, 0));
}

TEST_F(ProfilesPageTest, CopyingADayOntoItselfChangesNothing) {
    home.boxes().setAnswerYes(true);
    const std::string frames = AllFrames();
    const std::string actions = AllActions();
    ModalScript script;
    script.Dialog(SaveDialog);  // the week days as offered: Monday only
    page->OnCommand(Page::kCmdCopyDay);
    EXPECT_EQ(script.Ran(), 1);
    EXPECT_EQ(AllFrames(), frames);
    EXPECT_EQ(AllActions(), actions);
}

TEST_F(ProfilesPageTest, CopyingMondayReplacesTheFramesOfTheDaysChosenWithCopiesAndTheirActions) {
    const int otherPlaceTuesday = AddFrame("Other", 2, At(7, 0), At(9, 0), defaultPlace);
    ModalScript script;
    script.Dialog([](QDialog* dialog) {
        dialog->findChild<QCheckBox*>("day2")->setChecked(true);
        dialog->findChild<QCheckBox*>("day3")->setChecked(true);
        SaveDialog(dialog);
    });
    page->OnCommand(Page::kCmdCopyDay);
    EXPECT_TRUE(Shown("DIALOG_PROFILES_COPY_WARNING"));
    EXPECT_TRUE(Shown("DIALOG_PROFILES_COPY_FINISHED"));
    const std::vector<CStrPeriod> monday = FramesOf(workId, 1);
    ASSERT_EQ(monday.size(), 2u);
    for (int day : {2, 3}) {
        SCOPED_TRACE(day);
        const std::vector<CStrPeriod> copies = FramesOf(workId, day);
        ASSERT_EQ(copies.size(), 2u);  // Tuesday's gym is gone
        for (size_t i = 0; i < copies.size(); ++i) {
            EXPECT_EQ(copies[i].GetName(), monday[i].GetName());
            EXPECT_EQ(copies[i].GetInicio().wHour, monday[i].GetInicio().wHour);
            EXPECT_EQ(copies[i].GetFinal().wHour, monday[i].GetFinal().wHour);
            EXPECT_NE(copies[i].GetId(), monday[i].GetId());
            std::vector<CStrAction> original = ActionsOf(monday[i].GetId());
            std::vector<CStrAction> copied = ActionsOf(copies[i].GetId());
            ASSERT_EQ(copied.size(), original.size());
            for (size_t a = 0; a < copied.size(); ++a) {
                EXPECT_EQ(copied[a].GetId(), original[a].GetId());
                EXPECT_EQ(copied[a].GetType(), original[a].GetType());
                EXPECT_EQ(copied[a].GetIntOp1(), original[a].GetIntOp1());
                EXPECT_EQ(copied[a].GetIntOp3(), original[a].GetIntOp3());
                EXPECT_NE(copied[a].GetKey(), original[a].GetKey());
            }
        }
    }
    CStrPeriod gone;
    gone.SetId(gym);
    EXPECT_FALSE(db->GetTablePeriods()->FindAndFill(gone));
    EXPECT_EQ(FramesOf(workId, 4).size(), 0u);
    // Another place's Tuesday stays.
    CStrPeriod other;
    other.SetId(otherPlaceTuesday);
    EXPECT_TRUE(db->GetTablePeriods()->FindAndFill(other));
}

TEST_F(ProfilesPageTest, TheDefaultPlaceCannotBeRemovedAndAnotherGoesWithItsFramesAndActions) {
    home.boxes().setAnswerYes(true);
    page->SelectPlace(defaultPlace);
    page->OnCommand(Page::kCmdPlaceRemove);
    EXPECT_TRUE(Shown("REMOVE DEFAULT PROFILE NOT ALLOWED"));
    CStrPlace kept;
    kept.SetId(defaultPlace);
    EXPECT_TRUE(db->GetTablePlaces()->FindAndFill(kept));

    // A no to the question keeps the place.
    home.boxes().setAnswerYes(false);
    page->SelectPlace(workId);
    page->OnCommand(Page::kCmdPlaceRemove);
    EXPECT_TRUE(Shown("CONFIRM DELETE PROFILE"));
    EXPECT_EQ(FramesOf(workId, 0).size(), 3u);

    home.boxes().setAnswerYes(true);
    page->OnCommand(Page::kCmdPlaceRemove);
    CStrPlace work;
    work.SetId(workId);
    EXPECT_FALSE(db->GetTablePlaces()->FindAndFill(work));
    EXPECT_TRUE(FramesOf(workId, 0).empty());
    EXPECT_TRUE(ActionsOf(office).empty());
    EXPECT_EQ(page->GetPlace().GetId(), defaultPlace);
}

TEST_F(ProfilesPageTest, AddingAFrameInsideAnotherSplitsItAndAnOverlapIsRefused) {
    home.boxes().setAnswerYes(true);
    auto frameDialog = [](const char* name, QTime begin, QTime end) {
        return [=](QDialog* dialog) {
            dialog->findChild<QLineEdit*>("name")->setText(name);
            dialog->findChild<QTimeEdit*>("begin")->setTime(begin);
            dialog->findChild<QTimeEdit*>("end")->setTime(end);
            SaveDialog(dialog);
        };
    };
    {
        ModalScript script;
        script.Dialog(frameDialog("Meeting", QTime(10, 0), QTime(11, 0)));
        page->OnCommand(Page::kCmdFrameAdd);
        EXPECT_EQ(script.Ran(), 1);
    }
    std::vector<CStrPeriod> monday = FramesOf(workId, 1);
    ASSERT_EQ(monday.size(), 4u);
    EXPECT_EQ(monday[0].GetName(), "Office");
    EXPECT_EQ(monday[0].GetFinal().wHour, 10);
    EXPECT_EQ(monday[1].GetName(), "Meeting");
    EXPECT_EQ(monday[2].GetName(), "Office");
    EXPECT_EQ(monday[2].GetInicio().wHour, 11);
    EXPECT_EQ(ActionsOf(monday[2].GetId()).size(), ActionsOf(office).size());
    EXPECT_EQ(page->GetFrame().GetName(), "Meeting");

    home.boxes().clear();
    {
        ModalScript script;
        script.Dialog(frameDialog("Late", QTime(21, 0), QTime(23, 0)));
        page->OnCommand(Page::kCmdFrameAdd);
    }
    EXPECT_EQ(FramesOf(workId, 1).size(), 4u);
    bool intersects = false;
    for (const auto& box : home.boxes().shown()) {
        intersects |= box.text.find("Evening") != std::string::npos;
    }
    EXPECT_TRUE(intersects);
}

TEST_F(ProfilesPageTest, RemovingAFrameNeedsOneAndAsks) {
    home.boxes().setAnswerYes(true);
    page->SelectFrame(-1);
    page->OnCommand(Page::kCmdFrameRemove);
    EXPECT_TRUE(Shown("SELECT PERIOD"));
    EXPECT_EQ(FramesOf(workId, 1).size(), 2u);
    page->SelectFrame(evening);
    page->OnCommand(Page::kCmdFrameRemove);
    EXPECT_TRUE(Shown("CONFIRM REMOVE TIME FRAME"));
    ASSERT_EQ(FramesOf(workId, 1).size(), 1u);
    EXPECT_EQ(FramesOf(workId, 1).front().GetId(), office);
}

TEST_F(ProfilesPageTest, ClearingAlwaysOnFramesCountsThem) {
    for (int id : {office, gym}) {
        CStrPeriod frame;
        frame.SetId(id);
        ASSERT_TRUE(db->GetTablePeriods()->FindAndFill(frame));
        frame.SetAlwaysOn(1);
        db->GetTablePeriods()->Update(frame);
    }
    page->OnCommand(Page::kCmdClearAlwaysOn);
    for (const CStrPeriod& frame : db->GetTablePeriods()->GetAllRecordsCopy()) {
        EXPECT_EQ(frame.GetAlwaysOn(), 0) << frame.GetName();
    }
    ASSERT_FALSE(home.boxes().shown().empty());
    EXPECT_EQ(home.boxes().shown().back().text,
              SafeSprintf(CTextsMgr::Text("DIALOG_SCHEDULES_REMOVE_EXECUTE_ALL_PLACES_RESULTS"), 2));
}

TEST_F(ProfilesPageTest, EditingARowOffersTheDevicesValuesDeleteAndDays) {
    // Wi-Fi on entering becomes off.
    {
        ModalScript script;
        script.Popup(1001).Dialog(Delay(2));  // the second value offered: off
        page->EditAction(Page::kCodeWifi, 0);
        EXPECT_EQ(script.Ran(), 2);
    }
    ASSERT_TRUE(ActionOf(office, Page::kCodeWifi, 0));
    EXPECT_EQ(ActionOf(office, Page::kCodeWifi, 0)->GetIntOp1(), 0);
    // Days: runs on Monday to Friday only (Saturday and Sunday digits set, the switch kept).
    {
        ModalScript script;
        script.Popup(901).Dialog([](QDialog* dialog) {
            dialog->findChild<QCheckBox*>("day6")->setChecked(false);
            dialog->findChild<QCheckBox*>("day7")->setChecked(false);
            SaveDialog(dialog);
        });
        page->EditAction(Page::kCodeWifi, 0);
    }
    EXPECT_EQ(ActionOf(office, Page::kCodeWifi, 0)->GetIntOp2(), 11000000);
    // Delete.
    {
        ModalScript script;
        script.Popup(900);
        page->EditAction(Page::kCodeWifi, 0);
    }
    EXPECT_FALSE(ActionOf(office, Page::kCodeWifi, 0));
    // The phone's "no change".
    {
        ModalScript script;
        script.Popup(1002).Dialog(Delay(0));
        page->EditAction(Page::kCodePhone, 1);
    }
    ASSERT_TRUE(ActionOf(office, Page::kCodePhone, 1));
    EXPECT_EQ(ActionOf(office, Page::kCodePhone, 1)->GetIntOp1(), Page::kNoChange);
}

TEST_F(ProfilesPageTest, DialogItemsStoreTheirDialogsValues) {
    {
        ModalScript script;
        script
            .Dialog([](QDialog* dialog) {
                dialog->findChild<QSpinBox*>("ac")->setValue(8);
                dialog->findChild<QSpinBox*>("battery")->setValue(3);
                SaveDialog(dialog);
            })
            .Dialog(Delay(0));
        page->OnCommand(Page::kCmdBacklight[0]);
    }
    ASSERT_TRUE(ActionOf(office, Page::kCodeBacklight, 0));
    EXPECT_EQ(ActionOf(office, Page::kCodeBacklight, 0)->GetIntOp1(), (8 << 16) | 3);
    {
        ModalScript script;
        script
            .Dialog([](QDialog* dialog) {
                dialog->findChild<QComboBox*>("type")->setCurrentIndex(4);
                dialog->findChild<QLineEdit*>("tone")->setText("/sounds/bell.wav");
                dialog->findChild<QComboBox*>("volume")->setCurrentIndex(3);
                SaveDialog(dialog);
            })
            .Dialog(Delay(5));
        page->OnCommand(Page::kCmdRingTone[1]);
    }
    std::optional<CStrAction> ring = ActionOf(office, Page::kCodeRingTone, 1);
    ASSERT_TRUE(ring);
    EXPECT_EQ(ring->GetSzOp1(), "/sounds/bell.wav");
    EXPECT_EQ(ring->GetSzOp2(), "var");
    EXPECT_EQ(ring->GetIntOp1(), 3);
    EXPECT_EQ(ring->GetIntOp3(), 4);
    EXPECT_EQ(ring->GetDelay(), 5);
    {
        ModalScript script;
        script
            .Dialog([](QDialog* dialog) {
                dialog->findChild<QLineEdit*>("to")->setText("boss@example.com");
                dialog->findChild<QLineEdit*>("subject")->setText("Late");
                dialog->findChild<QPlainTextEdit*>("text")->setPlainText("Stuck in traffic");
                SaveDialog(dialog);
            })
            .Dialog(Delay(0));
        page->OnCommand(Page::kCmdMail[0]);
    }
    std::optional<CStrAction> mail = ActionOf(office, Page::kCodeMail, 0);
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->GetSzOp1(), "boss@example.com");
    EXPECT_EQ(mail->GetSzOp2(), "Late");
    EXPECT_EQ(mail->GetSzOp3(), "Stuck in traffic");
    {
        ModalScript script;
        script
            .Dialog([](QDialog* dialog) {
                // The SMS has no subject.
                EXPECT_EQ(dialog->findChild<QLineEdit*>("subject"), nullptr);
                dialog->findChild<QLineEdit*>("to")->setText("+34600111222");
                dialog->findChild<QPlainTextEdit*>("text")->setPlainText("On my way");
                SaveDialog(dialog);
            })
            .Dialog(Delay(0));
        page->OnCommand(Page::kCmdSms[1]);
    }
    std::optional<CStrAction> sms = ActionOf(office, Page::kCodeSms, 1);
    ASSERT_TRUE(sms);
    EXPECT_EQ(sms->GetSzOp1(), "+34600111222");
    EXPECT_EQ(sms->GetSzOp3(), "On my way");
    {
        ModalScript script;
        script
            .Dialog([](QDialog* dialog) {
                dialog->findChild<QLineEdit*>("number")->setText("555123");
                SaveDialog(dialog);
            })
            .Dialog(Delay(0));
        page->OnCommand(Page::kCmdForwardOn[0]);
    }
    std::optional<CStrAction> forward = ActionOf(office, Page::kCodeCallForward, 0);
    ASSERT_TRUE(forward);
    EXPECT_EQ(forward->GetIntOp1(), 1);
    EXPECT_EQ(forward->GetSzOp1(), "555123");
    {
        ModalScript script;
        script
            .Dialog([](QDialog* dialog) {
                auto* list = dialog->findChild<QListWidget*>("themes");
                ASSERT_GT(list->count(), 1);
                list->setCurrentRow(1);
                SaveDialog(dialog);
            })
            .Dialog(Delay(0));
        page->OnCommand(Page::kCmdTheme[0]);
    }
    std::optional<CStrAction> theme = ActionOf(office, Page::kCodeTheme, 0);
    ASSERT_TRUE(theme);
    EXPECT_EQ(theme->GetSzOp1(), CDialogModalTheme::InstalledThemes().at(1));
}

TEST_F(ProfilesPageTest, ListsShowTheFramesOfTheDayAndTheValuesOnEnteringAndLeaving) {
    QTreeWidget* frames = page->GetFrameList();
    ASSERT_EQ(frames->topLevelItemCount(), 2);
    EXPECT_EQ(frames->topLevelItem(0)->text(0).toStdString(), "Office");
    EXPECT_EQ(frames->topLevelItem(0)->text(1).toStdString(), "08:00");
    EXPECT_EQ(frames->topLevelItem(0)->text(2).toStdString(), "18:00");
    QTreeWidget* actions = page->GetActionList();
    ASSERT_EQ(actions->topLevelItemCount(), 2);
    EXPECT_EQ(actions->topLevelItem(0)->text(0).toStdString(), CTextsMgr::Text("WIFI BUTTON"));
    EXPECT_EQ(actions->topLevelItem(0)->text(1).toStdString(), CTextsMgr::Text("ON"));
    EXPECT_EQ(actions->topLevelItem(0)->text(2).toStdString(), "");
    EXPECT_EQ(actions->topLevelItem(1)->text(2).toStdString(), "On - 60%");
    page->SelectDay(2);
    ASSERT_EQ(frames->topLevelItemCount(), 1);
    EXPECT_EQ(frames->topLevelItem(0)->text(0).toStdString(), "Gym");
    EXPECT_EQ(actions->topLevelItemCount(), 0);
}

TEST_F(ProfilesPageTest, ValueTextsOfEveryDevice) {
    struct Row {
        int code;
        int value;
        int op3;
        const char* text;
        const char* expected;  // English
    };
    const Row rows[] = {
        {Page::kCodeWifi, 1, -1, "", "On"},
        {Page::kCodeWifi, 10, -1, "", "No change"},
        {Page::kCodeBluetooth, 2, -1, "", "Visible"},
        {Page::kCodeSpeaker, 1, -1, "", "Vibrate"},
        {Page::kCodeSpeaker, 2, 1, "", "On - 20%"},
        {Page::kCodeSpeaker, 2, 5, "", "On - 100%"},
        {Page::kCodePhone, 0, -1, "", "On"},
        {Page::kCodePhone, 1, -1, "", "Off"},
        {Page::kCodeConnections, 0, -1, "", "Disabled"},
        {Page::kCodeConnections, 2, -1, "", "Connect"},
        {Page::kCodeBand, 1, -1, "", "2G"},
        {Page::kCodeBand, 0, -1, "", "Automatic"},
        {Page::kCodePower, 0x20000, -1, "", "Standby"},
        {Page::kCodePower, 0x800000, -1, "", "Restart"},
        {Page::kCodeVibrate, 1, -1, "", "Vibrate once"},
        {Page::kCodeOpenFile, -1, -1, "/docs/notes.txt", "notes.txt"},
        {Page::kCodeTheme, -1, -1, "Ocean", "Ocean"},
        {Page::kCodeBeam, 0, -1, "", "Off"},
        {Page::kCodeCallForward, 1, -1, "555", "On 555"},
        {Page::kCodeBacklight, (7 << 16) | 2, -1, "", "Power: 7 Battery: 2"},
    };
    for (const Row& row : rows) {
        CStrAction action;
        action.SetId(row.code);
        action.SetIntOp1(row.value);
        action.SetIntOp3(row.op3);
        action.SetSzOp1(row.text);
        EXPECT_EQ(Page::ValueText(action), row.expected) << row.code << " " << row.value;
    }
}

TEST_F(ProfilesPageTest, EveryMenuCommandIsInThePagesMenu) {
    std::vector<int> ids = {Page::kCmdPlaceAdd, Page::kCmdPlaceEdit,    Page::kCmdPlaceRemove,
                            Page::kCmdFrameAdd, Page::kCmdFrameEdit,    Page::kCmdFrameRemove,
                            Page::kCmdCopyDay,  Page::kCmdClearAlwaysOn};
    for (const Page::DeviceItem& item : Page::DeviceItems()) {
        ids.push_back(item.command[0]);
        ids.push_back(item.command[1]);
    }
    for (int moment = 0; moment < 2; ++moment) {
        for (int id : {Page::kCmdMail[moment], Page::kCmdSms[moment], Page::kCmdForwardOff[moment],
                       Page::kCmdForwardOn[moment], Page::kCmdOpenFile[moment], Page::kCmdTheme[moment],
                       Page::kCmdBacklight[moment], Page::kCmdRingTone[moment]}) {
            ids.push_back(id);
        }
    }
    CSoftKeyBar keys(owner.get());
    page->Activate(&keys);
    QMenu* menu = page->findChild<QMenu*>();
    ASSERT_NE(menu, nullptr);
    for (int id : ids) {
        QAction* action = menu->findChild<QAction*>(QString("cmd_%1").arg(id));
        ASSERT_NE(action, nullptr) << id;
        EXPECT_EQ(action->data().toInt(), id);
    }
    // 8 place and frame commands, 24 device items and 8 dialog items, each on entering and leaving.
    EXPECT_EQ(ids.size(), 8u + 2 * (24 + 8));
}

}  // namespace

namespace {

TEST_F(ProfilesPageTest, ThePageInTheSheetShowsAPlaceItsFramesAndActions) {
    AddAction(office, Page::kCodePhone, 1, 1);
    AddAction(office, Page::kCodeBand, 0, 2);
    // The sheet has a page of its own; the owner windows below replace the fixture's.
    delete page;
    page = nullptr;
    for (const auto& [width, height] : {std::pair{240, 320}, std::pair{480, 640}}) {
        Screen(width, height);
        CPropertySheetDialogZentrova sheet(owner.get());
        sheet.Build();
        sheet.show();
        sheet.SetCurrentPage(4);
        auto* shown = dynamic_cast<CPropertyPageProfiles*>(sheet.GetPage(4));
        ASSERT_NE(shown, nullptr);
        shown->SelectPlace(workId);
        shown->SelectDay(1);
        shown->SelectFrame(office);
        QApplication::processEvents();
        EXPECT_EQ(shown->GetActionList()->topLevelItemCount(), 4);
        ExpectFitsWidth(&sheet);
        Shot(&sheet, "profiles_page_" + std::to_string(width) + "x" + std::to_string(height));
        sheet.hide();
    }
}

}  // namespace

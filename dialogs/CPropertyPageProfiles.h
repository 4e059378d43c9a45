#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dialogs/CPropertyPageBase.h"
#include "store/CStrAction.h"
#include "store/CStrPeriod.h"
#include "store/CStrPlace.h"

class QComboBox;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

// The profile editor: choose a place and a day of the week, see that day's time frames, and see
// and edit what the selected frame does when it starts ("on entering") and when it ends ("on
// leaving"). Places and frames are added, edited and removed through the page's menu, which also
// adds actions and copies a day's frames to other days.
class CPropertyPageProfiles : public CPropertyPageBase {
  public:
    // Commands of the page's menu.
    static constexpr int kCmdPlaceAdd = 40155;
    static constexpr int kCmdPlaceEdit = 40156;
    static constexpr int kCmdPlaceRemove = 40157;
    static constexpr int kCmdFrameAdd = 40148;
    static constexpr int kCmdFrameEdit = 40149;
    static constexpr int kCmdFrameRemove = 40150;
    static constexpr int kCmdCopyDay = 40278;
    static constexpr int kCmdClearAlwaysOn = 40281;
    // Action items that open a dialog first: on entering / on leaving.
    static constexpr int kCmdMail[2] = {40176, 40208};
    static constexpr int kCmdSms[2] = {40177, 40209};
    static constexpr int kCmdForwardOff[2] = {40178, 40210};
    static constexpr int kCmdForwardOn[2] = {40179, 40211};
    static constexpr int kCmdOpenFile[2] = {40182, 40214};
    static constexpr int kCmdTheme[2] = {40183, 40215};
    static constexpr int kCmdBacklight[2] = {40184, 40216};
    static constexpr int kCmdRingTone[2] = {40185, 40217};

    // Action codes.
    static constexpr int kCodeWifi = 0;
    static constexpr int kCodeBluetooth = 1;
    static constexpr int kCodeSpeaker = 2;
    static constexpr int kCodePhone = 3;
    static constexpr int kCodeConnections = 4;
    static constexpr int kCodeBand = 5;
    static constexpr int kCodePower = 9;
    static constexpr int kCodeVibrate = 11;
    static constexpr int kCodeOpenFile = 12;
    static constexpr int kCodeMail = 13;
    static constexpr int kCodeSms = 14;
    static constexpr int kCodeTheme = 15;
    static constexpr int kCodeRingTone = 16;
    static constexpr int kCodeBeam = 50;
    static constexpr int kCodeCallForward = 51;
    static constexpr int kCodeBacklight = 52;
    // The value that leaves a device as it is.
    static constexpr int kNoChange = 10;
    // The speaker level stored when none is known.
    static constexpr int kFullLevel = 5;

    // One menu item that stores a device value.
    struct DeviceItem {
        int code;
        int value;
        int command[2];  // on entering, on leaving
        const char* captionKey;
    };
    static const std::vector<DeviceItem>& DeviceItems();

    CPropertyPageProfiles();

    // Runs a command of the page's menu (false for an id the page does not know).
    bool OnCommand(int id);

    // Selection, as the lists and the place and day choices make it.
    void SelectPlace(int placeId);
    void SelectDay(int weekDay);
    void SelectFrame(int frameId);
    const CStrPlace& GetPlace() const { return _place; }
    int GetDay() const { return _day; }
    const CStrPeriod& GetFrame() const { return _frame; }
    // Whether an action was stored since the page opened.
    bool IsChanged() const { return _changed; }

    // Stores a device value for the selected frame (moment 0 on entering, 1 on leaving). Nothing
    // is stored without a selected frame, nor when the action has that value already (except the
    // speaker, whose level may change); the user confirms through the delay dialog.
    void StoreDeviceAction(int code, int moment, int value, const std::string& text = "");
    // Edits the selected frame's action of (code, moment) as a tap on its cell of the list does:
    // a popup of the device's values, or the action's own dialog.
    void EditAction(int code, int moment);

    // The caption of an action's device and the text of its value, as the list shows them.
    static std::string DeviceCaption(int code);
    static std::string ValueText(const CStrAction& action);

    QComboBox* GetPlaceChoice() const { return _places; }
    QComboBox* GetDayChoice() const { return _days; }
    QTreeWidget* GetFrameList() const { return _frames; }
    QTreeWidget* GetActionList() const { return _actions; }

  protected:
    void OnInitPage() override;
    void FillMenu(QMenu* menu) override;

  private:
    // Lists: the places (keeping the selection when it still exists), the day's frames, the
    // selected frame's actions.
    void FillPlaces(int selectPlaceId);
    void FillFrames(int selectFrameId);
    void FillActions();
    void AddActionMenus(QMenu* menu);

    // Stores a dialog-backed action: `edit` runs the dialog on a copy of the action and fills it;
    // false (cancelled) stores nothing.
    void StoreDialogAction(int code, int moment, const std::function<bool(CStrAction&)>& edit);
    // Asks the delay and writes the action; false when the user cancelled.
    bool ConfirmAndStore(CStrAction& action, bool created);
    // The action's dialog for the codes that have one; false when cancelled.
    bool RunActionDialog(CStrAction& action);
    // The popup of a device's values for an action row.
    void EditDeviceAction(int code, int moment);
    // The level of the sound-level dialog, kFullLevel when it is cancelled or missing.
    int AskSoundLevel();
    // The days on which an action runs (its per-day switches).
    void EditActionDays(CStrAction& action);

    // Places and frames.
    void AddPlace();
    void EditPlace();
    void RemovePlace();
    void AddFrame();
    void EditFrame();
    void RemoveFrame();
    void CopyDay();
    void ClearAlwaysOn();
    // The default place (the first place created, which cannot be removed).
    static int DefaultPlaceId();

    bool NeedPlace() const;
    bool NeedFrame(const char* key) const;

    CStrPlace _place;
    int _day = 1;
    CStrPeriod _frame;
    bool _changed = false;
    QComboBox* _places = nullptr;
    QComboBox* _days = nullptr;
    QTreeWidget* _frames = nullptr;
    QTreeWidget* _actions = nullptr;
};

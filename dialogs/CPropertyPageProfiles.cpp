#include "dialogs/CPropertyPageProfiles.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <map>
#include <memory>
#include <optional>

#include "core/CBaseException.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/MessageBoxes.h"
#include "core/SafeFormat.h"
#include "dialogs/CDialogModalAddPlace.h"
#include "dialogs/CDialogModalBacklight.h"
#include "dialogs/CDialogModalCallForward.h"
#include "dialogs/CDialogModalChooseFile.h"
#include "dialogs/CDialogModalDelay.h"
#include "dialogs/CDialogModalMessage.h"
#include "dialogs/CDialogModalRingTone.h"
#include "dialogs/CDialogModalTheme.h"
#include "dialogs/CDialogModalTimeFrame.h"
#include "dialogs/CDialogModalWeekDays.h"
#include "dialogs/DialogStyle.h"
#include "dialogs/Factories.h"
#include "managers/CSpeakerMgr.h"
#include "platform/Services.h"
#include "schedule/CScheduleEngine.h"
#include "schedule/CScheduleFrames.h"
#include "store/CDB.h"
#include "ui/COptionDialog.h"
#include "ui/IModalDialog.h"

// The sound-level dialog may be missing from a build of the library: then the speaker is stored at
// full level.
#pragma weak New_CDialogSoundLevel

namespace {

constexpr int kTemplateSoundLevel = 166;
// Command ids of the edit popup: the device's values from kFirstValue, then the row's commands.
constexpr int kFirstValue = 1000;
constexpr int kChoiceDelete = 900;
constexpr int kChoiceDays = 901;
// Power states of the power items.
constexpr int kPowerOn = 0x10000;
constexpr int kPowerScreenOff = 0x100000;
constexpr int kPowerStandby = 0x20000;
constexpr int kPowerReset = 0x800000;

constexpr const char* kDayKeys[7] = {"DIALOG_WEEK_MONDAY",   "DIALOG_WEEK_TUESDAY", "DIALOG_WEEK_WEDNESDAY",
                                     "DIALOG_WEEK_THURSDAY", "DIALOG_WEEK_FRIDAY",  "DIALOG_WEEK_SATURDAY",
                                     "DIALOG_WEEK_SUNDAY"};

using Page = CPropertyPageProfiles;

// The values the edit popup offers for a device, with their captions, and the skin id of its images.
struct PopupValues {
    const char* skinId;
    std::vector<std::pair<const char*, int>> values;
};

std::optional<PopupValues> ValuesOf(int code) {
    switch (code) {
        case Page::kCodeWifi:
            return PopupValues{"wifi", {{"ON", 1}, {"OFF", 0}, {"NO CHANGE", Page::kNoChange}}};
        case Page::kCodeBluetooth:
            return PopupValues{
                "bt", {{"BT ON", 1}, {"BT DISCOVERABLE", 2}, {"BT OFF", 0}, {"NO CHANGE", Page::kNoChange}}};
        case Page::kCodeSpeaker:
            return PopupValues{"speaker",
                               {{"ON", 2}, {"MUTE", 0}, {"VIBRATE", 1}, {"NO CHANGE", Page::kNoChange}}};
        case Page::kCodePhone:
            return PopupValues{"phone", {{"ON", 0}, {"OFF", 1}, {"NO CHANGE", Page::kNoChange}}};
        case Page::kCodeConnections:
            return PopupValues{
                "connections",
                {{"DISABLE", 0}, {"DISCONNECTED", 1}, {"CONNECTED", 2}, {"NO CHANGE", Page::kNoChange}}};
        case Page::kCodeBand:
            return PopupValues{"band",
                               {{"BAND 2G", 1}, {"BAND 3G", 2}, {"AUTO", 0}, {"NO CHANGE", Page::kNoChange}}};
        case Page::kCodeBeam:
        case Page::kCodeCallForward:
            return PopupValues{"settings", {{"ON", 1}, {"OFF", 0}, {"NO CHANGE", Page::kNoChange}}};
        case Page::kCodeVibrate:
            return PopupValues{"speaker", {{"ON", 1}, {"OFF", 0}}};
        case Page::kCodePower:
            return PopupValues{"settings",
                               {{"ON", kPowerOn},
                                {"POWER SCREEN OFF", kPowerScreenOff},
                                {"POWER STANDBY", kPowerStandby},
                                {"POWER RESET", kPowerReset}}};
        default:
            return std::nullopt;
    }
}

std::string Tr(const std::string& key) {
    return CTextsMgr::Text(key);
}

std::string OnOff(int value) {
    return Tr(value ? "ON" : "OFF");
}

std::string TimeText(const SYSTEMTIME& t) {
    return SafeSprintf("%02d:%02d", static_cast<int>(t.wHour), static_cast<int>(t.wMinute));
}

// The file name without its folders, as the list has little room.
std::string FileName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

CDB* Database() {
    CDB* db = CDB::GetOpened();
    if (!db) {
        throw CExceptionDB("The database is not open");
    }
    return db;
}

void TellEngine() {
    if (CScheduleEngine* engine = CScheduleEngine::GetInstance()) {
        engine->ChangeInDB();
    }
}

// The weekday of the phone's clock, 1 Monday ... 7 Sunday.
int Today() {
    if (!platform::Services::isInstalled()) {
        return 1;
    }
    const int day = platform::Services::get().clock().localTime().wDayOfWeek;
    return day == 0 ? 7 : day;
}

}  // namespace

const std::vector<CPropertyPageProfiles::DeviceItem>& CPropertyPageProfiles::DeviceItems() {
    static const std::vector<DeviceItem> kItems{
        {kCodeBluetooth, 0, {40158, 40190}, "BT OFF"},
        {kCodeBluetooth, 1, {40159, 40191}, "BT ON"},
        {kCodeBluetooth, 2, {40160, 40192}, "BT DISCOVERABLE"},
        {kCodeWifi, 1, {40161, 40193}, "ON"},
        {kCodeWifi, 0, {40162, 40222}, "OFF"},
        {kCodeSpeaker, 0, {40163, 40195}, "MUTE"},
        {kCodeSpeaker, 1, {40164, 40196}, "VIBRATE"},
        {kCodeSpeaker, 2, {40165, 40197}, "ON"},
        {kCodePhone, 1, {40166, 40198}, "OFF"},
        {kCodePhone, 0, {40167, 40199}, "ON"},
        {kCodeConnections, 0, {40168, 40200}, "MENU_CONNECTIONS_DISABLED"},
        {kCodeConnections, 1, {40169, 40201}, "CLOSE"},
        {kCodeConnections, 2, {40170, 40202}, "CONNECT"},
        {kCodeBand, 0, {40171, 40203}, "BAND AUTO"},
        {kCodeBand, 1, {40172, 40204}, "BAND 2G"},
        {kCodeBand, 2, {40173, 40205}, "BAND 3G"},
        {kCodeBeam, 1, {40174, 40206}, "ON"},
        {kCodeBeam, 0, {40175, 40207}, "OFF"},
        {kCodeVibrate, 1, {40180, 40212}, "ON"},
        {kCodeVibrate, 0, {40181, 40213}, "OFF"},
        {kCodePower, kPowerOn, {40186, 40218}, "ON"},
        {kCodePower, kPowerScreenOff, {40187, 40219}, "POWER SCREEN OFF"},
        {kCodePower, kPowerStandby, {40188, 40220}, "POWER STANDBY"},
        {kCodePower, kPowerReset, {40189, 40221}, "POWER RESET"},
    };
    return kItems;
}

CPropertyPageProfiles::CPropertyPageProfiles() : CPropertyPageBase("PAGE PROFILES", "profiles_dialog") {}

// Texts of the lists.

std::string CPropertyPageProfiles::DeviceCaption(int code) {
    static const std::map<int, const char*> kCaptions{
        {kCodeWifi, "WIFI BUTTON"},
        {kCodeBluetooth, "BLUETOOTH BUTTON"},
        {kCodeSpeaker, "SPEAKER"},
        {kCodePhone, "PHONE"},
        {kCodeConnections, "CONNECTIONS"},
        {kCodeBand, "BAND"},
        {kCodePower, "POWER"},
        {kCodeVibrate, "VIBRATE"},
        {kCodeOpenFile, "OPEN FILE"},
        {kCodeMail, "MAIL"},
        {kCodeSms, "SMS"},
        {kCodeTheme, "TODAY THEME"},
        {kCodeRingTone, "RING TONE"},
        {kCodeBeam, "BEAM"},
        {kCodeCallForward, "CALL FORWARDING"},
        {kCodeBacklight, "BACKLIGHT"},
    };
    auto it = kCaptions.find(code);
    return it == kCaptions.end() ? std::to_string(code) : Tr(it->second);
}

std::string CPropertyPageProfiles::ValueText(const CStrAction& action) {
    const int value = action.GetIntOp1();
    const bool device =
        action.GetId() <= kCodePower || action.GetId() == kCodeBeam || action.GetId() == kCodeCallForward;
    if (device && value == kNoChange) {
        return Tr("NO CHANGE");
    }
    switch (action.GetId()) {
        case kCodeWifi:
        case kCodeBeam:
            return OnOff(value);
        case kCodeBluetooth:
            return value == 2 ? Tr("DISCOVERABLE") : OnOff(value);
        case kCodeSpeaker: {
            if (value == 1) {
                return Tr("VIBRATE");
            }
            if (value == 0) {
                return Tr("MUTE");
            }
            static const char* kLevels[] = {"ON - 20%", "ON - 40%", "ON - 60%", "ON - 80%", "ON - 100%"};
            const int level = action.GetIntOp3();
            // The level texts hold a percent sign written for formatting ("%%").
            return level >= 1 && level <= 5 ? SafeSprintf(Tr(kLevels[level - 1])) : Tr("ON");
        }
        case kCodePhone:
            // The phone radio's status 0 is on.
            return OnOff(value == 0 ? 1 : 0);
        case kCodeConnections:
            return Tr(value == 0 ? "DISABLED" : value == 1 ? "CLOSE" : "CONNECT");
        case kCodeBand:
            return Tr(value == 1 ? "BAND 2G" : value == 2 ? "BAND 3G" : "BAND AUTO");
        case kCodePower:
            switch (value) {
                case kPowerReset:
                    return Tr("POWER RESET");
                case kPowerScreenOff:
                    return Tr("POWER SCREEN OFF");
                case kPowerStandby:
                    return Tr("POWER STANDBY");
                default:
                    return Tr("ON");
            }
        case kCodeVibrate:
            return value != 0 ? Tr("TWO SECONDS") : Tr("OFF");
        case kCodeOpenFile:
        case kCodeRingTone:
            return FileName(action.GetSzOp1());
        case kCodeMail:
            return action.GetSzOp1() + (action.GetSzOp2().empty() ? "" : ": " + action.GetSzOp2());
        case kCodeSms:
            return action.GetSzOp1() + (action.GetSzOp3().empty() ? "" : ": " + action.GetSzOp3());
        case kCodeTheme:
            return action.GetSzOp1();
        case kCodeCallForward:
            return value == 1 ? OnOff(1) + " " + action.GetSzOp1() : OnOff(0);
        case kCodeBacklight:
            return Tr("AC:") + " " + std::to_string(CDialogModalBacklight::AcOf(value)) + " " + Tr("Bat:") +
                   " " + std::to_string(CDialogModalBacklight::BatteryOf(value));
        default:
            return std::to_string(value);
    }
}

// Building the page.

void CPropertyPageProfiles::OnInitPage() {
    auto* choices = new QHBoxLayout();
    _places = new QComboBox();
    _places->setObjectName("places");
    _places->setMinimumWidth(0);
    _places->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    _places->setMinimumContentsLength(6);
    choices->addWidget(_places, 3);
    _days = new QComboBox();
    _days->setObjectName("days");
    _days->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    _days->setMinimumContentsLength(5);
    for (int day = 1; day <= 7; ++day) {
        _days->addItem(Tr(kDayKeys[day - 1]).c_str(), day);
    }
    choices->addWidget(_days, 2);
    Content()->addLayout(choices);

    _frames = new QTreeWidget();
    _frames->setObjectName("frames");
    _frames->setRootIsDecorated(false);
    _frames->setColumnCount(3);
    _frames->setHeaderLabels({Tr("DIALOG_PROFILES_NAME").c_str(), Tr("DIALOG_PROFILES_INIT").c_str(),
                              Tr("DIALOG_PROFILES_END").c_str()});
    _frames->header()->setStretchLastSection(false);
    _frames->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    _frames->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    _frames->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    _frames->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Content()->addWidget(_frames, 2);

    _actions = new QTreeWidget();
    _actions->setObjectName("actions");
    _actions->setRootIsDecorated(false);
    _actions->setColumnCount(3);
    _actions->setHeaderLabels({Tr("DIALOG_PROFILES_ACTION").c_str(), Tr("DIALOG_PROFILES_ON_ENTER").c_str(),
                               Tr("DIALOG_PROFILES_ON_EXIT").c_str()});
    _actions->header()->setStretchLastSection(false);
    for (int column = 0; column < 3; ++column) {
        _actions->header()->setSectionResizeMode(column, QHeaderView::Stretch);
    }
    _actions->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    _actions->setTextElideMode(Qt::ElideRight);
    Content()->addWidget(_actions, 3);

    connect(_places, &QComboBox::activated, this,
            [this](int index) { SelectPlace(_places->itemData(index).toInt()); });
    connect(_days, &QComboBox::activated, this, [this](int index) { SelectDay(index + 1); });
    connect(_frames, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { SelectFrame(item->data(0, Qt::UserRole).toInt()); });
    connect(_actions, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int column) {
        const int code = item->data(0, Qt::UserRole).toInt();
        int moment = column == 2 ? 1 : 0;
        if (column == 0 && item->text(1).isEmpty() && !item->text(2).isEmpty()) {
            moment = 1;
        }
        EditAction(code, moment);
    });

    _day = Today();
    _days->setCurrentIndex(_day - 1);
    int place = -1;
    if (CScheduleEngine* engine = CScheduleEngine::GetInstance()) {
        const CStrPeriod current = engine->GetCurrentPeriod();
        place = current.GetId() == -1 ? -1 : current.GetIdPlace();
    }
    try {
        FillPlaces(place);
    } catch (const CBaseException& e) {
        ReportError(e.GetMessageW());
    }
}

void CPropertyPageProfiles::FillPlaces(int selectPlaceId) {
    std::vector<CStrPlace> places = Database()->GetTablePlaces()->GetAllRecordsCopy();
    int index = places.empty() ? -1 : 0;
    {
        const QSignalBlocker quiet(_places);
        _places->clear();
        for (size_t i = 0; i < places.size(); ++i) {
            _places->addItem(QString::fromStdString(places[i].GetName()), places[i].GetId());
            if (places[i].GetId() == selectPlaceId) {
                index = static_cast<int>(i);
            }
        }
        _places->setCurrentIndex(index);
    }
    SelectPlace(index < 0 ? -1 : places[static_cast<size_t>(index)].GetId());
}

void CPropertyPageProfiles::SelectPlace(int placeId) {
    _place = CStrPlace();
    _place.SetId(placeId);
    if (placeId == -1 || !Database()->GetTablePlaces()->FindAndFill(_place)) {
        _place = CStrPlace();
    }
    if (_places) {
        const QSignalBlocker quiet(_places);
        _places->setCurrentIndex(_places->findData(_place.GetId()));
    }
    FillFrames(-1);
}

void CPropertyPageProfiles::SelectDay(int weekDay) {
    _day = std::clamp(weekDay, 1, 7);
    if (_days) {
        const QSignalBlocker quiet(_days);
        _days->setCurrentIndex(_day - 1);
    }
    FillFrames(-1);
}

void CPropertyPageProfiles::FillFrames(int selectFrameId) {
    std::vector<CStrPeriod> frames;
    if (_place.GetId() != -1) {
        Database()->GetTablePeriods()->GetAllRecordsForPlace(frames, _place.GetId(), _day);
        CScheduleFrames::OrderPeriods(frames);
    }
    int select = frames.empty() ? -1 : frames.front().GetId();
    if (_frames) {
        _frames->clear();
        for (const CStrPeriod& frame : frames) {
            auto* item = new QTreeWidgetItem(_frames, {QString::fromStdString(frame.GetName()),
                                                       QString::fromStdString(TimeText(frame.GetInicio())),
                                                       QString::fromStdString(TimeText(frame.GetFinal()))});
            item->setData(0, Qt::UserRole, frame.GetId());
            if (frame.GetId() == selectFrameId) {
                select = selectFrameId;
            }
        }
    }
    SelectFrame(select);
}

void CPropertyPageProfiles::SelectFrame(int frameId) {
    _frame = CStrPeriod();
    _frame.SetId(frameId);
    if (frameId == -1 || !Database()->GetTablePeriods()->FindAndFill(_frame)) {
        _frame = CStrPeriod();
    }
    if (_frames) {
        QTreeWidgetItem* current = nullptr;
        for (int i = 0; i < _frames->topLevelItemCount(); ++i) {
            if (_frames->topLevelItem(i)->data(0, Qt::UserRole).toInt() == _frame.GetId() &&
                _frame.GetId() != -1) {
                current = _frames->topLevelItem(i);
            }
        }
        const QSignalBlocker quiet(_frames);
        _frames->setCurrentItem(current);
        if (!current) {
            _frames->clearSelection();
        }
    }
    FillActions();
}

void CPropertyPageProfiles::FillActions() {
    if (!_actions) {
        return;
    }
    _actions->clear();
    if (_frame.GetId() == -1) {
        return;
    }
    std::vector<CStrAction> actions;
    Database()->GetTableActions()->GetAllRecordsForPeriod(actions, _frame.GetId());
    // One row per device, the value on entering and the value on leaving side by side.
    std::map<int, QTreeWidgetItem*> rows;
    for (const CStrAction& action : actions) {
        QTreeWidgetItem*& row = rows[action.GetId()];
        if (!row) {
            row = new QTreeWidgetItem(_actions,
                                      {QString::fromStdString(DeviceCaption(action.GetId())), "", ""});
            row->setData(0, Qt::UserRole, action.GetId());
        }
        const int column = action.GetType() == 1 ? 2 : 1;
        row->setText(column, QString::fromStdString(ValueText(action)));
        row->setToolTip(column, row->text(column));
    }
}

// The menu.

void CPropertyPageProfiles::FillMenu(QMenu* menu) {
    auto add = [this](QMenu* into, const std::string& caption, int id) {
        QAction* action =
            into->addAction(QString::fromStdString(caption), this, [this, id] { OnCommand(id); });
        action->setData(id);
        action->setObjectName(QString("cmd_%1").arg(id));
    };
    QMenu* places = menu->addMenu(Tr("PAGE PROFILES").c_str());
    add(places, Tr("MENU_ADD"), kCmdPlaceAdd);
    add(places, Tr("MENU_EDIT"), kCmdPlaceEdit);
    add(places, Tr("MENU_REMOVE"), kCmdPlaceRemove);
    QMenu* frames = menu->addMenu(Tr("SCHEDULE").c_str());
    add(frames, Tr("MENU_ADD"), kCmdFrameAdd);
    add(frames, Tr("MENU_EDIT"), kCmdFrameEdit);
    add(frames, Tr("MENU_REMOVE"), kCmdFrameRemove);
    add(frames, Tr("MENU_COPY_PASTE"), kCmdCopyDay);
    add(frames, Tr("DIALOG_SCHEDULES_REMOVE_EXECUTE_ALL_PLACES"), kCmdClearAlwaysOn);
    AddActionMenus(menu->addMenu(Tr("MENU_ADD_ACTION").c_str()));
}

void CPropertyPageProfiles::AddActionMenus(QMenu* menu) {
    auto add = [this](QMenu* into, const std::string& caption, int id) {
        QAction* action =
            into->addAction(QString::fromStdString(caption), this, [this, id] { OnCommand(id); });
        action->setData(id);
        action->setObjectName(QString("cmd_%1").arg(id));
    };
    auto addDevice = [&](QMenu* into, int code, int moment) {
        QMenu* device = into->addMenu(DeviceCaption(code).c_str());
        for (const DeviceItem& item : DeviceItems()) {
            if (item.code == code) {
                add(device, Tr(item.captionKey), item.command[moment]);
            }
        }
    };
    for (int moment = 0; moment < 2; ++moment) {
        QMenu* when =
            menu->addMenu(Tr(moment == 0 ? "DIALOG_PROFILES_ON_ENTER" : "DIALOG_PROFILES_ON_EXIT").c_str());
        QMenu* hardware = when->addMenu(Tr("MENU_ACTIONS_HW").c_str());
        for (int code :
             {kCodeBluetooth, kCodeWifi, kCodeSpeaker, kCodePhone, kCodeConnections, kCodeBand, kCodeBeam}) {
            addDevice(hardware, code, moment);
        }
        QMenu* forward = hardware->addMenu(Tr("DIALOG_CALL_FORWARD_TITLE").c_str());
        add(forward, Tr("OFF"), kCmdForwardOff[moment]);
        add(forward, Tr("ON"), kCmdForwardOn[moment]);
        QMenu* messaging = when->addMenu(Tr("MENU_ACTIONS_MESSAGING").c_str());
        add(messaging, Tr("MAIL"), kCmdMail[moment]);
        add(messaging, Tr("SMS"), kCmdSms[moment]);
        QMenu* misc = when->addMenu(Tr("MENU_ACTIONS_MISC").c_str());
        addDevice(misc, kCodeVibrate, moment);
        add(misc, Tr("OPEN FILE"), kCmdOpenFile[moment]);
        add(misc, Tr("TODAY THEME"), kCmdTheme[moment]);
        add(misc, Tr("DIALOG_BACKLIGHT_TITLE"), kCmdBacklight[moment]);
        add(misc, Tr("DIALOG_RING_TITLE"), kCmdRingTone[moment]);
        QMenu* power = when->addMenu(Tr("MENU_ACTIONS_POWER").c_str());
        for (const DeviceItem& item : DeviceItems()) {
            if (item.code == kCodePower) {
                add(power, Tr(item.captionKey), item.command[moment]);
            }
        }
    }
}

bool CPropertyPageProfiles::OnCommand(int id) {
    try {
        for (const DeviceItem& item : DeviceItems()) {
            for (int moment = 0; moment < 2; ++moment) {
                if (item.command[moment] == id) {
                    StoreDeviceAction(item.code, moment, item.value, Tr(item.captionKey));
                    return true;
                }
            }
        }
        for (int moment = 0; moment < 2; ++moment) {
            auto dialogOf = [this](CStrAction& action) { return RunActionDialog(action); };
            if (id == kCmdMail[moment]) {
                StoreDialogAction(kCodeMail, moment, dialogOf);
            } else if (id == kCmdSms[moment]) {
                StoreDialogAction(kCodeSms, moment, dialogOf);
            } else if (id == kCmdForwardOff[moment]) {
                StoreDeviceAction(kCodeCallForward, moment, 0);
            } else if (id == kCmdForwardOn[moment]) {
                StoreDialogAction(kCodeCallForward, moment, dialogOf);
            } else if (id == kCmdOpenFile[moment]) {
                StoreDialogAction(kCodeOpenFile, moment, dialogOf);
            } else if (id == kCmdTheme[moment]) {
                StoreDialogAction(kCodeTheme, moment, dialogOf);
            } else if (id == kCmdBacklight[moment]) {
                StoreDialogAction(kCodeBacklight, moment, dialogOf);
            } else if (id == kCmdRingTone[moment]) {
                StoreDialogAction(kCodeRingTone, moment, dialogOf);
            } else {
                continue;
            }
            return true;
        }
        switch (id) {
            case kCmdPlaceAdd:
                AddPlace();
                return true;
            case kCmdPlaceEdit:
                EditPlace();
                return true;
            case kCmdPlaceRemove:
                RemovePlace();
                return true;
            case kCmdFrameAdd:
                AddFrame();
                return true;
            case kCmdFrameEdit:
                EditFrame();
                return true;
            case kCmdFrameRemove:
                RemoveFrame();
                return true;
            case kCmdCopyDay:
                CopyDay();
                return true;
            case kCmdClearAlwaysOn:
                ClearAlwaysOn();
                return true;
            default:
                return false;
        }
    } catch (const CBaseException& e) {
        ReportError(e.GetMessageW());
        // What is shown again comes from the tables as they are now.
        FillFrames(_frame.GetId());
        return true;
    }
}

// Actions.

void CPropertyPageProfiles::StoreDeviceAction(int code, int moment, int value, const std::string& text) {
    if (_frame.GetId() == -1) {
        TextBox(Tr("SELECT PROFILE SCHEDULE"));
        return;
    }
    CTableActions* actions = Database()->GetTableActions();
    const bool existed = actions->GetAction(_frame.GetId(), code, false, moment).has_value();
    std::optional<CStrAction> action = actions->GetAction(_frame.GetId(), code, true, moment);
    if (!action) {
        return;
    }
    // The speaker may be on already at another level: it always asks.
    if (action->GetIntOp1() == value && code != kCodeSpeaker) {
        return;
    }
    action->SetIntOp1(value);
    if (!text.empty()) {
        action->SetSzOp1(text);
    }
    if (code == kCodeSpeaker && value == 2) {
        CSpeakerMgr* speaker = CSpeakerMgr::GetInstance();
        const int level = speaker ? speaker->GetSound() : -1;
        action->SetIntOp3(level > 0 ? level : kFullLevel);
    }
    ConfirmAndStore(*action, !existed);
}

bool CPropertyPageProfiles::ConfirmAndStore(CStrAction& action, bool created) {
    CTableActions* actions = Database()->GetTableActions();
    CDialogModalDelay delay(window(), action.GetDelay());
    if (delay.DoModal() != 1) {
        // A row added only for this change goes again: the frame does not get an empty action.
        if (created) {
            actions->Delete(action);
        }
        return false;
    }
    action.SetDelay(delay.GetDelay());
    actions->Update(action);
    _changed = true;
    FillActions();
    return true;
}

void CPropertyPageProfiles::StoreDialogAction(int code, int moment,
                                              const std::function<bool(CStrAction&)>& edit) {
    if (_frame.GetId() == -1) {
        TextBox(Tr("SELECT PROFILE SCHEDULE"));
        return;
    }
    CTableActions* actions = Database()->GetTableActions();
    std::optional<CStrAction> existing = actions->GetAction(_frame.GetId(), code, false, moment);
    CStrAction entered;
    if (existing) {
        entered = *existing;
    } else {
        entered.SetId(code);
        entered.SetIdPeriod(_frame.GetId());
        entered.SetType(moment);
    }
    if (!edit(entered)) {
        return;
    }
    std::optional<CStrAction> stored = actions->GetAction(_frame.GetId(), code, true, moment);
    if (!stored) {
        return;
    }
    // The dialog's values on the stored row (its key stays).
    entered.SetKey(stored->GetKey());
    entered.SetCEOID(stored->GetCEOID());
    ConfirmAndStore(entered, !existing);
}

bool CPropertyPageProfiles::RunActionDialog(CStrAction& action) {
    QWidget* parent = window();
    switch (action.GetId()) {
        case kCodeMail:
        case kCodeSms: {
            const bool mail = action.GetId() == kCodeMail;
            CDialogModalMessage dialog(parent, CDialogModalMessage::kTemplate,
                                       mail ? CDialogModalMessage::kMail : CDialogModalMessage::kSms);
            dialog.SetFields(action.GetSzOp1(), action.GetSzOp2(), action.GetSzOp3());
            if (dialog.DoModal() != 1) {
                return false;
            }
            action.SetSzOp1(dialog.GetTo());
            action.SetSzOp2(mail ? dialog.GetSubject() : std::string());
            action.SetSzOp3(dialog.GetText());
            return true;
        }
        case kCodeCallForward: {
            CDialogModalCallForward dialog(parent, CDialogModalCallForward::kTemplate, action.GetSzOp1());
            if (dialog.DoModal() != 1) {
                return false;
            }
            action.SetSzOp1(dialog.GetNumber());
            action.SetIntOp1(1);
            return true;
        }
        case kCodeOpenFile: {
            const std::string root =
                platform::Services::isInstalled() ? platform::Services::get().home().root().string() : "";
            CDialogModalChooseFile dialog(parent, action.GetSzOp1(), root, "ALL FILES");
            if (dialog.DoModal() != 1) {
                return false;
            }
            action.SetSzOp1(dialog.GetFile());
            return true;
        }
        case kCodeTheme: {
            CDialogModalTheme dialog(parent, CDialogModalTheme::kTemplate, action.GetSzOp1());
            if (dialog.DoModal() != 1) {
                return false;
            }
            action.SetSzOp1(dialog.GetTheme());
            return true;
        }
        case kCodeBacklight: {
            CDialogModalBacklight dialog(
                parent, CDialogModalBacklight::kTemplate,
                action.GetIntOp1() >= 0 ? action.GetIntOp1() : CDialogModalBacklight::kDefaultLevels);
            if (dialog.DoModal() != 1) {
                return false;
            }
            action.SetIntOp1(dialog.GetPacked());
            return true;
        }
        case kCodeRingTone: {
            CDialogModalRingTone dialog(parent, CDialogModalRingTone::kTemplate);
            dialog.SetFields(action.GetIntOp3(), action.GetSzOp1(), action.GetIntOp1());
            if (dialog.DoModal() != 1) {
                return false;
            }
            action.SetSzOp1(dialog.GetTone());
            action.SetSzOp2(CDialogModalRingTone::TypeScript(dialog.GetType()));
            action.SetIntOp1(dialog.GetVolume());
            action.SetIntOp3(dialog.GetType());
            return true;
        }
        default:
            return false;
    }
}

void CPropertyPageProfiles::EditAction(int code, int moment) {
    if (_frame.GetId() == -1) {
        LogFormateado(1, "Accion seleccionado pero no hay franja seleccionada");
        return;
    }
    try {
        switch (code) {
            case kCodeMail:
            case kCodeSms:
            case kCodeOpenFile:
            case kCodeTheme:
            case kCodeRingTone:
            case kCodeBacklight:
                StoreDialogAction(code, moment,
                                  [this](CStrAction& action) { return RunActionDialog(action); });
                return;
            default:
                EditDeviceAction(code, moment);
        }
    } catch (const CBaseException& e) {
        ReportError(e.GetMessageW());
        FillActions();
    }
}

int CPropertyPageProfiles::AskSoundLevel() {
    if (!New_CDialogSoundLevel) {
        return kFullLevel;
    }
    std::unique_ptr<IModalDialog> dialog(New_CDialogSoundLevel(window(), kTemplateSoundLevel));
    if (!dialog || dialog->DoModal() != 1) {
        return kFullLevel;
    }
    // The dialog gives the speaker manager its level.
    CSpeakerMgr* speaker = CSpeakerMgr::GetInstance();
    const int level = speaker ? speaker->GetSound() : -1;
    return level > 0 ? level : kFullLevel;
}

void CPropertyPageProfiles::EditDeviceAction(int code, int moment) {
    std::optional<PopupValues> values = ValuesOf(code);
    if (!values) {
        return;
    }
    CTableActions* actions = Database()->GetTableActions();
    std::optional<CStrAction> existing = actions->GetAction(_frame.GetId(), code, false, moment);
    int chosen = COptionDialog::kCancel;
    {
        COptionDialog popup(Tr("SELECT OPTION"), 0, 0, 0, 0, window(), nullptr);
        const std::string image = std::string(values->skinId) + ".png";
        for (size_t i = 0; i < values->values.size(); ++i) {
            popup.AddButton(kFirstValue + static_cast<int>(i), values->skinId, Tr(values->values[i].first),
                            image);
        }
        if (existing) {
            popup.AddButton(kChoiceDays, "schedule", Tr("DAYS"), "schedule.png");
            popup.AddButton(kChoiceDelete, "action_delete", Tr("DELETE"), "action_delete.png");
        }
        chosen = popup.ShowModal();
    }
    if (chosen == kChoiceDelete && existing) {
        actions->Delete(*existing);
        _changed = true;
        FillActions();
        return;
    }
    if (chosen == kChoiceDays && existing) {
        EditActionDays(*existing);
        return;
    }
    const int index = chosen - kFirstValue;
    if (index < 0 || index >= static_cast<int>(values->values.size())) {
        return;
    }
    const int value = values->values[static_cast<size_t>(index)].second;
    if (code == kCodeCallForward && value == 1) {
        // Forwarding needs its number.
        StoreDialogAction(code, moment, [this](CStrAction& action) { return RunActionDialog(action); });
        return;
    }
    int level = -1;
    if (code == kCodeSpeaker && value == 2) {
        level = AskSoundLevel();
    }
    std::optional<CStrAction> action = actions->GetAction(_frame.GetId(), code, true, moment);
    if (!action) {
        return;
    }
    action->SetIntOp1(value);
    if (level != -1) {
        action->SetIntOp3(level);
    }
    ConfirmAndStore(*action, !existing);
}

void CPropertyPageProfiles::EditActionDays(CStrAction& action) {
    // IntOp2 as eight digits: the units digit switches the action off, the tens to ten-millions
    // digits each keep it from running on Monday ... Sunday. A ticked day is a day it runs.
    const int flags = action.GetIntOp2();
    std::string days(7, '0');
    int weight = 10;
    for (int day = 1; day <= 7; ++day, weight *= 10) {
        days[static_cast<size_t>(day - 1)] = (flags / weight) % 10 == 0 ? '1' : '0';
    }
    CDialogModalWeekDays dialog(window(), days, false);
    if (dialog.DoModal() != 1) {
        return;
    }
    int updated = flags % 10;
    weight = 10;
    for (int day = 1; day <= 7; ++day, weight *= 10) {
        if (!CDialogModalWeekDays::IsDayIn(dialog.GetDays(), day)) {
            updated += weight;
        }
    }
    action.SetIntOp2(updated);
    Database()->GetTableActions()->Update(action);
    _changed = true;
    FillActions();
}

// Places and frames.

bool CPropertyPageProfiles::NeedPlace() const {
    if (_place.GetId() == -1) {
        TextBox(Tr("SELECT PROFILE"));
        return false;
    }
    return true;
}

bool CPropertyPageProfiles::NeedFrame(const char* key) const {
    if (_frame.GetId() == -1) {
        TextBox(Tr(key));
        return false;
    }
    return true;
}

int CPropertyPageProfiles::DefaultPlaceId() {
    int lowest = -1;
    Database()->GetTablePlaces()->ForEachCached([&](const CStrPlace& place) {
        if (lowest == -1 || place.GetId() < lowest) {
            lowest = place.GetId();
        }
    });
    return lowest;
}

void CPropertyPageProfiles::AddPlace() {
    CStrPlace place;
    int id = -1;
    CDialogModalAddPlace dialog(window(), CDialogModalAddPlace::kTemplate, &place, false, &id);
    if (dialog.DoModal() == 1) {
        FillPlaces(id);
    }
}

void CPropertyPageProfiles::EditPlace() {
    if (!NeedPlace()) {
        return;
    }
    CStrPlace place = _place;
    CDialogModalAddPlace dialog(window(), CDialogModalAddPlace::kTemplate, &place, true, nullptr);
    if (dialog.DoModal() == 1) {
        FillPlaces(place.GetId());
    }
}

void CPropertyPageProfiles::RemovePlace() {
    if (!NeedPlace()) {
        return;
    }
    if (_place.GetId() == DefaultPlaceId()) {
        TextBox(Tr("REMOVE DEFAULT PROFILE NOT ALLOWED"));
        return;
    }
    if (QuestionBox("%s", Tr("CONFIRM DELETE PROFILE")) != IDYES_ANSWER) {
        return;
    }
    CDB* db = Database();
    CStrPlace place = _place;
    // The place goes with its locations, frames and their actions, all of them or none.
    db->InOneChange([&] { db->GetTablePlaces()->Delete(place); });
    TellEngine();
    FillPlaces(-1);
}

void CPropertyPageProfiles::AddFrame() {
    if (!NeedPlace()) {
        return;
    }
    CStrPeriod frame(-1, "", _place.GetId(), SYSTEMTIME{}, SYSTEMTIME{});
    frame.SetWeekDay(_day);
    frame.SetEnabled(1);
    frame.SetAlwaysOn(0);
    CDialogModalTimeFrame dialog(window(), frame);
    if (dialog.DoModal() != 1) {
        return;
    }
    frame = dialog.GetPeriod();
    CScheduleEngine* engine = CScheduleEngine::GetInstance();
    const int stored = engine ? engine->AddSchedule(frame) : CScheduleFrames(Database()).AddSchedule(frame);
    if (stored) {
        TellEngine();
        FillFrames(frame.GetId());
    } else {
        FillFrames(_frame.GetId());
    }
}

void CPropertyPageProfiles::EditFrame() {
    if (!NeedFrame("SELECT PERIOD")) {
        return;
    }
    CDialogModalTimeFrame dialog(window(), _frame);
    if (dialog.DoModal() != 1) {
        return;
    }
    CStrPeriod frame = dialog.GetPeriod();
    CScheduleEngine* engine = CScheduleEngine::GetInstance();
    const int stored = engine ? engine->EditSchedule(frame) : CScheduleFrames(Database()).EditSchedule(frame);
    if (stored) {
        TellEngine();
    }
    FillFrames(frame.GetId());
}

void CPropertyPageProfiles::RemoveFrame() {
    if (!NeedFrame("SELECT PERIOD")) {
        return;
    }
    if (QuestionBox("%s", Tr("CONFIRM REMOVE TIME FRAME")) != IDYES_ANSWER) {
        return;
    }
    CDB* db = Database();
    CStrPeriod frame = _frame;
    db->InOneChange([&] { db->GetTablePeriods()->Delete(frame); });
    TellEngine();
    FillFrames(-1);
}

void CPropertyPageProfiles::CopyDay() {
    if (!NeedPlace()) {
        return;
    }
    CDialogModalWeekDays dialog(window(), CDialogModalWeekDays::OnlyDay(_day), true);
    if (dialog.DoModal() != 1) {
        return;
    }
    std::vector<int> targets;
    for (int day = 1; day <= 7; ++day) {
        if (day != _day && CDialogModalWeekDays::IsDayIn(dialog.GetDays(), day)) {
            targets.push_back(day);
        }
    }
    if (targets.empty()) {
        return;  // the shown day onto itself: nothing to do
    }
    TextBox(Tr("DIALOG_PROFILES_COPY_WARNING"));
    CDB* db = Database();
    CTablePeriods* periods = db->GetTablePeriods();
    CTableActions* actions = db->GetTableActions();
    std::vector<CStrPeriod> frames;
    periods->GetAllRecordsForPlace(frames, _place.GetId(), _day);
    std::vector<std::vector<CStrAction>> frameActions(frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        actions->GetAllRecordsForPeriod(frameActions[i], frames[i].GetId());
    }
    // The days are replaced together: a failure leaves every day as it was.
    db->InOneChange([&] {
        for (int day : targets) {
            periods->DeleteFromPlace(_place, day);
            for (size_t i = 0; i < frames.size(); ++i) {
                CStrPeriod copy = frames[i];
                copy.SetKey(-1);
                copy.SetCEOID(0);
                copy.SetWeekDay(day);
                periods->Add(copy);
                for (const CStrAction& action : frameActions[i]) {
                    CStrAction actionCopy = action;
                    actionCopy.SetKey(-1);
                    actionCopy.SetCEOID(0);
                    actionCopy.SetIdPeriod(copy.GetId());
                    actions->Add(actionCopy);
                }
            }
        }
    });
    TellEngine();
    TextBox(Tr("DIALOG_PROFILES_COPY_FINISHED"));
    FillFrames(_frame.GetId());
}

void CPropertyPageProfiles::ClearAlwaysOn() {
    CDB* db = Database();
    CTablePeriods* periods = db->GetTablePeriods();
    int changed = 0;
    db->InOneChange([&] {
        changed = 0;
        for (CStrPeriod frame : periods->GetAllRecordsCopy()) {
            if (frame.GetAlwaysOn()) {
                frame.SetAlwaysOn(0);
                periods->Update(frame);
                ++changed;
            }
        }
    });
    if (CScheduleEngine* engine = CScheduleEngine::GetInstance()) {
        engine->ChangeInDB();
    }
    TextBox(SafeSprintf(Tr("DIALOG_SCHEDULES_REMOVE_EXECUTE_ALL_PLACES_RESULTS").c_str(), changed));
    FillFrames(_frame.GetId());
}

#include "dialogs/CPropertyPageOptions1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <exception>
#include <vector>

#include "core/MessageBoxes.h"
#include "core/ProgramFolder.h"
#include "dialogs/PageFields.h"
#include "managers/CMessageMgr.h"

namespace {

// Adds `value` to `combo` with `shown` as its text and selects it when it is `current`.
void AddChoice(QComboBox* combo, const QString& shown, const std::string& value, const std::string& current) {
    combo->addItem(shown, QString::fromStdString(value));
    if (value == current) {
        combo->setCurrentIndex(combo->count() - 1);
    }
}

}  // namespace

void CPropertyPageOptions1::OnInitPage() {
    using namespace page_fields;
    QVBoxLayout* column = ScrollingColumn(Content());

    const std::string theme = GetText("theme");
    _theme = AddCombo(column, "DIALOG_OPTIONS1_THEME", "theme");
    const QDir themes(QString::fromStdString(GetCurrentDirectory() + "/themes/"));
    for (const QString& folder : themes.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        AddChoice(_theme, folder, folder.toStdString(), theme);
    }
    if (_theme->findData(QString::fromStdString(theme)) < 0 && !theme.empty()) {
        AddChoice(_theme, QString::fromStdString(theme), theme, theme);
    }

    // The mail accounts of the phone; "Default" leaves the choice to the messaging manager (the
    // first mail account).
    const std::string mail = GetText("mail_provider");
    _mail = AddCombo(column, "DIALOG_OPTIONS1_MAIL", "mail_provider");
    AddChoice(_mail, Text("DEFAULT"), "", mail);
    std::vector<std::string> stores;
    if (CMessageMgr* messages = CMessageMgr::GetInstance()) {
        messages->GetMessagesProviders(stores);
    }
    for (const std::string& store : stores) {
        AddChoice(_mail, QString::fromStdString(store), store, mail);
    }
    if (_mail->findData(QString::fromStdString(mail)) < 0) {
        AddChoice(_mail, QString::fromStdString(mail), mail, mail);
    }

    _tray = AddCheck(column, "DIALOG_OPTIONS1_TRAY_ICON", "tray_icon", GetLong("tray_icon") != 0);
    // Ticked: the backlight is set directly (stored as 0); cleared: through the phone's settings (1).
    _backlight =
        AddCheck(column, "DIALOG_OPTIONS1_BACKLIGHT", "backlight_mode", GetLong("backlight_mode") == 0);
    const bool manual = GetLong("profile_change_mode") == 1;
    _manual = AddCheck(column, manual ? "DIALOG_OPTIONS1_MANUALLY" : "DIALOG_OPTIONS1_AUTOMATIC",
                       "profile_change_mode", manual);
    connect(_manual, &QCheckBox::toggled, this, [this](bool on) {
        page_fields::SetCheckCaption(
            _manual, page_fields::Text(on ? "DIALOG_OPTIONS1_MANUALLY" : "DIALOG_OPTIONS1_AUTOMATIC"));
    });
    _awake = AddCheck(column, "DIALOG_OPTIONS1_AWAKE_TO_REFRESH", "awake_to_refresh_location",
                      GetLong("awake_to_refresh_location") != 0);
    _radio = AddCheck(column, "DIALOG_OPTIONS1_TURN_ON_RADIO", "refresh_location_turn_on_radio",
                      GetLong("refresh_location_turn_on_radio") != 0);
    const uint32_t minutes = GetLong("refresh_location");
    _refresh = AddCheck(column, "DIALOG_OPTIONS1_REFRESH_LOCATION", "refresh_location_enabled", minutes > 0);
    _refreshMinutes = AddNumber(column, "", "refresh_location", minutes);
    _refreshMinutes->setEnabled(minutes > 0);
    connect(_refresh, &QCheckBox::toggled, _refreshMinutes, &QLineEdit::setEnabled);

    AddLabel(column,
             Text(GetLong("location_notification_received") != 0 ? "DEVICE GOT EVENTS"
                                                                 : "DEVICE DIDNT GET EVENTS"),
             "location_notification_received");
    column->addStretch(1);
    page_fields::UseScreenFont(this);
}

bool CPropertyPageOptions1::OnSave() {
    using namespace page_fields;
    try {
        if (_theme->currentIndex() >= 0) {
            SetText("theme", _theme->currentData().toString().toStdString());
        }
        SetText("mail_provider", _mail->currentData().toString().toStdString());
        StoreCheck(_tray, "tray_icon");
        StoreCheck(_backlight, "backlight_mode", true);
        StoreCheck(_manual, "profile_change_mode");
        StoreCheck(_awake, "awake_to_refresh_location");
        StoreCheck(_radio, "refresh_location_turn_on_radio");
        // The interval is written only when it is switched on and given.
        if (_refresh->isChecked()) {
            StoreNumberIfFilled(_refreshMinutes, "refresh_location");
        }
    } catch (const std::exception& e) {
        ReportError(e.what());
        return false;
    }
    return true;
}

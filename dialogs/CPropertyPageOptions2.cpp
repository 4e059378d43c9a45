#include "dialogs/CPropertyPageOptions2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QVBoxLayout>
#include <exception>
#include <map>

#include "core/CTextsMgr.h"
#include "core/MessageBoxes.h"
#include "dialogs/CDialogModalGPS.h"
#include "dialogs/PageFields.h"
#include "location/CRilMgr.h"

namespace {

constexpr int kTemplateGps = 190;

}  // namespace

void CPropertyPageOptions2::OnInitPage() {
    using namespace page_fields;
    QVBoxLayout* column = ScrollingColumn(Content());

    const std::string current = GetText("language");
    _language = AddCombo(column, "DIALOG_OPTIONS2_LANGUAGE", "language");
    std::map<std::string, std::string> languages;
    std::string defaultLanguage;
    CTextsMgr::GetInstance()->GetLanguages(languages, defaultLanguage);
    for (const auto& [tag, name] : languages) {
        _language->addItem(QString::fromStdString(name), QString::fromStdString(tag));
        if (tag == current) {
            _language->setCurrentIndex(_language->count() - 1);
        }
    }

    _lacMode = AddCheck(column, "INTELLIGENT LAC MODE", "intelligent_lac_mode",
                        GetLong("intelligent_lac_mode") != 0);
    _ril = AddCheck(column, "DIALOG_OPTIONS2_RIL_NOTIFICATIONS", "allow_ril_notifications",
                    GetLong("allow_ril_notifications") != 0);
    _close = AddCheck(column, "DIALOG_OPTIONS2_ALLOW_CLOSE", "allow_windows_close_zva",
                      GetLong("allow_windows_close_zva") != 0);
    _bt = AddCheck(column, "DIALOG_OPTIONS2_TURN_ON_OFF_ON_CALL", "intelligent_bt",
                   GetLong("intelligent_bt") != 0);
    _awake = AddCheck(column, "DIALOG_OPTIONS2_AWAKE_TO_EXECUTE", "awake_to_execute_actions",
                      GetLong("awake_to_execute_actions") != 0);
    _cells = AddNumber(column, "DIALOG_OPTIONS2_CELLS_ON_SCREEN", "cell_history_list_number",
                       GetLong("cell_history_list_number"));
    _batterySize = AddNumber(column, "DIALOG_OPTIONS2_BATTERY_FILE_SIZE", "battery_file_size",
                             GetLong("battery_file_size"));
    _batteryTime = AddNumber(column, "DIALOG_OPTIONS2_STATIC_REFRESH_BATTERY", "refresh_battery_time",
                             GetLong("refresh_battery_time"));
    column->addStretch(1);
    page_fields::UseScreenFont(this);
}

bool CPropertyPageOptions2::OnSave() {
    using namespace page_fields;
    bool restart = false;
    try {
        if (_language->currentIndex() >= 0) {
            const std::string tag = _language->currentData().toString().toStdString();
            restart = tag != GetText("language");
            if (restart) {
                SetText("language", tag);
            }
        }
        StoreCheck(_lacMode, "intelligent_lac_mode");
        const bool rilBefore = GetLong("allow_ril_notifications") != 0;
        StoreCheck(_ril, "allow_ril_notifications");
        // The radio interface's notifications follow the setting at once.
        CRilMgr* ril = CRilMgr::GetInstance();
        if (ril && rilBefore != _ril->isChecked()) {
            ril->EnableRilNotifications(_ril->isChecked() ? 1 : 0);
        }
        StoreCheck(_close, "allow_windows_close_zva");
        StoreCheck(_bt, "intelligent_bt");
        StoreCheck(_awake, "awake_to_execute_actions");
        StoreNumberIfFilled(_cells, "cell_history_list_number");
        StoreNumberIfFilled(_batterySize, "battery_file_size");
        StoreNumberIfFilled(_batteryTime, "refresh_battery_time");
    } catch (const std::exception& e) {
        ReportError(e.what());
        return false;
    }
    if (restart) {
        TextBox(CTextsMgr::Text("RESTART TO APPLY"));
    }
    return true;
}

void CPropertyPageOptions2::FillMenu(QMenu* menu) {
    menu->addAction(Text("DIALOG_GPS_TITLE"), [this] { OpenGps(); })->setObjectName("DIALOG_GPS_TITLE");
}

void CPropertyPageOptions2::OpenGps() {
    CDialogModalGPS dialog(window(), kTemplateGps);
    dialog.DoModal();
}

#include "core/CConfigDefaults.h"

#include <strings.h>

namespace {

using T = CConfigDefaults::Type;

CConfigDefaults::Entry num(const char* name, uint32_t value) {
    return {name, T::Number, value, ""};
}
CConfigDefaults::Entry text(const char* name, const char* value) {
    return {name, T::Text, 0, value};
}
CConfigDefaults::Entry binary(const char* name) {
    return {name, T::Binary, 0, ""};
}

}  // namespace

const std::vector<CConfigDefaults::Entry>& CConfigDefaults::All() {
    static const std::vector<Entry> kAll = {
        num("first_execution_after_install", 1),
        num("debug_info", 0),
        // Empty: the event log puts "log.txt" in the program folder and stores that path.
        text("events_log_path", ""),
        num("events_log_file_max_size", 100),
        num("events_log_write_to_file", 1),
        num("events_log_items_screen", 50),
        // One character per manager id: '2' gives every manager full control.
        text("mgr_config", "22222222222222222222"),
        // On a desktop the window's close button is expected to close the program.
        num("allow_windows_close_zva", 1),
        num("tray_icon", 0),
        num("warning_locked_profiles", 1),
        text("current_place", ""),
        text("current_frame", ""),
        text("language", "en"),
        text("theme", "default"),
        text("mail_provider", ""),
        // 0 = no custom time chosen yet (its button stays disabled).
        num("custom_time_1", 0),
        num("custom_time_2", 0),
        num("custom_time_3", 0),
        num("locked_profile", 0),
        num("last_place", 0),
        num("profile_change_mode", 0),
        num("intelligent_lac_mode", 1),
        num("awake_to_execute_actions", 1),
        text("connection_prefered", ""),
        num("activate_idle", 0),
        num("seconds_idle", 300),
        num("size_traffic", 1024),
        text("current_version", "0.1.0"),
        // The data-connections manager: the address whose network ConnectInternet connects, and the
        // update server's base address (the update check asks for "<url_update>/Zentrova/zentrova").
        text("url_probe", "http://127.0.0.1:8080/"),
        text("url_update", "http://127.0.0.1:8080"),
        text("resolution", "vga"),
        num("intelligent_bt", 0),
        num("backlight_mode", 0),
        num("gps_mode", 0),
        num("gps_port", 1),
        num("gps_baud_rate", 4800),
        num("gps_try_during", 60),
        binary("pin"),
        binary("pin2"),
        // 1 = places are found by cell id (0 would use the location area code).
        num("location_mode", 1),
        // Minutes between polls of the serving cell; 0 = only on the radio's own reports.
        num("refresh_location", 0),
        num("refresh_location_turn_on_radio", 0),
        num("awake_to_refresh_location", 0),
        num("allow_ril_notifications", 1),
        num("location_notification_received", 0),
        num("vibrate_on_change_cell", 0),
        num("refresh_battery_time", 60),
        num("battery_file_size", 100),
        num("cell_history_list_number", 50),
        num("upload_enabled", 0),
        num("upload_location", 1),
        num("upload_date", 1),
        num("upload_gps", 0),
        num("upload_battery", 0),
        num("upload_signal", 0),
        num("upload_operator", 0),
        num("upload_owner", 0),
        num("upload_profile", 1),
        num("upload_schedule", 1),
        num("upload_device_id", 1),
        text("url_upload_location", "http://127.0.0.1:8080/zentrova/location"),
        text("url_upload_location_default", "http://127.0.0.1:8080/zentrova/location"),
        text("user_agent", "Zentrova/0.1"),
    };
    return kAll;
}

const CConfigDefaults::Entry* CConfigDefaults::Find(const std::string& name) {
    for (const Entry& e : All()) {
        if (strcasecmp(e.name, name.c_str()) == 0) {
            return &e;
        }
    }
    return nullptr;
}

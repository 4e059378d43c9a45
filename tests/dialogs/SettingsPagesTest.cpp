// The settings pages store what the user set, with each value's encoding: inverted check boxes,
// a number written only when its box is ticked and the number given, empty number fields that
// leave the value, the language's tag (and the restart notice only when it changed).

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <memory>

#include "DialogFixture.h"
#include "PageHelpers.h"
#include "dialogs/CDialogModalEventLogOptions.h"
#include "dialogs/CDialogModalGPS.h"
#include "dialogs/CPropertyPageConnections.h"
#include "dialogs/CPropertyPageOptions1.h"
#include "dialogs/CPropertyPageOptions2.h"
#include "dialogs/CPropertyPageUpload.h"

namespace {

using page_test::Setting;
using page_test::Step;
using S = page_test::Step;

struct Row {
    const char* name;
    std::vector<Setting> before;
    std::vector<Step> steps;
    std::vector<Setting> after;
    bool saved = true;
};

class SettingsPagesTest : public DialogFixture {
  protected:
    // Builds a fresh page over the stored values, takes the steps, saves and checks the registry.
    template <typename Page>
    void RunRows(const std::vector<Row>& rows) {
        for (const Row& row : rows) {
            SCOPED_TRACE(row.name);
            for (const Setting& s : row.before) {
                page_test::Set(s);
            }
            home.boxes().clear();
            Page page;
            page.InitPage();
            for (const Step& step : row.steps) {
                page_test::Apply(&page, step);
            }
            EXPECT_EQ(page.Save(), row.saved);
            for (const Setting& s : row.after) {
                page_test::ExpectStored(s);
            }
        }
    }
};

TEST_F(SettingsPagesTest, OptionsOneStoresEachValueWithItsEncoding) {
    RunRows<CPropertyPageOptions1>({
        {"backlight ticked stores 0",
         {{"backlight_mode", 1u}},
         {{S::Tick, "backlight_mode"}},
         {{"backlight_mode", 0u}}},
        {"backlight cleared stores 1",
         {{"backlight_mode", 0u}},
         {{S::Untick, "backlight_mode"}},
         {{"backlight_mode", 1u}}},
        {"manual place change stores 1",
         {{"profile_change_mode", 0u}},
         {{S::Tick, "profile_change_mode"}},
         {{"profile_change_mode", 1u}}},
        {"automatic place change stores 0",
         {{"profile_change_mode", 1u}},
         {{S::Untick, "profile_change_mode"}},
         {{"profile_change_mode", 0u}}},
        {"plain boxes store 1 and 0",
         {{"tray_icon", 0u}, {"awake_to_refresh_location", 1u}, {"refresh_location_turn_on_radio", 0u}},
         {{S::Tick, "tray_icon"},
          {S::Untick, "awake_to_refresh_location"},
          {S::Tick, "refresh_location_turn_on_radio"}},
         {{"tray_icon", 1u}, {"awake_to_refresh_location", 0u}, {"refresh_location_turn_on_radio", 1u}}},
        {"interval ticked and given is written",
         {{"refresh_location", 0u}},
         {{S::Tick, "refresh_location_enabled"}, {S::Fill, "refresh_location", "15"}},
         {{"refresh_location", 15u}}},
        {"interval ticked but empty leaves the value",
         {{"refresh_location", 7u}},
         {{S::Tick, "refresh_location_enabled"}, {S::Fill, "refresh_location", ""}},
         {{"refresh_location", 7u}}},
        {"interval not ticked is not written",
         {{"refresh_location", 7u}},
         {{S::Untick, "refresh_location_enabled"}, {S::Fill, "refresh_location", "20"}},
         {{"refresh_location", 7u}}},
        {"theme from the themes folder, default mail account",
         {{"theme", std::string("other")}, {"mail_provider", std::string("Work")}},
         {{S::Choose, "theme", "default"}, {S::Choose, "mail_provider", CTextsMgr::Text("DEFAULT")}},
         {{"theme", std::string("default")}, {"mail_provider", std::string()}}},
    });
}

TEST_F(SettingsPagesTest, OptionsOneShowsWhetherTheDeviceSentLocationEvents) {
    for (uint32_t received : {0u, 1u}) {
        config->SetLongParameter("location_notification_received", received);
        CPropertyPageOptions1 page;
        page.InitPage();
        auto* label = page.findChild<QLabel*>("location_notification_received");
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text().toStdString(),
                  CTextsMgr::Text(received ? "DEVICE GOT EVENTS" : "DEVICE DIDNT GET EVENTS"));
    }
}

TEST_F(SettingsPagesTest, OptionsTwoStoresValuesAndTellsOfARestartOnlyForANewLanguage) {
    RunRows<CPropertyPageOptions2>({
        {"boxes store 1 and 0",
         {{"intelligent_lac_mode", 0u},
          {"allow_ril_notifications", 1u},
          {"allow_windows_close_zva", 0u},
          {"intelligent_bt", 1u},
          {"awake_to_execute_actions", 0u}},
         {{S::Tick, "intelligent_lac_mode"},
          {S::Untick, "allow_ril_notifications"},
          {S::Tick, "allow_windows_close_zva"},
          {S::Untick, "intelligent_bt"},
          {S::Tick, "awake_to_execute_actions"}},
         {{"intelligent_lac_mode", 1u},
          {"allow_ril_notifications", 0u},
          {"allow_windows_close_zva", 1u},
          {"intelligent_bt", 0u},
          {"awake_to_execute_actions", 1u}}},
        {"filled numbers are written",
         {{"cell_history_list_number", 50u}, {"battery_file_size", 100u}, {"refresh_battery_time", 60u}},
         {{S::Fill, "cell_history_list_number", "20"},
          {S::Fill, "battery_file_size", "64"},
          {S::Fill, "refresh_battery_time", "120"}},
         {{"cell_history_list_number", 20u}, {"battery_file_size", 64u}, {"refresh_battery_time", 120u}}},
        {"empty numbers leave the values",
         {{"cell_history_list_number", 50u}, {"battery_file_size", 100u}, {"refresh_battery_time", 60u}},
         {{S::Fill, "cell_history_list_number", ""},
          {S::Fill, "battery_file_size", ""},
          {S::Fill, "refresh_battery_time", ""}},
         {{"cell_history_list_number", 50u}, {"battery_file_size", 100u}, {"refresh_battery_time", 60u}}},
        {"the language's tag is stored",
         {{"language", std::string("en")}},
         {{S::Choose, "language", "Español"}},
         {{"language", std::string("es")}}},
    });
    // The restart notice, for a new language only.
    for (const auto& [from, choice, restart] :
         {std::tuple{"en", "English", false}, std::tuple{"en", "Español", true},
          std::tuple{"es", "Español", false}}) {
        SCOPED_TRACE(std::string(from) + " -> " + choice);
        config->SetRegistryParameter("language", from);
        home.boxes().clear();
        CPropertyPageOptions2 page;
        page.InitPage();
        page_test::Apply(&page, {S::Choose, "language", choice});
        EXPECT_TRUE(page.Save());
        EXPECT_EQ(page_test::Shown(home.boxes(), CTextsMgr::Text("RESTART TO APPLY")), restart);
    }
}

TEST_F(SettingsPagesTest, ConnectionsPageStoresThePreferredConnectionAndIdleClosing) {
    RunRows<CPropertyPageConnections>({
        {"default means no preferred connection",
         {{"connection_prefered", std::string("Office")}},
         {{S::Choose, "connection_prefered", CTextsMgr::Text("DEFAULT")}},
         {{"connection_prefered", std::string()}}},
        {"a stored preference stays chosen",
         {{"connection_prefered", std::string("Office")}},
         {},
         {{"connection_prefered", std::string("Office")}}},
        {"idle closing on with its seconds",
         {{"activate_idle", 0u}, {"seconds_idle", 300u}},
         {{S::Tick, "activate_idle"}, {S::Fill, "seconds_idle", "90"}},
         {{"activate_idle", 1u}, {"seconds_idle", 90u}}},
        {"idle closing off, empty seconds leave the value",
         {{"activate_idle", 1u}, {"seconds_idle", 300u}},
         {{S::Untick, "activate_idle"}, {S::Fill, "seconds_idle", ""}},
         {{"activate_idle", 0u}, {"seconds_idle", 300u}}},
    });
}

TEST_F(SettingsPagesTest, UploadPageStoresAddressAgentAndFields) {
    const char* fields[] = {"upload_enabled",   "upload_location", "upload_date",
                            "upload_device_id", "upload_owner",    "upload_battery",
                            "upload_profile",   "upload_schedule", "upload_gps"};
    std::vector<Setting> allOff, allOn;
    std::vector<Step> tickAll, untickAll;
    for (const char* f : fields) {
        allOff.push_back({f, 0u});
        allOn.push_back({f, 1u});
        tickAll.push_back({S::Tick, f});
        untickAll.push_back({S::Untick, f});
    }
    std::vector<Step> typed = tickAll;
    typed.push_back({S::Fill, "url_upload_location", "http://example.test/loc"});
    typed.push_back({S::Fill, "user_agent", "Agent/2"});
    std::vector<Setting> typedAfter = allOn;
    typedAfter.push_back({"url_upload_location", std::string("http://example.test/loc")});
    typedAfter.push_back({"user_agent", std::string("Agent/2")});
    RunRows<CPropertyPageUpload>({
        {"every field on, address and agent typed", allOff, typed, typedAfter},
        {"every field off", allOn, untickAll, allOff},
        {"an empty address is refused",
         {{"url_upload_location", std::string("http://kept/")}},
         {{S::Fill, "url_upload_location", ""}},
         {{"url_upload_location", std::string("http://kept/")}},
         false},
    });
    // An empty stored address shows the default one.
    config->SetRegistryParameter("url_upload_location", "");
    CPropertyPageUpload page;
    page.InitPage();
    auto* url = page.findChild<QLineEdit*>("url_upload_location");
    ASSERT_NE(url, nullptr);
    std::string fallback;
    EXPECT_EQ(url->text().toStdString(), config->GetStringParameter("url_upload_location_default", fallback));
}

TEST_F(SettingsPagesTest, EventLogOptionsAreStoredAndActAtTheNextStart) {
    config->SetLongParameter("events_log_items_screen", 50);
    config->SetLongParameter("events_log_file_max_size", 100);
    config->SetLongParameter("events_log_write_to_file", 1);
    home.boxes().clear();
    CDialogModalEventLogOptions dialog(owner.get(), 193);
    WhenModal([](QDialog* shown) {
        page_test::Apply(shown, {S::Fill, "events_log_items_screen", "80"});
        page_test::Apply(shown, {S::Fill, "events_log_file_max_size", ""});
        page_test::Apply(shown, {S::Untick, "events_log_write_to_file"});
        page_test::Apply(shown, {S::Fill, "events_log_path", "/tmp/zentrova-other.txt"});
        Shot(shown, "dialog_event_log_options_240x320");
        static_cast<CDialogModalBase*>(shown)->Save();
    });
    EXPECT_EQ(dialog.DoModal(), 1);
    for (const Setting& s :
         std::vector<Setting>{{"events_log_items_screen", 80u},
                              {"events_log_file_max_size", 100u},
                              {"events_log_write_to_file", 0u},
                              {"events_log_path", std::string("/tmp/zentrova-other.txt")}}) {
        page_test::ExpectStored(s);
    }
    EXPECT_TRUE(page_test::Shown(home.boxes(), CTextsMgr::Text("RESTART TO APPLY")));
}

TEST_F(SettingsPagesTest, GpsDialogStoresItsValuesAndReportsAReceiverThatDoesNotAnswer) {
    config->SetLongParameter("gps_port", 1);
    CDialogModalGPS dialog(owner.get(), 190);
    WhenModal([&](QDialog* shown) {
        page_test::Apply(shown, {S::Choose, "gps_port", "COM4"});
        page_test::Apply(shown, {S::Choose, "gps_mode", CTextsMgr::Text("DIALOG_GPS_MODE_MAX")});
        page_test::Apply(shown, {S::Fill, "gps_try_during", "30"});
        shown->findChild<QComboBox*>("gps_baud_rate")->setCurrentText("9600");
        Shot(shown, "dialog_gps_240x320");
        // No receiver is plugged into this phone: the test says so.
        home.boxes().clear();
        EXPECT_FALSE(dialog.Test());
        EXPECT_EQ(dialog.GetLastReport(), "DIALOG_GPS_TEST_KO");
        EXPECT_TRUE(page_test::Shown(home.boxes(), CTextsMgr::Text("DIALOG_GPS_TEST_KO")));
        dialog.Save();
    });
    EXPECT_EQ(dialog.DoModal(), 1);
    for (const Setting& s : std::vector<Setting>{
             {"gps_port", 4u}, {"gps_mode", 1u}, {"gps_try_during", 30u}, {"gps_baud_rate", 9600u}}) {
        page_test::ExpectStored(s);
    }
}

TEST_F(SettingsPagesTest, GpsTestReportsAReceiverThatAnswers) {
    // A phone with its receiver plugged into COM1, sending without a fix.
    TempHome gpsHome(platform::Services::Role::Program, true);
    CInstaller(gpsHome.services().home()).Install();
    CDialogModalGPS dialog(owner.get(), 190);
    WhenModal([&](QDialog* shown) {
        page_test::Apply(shown, {S::Choose, "gps_port", "COM1"});
        gpsHome.boxes().clear();
        EXPECT_TRUE(dialog.Test());
        EXPECT_EQ(dialog.GetLastReport(), "DIALOG_GPS_TEST_OK");
        EXPECT_TRUE(page_test::Shown(gpsHome.boxes(), CTextsMgr::Text("DIALOG_GPS_TEST_OK")));
        shown->reject();
    });
    EXPECT_EQ(dialog.DoModal(), 0);
}

}  // namespace

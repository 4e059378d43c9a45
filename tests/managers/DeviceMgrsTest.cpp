// The sound, backlight, infrared, CPU and messaging managers on the simulated phone.

#include <gtest/gtest.h>

#include "core/CTextsMgr.h"
#include "core/IMainPanel.h"
#include "core/SafeFormat.h"
#include "managers/CBackLightMgr.h"
#include "managers/CBeamMgr.h"
#include "managers/CCPUMgr.h"
#include "managers/CMessageMgr.h"
#include "managers/CSpeakerMgr.h"
#include "platform/sim/CSimMessageStores.h"
#include "support/SimPhoneFixture.h"

namespace {

using platform::RegRoot;

using DeviceMgrsTest = SimPhoneFixture;

TEST_F(DeviceMgrsTest, SpeakerVolumeOfEachLevelAndTheProfiles) {
    const uint32_t volumes[] = {0, 13107, 26214, 39321, 52428, 65535};
    for (unsigned level = 0; level <= 5; ++level) {
        EXPECT_EQ(CSpeakerMgr::VolumeOfLevel(level), volumes[level]) << level;
    }
    CSpeakerMgr speaker;
    // The level set before a change to "on" sets the volume; a change to vibrate leaves it.
    speaker.SetLevel(2);
    speaker.ForceStatusChild(1, 0);
    EXPECT_EQ(phone().sound, platform::SND_SOUNDTYPE_VIBRATE);
    EXPECT_EQ(phone().volume, 52428u);
    speaker.ForceStatusChild(2, 0);
    EXPECT_EQ(phone().sound, platform::SND_SOUNDTYPE_ON);
    EXPECT_EQ(phone().volume, 26214u);
    speaker.ForceStatusChild(0, 0);
    EXPECT_EQ(phone().sound, platform::SND_SOUNDTYPE_NONE);
    speaker.ForceStatusChild(7, 0);  // not a profile: nothing changes
    EXPECT_EQ(phone().sound, platform::SND_SOUNDTYPE_NONE);

    // Changes made outside the program are found by the polling thread; a sound file is -1.
    const std::pair<const char*, int> outsides[] = {{"vibrate", 1}, {"file", -1}, {"on", 2}, {"none", 0}};
    for (const auto& [word, status] : outsides) {
        outside({"sound", word});
        EXPECT_TRUE(WaitUntil([&, status = status] { return speaker.GetStatus() == status; })) << word;
    }
}

// The panel of a VGA screen, whose backlight applet is clicked with the VGA adjustments.
struct VgaPanel : IMainPanel {
    VgaPanel() { Install(this); }
    ~VgaPanel() override { Uninstall(this); }
    void InvalidatePanel(Area) override {}
    void NotifyTodayPlugin(int, int) override {}
    void NotifyTodayPluginChangePosition(int, int) override {}
    void SetPlaceAndFrame(const std::string&, const std::string&) override {}
    void UpdateNotificationsDebugInfo() override {}
    void SetWaitCursor(bool) override {}
    int GetResolution() override { return 2; }
};

TEST_F(DeviceMgrsTest, BacklightLevelsInBothModes) {
    struct Row {
        uint32_t mode;
        bool vga;
        int status;
        uint32_t battery;
        uint32_t ac;
    };
    const Row rows[] = {
        {0, false, 196613, 5, 3},        {1, false, 196613, 5, 3},     {1, true, 196613, 5, 3},
        {1, false, 3 | 10 << 16, 3, 10}, {1, true, 0 | 3 << 16, 0, 3}, {0, false, 10 | 0 << 16, 10, 0},
    };
    CBackLightMgr backlight;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.status) + " mode " + std::to_string(row.mode) +
                     (row.vga ? " vga" : ""));
        std::unique_ptr<VgaPanel> panel = row.vga ? std::make_unique<VgaPanel>() : nullptr;
        setConfig("backlight_mode", row.mode);
        backlight.ForceStatusChild(row.status, 0);
        EXPECT_EQ(phone().backlightBattery, row.battery);
        EXPECT_EQ(phone().backlightAc, row.ac);
        uint32_t stored = 0;
        home.services().registry().getDword(RegRoot::CurrentUser, CBackLightMgr::kSettingsKey,
                                            CBackLightMgr::kBatteryValue, stored);
        EXPECT_EQ(stored, row.battery);
        EXPECT_EQ(backlight.GetStatus(), row.status);
    }
    std::string name;
    EXPECT_EQ(backlight.GetNameStatus(196613, name), "[5-3]");
}

TEST_F(DeviceMgrsTest, BacklightAppletThatDoesNotOpenIsReported) {
    // The maker's applet is named by the registry but not on this phone.
    home.services().registry().createKey(RegRoot::LocalMachine, CBackLightMgr::kMakerAppletKey);
    setConfig("backlight_mode", 1);
    CBackLightMgr backlight;
    backlight.ForceStatusChild(196613, 0);
    ASSERT_FALSE(home.boxes().shown().empty());
    EXPECT_EQ(home.boxes().shown().back().text, CTextsMgr::Text("BACKLIGHT DIALOG NOT FOUND"));
    EXPECT_EQ(phone().backlightBattery, 6u);
    EXPECT_EQ(backlight.GetStatus(), CMgr::kStatusNeverRead);
}

TEST_F(DeviceMgrsTest, BeamFollowsOnlyItsTwoStatuses) {
    CBeamMgr beam;
    const std::pair<int, bool> rows[] = {{0, false}, {2, false}, {1, true}, {2, true}, {-1, true}};
    for (const auto& [status, on] : rows) {
        beam.ForceStatusChild(status, 0);
        EXPECT_EQ(phone().beam, on) << status;
        EXPECT_EQ(beam.GetStatus(), on ? 1 : 0) << status;
    }
}

TEST_F(DeviceMgrsTest, CpuPowerStatesAndTheirTexts) {
    const std::pair<uint32_t, const char*> rows[] = {
        {platform::POWER_STATE_ON, "On state"},
        {platform::POWER_STATE_OFF, "Off  state"},
        {platform::POWER_STATE_CRITICAL, "Critical state"},
        {platform::POWER_STATE_BOOT, "Boot state"},
        {platform::POWER_STATE_IDLE, "Idle state"},
        {platform::POWER_STATE_SUSPEND, "Suspend state"},
        {platform::POWER_STATE_RESET, "Reset state"},
        {platform::POWER_STATE_USERIDLE, "unknwon state"},
    };
    CCPUMgr cpu;
    std::string name;
    for (const auto& [state, text] : rows) {
        EXPECT_EQ(cpu.GetNameStatus(static_cast<int>(state), name), text);
        EXPECT_EQ(cpu.HasStatus(static_cast<int>(state)), std::string(text) != "unknwon state");
    }
    cpu.ForceStatusChild(static_cast<int>(platform::POWER_STATE_IDLE), 0);
    EXPECT_EQ(phone().powerState, platform::POWER_STATE_IDLE);
    EXPECT_EQ(cpu.GetStatus(), static_cast<int>(platform::POWER_STATE_IDLE));
    // A state the phone does not know is not entered: the status stays.
    cpu.ForceStatusChild(0x8, 0);
    EXPECT_EQ(phone().powerState, platform::POWER_STATE_IDLE);
    EXPECT_EQ(cpu.GetStatus(), static_cast<int>(platform::POWER_STATE_IDLE));
}

TEST(MessageRecipientsTest, SplitAtSemicolonsWithoutBlanksOrEmptyAddresses) {
    using List = std::vector<std::string>;
    const std::pair<std::string, List> rows[] = {
        {"a@b.org; c@d.org", {"a@b.org", "c@d.org"}},
        {" a@b.org ;; ;c@d.org ; ", {"a@b.org", "c@d.org"}},
        {"a@b.org", {"a@b.org"}},
        {"", {}},
        {" ; ", {}},
    };
    for (const auto& [text, list] : rows) {
        EXPECT_EQ(CMessageMgr::SplitRecipients(text), list) << text;
    }
}

TEST_F(DeviceMgrsTest, MessagesGoToTheOutboxAndTheStoresAreFoundByName) {
    CMessageMgr messages;
    std::vector<std::string> stores;
    ASSERT_TRUE(messages.GetMessagesProviders(stores));
    EXPECT_EQ(stores, (std::vector<std::string>{"SMS", "Mail"}));
    EXPECT_EQ(messages.GetSMSAccount(), 0);
    EXPECT_EQ(messages.StoreOfSetting(""), 1);
    EXPECT_EQ(messages.StoreOfSetting("SMS"), 0);
    EXPECT_EQ(messages.StoreOfSetting("0"), 0);

    ASSERT_TRUE(messages.SendSMS("+34600999888", "On my way ✓", 0));
    ASSERT_TRUE(
        messages.SendMail("a@b.org; c@d.org", "Arrived", "At the office.", CMessageMgr::kConfiguredStore, 0));
    ASSERT_TRUE(
        WaitUntil([&] { return platform::sim::CSimPhone::loadOutbox(home.services().home()).size() == 2; }));
    auto outbox = platform::sim::CSimPhone::loadOutbox(home.services().home());
    EXPECT_EQ(outbox[0].kind, "sms");
    EXPECT_EQ(outbox[0].to, "+34600999888");
    EXPECT_EQ(outbox[0].text, "On my way ✓");
    EXPECT_EQ(outbox[1].kind, "mail");
    EXPECT_EQ(outbox[1].store, "Mail");
    EXPECT_EQ(outbox[1].to, "a@b.org;c@d.org");
    EXPECT_EQ(outbox[1].subject, "Arrived");
    EXPECT_EQ(outbox[1].transport, "kept");

    // A store listed without an entry identifier is reported and its mail not sent.
    const std::string offline = std::string(platform::sim::CSimMessageStores::kAccountsKey) + "\\Work";
    home.services().registry().setDword(RegRoot::CurrentUser, offline, "Offline", 1);
    CMessageMgr::MailArgument mail("x@y.org", "s", "b", 2, 0);
    EXPECT_FALSE(messages.SendMailAsync(&mail));
    EXPECT_EQ(home.boxes().shown().back().text, "Store missing PR_ENTRYID!");
    // An SMS to something that is not a number fails, and says so.
    CMessageMgr::SMSArgument sms("call me", "text", 0);
    EXPECT_FALSE(messages.SendSMSAsync(&sms));
    EXPECT_EQ(logged(CMgr::MGR_MESSAGE).back(),
              SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_ACTION_SMS_FAILED_RESUME"), std::string("call me")));
    EXPECT_EQ(platform::sim::CSimPhone::loadOutbox(home.services().home()).size(), 2u);
}

}  // namespace

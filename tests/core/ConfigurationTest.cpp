#include <gtest/gtest.h>

#include "core/CConfiguration.h"
#include "core/CConfigurationZentrova.h"
#include "core/CExceptionDB.h"
#include "core/DebugTrace.h"
#include "platform/CMessageQueues.h"
#include "platform/CSqliteRegistry.h"
#include "platform/sim/CSimClock.h"
#include "platform/sim/CSimUserNotifications.h"
#include "support/TempHome.h"

namespace {

using platform::RegRoot;
constexpr const char* kKey = CConfigurationZentrova::kKeyPath;

// Counts reads and can refuse writes, in front of the real registry.
class ProbeRegistry : public platform::CSqliteRegistry {
  public:
    using CSqliteRegistry::CSqliteRegistry;
    platform::Result getDword(RegRoot r, const std::string& k, const std::string& n, uint32_t& out) override {
        ++reads;
        return CSqliteRegistry::getDword(r, k, n, out);
    }
    platform::Result getString(RegRoot r, const std::string& k, const std::string& n,
                               std::string& out) override {
        ++reads;
        return CSqliteRegistry::getString(r, k, n, out);
    }
    platform::Result setDword(RegRoot r, const std::string& k, const std::string& n, uint32_t v) override {
        return refuseWrites ? platform::ERROR_WRITE_FAULT : CSqliteRegistry::setDword(r, k, n, v);
    }
    platform::Result setString(RegRoot r, const std::string& k, const std::string& n,
                               const std::string& v) override {
        return refuseWrites ? platform::ERROR_WRITE_FAULT : CSqliteRegistry::setString(r, k, n, v);
    }
    int reads = 0;
    bool refuseWrites = false;
};

class ConfigurationTest : public ::testing::Test {
  protected:
    ConfigurationTest() {
        char tmpl[] = "/tmp/zentrova-test-XXXXXX";
        root = ::mkdtemp(tmpl);
        platform::CHome home(root);
        home.create();
        platform::Services::Parts parts;
        parts.clock = std::make_unique<platform::sim::CSimClock>(home.clockFile());
        parts.queues = std::make_unique<platform::CMessageQueues>(*parts.clock);
        auto reg = std::make_unique<ProbeRegistry>(home.registryFile(), *parts.queues);
        probe = reg.get();
        parts.registry = std::move(reg);
        parts.notifications =
            std::make_unique<platform::sim::CSimUserNotifications>(home, *parts.clock, false);
        parts.boxes = std::make_shared<platform::CPolicyMessageBoxes>(false, false);
        services = std::make_unique<platform::Services>(home, std::move(parts));
        scope = std::make_unique<platform::Services::Scope>(*services);
    }
    ~ConfigurationTest() override {
        scope.reset();
        services.reset();
        std::filesystem::remove_all(root);
        SetDebugMode(false);
    }
    platform::IRegistry& reg() { return services->registry(); }

    std::filesystem::path root;
    ProbeRegistry* probe = nullptr;
    std::unique_ptr<platform::Services> services;
    std::unique_ptr<platform::Services::Scope> scope;
};

TEST_F(ConfigurationTest, NumberIsReadFromTheRegistryOnceAndOutsideChangesAreNotSeen) {
    reg().setDword(RegRoot::LocalMachine, kKey, "refresh_location", 5);
    CConfiguration config(kKey);
    EXPECT_EQ(config.GetLongParameter("refresh_location"), 5u);
    reg().setDword(RegRoot::LocalMachine, kKey, "refresh_location", 9);
    EXPECT_EQ(config.GetLongParameter("refresh_location"), 5u);
    EXPECT_EQ(probe->reads, 1);
    // A new store (the next start) sees the new value.
    EXPECT_EQ(CConfiguration(kKey).GetLongParameter("refresh_location"), 9u);
}

TEST_F(ConfigurationTest, WrittenValuesAreServedWithoutReadingTheRegistry) {
    CConfiguration config(kKey);
    config.SetLongParameter("last_place", 7);
    config.SetRegistryParameter("language", "es");
    std::string text;
    EXPECT_EQ(config.GetLongParameter("last_place"), 7u);
    EXPECT_EQ(config.GetStringParameter("language", text), "es");
    EXPECT_EQ(probe->reads, 0);
    uint32_t stored = 0;
    reg().getDword(RegRoot::LocalMachine, kKey, "last_place", stored);
    EXPECT_EQ(stored, 7u);
}

TEST_F(ConfigurationTest, FailedWriteThrowsAndKeepsTheCachedValue) {
    CConfiguration config(kKey);
    config.SetLongParameter("last_place", 3);
    config.SetRegistryParameter("theme", "dark");
    probe->refuseWrites = true;
    try {
        config.SetLongParameter("last_place", 4);
        FAIL() << "no exception";
    } catch (const CExceptionDB& e) {
        EXPECT_EQ(e.GetMessageW(), "Error storing last_place on registry");
    }
    EXPECT_THROW(config.SetRegistryParameter("theme", "light"), CExceptionDB);
    std::string theme;
    EXPECT_EQ(config.GetLongParameter("last_place"), 3u);
    EXPECT_EQ(config.GetStringParameter("theme", theme), "dark");
}

TEST_F(ConfigurationTest, MissingOrMistypedValueThrowsNotFound) {
    CConfiguration config(kKey);
    try {
        config.GetLongParameter("no_such_value");
        FAIL() << "no exception";
    } catch (const CExceptionDB& e) {
        EXPECT_EQ(e.GetMessageW(), "Registry value no_such_value not found");
    }
    reg().setString(RegRoot::LocalMachine, kKey, "tray_icon", "1");
    EXPECT_THROW(config.GetLongParameter("tray_icon"), CExceptionDB);
    reg().setDword(RegRoot::LocalMachine, kKey, "language", 1);
    std::string text = "unchanged";
    EXPECT_THROW(config.GetStringParameter("language", text), CExceptionDB);
    EXPECT_EQ(text, "unchanged");
}

TEST_F(ConfigurationTest, LongTextIsCutToTheBufferWithoutSplittingACharacter) {
    std::string longText(2500, 'a');
    longText[1998] = '\xc3';  // an "é" across the cut
    longText.insert(1999, 1, '\xa9');
    reg().setString(RegRoot::LocalMachine, kKey, "url_upload_location", longText);
    CConfiguration config(kKey);
    std::string text;
    config.GetStringParameter("url_upload_location", text);
    EXPECT_EQ(CountChars(text), CConfiguration::kTextBuffer - 1);
    EXPECT_EQ(text.substr(1998), "\xc3\xa9");
}

TEST_F(ConfigurationTest, BinaryValuesBypassTheCache) {
    CConfiguration config(kKey);
    const uint8_t pin[] = {1, 2, 3, 4};
    ASSERT_TRUE(config.SetBinaryParameter("pin", pin, sizeof pin));
    reg().setBinary(RegRoot::LocalMachine, kKey, "pin", {9, 8, 7});
    uint8_t buffer[8] = {};
    size_t size = sizeof buffer;
    ASSERT_TRUE(config.GetBinaryParameter("pin", buffer, size));
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(buffer[0], 9);
    // Too small a buffer or a missing value: nothing is written and false comes back.
    uint8_t small[2] = {0x55, 0x55};
    size = sizeof small;
    EXPECT_FALSE(config.GetBinaryParameter("pin", small, size));
    EXPECT_FALSE(config.GetBinaryParameter("pin2", small, size));
    EXPECT_EQ(small[0], 0x55);
}

TEST_F(ConfigurationTest, OnlyDebugInfoOneSwitchesTheDebugFlagOn) {
    reg().setDword(RegRoot::LocalMachine, kKey, "debug_info", 2);
    {
        CConfigurationZentrova config;
        EXPECT_FALSE(IsDebugMode());
    }
    reg().setDword(RegRoot::LocalMachine, kKey, "debug_info", 1);
    {
        CConfigurationZentrova config;
        EXPECT_TRUE(IsDebugMode());
    }
}

TEST_F(ConfigurationTest, LatestStoreServesGetInstanceAndOnDemandOneTakesOver) {
    reg().setDword(RegRoot::LocalMachine, kKey, "debug_info", 0);
    CConfigurationZentrova* onDemand = CConfigurationZentrova::GetInstance();
    ASSERT_NE(onDemand, nullptr);
    EXPECT_EQ(CConfigurationZentrova::GetInstance(), onDemand);
    {
        CConfigurationZentrova member;
        EXPECT_EQ(CConfigurationZentrova::GetInstance(), &member);
    }
    EXPECT_NE(CConfigurationZentrova::GetInstance(), nullptr);
}

}  // namespace

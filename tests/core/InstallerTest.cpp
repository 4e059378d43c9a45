#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <vector>

#include "core/CBaseException.h"
#include "core/CConfigDefaults.h"
#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "core/DeviceId.h"
#include "support/TempHome.h"

namespace {

using platform::RegRoot;
constexpr const char* kKey = CConfigurationZentrova::kKeyPath;

TEST(InstallerTest, FreshInstallWritesEveryDefaultAndCopiesResources) {
    TempHome home;
    CInstaller installer(home.services().home());
    EXPECT_TRUE(installer.IsNeeded());
    CInstaller::Report report = installer.Install();
    EXPECT_FALSE(installer.IsNeeded());
    EXPECT_EQ(report.valuesAdded, static_cast<int>(CConfigDefaults::All().size()));
    EXPECT_GT(report.filesCopied, 0);
    EXPECT_TRUE(std::filesystem::is_regular_file(home.root() / "program" / "README.md"));

    // Every setting reads back through the store with its type.
    CConfiguration config(kKey);
    for (const auto& e : CConfigDefaults::All()) {
        std::string text;
        switch (e.type) {
            case CConfigDefaults::Type::Number:
                EXPECT_EQ(config.GetLongParameter(e.name), e.number) << e.name;
                break;
            case CConfigDefaults::Type::Text:
                EXPECT_EQ(config.GetStringParameter(e.name, text), e.text) << e.name;
                break;
            case CConfigDefaults::Type::Binary: {
                uint8_t buffer[4];
                size_t size = sizeof buffer;
                EXPECT_TRUE(config.GetBinaryParameter(e.name, buffer, size)) << e.name;
                EXPECT_EQ(size, 0u);
                break;
            }
        }
    }
}

TEST(InstallerTest, SecondInstallKeepsUserValuesAddsMissingAndRepairsWrongTypes) {
    TempHome home;
    CInstaller installer(home.services().home());
    installer.Install();
    auto& reg = home.services().registry();
    reg.setString(RegRoot::LocalMachine, kKey, "language", "es");
    reg.deleteValue(RegRoot::LocalMachine, kKey, "cell_history_list_number");
    reg.setString(RegRoot::LocalMachine, kKey, "tray_icon", "yes");

    CInstaller::Report report = installer.Install();
    EXPECT_EQ(report.valuesAdded, 1);
    EXPECT_EQ(report.valuesRepaired, 1);
    std::string language;
    uint32_t n = 0;
    reg.getString(RegRoot::LocalMachine, kKey, "language", language);
    EXPECT_EQ(language, "es");
    EXPECT_EQ(reg.getDword(RegRoot::LocalMachine, kKey, "cell_history_list_number", n),
              platform::ERROR_SUCCESS);
    EXPECT_EQ(n, 50u);
    EXPECT_EQ(reg.getDword(RegRoot::LocalMachine, kKey, "tray_icon", n), platform::ERROR_SUCCESS);
}

// A start runs the installation when IsNeeded says so: a home of an older version, lacking a
// setting or holding one with another type, must be caught, and a value the user changed is not
// a reason to install again.
TEST(InstallerTest, AHomeLackingASettingOrHoldingAWrongTypeNeedsTheInstallation) {
    struct Row {
        const char* what;
        std::function<void(platform::IRegistry&)> change;
        bool needed;
        const char* language;  // after the installation that follows: the user's value is kept
    };
    const std::vector<Row> rows = {
        {"nothing changed", [](platform::IRegistry&) {}, false, "en"},
        {"a value the user changed",
         [](platform::IRegistry& reg) { reg.setString(RegRoot::LocalMachine, kKey, "language", "es"); },
         false, "es"},
        {"a setting added by a newer version",
         [](platform::IRegistry& reg) {
             reg.deleteValue(RegRoot::LocalMachine, kKey, "cell_history_list_number");
         },
         true, "en"},
        {"a text where a number belongs",
         [](platform::IRegistry& reg) { reg.setString(RegRoot::LocalMachine, kKey, "tray_icon", "yes"); },
         true, "en"},
    };
    for (const Row& row : rows) {
        TempHome home;
        CInstaller installer(home.services().home());
        installer.Install();
        auto& reg = home.services().registry();
        row.change(reg);
        EXPECT_EQ(installer.IsNeeded(), row.needed) << row.what;
        installer.Install();
        EXPECT_FALSE(installer.IsNeeded()) << row.what;
        std::string language;
        reg.getString(RegRoot::LocalMachine, kKey, "language", language);
        EXPECT_EQ(language, row.language) << row.what;
    }
}

TEST(InstallerTest, UnusableHomeGivesAMessageNamingTheFolder) {
    TempHome home;
    // A home below a plain file cannot be created, whoever runs the test.
    std::ofstream(home.root() / "plain") << "x";
    platform::CHome blocked(home.root() / "plain" / "home");
    try {
        CInstaller(blocked).Install();
        FAIL() << "no exception";
    } catch (const CBaseException& e) {
        EXPECT_NE(e.GetMessageW().find(blocked.root().string()), std::string::npos) << e.GetMessageW();
    }
}

TEST(InstallerTest, DeviceIdIsStablePerInstallation) {
    std::string first;
    {
        TempHome home;
        first = GetDeviceId();
        EXPECT_EQ(first.size(), 32u);
        EXPECT_EQ(GetDeviceId(), first);
    }
    TempHome other;
    EXPECT_NE(GetDeviceId(), first);
}

}  // namespace

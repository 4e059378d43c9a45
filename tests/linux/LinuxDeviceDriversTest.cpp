#include <gtest/gtest.h>

#include <fstream>

#include "NetBench.h"
#include "platform/linux/CLinuxDeviceDrivers.h"

namespace {

using platform::lnx::CLinuxDeviceDrivers;

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kSession = QStringLiteral("/org/freedesktop/login1/session/auto");

// A sysfs folder of the test's own, named by ZENTROVA_SYSFS_ROOT while the object lives.
class FakeSysfs {
  public:
    explicit FakeSysfs(const std::filesystem::path& root) : _root(root) {
        std::filesystem::create_directories(root / "class" / "backlight");
        ::setenv(CLinuxDeviceDrivers::kSysfsRootVariable, root.c_str(), 1);
    }
    ~FakeSysfs() { ::unsetenv(CLinuxDeviceDrivers::kSysfsRootVariable); }
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    std::filesystem::path addBacklight(const std::string& name, uint32_t max, uint32_t now) {
        std::filesystem::path folder = _root / "class" / "backlight" / name;
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "max_brightness") << max << "\n";
        std::ofstream(folder / "brightness") << now << "\n";
        return folder;
    }
    static uint32_t brightness(const std::filesystem::path& folder) {
        uint32_t value = 0;
        std::ifstream(folder / "brightness") >> value;
        return value;
    }

  private:
    std::filesystem::path _root;
};

// logind's SetBrightness on the caller's session, mocked: it writes the kernel's file as logind does.
void addSession(NetBench& bench, const std::filesystem::path& sysfs) {
    const QString code =
        QStringLiteral("open('%1/class/backlight/' + args[1] + '/brightness', 'w').write(str(args[2]))")
            .arg(QString::fromStdString(sysfs.string()));
    QDBusMessage added =
        bench.addObject(kLogind, kLogindPath, kSession, QStringLiteral("org.freedesktop.login1.Session"), {},
                        {{QStringLiteral("SetBrightness"), QStringLiteral("ssu"), QString(), code}});
    ASSERT_EQ(added.type(), QDBusMessage::ReplyMessage) << added.errorMessage().toStdString();
}

// The backlight level set through "BKL1:" reaches logind for the first backlight, scaled to its
// range, and the level applied is read back from sysfs.
TEST(LinuxDeviceDriversTest, BacklightLevelGoesThroughLogindAndReadsBackFromSysfs) {
    NetBench bench;
    if (!bench.why().empty()) {
        GTEST_SKIP() << bench.why();
    }
    ASSERT_TRUE(bench.bus().startTemplate("logind", kLogind.toStdString())) << bench.bus().mockOutput();
    FakeSysfs sysfs(bench.home().root() / "sys");
    const auto panel = sysfs.addBacklight("panel0", 1000, 1000);
    const auto other = sysfs.addBacklight("zz_second", 50, 7);
    addSession(bench, bench.home().root() / "sys");

    CLinuxDeviceDrivers drivers(bench.thread());
    EXPECT_EQ(drivers.unavailableReason(), "");
    EXPECT_EQ(drivers.backlightFolder(), panel);
    platform::DeviceHandle handle = 0;
    ASSERT_EQ(drivers.open("bkl1:", 0, handle), platform::ERROR_SUCCESS);
    struct Row {
        const char* what;
        uint32_t code;
        uint32_t level;
        size_t outputSize;
        platform::Result result;
        uint32_t raw;      // the brightness written afterwards
        uint32_t applied;  // the level reported (apply only)
    };
    const Row rows[] = {
        {"dark", CLinuxDeviceDrivers::kBacklightSet, 0, 0, platform::ERROR_SUCCESS, 0, 0},
        {"middle, applied", CLinuxDeviceDrivers::kBacklightApply, 5, 4, platform::ERROR_SUCCESS, 500, 5},
        {"three, applied", CLinuxDeviceDrivers::kBacklightApply, 3, 4, platform::ERROR_SUCCESS, 300, 3},
        {"above the brightest", CLinuxDeviceDrivers::kBacklightApply, 300, 4, platform::ERROR_SUCCESS, 1000,
         10},
        {"apply without room", CLinuxDeviceDrivers::kBacklightApply, 2, 2,
         platform::ERROR_INSUFFICIENT_BUFFER, 1000, 0},
        {"unknown code", 99, 2, 4, platform::ERROR_INVALID_PARAMETER, 1000, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<uint8_t> input{static_cast<uint8_t>(row.level & 0xFF),
                                   static_cast<uint8_t>(row.level >> 8)};
        std::vector<uint8_t> output(row.outputSize, 0xEE);
        uint32_t returned = 9;
        EXPECT_EQ(drivers.ioControl(handle, row.code, input, output, returned), row.result);
        EXPECT_EQ(FakeSysfs::brightness(panel), row.raw);
        if (row.result == platform::ERROR_SUCCESS && row.code == CLinuxDeviceDrivers::kBacklightApply) {
            ASSERT_EQ(returned, 4u);
            EXPECT_EQ(output[0] | output[1] << 8 | output[2] << 16 | output[3] << 24,
                      static_cast<int>(row.applied));
        } else {
            EXPECT_EQ(returned, 0u);
        }
    }
    EXPECT_EQ(FakeSysfs::brightness(other), 7u);  // only the first backlight is driven
    std::vector<uint8_t> output(4);
    uint32_t returned = 0;
    EXPECT_EQ(drivers.ioControl(handle, CLinuxDeviceDrivers::kBacklightSet, {1}, output, returned),
              platform::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(drivers.close(handle), platform::ERROR_SUCCESS);
    EXPECT_EQ(drivers.close(handle), platform::ERROR_INVALID_HANDLE);
    EXPECT_EQ(drivers.ioControl(handle, CLinuxDeviceDrivers::kBacklightSet, {1, 0}, output, returned),
              platform::ERROR_INVALID_HANDLE);
    EXPECT_EQ(drivers.open("OBX0:", platform::GENERIC_READ | platform::GENERIC_WRITE, handle),
              platform::ERROR_FILE_NOT_FOUND);
}

// Every level survives the way there and back on a scale of 10 steps or more, and the scaling
// stays within the device's range.
TEST(LinuxDeviceDriversTest, LevelsScaleOntoTheDevicesRange) {
    for (uint32_t max : {10u, 15u, 255u, 937u, 120000u}) {
        for (uint32_t level = 0; level <= CLinuxDeviceDrivers::kMaxLevel; ++level) {
            const uint32_t raw = CLinuxDeviceDrivers::rawOf(level, max);
            EXPECT_LE(raw, max);
            EXPECT_EQ(CLinuxDeviceDrivers::levelOf(raw, max), level) << "max " << max << " level " << level;
        }
        EXPECT_EQ(CLinuxDeviceDrivers::rawOf(CLinuxDeviceDrivers::kMaxLevel + 5, max), max);
        EXPECT_EQ(CLinuxDeviceDrivers::levelOf(max + 1, max), CLinuxDeviceDrivers::kMaxLevel);
    }
    EXPECT_EQ(CLinuxDeviceDrivers::levelOf(5, 0), 0u);
}

// Without a backlight the device is not there; without logind it is there but cannot be driven;
// each says why.
TEST(LinuxDeviceDriversTest, MissingBacklightOrLogindIsReported) {
    NetBench bench;
    if (!bench.why().empty()) {
        GTEST_SKIP() << bench.why();
    }
    FakeSysfs sysfs(bench.home().root() / "sys");
    {
        CLinuxDeviceDrivers drivers(bench.thread());
        EXPECT_EQ(drivers.unavailableReason(), "backlight (" +
                                                   (bench.home().root() / "sys/class/backlight").string() +
                                                   ") not available: no backlight device");
        platform::DeviceHandle handle = 0;
        EXPECT_EQ(drivers.open("BKL1:", 0, handle), platform::ERROR_FILE_NOT_FOUND);
    }
    const auto panel = sysfs.addBacklight("panel0", 100, 40);
    CLinuxDeviceDrivers drivers(bench.thread());
    EXPECT_EQ(drivers.unavailableReason(),
              "logind (org.freedesktop.login1) not available: the service is not running");
    platform::DeviceHandle handle = 0;
    ASSERT_EQ(drivers.open("BKL1:", 0, handle), platform::ERROR_SUCCESS);
    std::vector<uint8_t> output(4);
    uint32_t returned = 0;
    EXPECT_EQ(drivers.ioControl(handle, CLinuxDeviceDrivers::kBacklightApply, {8, 0}, output, returned),
              platform::ERROR_GEN_FAILURE);
    EXPECT_EQ(FakeSysfs::brightness(panel), 40u);
}

}  // namespace

#include <gtest/gtest.h>
#include <pulse/channelmap.h>
#include <pulse/volume.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "platform/linux/CLinuxSoundSettings.h"
#include "support/ChildProcess.h"
#include "support/TempHome.h"

namespace {

using platform::SoundFileInfo;
using platform::lnx::CLinuxSoundSettings;
namespace p = platform;

constexpr int L = PA_CHANNEL_POSITION_FRONT_LEFT;
constexpr int R = PA_CHANNEL_POSITION_FRONT_RIGHT;
constexpr int C = PA_CHANNEL_POSITION_FRONT_CENTER;
constexpr int M = PA_CHANNEL_POSITION_MONO;
constexpr int RL = PA_CHANNEL_POSITION_REAR_LEFT;
constexpr int RR = PA_CHANNEL_POSITION_REAR_RIGHT;
constexpr uint32_t N = PA_VOLUME_NORM;

TEST(LinuxSoundSettingsTest, WaveVolumesMapOntoTheSinksChannels) {
    struct Row {
        const char* what;
        uint32_t wave;
        std::vector<int> positions;
        std::vector<uint32_t> sink;
        uint32_t readBack;
    };
    const Row rows[] = {
        {"full, single level", 0x0000FFFF, {L, R}, {N, N}, 0xFFFFFFFF},
        {"silent", 0, {L, R}, {0, 0}, 0},
        {"half, single level", 0x00008000, {L, R}, {N / 2, N / 2}, 0x80008000},
        {"left and right apart", 0x4000FFFF, {L, R}, {N, N / 4}, 0x4000FFFF},
        {"right only", 0xFFFF0000, {L, R}, {0, N}, 0xFFFF0000},
        {"mono sink", 0x00008000, {M}, {N / 2}, 0x80008000},
        {"centre takes the mean", 0x7FFFFFFF, {L, C, R}, {N, N * 3 / 4, N / 2}, 0x7FFFFFFF},
        {"rear channels follow their side",
         0x2000C000,
         {L, R, RL, RR},
         {N * 3 / 4, N / 8, N * 3 / 4, N / 8},
         0x2000C000},
    };
    for (const Row& row : rows) {
        std::vector<uint32_t> sink = CLinuxSoundSettings::sinkVolumes(row.wave, row.positions);
        ASSERT_EQ(sink.size(), row.sink.size()) << row.what;
        for (size_t i = 0; i < sink.size(); ++i) {
            // One step of rounding either way.
            EXPECT_NEAR(static_cast<double>(sink[i]), static_cast<double>(row.sink[i]), 1.0)
                << row.what << " " << i;
        }
        EXPECT_EQ(CLinuxSoundSettings::waveVolume(sink, row.positions), row.readBack) << row.what;
    }
    // A sink above 100 % reads as full; no channels read as silent.
    EXPECT_EQ(CLinuxSoundSettings::waveVolume({N * 3 / 2, N * 2}, {L, R}), 0xFFFFFFFFu);
    EXPECT_EQ(CLinuxSoundSettings::waveVolume({}, {}), 0u);
}

TEST(LinuxSoundSettingsTest, TheProfileFollowsTheSinksMute) {
    struct Row {
        bool muted;
        uint32_t stored;
        uint32_t read;
    };
    const Row rows[] = {
        {false, p::SND_SOUNDTYPE_ON, p::SND_SOUNDTYPE_ON},
        {false, p::SND_SOUNDTYPE_FILE, p::SND_SOUNDTYPE_FILE},
        {false, p::SND_SOUNDTYPE_VIBRATE, p::SND_SOUNDTYPE_ON},  // unmuted outside the program
        {false, p::SND_SOUNDTYPE_NONE, p::SND_SOUNDTYPE_ON},
        {true, p::SND_SOUNDTYPE_VIBRATE, p::SND_SOUNDTYPE_VIBRATE},
        {true, p::SND_SOUNDTYPE_NONE, p::SND_SOUNDTYPE_NONE},
        {true, p::SND_SOUNDTYPE_ON, p::SND_SOUNDTYPE_NONE},  // muted outside the program
        {true, p::SND_SOUNDTYPE_FILE, p::SND_SOUNDTYPE_NONE},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CLinuxSoundSettings::profileOf(row.muted, row.stored), row.read)
            << row.muted << " " << row.stored;
    }
}

// Sets an environment variable for a scope, and takes it back.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : _name(name) {
        if (const char* old = std::getenv(name)) {
            _old = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (_old) {
            ::setenv(_name, _old->c_str(), 1);
        } else {
            ::unsetenv(_name);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* _name;
    std::optional<std::string> _old;
};

TEST(LinuxSoundSettingsTest, WithoutAServerEveryCallFailsAndSaysWhy) {
    TempHome home;
    ScopedEnv server("PULSE_SERVER", "unix:" + (home.root() / "no-server").string());
    CLinuxSoundSettings sound(home.services().registry(), 1000);
    EXPECT_NE(sound.unavailableReason().find("sound server"), std::string::npos) << sound.unavailableReason();

    SoundFileInfo info;
    uint32_t volume = 7;
    EXPECT_EQ(sound.getSound(p::SND_EVENT_ALL, info), p::ERROR_READ_FAULT);
    EXPECT_EQ(sound.getWaveVolume(volume), p::ERROR_READ_FAULT);
    EXPECT_EQ(volume, 0u);
    info.soundType = p::SND_SOUNDTYPE_VIBRATE;
    EXPECT_EQ(sound.setSound(p::SND_EVENT_ALL, info, true), p::ERROR_WRITE_FAULT);
    EXPECT_EQ(sound.setWaveVolume(0xFFFF), p::ERROR_WRITE_FAULT);
    // Nothing was stored for a profile that never reached the server.
    EXPECT_FALSE(
        home.services().registry().keyExists(p::RegRoot::CurrentUser, CLinuxSoundSettings::kProfileKey));
    EXPECT_NE(sound.unavailableReason(), "");
}

// What the server says, through its own command-line client.
std::string pactl(const std::string& args) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(("pactl " + args + " 2>&1").c_str(), "r"), ::pclose);
    std::array<char, 256> buf{};
    while (pipe && std::fgets(buf.data(), buf.size(), pipe.get())) {
        out += buf.data();
    }
    return out;
}

TEST(LinuxSoundSettingsTest, ProfileAndVolumeReachAPrivateServer) {
    if (!std::filesystem::exists("/usr/bin/pulseaudio") || !std::filesystem::exists("/usr/bin/pactl")) {
        GTEST_SKIP() << "pulseaudio and pactl are not installed (packages pulseaudio, pulseaudio-utils): "
                        "only the case without a server runs";
    }
    TempHome home;
    std::filesystem::path dir = home.root() / "pulse";
    std::filesystem::create_directories(dir);
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
    std::filesystem::path socket = dir / "native";
    ChildProcess daemon(
        "/usr/bin/pulseaudio",
        {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "--disable-shm=yes",
         "--log-target=stderr", "--load=module-null-sink sink_name=zv channels=2",
         "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket.string()},
        {{"HOME", dir.string()}, {"XDG_RUNTIME_DIR", dir.string()}}, dir / "pulseaudio.out");
    if (!WaitUntil([&] { return std::filesystem::exists(socket); }) || !daemon.running()) {
        GTEST_SKIP() << "pulseaudio did not start: " << daemon.output();
    }
    ScopedEnv server("PULSE_SERVER", "unix:" + socket.string());
    ASSERT_NE(pactl("info").find("Default Sink: zv"), std::string::npos) << pactl("info") << daemon.output();
    CLinuxSoundSettings sound(home.services().registry());
    ASSERT_EQ(sound.unavailableReason(), "");

    struct VolumeRow {
        uint32_t wave;
        const char* pactlText;  // the server's reading of the sink
        uint32_t readBack;
    };
    const VolumeRow volumes[] = {
        {0x0000FFFF, "65536 / 100%", 0xFFFFFFFF},
        {0x00008000, "front-right: 32769 /  50%", 0x80008000},
        {0x4000FFFF, "front-right: 16384", 0x4000FFFF},
        {0, "front-left: 0 /", 0},
    };
    for (const VolumeRow& row : volumes) {
        ASSERT_EQ(sound.setWaveVolume(row.wave), p::ERROR_SUCCESS) << row.wave;
        EXPECT_NE(pactl("get-sink-volume zv").find(row.pactlText), std::string::npos)
            << row.wave << ": " << pactl("get-sink-volume zv");
        uint32_t back = 1;
        ASSERT_EQ(sound.getWaveVolume(back), p::ERROR_SUCCESS);
        EXPECT_EQ(back, row.readBack) << row.wave;
    }

    struct ProfileRow {
        uint32_t type;
        const char* file;
        const char* outside;  // a mute set with pactl after the program's change, or null
        const char* mute;     // the sink's mute as pactl reports it then
        uint32_t read;
        const char* readFile;
    };
    const ProfileRow profiles[] = {
        {p::SND_SOUNDTYPE_VIBRATE, "", nullptr, "Mute: yes", p::SND_SOUNDTYPE_VIBRATE, ""},
        {p::SND_SOUNDTYPE_ON, "", nullptr, "Mute: no", p::SND_SOUNDTYPE_ON, ""},
        {p::SND_SOUNDTYPE_NONE, "", nullptr, "Mute: yes", p::SND_SOUNDTYPE_NONE, ""},
        {p::SND_SOUNDTYPE_FILE, "/sounds/alarm.wav", nullptr, "Mute: no", p::SND_SOUNDTYPE_FILE,
         "/sounds/alarm.wav"},
        {p::SND_SOUNDTYPE_FILE, "/sounds/alarm.wav", "1", "Mute: yes", p::SND_SOUNDTYPE_NONE, ""},
        {p::SND_SOUNDTYPE_VIBRATE, "", "0", "Mute: no", p::SND_SOUNDTYPE_ON, ""},
    };
    for (const ProfileRow& row : profiles) {
        SoundFileInfo set;
        set.soundType = row.type;
        set.fileName = row.file;
        ASSERT_EQ(sound.setSound(p::SND_EVENT_ALL, set, true), p::ERROR_SUCCESS) << row.type;
        if (row.outside) {
            pactl(std::string("set-sink-mute zv ") + row.outside);
        }
        EXPECT_NE(pactl("get-sink-mute zv").find(row.mute), std::string::npos) << row.type;
        SoundFileInfo got;
        ASSERT_EQ(sound.getSound(p::SND_EVENT_ALL, got), p::ERROR_SUCCESS);
        EXPECT_EQ(got.soundType, row.read) << row.type << " " << (row.outside ? row.outside : "");
        EXPECT_EQ(got.fileName, row.readFile) << row.type;
    }

    struct BadRow {
        uint32_t event;
        uint32_t type;
        const char* file;
    };
    const BadRow bad[] = {{1, p::SND_SOUNDTYPE_ON, ""}, {0, 4, ""}, {0, p::SND_SOUNDTYPE_FILE, ""}};
    for (const BadRow& row : bad) {
        SoundFileInfo set;
        set.soundType = row.type;
        set.fileName = row.file;
        EXPECT_EQ(sound.setSound(row.event, set, true), p::ERROR_INVALID_PARAMETER)
            << row.event << " " << row.type;
    }
    SoundFileInfo info;
    EXPECT_EQ(sound.getSound(3, info), p::ERROR_INVALID_PARAMETER);

    // The server goes away: calls fail instead of hanging, and the reason names the server.
    daemon.stop();
    uint32_t volume = 0;
    EXPECT_EQ(sound.getWaveVolume(volume), p::ERROR_READ_FAULT);
    EXPECT_NE(sound.unavailableReason().find("sound server"), std::string::npos);
}

}  // namespace

// The long run (scripts/soak.sh, outside the routine suite): the real program on a fast clock takes
// thousands of cell moves, forced changes with time limits and XML exports while the frames of its
// places start and end. It reports the resident memory after warm-up and at the end, every
// worker's statistics, and whether any command was lost; it fails when the memory grew by more
// than 10 % or a command was lost.
//
// ZENTROVA_SOAK_MOVES (default 10000) scales the run: forced changes are a tenth of the moves,
// exports a hundredth.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/CControlClient.h"
#include "platform/CHome.h"
#include "support/ProgramFixture.h"

namespace {

constexpr int kPlaces = 3;
constexpr int kCellsPerPlace = 10;
constexpr int kWifi = 0;
constexpr int kBluetooth = 1;
constexpr int kSpeaker = 2;
constexpr long kCommandXmlExport = 40060;

long residentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

std::string valueOf(const std::string& text, const std::string& key) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + "=", 0) == 0) {
            return line.substr(key.size() + 1);
        }
    }
    return {};
}

class SoakTest : public ProgramFixture {
  protected:
    // A fast clock: ten simulated minutes per second, so frames of an hour start and end every
    // few seconds of the run and a time limit of minutes runs out within it.
    SoakTest() : ProgramFixture("600") {}

    std::string request(const std::vector<std::string>& words) {
        std::string reply;
        auto status = client->request(words, reply, 30'000);
        if (status != platform::CControlClient::Status::Ok) {
            ++failedRequests;
            failures += words.front() + ": " + reply + "\n";
        }
        return reply;
    }

    std::unique_ptr<platform::CControlClient> client;
    int failedRequests = 0;
    std::string failures;
};

TEST_F(SoakTest, CellMovesForcedChangesAndExportsOnAFastClock) {
    const char* scale = std::getenv("ZENTROVA_SOAK_MOVES");
    const int moves = scale && *scale ? std::atoi(scale) : 10'000;
    ASSERT_GE(moves, 100);

    startProgram();
    // Three places, each with frames of an hour every two hours whose actions switch Wi-Fi, and
    // ten cells of its own.
    for (int p = 0; p < kPlaces; ++p) {
        std::string place = "Place" + std::to_string(p);
        ASSERT_EQ(device({"place", "add", place}).code, 0);
        for (int hour = p % 2; hour < 24; hour += 2) {
            char start[8];
            char end[8];
            std::snprintf(start, sizeof start, "%02d:00", hour);
            std::snprintf(end, sizeof end, "%02d:59", hour);
            std::string name = "f" + std::to_string(hour);
            ASSERT_EQ(device({"frame", "add", place, "all", start, end, "--name", name}).code, 0);
            ASSERT_EQ(device({"action", "add", place, name, "enter", "0", "1"}).code, 0);
            ASSERT_EQ(device({"action", "add", place, name, "exit", "0", "0"}).code, 0);
        }
        for (int c = 0; c < kCellsPerPlace; ++c) {
            ASSERT_EQ(device({"cell", "assign", std::to_string(1000 + p * 100 + c), place}).code, 0);
        }
    }
    client = std::make_unique<platform::CControlClient>(platform::CHome(home));
    const pid_t pid = program->pid();

    std::mt19937 random(20261210);
    const std::filesystem::path xml = home / "Zentrova.xml";
    int exports = 0;
    int exportsWritten = 0;
    int forced = 0;
    long warmKb = -1;
    const long startKb = residentKb(pid);
    const auto began = std::chrono::steady_clock::now();
    for (int i = 0; i < moves; ++i) {
        // Mostly cells of the places, one in five a cell of no place.
        int place = static_cast<int>(random() % (kPlaces + 1));
        int cell = place < kPlaces ? 1000 + place * 100 + static_cast<int>(random() % kCellsPerPlace)
                                   : 5000 + static_cast<int>(random() % 50);
        request({"cell", std::to_string(cell), "100"});
        if (i % 10 == 9) {
            // Bluetooth or sound for 1 to 10 simulated minutes, then back.
            bool bluetooth = random() % 2 == 0;
            int status = bluetooth ? static_cast<int>(random() % 2) : static_cast<int>(random() % 2);
            request({"force", std::to_string(bluetooth ? kBluetooth : kSpeaker), std::to_string(status),
                     "--minutes", std::to_string(1 + random() % 10), "--restore",
                     std::to_string(1 - status)});
            ++forced;
        }
        if (i % 100 == 99) {
            std::error_code ec;
            auto before = std::filesystem::last_write_time(xml, ec);
            bool existed = !ec;
            request({"command", std::to_string(kCommandXmlExport)});
            ++exports;
            if (WaitUntil([&] {
                    std::error_code e;
                    auto now = std::filesystem::last_write_time(xml, e);
                    return !e && (!existed || now != before);
                })) {
                ++exportsWritten;
            }
        }
        if (i == moves / 10) {
            warmKb = residentKb(pid);
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

    // The last word: a cell of the first place and Bluetooth on without a limit. Both must be
    // carried out once the queues have drained.
    request({"force", std::to_string(kBluetooth), "1"});
    request({"cell", "1000", "100"});
    std::string state;
    bool drained = WaitUntil(
        [&] {
            state = request({"app"});
            return valueOf(state, "workers_pending") == "0" && valueOf(state, "engine_pending") == "0" &&
                   valueOf(state, "mgr" + std::to_string(kBluetooth)) == "1" &&
                   valueOf(state, "cell") == "1000";
        },
        std::chrono::seconds(60));
    const long endKb = residentKb(pid);

    std::printf(
        "soak: %d cell moves, %d forced changes with time limits, %d XML exports (%d written) in %.1f s\n",
        moves, forced, exports, exportsWritten, seconds);
    std::printf(
        "soak: resident memory %ld kB at start, %ld kB after warm-up (%d moves), %ld kB at end (%+.1f %%)\n",
        startKb, warmKb, moves / 10, endKb, 100.0 * (endKb - warmKb) / warmKb);
    std::printf("soak: failed requests %d, queues drained %s\n", failedRequests, drained ? "yes" : "NO");
    std::istringstream lines(state);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("worker", 0) == 0 || line.rfind("engine_", 0) == 0 ||
            line.rfind("executions", 0) == 0 || line.rfind("status_reports", 0) == 0) {
            std::printf("soak: %s\n", line.c_str());
        }
    }
    std::fflush(stdout);

    EXPECT_EQ(failedRequests, 0) << failures;
    EXPECT_TRUE(drained) << state;
    EXPECT_EQ(valueOf(state, "workers_lost"), "0");
    EXPECT_EQ(exportsWritten, exports);
    EXPECT_LE(endKb, warmKb + warmKb / 10) << "resident memory grew by more than 10 % after warm-up";
    EXPECT_TRUE(program->running());
}

}  // namespace

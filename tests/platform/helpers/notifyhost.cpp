// A second process hosting the notification triggers of a home, as a running program does.
// Usage: notifyhost HOME. Writes HOME/host.ready once it watches; when HOME/host.stop appears
// (or after 20 seconds at most) it stops watching and removes HOME/host.ready.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/CHome.h"
#include "platform/sim/CSimClock.h"
#include "platform/sim/CSimUserNotifications.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    platform::CHome home(argv[1]);
    platform::sim::CSimClock clock(home.clockFile());
    {
        platform::sim::CSimUserNotifications notifications(home, clock, true);
        std::ofstream(home.root() / "host.ready") << "ready\n";
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!std::filesystem::exists(home.root() / "host.stop") &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    std::error_code ec;
    std::filesystem::remove(home.root() / "host.ready", ec);
    return 0;
}

// A second process for the registry tests: opens a registry file and writes to it.
//
//   regwriter FILE set-dword KEY NAME VALUE      sets one DWORD value (root: local machine)
//   regwriter FILE set-string KEY NAME TEXT      sets one string value
//   regwriter FILE delete-value KEY NAME         deletes one value
//   regwriter FILE hammer KEY COUNT              sets COUNT DWORD values "p0".."pN" one by one
//
// Exit status 0 on success, 1 when a call failed (the result is printed), 2 for bad arguments or
// a registry that cannot be opened.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/CMessageQueues.h"
#include "platform/CSqliteRegistry.h"
#include "platform/IClock.h"
#include "platform/PlatformError.h"

namespace {

// Real time at speed 1; enough for a process that only writes values.
class RealClock : public platform::IClock {
  public:
    SYSTEMTIME localTime() override { return {}; }
    int64_t localMillis() override { return 0; }
    uint32_t tickCount() override { return 0; }
    void sleep(uint32_t) override {}
    std::chrono::nanoseconds realDuration(uint32_t ms) override { return std::chrono::milliseconds(ms); }
    double speed() override { return 1.0; }
};

int check(platform::Result r, const char* what) {
    if (r != platform::ERROR_SUCCESS) {
        std::fprintf(stderr, "regwriter: %s failed: %ld\n", what, r);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: regwriter FILE COMMAND ARGS...\n");
        return 2;
    }
    const std::string file = argv[1];
    const std::string command = argv[2];
    RealClock clock;
    platform::CMessageQueues queues(clock);
    try {
        platform::CSqliteRegistry reg(file, queues);
        const auto root = platform::RegRoot::LocalMachine;
        if (command == "set-dword" && argc == 6) {
            return check(reg.setDword(root, argv[3], argv[4],
                                      static_cast<uint32_t>(std::strtoul(argv[5], nullptr, 0))),
                         "setDword");
        }
        if (command == "set-string" && argc == 6) {
            return check(reg.setString(root, argv[3], argv[4], argv[5]), "setString");
        }
        if (command == "delete-value" && argc == 5) {
            return check(reg.deleteValue(root, argv[3], argv[4]), "deleteValue");
        }
        if (command == "hammer" && argc == 5) {
            int count = std::atoi(argv[4]);
            for (int i = 0; i < count; ++i) {
                if (int rc =
                        check(reg.setDword(root, argv[3], "p" + std::to_string(i), static_cast<uint32_t>(i)),
                              "setDword")) {
                    return rc;
                }
            }
            return 0;
        }
    } catch (const platform::PlatformError& e) {
        std::fprintf(stderr, "regwriter: %s\n", e.what());
        return 2;
    }
    std::fprintf(stderr, "regwriter: bad command line\n");
    return 2;
}

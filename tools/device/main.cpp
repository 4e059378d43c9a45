#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/PlatformError.h"
#include "platform/sim/CSimServices.h"
#include "tools/device/CDeviceTool.h"

int main(int argc, char** argv) {
    std::vector<std::string> words;
    std::string home;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (words.empty() && a == "--home") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "zentrova-device: --home needs a folder\n");
                return CDeviceTool::kUsage;
            }
            home = argv[++i];
        } else if (words.empty() && (a == "--help" || a == "-h")) {
            CDeviceTool::Usage(stdout);
            return CDeviceTool::kOk;
        } else {
            words.push_back(a);
        }
    }
    if (words.empty()) {
        CDeviceTool::Usage(stderr);
        return CDeviceTool::kUsage;
    }
    try {
        std::filesystem::path root =
            home.empty() ? platform::CHome::resolve() : std::filesystem::absolute(home);
        auto services = platform::sim::CSimServices::Create(root, platform::Services::Role::Tool);
        platform::Services::Scope scope(*services);
        return CDeviceTool(*services).Run(words);
    } catch (const platform::PlatformError& e) {
        std::fprintf(stderr, "zentrova-device: %s\n", e.what());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zentrova-device: %s\n", e.what());
    }
    return CDeviceTool::kFailed;
}

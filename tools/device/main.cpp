#include <QCoreApplication>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/CBackend.h"
#include "platform/PlatformError.h"
#include "platform/sim/CSimServices.h"
#include "tools/device/CDeviceTool.h"

int main(int argc, char** argv) {
    std::vector<std::string> words;
    std::string home;
    std::string backendName;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (words.empty() && (a == "--home" || a == "--backend")) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "zentrova-device: %s needs a value\n", a.c_str());
                return CDeviceTool::kUsage;
            }
            (a == "--home" ? home : backendName) = argv[++i];
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
        const platform::CBackend::Kind backend = platform::CBackend::choose(backendName);
        std::filesystem::path root =
            home.empty() ? platform::CHome::resolve() : std::filesystem::absolute(home);
        // The linux backend reaches the system's services over the bus, which needs a Qt core
        // application; the simulated phone needs none.
        std::unique_ptr<QCoreApplication> qt;
        std::unique_ptr<platform::Services> services;
        if (backend == platform::CBackend::Kind::Linux) {
            static int qargc = 1;
            static char name[] = "zentrova-device";
            static char* qargv[] = {name, nullptr};
            qt = std::make_unique<QCoreApplication>(qargc, qargv);
            services = platform::CBackend::loadModule(platform::CBackend::kModuleFile, root,
                                                      platform::Services::Role::Tool);
        } else {
            services = platform::sim::CSimServices::Create(root, platform::Services::Role::Tool);
        }
        int code = CDeviceTool::kFailed;
        {
            platform::Services::Scope scope(*services);
            code = CDeviceTool(*services, platform::CBackend::name(backend)).Run(words);
        }
        services.reset();
        return code;
    } catch (const platform::PlatformError& e) {
        std::fprintf(stderr, "zentrova-device: %s\n", e.what());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zentrova-device: %s\n", e.what());
    }
    return CDeviceTool::kFailed;
}

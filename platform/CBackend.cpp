#include "platform/CBackend.h"

#include <dlfcn.h>

#include <cstdlib>

#include "platform/PlatformError.h"
#include "platform/ServicesModule.h"

namespace platform {

CBackend::Kind CBackend::parse(const std::string& name) {
    if (name == "sim") {
        return Kind::Sim;
    }
    if (name == "linux") {
        return Kind::Linux;
    }
    throw PlatformError("unknown backend '" + name + "' (expected sim or linux)");
}

CBackend::Kind CBackend::choose(const std::string& option) {
    if (!option.empty()) {
        return parse(option);
    }
    const char* env = std::getenv(kEnvironment);
    if (env && *env) {
        try {
            return parse(env);
        } catch (const PlatformError& e) {
            throw PlatformError(std::string(kEnvironment) + ": " + e.what());
        }
    }
    return Kind::Sim;
}

const char* CBackend::name(Kind kind) {
    return kind == Kind::Linux ? "linux" : "sim";
}

std::filesystem::path CBackend::besideThisCode(const std::string& file) {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&CBackend::besideThisCode), &info) && info.dli_fname) {
        std::filesystem::path beside = std::filesystem::path(info.dli_fname).parent_path() / file;
        std::error_code ec;
        if (std::filesystem::exists(beside, ec)) {
            return beside;
        }
    }
    return file;
}

std::unique_ptr<Services> CBackend::loadModule(const std::filesystem::path& file,
                                               const std::filesystem::path& home, Services::Role role) {
    std::filesystem::path path = file.has_parent_path() ? file : besideThisCode(file.string());
    // Never unloaded (RTLD_NODELETE): the module brings Qt's bus library, whose objects may
    // outlive the services until the process ends.
    void* raw = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!raw) {
        const char* why = ::dlerror();
        throw PlatformError("cannot open the backend module " + path.string() + ": " +
                            (why ? why : "unknown error"));
    }
    std::shared_ptr<void> module(raw, [](void* h) { ::dlclose(h); });
    auto create = reinterpret_cast<CreateServicesFunction>(::dlsym(raw, kCreateServicesSymbol));
    if (!create) {
        throw PlatformError("the backend module " + path.string() + " has no entry " + kCreateServicesSymbol);
    }
    char error[1024] = {0};
    std::unique_ptr<Services> services(
        create(home.c_str(), role == Services::Role::Program ? 0 : 1, error, sizeof error));
    if (!services) {
        throw PlatformError(std::string("the linux backend could not set its services up: ") + error);
    }
    services->keepModuleLoaded(std::move(module));
    return services;
}

}  // namespace platform

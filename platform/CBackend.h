#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/Services.h"

namespace platform {

// Which backend provides the services: the simulated phone (the default) or the Linux system's
// own services, opened from the module libZentrovaLinux.so. Only the code that starts a process
// (the program, the tools) picks one; everything else sees Services alone.
class CBackend {
  public:
    enum class Kind { Sim, Linux };
    static constexpr const char* kModuleFile = "libZentrovaLinux.so";
    static constexpr const char* kEnvironment = "ZENTROVA_BACKEND";

    // "sim" or "linux"; throws PlatformError naming the bad value and the accepted ones.
    static Kind parse(const std::string& name);
    // The value of --backend when given (non-empty), else ZENTROVA_BACKEND when set and not
    // empty, else the simulated phone. Throws PlatformError on a bad value.
    static Kind choose(const std::string& option);
    static const char* name(Kind kind);

    // Opens the module `file` (a bare name is looked for beside the library or program holding
    // this code) and builds its services. The module stays loaded for as long as the services
    // live. Throws PlatformError when the module cannot be opened, lacks its entry or fails to
    // set the services up.
    static std::unique_ptr<Services> loadModule(const std::filesystem::path& file,
                                                const std::filesystem::path& home, Services::Role role);
    // Where a bare module name is looked for.
    static std::filesystem::path besideThisCode(const std::string& file);
};

}  // namespace platform

#include "platform/sim/CSimShell.h"

#include <strings.h>

#include <filesystem>
#include <system_error>

namespace platform::sim {

namespace {

bool fileExists(const std::string& file) {
    std::error_code ec;
    return !file.empty() && std::filesystem::exists(file, ec);
}

}  // namespace

CSimShell::CSimShell(std::shared_ptr<CSimPhone> phone, IRegistry& registry)
    : _phone(std::move(phone)), _registry(registry) {}

Result CSimShell::openFile(const std::string& verb, const std::string& file) {
    if (strcasecmp(verb.c_str(), "Open") != 0) {
        return ERROR_NOT_SUPPORTED;
    }
    if (!fileExists(file)) {
        return ERROR_FILE_NOT_FOUND;
    }
    return _phone->setSetting(kLastOpened, file);
}

Result CSimShell::setRingTone(const std::string& soundFile) {
    if (!fileExists(soundFile)) {
        return ERROR_FILE_NOT_FOUND;
    }
    // The sound settings first: whoever reads the phone's state afterwards finds them in step.
    Result r = _registry.setString(RegRoot::CurrentUser, kRingToneKey, kRingToneSound, soundFile);
    if (r != ERROR_SUCCESS) {
        return r;
    }
    return _phone->setSetting(kRingTone, soundFile);
}

}  // namespace platform::sim

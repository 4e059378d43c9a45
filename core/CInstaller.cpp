#include "core/CInstaller.h"

#include <cstdlib>

#include "core/CBaseException.h"
#include "core/CConfigDefaults.h"
#include "core/CConfigurationZentrova.h"
#include "platform/CProcessLauncher.h"
#include "platform/PlatformError.h"
#include "platform/Services.h"

namespace fs = std::filesystem;

namespace {

platform::RegType expectedType(CConfigDefaults::Type t) {
    switch (t) {
        case CConfigDefaults::Type::Number:
            return platform::RegType::Dword;
        case CConfigDefaults::Type::Text:
            return platform::RegType::Sz;
        case CConfigDefaults::Type::Binary:
            break;
    }
    return platform::RegType::Binary;
}

}  // namespace

CInstaller::CInstaller(platform::CHome home) : _home(std::move(home)) {}

fs::path CInstaller::ResourcesFolder() {
    if (const char* env = std::getenv("ZENTROVA_RESOURCES"); env && *env) {
        return env;
    }
    std::error_code ec;
    fs::path installed = platform::CProcessLauncher::selfExecutable().parent_path() / ".." / "share" /
                         "zentrova" / "resources";
    if (fs::is_directory(installed, ec)) {
        return fs::weakly_canonical(installed, ec);
    }
    return ZENTROVA_RESOURCES_DIR;
}

bool CInstaller::IsNeeded() const {
    std::error_code ec;
    if (!fs::is_directory(_home.programDir(), ec)) {
        return true;
    }
    auto& reg = platform::Services::get().registry();
    const auto root = platform::RegRoot::LocalMachine;
    const std::string key = CConfigurationZentrova::kKeyPath;
    if (!reg.keyExists(root, key)) {
        return true;
    }
    // A home installed by an older version lacks the settings added since: every start must
    // find each one, or the first read of a new one fails.
    for (const CConfigDefaults::Entry& e : CConfigDefaults::All()) {
        platform::RegValue existing;
        if (reg.getValue(root, key, e.name, existing) != platform::ERROR_SUCCESS ||
            existing.type != expectedType(e.type)) {
            return true;
        }
    }
    return false;
}

CInstaller::Report CInstaller::Install() const {
    Report report;
    try {
        _home.create();
    } catch (const platform::PlatformError& e) {
        throw CBaseException(std::string(e.what()));
    }
    std::error_code ec;
    fs::create_directories(_home.programDir(), ec);
    if (ec) {
        throw CBaseException(_home.programDir().string() + ": cannot create folder: " + ec.message());
    }
    report.filesCopied = copyResources();
    writeDefaults(report);
    return report;
}

int CInstaller::copyResources() const {
    fs::path from = ResourcesFolder();
    std::error_code ec;
    if (!fs::is_directory(from, ec)) {
        throw CBaseException(from.string() + ": the shipped resources are missing (set ZENTROVA_RESOURCES)");
    }
    int copied = 0;
    for (auto it = fs::recursive_directory_iterator(from, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        fs::path target = _home.programDir() / fs::relative(it->path(), from);
        if (it->is_directory()) {
            fs::create_directories(target, ec);
        } else if (it->is_regular_file()) {
            if (fs::copy_file(it->path(), target, fs::copy_options::update_existing, ec)) {
                ++copied;
            }
        }
        if (ec) {
            throw CBaseException(target.string() + ": cannot copy: " + ec.message());
        }
    }
    if (ec) {
        throw CBaseException(from.string() + ": cannot read: " + ec.message());
    }
    return copied;
}

void CInstaller::writeDefaults(Report& report) const {
    auto& reg = platform::Services::get().registry();
    const auto root = platform::RegRoot::LocalMachine;
    const std::string key = CConfigurationZentrova::kKeyPath;
    if (reg.createKey(root, key) != platform::ERROR_SUCCESS) {
        throw CBaseException(_home.registryFile().string() + ": cannot create the settings key " + key);
    }
    for (const CConfigDefaults::Entry& e : CConfigDefaults::All()) {
        platform::RegValue existing;
        if (reg.getValue(root, key, e.name, existing) == platform::ERROR_SUCCESS) {
            if (existing.type == expectedType(e.type)) {
                ++report.valuesKept;
                continue;
            }
            // A value of another type cannot be read by the program: put the default back.
            ++report.valuesRepaired;
        } else {
            ++report.valuesAdded;
        }
        platform::Result rc = platform::ERROR_SUCCESS;
        switch (e.type) {
            case CConfigDefaults::Type::Number:
                rc = reg.setDword(root, key, e.name, e.number);
                break;
            case CConfigDefaults::Type::Text:
                rc = reg.setString(root, key, e.name, e.text);
                break;
            case CConfigDefaults::Type::Binary:
                rc = reg.setBinary(root, key, e.name, {});
                break;
        }
        if (rc != platform::ERROR_SUCCESS) {
            throw CBaseException(_home.registryFile().string() + ": cannot write the setting " + e.name +
                                 " (error " + std::to_string(rc) + ")");
        }
    }
}

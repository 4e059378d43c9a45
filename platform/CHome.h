#pragma once

#include <filesystem>

namespace platform {

// The folder that stands for the phone's root folder, and the places of the files in it.
class CHome {
  public:
    // $ZENTROVA_HOME, else $XDG_DATA_HOME/zentrova, else ~/.local/share/zentrova.
    static std::filesystem::path resolve();

    explicit CHome(std::filesystem::path root) : _root(std::move(root)) {}

    const std::filesystem::path& root() const { return _root; }
    // The program folder: database, event log, histories, themes and translations.
    std::filesystem::path programDir() const { return _root / "program"; }
    // Sockets and locks of the running program; only the user may enter it.
    std::filesystem::path runDir() const { return _root / "run"; }
    std::filesystem::path registryFile() const { return _root / "registry.db"; }
    // State of the simulated phone: clock, pending notifications, devices.
    std::filesystem::path phoneDir() const { return _root / "phone"; }
    std::filesystem::path clockFile() const { return phoneDir() / "clock"; }
    std::filesystem::path notificationsFile() const { return phoneDir() / "notifications.db"; }
    std::filesystem::path controlSocket() const { return runDir() / "zentrova.sock"; }
    std::filesystem::path instanceLock() const { return runDir() / "zentrova.lock"; }

    // Creates the root, phone and run folders (run with mode 0700). Throws PlatformError naming
    // the folder when that is not possible.
    void create() const;

  private:
    std::filesystem::path _root;
};

}  // namespace platform

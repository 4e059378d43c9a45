#pragma once

// A message bus of the test's own (dbus-daemon on a socket in the test's folder) with mocked
// system services on it (python-dbusmock templates, Debian's or ours under tests/linux/). The
// bus stands for both the system and the session bus: `environment()` gives the variables that
// point a program at it, `exportEnvironment()` points this process at it. Everything started
// here is stopped when the object goes.

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

class PrivateBus {
  public:
    explicit PrivateBus(const std::filesystem::path& folder) : _folder(folder) {
        std::filesystem::create_directories(folder);
        if (!std::filesystem::exists("/usr/bin/dbus-daemon")) {
            _why = "dbus-daemon is not installed (package dbus-daemon)";
            return;
        }
        if (std::system("/usr/bin/python3 -c 'import dbusmock' 2>/dev/null") != 0) {
            _why = "python-dbusmock is not installed (package python3-dbusmock)";
            return;
        }
        std::filesystem::path socket = folder / "bus";
        std::filesystem::remove(socket);
        _address = "unix:path=" + socket.string();
        _daemon = std::make_unique<ChildProcess>(
            "/usr/bin/dbus-daemon",
            std::vector<std::string>{"--session", "--nofork", "--nopidfile", "--address=" + _address},
            std::map<std::string, std::string>{}, folder / "dbus-daemon.out");
        if (!WaitUntil([&] { return std::filesystem::exists(socket); }) || !_daemon->running()) {
            _why = "dbus-daemon did not start: " + _daemon->output();
            _daemon.reset();
        }
    }
    ~PrivateBus() {
        _mocks.clear();
        _daemon.reset();
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Empty when the bus runs; else why it could not (the test skips with this message).
    const std::string& why() const { return _why; }
    const std::string& address() const { return _address; }

    std::map<std::string, std::string> environment() const {
        return {{"DBUS_SYSTEM_BUS_ADDRESS", _address}, {"DBUS_SESSION_BUS_ADDRESS", _address}};
    }
    void exportEnvironment() const {
        for (const auto& [name, value] : environment()) {
            ::setenv(name.c_str(), value.c_str(), 1);
        }
    }

    // Starts a dbusmock template (a name of Debian's templates, or the path of a template file)
    // on the bus and waits until `service` is owned. `parameters` is the template's JSON.
    bool startTemplate(const std::string& templ, const std::string& service,
                       const std::string& parameters = "{}") {
        if (!_why.empty()) {
            return false;
        }
        auto env = environment();
        std::string log = (_folder / ("mock-" + std::to_string(_mocks.size()) + ".out")).string();
        _mocks.push_back(std::make_unique<ChildProcess>(
            "/usr/bin/python3",
            std::vector<std::string>{"-m", "dbusmock", "--template", templ, "-p", parameters}, env, log));
        return WaitUntil([&] { return hasOwner(service); });
    }

    // Whether a name has an owner on the bus.
    bool hasOwner(const std::string& service) const {
        std::string command = "/usr/bin/dbus-send --bus=" + _address +
                              " --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "
                              "org.freedesktop.DBus.NameHasOwner string:" +
                              service + " 2>/dev/null | grep -q 'boolean true'";
        return std::system(command.c_str()) == 0;
    }

    // The output of every mock started so far (for a failing test's message).
    std::string mockOutput() const {
        std::string all;
        for (const auto& mock : _mocks) {
            all += mock->output();
        }
        return all;
    }

  private:
    std::filesystem::path _folder;
    std::string _why;
    std::string _address;
    std::unique_ptr<ChildProcess> _daemon;
    std::vector<std::unique_ptr<ChildProcess>> _mocks;
};

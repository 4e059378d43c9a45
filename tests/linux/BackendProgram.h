#pragma once

// The real program on the linux backend, on a private bus of the test: the mocks a test wants are
// started first, then the program, and `device` runs zentrova-device on the same home, backend
// and bus. Everything stops when the object goes.

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/ChildProcess.h"
#include "support/PrivateBus.h"

class BackendProgram {
  public:
    // `folder` holds the bus, the home and the outputs.
    explicit BackendProgram(const std::filesystem::path& folder)
        : _folder(folder), _home(folder / "home"), _bus(folder / "bus") {}

    // Empty when the bus runs; else why the test must skip.
    const std::string& why() const { return _bus.why(); }
    PrivateBus& bus() { return _bus; }
    const std::filesystem::path& home() const { return _home; }

    // Starts the program (after the mocks) and waits until it has finished starting.
    bool start(std::chrono::seconds limit = std::chrono::seconds(90)) {
        _program =
            std::make_unique<ChildProcess>(bin("zentrova"), std::vector<std::string>{"--backend", "linux"},
                                           environment(), _folder / "program.out");
        return WaitUntil([&] { return device({"app"}).second.find("initiated=1") != std::string::npos; },
                         limit);
    }
    // The exit code of the program once stopped (SIGTERM).
    int stop() { return _program ? _program->stop() : -1; }
    std::string output() const { return _program ? _program->output() : std::string(); }

    // Runs zentrova-device --backend linux ARGS; its exit code and output.
    std::pair<int, std::string> device(std::vector<std::string> args) {
        args.insert(args.begin(), {"--backend", "linux"});
        return run("zentrova-device", args);
    }
    // Runs one of the programs with ARGS on this home and bus until it ends.
    std::pair<int, std::string> run(const std::string& program, const std::vector<std::string>& args) {
        ChildProcess p(bin(program), args, environment(), _folder / (program + ".out"));
        const int code = p.wait(std::chrono::seconds(30));
        return {code, p.output()};
    }
    // One value of a key=value answer ("app", "status"); empty when absent.
    std::string value(const std::string& key, const std::vector<std::string>& args) {
        const std::string out = "\n" + device(args).second;
        const auto at = out.find("\n" + key + "=");
        if (at == std::string::npos) {
            return {};
        }
        const auto begin = at + key.size() + 2;
        return out.substr(begin, out.find('\n', begin) - begin);
    }

  private:
    static std::string bin(const std::string& name) { return std::string(ZENTROVA_BIN_DIR) + "/" + name; }
    std::map<std::string, std::string> environment() const {
        auto env = _bus.environment();
        env["ZENTROVA_HOME"] = _home.string();
        env["ZENTROVA_BOX_ANSWER"] = "yes";
        env["QT_QPA_PLATFORM"] = "offscreen";
        return env;
    }

    std::filesystem::path _folder;
    std::filesystem::path _home;
    PrivateBus _bus;
    std::unique_ptr<ChildProcess> _program;  // stops before the bus goes
};

#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TestSkin.h"

// A temporary home for the real programs: starts zentrova on it, runs zentrova-device against it,
// and stops the program and removes the home at the end.
class ProgramFixture : public ::testing::Test {
  protected:
    // `clockSpeed`: the phone clock's speed for the programs (a new database pauses 3 phone seconds
    // for each table it creates, the broker starts reading after 2).
    explicit ProgramFixture(const std::string& clockSpeed = "50") {
        char tmpl[] = "/tmp/zentrova-it-XXXXXX";
        base = ::mkdtemp(tmpl);
        home = base / "home";
        env = {{"ZENTROVA_HOME", home.string()},
               {"QT_QPA_PLATFORM", "offscreen"},
               {"ZENTROVA_BOX_ANSWER", "no"},
               {"ZENTROVA_CLOCK_SPEED", clockSpeed},
               {"ZENTROVA_RESOURCES", test_skin::ResourcesWithSkin(base).string()}};
    }
    ~ProgramFixture() override {
        program.reset();
        // A runner the program handed its pending wake-ups to may still write into the home for
        // a moment; it ends once it sees the home gone. Removing again until nothing is left
        // waits for it, and never throws out of the destructor.
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::error_code error;
            std::filesystem::remove_all(base, error);
            if (!std::filesystem::exists(base, error)) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    // Starts zentrova and waits until it has started up.
    void startProgram() {
        program = std::make_unique<ChildProcess>(bin("zentrova"), std::vector<std::string>{}, env,
                                                 (base / "program.out").string());
        ASSERT_TRUE(WaitUntil([&] { return value("initiated") == "1"; }, std::chrono::seconds(30)))
            << program->output();
    }

    struct Result {
        int code;
        std::string out;
    };
    Result device(const std::vector<std::string>& args) {
        ChildProcess p(bin("zentrova-device"), args, env, (base / "device.out").string());
        int code = p.wait();
        return {code, p.output()};
    }
    // The value of a key=value line of a command's output; empty when missing or when it failed.
    std::string value(const std::string& key, const std::vector<std::string>& command = {"app"}) {
        Result r = device(command);
        if (r.code != 0) {
            return {};
        }
        const std::string& out = r.out;
        auto at = out.find(key + "=");
        while (at != std::string::npos && at > 0 && out[at - 1] != '\n') {
            at = out.find(key + "=", at + 1);
        }
        if (at == std::string::npos) {
            return {};
        }
        auto start = at + key.size() + 1;
        return out.substr(start, out.find('\n', start) - start);
    }
    bool running() { return device({"app"}).code == 0; }

    static size_t count(const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
            ++n;
        }
        return n;
    }
    static std::string bin(const std::string& name) { return std::string(ZENTROVA_BIN_DIR) + "/" + name; }

    std::filesystem::path base;
    std::filesystem::path home;
    std::map<std::string, std::string> env;
    std::unique_ptr<ChildProcess> program;
};

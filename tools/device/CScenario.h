#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/Services.h"

// A scenario file run against the phone and the program of a home: one step per line, words
// split as a shell does (single and double quotes, backslash), blank lines and lines starting
// with '#' ignored. A step is any zentrova-device command, or
//   wait DURATION                          until that much phone time has passed
//   expect log TEXT [within DURATION]      until the event log written since the scenario
//                                          started contains TEXT
//   expect app KEY=VALUE [within DURATION]     until the running program reports it ("app")
//   expect status KEY=VALUE [within DURATION]  until the phone reports it ("status")
// An expectation is bounded in phone time (2 minutes unless given) and, so that a slow or
// stopped clock cannot hold it, in real time as well. The run stops at the first failing step.
class CScenario {
  public:
    using RunCommand = std::function<int(const std::vector<std::string>&)>;

    struct Step {
        enum class Kind { Command, Wait, Expect };
        int line = 0;
        std::string text;  // the line as written, for the report
        Kind kind = Kind::Command;
        std::vector<std::string> words;
        int64_t ms = 0;    // wait: how long; expect: within how long
        std::string what;  // expect: "log", "app" or "status"
        std::string key;   // expect log: the text; app, status: the key
        std::string value;
    };

    static constexpr int64_t kDefaultWithinMs = 2 * 60 * 1000;
    static constexpr int kDefaultRealLimitSeconds = 60;

    // `run` carries out one zentrova-device command and gives its exit code.
    CScenario(platform::Services& services, RunCommand run);

    // scenario FILE [--real-limit SECONDS]
    int Run(const std::vector<std::string>& args);

    // Splits a line into words as a shell does. False, with the reason, for an open quote.
    static bool SplitWords(const std::string& line, std::vector<std::string>& words, std::string& why);
    // Reads a whole file's steps. False, with the line and the reason, at the first bad line.
    static bool Parse(const std::string& content, std::vector<Step>& steps, std::string& why);

  private:
    // The empty text when the step passed, else why it failed.
    std::string RunStep(const Step& step);
    std::string Expect(const Step& step);
    // The current value of a key in the program's "app" or the phone's "status" report, or
    // what stands in the way of reading it.
    bool ReportValue(const std::string& report, const std::string& key, std::string& value, std::string& why);
    std::filesystem::path EventLogPath();
    // The event log written since the scenario started, as UTF-8 text.
    std::string NewLogText();

    platform::Services& _services;
    RunCommand _run;
    int _realLimitSeconds = kDefaultRealLimitSeconds;
    uint64_t _logStart = 0;
};

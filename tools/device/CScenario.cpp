#include "tools/device/CScenario.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/CConfigurationZentrova.h"
#include "core/Utf16.h"
#include "platform/CControlClient.h"
#include "platform/CStdoutCapture.h"
#include "tools/device/CDeviceArgs.h"
#include "tools/device/CDeviceTool.h"

namespace {

// How often an expectation looks again, in real time.
constexpr auto kPollInterval = std::chrono::milliseconds(50);

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

CScenario::CScenario(platform::Services& services, RunCommand run)
    : _services(services), _run(std::move(run)) {}

bool CScenario::SplitWords(const std::string& line, std::vector<std::string>& words, std::string& why) {
    words.clear();
    std::string word;
    bool inWord = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (isBlank(c)) {
            if (inWord) {
                words.push_back(word);
                word.clear();
                inWord = false;
            }
        } else if (c == '#' && !inWord) {
            break;  // a comment to the end of the line
        } else if (c == '\'') {
            auto close = line.find('\'', i + 1);
            if (close == std::string::npos) {
                why = "a single quote is not closed";
                return false;
            }
            word += line.substr(i + 1, close - i - 1);
            inWord = true;
            i = close;
        } else if (c == '"') {
            inWord = true;
            for (++i;; ++i) {
                if (i >= line.size()) {
                    why = "a double quote is not closed";
                    return false;
                }
                if (line[i] == '"') {
                    break;
                }
                // Inside double quotes a backslash only escapes what would end or expand the text.
                if (line[i] == '\\' && i + 1 < line.size() &&
                    std::string("\"\\$`").find(line[i + 1]) != std::string::npos) {
                    ++i;
                }
                word += line[i];
            }
        } else if (c == '\\') {
            if (i + 1 >= line.size()) {
                why = "the line ends with a backslash";
                return false;
            }
            word += line[++i];
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(word);
    }
    return true;
}

bool CScenario::Parse(const std::string& content, std::vector<Step>& steps, std::string& why) {
    std::istringstream in(content);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        Step step;
        step.line = number;
        step.text = line.substr(
            line.find_first_not_of(" \t") == std::string::npos ? 0 : line.find_first_not_of(" \t"));
        std::string reason;
        if (!SplitWords(line, step.words, reason)) {
            why = "line " + std::to_string(number) + ": " + reason;
            return false;
        }
        const auto& w = step.words;
        if (w.empty()) {
            continue;
        }
        auto bad = [&](const std::string& text) {
            why = "line " + std::to_string(number) + ": " + text;
            return false;
        };
        if (w[0] == "wait") {
            if (w.size() != 2 || !CDeviceArgs::ParseDuration(w[1], step.ms)) {
                return bad("expected wait DURATION (such as 30s, 5m, 1h)");
            }
            step.kind = Step::Kind::Wait;
        } else if (w[0] == "expect") {
            step.kind = Step::Kind::Expect;
            step.ms = kDefaultWithinMs;
            size_t end = w.size();
            if (end >= 5 && w[end - 2] == "within") {
                if (!CDeviceArgs::ParseDuration(w[end - 1], step.ms)) {
                    return bad("not a duration after within: '" + w[end - 1] + "'");
                }
                end -= 2;
            }
            if (w.size() < 3 || (w[1] != "log" && w[1] != "app" && w[1] != "status")) {
                return bad("expected expect log TEXT, expect app KEY=VALUE or expect status KEY=VALUE");
            }
            step.what = w[1];
            if (step.what == "log") {
                for (size_t i = 2; i < end; ++i) {
                    step.key += (i > 2 ? " " : "") + w[i];
                }
                if (step.key.empty()) {
                    return bad("expect log needs a text");
                }
            } else {
                auto eq = end == 3 ? w[2].find('=') : std::string::npos;
                if (eq == std::string::npos || eq == 0) {
                    return bad("expected expect " + step.what + " KEY=VALUE [within DURATION]");
                }
                step.key = w[2].substr(0, eq);
                step.value = w[2].substr(eq + 1);
            }
        } else if (w[0] == "scenario") {
            return bad("a scenario cannot run another scenario");
        } else if (w[0] == "log" && w.size() > 1) {
            return bad("'log -f' never ends; use expect log TEXT");
        }
        steps.push_back(std::move(step));
    }
    return true;
}

int CScenario::Run(const std::vector<std::string>& args) {
    if (args.size() != 1 && !(args.size() == 3 && args[1] == "--real-limit")) {
        return CDeviceArgs::UsageError("scenario: expected scenario FILE [--real-limit SECONDS]");
    }
    if (args.size() == 3) {
        long long seconds = 0;
        if (!CDeviceArgs::ParseInt(args[2], 1, 86400, seconds)) {
            return CDeviceArgs::UsageError("scenario: --real-limit takes 1 to 86400 seconds, not '" +
                                           args[2] + "'");
        }
        _realLimitSeconds = static_cast<int>(seconds);
    }
    const std::string& file = args[0];
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return CDeviceArgs::Fail("scenario: cannot read " + file);
    }
    std::ostringstream content;
    content << in.rdbuf();
    std::vector<Step> steps;
    std::string why;
    if (!Parse(content.str(), steps, why)) {
        return CDeviceArgs::UsageError("scenario " + file + ", " + why);
    }
    std::error_code ec;
    auto size = std::filesystem::file_size(EventLogPath(), ec);
    _logStart = ec ? 0 : size / 2 * 2;
    for (const Step& step : steps) {
        std::printf("[%d] %s\n", step.line, step.text.c_str());
        std::fflush(stdout);
        std::string failure = RunStep(step);
        std::fflush(stdout);
        if (!failure.empty()) {
            return CDeviceArgs::Fail("scenario " + file + ", line " + std::to_string(step.line) + ": " +
                                     step.text + ": " + failure);
        }
    }
    std::printf("scenario %s: %zu steps passed\n", file.c_str(), steps.size());
    return CDeviceTool::kOk;
}

std::string CScenario::RunStep(const Step& step) {
    switch (step.kind) {
        case Step::Kind::Command: {
            int code = _run(step.words);
            if (code == CDeviceTool::kOk) {
                return {};
            }
            return "the command ended with exit code " + std::to_string(code) +
                   (code == CDeviceTool::kNotRunning ? " (no program running)" : "");
        }
        case Step::Kind::Wait: {
            // Phone time: with a fast clock this is quick.
            int64_t left = step.ms;
            while (left > 0) {
                auto chunk = static_cast<uint32_t>(std::min<int64_t>(left, 3'600'000));
                _services.clock().sleep(chunk);
                left -= chunk;
            }
            return {};
        }
        case Step::Kind::Expect:
            return Expect(step);
    }
    return "unknown step";
}

std::string CScenario::Expect(const Step& step) {
    platform::IClock& clock = _services.clock();
    uint32_t lastTick = clock.tickCount();
    int64_t phoneElapsed = 0;
    // The real-time ceiling is the one wait here measured on the machine's clock: it exists for
    // the case where the phone's clock does not advance as expected.
    const auto realStart = std::chrono::steady_clock::now();
    const auto realLimit = std::chrono::seconds(_realLimitSeconds);
    std::string seen;
    for (;;) {
        bool met = false;
        if (step.what == "log") {
            met = NewLogText().find(step.key) != std::string::npos;
        } else {
            std::string report;
            std::string value;
            std::string why;
            if (step.what == "app") {
                std::string reply;
                auto status = platform::CControlClient(_services.home()).request({"app"}, reply, 10'000);
                if (status == platform::CControlClient::Status::Ok) {
                    report = reply;
                } else {
                    why =
                        status == platform::CControlClient::Status::NotRunning ? "no program running" : reply;
                }
            } else {
                platform::CStdoutCapture capture;
                int code = _run({"status"});
                report = capture.text();
                if (code != CDeviceTool::kOk) {
                    why = "status ended with exit code " + std::to_string(code);
                }
            }
            if (why.empty() && ReportValue(report, step.key, value, why)) {
                met = value == step.value;
                seen = "last seen: " + step.key + "=" + value;
            } else {
                seen = "last seen: " + why;
            }
        }
        if (met) {
            return {};
        }
        uint32_t now = clock.tickCount();
        phoneElapsed += static_cast<uint32_t>(now - lastTick);  // a 32-bit tick count wraps
        lastTick = now;
        std::string tail = seen.empty() ? "" : " (" + seen + ")";
        if (phoneElapsed >= step.ms) {
            return "not seen within " + CDeviceArgs::FormatDuration(step.ms) + " of phone time" + tail;
        }
        if (std::chrono::steady_clock::now() - realStart >= realLimit) {
            return "not seen after " + std::to_string(_realLimitSeconds) +
                   " s of real time, in which the phone clock advanced only " +
                   CDeviceArgs::FormatDuration(phoneElapsed / 1000 * 1000) + tail;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

bool CScenario::ReportValue(const std::string& report, const std::string& key, std::string& value,
                            std::string& why) {
    std::istringstream lines(report);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.size() > key.size() && line.compare(0, key.size(), key) == 0 && line[key.size()] == '=') {
            value = line.substr(key.size() + 1);
            return true;
        }
    }
    why = "no " + key + " in the report";
    return false;
}

std::filesystem::path CScenario::EventLogPath() {
    std::string path;
    if (_services.registry().getString(platform::RegRoot::LocalMachine, CConfigurationZentrova::kKeyPath,
                                       "events_log_path", path) != platform::ERROR_SUCCESS ||
        path.empty()) {
        return _services.home().programDir() / "log.txt";
    }
    return path;
}

std::string CScenario::NewLogText() {
    std::ifstream in(EventLogPath(), std::ios::binary | std::ios::ate);
    if (!in) {
        return {};
    }
    auto size = static_cast<uint64_t>(in.tellg());
    // A log that is shorter than at the start was emptied or moved aside: all of it is new.
    in.seekg(static_cast<std::streamoff>(size >= _logStart ? _logStart : 0));
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::string raw = bytes.str();
    raw.resize(raw.size() / 2 * 2);  // a character being written is read next time
    std::string text;
    for (char c : Utf16LeToUtf8(raw)) {
        if (c != '\r') {
            text += c;
        }
    }
    return text;
}

#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// A program started by a test, with extra environment variables and its output in a file. It is
// stopped (SIGTERM, then SIGKILL) when the object goes away.
class ChildProcess {
  public:
    ChildProcess(const std::string& exe, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env, const std::filesystem::path& output) {
        _output = output;
        _pid = ::fork();
        if (_pid == 0) {
            for (const auto& [k, v] : env) {
                ::setenv(k.c_str(), v.c_str(), 1);
            }
            int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(fd, 1);
            ::dup2(fd, 2);
            int null = ::open("/dev/null", O_RDONLY);
            ::dup2(null, 0);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(exe.c_str()));
            for (const auto& a : args) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            ::execv(exe.c_str(), argv.data());
            ::_exit(127);
        }
    }
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits for the exit; returns the exit code, or -1 when it did not end in time.
    int wait(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (_pid > 0) {
            int status = 0;
            pid_t r = ::waitpid(_pid, &status, WNOHANG);
            if (r == _pid) {
                _pid = -1;
                _code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (std::chrono::steady_clock::now() > end) {
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return _code;
    }

    bool running() { return _pid > 0 && ::waitpid(_pid, nullptr, WNOHANG) == 0; }

    int stop() {
        if (_pid > 0) {
            ::kill(_pid, SIGTERM);
            if (wait(std::chrono::seconds(10)) < 0) {
                ::kill(_pid, SIGKILL);
                wait();
            }
        }
        return _code;
    }

    std::string output() const {
        std::ifstream in(_output);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    pid_t pid() const { return _pid; }

  private:
    pid_t _pid = -1;
    int _code = -1;
    std::filesystem::path _output;
};

// Polls `condition` every 20 ms for at most `limit`.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

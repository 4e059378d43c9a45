#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "tools/device/CProfileCommands.h"

// zentrova-device: drives and inspects the simulated phone of a home and the program running on
// it. Commands that work on files run here whether or not the program runs; every other command
// is handed to the running program over its control socket.
class CDeviceTool {
  public:
    enum Exit { kOk = 0, kFailed = 1, kUsage = 2, kNotRunning = 3 };

    // `backend` names the backend the services come from ("sim" or "linux"): status reports it,
    // and reads the simulated phone's files only on "sim".
    explicit CDeviceTool(platform::Services& services, std::string backend = "sim");

    int Run(const std::vector<std::string>& words);
    static void Usage(FILE* out);

  private:
    using Command = std::function<int(const std::vector<std::string>&)>;

    int status(const std::vector<std::string>& args);
    int reg(const std::vector<std::string>& args);
    int clock(const std::vector<std::string>& args);
    int notifications(const std::vector<std::string>& args);
    int log(const std::vector<std::string>& args);
    int db(const std::vector<std::string>& args);
    int outbox(const std::vector<std::string>& args);
    // The phone's data connections: through the running program when there is one (so that it
    // hears of the change), else on the phone's files.
    int connection(const std::vector<std::string>& args);
    int forward(const std::vector<std::string>& words);

    // status on a backend other than the simulated phone: the state values its services keep.
    int realStatus();

    platform::Services& _services;
    std::string _backend;
    std::map<std::string, Command> _local;
    CProfileCommands _profiles;
};

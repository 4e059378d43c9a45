#pragma once

#include <string>
#include <vector>

#include "platform/CHome.h"

namespace platform {

// Sends one request to the running program of a home over its control socket.
class CControlClient {
  public:
    enum class Status { Ok, Refused, NotRunning, Failed };

    explicit CControlClient(CHome home);

    // Whether a program of this home answers on its control socket.
    bool isRunning() const;

    // `reply` receives the answer text, or the reason of a refusal or failure.
    Status request(const std::vector<std::string>& words, std::string& reply, int timeoutMs = 30000) const;

  private:
    CHome _home;
};

}  // namespace platform

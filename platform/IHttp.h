#pragma once

#include <string>

namespace platform {

// HTTP GET requests: the update check, the connectivity probe and the location upload. Real on
// every backend: the request goes over the network to whatever server the address names.
class IHttp {
  public:
    struct Reply {
        // The request reached a server and an answer came back (any status).
        bool answered = false;
        // The HTTP status of the answer; 0 when none came.
        long status = 0;
        // At most `maxBody` bytes of the answer's body.
        std::string body;
        // Why no answer came (refused, unreachable, time-out, bad address); empty when one did.
        std::string problem;
    };

    virtual ~IHttp() = default;

    // Sends a GET for `url` with `userAgent` and waits at most `timeoutMs` for the whole
    // exchange. Reads at most `maxBody` bytes of the body (0: the body is not read). Never throws
    // for a network fault: the reply says what happened.
    virtual Reply get(const std::string& url, const std::string& userAgent, long timeoutMs,
                      size_t maxBody) = 0;
};

}  // namespace platform

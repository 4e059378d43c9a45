#pragma once

#include "platform/IHttp.h"

namespace platform {

// HTTP GET through libcurl: redirects are not followed, certificates are verified, and the
// time-out bounds the whole exchange (connection included).
class CCurlHttp : public IHttp {
  public:
    Reply get(const std::string& url, const std::string& userAgent, long timeoutMs, size_t maxBody) override;
};

}  // namespace platform

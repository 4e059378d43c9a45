#include "platform/CCurlHttp.h"

#include <memory>

#include "platform/CCurlLibrary.h"

namespace platform {

namespace {

struct Sink {
    std::string* body;
    size_t max;
};

size_t writeBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    size_t bytes = size * count;
    size_t room = sink->max > sink->body->size() ? sink->max - sink->body->size() : 0;
    sink->body->append(data, bytes < room ? bytes : room);
    // Taking every byte keeps the transfer going; what is past the limit is dropped.
    return bytes;
}

}  // namespace

IHttp::Reply CCurlHttp::get(const std::string& url, const std::string& userAgent, long timeoutMs,
                            size_t maxBody) {
    Reply reply;
    const CCurlLibrary* lib = CCurlLibrary::Get(reply.problem);
    if (!lib) {
        return reply;
    }
    std::unique_ptr<CURL, decltype(lib->easy_cleanup)> curl(lib->easy_init(), lib->easy_cleanup);
    if (!curl) {
        reply.problem = "the HTTP client could not be created";
        return reply;
    }
    Sink sink{&reply.body, maxBody};
    char error[CURL_ERROR_SIZE] = {};
    lib->easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    lib->easy_setopt(curl.get(), CURLOPT_PROTOCOLS_STR, "http,https");
    lib->easy_setopt(curl.get(), CURLOPT_HTTPGET, 1L);
    lib->easy_setopt(curl.get(), CURLOPT_USERAGENT, userAgent.c_str());
    lib->easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, timeoutMs > 0 ? timeoutMs : 1L);
    lib->easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    lib->easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, writeBody);
    lib->easy_setopt(curl.get(), CURLOPT_WRITEDATA, &sink);
    lib->easy_setopt(curl.get(), CURLOPT_ERRORBUFFER, error);
    CURLcode code = lib->easy_perform(curl.get());
    long status = 0;
    lib->easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    reply.status = status;
    reply.answered = status != 0;
    if (code != CURLE_OK && !reply.answered) {
        reply.problem = error[0] != '\0' ? error : lib->easy_strerror(code);
    } else if (code != CURLE_OK) {
        // An answer began but the exchange did not end well (time-out in the body, cut stream).
        reply.problem = error[0] != '\0' ? error : lib->easy_strerror(code);
    }
    return reply;
}

}  // namespace platform

#include "platform/CCurlHttp.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace platform {

namespace {

void initCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

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

IHttp::Reply CCurlHttp::get(const std::string& url, const std::string& userAgent, long timeoutMs, size_t maxBody) {
    initCurl();
    Reply reply;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) {
        reply.problem = "the HTTP client could not be created";
        return reply;
    }
    Sink sink{&reply.body, maxBody};
    char error[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl.get(), CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_USERAGENT, userAgent.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, timeoutMs > 0 ? timeoutMs : 1L);
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl.get(), CURLOPT_ERRORBUFFER, error);
    CURLcode code = curl_easy_perform(curl.get());
    long status = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    reply.status = status;
    reply.answered = status != 0;
    if (code != CURLE_OK && !reply.answered) {
        reply.problem = error[0] != '\0' ? error : curl_easy_strerror(code);
    } else if (code != CURLE_OK) {
        // An answer began but the exchange did not end well (time-out in the body, cut stream).
        reply.problem = error[0] != '\0' ? error : curl_easy_strerror(code);
    }
    return reply;
}

}  // namespace platform

#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>

namespace platform {

// libcurl, opened with dlopen when it is first needed rather than linked: with it the program
// would load about thirty more shared libraries (TLS, Kerberos, LDAP, SSH, IDN, ...) at every
// start, though most runs never send an HTTP request or a mail. Holds the handle and the few
// functions the HTTP client and the mail sender call; the library stays mapped for the life of
// the process (RTLD_NODELETE), so that a transfer abandoned on a worker thread never runs
// unmapped code.
class CCurlLibrary {
  public:
    static constexpr const char* kFileName = "libcurl.so.4";

    // The process's library, loaded and set up (curl_global_init) on the first call; null, with
    // `problem` telling why, when it cannot be loaded. A failure is not kept: a later call tries
    // again.
    static const CCurlLibrary* Get(std::string& problem);

    // Opens `fileName` and looks up every function below; IsLoaded() tells whether all were found.
    explicit CCurlLibrary(const char* fileName);
    CCurlLibrary(const CCurlLibrary&) = delete;
    CCurlLibrary& operator=(const CCurlLibrary&) = delete;

    bool IsLoaded() const { return _handle != nullptr; }
    // Why loading failed: the loader's message, or the function that is missing.
    const std::string& GetError() const { return _error; }

    decltype(&curl_global_init) global_init = nullptr;
    decltype(&curl_easy_init) easy_init = nullptr;
    decltype(&curl_easy_setopt) easy_setopt = nullptr;
    decltype(&curl_easy_perform) easy_perform = nullptr;
    decltype(&curl_easy_getinfo) easy_getinfo = nullptr;
    decltype(&curl_easy_strerror) easy_strerror = nullptr;
    decltype(&curl_easy_cleanup) easy_cleanup = nullptr;
    decltype(&curl_slist_append) slist_append = nullptr;
    decltype(&curl_slist_free_all) slist_free_all = nullptr;

  private:
    struct Closer {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, Closer> _handle;
    std::string _error;
};

}  // namespace platform

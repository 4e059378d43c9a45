#include "platform/CCurlLibrary.h"

#include <dlfcn.h>

#include <mutex>
#include <type_traits>

namespace platform {

void CCurlLibrary::Closer::operator()(void* handle) const {
    ::dlclose(handle);
}

CCurlLibrary::CCurlLibrary(const char* fileName) {
    std::unique_ptr<void, Closer> handle(::dlopen(fileName, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE));
    if (!handle) {
        const char* error = ::dlerror();
        _error = error ? error : std::string("cannot load ") + fileName;
        return;
    }
    bool complete = true;
    auto find = [&](auto& function, const char* name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(::dlsym(handle.get(), name));
        if (!function && complete) {
            complete = false;
            _error = std::string(fileName) + " has no function " + name;
        }
    };
    find(global_init, "curl_global_init");
    find(easy_init, "curl_easy_init");
    find(easy_setopt, "curl_easy_setopt");
    find(easy_perform, "curl_easy_perform");
    find(easy_getinfo, "curl_easy_getinfo");
    find(easy_strerror, "curl_easy_strerror");
    find(easy_cleanup, "curl_easy_cleanup");
    find(slist_append, "curl_slist_append");
    find(slist_free_all, "curl_slist_free_all");
    if (complete) {
        _handle = std::move(handle);
    }
}

const CCurlLibrary* CCurlLibrary::Get(std::string& problem) {
    static std::mutex lock;
    static std::unique_ptr<CCurlLibrary> library;
    std::lock_guard guard(lock);
    if (!library) {
        auto loaded = std::make_unique<CCurlLibrary>(kFileName);
        if (!loaded->IsLoaded()) {
            problem = "the HTTP and mail library could not be loaded: " + loaded->GetError();
            return nullptr;
        }
        const CURLcode code = loaded->global_init(CURL_GLOBAL_DEFAULT);
        if (code != CURLE_OK) {
            problem =
                std::string("the HTTP and mail library could not start: ") + loaded->easy_strerror(code);
            return nullptr;
        }
        library = std::move(loaded);
    }
    return library.get();
}

}  // namespace platform

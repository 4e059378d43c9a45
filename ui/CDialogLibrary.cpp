#include "ui/CDialogLibrary.h"

#include <dlfcn.h>

#include <filesystem>
#include <mutex>

namespace {

std::mutex g_pathLock;
std::string g_testPath;

std::string besideThisLibrary() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&besideThisLibrary), &info) && info.dli_fname) {
        return (std::filesystem::path(info.dli_fname).parent_path() / CDialogLibrary::kFileName).string();
    }
    return {};
}

}  // namespace

void CDialogLibrary::SetPathForTests(const std::string& path) {
    std::lock_guard lock(g_pathLock);
    g_testPath = path;
}

CDialogLibrary::CDialogLibrary() {
    std::string path;
    {
        std::lock_guard lock(g_pathLock);
        path = g_testPath;
    }
    if (path.empty()) {
        std::string beside = besideThisLibrary();
        std::error_code ec;
        path = !beside.empty() && std::filesystem::exists(beside, ec) ? beside : kFileName;
    }
    _handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!_handle) {
        const char* error = ::dlerror();
        _error = error ? error : path;
    }
}

CDialogLibrary::~CDialogLibrary() {
    if (_handle) {
        ::dlclose(_handle);
    }
}

void* CDialogLibrary::Find(const char* name) const {
    if (!_handle) {
        return nullptr;
    }
    ::dlerror();
    void* symbol = ::dlsym(_handle, name);
    if (!symbol) {
        const char* error = ::dlerror();
        _error = error ? error : name;
    }
    return symbol;
}

#include "core/DeviceId.h"

#include <sodium.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <mutex>

#include "core/DebugTrace.h"
#include "platform/Services.h"

namespace {

std::mutex g_lock;

bool valid(const std::string& id) {
    if (id.size() != 32) {
        return false;
    }
    for (char c : id) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string GetDeviceId() {
    std::lock_guard lock(g_lock);
    std::filesystem::path file = platform::Services::get().home().phoneDir() / "device_id";
    std::string id;
    if (std::ifstream in(file); in && std::getline(in, id) && valid(id)) {
        return id;
    }
    if (sodium_init() < 0) {
        return {};
    }
    uint8_t raw[16];
    randombytes_buf(raw, sizeof raw);
    static constexpr char kHex[] = "0123456789ABCDEF";
    id.clear();
    for (uint8_t b : raw) {
        id += kHex[b >> 4];
        id += kHex[b & 15];
    }
    std::filesystem::path tmp = file;
    tmp += ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(tmp, std::ios::trunc);
        out << id << '\n';
        if (!out.flush()) {
            LogFormateado(1, "%s: cannot write the device identifier", file.string());
            return {};
        }
    }
    // link() keeps the identifier of whichever process made one first.
    bool linked = ::link(tmp.c_str(), file.c_str()) == 0;
    ::unlink(tmp.c_str());
    if (linked) {
        return id;
    }
    std::string stored;
    if (std::ifstream in(file); in && std::getline(in, stored) && valid(stored)) {
        return stored;
    }
    // A damaged file: replace it.
    std::ofstream out(file, std::ios::trunc);
    out << id << '\n';
    return out.flush() ? id : std::string();
}

#include "core/PinCipher.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "core/DebugTrace.h"
#include "platform/Services.h"

namespace {

using Key = std::array<uint8_t, crypto_secretbox_KEYBYTES>;

std::mutex g_keyLock;

bool fail(std::string* error, const std::string& why) {
    LogFormateado(1, "PIN cipher: %s", why);
    if (error) {
        *error = why;
    }
    return false;
}

class Fd {
  public:
    explicit Fd(int fd) : _fd(fd) {}
    ~Fd() {
        if (_fd >= 0) {
            ::close(_fd);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return _fd; }

  private:
    int _fd;
};

bool readKey(const std::filesystem::path& file, Key& key, std::string* error) {
    Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        return fail(error, file.string() + ": cannot read the PIN key: " + std::strerror(errno));
    }
    ssize_t n = ::read(fd.get(), key.data(), key.size());
    uint8_t extra = 0;
    if (n != static_cast<ssize_t>(key.size()) || ::read(fd.get(), &extra, 1) != 0) {
        return fail(error, file.string() + ": the PIN key file is damaged (it must hold exactly " +
                               std::to_string(key.size()) + " bytes)");
    }
    return true;
}

// Reads the key, making it first when the installation has none yet.
bool loadKey(bool create, Key& key, std::string* error) {
    std::lock_guard lock(g_keyLock);
    std::filesystem::path file = PinKeyFile();
    if (!std::filesystem::exists(file)) {
        if (!create) {
            return fail(error, file.string() + ": no PIN key: nothing was enciphered in this installation");
        }
        Key fresh;
        randombytes_buf(fresh.data(), fresh.size());
        std::filesystem::path tmp = file;
        tmp += ".tmp" + std::to_string(::getpid());
        {
            Fd fd(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
            if (fd.get() < 0 ||
                ::write(fd.get(), fresh.data(), fresh.size()) != static_cast<ssize_t>(fresh.size()) ||
                ::fsync(fd.get()) != 0) {
                return fail(error, file.string() + ": cannot write the PIN key: " + std::strerror(errno));
            }
        }
        // link() fails when another process made its key first: then that key is the one.
        if (::link(tmp.c_str(), file.c_str()) != 0 && errno != EEXIST) {
            std::string why = std::strerror(errno);
            ::unlink(tmp.c_str());
            return fail(error, file.string() + ": cannot write the PIN key: " + why);
        }
        ::unlink(tmp.c_str());
    }
    return readKey(file, key, error);
}

}  // namespace

std::filesystem::path PinKeyFile() {
    return platform::Services::get().home().root() / "pin.key";
}

bool Encriptar(const std::string& text, std::vector<uint8_t>& sealed, std::string* error) {
    if (sodium_init() < 0) {
        return fail(error, "the cipher library cannot start");
    }
    Key key;
    if (!loadKey(true, key, error)) {
        return false;
    }
    sealed.assign(crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES + text.size(), 0);
    randombytes_buf(sealed.data(), crypto_secretbox_NONCEBYTES);
    crypto_secretbox_easy(sealed.data() + crypto_secretbox_NONCEBYTES,
                          reinterpret_cast<const uint8_t*>(text.data()), text.size(), sealed.data(),
                          key.data());
    sodium_memzero(key.data(), key.size());
    return true;
}

bool Desencriptar(const std::vector<uint8_t>& sealed, std::string& text, std::string* error) {
    if (sodium_init() < 0) {
        return fail(error, "the cipher library cannot start");
    }
    if (sealed.size() < crypto_secretbox_NONCEBYTES + crypto_secretbox_MACBYTES) {
        return fail(error, "the enciphered PIN is too short to be one");
    }
    Key key;
    if (!loadKey(false, key, error)) {
        return false;
    }
    std::string plain(sealed.size() - crypto_secretbox_NONCEBYTES - crypto_secretbox_MACBYTES, '\0');
    int rc = crypto_secretbox_open_easy(
        reinterpret_cast<uint8_t*>(plain.data()), sealed.data() + crypto_secretbox_NONCEBYTES,
        sealed.size() - crypto_secretbox_NONCEBYTES, sealed.data(), key.data());
    sodium_memzero(key.data(), key.size());
    if (rc != 0) {
        return fail(error, "the enciphered PIN was altered or sealed with another installation's key (" +
                               PinKeyFile().string() + ")");
    }
    text = std::move(plain);
    return true;
}

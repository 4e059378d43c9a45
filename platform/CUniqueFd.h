#pragma once

#include <unistd.h>

#include <utility>

namespace platform {

// Owns a file descriptor and closes it when it goes.
class CUniqueFd {
  public:
    CUniqueFd() = default;
    explicit CUniqueFd(int fd) : _fd(fd) {}
    ~CUniqueFd() { reset(); }
    CUniqueFd(CUniqueFd&& other) noexcept : _fd(std::exchange(other._fd, -1)) {}
    CUniqueFd& operator=(CUniqueFd&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other._fd, -1));
        }
        return *this;
    }
    CUniqueFd(const CUniqueFd&) = delete;
    CUniqueFd& operator=(const CUniqueFd&) = delete;

    int get() const { return _fd; }
    bool valid() const { return _fd >= 0; }
    void reset(int fd = -1) {
        if (_fd >= 0) {
            ::close(_fd);
        }
        _fd = fd;
    }

  private:
    int _fd = -1;
};

}  // namespace platform

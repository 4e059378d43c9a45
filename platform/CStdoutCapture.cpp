#include "platform/CStdoutCapture.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/PlatformError.h"

namespace platform {

CStdoutCapture::CStdoutCapture() {
    std::fflush(stdout);
    _file = std::tmpfile();
    if (!_file) {
        throw PlatformError(std::string("cannot create a file for the output: ") + std::strerror(errno));
    }
    _saved = ::dup(STDOUT_FILENO);
    if (_saved < 0 || ::dup2(::fileno(_file), STDOUT_FILENO) < 0) {
        int err = errno;
        if (_saved >= 0) {
            ::close(_saved);
        }
        std::fclose(_file);
        throw PlatformError(std::string("cannot redirect the output: ") + std::strerror(err));
    }
}

CStdoutCapture::~CStdoutCapture() {
    std::fflush(stdout);
    ::dup2(_saved, STDOUT_FILENO);
    ::close(_saved);
    std::fclose(_file);
}

std::string CStdoutCapture::text() {
    std::fflush(stdout);
    std::string out;
    char buf[4096];
    std::rewind(_file);
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, _file)) > 0) {
        out.append(buf, n);
    }
    // The descriptor shares the file's offset: leave it at the end so that later output is added.
    std::fseek(_file, 0, SEEK_END);
    return out;
}

}  // namespace platform

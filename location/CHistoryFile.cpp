#include "location/CHistoryFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/DebugTrace.h"

CHistoryFile::CHistoryFile(std::filesystem::path path) : _path(std::move(path)) {}

CHistoryFile::~CHistoryFile() {
    Close();
}

void CHistoryFile::Open() {
    Close();
    _fd = ::open(_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (_fd < 0) {
        LogFormateado(1, "%s: cannot open: %s", _path.c_str(), std::strerror(errno));
        _size = 0;
        return;
    }
    off_t end = ::lseek(_fd, 0, SEEK_END);
    _size = end < 0 ? 0 : static_cast<long>(end);
}

void CHistoryFile::Close() {
    if (_fd >= 0) {
        ::fsync(_fd);
        ::close(_fd);
        _fd = -1;
    }
}

void CHistoryFile::Restart() {
    Close();
    _fd = ::open(_path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    _size = 0;
}

bool CHistoryFile::Append(const std::string& bytes) {
    if (_fd < 0) {
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(_fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
        _size += static_cast<long>(n);
    }
    return true;
}

bool CHistoryFile::MoveToBackup() {
    Close();
    std::filesystem::path backup = _path;
    backup.replace_extension(".bak");
    std::error_code ec;
    std::filesystem::rename(_path, backup, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) {
        // Emptying the file now would lose the history the user wanted kept as the copy.
        LogFormateado(1, "%s: cannot keep as %s: %s", _path.c_str(), backup.c_str(), ec.message().c_str());
        Open();
        return false;
    }
    Restart();
    return true;
}

#include "platform/ControlProtocol.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <cstddef>
#include <cstring>

namespace platform::control {

std::string encode(const std::vector<std::string>& words) {
    std::string line;
    for (size_t i = 0; i < words.size(); ++i) {
        if (i) {
            line += kSeparator;
        }
        line += words[i];
    }
    line += '\n';
    return line;
}

std::string unknownVerbReply(const std::string& verb) {
    return "the running program does not know the command '" + verb + "'";
}

std::vector<std::string> decode(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    for (char c : line) {
        if (c == kSeparator) {
            words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    words.push_back(word);
    return words;
}

bool socketAddress(const std::string& path, void* addr, unsigned& length) {
    auto* un = static_cast<sockaddr_un*>(addr);
    std::memset(un, 0, sizeof *un);
    un->sun_family = AF_UNIX;
    if (path.size() >= sizeof un->sun_path) {
        return false;
    }
    std::memcpy(un->sun_path, path.c_str(), path.size());
    length = static_cast<unsigned>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return true;
}

}  // namespace platform::control

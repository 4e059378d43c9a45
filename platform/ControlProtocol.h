#pragma once

#include <string>
#include <vector>

// Wire form of control requests: the words joined by the unit separator and ended by a newline;
// the reply is "OK\n" or "ERR\n" followed by the text, up to the end of the connection.
namespace platform::control {

inline constexpr char kSeparator = '\x1f';
inline constexpr size_t kMaxRequest = 64 * 1024;

std::string encode(const std::vector<std::string>& words);
std::vector<std::string> decode(const std::string& line);
// The refusal text of a verb the running program has no handler for, so that a client can tell
// "not known (yet)" from a refusal by the handler.
std::string unknownVerbReply(const std::string& verb);
// The start of a refusal that names wrong arguments rather than a failure of the request.
inline constexpr const char* kBadArguments = "bad arguments: ";
// Fills a sockaddr_un for the path; false when the path is too long for one.
bool socketAddress(const std::string& path, void* addr, unsigned& length);

}  // namespace platform::control

#pragma once

#include <string>

#include "core/SafeFormat.h"
#include "core/TextBuffer.h"

// Base of the exceptions the data store, the configuration store and a few constructors throw.
// Thrown by value, caught by reference; catchers read GetMessageW or call ShowErrorBox.
class CBaseException {
  public:
    // Formatted messages are cut to a buffer of this many characters.
    static constexpr size_t kMessageBuffer = 200;

    CBaseException() = default;
    // A printf-style format and at least one argument.
    template <typename A, typename... Args>
    CBaseException(const char* format, const A& first, const Args&... rest)
        : _message(FitBuffer(SafeSprintf(format, first, rest...), kMessageBuffer)) {}
    // The message as it stands.
    explicit CBaseException(std::string message) : _message(std::move(message)) {}
    explicit CBaseException(const char* message) : _message(message ? message : "") {}
    CBaseException(const CBaseException&) = default;
    CBaseException& operator=(const CBaseException&) = default;
    virtual ~CBaseException() = default;

    // Shows "Error:" followed by the message in an error box.
    virtual void ShowErrorBox() const;

    std::string GetMessageW() const { return _message; }

  private:
    std::string _message;
};

#pragma once

#include <string>

#include "platform/ErrorCodes.h"

namespace platform {

// The phone's shell: opening a file with the program registered for it, and the sound settings
// that the shell keeps for the ring tone.
class IShell {
  public:
    virtual ~IShell() = default;
    // Opens `file` (a path) with the shell verb `verb` ("Open"), without waiting for the program
    // that opens it. ERROR_FILE_NOT_FOUND for a file that does not exist, ERROR_NOT_SUPPORTED for a
    // verb the shell does not know.
    virtual Result openFile(const std::string& verb, const std::string& file) = 0;
    // Makes the sound file `soundFile` the ring tone of line 1, with no display name of its own.
    // ERROR_FILE_NOT_FOUND for a file that does not exist.
    virtual Result setRingTone(const std::string& soundFile) = 0;
};

}  // namespace platform

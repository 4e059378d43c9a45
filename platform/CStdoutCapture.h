#pragma once

#include <cstdio>
#include <string>

namespace platform {

// Collects what the process writes to its standard output while the object lives (both through
// stdio and directly to the descriptor) instead of letting it through, so that a command that
// prints its report can be read back by the caller. The output goes back to where it was when
// the object goes away. Only for single-threaded callers: another thread's output in the
// meantime is collected too.
class CStdoutCapture {
  public:
    // Throws PlatformError when the output cannot be redirected.
    CStdoutCapture();
    ~CStdoutCapture();
    CStdoutCapture(const CStdoutCapture&) = delete;
    CStdoutCapture& operator=(const CStdoutCapture&) = delete;

    // Everything written so far.
    std::string text();

  private:
    int _saved = -1;
    std::FILE* _file = nullptr;
};

}  // namespace platform

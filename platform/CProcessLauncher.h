#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace platform {

// Starts programs that live on their own: the started process is not a child of the caller (no
// zombie is left, it goes on when the caller ends), reads its standard input from /dev/null,
// shares the caller's environment, standard output and standard error, and inherits no other
// open file.
class CProcessLauncher {
  public:
    // Starts `exe` with `args` (argv[0] is `exe` itself). Returns whether the program could be
    // executed; a file that is missing or not executable gives false.
    static bool startDetached(const std::filesystem::path& exe, const std::vector<std::string>& args);

    // The running program's own executable; empty when it cannot be found.
    static std::filesystem::path selfExecutable();
};

}  // namespace platform

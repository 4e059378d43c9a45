#include "core/ProgramFolder.h"

#include "platform/Services.h"

std::string GetCurrentDirectory() {
    return platform::Services::get().home().programDir().string();
}

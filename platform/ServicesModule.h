#pragma once

#include <cstddef>

namespace platform {

class Services;

// The one C entry a backend module (libZentrovaLinux.so) exports: builds the backend's services
// for `home`, `role` 0 for the program, 1 for a tool. The caller owns the returned object. On
// failure it returns null and writes the reason, cut to `errorSize` bytes with its zero, to `error`.
using CreateServicesFunction = Services* (*)(const char* home, int role, char* error, size_t errorSize);
inline constexpr const char* kCreateServicesSymbol = "zentrova_create_services";

}  // namespace platform

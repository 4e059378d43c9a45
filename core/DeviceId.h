#pragma once

#include <string>

// The identifier of this device, sent with location uploads: 32 upper-case hexadecimal digits made
// at random on first use and kept in the home folder, so it stays the same for an installation.
// Returns an empty text when it can neither be read nor made.
std::string GetDeviceId();

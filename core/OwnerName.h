#pragma once

#include <cstddef>
#include <string>

// The phone owner's name, as the phone's settings keep it: HKEY_CURRENT_USER "ControlPanel\Owner"
// value "Owner", a text or the owner record (UTF-16, the name first, up to its terminator). Fits
// `name` into a buffer of `bufferChars` characters. False when the value cannot be read.
bool ReadOwnerName(size_t bufferChars, std::string& name);

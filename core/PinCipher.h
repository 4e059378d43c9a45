#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Turns PIN texts into the bytes kept in the settings and back. The bytes are sealed with a key
// made at random for each installation and kept in the home folder (readable by the user only),
// so a copied settings file does not give the PINs away and altered bytes are refused.
// On failure both return false and, when `error` is given, a text naming the problem (and the
// key file when it is the cause).
bool Encriptar(const std::string& text, std::vector<uint8_t>& sealed, std::string* error = nullptr);
bool Desencriptar(const std::vector<uint8_t>& sealed, std::string& text, std::string* error = nullptr);

// The key file of the current home.
std::filesystem::path PinKeyFile();

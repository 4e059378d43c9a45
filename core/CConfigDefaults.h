#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The value every setting has after installation. This is the only place defaults live: the
// code that reads a setting never supplies one of its own.
class CConfigDefaults {
  public:
    enum class Type { Number, Text, Binary };

    struct Entry {
        const char* name;
        Type type;
        uint32_t number;
        const char* text;
    };

    static const std::vector<Entry>& All();
    static const Entry* Find(const std::string& name);
};

#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Reads a battery or current history file back: the program's own files (UTF-16LE without a
// mark, "YYYY-MM-DD hh:mm:ss 085%" or "... -120mA" / "... +005mA" lines) or a copy exported as
// UTF-8. Files may come from outside (an exported or edited copy), so every line is checked and a
// line that is not exactly a history line is refused and counted, never half-read.
class CHistoryReader {
  public:
    enum class Kind { Battery, Current };

    struct Sample {
        // Seconds since 1601-01-01 00:00 of the local calendar.
        int64_t seconds = 0;
        // Percent (battery) or milliamperes (current).
        int value = 0;
        bool operator==(const Sample&) const = default;
    };

    struct Result {
        // The file could be opened and read.
        bool opened = false;
        // The accepted lines, in file order.
        std::vector<Sample> samples;
        // Lines that were not history lines (empty lines are not counted).
        int refused = 0;
    };

    // The longest line accepted, in characters, and the most bytes read from one file.
    static constexpr size_t kMaxLineChars = 999;
    static constexpr uintmax_t kMaxFileBytes = 32u * 1024u * 1024u;

    static Result Read(const std::filesystem::path& file, Kind kind);
    // Reads text already in memory (UTF-16LE with or without its mark, or UTF-8).
    static Result ReadText(std::string_view bytes, Kind kind);
    // One line without its line break; false when it is not a history line of `kind`.
    static bool ParseLine(std::string_view line, Kind kind, Sample& sample);
    // The line of a sample as the history writes it, without the line break.
    static std::string FormatLine(const Sample& sample, Kind kind);
};

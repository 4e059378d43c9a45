#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>

namespace fs = std::filesystem;

// The help texts shipped with the program: the help window opens <language>_<page>.txt from the
// traductions folder. They are read on a 240-pixel-wide screen, so no line may pass 40 characters.
namespace {

const fs::path kShipped = fs::path(ZENTROVA_SOURCE_DIR) / "resources" / "traductions";
constexpr size_t kMaxLineCharacters = 40;

// The number of characters of a UTF-8 text, or npos when it is not well-formed UTF-8 (a stray
// continuation byte, a cut sequence, an overlong form, a surrogate or a value above U+10FFFF).
size_t Utf8Characters(std::string_view text) {
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++characters) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = lead < 0x80                    ? 1
                        : lead >= 0xC2 && lead <= 0xDF ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
        if (length == 0 || i + length > text.size()) {
            return std::string::npos;
        }
        unsigned value = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return std::string::npos;
            }
            value = value << 6 | (next & 0x3F);
        }
        if ((length == 3 && (value < 0x800 || (value >= 0xD800 && value <= 0xDFFF))) ||
            (length == 4 && (value < 0x10000 || value > 0x10FFFF))) {
            return std::string::npos;
        }
        i += length;
    }
    return characters;
}

TEST(HelpTextsTest, Utf8CheckCountsCharactersAndRefusesMalformedText) {
    struct Row {
        std::string text;
        size_t characters;
    };
    const size_t bad = std::string::npos;
    const Row rows[] = {
        {"", 0},
        {"Ayuda", 5},
        {"Añadir ubicación", 16},
        {"¿Durante cuánto tiempo? €", 25},
        {"\xF0\x9F\x93\xB1", 1},    // a character outside the basic plane
        {"a\x80", bad},             // stray continuation byte
        {"\xC3", bad},              // sequence cut at the end
        {"\xC3(", bad},             // lead byte without its continuation
        {"\xC0\xAF", bad},          // overlong '/'
        {"\xE0\x80\xAF", bad},      // overlong '/' in three bytes
        {"\xED\xA0\x80", bad},      // UTF-16 surrogate
        {"\xF4\x90\x80\x80", bad},  // above U+10FFFF
        {"\xE1\x88\xB4", 1},
        {"\xFF", bad},
        {"caf\xE9", bad},  // Latin-1 é
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Utf8Characters(row.text), row.characters) << '"' << row.text << '"';
    }
}

TEST(HelpTextsTest, EveryHelpPageHasAShortLinedUtf8TextInEveryShippedLanguage) {
    const char* const pages[] = {"main_window",     "no_help",        "connections_dialog", "options1_dialog",
                                 "options2_dialog", "main_dialog",    "profiles_dialog",    "log_dialog",
                                 "cell_history",    "battery_dialog", "current_dialog",     "upload_dialog"};
    for (const char* page : pages) {
        std::string english;
        for (const char* language : {"en", "es"}) {
            const std::string name = std::string(language) + "_" + page + ".txt";
            std::ifstream in(kShipped / name, std::ios::binary);
            if (!in) {
                ADD_FAILURE() << name << " is missing from " << kShipped;
                continue;
            }
            const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            if (Utf8Characters(text) == std::string::npos) {
                ADD_FAILURE() << name << " is not valid UTF-8";
                continue;
            }
            EXPECT_NE(text.rfind("\xEF\xBB\xBF", 0), 0u) << name << " starts with a byte-order mark";
            std::istringstream lines(text);
            std::string line;
            size_t number = 0;
            bool hasText = false;
            while (std::getline(lines, line)) {
                ++number;
                if (!line.empty() && line.back() == '\r') {
                    line.pop_back();
                }
                if (number == 1) {
                    EXPECT_FALSE(line.empty()) << name << ": the first line is the title";
                }
                hasText = hasText || line.find_first_not_of(" \t") != std::string::npos;
                EXPECT_LE(Utf8Characters(line), kMaxLineCharacters)
                    << name << ", line " << number << ": " << line;
            }
            EXPECT_TRUE(hasText) << name << " is empty";
            if (std::string(language) == "en") {
                english = text;
            } else {
                EXPECT_NE(text, english) << name << " is the English text, not a translation";
            }
        }
    }
}

}  // namespace

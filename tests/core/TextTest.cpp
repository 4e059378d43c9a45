#include <gtest/gtest.h>

#include "core/SafeFormat.h"
#include "core/TextBuffer.h"
#include "core/Utf16.h"

namespace {

TEST(TextTest, FitBufferCountsCharactersNotBytes) {
    EXPECT_EQ(FitBuffer("abcdef", 4), "abc");
    EXPECT_EQ(FitBuffer("abc", 4), "abc");
    EXPECT_EQ(FitBuffer("añob", 3), "añ");
    EXPECT_EQ(FitBuffer("€€€", 3), "€€");
    EXPECT_EQ(FitBuffer("abc", 1), "");
    EXPECT_EQ(FitBuffer("abc", 0), "");
}

TEST(TextTest, Utf16LittleEndianRoundTrip) {
    std::string text = "Año 2008 € \xF0\x9F\x93\xB1";  // includes a character outside the basic plane
    std::string wide = Utf8ToUtf16Le(text);
    EXPECT_EQ(wide.substr(0, 4), std::string("A\0\xF1\0", 4));
    EXPECT_EQ(wide.size(), 2u * 13);
    EXPECT_EQ(Utf16LeToUtf8(wide), text);
    // A lone surrogate and an odd trailing byte become replacement characters.
    EXPECT_EQ(Utf16LeToUtf8(std::string("\x00\xD8", 2) + "A"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(Utf8ToUtf16Le("\xFF"), std::string("\xFD\xFF", 2));
}

// Plain ASCII is converted eight bytes at a time: runs of every length around that width, before
// and after a character that is not ASCII, give each byte followed by a zero byte.
TEST(TextTest, Utf16LittleEndianOfAsciiRunsAroundOtherCharacters) {
    auto ascii = [](size_t n, char first) {
        std::string s;
        for (size_t k = 0; k < n; ++k) {
            s += static_cast<char>(first + static_cast<char>(k % 26));
        }
        return s;
    };
    auto wide = [](const std::string& s) {
        std::string out;
        for (char c : s) {
            out += c;
            out += '\0';
        }
        return out;
    };
    for (size_t before : {0, 1, 7, 8, 9, 15, 16, 17, 24}) {
        for (size_t after : {0, 1, 8, 9, 31}) {
            SCOPED_TRACE(std::to_string(before) + " + " + std::to_string(after));
            const std::string head = ascii(before, 'a');
            const std::string tail = ascii(after, 'A');
            EXPECT_EQ(Utf8ToUtf16Le(head + "\xE2\x82\xAC" + tail), wide(head) + "\xAC\x20" + wide(tail));
            EXPECT_EQ(Utf8ToUtf16Le(head + tail), wide(head + tail));
        }
    }
    std::string appended = "kept";
    AppendUtf8AsUtf16Le("0123456789", appended);
    EXPECT_EQ(appended, "kept" + wide("0123456789"));
}

TEST(TextTest, FormatsThatDoNotFitTheirArgumentsAreReturnedAsTheyStand) {
    EXPECT_EQ(SafeSprintf("%s has %d", std::string("cell"), 3), "cell has 3");
    EXPECT_EQ(SafeSprintf("%s has %d", std::string("cell")), "%s has %d");
    EXPECT_EQ(SafeSprintf("%03d%%", 7), "007%");
    EXPECT_EQ(SafeSprintf(static_cast<const char*>(nullptr)), "");
}

// Widths and precisions come from translation files; huge ones are bounded instead of making one
// call allocate gigabytes, ordinary ones work as before.
TEST(TextTest, WidthAndPrecisionAreBoundedByTheBuffer) {
    const std::string x = "x";
    struct Row {
        const char* format;
        size_t buffer;      // 0: SafeSprintf without a buffer
        size_t maxLength;   // the result's length is at most this
        const char* exact;  // nullptr: only the length is checked
    };
    const Row rows[] = {
        {"%5s|", 0, 6, "    x|"},
        {"%-4s|", 0, 5, "x   |"},
        {"%1$s-%1$3s", 0, 5, "x-  x"},
        {"%.0s|", 0, 1, "|"},
        {"%.s|", 0, 1, "|"},
        {"%100000s", 0, kFormatFieldBudget, nullptr},
        {"%2147483647s", 0, kFormatFieldBudget, nullptr},
        {"%4000s%4000s", 0, kFormatFieldBudget + 1, nullptr},
        {"%2147483647s", 99, 98, nullptr},
        {"%.2147483647s", 299, 1, "x"},
        {"%2147483647s", 1, 0, ""},
        {"%*s", 0, 3, "%*s"},
        {"%.*s", 99, 4, "%.*s"},
    };
    for (const Row& row : rows) {
        std::string out = row.buffer ? SafeSnprintf(row.buffer, row.format, x) : SafeSprintf(row.format, x);
        EXPECT_LE(out.size(), row.maxLength) << row.format;
        if (row.exact) {
            EXPECT_EQ(out, row.exact) << row.format;
        }
    }
    // A float's precision adds digits, so it is bounded as well.
    EXPECT_LE(SafeSnprintf(99, "%.2147483647f", 1.5).size(), 98u);
    EXPECT_EQ(SafeSprintf("%.2f %05d", 1.5, 42), "1.50 00042");
    EXPECT_EQ(SafeSnprintf(6, "%s and more", x), "x and");
}

}  // namespace

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

TEST(TextTest, FormatsThatDoNotFitTheirArgumentsAreReturnedAsTheyStand) {
    EXPECT_EQ(SafeSprintf("%s has %d", std::string("cell"), 3), "cell has 3");
    EXPECT_EQ(SafeSprintf("%s has %d", std::string("cell")), "%s has %d");
    EXPECT_EQ(SafeSprintf("%03d%%", 7), "007%");
    EXPECT_EQ(SafeSprintf(static_cast<const char*>(nullptr)), "");
}

}  // namespace

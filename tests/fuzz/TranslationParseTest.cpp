#include <gtest/gtest.h>

#include <string>

#include "core/CTextsMgr.h"

// The text of a translation is all the text inside its element, nested markup included, in
// document order; nesting as deep as a file can hold must not exhaust the stack.
TEST(TranslationParse, TextContentThroughNestedMarkup) {
    struct Row {
        std::string inner;
        std::string text;
    };
    std::string deepMarkup;
    for (int i = 0; i < 300000; ++i) {
        deepMarkup += "<a>";
    }
    deepMarkup += "x";
    for (int i = 0; i < 300000; ++i) {
        deepMarkup += "</a>";
    }
    const Row rows[] = {
        {"plain", "plain"},
        {"a <b>bold</b> and <i>it<u>al</u></i>ic", "a bold and italic"},
        {"<b></b><b>x</b><![CDATA[<y>]]>z", "x<y>z"},
        {"<a><b><c>1</c>2</b>3</a>4", "1234"},
        {"", ""},
        {deepMarkup, "x"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const std::string file =
            "<zentrova><languages><language name='E' tag='en' author='me' default='yes'/></languages>"
            "<texts><text id='K'>" +
            row.inner + "</text></texts></zentrova>";
        CTextsMgr::FileTables tables;
        std::string why;
        ASSERT_TRUE(CTextsMgr::ParseFile(file.data(), file.size(), "en", tables, why)) << why;
        EXPECT_EQ(tables.texts["K"], row.text);
        EXPECT_EQ(tables.translator, "me");
        EXPECT_EQ(tables.defaultLanguage, "en");
    }
}

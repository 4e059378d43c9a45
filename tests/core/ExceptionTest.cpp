#include <gtest/gtest.h>

#include "core/CFindNotFoundDB.h"
#include "core/MessageBoxes.h"
#include "support/TempHome.h"

namespace {

TEST(ExceptionTest, NotFoundIsCaughtAsDatabaseAndAsBaseError) {
    auto caughtAs = [](auto probe) {
        try {
            throw CFindNotFoundDB("record %d not found", 12);
        } catch (const decltype(probe)& e) {
            return e.GetMessageW();
        }
    };
    EXPECT_EQ(caughtAs(CExceptionDB()), "record 12 not found");
    EXPECT_EQ(caughtAs(CBaseException()), "record 12 not found");
}

TEST(ExceptionTest, ConstructorsFormatCopyAndCut) {
    EXPECT_EQ(CBaseException().GetMessageW(), "");
    EXPECT_EQ(CExceptionDB(std::string("100% plain")).GetMessageW(), "100% plain");
    EXPECT_EQ(CExceptionDB("Registry value %s not found", std::string("language")).GetMessageW(),
              "Registry value language not found");
    CFindNotFoundDB original("id %d", 5);
    CFindNotFoundDB copy(original);
    EXPECT_EQ(copy.GetMessageW(), "id 5");
    // A formatted message fills at most 199 characters of its buffer.
    std::string longName(300, 'x');
    EXPECT_EQ(CBaseException("%s", longName).GetMessageW(), std::string(199, 'x'));
    // A format that does not fit its arguments is kept as it stands instead of crashing.
    EXPECT_EQ(CBaseException("%s and %s", std::string("one")).GetMessageW(), "%s and %s");
}

TEST(ExceptionTest, ShowErrorBoxPrefixesTheMessage) {
    TempHome home;
    CExceptionDB("disk %s", std::string("full")).ShowErrorBox();
    CBaseException().ShowErrorBox();
    auto shown = home.boxes().shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].kind, platform::BoxKind::Error);
    EXPECT_EQ(shown[0].text, "Error:disk full");
    EXPECT_EQ(shown[1].text, "Error:");
}

TEST(ExceptionTest, QuestionBoxAnswersByPolicy) {
    TempHome home;
    EXPECT_NE(QuestionBox("Delete %d records?", 3), IDYES_ANSWER);
    home.boxes().setAnswerYes(true);
    EXPECT_EQ(QuestionBox("Delete %d records?", 3), IDYES_ANSWER);
    ProcesarError("Error swapping wifi");
    auto shown = home.boxes().shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, "Delete 3 records?");
    EXPECT_EQ(shown[2].kind, platform::BoxKind::Error);
}

}  // namespace

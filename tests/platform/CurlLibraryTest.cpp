// libcurl opened at run time: a library that loads and has every function is usable, one that is
// missing or lacks a function is refused with a message naming the reason.

#include <gtest/gtest.h>

#include <string>

#include "platform/CCurlLibrary.h"

namespace {

TEST(CurlLibraryTest, LoadsOnlyALibraryWithEveryFunction) {
    struct Row {
        const char* fileName;
        bool loaded;
        const char* errorMentions;
    };
    const Row rows[] = {
        {platform::CCurlLibrary::kFileName, true, ""},
        {"libzentrova-no-such-library.so.4", false, "libzentrova-no-such-library.so.4"},
        // Loads, but is not libcurl: the first function looked up is missing.
        {"libz.so.1", false, "has no function curl_global_init"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fileName);
        platform::CCurlLibrary library(row.fileName);
        EXPECT_EQ(library.IsLoaded(), row.loaded);
        EXPECT_NE(library.GetError().find(row.errorMentions), std::string::npos) << library.GetError();
        const bool allFound = library.global_init && library.easy_init && library.easy_setopt &&
                              library.easy_perform && library.easy_getinfo && library.easy_strerror &&
                              library.easy_cleanup && library.slist_append && library.slist_free_all;
        EXPECT_EQ(allFound, row.loaded);
    }
}

TEST(CurlLibraryTest, TheProcessLibraryIsSetUpOnceAndKept) {
    std::string problem;
    const platform::CCurlLibrary* first = platform::CCurlLibrary::Get(problem);
    ASSERT_NE(first, nullptr) << problem;
    EXPECT_EQ(platform::CCurlLibrary::Get(problem), first);
    EXPECT_TRUE(problem.empty());
    EXPECT_STREQ(first->easy_strerror(CURLE_OK), "No error");
}

}  // namespace

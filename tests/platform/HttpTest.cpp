// GET requests through libcurl to a server the test runs on 127.0.0.1: what comes back for each
// kind of answer, and the URL encoding that keeps a value inside its query field.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/CCurlHttp.h"
#include "platform/UrlEncode.h"
#include "support/HttpServer.h"

namespace {

TEST(HttpTest, EveryKindOfAnswerIsReportedAsItCame) {
    char tmpl[] = "/tmp/zentrova-http-XXXXXX";
    std::filesystem::path folder = ::mkdtemp(tmpl);
    {
        HttpServer server(folder);
        platform::CCurlHttp http;
        struct Row {
            int status;
            std::string body;
            size_t maxBody;
            bool answered;
            std::string expectBody;
        };
        const Row rows[] = {
            {200, "2.0|News|x|http://example.org/get", 1000, true, "2.0|News|x|http://example.org/get"},
            {200, std::string(3000, 'a'), 1000, true, std::string(1000, 'a')},
            {200, "ignored", 0, true, ""},
            {500, "<html>error</html>", 1000, true, "<html>error</html>"},
            {404, "", 1000, true, ""},
        };
        for (const Row& row : rows) {
            server.answer(row.status, row.body);
            auto reply = http.get(server.url() + "/path?a=1", "Zentrova", 5000, row.maxBody);
            EXPECT_EQ(reply.answered, row.answered) << row.status;
            EXPECT_EQ(reply.status, row.status);
            EXPECT_EQ(reply.body, row.expectBody) << row.status;
            EXPECT_TRUE(reply.problem.empty()) << reply.problem;
        }
        auto requests = server.requests();
        ASSERT_EQ(requests.size(), 5u);
        EXPECT_EQ(requests[0], "/path?a=1|Zentrova");

        // A server that never answers: the time-out ends the request.
        server.silent();
        auto start = std::chrono::steady_clock::now();
        auto reply = http.get(server.url() + "/slow", "Zentrova", 300, 1000);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_FALSE(reply.answered);
        EXPECT_EQ(reply.status, 0);
        EXPECT_FALSE(reply.problem.empty());
    }
    platform::CCurlHttp http;
    // Nothing listening, an address that is not one, a scheme that is not HTTP.
    for (const char* url : {"http://127.0.0.1:1/", "not an address", "file:///etc/passwd"}) {
        auto reply = http.get(url, "Zentrova", 2000, 1000);
        EXPECT_FALSE(reply.answered) << url;
        EXPECT_FALSE(reply.problem.empty()) << url;
        EXPECT_TRUE(reply.body.empty()) << url;
    }
    std::filesystem::remove_all(folder);
}

TEST(HttpTest, UrlEncodingKeepsAValueInsideItsField) {
    EXPECT_EQ(platform::UrlEncode("Home"), "Home");
    EXPECT_EQ(platform::UrlEncode("Tom & Jerry"), "Tom%20%26%20Jerry");
    EXPECT_EQ(platform::UrlEncode("a=b#c+d?e/f"), "a%3Db%23c%2Bd%3Fe%2Ff");
    EXPECT_EQ(platform::UrlEncode("Café"), "Caf%C3%A9");
    EXPECT_EQ(platform::UrlEncode("00210.1234E-_.~"), "00210.1234E-_.~");
    EXPECT_EQ(platform::UrlEncode(""), "");
}

}  // namespace

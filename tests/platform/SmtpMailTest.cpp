// Mail through libcurl to an SMTP server the test runs on 127.0.0.1, and the header texts that
// must never reach the message's header.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/CSmtpMail.h"
#include "support/SmtpSink.h"

namespace {

using platform::CSmtpMail;

TEST(SmtpMailTest, HeaderTextsThatWouldBreakTheHeaderAreRefused) {
    struct Row {
        std::string from;
        std::vector<std::string> to;
        std::string subject;
        bool accepted;
    };
    const Row rows[] = {
        {"me@phone.test", {"you@example.org"}, "Hello", true},
        {"me@phone.test", {"you@example.org"}, "Hi\r\nBcc: all@example.org", false},
        {"me@phone.test", {"you@example.org>, x@y.org"}, "Hello", false},
        {"me@phone.test", {"you @example.org"}, "Hello", false},
        {"me@phone.test\nBcc: x@y.org", {"you@example.org"}, "Hello", false},
        {"me@phone.test", {}, "Hello", false},
    };
    for (const Row& row : rows) {
        std::string message;
        std::string problem;
        EXPECT_EQ(CSmtpMail::Compose({row.from, row.to, row.subject, "body"},
                                     "Mon, 07 Dec 2026 10:00:00 +0000", message, problem),
                  row.accepted)
            << row.subject << " " << problem;
    }
    std::string message;
    std::string problem;
    ASSERT_TRUE(CSmtpMail::Compose({"me@phone.test", {"a@b.org", "c@d.org"}, "Llegué ✓", "one\ntwo\r\nthree"},
                                   "Mon, 07 Dec 2026 10:00:00 +0000", message, problem));
    EXPECT_NE(message.find("\r\nTo: a@b.org, c@d.org\r\n"), std::string::npos) << message;
    EXPECT_NE(message.find("\r\nSubject: =?UTF-8?B?TGxlZ3XDqSDinJM=?=\r\n"), std::string::npos) << message;
    EXPECT_NE(message.find("\r\n\r\none\r\ntwo\r\nthree\r\n"), std::string::npos) << message;
}

TEST(SmtpMailTest, DeliveredToTheServerAndNeverInTheClearWhenStartTlsIsRequired) {
    char tmpl[] = "/tmp/zentrova-smtp-XXXXXX";
    std::filesystem::path folder = ::mkdtemp(tmpl);
    {
        SmtpSink sink(folder, false);
        ASSERT_GT(sink.port(), 0);
        const CSmtpMail::Mail mail{"me@phone.test", {"you@example.org"}, "Subject line", "First\n.Second"};
        std::string problem;
        ASSERT_TRUE(CSmtpMail::Send({sink.url(), "", "", false}, mail, problem)) << problem;
        std::string got = sink.mails();
        EXPECT_NE(got.find("FROM <me@phone.test>\nTO <you@example.org>\n"), std::string::npos) << got;
        EXPECT_NE(got.find("\nSubject: Subject line\n"), std::string::npos) << got;
        EXPECT_NE(got.find("\n\nFirst\n.Second\n=====\n"), std::string::npos) << got;

        // This server offers no STARTTLS: the mail is not sent at all.
        EXPECT_FALSE(CSmtpMail::Send({sink.url(), "", "", true}, mail, problem));
        EXPECT_FALSE(problem.empty());
        EXPECT_FALSE(CSmtpMail::Send({"http://127.0.0.1:" + std::to_string(sink.port()), "", "", false}, mail,
                                     problem));
        EXPECT_EQ(sink.mails(), got);
    }
    std::filesystem::remove_all(folder);
}

}  // namespace

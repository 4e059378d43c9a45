// Mail of a frame's actions through a real SMTP server on 127.0.0.1: delivered with its subject and
// body; refused by the server or with no server listening, it is logged as a failure and the
// frame's other actions still run.

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/ProgramFixture.h"
#include "support/SmtpSink.h"

namespace {

constexpr const char* kAccount = "HKCU\\Mail\\Accounts\\Mail";

class MailTest : public ProgramFixture {
  protected:
    MailTest() : ProgramFixture("20") {
        startProgram();
        // Mid-morning: a test started just before midnight would see the all-day frames start
        // again with the new day, and their mails sent twice.
        ok({"clock", "set", "2026-12-07 10:00:00"});
    }
    void ok(const std::vector<std::string>& args) {
        Result r = device(args);
        ASSERT_EQ(r.code, 0) << r.out;
    }
    // A place found at `cell` whose all-day frame mails `to` and switches the infrared `beam`.
    void addPlace(const std::string& name, const std::string& cell, const std::string& to,
                  const std::string& beam) {
        ok({"place", "add", name});
        ok({"frame", "add", name, "all", "00:00", "00:00", "--name", "Day"});
        ok({"action", "add", name, "Day", "enter", "13", "0", "--text", to, "--text2", "Arrived at " + name,
            "--text3", "Line one\nLine two of " + name});
        ok({"action", "add", name, "Day", "enter", "50", beam});
        ok({"cell", "assign", cell, name});
    }
    void useServer(const std::string& url) { ok({"reg", "set", kAccount, "SmtpUrl", "sz", url}); }
    std::string log() { return device({"log"}).out; }
};

TEST_F(MailTest, AnActionsMailReachesTheServerWithItsSubjectAndBody) {
    SmtpSink sink(base, false);
    ASSERT_GT(sink.port(), 0);
    useServer(sink.url());
    ok({"reg", "set", kAccount, "From", "sz", "phone@zentrova.test"});
    addPlace("Away", "4444", "boss@example.org; team@example.org", "0");
    ok({"cell", "4444", "44"});
    ASSERT_TRUE(WaitUntil([&] { return sink.mails().find("=====") != std::string::npos; })) << log();
    std::string mail = sink.mails();
    EXPECT_NE(mail.find("FROM <phone@zentrova.test>\nTO <boss@example.org> <team@example.org>\n"),
              std::string::npos)
        << mail;
    EXPECT_NE(mail.find("\nSubject: Arrived at Away\n"), std::string::npos) << mail;
    EXPECT_NE(mail.find("\n\nLine one\nLine two of Away\n====="), std::string::npos) << mail;
    EXPECT_TRUE(WaitUntil([&] { return value("beam", {"status"}) == "off"; }));
    std::string outbox = device({"outbox"}).out;
    EXPECT_NE(outbox.find("kind=mail"), std::string::npos) << outbox;
    EXPECT_NE(outbox.find("via=smtp subject=Arrived at Away body=Line one\\nLine two of Away"),
              std::string::npos)
        << outbox;
}

TEST_F(MailTest, ARefusedOrUnreachableServerIsLoggedAndTheOtherActionsRun) {
    SmtpSink refusing(base, true);
    useServer(refusing.url());
    addPlace("Away", "4444", "boss@example.org", "0");
    addPlace("Home", "5555", "family@example.org", "1");
    ok({"cell", "4444", "44"});
    ASSERT_TRUE(WaitUntil([&] {
        return log().find("WARNING. Mail to boss@example.org not sent.") != std::string::npos;
    })) << log();
    EXPECT_TRUE(WaitUntil([&] { return value("beam", {"status"}) == "off"; }));
    EXPECT_NE(log().find("550"), std::string::npos) << log();

    // Nobody listens on the port of a socket that was bound and closed again.
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(s);
    useServer("smtp://127.0.0.1:" + std::to_string(ntohs(address.sin_port)));
    ok({"cell", "5555", "55"});
    ASSERT_TRUE(WaitUntil([&] {
        return log().find("WARNING. Mail to family@example.org not sent.") != std::string::npos;
    })) << log();
    EXPECT_TRUE(WaitUntil([&] { return value("beam", {"status"}) == "on"; }));
    EXPECT_TRUE(running());
    std::string outbox = device({"outbox"}).out;
    EXPECT_EQ(count(outbox, "via=failed: "), 2u) << outbox;
}

}  // namespace

// End to end on the real programs: each change of cell sends one location upload to a web server
// the test runs, with the fields the user switched on, each value URL-encoded; a notification for
// the same cell sends nothing, and a server error is counted and logged without stopping anything.

#include <gtest/gtest.h>

#include "support/HttpServer.h"
#include "support/ProgramFixture.h"

namespace {

class UploadTest : public ProgramFixture {
  protected:
    UploadTest() : ProgramFixture("20") {}
    void ok(const std::vector<std::string>& args) {
        Result r = device(args);
        ASSERT_EQ(r.code, 0) << r.out;
    }
    void setting(const std::string& name, const std::string& type, const std::string& value) {
        ok({"reg", "set", "HKLM\\SOFTWARE\\Tobren Ilsk\\Zentrova", name, type, value});
    }
    std::string log() { return device({"log"}).out; }
};

TEST_F(UploadTest, OneUploadPerCellChangeWithEveryFieldEncoded) {
    HttpServer server(base);
    server.answer(200, "ok");
    ok({"connection", "add", "GPRS"});
    setting("upload_enabled", "dword", "1");
    setting("url_upload_location", "sz", server.url() + "/where");
    setting("user_agent", "sz", "Zentrova test/1.0");
    for (const char* name : {"upload_location", "upload_profile", "upload_schedule", "upload_battery",
                             "upload_signal", "upload_operator", "upload_owner"}) {
        setting(name, "dword", "1");
    }
    for (const char* name : {"upload_date", "upload_device_id", "upload_gps"}) {
        setting(name, "dword", "0");
    }
    ok({"reg", "set", "HKLM\\System\\State\\Phone", "Current Operator Name", "sz", "Mobi & Co"});
    ok({"reg", "set", "HKCU\\ControlPanel\\Owner", "Owner", "sz", "Ana María"});
    startProgram();
    // One attempt at start, for the cell the phone is in.
    ASSERT_TRUE(WaitUntil([&] { return server.requests().size() == 1; }, std::chrono::seconds(30))) << log();
    EXPECT_NE(server.requests()[0].find("&cell=1000&lac=100&"), std::string::npos) << server.requests()[0];
    ok({"battery", "60"});
    ok({"place", "add", "Tom & Jerry's"});
    ok({"frame", "add", "Tom & Jerry's", "all", "00:00", "00:00", "--name", "Early bird"});
    ok({"cell", "assign", "4444", "Tom & Jerry's"});

    ok({"cell", "4444", "44"});
    ASSERT_TRUE(WaitUntil([&] { return server.requests().size() == 2; }, std::chrono::seconds(30))) << log();
    const std::string first = server.requests().back();
    const std::string prefix =
        "/where?battery=60&cell=4444&lac=44&operator=Mobi%20%26%20Co&user=Ana%20Mar%C3%ADa";
    EXPECT_EQ(first.rfind(prefix, 0), 0u) << first;
    EXPECT_NE(first.find("&profile=Tom%20%26%20Jerry%27s&schedule=Early%20bird&signal="), std::string::npos)
        << first;
    EXPECT_EQ(first.substr(first.find('|')), "|Zentrova test/1.0");

    // Another area, the same cell: a location change, but nothing new to upload.
    ok({"cell", "4444", "45"});
    ok({"cell", "5555", "55"});
    ASSERT_TRUE(WaitUntil([&] { return server.requests().size() >= 3; }, std::chrono::seconds(30))) << log();
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u) << requests.back();
    EXPECT_NE(requests[2].find("&cell=5555&lac=55&"), std::string::npos) << requests[2];
    EXPECT_NE(requests[2].find("&profile=&schedule=&"), std::string::npos) << requests[2];
    EXPECT_TRUE(WaitUntil([&] { return value("upload_ok") == "3"; })) << device({"app"}).out;

    // A server error: counted and logged, and the next move uploads again.
    server.answer(500, "<html>broken</html>");
    ok({"cell", "4444", "44"});
    ASSERT_TRUE(WaitUntil([&] { return value("upload_ko") == "1"; }, std::chrono::seconds(30))) << log();
    EXPECT_EQ(count(log(),
                    "Location not uploaded. The location could not be uploaded: the server answered with "
                    "HTTP status 500."),
              1u)
        << log();
    server.answer(200, "ok");
    ok({"cell", "5555", "55"});
    EXPECT_TRUE(WaitUntil([&] { return value("upload_ok") == "4"; }, std::chrono::seconds(30))) << log();
    EXPECT_EQ(server.requests().size(), 5u);
}

}  // namespace

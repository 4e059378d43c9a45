#include <gtest/gtest.h>

#include <set>

#include "platform/CConnectionRequests.h"
#include "platform/ConnectionEntries.h"

namespace {

using platform::ConnectionEntry;

const std::string kNetA = "{11111111-2222-3333-4444-555555555555}";
const std::string kNetB = "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";

TEST(ConnectionEntriesTest, OnlyHttpAndHttpsAddressesWithAHostAreMapped) {
    const struct {
        const char* url;
        bool mapped;
    } rows[] = {
        {"http://example.org", true},   {"https://example.org/path?q#f", true},
        {"http://h:8080/", true},       {"ftp://example.org/", false},
        {"HTTP://example.org/", false}, {"http://", false},
        {"https:///path", false},       {"http://:80/", false},
        {"http://?q", false},           {"example.org", false},
        {"httpx://example.org", false}, {"", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(platform::IsWebUrlWithHost(row.url), row.mapped) << row.url;
    }
}

TEST(ConnectionEntriesTest, AUrlGoesThroughTheFirstEntryUpElseTheFirstEnabledAskingNoFurther) {
    const std::vector<ConnectionEntry> entries = {
        {"a", kNetA, false}, {"b", kNetB, false}, {"c", kNetA, true}, {"d", kNetB, true}};
    std::vector<std::string> asked;
    auto enabledOnly = [&](std::set<std::string> yes) {
        return [&asked, yes](const std::string& name) {
            asked.push_back(name);
            return yes.count(name) > 0;
        };
    };
    EXPECT_EQ(platform::EntryForUrl(entries, enabledOnly({"a"})), 2u);  // up beats enabled
    EXPECT_TRUE(asked.empty());

    std::vector<ConnectionEntry> down = entries;
    down[2].up = down[3].up = false;
    EXPECT_EQ(platform::EntryForUrl(down, enabledOnly({"b", "d"})), 1u);
    EXPECT_EQ(asked, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(platform::EntryForUrl(down, enabledOnly({})), std::nullopt);
    EXPECT_EQ(platform::EntryForUrl({}, enabledOnly({"a"})), std::nullopt);
}

TEST(ConnectionEntriesTest, ListsStopAtTheRoomAndHandlesArePositionsPlusOne) {
    const std::vector<ConnectionEntry> entries = {
        {"a", kNetA, false}, {"b", kNetB, true}, {"c", kNetA, false}, {"d", kNetB, true}};
    std::vector<std::string> names = {"stale"};
    EXPECT_EQ(platform::ListEntryNames(entries, 4, names), platform::ERROR_SUCCESS);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(platform::ListEntryNames(entries, 3, names), platform::ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c"}));

    std::vector<platform::RasConnection> up;
    EXPECT_EQ(platform::ListUpConnections(entries, 2, up), platform::ERROR_SUCCESS);
    ASSERT_EQ(up.size(), 2u);
    EXPECT_EQ(up[0].handle, 2u);
    EXPECT_EQ(up[0].entryName, "b");
    EXPECT_EQ(up[1].handle, 4u);
    EXPECT_EQ(platform::ListUpConnections(entries, 1, up), platform::ERROR_BUFFER_TOO_SMALL);
    ASSERT_EQ(up.size(), 1u);
    EXPECT_EQ(up[0].entryName, "b");
    EXPECT_EQ(platform::ListUpConnections(entries, 0, up), platform::ERROR_BUFFER_TOO_SMALL);
    EXPECT_TRUE(up.empty());
}

TEST(ConnectionEntriesTest, ARequestLooksOnlyAtTheFirstEntryServingItsNetwork) {
    const std::string kNone = "{00000000-0000-0000-0000-000000000001}";
    const struct {
        std::vector<ConnectionEntry> entries;
        std::string network;
        bool enabled;
        uint32_t status;
        size_t index;
    } rows[] = {
        {{{"a", kNetA, false}, {"b", kNetB, false}}, kNetB, true, platform::CONNMGR_STATUS_UNKNOWN, 1},
        {{{"a", kNetA, false}, {"b", kNetB, true}}, kNetB, true, platform::CONNMGR_STATUS_CONNECTED, 99},
        {{{"a", kNetA, true}}, kNetA, false, platform::CONNMGR_STATUS_CONNECTIONDISABLED, 99},
        {{{"a", kNetA, false}}, kNone, true, platform::CONNMGR_STATUS_NOPATHTODESTINATION, 99},
        // a second entry for the same network is not looked at
        {{{"a", kNetA, false}, {"b", kNetA, true}}, kNetA, true, platform::CONNMGR_STATUS_UNKNOWN, 0},
    };
    for (const auto& row : rows) {
        size_t index = 99;
        EXPECT_EQ(platform::CheckEntryForNetwork(
                      row.entries, row.network, [&](const std::string&) { return row.enabled; }, index),
                  row.status)
            << row.network;
        EXPECT_EQ(index, row.index) << row.network;
    }
}

TEST(ConnectionEntriesTest, RequestsWithoutADestinationUseUpNoNumber) {
    platform::CConnectionRequests requests;
    platform::ConnectionInfo info;
    info.params = platform::CONNMGR_PARAM_GUIDDESTNET;
    info.destination = "11111111-2222-3333-4444-555555555555";
    std::string network;
    uint32_t request = 0;
    ASSERT_TRUE(requests.start(info, network, request));
    EXPECT_EQ(request, 1u);
    EXPECT_EQ(network, kNetA);

    platform::ConnectionInfo noParam = info;
    noParam.params = 0;
    platform::ConnectionInfo badGuid = info;
    badGuid.destination = "not a network";
    for (const auto& bad : {noParam, badGuid}) {
        request = 7;
        EXPECT_FALSE(requests.start(bad, network, request));
        EXPECT_EQ(request, 0u);
    }
    ASSERT_TRUE(requests.start(info, network, request));
    EXPECT_EQ(request, 2u);
    EXPECT_EQ(requests.registerWindow(true, 0), platform::ERROR_INVALID_HANDLE);
}

}  // namespace

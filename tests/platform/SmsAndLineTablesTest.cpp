// The SMS checks and handle table and the line table that both backends share.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/CLineTable.h"
#include "platform/CSmsHandles.h"
#include "platform/SmsText.h"

namespace {

using namespace platform;

TEST(SmsAndLineTablesTest, TextSmsChecksTheNumberTheDataAndTheMessageClass) {
    std::vector<uint8_t> provider(SMS_TEXT_PROVIDER_DATA_SIZE, 0);
    auto withClass = [&provider](uint8_t c) {
        std::vector<uint8_t> p = provider;
        p[SMS_PROVIDER_MESSAGE_CLASS_OFFSET] = c;
        return p;
    };
    const std::vector<uint8_t> text = {'H', 0, 'i', 0};
    struct Row {
        std::string number;
        std::vector<uint8_t> data;
        std::vector<uint8_t> provider;
        bool valid;
    };
    const Row rows[] = {
        {"+34600999888", text, withClass(3), true},
        {"+34600999888", text, withClass(4), false},
        {"*#06#", {}, provider, true},
        {"34+600", text, provider, false},
        {std::string(40, '1'), text, provider, true},
        {std::string(41, '1'), text, provider, false},
        {"", text, provider, false},
        {"600", {'H', 0, 'i'}, provider, false},
        {"600", text, std::vector<uint8_t>(SMS_TEXT_PROVIDER_DATA_SIZE + 1, 0), false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(validTextSms({SMSAT_UNKNOWN, row.number}, row.data, row.provider), row.valid) << row.number;
    }
}

TEST(SmsAndLineTablesTest, SmsHandlesOpenForSendingOnlyAndCloseOnce) {
    CSmsHandles handles;
    SmsHandle handle = 7;
    EXPECT_EQ(handles.open("other", SMS_MODE_SEND, handle), SMS_E_INVALIDPROTOCOL);
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(handles.open(SMS_MSGTYPE_TEXT, SMS_MODE_SEND + 1, handle), ERROR_INVALID_PARAMETER);
    ASSERT_EQ(handles.open(SMS_MSGTYPE_TEXT, SMS_MODE_SEND, handle), ERROR_SUCCESS);
    SmsHandle second = 0;
    ASSERT_EQ(handles.open(SMS_MSGTYPE_TEXT, SMS_MODE_SEND, second), ERROR_SUCCESS);
    EXPECT_NE(handle, second);
    EXPECT_TRUE(handles.isOpen(handle));
    EXPECT_EQ(handles.close(handle), ERROR_SUCCESS);
    EXPECT_FALSE(handles.isOpen(handle));
    EXPECT_TRUE(handles.isOpen(second));
    EXPECT_EQ(handles.close(handle), ERROR_INVALID_HANDLE);
    EXPECT_EQ(handles.nextMessageId(), 1u);
    EXPECT_EQ(handles.nextMessageId(), 2u);
}

TEST(SmsAndLineTablesTest, LineTableHandsOutLinesRequestsAndAnswers) {
    CLineTable table;
    CLineTable::Owner nextOwner = 40;
    auto addOwner = [&nextOwner] { return nextOwner++; };
    std::vector<std::pair<uintptr_t, uintptr_t>> replies;  // instance, request id
    uint32_t lastResult = 0;
    LineCallback callback = [&](uint32_t, uint32_t message, uintptr_t instance, uintptr_t p1, uintptr_t p2,
                                uintptr_t) {
        EXPECT_EQ(message, LINE_REPLY);
        replies.emplace_back(instance, p1);
        lastResult = static_cast<uint32_t>(p2);
    };

    LineHandle line = 9;
    EXPECT_EQ(table.open(1, 0, callback, addOwner, line), LINEERR_BADDEVICEID);
    EXPECT_EQ(line, 0u);
    EXPECT_EQ(table.open(0, 0, nullptr, addOwner, line), LINEERR_INVALPARAM);
    EXPECT_EQ(nextOwner, 40u) << "a refused line takes no owner";
    ASSERT_EQ(table.open(0, 5, callback, addOwner, line), ERROR_SUCCESS);

    CLineTable::Line target;
    const long first = table.startRequest(line, target);
    const long second = table.startRequest(line, target);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    EXPECT_EQ(target.owner, 40u);
    CLineTable::reply(target, second, 3);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0], std::make_pair(uintptr_t{5}, uintptr_t{2}));
    EXPECT_EQ(lastResult, 3u);

    EXPECT_EQ(table.refuse(line, LINEERR_INVALPARAM), LINEERR_INVALPARAM);
    CLineTable::Owner owner = 0;
    EXPECT_EQ(table.close(line, owner), ERROR_SUCCESS);
    EXPECT_EQ(owner, 40u);
    EXPECT_EQ(table.close(line, owner), LINEERR_INVALLINEHANDLE);
    EXPECT_EQ(table.refuse(line, LINEERR_INVALPARAM), LINEERR_INVALLINEHANDLE);
    EXPECT_EQ(table.startRequest(line, target), LINEERR_INVALLINEHANDLE);
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/linux/CLinuxMessageStores.h"
#include "support/SmtpSink.h"
#include "support/TempHome.h"

namespace {

using platform::MapiObject;
using platform::MessageRecipient;
using platform::lnx::CLinuxMessageStores;
namespace p = platform;

// An SMS library that records what it sends, or refuses while the radio is off.
class RecordingSms : public p::ISms {
  public:
    struct Sent {
        std::string to;
        std::vector<uint8_t> data;
        size_t providerSize;
    };
    p::Result open(const std::string& protocol, uint32_t mode, p::SmsHandle& handle) override {
        if (protocol != p::SMS_MSGTYPE_TEXT || mode != p::SMS_MODE_SEND) {
            return p::SMS_E_INVALIDPROTOCOL;
        }
        handle = 5;
        ++opened;
        return p::ERROR_SUCCESS;
    }
    p::Result close(p::SmsHandle handle) override {
        closed += handle == 5 ? 1 : 0;
        return p::ERROR_SUCCESS;
    }
    p::Result send(p::SmsHandle, const p::SmsAddress& destination, const std::vector<uint8_t>& data,
                   const std::vector<uint8_t>& providerData, uint32_t, uint32_t, uint32_t& id) override {
        if (radioOff) {
            return p::SMS_E_NOSERVICE;
        }
        sent.push_back({destination.address, data, providerData.size()});
        id = static_cast<uint32_t>(sent.size());
        return p::ERROR_SUCCESS;
    }
    std::vector<Sent> sent;
    int opened = 0;
    int closed = 0;
    bool radioOff = false;
};

TEST(LinuxMessageStoresTest, Utf16OfMessageTexts) {
    struct Row {
        std::string text;
        std::vector<uint8_t> bytes;
    };
    const Row rows[] = {
        {"", {}},
        {"Hi", {'H', 0, 'i', 0}},
        {"\xC3\xA9", {0xE9, 0}},                         // é
        {"\xE2\x82\xAC", {0xAC, 0x20}},                  // €
        {"\xF0\x9F\x98\x80", {0x3D, 0xD8, 0x00, 0xDE}},  // an emoji: a surrogate pair
        {"a\xFF"
         "b",
         {'a', 0, 0xFD, 0xFF, 'b', 0}},          // a stray byte
        {"\xE2\x82", {0xFD, 0xFF, 0xFD, 0xFF}},  // a character cut short
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CLinuxMessageStores::utf16le(row.text), row.bytes) << row.text;
    }
}

// Logs on, opens store `index` of the table, its drafts folder, and makes a message in it.
struct Draft {
    MapiObject session = 0, store = 0, folder = 0, message = 0;
};

Draft makeDraft(CLinuxMessageStores& stores, size_t index) {
    Draft d;
    EXPECT_EQ(stores.logon(d.session), p::MAPI_S_OK);
    std::vector<p::MessageStoreRow> rows;
    EXPECT_EQ(stores.getStores(d.session, rows), p::MAPI_S_OK);
    EXPECT_LT(index, rows.size());
    if (index >= rows.size() || !rows[index].entryId) {
        return d;
    }
    EXPECT_EQ(stores.openStore(d.session, *rows[index].entryId, d.store), p::MAPI_S_OK);
    std::vector<uint8_t> drafts;
    EXPECT_EQ(stores.getBinaryProperty(d.store, p::PR_CE_IPM_DRAFTS_ENTRYID, drafts), p::MAPI_S_OK);
    EXPECT_EQ(stores.openFolder(d.store, drafts, d.folder), p::MAPI_S_OK);
    EXPECT_EQ(stores.createMessage(d.folder, d.message), p::MAPI_S_OK);
    return d;
}

TEST(LinuxMessageStoresTest, StoresInThePhonesOrderAndSubmissionsByTransport) {
    TempHome home;
    auto& registry = home.services().registry();
    SmtpSink sink(home.root(), false);
    ASSERT_GT(sink.port(), 0);
    const std::string accounts = CLinuxMessageStores::kAccountsKey;
    registry.setString(p::RegRoot::CurrentUser, accounts + "\\Work", "SmtpUrl", sink.url());
    registry.setString(p::RegRoot::CurrentUser, accounts + "\\Work", "From", "me@work.test");
    registry.setString(p::RegRoot::CurrentUser, accounts + "\\Home", "SmtpUrl", "");
    registry.setDword(p::RegRoot::CurrentUser, accounts + "\\Away", "Offline", 1);

    RecordingSms sms;
    CLinuxMessageStores stores(registry, &sms);
    MapiObject session = 0;
    ASSERT_EQ(stores.logon(session), p::MAPI_S_OK);
    std::vector<p::MessageStoreRow> rows;
    ASSERT_EQ(stores.getStores(session, rows), p::MAPI_S_OK);
    // (The simulated phone of the test's home made its default account "Mail" already.)
    ASSERT_EQ(rows.size(), 5u);
    const char* names[] = {"SMS", "Away", "Home", "Mail", "Work"};
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].displayName, names[i]);
        EXPECT_EQ(rows[i].entryId.has_value(), i != 1) << names[i];  // the offline account cannot open
    }

    struct Row {
        const char* what;
        size_t store;
        std::vector<MessageRecipient> recipients;
        p::Result result;
        const char* problem;  // a part of the problem text; empty for none
    };
    const MessageRecipient you{p::MAPI_TO, "SMTP", "you@example.org"};
    const MessageRecipient empty{p::MAPI_TO, "SMTP", ""};
    const Row rowsToSend[] = {
        {"mail through the server", 4, {you, empty}, p::MAPI_S_OK, ""},
        {"mail without a server", 2, {you}, p::MAPI_E_NETWORK_ERROR, "no outgoing mail server"},
        {"no recipients", 4, {empty}, p::MAPI_E_NO_RECIPIENTS, "no recipients"},
        {"SMS to two numbers",
         0,
         {{p::MAPI_TO, "", "+34600111222"}, empty, {p::MAPI_CC, "", "600333444"}},
         p::MAPI_S_OK,
         ""},
    };
    for (const Row& row : rowsToSend) {
        Draft d = makeDraft(stores, row.store);
        ASSERT_NE(d.message, 0u) << row.what;
        ASSERT_EQ(stores.modifyRecipients(d.message, row.recipients), p::MAPI_S_OK) << row.what;
        ASSERT_EQ(stores.setTextProperty(d.message, p::PR_SUBJECT, "Frame 3"), p::MAPI_S_OK);
        ASSERT_EQ(stores.setNumberProperty(d.message, p::PR_MESSAGE_FLAGS, p::MSGFLAG_UNSENT), p::MAPI_S_OK);
        ASSERT_EQ(stores.writeBody(d.message, "Caf\xC3\xA9 at 9"), p::MAPI_S_OK);
        std::string problem;
        EXPECT_EQ(stores.submitMessage(d.message, problem), row.result) << row.what << ": " << problem;
        EXPECT_NE(problem.find(row.problem), std::string::npos) << row.what << ": " << problem;
        if (row.result == p::MAPI_S_OK) {
            EXPECT_EQ(stores.submitMessage(d.message, problem), p::MAPI_E_CALL_FAILED) << row.what;
        }
        stores.release(d.message);
        stores.release(d.folder);
        stores.release(d.store);
        EXPECT_EQ(stores.logoff(d.session), p::MAPI_S_OK);
    }
    std::string mails = sink.mails();
    EXPECT_NE(mails.find("FROM <me@work.test>\nTO <you@example.org>\n"), std::string::npos) << mails;
    EXPECT_NE(mails.find("Subject: Frame 3"), std::string::npos) << mails;
    EXPECT_EQ(mails.find("=====", mails.find("=====") + 1), std::string::npos) << "one mail only\n" << mails;
    ASSERT_EQ(sms.sent.size(), 2u);
    EXPECT_EQ(sms.sent[0].to, "+34600111222");
    EXPECT_EQ(sms.sent[1].to, "600333444");
    EXPECT_EQ(sms.sent[0].data, CLinuxMessageStores::utf16le("Caf\xC3\xA9 at 9"));
    EXPECT_EQ(sms.sent[0].providerSize, p::SMS_TEXT_PROVIDER_DATA_SIZE);
    EXPECT_EQ(sms.opened, sms.closed);

    // The modem refuses; and a backend without a modem cannot send SMS at all.
    sms.radioOff = true;
    for (p::ISms* library : {static_cast<p::ISms*>(&sms), static_cast<p::ISms*>(nullptr)}) {
        CLinuxMessageStores other(registry, library);
        Draft d = makeDraft(other, 0);
        ASSERT_EQ(other.modifyRecipients(d.message, {{p::MAPI_TO, "", "600"}}), p::MAPI_S_OK);
        std::string problem;
        EXPECT_EQ(other.submitMessage(d.message, problem), p::MAPI_E_NETWORK_ERROR);
        EXPECT_FALSE(problem.empty());
    }
    EXPECT_EQ(sms.opened, sms.closed);
}

// The stores create the default account when there is none, as on the phone.
TEST(LinuxMessageStoresTest, TheDefaultAccountIsMadeWhenThereIsNone) {
    TempHome home;
    // The simulated phone of the test's home made its own default account: none is left.
    home.services().registry().deleteKey(p::RegRoot::CurrentUser, CLinuxMessageStores::kAccountsKey);
    CLinuxMessageStores stores(home.services().registry(), nullptr);
    MapiObject session = 0;
    ASSERT_EQ(stores.logon(session), p::MAPI_S_OK);
    std::vector<p::MessageStoreRow> rows;
    ASSERT_EQ(stores.getStores(session, rows), p::MAPI_S_OK);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].displayName, CLinuxMessageStores::kDefaultAccount);
    EXPECT_EQ(stores.logoff(session), p::MAPI_S_OK);
    EXPECT_EQ(stores.getStores(session, rows), p::MAPI_E_INVALID_OBJECT);
}

}  // namespace

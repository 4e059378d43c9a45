// The simulated phone's Bluetooth stack, band, call forwarding record and SMS library.

#include <gtest/gtest.h>

#include "platform/sim/CSimBluetoothStack.h"
#include "platform/sim/CSimPhone.h"
#include "platform/sim/CSimSms.h"
#include "platform/sim/CSimTelephony.h"
#include "support/TempHome.h"

namespace {

using platform::RegRoot;
using platform::sim::CSimPhone;

TEST(SimDevicesTest, ForwardListRecordsThatDoNotHoldTogetherAreRefused) {
    auto record = [](uint32_t total, uint32_t entries, uint32_t size, uint32_t offset, size_t bytes) {
        std::vector<uint8_t> r(bytes, 0);
        auto put = [&r](size_t at, uint32_t v) {
            for (size_t i = 0; i < 4 && at + i < r.size(); ++i) {
                r[at + i] = static_cast<uint8_t>(v >> (8 * i));
            }
        };
        put(0, total);
        put(4, entries);
        put(8, 1);
        put(24, size);
        put(28, offset);
        const char number[] = "+3460";
        for (size_t i = 0; i < 5 && offset + 2 * i + 1 < r.size(); ++i) {
            r[offset + 2 * i] = static_cast<uint8_t>(number[i]);
        }
        return r;
    };
    struct Row {
        std::vector<uint8_t> data;
        bool holds;
    };
    const Row rows[] = {
        {record(97, 1, 40, 56, 97), true},   {record(97, 0, 40, 56, 97), false},  // no entry
        {record(120, 1, 40, 56, 97), false},                                      // larger than the buffer
        {record(97, 1, 41, 56, 97), false},                                       // half a character
        {record(97, 1, 40, 60, 97), false},  // the number runs past the end
        {record(97, 1, 40, 16, 97), false},  // the number inside the entry
        {record(20, 1, 40, 56, 20), false},  // shorter than one entry
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        std::string number;
        uint32_t mode = 0;
        EXPECT_EQ(platform::sim::CSimTelephony::decodeForwardList(rows[i].data, number, mode), rows[i].holds)
            << i;
        if (rows[i].holds) {
            EXPECT_EQ(number, "+3460");
            EXPECT_EQ(mode, platform::LINEFORWARDMODE_UNCOND);
        }
    }
}

TEST(SimDevicesTest, StackEventsFollowTheRadioModeAndTheRadioTakesItsBandWhenItStarts) {
    TempHome home;
    auto& services = home.services();
    platform::MsgQueueOptions options;
    options.maxMessageSize = 100;
    auto queue = services.queues().open("bt-test", options);
    platform::BtNotificationHandle handle = 0;
    ASSERT_EQ(services.bluetooth().requestNotifications(platform::BTE_CLASS_STACK, queue, handle),
              platform::ERROR_SUCCESS);
    auto next = [&] {
        std::vector<uint8_t> data(100);
        size_t size = 0;
        EXPECT_EQ(queue->read(data.data(), data.size(), size, 1000), platform::ERROR_SUCCESS);
        EXPECT_EQ(size, platform::BTEVENT_SIZE);
        return std::pair{platform::RilWord(data, 0), platform::RilWord(data, 8)};
    };
    services.bluetooth().setRadioMode(platform::BTH_CONNECTABLE);
    EXPECT_EQ(next(), (std::pair{300, 1}));
    services.bluetooth().setRadioMode(platform::BTH_DISCOVERABLE);
    EXPECT_EQ(next(), (std::pair{302, 2}));
    services.bluetooth().setRadioMode(platform::BTH_POWER_OFF);
    EXPECT_EQ(next(), (std::pair{301, 0}));
    EXPECT_EQ(services.bluetooth().setRadioMode(3), platform::ERROR_INVALID_PARAMETER);
    services.bluetooth().stopNotifications(handle);
    services.bluetooth().setRadioMode(platform::BTH_CONNECTABLE);
    EXPECT_EQ(queue->pending(), 0u);

    // The stored band counts only when the radio starts.
    CSimPhone phone(services.home(), services.registry(), false);
    services.registry().setDword(RegRoot::LocalMachine, CSimPhone::kBandKey, CSimPhone::kBandValue, 2);
    EXPECT_EQ(phone.state().band, 0u);
    phone.setRadio(false);
    phone.setRadio(true);
    EXPECT_EQ(phone.state().band, 2u);
}

TEST(SimDevicesTest, SmsNeedsTheTextProtocolsProviderDataAndTheNetwork) {
    TempHome home;
    auto& sms = home.services().sms();
    platform::SmsHandle handle = 0;
    EXPECT_EQ(sms.open("Some Other Protocol", platform::SMS_MODE_SEND, handle),
              platform::SMS_E_INVALIDPROTOCOL);
    ASSERT_EQ(sms.open(platform::SMS_MSGTYPE_TEXT, platform::SMS_MODE_SEND, handle), platform::ERROR_SUCCESS);
    const std::vector<uint8_t> text{'H', 0, 'i', 0};
    std::vector<uint8_t> provider(platform::SMS_TEXT_PROVIDER_DATA_SIZE, 0);
    provider[platform::SMS_PROVIDER_MESSAGE_CLASS_OFFSET] = 1;
    uint32_t id = 0;
    struct Row {
        std::string number;
        std::vector<uint8_t> data;
        std::vector<uint8_t> provider;
        platform::Result result;
    };
    const Row rows[] = {
        {"+34600999888", text, provider, platform::ERROR_SUCCESS},
        {"+34600999888", text, std::vector<uint8_t>(100, 0), platform::SMS_E_INVALIDDATA},
        {"+34600999888", {'H', 0, 'i'}, provider, platform::SMS_E_INVALIDDATA},
        {"six hundred", text, provider, platform::SMS_E_INVALIDDATA},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(sms.send(handle, {platform::SMSAT_UNKNOWN, row.number}, row.data, row.provider, 0, 0, id),
                  row.result)
            << row.number;
    }
    CSimPhone phone(home.services().home(), home.services().registry(), false);
    phone.setRadio(false);
    EXPECT_EQ(sms.send(handle, {platform::SMSAT_UNKNOWN, "+34600999888"}, text, provider, 0, 0, id),
              platform::SMS_E_NOSERVICE);
    sms.close(handle);
    auto outbox = CSimPhone::loadOutbox(home.services().home());
    ASSERT_EQ(outbox.size(), 1u);
    EXPECT_EQ(outbox[0].text, "Hi");
}

}  // namespace

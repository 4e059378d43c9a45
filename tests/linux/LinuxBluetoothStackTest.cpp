#include <gtest/gtest.h>

#include "NetBench.h"
#include "platform/linux/CLinuxBluetoothStack.h"

namespace {

using platform::lnx::CLinuxBluetoothStack;

const QString kBluez = QStringLiteral("org.bluez");
const QString kAdapterPath = QStringLiteral("/org/bluez/hci0");
const QString kAdapter = QStringLiteral("org.bluez.Adapter1");

// The event id and the mode of the next event in the queue; {0, 0} when none comes.
std::pair<uint32_t, uint32_t> nextEvent(platform::IMsgQueue& queue) {
    std::vector<uint8_t> buffer(platform::BTEVENT_SIZE);
    size_t size = 0;
    if (queue.read(buffer.data(), buffer.size(), size, 3000) != platform::ERROR_SUCCESS ||
        size != platform::BTEVENT_SIZE) {
        return {0, 0};
    }
    auto word = [&](size_t offset) {
        return static_cast<uint32_t>(buffer[offset]) | static_cast<uint32_t>(buffer[offset + 1]) << 8 |
               static_cast<uint32_t>(buffer[offset + 2]) << 16 |
               static_cast<uint32_t>(buffer[offset + 3]) << 24;
    };
    return {word(0), word(8)};
}

// The radio mode set by the program reaches the mocked adapter (Powered, Discoverable, Pairable),
// reads back, and every change, also one made from outside, arrives in the queue as the stack
// event for that change.
TEST(LinuxBluetoothStackTest, ModeReachesTheAdapterAndChangesArriveAsStackEvents) {
    NetBench bench;
    if (!bench.why().empty()) {
        GTEST_SKIP() << bench.why();
    }
    ASSERT_TRUE(bench.bus().startTemplate("bluez5", kBluez.toStdString())) << bench.bus().mockOutput();
    ASSERT_EQ(bench.addAdapter().type(), QDBusMessage::ReplyMessage);
    bench.setProperty(kBluez, kAdapterPath, kAdapter, QStringLiteral("Pairable"), false);

    CLinuxBluetoothStack stack(bench.thread());
    ASSERT_EQ(stack.unavailableReason(), "");
    platform::MsgQueueOptions options;
    options.maxMessageSize = platform::BTEVENT_SIZE;
    auto queue = bench.home().services().queues().open("bt-events", options);
    platform::BtNotificationHandle handle = 0;
    ASSERT_EQ(stack.requestNotifications(platform::BTE_CLASS_STACK, queue, handle), platform::ERROR_SUCCESS);

    struct Row {
        const char* what;
        bool outside;  // set on the adapter by someone else
        uint32_t mode;
        uint32_t event;
        bool powered;
        bool discoverable;
    };
    // The adapter starts powered and not discoverable: connectable.
    const Row rows[] = {
        {"discoverable", false, platform::BTH_DISCOVERABLE, platform::BTE_STACK_MODE, true, true},
        {"off", false, platform::BTH_POWER_OFF, platform::BTE_STACK_DOWN, false, false},
        {"connectable from off", false, platform::BTH_CONNECTABLE, platform::BTE_STACK_UP, true, false},
        {"outside off", true, platform::BTH_POWER_OFF, platform::BTE_STACK_DOWN, false, false},
        {"outside on", true, platform::BTH_CONNECTABLE, platform::BTE_STACK_UP, true, false},
        {"discoverable again", false, platform::BTH_DISCOVERABLE, platform::BTE_STACK_MODE, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.outside) {
            bench.setProperty(kBluez, kAdapterPath, kAdapter, QStringLiteral("Powered"), row.powered);
        } else {
            EXPECT_EQ(stack.setRadioMode(row.mode), platform::ERROR_SUCCESS);
        }
        EXPECT_EQ(nextEvent(*queue), std::make_pair(row.event, row.mode));
        uint32_t mode = 99;
        EXPECT_EQ(stack.getRadioMode(mode), platform::ERROR_SUCCESS);
        EXPECT_EQ(mode, row.mode);
        EXPECT_EQ(bench.property(kBluez, kAdapterPath, kAdapter, QStringLiteral("Powered")).toBool(),
                  row.powered);
        if (row.powered) {  // off, Discoverable does not count
            EXPECT_EQ(bench.property(kBluez, kAdapterPath, kAdapter, QStringLiteral("Discoverable")).toBool(),
                      row.discoverable);
        }
    }
    // Discoverable makes the adapter pairable too.
    EXPECT_TRUE(bench.property(kBluez, kAdapterPath, kAdapter, QStringLiteral("Pairable")).toBool());
    EXPECT_EQ(queue->pending(), 0u);  // one event per change, none for the steps within one

    EXPECT_EQ(stack.setRadioMode(3), platform::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(stack.stopNotifications(handle), platform::ERROR_SUCCESS);
    EXPECT_EQ(stack.stopNotifications(handle), platform::ERROR_INVALID_HANDLE);
    EXPECT_EQ(stack.setRadioMode(platform::BTH_CONNECTABLE), platform::ERROR_SUCCESS);
    EXPECT_EQ(nextEvent(*queue), std::make_pair(0u, 0u));  // no longer registered
    EXPECT_EQ(stack.requestNotifications(0, queue, handle), platform::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(stack.requestNotifications(platform::BTE_CLASS_STACK, nullptr, handle),
              platform::ERROR_INVALID_PARAMETER);
}

// Without BlueZ, or with BlueZ but no adapter, the stack does not answer and says why.
TEST(LinuxBluetoothStackTest, MissingServiceOrAdapterIsNotReady) {
    NetBench bench;
    if (!bench.why().empty()) {
        GTEST_SKIP() << bench.why();
    }
    struct Row {
        const char* what;
        bool service;
        const char* reason;
    };
    const Row rows[] = {
        {"no BlueZ", false, "BlueZ (org.bluez) not available: the service is not running"},
        {"no adapter", true, "BlueZ (org.bluez) not available: no object with org.bluez.Adapter1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        if (row.service) {
            ASSERT_TRUE(bench.bus().startTemplate("bluez5", kBluez.toStdString()))
                << bench.bus().mockOutput();
        }
        CLinuxBluetoothStack stack(bench.thread());
        EXPECT_EQ(stack.unavailableReason(), row.reason);
        uint32_t mode = 7;
        EXPECT_EQ(stack.getRadioMode(mode), platform::ERROR_NOT_READY);
        EXPECT_EQ(mode, 0u);
        EXPECT_EQ(stack.setRadioMode(platform::BTH_DISCOVERABLE), platform::ERROR_NOT_READY);
    }
}

}  // namespace

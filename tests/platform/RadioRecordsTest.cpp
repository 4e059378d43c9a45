// The radio records and notifications, and the Bluetooth stack events, that both backends share.
#include <gtest/gtest.h>

#include <vector>

#include "platform/CBtStackEvents.h"
#include "platform/RadioRecords.h"

namespace {

using platform::RadioSnapshot;

// Which notifications a change gives, in order, and what they carry.
TEST(RadioRecordsTest, NotificationsForAChange) {
    constexpr uint32_t kLoc = platform::RIL_NOTIFY_LOCATIONUPDATE;
    constexpr uint32_t kSig = platform::RIL_NOTIFY_SIGNALQUALITY;
    const RadioSnapshot on{true, true, 100, 1000, -80, -113, -51};
    auto with = [](RadioSnapshot s, auto change) {
        change(s);
        return s;
    };
    struct Row {
        const char* what;
        RadioSnapshot before, after;
        bool otherRadio;
        std::vector<uint32_t> codes;
    };
    const Row rows[] = {
        {"nothing changed", on, on, false, {}},
        {"the same cell on another radio", on, on, true, {kLoc}},
        {"new area", on, with(on, [](auto& s) { s.lac = 7; }), false, {kLoc}},
        {"coverage lost", on, with(on, [](auto& s) { s.cell = s.lac = 0; }), false, {kLoc}},
        {"radio back on, flag still registered",
         with(on, [](auto& s) { s.radioOn = false; }),
         on,
         false,
         {kLoc}},
        {"range only", on, with(on, [](auto& s) { s.signalMax = -40; }), false, {kSig}},
        {"cell and signal",
         on,
         with(on,
              [](auto& s) {
                  s.cell = 5;
                  s.signal = -90;
              }),
         false,
         {kLoc, kSig}},
        {"unregistered", on, with(on, [](auto& s) { s.registered = false; }), false, {}},
        {"radio off", on, with(on, [](auto& s) { s.radioOn = false; }), true, {}},
    };
    for (const Row& row : rows) {
        std::vector<uint32_t> codes;
        for (const auto& [code, data] : platform::radioNotifications(row.before, row.after, row.otherRadio)) {
            codes.push_back(code);
            if (code == kLoc) {
                EXPECT_EQ(platform::RilWord(data, 4), row.after.lac) << row.what;
                EXPECT_EQ(platform::RilWord(data, 8), row.after.cell) << row.what;
            } else {
                EXPECT_EQ(platform::RilWord(data, 16), row.after.signalMax) << row.what;
            }
        }
        EXPECT_EQ(codes, row.codes) << row.what;
    }
}

// Answers need the radio on (and registered on a known cell for the serving cell).
TEST(RadioRecordsTest, AnswersNeedTheRadio) {
    const RadioSnapshot on{true, true, 100, 1000, -80, -113, -51};
    struct Row {
        const char* what;
        RadioSnapshot s;
        uint32_t cellCode, signalCode;
    };
    const Row rows[] = {
        {"on", on, platform::RIL_RESULT_OK, platform::RIL_RESULT_OK},
        {"off but flagged registered", RadioSnapshot{false, true, 100, 1000}, platform::RIL_RESULT_ERROR,
         platform::RIL_RESULT_ERROR},
        {"no coverage", RadioSnapshot{true, true, 0, 0}, platform::RIL_RESULT_ERROR, platform::RIL_RESULT_OK},
    };
    for (const Row& row : rows) {
        uint32_t cell = platform::RIL_RESULT_ERROR, signal = platform::RIL_RESULT_ERROR;
        std::vector<uint8_t> cellData, signalData;
        platform::answerCellTower(row.s, cell, cellData);
        platform::answerSignalQuality(row.s, signal, signalData);
        EXPECT_EQ(cell, row.cellCode) << row.what;
        EXPECT_EQ(signal, row.signalCode) << row.what;
        EXPECT_EQ(cellData.empty(), cell != platform::RIL_RESULT_OK) << row.what;
    }
}

TEST(RadioRecordsTest, StackEventForAModeChange) {
    using platform::BTH_CONNECTABLE, platform::BTH_DISCOVERABLE, platform::BTH_POWER_OFF;
    struct Row {
        uint32_t before, after, event;
    };
    const Row rows[] = {
        {BTH_POWER_OFF, BTH_POWER_OFF, 0},
        {BTH_POWER_OFF, BTH_CONNECTABLE, platform::BTE_STACK_UP},
        {BTH_POWER_OFF, BTH_DISCOVERABLE, platform::BTE_STACK_UP},
        {BTH_DISCOVERABLE, BTH_POWER_OFF, platform::BTE_STACK_DOWN},
        {BTH_CONNECTABLE, BTH_DISCOVERABLE, platform::BTE_STACK_MODE},
        {BTH_DISCOVERABLE, BTH_CONNECTABLE, platform::BTE_STACK_MODE},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(platform::CBtStackEvents::eventFor(row.before, row.after), row.event)
            << row.before << " -> " << row.after;
    }
}

}  // namespace

#include <gtest/gtest.h>

#include "platform/linux/CLinuxModem.h"
#include "platform/linux/CLinuxRadioInterface.h"
#include "platform/linux/CLinuxSim.h"
#include "platform/linux/CLinuxSms.h"

namespace {

using platform::lnx::CLinuxModem;
using platform::lnx::CLinuxRadioInterface;
using platform::lnx::CLinuxSms;

// The 3GPP location text of the modem service into area and cell: hexadecimal fields, the
// tracking area of an LTE cell, and every malformed text refused.
TEST(ModemRecordsTest, ReadsThe3gppLocationText) {
    struct Row {
        const char* text;
        bool ok;
        int32_t lac;
        int32_t cell;
    };
    const Row rows[] = {
        {"214,07,64,3E8", true, 100, 1000},
        {"214,07,1A2B,C0DE", true, 0x1A2B, 0xC0DE},
        {"310,260,1a2b,c0de", true, 0x1A2B, 0xC0DE},
        {"214,07,0,1A2B3C4,2F", true, 0x2F, 0x1A2B3C4},  // LTE: no LAC, the tracking area
        {"214,07,12,1A2B3C4,2F", true, 0x12, 0x1A2B3C4},
        {"214,07,0,0", true, 0, 0},          // no coverage
        {"214,07,FFFFFFFF,1", false, 0, 0},  // beyond the area codes the phone keeps
        {"214,07,64", false, 0, 0},
        {"214,07,64,3E8,1,2", false, 0, 0},
        {"214,07,,3E8", false, 0, 0},
        {"214,07,G4,3E8", false, 0, 0},
        {"21A,07,64,3E8", false, 0, 0},
        {"214,07,123456789,3E8", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const auto& row : rows) {
        int32_t lac = -1;
        int32_t cell = -1;
        EXPECT_EQ(CLinuxModem::parse3gppLocation(row.text, lac, cell), row.ok) << row.text;
        if (row.ok) {
            EXPECT_EQ(lac, row.lac) << row.text;
            EXPECT_EQ(cell, row.cell) << row.text;
        }
    }
}

// Which modem states count as radio on and registered.
TEST(ModemRecordsTest, RadioAndRegistrationFromTheModemState) {
    struct Row {
        bool present;
        int32_t modemState;
        bool has3gpp;
        uint32_t registration;
        bool radioOn;
        bool registered;
    };
    const Row rows[] = {
        {true, 8, true, 1, true, true},     // registered, home
        {true, 11, true, 5, true, true},    // connected, roaming
        {true, 6, true, 2, true, false},    // enabled, searching
        {true, 7, true, 3, true, false},    // searching, denied
        {true, 3, true, 1, false, false},   // disabled: a stale registration does not count
        {true, 2, true, 0, false, false},   // locked
        {true, 4, true, 1, false, false},   // disabling
        {true, 5, true, 0, false, false},   // enabling
        {true, -1, true, 0, false, false},  // failed
        {true, 8, false, 4, true, true},    // no 3GPP interface: the modem state decides
        {true, 6, false, 4, true, false},  {true, 8, true, 6, true, true},  // home, SMS only
        {false, 8, true, 1, false, false},
    };
    for (const auto& row : rows) {
        CLinuxModem::State s;
        s.present = row.present;
        s.modemState = row.modemState;
        s.has3gpp = row.has3gpp;
        s.registration = row.registration;
        EXPECT_EQ(s.radioOn(), row.radioOn) << row.modemState << "/" << row.registration;
        EXPECT_EQ(s.registered(), row.registered) << row.modemState << "/" << row.registration;
    }
}

// The notifications a change of the modem gives, as the phone's radio gives them.
TEST(ModemRecordsTest, NotificationsForChangesOfTheModem) {
    CLinuxModem::State on;
    on.present = true;
    on.path = "/org/freedesktop/ModemManager1/Modem/0";
    on.modemState = CLinuxModem::kStateRegistered;
    on.has3gpp = true;
    on.registration = 1;
    on.lac = 100;
    on.cell = 1000;
    on.signalPercent = 60;
    CLinuxModem::State off = on;
    off.modemState = CLinuxModem::kStateDisabled;
    off.registration = 0;
    auto with = [](CLinuxModem::State s, auto change) {
        change(s);
        return s;
    };
    constexpr uint32_t kLoc = platform::RIL_NOTIFY_LOCATIONUPDATE;
    constexpr uint32_t kSig = platform::RIL_NOTIFY_SIGNALQUALITY;
    struct Row {
        const char* what;
        CLinuxModem::State before;
        CLinuxModem::State after;
        std::vector<uint32_t> codes;
        int32_t lac;
        int32_t cell;
    };
    const std::vector<Row> rows = {
        {"new cell", on, with(on, [](auto& s) { s.cell = 2000; }), {kLoc}, 100, 2000},
        {"new area", on, with(on, [](auto& s) { s.lac = 7; }), {kLoc}, 7, 1000},
        {"coverage lost", on, with(on, [](auto& s) { s.lac = s.cell = 0; }), {kLoc}, 0, 0},
        {"radio on", off, on, {kLoc}, 100, 1000},
        {"registered again", with(on, [](auto& s) { s.registration = 2; }), on, {kLoc}, 100, 1000},
        {"signal", on, with(on, [](auto& s) { s.signalPercent = 20; }), {kSig}, 0, 0},
        {"cell and signal",
         on,
         with(on,
              [](auto& s) {
                  s.cell = 5;
                  s.signalPercent = 1;
              }),
         {kLoc, kSig},
         100,
         5},
        {"radio off", on, off, {}, 0, 0},
        {"cell while off", off, with(off, [](auto& s) { s.cell = 9; }), {}, 0, 0},
        {"signal as the radio comes on",
         with(off, [](auto& s) { s.signalPercent = 0; }),
         on,
         {kLoc},
         100,
         1000},
        {"operator only", on, with(on, [](auto& s) { s.operatorName = "Other"; }), {}, 0, 0},
        {"searching", on, with(on, [](auto& s) { s.registration = 2; }), {}, 0, 0},
    };
    for (const auto& row : rows) {
        auto out = CLinuxRadioInterface::notificationsFor(row.before, row.after);
        std::vector<uint32_t> codes;
        for (const auto& [code, data] : out) {
            codes.push_back(code);
            if (code == kLoc) {
                EXPECT_EQ(platform::RilWord(data, 4), row.lac) << row.what;
                EXPECT_EQ(platform::RilWord(data, 8), row.cell) << row.what;
            } else {
                EXPECT_EQ(platform::RilWord(data, 8), static_cast<int32_t>(row.after.signalPercent))
                    << row.what;
            }
        }
        EXPECT_EQ(codes, row.codes) << row.what;
    }
}

// Destination numbers and texts of the SMS library, and the wrong PIN told apart.
TEST(ModemRecordsTest, NumbersTextsAndPinErrors) {
    struct Number {
        const char* number;
        bool valid;
    };
    const Number numbers[] = {{"+34600111222", true}, {"600111222", true},
                              {"*111#", true},        {"", false},
                              {"34+600", false},      {"600 111", false},
                              {"abc", false},         {"12345678901234567890123456789012345678901", false}};
    for (const auto& n : numbers) {
        EXPECT_EQ(CLinuxSms::validPhoneNumber(n.number), n.valid) << n.number;
    }
    struct Text {
        std::vector<uint8_t> utf16;
        std::string utf8;
    };
    const Text texts[] = {
        {{'H', 0, 'i', 0}, "Hi"},
        {{0xF1, 0x00, 0xAC, 0x20}, "\xC3\xB1\xE2\x82\xAC"},  // ñ €
        {{0x3D, 0xD8, 0x00, 0xDE}, "\xF0\x9F\x98\x80"},      // a pair of surrogates
        {{0x3D, 0xD8, 'a', 0},
         "\xEF\xBF\xBD"
         "a"},                 // a lone high surrogate
        {{'a', 0, 'b'}, "a"},  // an odd byte is dropped
    };
    for (const auto& t : texts) {
        EXPECT_EQ(CLinuxSms::fromUtf16(t.utf16), t.utf8);
    }
    EXPECT_EQ(
        platform::lnx::CLinuxSim::unlockError(
            "org.freedesktop.ModemManager1.Error.MobileEquipment.IncorrectPassword: incorrect password"),
        platform::SIM_E_INCORRECTPASSWORD);
    EXPECT_EQ(platform::lnx::CLinuxSim::unlockError("org.freedesktop.ModemManager1.Error.Core.WrongState: x"),
              platform::ERROR_GEN_FAILURE);
}

}  // namespace

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusObjectPath>
#include <atomic>
#include <memory>
#include <mutex>

#include "platform/CMessageQueues.h"
#include "platform/CSqliteRegistry.h"
#include "platform/linux/CDBusThread.h"
#include "platform/linux/CLinuxModem.h"
#include "platform/linux/CLinuxRadioInterface.h"
#include "platform/linux/CLinuxSim.h"
#include "platform/linux/CLinuxSms.h"
#include "platform/linux/CLinuxTelephony.h"
#include "support/PrivateBus.h"
#include "support/TempHome.h"

namespace {

using platform::lnx::CDBusThread;
using platform::lnx::CLinuxModem;

const QString kService = QStringLiteral("org.freedesktop.ModemManager1");
const QString kManager = QStringLiteral("/org/freedesktop/ModemManager1");
const QString kModem0 = QStringLiteral("/org/freedesktop/ModemManager1/Modem/0");
const std::string kTemplate = std::string(ZENTROVA_SOURCE_DIR) + "/tests/linux/modemmanager.py";
constexpr uint32_t kMissing = 0xFFFFFFFF;

// A private bus with the mocked modem service (or none), a registry of the test's own and the
// modem object over them.
class ModemRig {
  public:
    ModemRig() : _bus(_home.root() / "bus") {}
    ~ModemRig() {
        modem.reset();
        _thread.reset();
    }

    // Empty when the bus runs; starts the mock with `parameters` unless null.
    std::string start(const char* parameters) {
        if (!_bus.why().empty()) {
            return _bus.why();
        }
        if (parameters && !_bus.startTemplate(kTemplate, kService.toStdString(), parameters)) {
            return "the mocked modem service did not start: " + _bus.mockOutput();
        }
        _bus.exportEnvironment();
        _app = std::make_unique<QCoreApplication>(_argc, nullptr);
        _thread = std::make_unique<CDBusThread>();
        modem = std::make_shared<CLinuxModem>(*_thread, registry);
        return {};
    }
    bool startMock(const char* parameters) {
        return _bus.startTemplate(kTemplate, kService.toStdString(), parameters);
    }

    // A helper of the mock (org.freedesktop.DBus.Mock on the manager object).
    QDBusMessage mock(const char* member, const QList<QVariant>& args = {}) {
        return _thread->call(CDBusThread::Bus::System, kService, kManager,
                             QStringLiteral("org.freedesktop.DBus.Mock"), QString::fromLatin1(member), args);
    }
    QVariant modemProperty(const char* interface, const char* name) {
        return _thread->property(CDBusThread::Bus::System, kService, kModem0, QString::fromLatin1(interface),
                                 QString::fromLatin1(name));
    }
    uint32_t phoneValue(const char* name) {
        uint32_t v = 0;
        return registry.getDword(platform::RegRoot::LocalMachine, CLinuxModem::kPhoneKey, name, v) ==
                       platform::ERROR_SUCCESS
                   ? v
                   : kMissing;
    }
    std::string output() const { return _bus.mockOutput(); }

  private:
    TempHome _home;
    PrivateBus _bus;
    int _argc = 0;
    std::unique_ptr<QCoreApplication> _app;
    platform::CMessageQueues _queues{_home.services().clock()};

  public:
    platform::CSqliteRegistry registry{_home.root() / "linux-registry.db", _queues};

  private:
    std::unique_ptr<CDBusThread> _thread;

  public:
    std::shared_ptr<CLinuxModem> modem;
};

// What the radio interface answered and told, collected from its thread.
struct RilLog {
    std::mutex lock;
    std::map<long, std::pair<uint32_t, std::vector<uint8_t>>> replies;
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> notes;

    platform::RilResultCallback result() {
        return [this](uint32_t code, long id, const std::vector<uint8_t>& data) {
            std::lock_guard l(lock);
            replies[id] = {code, data};
        };
    }
    platform::RilNotifyCallback notify() {
        return [this](uint32_t code, const std::vector<uint8_t>& data) {
            std::lock_guard l(lock);
            notes.emplace_back(code, data);
        };
    }
    // Waits for the reply to `id`.
    std::pair<uint32_t, std::vector<uint8_t>> reply(long id) {
        WaitUntil([&] {
            std::lock_guard l(lock);
            return replies.count(id) != 0;
        });
        std::lock_guard l(lock);
        return replies.count(id) ? replies[id] : std::pair<uint32_t, std::vector<uint8_t>>{0, {}};
    }
    // Whether a location update of that cell comes, among the notifications from index `from` on.
    bool heardCell(int32_t lac, int32_t cell, size_t from = 0) {
        return WaitUntil([&] {
            std::lock_guard l(lock);
            for (size_t i = from; i < notes.size(); ++i) {
                const auto& [code, data] = notes[i];
                if (code == platform::RIL_NOTIFY_LOCATIONUPDATE && platform::RilWord(data, 4) == lac &&
                    platform::RilWord(data, 8) == cell) {
                    return true;
                }
            }
            return false;
        });
    }
};

// LINE_REPLY results of a telephony line by request id.
struct LineLog {
    std::mutex lock;
    std::map<long, long> results;
    platform::LineCallback callback() {
        return [this](uint32_t, uint32_t message, uintptr_t, uintptr_t id, uintptr_t result, uintptr_t) {
            if (message == platform::LINE_REPLY) {
                std::lock_guard l(lock);
                results[static_cast<long>(id)] = static_cast<long>(static_cast<int32_t>(result));
            }
        };
    }
    long result(long id) {
        WaitUntil([&] {
            std::lock_guard l(lock);
            return results.count(id) != 0;
        });
        std::lock_guard l(lock);
        return results.count(id) ? results[id] : 1;
    }
};

#define START_OR_SKIP(rig, parameters)              \
    do {                                            \
        std::string why_ = (rig).start(parameters); \
        if (!why_.empty()) {                        \
            if (why_.find("mocked") == 0) {         \
                FAIL() << why_;                     \
            }                                       \
            GTEST_SKIP() << why_;                   \
        }                                           \
    } while (0)

// The modem's start state reaches the phone's registry values and the SIM, whatever the mocked
// modem looks like; a service without a modem leaves the values unknown and says why.
TEST(ModemBusTest, StartStateReachesTheRegistry) {
    struct Row {
        const char* parameters;
        uint32_t status;
        bool locked;
        const char* reason;  // part of unavailableReason, empty when available
    };
    const Row rows[] = {
        {R"({"signal": 70})", 0, false, ""},
        {R"({"enabled": false})", CLinuxModem::kPhoneRadioOff, false, ""},
        {R"({"locked": true})", CLinuxModem::kPhoneRadioOff, true, ""},
        {R"({"no_modem": true})", kMissing, false, "no modem"},
    };
    for (const auto& row : rows) {
        ModemRig rig;
        START_OR_SKIP(rig, row.parameters);
        EXPECT_EQ(rig.phoneValue(CLinuxModem::kPhoneStatusValue), row.status) << row.parameters;
        EXPECT_EQ(rig.phoneValue(CLinuxModem::kCallCountValue), row.status == kMissing ? kMissing : 0u)
            << row.parameters;
        const std::string reason = rig.modem->unavailableReason();
        EXPECT_EQ(reason.empty(), std::string(row.reason).empty()) << reason;
        EXPECT_NE(reason.find(row.reason), std::string::npos) << reason;
        platform::lnx::CLinuxSim sim(rig.modem);
        platform::SimHandle handle = 0;
        ASSERT_EQ(sim.open(handle), platform::ERROR_SUCCESS);
        uint32_t locked = 99;
        EXPECT_EQ(sim.getLockedState(handle, locked),
                  row.status == kMissing ? platform::ERROR_READ_FAULT : platform::ERROR_SUCCESS);
        EXPECT_EQ(locked, row.locked ? platform::SIM_LOCKEDSTATE_SIM_PIN : platform::SIM_LOCKEDSTATE_READY);
    }
    ModemRig rig;
    START_OR_SKIP(rig, R"({"signal": 70, "operator": "Other Mobile"})");
    // The location source is set up by the modem's worker after the start.
    ASSERT_TRUE(WaitUntil([&] { return rig.modem->state().cell == 1000; })) << rig.output();
    const CLinuxModem::State s = rig.modem->state();
    EXPECT_TRUE(s.registered());
    EXPECT_EQ(s.lac, 100);
    EXPECT_EQ(s.signalPercent, 70u);
    EXPECT_EQ(s.operatorName, "Other Mobile");
    EXPECT_EQ(s.simPath.toStdString(), "/org/freedesktop/ModemManager1/SIM/0");
}

// A cell change of the mocked modem reaches the radio interface's notification with the new cell
// and area, the cell-tower request answers it, and a change of the signal is told too.
TEST(ModemBusTest, CellChangesReachTheRadioInterface) {
    ModemRig rig;
    START_OR_SKIP(rig, "{}");
    platform::lnx::CLinuxRadioInterface ril(rig.modem);
    RilLog log;
    platform::RilHandle handle = 0;
    ASSERT_EQ(ril.open(1, log.result(), log.notify(), platform::RIL_NCLASS_NETWORK_MISC, handle),
              platform::ERROR_SUCCESS);
    ASSERT_TRUE(WaitUntil([&] { return rig.modem->state().cell == 1000; })) << rig.output();
    struct Row {
        uint32_t lac;
        uint32_t cell;
    };
    const Row rows[] = {{200, 3000}, {0x1A2B, 0xC0DE}, {0xFFFE, 0x0FFFFFFF}, {200, 3000}};
    for (const auto& row : rows) {
        // Only what comes after this change counts: the last row repeats the first.
        size_t mark = 0;
        {
            std::lock_guard l(log.lock);
            mark = log.notes.size();
        }
        rig.mock("SetCell", {QVariant::fromValue(row.lac), QVariant::fromValue(row.cell)});
        EXPECT_TRUE(log.heardCell(static_cast<int32_t>(row.lac), static_cast<int32_t>(row.cell), mark))
            << row.lac << "/" << row.cell << rig.output();
        auto [code, data] = log.reply(ril.getCellTowerInfo(handle));
        EXPECT_EQ(code, platform::RIL_RESULT_OK);
        EXPECT_EQ(platform::RilWord(data, platform::RIL_CELLTOWER_LAC_OFFSET), static_cast<int32_t>(row.lac));
        EXPECT_EQ(platform::RilWord(data, platform::RIL_CELLTOWER_CELLID_OFFSET),
                  static_cast<int32_t>(row.cell));
    }
    rig.mock("SetSignal", {QVariant::fromValue(33u)});
    EXPECT_TRUE(WaitUntil([&] {
        std::lock_guard l(log.lock);
        return !log.notes.empty() && log.notes.back().first == platform::RIL_NOTIFY_SIGNALQUALITY &&
               platform::RilWord(log.notes.back().second, 8) == 33;
    }));
    auto [code, data] = log.reply(ril.getSignalQuality(handle));
    EXPECT_EQ(code, platform::RIL_RESULT_OK);
    EXPECT_EQ(platform::RilWord(data, 8), 33);
    // A closed connection hears nothing more and its handle is refused.
    EXPECT_EQ(ril.close(handle), platform::ERROR_SUCCESS);
    EXPECT_EQ(ril.getCellTowerInfo(handle), -platform::ERROR_INVALID_HANDLE);
}

// Switching the radio off and on through the telephony line reaches the mocked modem, the
// registry follows, and the radio interface answers as a radio that is off.
TEST(ModemBusTest, RadioOffAndOnReachTheModem) {
    ModemRig rig;
    START_OR_SKIP(rig, "{}");
    platform::lnx::CLinuxTelephony telephony(rig.modem);
    platform::lnx::CLinuxRadioInterface ril(rig.modem);
    LineLog lineLog;
    RilLog rilLog;
    platform::LineHandle line = 0;
    ASSERT_EQ(telephony.openLine(0, platform::LINE_API_VERSION, 0, platform::LINE_PRIVILEGE_NONE,
                                 lineLog.callback(), line),
              platform::ERROR_SUCCESS);
    platform::RilHandle ril_ = 0;
    ASSERT_EQ(ril.open(1, rilLog.result(), nullptr, 0, ril_), platform::ERROR_SUCCESS);
    struct Step {
        const char* what;
        uint32_t equipment;  // 0: register instead
        int32_t modemState;
        uint32_t status;
        uint32_t rilState;
        uint32_t towerCode;
    };
    const Step steps[] = {
        {"off", platform::LINEEQUIPSTATE_MINIMUM, CLinuxModem::kStateDisabled, CLinuxModem::kPhoneRadioOff,
         platform::RIL_EQSTATE_MINIMUM, platform::RIL_RESULT_ERROR},
        {"off again", platform::LINEEQUIPSTATE_MINIMUM, CLinuxModem::kStateDisabled,
         CLinuxModem::kPhoneRadioOff, platform::RIL_EQSTATE_MINIMUM, platform::RIL_RESULT_ERROR},
        {"on", platform::LINEEQUIPSTATE_FULL, CLinuxModem::kStateRegistered, 0, platform::RIL_EQSTATE_FULL,
         platform::RIL_RESULT_OK},
        {"register", 0, CLinuxModem::kStateRegistered, 0, platform::RIL_EQSTATE_FULL,
         platform::RIL_RESULT_OK},
    };
    for (const auto& step : steps) {
        long id = step.equipment ? telephony.setEquipmentState(line, step.equipment)
                                 : telephony.registerOnNetwork(line);
        ASSERT_GT(id, 0) << step.what;
        EXPECT_EQ(lineLog.result(id), 0) << step.what << rig.output();
        // The reply comes once the modem's state has been read again.
        EXPECT_EQ(rig.modemProperty(CLinuxModem::kModemInterface, "State").toInt(), step.modemState)
            << step.what;
        EXPECT_EQ(rig.phoneValue(CLinuxModem::kPhoneStatusValue), step.status) << step.what;
        auto [code, data] = rilLog.reply(ril.getEquipmentState(ril_));
        EXPECT_EQ(static_cast<uint32_t>(platform::RilWord(data, platform::RIL_EQUIPMENTSTATE_STATE_OFFSET)),
                  step.rilState)
            << step.what;
        EXPECT_EQ(rilLog.reply(ril.getCellTowerInfo(ril_)).first, step.towerCode) << step.what;
    }
    EXPECT_EQ(rig.modemProperty(CLinuxModem::kModemInterface, "PowerState").toUInt(), CLinuxModem::kPowerOn);
    EXPECT_EQ(telephony.setEquipmentState(line, 3), platform::LINEERR_INVALPARAM);
    EXPECT_EQ(telephony.closeLine(line), platform::ERROR_SUCCESS);
    EXPECT_EQ(telephony.setEquipmentState(line, platform::LINEEQUIPSTATE_FULL),
              platform::LINEERR_INVALLINEHANDLE);
}

// The band stored for the radio reaches the modem's access technologies when the radio comes on;
// automatic lifts the restriction again and then leaves the modem's own choice alone.
TEST(ModemBusTest, StoredBandReachesTheModemAtTheRadioStart) {
    ModemRig rig;
    START_OR_SKIP(rig, "{}");
    platform::lnx::CLinuxTelephony telephony(rig.modem);
    LineLog lineLog;
    platform::LineHandle line = 0;
    ASSERT_EQ(telephony.openLine(0, platform::LINE_API_VERSION, 0, platform::LINE_PRIVILEGE_NONE,
                                 lineLog.callback(), line),
              platform::ERROR_SUCCESS);
    auto modes = [&] {
        const QDBusArgument arg =
            rig.modemProperty(CLinuxModem::kModemInterface, "CurrentModes").value<QDBusArgument>();
        uint allowed = 0;
        uint preferred = 0;
        arg.beginStructure();
        arg >> allowed >> preferred;
        arg.endStructure();
        return std::pair<uint32_t, uint32_t>(allowed, preferred);
    };
    struct Row {
        uint32_t band;
        std::pair<uint32_t, uint32_t> modes;
    };
    const Row rows[] = {{1, {2, 0}}, {2, {4, 0}}, {0, {6, 4}}, {0, {6, 4}}, {7, {6, 4}}, {1, {2, 0}}};
    for (const auto& row : rows) {
        rig.registry.setDword(platform::RegRoot::LocalMachine, CLinuxModem::kBandKey, CLinuxModem::kBandValue,
                              row.band);
        EXPECT_EQ(lineLog.result(telephony.setEquipmentState(line, platform::LINEEQUIPSTATE_MINIMUM)), 0);
        EXPECT_EQ(lineLog.result(telephony.setEquipmentState(line, platform::LINEEQUIPSTATE_FULL)), 0)
            << rig.output();
        EXPECT_EQ(modes(), row.modes) << "band " << row.band;
        EXPECT_EQ(rig.modem->state().allowedModes, row.modes.first) << "band " << row.band;
    }
}

// A SIM waiting for its PIN: full power waits for it, a wrong PIN is told apart, the right one
// unlocks the SIM and the next registration switches the radio on.
TEST(ModemBusTest, SimUnlockAndTheRadioItHeldBack) {
    ModemRig rig;
    START_OR_SKIP(rig, R"({"locked": true, "pin": "4321"})");
    platform::lnx::CLinuxSim sim(rig.modem);
    platform::lnx::CLinuxTelephony telephony(rig.modem);
    LineLog lineLog;
    platform::LineHandle line = 0;
    ASSERT_EQ(telephony.openLine(0, platform::LINE_API_VERSION, 0, platform::LINE_PRIVILEGE_NONE,
                                 lineLog.callback(), line),
              platform::ERROR_SUCCESS);
    EXPECT_EQ(lineLog.result(telephony.setEquipmentState(line, platform::LINEEQUIPSTATE_FULL)), 0);
    EXPECT_EQ(rig.phoneValue(CLinuxModem::kPhoneStatusValue), CLinuxModem::kPhoneRadioOff);

    platform::SimHandle handle = 0;
    ASSERT_EQ(sim.open(handle), platform::ERROR_SUCCESS);
    struct Row {
        const char* pin;
        platform::Result result;
        uint32_t after;
    };
    const Row rows[] = {
        {"0000", platform::SIM_E_INCORRECTPASSWORD, platform::SIM_LOCKEDSTATE_SIM_PIN},
        {"4321", platform::ERROR_SUCCESS, platform::SIM_LOCKEDSTATE_READY},
        {"0000", platform::ERROR_SUCCESS, platform::SIM_LOCKEDSTATE_READY},  // unlocked: nothing to do
    };
    for (const auto& row : rows) {
        EXPECT_EQ(sim.unlock(handle, row.pin), row.result) << row.pin << rig.output();
        uint32_t state = 99;
        EXPECT_EQ(sim.getLockedState(handle, state), platform::ERROR_SUCCESS);
        EXPECT_EQ(state, row.after) << row.pin;
    }
    EXPECT_EQ(lineLog.result(telephony.registerOnNetwork(line)), 0) << rig.output();
    EXPECT_EQ(rig.phoneValue(CLinuxModem::kPhoneStatusValue), 0u);
    EXPECT_TRUE(rig.modem->state().registered());
    EXPECT_EQ(sim.close(handle), platform::ERROR_SUCCESS);
    EXPECT_EQ(sim.unlock(handle, "4321"), platform::ERROR_INVALID_HANDLE);
}

// Messages sent through the SMS library reach the mocked modem's messaging; bad data and a radio
// that is off are refused with the library's codes.
TEST(ModemBusTest, TextMessagesReachTheModem) {
    ModemRig rig;
    START_OR_SKIP(rig, "{}");
    platform::lnx::CLinuxSms sms(rig.modem);
    platform::SmsHandle handle = 0;
    ASSERT_EQ(sms.open(platform::SMS_MSGTYPE_TEXT, platform::SMS_MODE_SEND, handle), platform::ERROR_SUCCESS);
    const std::vector<uint8_t> provider(platform::SMS_TEXT_PROVIDER_DATA_SIZE, 0);
    auto utf16 = [](const std::u16string& text) {
        std::vector<uint8_t> out;
        for (char16_t c : text) {
            out.push_back(static_cast<uint8_t>(c));
            out.push_back(static_cast<uint8_t>(c >> 8));
        }
        return out;
    };
    struct Row {
        const char* number;
        std::u16string text;
        std::vector<uint8_t> provider;
        platform::Result result;
    };
    const Row rows[] = {
        {"+34600111222", u"Llego en 5 minutos", provider, platform::ERROR_SUCCESS},
        {"600111222", u"Ma\u00f1ana a las 8 \u20ac", provider, platform::ERROR_SUCCESS},
        {"not a number", u"x", provider, platform::SMS_E_INVALIDDATA},
        {"600111222", u"x", std::vector<uint8_t>(10, 0), platform::SMS_E_INVALIDDATA},
    };
    for (const auto& row : rows) {
        platform::SmsAddress to;
        to.address = row.number;
        uint32_t id = 0;
        EXPECT_EQ(sms.send(handle, to, utf16(row.text), row.provider, platform::SMSDE_OPTIMAL,
                           platform::SMS_OPTION_DELIVERY_NONE, id),
                  row.result)
            << row.number << rig.output();
        EXPECT_EQ(id != 0, row.result == platform::ERROR_SUCCESS);
    }
    QDBusMessage sent = rig.mock("GetSent");
    ASSERT_EQ(sent.type(), QDBusMessage::ReplyMessage) << rig.output();
    std::vector<std::pair<std::string, std::string>> messages;
    const QDBusArgument arg = sent.arguments().at(0).value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        QString number;
        QString text;
        arg.beginStructure();
        arg >> number >> text;
        arg.endStructure();
        messages.emplace_back(number.toStdString(), text.toStdString());
    }
    arg.endArray();
    const std::vector<std::pair<std::string, std::string>> expected = {{"+34600111222", "Llego en 5 minutos"},
                                                                       {"600111222",
                                                                        "Ma\xC3\xB1"
                                                                        "ana a las 8 \xE2\x82\xAC"}};
    EXPECT_EQ(messages, expected);

    // With the radio off there is no service.
    ASSERT_TRUE(rig.modem->enable(false).empty());
    platform::SmsAddress to;
    to.address = "600111222";
    uint32_t id = 0;
    EXPECT_EQ(sms.send(handle, to, utf16(u"x"), provider, 0, 0, id), platform::SMS_E_NOSERVICE);
    EXPECT_EQ(sms.close(handle), platform::ERROR_SUCCESS);
}

// Without the modem service every interface fails as a failing device does and the reason names
// the service; the service starting later, and a modem added later, are picked up.
TEST(ModemBusTest, NoServiceThenServiceAndModemLater) {
    ModemRig rig;
    START_OR_SKIP(rig, nullptr);
    EXPECT_NE(
        rig.modem->unavailableReason().find("ModemManager (org.freedesktop.ModemManager1) not available"),
        std::string::npos)
        << rig.modem->unavailableReason();
    EXPECT_EQ(rig.phoneValue(CLinuxModem::kPhoneStatusValue), kMissing);

    platform::lnx::CLinuxRadioInterface ril(rig.modem);
    platform::lnx::CLinuxTelephony telephony(rig.modem);
    platform::lnx::CLinuxSim sim(rig.modem);
    platform::lnx::CLinuxSms sms(rig.modem);
    EXPECT_EQ(ril.unavailableReason(), rig.modem->unavailableReason());
    RilLog rilLog;
    platform::RilHandle handle = 0;
    ASSERT_EQ(ril.open(1, rilLog.result(), nullptr, 0, handle), platform::ERROR_SUCCESS);
    for (long id : {ril.getCellTowerInfo(handle), ril.getSignalQuality(handle), ril.getEquipmentState(handle),
                    ril.devSpecific(handle, {1, 2, 3})}) {
        EXPECT_EQ(rilLog.reply(id).first, platform::RIL_RESULT_ERROR) << id;
    }
    LineLog lineLog;
    platform::LineHandle line = 0;
    ASSERT_EQ(telephony.openLine(0, platform::LINE_API_VERSION, 0, platform::LINE_PRIVILEGE_NONE,
                                 lineLog.callback(), line),
              platform::ERROR_SUCCESS);
    for (long id : {telephony.setEquipmentState(line, platform::LINEEQUIPSTATE_FULL),
                    telephony.setEquipmentState(line, platform::LINEEQUIPSTATE_MINIMUM),
                    telephony.registerOnNetwork(line), telephony.unregisterFromNetwork(line)}) {
        EXPECT_EQ(lineLog.result(id), platform::LINEERR_OPERATIONFAILED) << id;
    }
    platform::SimHandle simHandle = 0;
    ASSERT_EQ(sim.open(simHandle), platform::ERROR_SUCCESS);
    uint32_t state = 0;
    EXPECT_EQ(sim.getLockedState(simHandle, state), platform::ERROR_READ_FAULT);
    EXPECT_EQ(sim.unlock(simHandle, "1234"), platform::ERROR_READ_FAULT);
    platform::SmsHandle smsHandle = 0;
    ASSERT_EQ(sms.open(platform::SMS_MSGTYPE_TEXT, platform::SMS_MODE_SEND, smsHandle),
              platform::ERROR_SUCCESS);
    platform::SmsAddress to;
    to.address = "600111222";
    uint32_t id = 0;
    EXPECT_EQ(sms.send(smsHandle, to, {'x', 0},
                       std::vector<uint8_t>(platform::SMS_TEXT_PROVIDER_DATA_SIZE, 0), 0, 0, id),
              platform::SMS_E_NOSERVICE);

    // The service comes, without a modem first.
    ASSERT_TRUE(rig.startMock(R"({"no_modem": true})")) << rig.output();
    ASSERT_TRUE(WaitUntil([&] {
        return rig.modem->unavailableReason().find("no modem") != std::string::npos;
    })) << rig.modem->unavailableReason();
    rig.mock("AddModem", {QVariantMap{{"lac", 77u}, {"ci", 7777u}}});
    ASSERT_TRUE(WaitUntil([&] { return rig.modem->state().cell == 7777; })) << rig.output();
    EXPECT_EQ(rig.modem->unavailableReason(), "");
    EXPECT_EQ(rig.phoneValue(CLinuxModem::kPhoneStatusValue), 0u);
    EXPECT_EQ(rilLog.reply(ril.getCellTowerInfo(handle)).first, platform::RIL_RESULT_OK);
}

}  // namespace

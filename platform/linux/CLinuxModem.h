#pragma once

#include <QString>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/CCallbackThread.h"
#include "platform/IRegistry.h"
#include "platform/linux/CDBusThread.h"

namespace platform::lnx {

// The cellular modem as ModemManager (org.freedesktop.ModemManager1 on the system bus) shows it.
// It finds the first modem among the service's objects, follows the properties of its interfaces
// (the modem's state, power state, signal quality and lock, the 3GPP registration and operator, the
// 3GPP location source for the serving cell and area code, the voice calls) and keeps the phone's
// registry values in step: "Status" under System\State\Phone (the radio-off bit while the modem is
// not enabled) and "Active Call Count". Without a service or a modem both values are deleted, so
// that whoever reads them sees an unknown phone, and unavailableReason() says why.
//
// The radio interface, the telephony line, the SIM and the SMS library of the Linux backend work
// through one object of this class. Its requests (enable, register, PIN, messages) block the
// caller's thread for at most their time-out; property changes arrive on the bus thread and are
// told to the observers there. A service that starts later, or a modem that appears later, is
// picked up.
class CLinuxModem {
  public:
    static constexpr const char* kService = "org.freedesktop.ModemManager1";
    static constexpr const char* kManagerPath = "/org/freedesktop/ModemManager1";
    static constexpr const char* kModemInterface = "org.freedesktop.ModemManager1.Modem";
    static constexpr const char* k3gppInterface = "org.freedesktop.ModemManager1.Modem.Modem3gpp";
    static constexpr const char* kLocationInterface = "org.freedesktop.ModemManager1.Modem.Location";
    static constexpr const char* kMessagingInterface = "org.freedesktop.ModemManager1.Modem.Messaging";
    static constexpr const char* kVoiceInterface = "org.freedesktop.ModemManager1.Modem.Voice";
    static constexpr const char* kSimInterface = "org.freedesktop.ModemManager1.Sim";
    static constexpr const char* kSmsInterface = "org.freedesktop.ModemManager1.Sms";

    // The registry values kept in step (under HKEY_LOCAL_MACHINE), as the phone publishes them.
    static constexpr const char* kPhoneKey = "System\\State\\Phone";
    static constexpr const char* kPhoneStatusValue = "Status";
    static constexpr const char* kCallCountValue = "Active Call Count";
    static constexpr uint32_t kPhoneRadioOff = 0x10;
    // The network band the radio takes when it starts (0 automatic, 1 2G, 2 3G).
    static constexpr const char* kBandKey = "\\SOFTWARE\\OEM\\UMTS";
    static constexpr const char* kBandValue = "OpMode";

    // The service's numbers (its enumerations of modem states, power states, locks, registration
    // states and location sources).
    static constexpr int32_t kStateLocked = 2;
    static constexpr int32_t kStateDisabled = 3;
    static constexpr int32_t kStateEnabled = 6;
    static constexpr int32_t kStateRegistered = 8;
    static constexpr uint32_t kPowerLow = 2;
    static constexpr uint32_t kPowerOn = 3;
    static constexpr uint32_t kLockSimPin = 2;
    static constexpr uint32_t kRegistrationUnknown = 4;
    static constexpr uint32_t kLocation3gpp = 1;
    static constexpr uint32_t kModeNone = 0;
    static constexpr uint32_t kMode2g = 2;
    static constexpr uint32_t kMode3g = 4;
    static constexpr uint32_t kModeAny = 0xFFFFFFFF;

    // Time-outs of the calls, in milliseconds: the first look for the service stays short.
    static constexpr int kProbeTimeoutMs = 1000;
    static constexpr int kCallTimeoutMs = 5000;
    // Switching the radio and sending a message may take the modem a while.
    static constexpr int kSlowCallTimeoutMs = 20000;

    struct State {
        bool present = false;  // a modem was found and answers
        QString path;          // its object path
        QString simPath;       // its SIM's, empty without a SIM
        bool has3gpp = false;
        bool hasMessaging = false;
        int32_t modemState = 0;
        uint32_t powerState = 0;
        uint32_t unlockRequired = 0;
        uint32_t registration = kRegistrationUnknown;
        std::string operatorName;
        uint32_t signalPercent = 0;
        // The access technologies allowed and the one preferred (the modem's current modes).
        uint32_t allowedModes = 0;
        uint32_t preferredMode = 0;
        uint32_t locationCapabilities = 0;
        uint32_t locationEnabled = 0;
        // The serving cell and its area code from the 3GPP location; 0 when unknown.
        int32_t lac = 0;
        int32_t cell = 0;
        uint32_t calls = 0;
        bool operator==(const State&) const = default;

        // The radio is on once the modem is enabled (a locked modem is not).
        bool radioOn() const { return present && modemState >= kStateEnabled; }
        bool registered() const;
        bool simLocked() const { return present && unlockRequired == kLockSimPin; }
    };

    // Called after each change, on the thread that saw it, with the state before and after.
    // Calls come one at a time. An observer must return soon and not call this object back.
    using Observer = std::function<void(const State& before, const State& after)>;

    // Ends its observer's calls when it goes: once destroyed, the observer is not called any more.
    class Subscription {
      public:
        Subscription() = default;
        ~Subscription();
        Subscription(Subscription&& other) noexcept;
        Subscription& operator=(Subscription&& other) noexcept;
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;
        void reset();

      private:
        friend class CLinuxModem;
        Subscription(CLinuxModem* modem, uint64_t id) : _modem(modem), _id(id) {}
        CLinuxModem* _modem = nullptr;
        uint64_t _id = 0;
    };

    // Looks for the service and its modem (a short look) and writes the registry values. Both
    // references must outlive the object.
    CLinuxModem(CDBusThread& bus, IRegistry& registry);
    ~CLinuxModem();
    CLinuxModem(const CLinuxModem&) = delete;
    CLinuxModem& operator=(const CLinuxModem&) = delete;

    State state() const;
    // Empty while a modem is there; else a line naming the service and what is missing.
    std::string unavailableReason() const;
    [[nodiscard]] Subscription subscribe(Observer observer);

    // Requests to the modem; each returns empty on success, else the service's error
    // ("<error name>: <message>"). After a success the state has been read again, so that it
    // shows the change.
    std::string enable(bool on);
    std::string setPowerState(uint32_t power);
    // Registration with the operator chosen automatically.
    std::string registerOnNetwork();
    // Gives the modem the access technologies of the band stored under kBandKey: 2G only, 3G
    // only, or (automatic) any again after one of those. Nothing to do without a stored band.
    std::string applyBandSetting();
    std::string sendPin(const std::string& pin);
    // Creates a text message for `number` and sends it; `created` receives the message's path.
    // A message the modem refused to send is deleted again.
    std::string sendText(const std::string& number, const std::string& text, std::string* created = nullptr);
    // Reads everything from the service again (after a request, or when the modem came or went).
    void reload();

    // "MCC,MNC,LAC,CI" (LAC and CI in hexadecimal, a tracking area code may follow) into the area
    // and cell; an LTE cell without LAC takes the tracking area code. False for another text.
    static bool parse3gppLocation(const std::string& text, int32_t& lac, int32_t& cell);
    // The 3GPP location out of a location dictionary (source -> value) as the bus delivers it.
    static bool readLocation(const QVariant& dictionary, int32_t& lac, int32_t& cell);
    // The modes (allowed, preferred) a band setting asks of the modem; false for an unknown band.
    static bool modesForBand(uint32_t band, uint32_t& allowed, uint32_t& preferred);
    // The percentage of the signal-quality pair (percentage, recent) as the bus delivers it.
    static uint32_t readSignalQuality(const QVariant& pair);
    // Applies the properties of one of the modem's interfaces to `state`.
    static void applyProperties(State& state, const QString& interface, const QVariantMap& properties);
    // Whether a registration state counts as registered (home or roaming, SMS only included).
    static bool isRegistration(uint32_t registration);

  private:
    using Interfaces = std::map<QString, QVariantMap>;
    // Finds the modem and reads its interfaces; `reason` says why there is none.
    bool readModem(State& state, std::string& reason, int timeoutMs);
    // Runs `change` on the state, writes the registry values and tells the observers.
    void update(const std::function<void(State&)>& change, const std::string* reason = nullptr);
    void writeRegistry(const State& state);
    // Follows the modem at `path` (none: empty), from the worker.
    void follow(const QString& path);
    void propertiesChanged(const QDBusMessage& message);
    // Turns the 3GPP location source on (with location signals) and reads the location.
    void setUpLocation();
    std::string callModem(const QString& path, const char* interface, const char* member,
                          const QList<QVariant>& arguments, int timeoutMs, QDBusMessage* reply = nullptr);
    void unsubscribe(uint64_t id);

    CDBusThread& _bus;
    IRegistry& _registry;

    mutable std::mutex _lock;
    State _state;
    std::string _reason;

    std::mutex _updateLock;  // one change and its observers at a time
    bool _written = false;   // the registry values were written once (under _updateLock)
    std::mutex _observersLock;
    std::map<uint64_t, Observer> _observers;
    uint64_t _nextObserver = 1;

    CCallbackThread _worker;
    CCallbackThread::Owner _owner;
    std::mutex _followLock;  // the subscriptions below, changed on the worker only
    QString _followed;
    CDBusThread::Subscription _serviceWatch;
    CDBusThread::Subscription _modemsAdded;
    CDBusThread::Subscription _modemsRemoved;
    CDBusThread::Subscription _properties;
};

}  // namespace platform::lnx

#include "platform/linux/CLinuxModem.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QList>
#include <QStringList>
#include <algorithm>
#include <climits>

namespace platform::lnx {

namespace {

constexpr auto kSystem = CDBusThread::Bus::System;
const QString kObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const std::string kUnavailable = "ModemManager (org.freedesktop.ModemManager1) not available: ";

std::string errorText(const QDBusMessage& reply) {
    return (reply.errorName() + QStringLiteral(": ") + reply.errorMessage()).toStdString();
}

bool isDBusArgument(const QVariant& v) {
    return v.userType() == qMetaTypeId<QDBusArgument>();
}

// Hexadecimal digits (at most 8) into `value`.
bool parseHex(const std::string& text, uint32_t& value) {
    if (text.empty() || text.size() > 8) {
        return false;
    }
    value = 0;
    for (char c : text) {
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else {
            return false;
        }
        value = value * 16 + digit;
    }
    return true;
}

bool allDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The number of object paths of an "ao" value, however the bus library handed it over.
uint32_t countPaths(const QVariant& v) {
    if (isDBusArgument(v)) {
        const QDBusArgument arg = v.value<QDBusArgument>();
        uint32_t count = 0;
        arg.beginArray();
        while (!arg.atEnd()) {
            QDBusObjectPath path;
            arg >> path;
            ++count;
        }
        arg.endArray();
        return count;
    }
    if (v.canConvert<QList<QDBusObjectPath>>()) {
        return static_cast<uint32_t>(v.value<QList<QDBusObjectPath>>().size());
    }
    return static_cast<uint32_t>(v.toList().size());
}

QString objectPath(const QVariant& v) {
    QString path = v.canConvert<QDBusObjectPath>() ? v.value<QDBusObjectPath>().path() : v.toString();
    // The service says "no object" with the root path.
    return path == QStringLiteral("/") ? QString() : path;
}

}  // namespace

bool CLinuxModem::State::registered() const {
    if (!radioOn()) {
        return false;
    }
    return has3gpp ? isRegistration(registration) : modemState >= kStateRegistered;
}

bool CLinuxModem::isRegistration(uint32_t registration) {
    // Home, roaming, their SMS-only and "CSFB not preferred" forms.
    switch (registration) {
        case 1:
        case 5:
        case 6:
        case 7:
        case 9:
        case 10:
            return true;
        default:
            return false;
    }
}

bool CLinuxModem::parse3gppLocation(const std::string& text, int32_t& lac, int32_t& cell) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(',', start);
        fields.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    if (fields.size() < 4 || fields.size() > 5 || !allDigits(fields[0]) || !allDigits(fields[1])) {
        return false;
    }
    uint32_t area = 0;
    uint32_t id = 0;
    uint32_t tracking = 0;
    if (!parseHex(fields[2], area) || !parseHex(fields[3], id) ||
        (fields.size() == 5 && !parseHex(fields[4], tracking))) {
        return false;
    }
    if (area == 0) {
        area = tracking;  // LTE: the tracking area stands for the location area
    }
    if (area > static_cast<uint32_t>(INT32_MAX) || id > static_cast<uint32_t>(INT32_MAX)) {
        return false;
    }
    lac = static_cast<int32_t>(area);
    cell = static_cast<int32_t>(id);
    return true;
}

bool CLinuxModem::readLocation(const QVariant& dictionary, int32_t& lac, int32_t& cell) {
    if (!isDBusArgument(dictionary)) {
        return false;
    }
    const QDBusArgument arg = dictionary.value<QDBusArgument>();
    bool found = false;
    arg.beginMap();
    while (!arg.atEnd()) {
        uint source = 0;
        QDBusVariant value;
        arg.beginMapEntry();
        arg >> source >> value;
        arg.endMapEntry();
        if (source == kLocation3gpp) {
            found = parse3gppLocation(value.variant().toString().toStdString(), lac, cell);
        }
    }
    arg.endMap();
    return found;
}

uint32_t CLinuxModem::readSignalQuality(const QVariant& pair) {
    if (!isDBusArgument(pair)) {
        return 0;
    }
    const QDBusArgument arg = pair.value<QDBusArgument>();
    uint percent = 0;
    bool recent = false;
    arg.beginStructure();
    arg >> percent >> recent;
    arg.endStructure();
    return std::min<uint32_t>(percent, 100);
}

void CLinuxModem::applyProperties(State& s, const QString& interface, const QVariantMap& p) {
    if (interface == QLatin1String(kModemInterface)) {
        if (p.contains("State")) {
            s.modemState = p.value("State").toInt();
        }
        if (p.contains("PowerState")) {
            s.powerState = p.value("PowerState").toUInt();
        }
        if (p.contains("UnlockRequired")) {
            s.unlockRequired = p.value("UnlockRequired").toUInt();
        }
        if (p.contains("SignalQuality")) {
            s.signalPercent = readSignalQuality(p.value("SignalQuality"));
        }
        if (p.contains("CurrentModes") && isDBusArgument(p.value("CurrentModes"))) {
            const QDBusArgument modes = p.value("CurrentModes").value<QDBusArgument>();
            uint allowed = 0;
            uint preferred = 0;
            modes.beginStructure();
            modes >> allowed >> preferred;
            modes.endStructure();
            s.allowedModes = allowed;
            s.preferredMode = preferred;
        }
        if (p.contains("Sim")) {
            s.simPath = objectPath(p.value("Sim"));
        }
    } else if (interface == QLatin1String(k3gppInterface)) {
        s.has3gpp = true;
        if (p.contains("RegistrationState")) {
            s.registration = p.value("RegistrationState").toUInt();
        }
        if (p.contains("OperatorName")) {
            s.operatorName = p.value("OperatorName").toString().toStdString();
        }
    } else if (interface == QLatin1String(kLocationInterface)) {
        if (p.contains("Capabilities")) {
            s.locationCapabilities = p.value("Capabilities").toUInt();
        }
        if (p.contains("Enabled")) {
            s.locationEnabled = p.value("Enabled").toUInt();
        }
        if (p.contains("Location")) {
            int32_t lac = 0;
            int32_t cell = 0;
            // A location without the 3GPP source: the cell is not known (any more).
            readLocation(p.value("Location"), lac, cell);
            s.lac = lac;
            s.cell = cell;
        }
    } else if (interface == QLatin1String(kMessagingInterface)) {
        s.hasMessaging = true;
    } else if (interface == QLatin1String(kVoiceInterface)) {
        if (p.contains("Calls")) {
            s.calls = countPaths(p.value("Calls"));
        }
    }
}

// ---------------------------------------------------------------------------------------------

CLinuxModem::Subscription::~Subscription() {
    reset();
}

CLinuxModem::Subscription::Subscription(Subscription&& other) noexcept
    : _modem(other._modem), _id(other._id) {
    other._modem = nullptr;
}

CLinuxModem::Subscription& CLinuxModem::Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        reset();
        _modem = other._modem;
        _id = other._id;
        other._modem = nullptr;
    }
    return *this;
}

void CLinuxModem::Subscription::reset() {
    if (_modem) {
        _modem->unsubscribe(_id);
        _modem = nullptr;
    }
}

CLinuxModem::Subscription CLinuxModem::subscribe(Observer observer) {
    std::lock_guard lock(_observersLock);
    uint64_t id = _nextObserver++;
    _observers.emplace(id, std::move(observer));
    return Subscription(this, id);
}

void CLinuxModem::unsubscribe(uint64_t id) {
    // Waits for a change being told to the observers.
    std::lock_guard lock(_observersLock);
    _observers.erase(id);
}

// ---------------------------------------------------------------------------------------------

CLinuxModem::CLinuxModem(CDBusThread& bus, IRegistry& registry)
    : _bus(bus), _registry(registry), _owner(_worker.addOwner()) {
    auto reloadLater = [this](const QDBusMessage&) { _worker.post(_owner, [this] { reload(); }); };
    // The service starting or stopping, and modems coming and going.
    _serviceWatch =
        _bus.subscribe(kSystem, QStringLiteral("org.freedesktop.DBus"),
                       QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"),
                       QStringLiteral("NameOwnerChanged"), [this](const QDBusMessage& message) {
                           if (!message.arguments().isEmpty() &&
                               message.arguments().at(0).toString() == QLatin1String(kService)) {
                               _worker.post(_owner, [this] { reload(); });
                           }
                       });
    _modemsAdded = _bus.subscribe(kSystem, kService, kManagerPath, kObjectManager,
                                  QStringLiteral("InterfacesAdded"), reloadLater);
    _modemsRemoved = _bus.subscribe(kSystem, kService, kManagerPath, kObjectManager,
                                    QStringLiteral("InterfacesRemoved"), reloadLater);

    State found;
    std::string reason;
    const bool ok = readModem(found, reason, kProbeTimeoutMs);
    update([&](State& s) { s = ok ? found : State{}; }, &reason);
    follow(ok ? found.path : QString());
    if (ok) {
        // Not in the constructor's time: the location source is set up by the worker.
        _worker.post(_owner, [this] { setUpLocation(); });
    }
}

CLinuxModem::~CLinuxModem() {
    // The worker first: a reload under way may still subscribe. Then no handler runs any more.
    _worker.shutdown();
    std::lock_guard lock(_followLock);
    _properties = CDBusThread::Subscription();
    _modemsAdded = CDBusThread::Subscription();
    _modemsRemoved = CDBusThread::Subscription();
    _serviceWatch = CDBusThread::Subscription();
}

CLinuxModem::State CLinuxModem::state() const {
    std::lock_guard lock(_lock);
    return _state;
}

std::string CLinuxModem::unavailableReason() const {
    std::lock_guard lock(_lock);
    return _reason;
}

bool CLinuxModem::readModem(State& state, std::string& reason, int timeoutMs) {
    QDBusMessage reply = _bus.call(kSystem, kService, kManagerPath, kObjectManager,
                                   QStringLiteral("GetManagedObjects"), {}, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        reason = kUnavailable + errorText(reply);
        return false;
    }
    // The modems by path (in order, so that the first modem stays the first).
    std::map<QString, Interfaces> modems;
    const QDBusArgument arg = reply.arguments().at(0).value<QDBusArgument>();
    arg.beginMap();
    while (!arg.atEnd()) {
        QDBusObjectPath path;
        Interfaces interfaces;
        arg.beginMapEntry();
        arg >> path;
        arg.beginMap();
        while (!arg.atEnd()) {
            QString name;
            QVariantMap properties;
            arg.beginMapEntry();
            arg >> name >> properties;
            arg.endMapEntry();
            interfaces.emplace(name, properties);
        }
        arg.endMap();
        arg.endMapEntry();
        if (interfaces.count(kModemInterface)) {
            modems.emplace(path.path(), std::move(interfaces));
        }
    }
    arg.endMap();
    if (modems.empty()) {
        reason = kUnavailable + "no modem";
        return false;
    }
    const auto& [path, interfaces] = *modems.begin();
    state = State{};
    state.present = true;
    state.path = path;
    for (const auto& [name, properties] : interfaces) {
        applyProperties(state, name, properties);
    }
    reason.clear();
    return true;
}

void CLinuxModem::update(const std::function<void(State&)>& change, const std::string* reason) {
    std::lock_guard serial(_updateLock);
    State before;
    State after;
    {
        std::lock_guard lock(_lock);
        before = _state;
        change(_state);
        if (reason) {
            _reason = *reason;
        }
        after = _state;
    }
    const bool phoneChanged =
        before.present != after.present || before.radioOn() != after.radioOn() || before.calls != after.calls;
    if (!_written || phoneChanged) {
        _written = true;
        writeRegistry(after);
    }
    if (before == after) {
        return;
    }
    std::lock_guard lock(_observersLock);
    for (const auto& [id, observer] : _observers) {
        observer(before, after);
    }
}

void CLinuxModem::writeRegistry(const State& s) {
    constexpr auto root = RegRoot::LocalMachine;
    if (!s.present) {
        // Unknown phone: the managers read no value and report -1.
        _registry.deleteValue(root, kPhoneKey, kPhoneStatusValue);
        _registry.deleteValue(root, kPhoneKey, kCallCountValue);
        return;
    }
    _registry.setDword(root, kPhoneKey, kPhoneStatusValue, s.radioOn() ? 0u : kPhoneRadioOff);
    _registry.setDword(root, kPhoneKey, kCallCountValue, s.calls);
}

void CLinuxModem::follow(const QString& path) {
    std::lock_guard lock(_followLock);
    if (path == _followed && (_properties.active() || path.isEmpty())) {
        return;
    }
    _properties = CDBusThread::Subscription();
    _followed = path;
    if (path.isEmpty()) {
        return;
    }
    _properties =
        _bus.subscribe(kSystem, kService, path, kPropertiesInterface, QStringLiteral("PropertiesChanged"),
                       [this](const QDBusMessage& message) { propertiesChanged(message); });
}

void CLinuxModem::propertiesChanged(const QDBusMessage& message) {
    const QList<QVariant> args = message.arguments();
    if (args.size() < 2) {
        return;
    }
    const QString interface = args.at(0).toString();
    const QVariantMap changed = qdbus_cast<QVariantMap>(args.at(1));
    bool wentOn = false;
    update([&](State& s) {
        if (!s.present || s.path != message.path()) {
            return;
        }
        const bool wasOn = s.radioOn();
        applyProperties(s, interface, changed);
        wentOn = !wasOn && s.radioOn();
    });
    if (wentOn) {
        // The service gathers locations only while the modem is enabled.
        _worker.post(_owner, [this] { setUpLocation(); });
    }
}

void CLinuxModem::setUpLocation() {
    const State s = state();
    if (!s.radioOn() || (s.locationCapabilities & kLocation3gpp) == 0) {
        return;
    }
    if ((s.locationEnabled & kLocation3gpp) == 0) {
        const uint32_t sources = s.locationEnabled | kLocation3gpp;
        if (!callModem(s.path, kLocationInterface, "Setup", {QVariant::fromValue(sources), QVariant(true)},
                       kCallTimeoutMs)
                 .empty()) {
            return;
        }
        update([&](State& st) {
            if (st.path == s.path) {
                st.locationEnabled |= kLocation3gpp;
            }
        });
    }
    QDBusMessage reply;
    if (callModem(s.path, kLocationInterface, "GetLocation", {}, kCallTimeoutMs, &reply).empty() &&
        !reply.arguments().isEmpty()) {
        int32_t lac = 0;
        int32_t cell = 0;
        if (readLocation(reply.arguments().at(0), lac, cell)) {
            update([&](State& st) {
                if (st.path == s.path) {
                    st.lac = lac;
                    st.cell = cell;
                }
            });
        }
    }
}

void CLinuxModem::reload() {
    State found;
    std::string reason;
    const bool ok = readModem(found, reason, kCallTimeoutMs);
    update([&](State& s) { s = ok ? found : State{}; }, &reason);
    follow(ok ? found.path : QString());
    if (ok) {
        setUpLocation();
    }
}

std::string CLinuxModem::callModem(const QString& path, const char* interface, const char* member,
                                   const QList<QVariant>& arguments, int timeoutMs, QDBusMessage* reply) {
    if (path.isEmpty()) {
        std::string reason = unavailableReason();
        return reason.empty() ? kUnavailable + "no such object" : reason;
    }
    QDBusMessage answer = _bus.call(kSystem, kService, path, QString::fromLatin1(interface),
                                    QString::fromLatin1(member), arguments, timeoutMs);
    if (answer.type() != QDBusMessage::ReplyMessage) {
        return errorText(answer);
    }
    if (reply) {
        *reply = answer;
    }
    return {};
}

std::string CLinuxModem::enable(bool on) {
    std::string error =
        callModem(state().path, kModemInterface, "Enable", {QVariant(on)}, kSlowCallTimeoutMs);
    if (error.empty()) {
        reload();
    }
    return error;
}

std::string CLinuxModem::setPowerState(uint32_t power) {
    std::string error = callModem(state().path, kModemInterface, "SetPowerState",
                                  {QVariant::fromValue(power)}, kCallTimeoutMs);
    if (error.empty()) {
        reload();
    }
    return error;
}

std::string CLinuxModem::registerOnNetwork() {
    std::string error =
        callModem(state().path, k3gppInterface, "Register", {QVariant(QString())}, kSlowCallTimeoutMs);
    if (error.empty()) {
        reload();
    }
    return error;
}

bool CLinuxModem::modesForBand(uint32_t band, uint32_t& allowed, uint32_t& preferred) {
    preferred = kModeNone;
    switch (band) {
        case 0:
            allowed = kModeAny;
            return true;
        case 1:
            allowed = kMode2g;
            return true;
        case 2:
            allowed = kMode3g;
            return true;
        default:
            return false;
    }
}

std::string CLinuxModem::applyBandSetting() {
    uint32_t band = 0;
    uint32_t allowed = 0;
    uint32_t preferred = 0;
    if (_registry.getDword(RegRoot::LocalMachine, kBandKey, kBandValue, band) != ERROR_SUCCESS ||
        !modesForBand(band, allowed, preferred)) {
        return {};
    }
    const State s = state();
    // Automatic lifts only a restriction of ours: the modem reports the modes it chose itself.
    const bool ours = s.allowedModes == kMode2g || s.allowedModes == kMode3g;
    if (allowed == kModeAny ? !ours : (s.allowedModes == allowed && s.preferredMode == preferred)) {
        return {};
    }
    QDBusArgument modes;
    modes.beginStructure();
    modes << allowed << preferred;
    modes.endStructure();
    std::string error =
        callModem(s.path, kModemInterface, "SetCurrentModes", {QVariant::fromValue(modes)}, kCallTimeoutMs);
    if (error.empty()) {
        reload();
    }
    return error;
}

std::string CLinuxModem::sendPin(const std::string& pin) {
    std::string error = callModem(state().simPath, kSimInterface, "SendPin",
                                  {QVariant(QString::fromStdString(pin))}, kCallTimeoutMs);
    if (error.empty()) {
        reload();
    }
    return error;
}

std::string CLinuxModem::sendText(const std::string& number, const std::string& text, std::string* created) {
    const QString modem = state().path;
    QVariantMap properties{{QStringLiteral("number"), QString::fromStdString(number)},
                           {QStringLiteral("text"), QString::fromStdString(text)}};
    QDBusMessage reply;
    std::string error =
        callModem(modem, kMessagingInterface, "Create", {QVariant(properties)}, kCallTimeoutMs, &reply);
    if (!error.empty()) {
        return error;
    }
    const QString message = reply.arguments().isEmpty() ? QString() : objectPath(reply.arguments().at(0));
    if (message.isEmpty()) {
        return "the modem created no message";
    }
    if (created) {
        *created = message.toStdString();
    }
    error = callModem(message, kSmsInterface, "Send", {}, kSlowCallTimeoutMs);
    if (!error.empty()) {
        callModem(modem, kMessagingInterface, "Delete", {QVariant::fromValue(QDBusObjectPath(message))},
                  kCallTimeoutMs);
    }
    return error;
}

}  // namespace platform::lnx

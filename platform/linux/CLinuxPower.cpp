#include "platform/linux/CLinuxPower.h"

#include <strings.h>

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <algorithm>
#include <cmath>

#include "platform/linux/CLinuxWirelessDevices.h"
#include "platform/linux/NetBusHelpers.h"

namespace platform::lnx {

namespace {

const QString kUp = QString::fromLatin1(CLinuxPower::kUPower);
const QString kDisplay = QString::fromLatin1(CLinuxPower::kDisplayDevice);
const QString kDevice = QString::fromLatin1(CLinuxPower::kDeviceInterface);
const QString kLogin = QString::fromLatin1(CLinuxPower::kLogind);
const QString kLoginPath = QString::fromLatin1(CLinuxPower::kLogindPath);
const QString kLoginManager = QStringLiteral("org.freedesktop.login1.Manager");

// The power states this power manager takes without doing anything to the machine: they only
// say how idle the user is.
constexpr uint32_t kKeptStates =
    POWER_STATE_ON | POWER_STATE_IDLE | POWER_STATE_USERIDLE | POWER_STATE_BACKLIGHTON;
constexpr uint32_t kAllStates = POWER_STATE_ON | POWER_STATE_OFF | POWER_STATE_CRITICAL | POWER_STATE_BOOT |
                                POWER_STATE_IDLE | POWER_STATE_SUSPEND | POWER_STATE_UNATTENDED |
                                POWER_STATE_RESET | POWER_STATE_USERIDLE | POWER_STATE_BACKLIGHTON |
                                POWER_STATE_PASSWORD;

void applyDisplay(CLinuxPower::Battery& b, const QVariantMap& p) {
    if (p.contains(QStringLiteral("IsPresent"))) {
        b.present = p.value(QStringLiteral("IsPresent")).toBool();
    }
    if (p.contains(QStringLiteral("Percentage"))) {
        b.percentage = p.value(QStringLiteral("Percentage")).toDouble();
    }
    if (p.contains(QStringLiteral("State"))) {
        b.state = p.value(QStringLiteral("State")).toUInt();
    }
    if (p.contains(QStringLiteral("EnergyRate"))) {
        b.energyRate = p.value(QStringLiteral("EnergyRate")).toDouble();
    }
    if (p.contains(QStringLiteral("Voltage"))) {
        b.voltage = p.value(QStringLiteral("Voltage")).toDouble();
    }
}

}  // namespace

CLinuxPower::CLinuxPower(CDBusThread& bus, IRegistry& registry) : _bus(bus), _registry(registry) {
    std::string error = "the service is not running";
    if (_bus.hasService(CDBusThread::Bus::System, kUp)) {
        // Subscribed before the first reading, so that no change falls between the two.
        _subscription = _bus.subscribe(
            CDBusThread::Bus::System, kUp, QString(), QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("PropertiesChanged"), [this](const QDBusMessage& message) {
                const QList<QVariant> args = message.arguments();
                if (args.size() >= 2 && args.at(0).toString() == kDevice) {
                    changed(message.path(), qdbus_cast<QVariantMap>(args.at(1)));
                }
            });
        Battery battery;
        if (readBattery(battery, &error)) {
            _upower = true;
            std::lock_guard lock(_lock);
            _battery = battery;
            writeBattery(_battery);
        } else {
            _subscription = CDBusThread::Subscription();
        }
    }
    if (!_upower) {
        _reason = net::unavailableLine("UPower", kUp, error);
        _registry.deleteValue(RegRoot::LocalMachine, kBatteryKey, kBatteryMainValue);
    }
    error = "the service is not running";
    if (_bus.hasService(CDBusThread::Bus::System, kLogin)) {
        QDBusMessage reply = _bus.call(CDBusThread::Bus::System, kLogin, kLoginPath, kLoginManager,
                                       QStringLiteral("CanSuspend"), {}, net::kProbeTimeoutMs);
        _logind = reply.type() == QDBusMessage::ReplyMessage;
        error = net::errorText(reply);
    }
    if (!_logind) {
        _reason += (_reason.empty() ? "" : "\n") + net::unavailableLine("logind", kLogin, error);
    }
}

CLinuxPower::~CLinuxPower() {
    _subscription = CDBusThread::Subscription();
}

std::string CLinuxPower::unavailableReason() const {
    return _reason;
}

bool CLinuxPower::readBattery(Battery& battery, std::string* error) {
    QDBusMessage reply =
        _bus.call(CDBusThread::Bus::System, kUp, kDisplay, QStringLiteral("org.freedesktop.DBus.Properties"),
                  QStringLiteral("GetAll"), {kDevice}, net::kProbeTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        *error = net::errorText(reply);
        return false;
    }
    applyDisplay(battery, qdbus_cast<QVariantMap>(reply.arguments().at(0)));
    reply = _bus.call(CDBusThread::Bus::System, kUp, QStringLiteral("/org/freedesktop/UPower"), kUp,
                      QStringLiteral("EnumerateDevices"), {}, net::kProbeTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        *error = net::errorText(reply);
        return false;
    }
    std::map<QString, bool> lines;
    const QDBusArgument paths = reply.arguments().at(0).value<QDBusArgument>();
    QList<QDBusObjectPath> devices;
    paths >> devices;
    for (const QDBusObjectPath& device : devices) {
        reply = _bus.call(CDBusThread::Bus::System, kUp, device.path(),
                          QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"),
                          {kDevice}, net::kProbeTimeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            continue;  // a device that went meanwhile
        }
        QVariantMap p = qdbus_cast<QVariantMap>(reply.arguments().at(0));
        // A line-power device; one that does not tell its type but has a line is taken as one.
        bool line = p.contains(QStringLiteral("Type"))
                        ? p.value(QStringLiteral("Type")).toUInt() == kTypeLinePower
                        : p.contains(QStringLiteral("Online"));
        if (line) {
            lines[device.path()] = p.value(QStringLiteral("Online")).toBool();
        }
    }
    battery.ac = false;
    for (const auto& [path, online] : lines) {
        battery.ac = battery.ac || online;
    }
    std::lock_guard lock(_lock);
    _lines = std::move(lines);
    return true;
}

void CLinuxPower::changed(const QString& path, const QVariantMap& properties) {
    std::lock_guard lock(_lock);
    if (path == kDisplay) {
        applyDisplay(_battery, properties);
    } else if (properties.contains(QStringLiteral("Online"))) {
        _lines[path] = properties.value(QStringLiteral("Online")).toBool();
        _battery.ac = false;
        for (const auto& [line, online] : _lines) {
            _battery.ac = _battery.ac || online;
        }
    } else {
        return;
    }
    writeBattery(_battery);
}

void CLinuxPower::writeBattery(const Battery& battery) {
    if (battery.present) {
        _registry.setDword(RegRoot::LocalMachine, kBatteryKey, kBatteryMainValue, batteryValue(battery));
    } else {
        _registry.deleteValue(RegRoot::LocalMachine, kBatteryKey, kBatteryMainValue);
    }
}

uint32_t CLinuxPower::batteryValue(const Battery& battery) {
    const uint32_t percent = static_cast<uint32_t>(std::lround(std::clamp(battery.percentage, 0.0, 255.0)));
    uint32_t flags;
    if (battery.ac || battery.state == kStateCharging) {
        flags = kBatteryCharging;
    } else if (percent < 10) {
        flags = kBatteryCritical;
    } else {
        flags = percent < 40 ? kBatteryLow : kBatteryHigh;
    }
    return (percent << 16) | flags;
}

PowerStatus CLinuxPower::statusOf(const Battery& battery) {
    PowerStatus status;
    status.acLineStatus = battery.ac ? AC_LINE_ONLINE : AC_LINE_OFFLINE;
    if (!battery.present) {
        return status;
    }
    const uint32_t value = batteryValue(battery);
    status.batteryFlag = static_cast<uint8_t>(value & 0xFFFF);
    status.batteryLifePercent = static_cast<uint8_t>(value >> 16);
    // UPower's energy rate is a power in watts without a sign; the current is that power over the
    // cell voltage, negative while the battery discharges.
    const double volts = battery.voltage > 0 ? battery.voltage : kNominalVolts;
    const double milliamps = std::fabs(battery.energyRate) / volts * 1000.0;
    status.batteryCurrent =
        static_cast<int32_t>(std::lround(battery.state == kStateDischarging ? -milliamps : milliamps));
    status.batteryVoltage = static_cast<uint32_t>(std::lround(battery.voltage * 1000.0));
    return status;
}

Result CLinuxPower::SetDevicePower(const std::string& device, uint32_t flags, DevicePowerState state) {
    if ((flags & POWER_NAME) == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    // Device names are registry value names: compared without regard to case.
    if (strcasecmp(device.c_str(), CLinuxWirelessDevices::kWifiAdapter) != 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    const int level = static_cast<int>(state);
    if (level < static_cast<int>(DevicePowerState::D0) || level > static_cast<int>(DevicePowerState::D4)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!_bus.hasService(CDBusThread::Bus::System,
                         QString::fromLatin1(CLinuxWirelessDevices::kNetworkManager))) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (state == DevicePowerState::D0 || state == DevicePowerState::D4) {
        const bool on = state == DevicePowerState::D0;
        Result r = CLinuxWirelessDevices::setWirelessEnabled(_bus, on);
        return r != ERROR_SUCCESS ? r : CLinuxWirelessDevices::writeWifiValues(_registry, on);
    }
    // A low-power state of a radio that stays as it is: only the adapter's power state changes.
    QVariant enabled = net::readProperty(_bus, QString::fromLatin1(CLinuxWirelessDevices::kNetworkManager),
                                         QString::fromLatin1(CLinuxWirelessDevices::kNetworkManagerPath),
                                         QString::fromLatin1(CLinuxWirelessDevices::kNetworkManager),
                                         QStringLiteral("WirelessEnabled"), 5000);
    if (!enabled.isValid()) {
        return ERROR_READ_FAULT;
    }
    return CLinuxWirelessDevices::writeWifiValues(_registry, enabled.toBool(), static_cast<uint32_t>(level));
}

Result CLinuxPower::GetSystemPowerState(uint32_t& flags) {
    flags = 0;
    if (!_logind) {
        return ERROR_READ_FAULT;
    }
    flags = _powerState.load();
    return ERROR_SUCCESS;
}

Result CLinuxPower::SetSystemPowerState(uint32_t flags) {
    return SetSystemPowerStateEx(flags, 0);
}

Result CLinuxPower::SetSystemPowerStateEx(uint32_t flags, uint32_t /*options*/) {
    if (flags == 0 || (flags & ~kAllStates) != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!_logind) {
        return ERROR_READ_FAULT;
    }
    if ((flags & ~kKeptStates) == 0) {
        _powerState = flags;
        return ERROR_SUCCESS;
    }
    if (flags != POWER_STATE_SUSPEND) {
        return ERROR_NOT_SUPPORTED;
    }
    QDBusMessage can =
        _bus.call(CDBusThread::Bus::System, kLogin, kLoginPath, kLoginManager, QStringLiteral("CanSuspend"));
    if (can.type() != QDBusMessage::ReplyMessage || can.arguments().isEmpty()) {
        return ERROR_READ_FAULT;
    }
    const QString answer = can.arguments().at(0).toString();
    if (answer == QStringLiteral("na")) {
        return ERROR_NOT_SUPPORTED;
    }
    if (answer != QStringLiteral("yes")) {
        return ERROR_ACCESS_DENIED;  // "no", or "challenge": it would need a password
    }
    // Not interactive: the program never asks for a password in the user's face.
    QDBusMessage reply = _bus.call(CDBusThread::Bus::System, kLogin, kLoginPath, kLoginManager,
                                   QStringLiteral("Suspend"), {false});
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return net::accessDenied(reply) ? ERROR_ACCESS_DENIED : ERROR_GEN_FAILURE;
    }
    // The call returns once the machine is back (or as it goes down): it is on again.
    _powerState = POWER_STATE_ON;
    return ERROR_SUCCESS;
}

Result CLinuxPower::GetPowerStatus(PowerStatus& status) {
    status = PowerStatus{};
    if (!_upower) {
        return ERROR_READ_FAULT;
    }
    // A fresh reading, as the caller asks for one; the registry follows it.
    Battery battery;
    std::string error;
    if (!readBattery(battery, &error)) {
        return ERROR_READ_FAULT;
    }
    {
        std::lock_guard lock(_lock);
        _battery = battery;
    }
    status = statusOf(battery);
    return ERROR_SUCCESS;
}

}  // namespace platform::lnx

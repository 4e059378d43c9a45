#include "platform/linux/CLinuxWirelessDevices.h"

#include <strings.h>

#include <QDBusVariant>

#include "platform/WirelessDeviceRecord.h"
#include "platform/linux/CLinuxBluetoothStack.h"
#include "platform/linux/NetBusHelpers.h"

namespace platform::lnx {

namespace {

const QString kNm = QString::fromLatin1(CLinuxWirelessDevices::kNetworkManager);
const QString kNmPath = QString::fromLatin1(CLinuxWirelessDevices::kNetworkManagerPath);
const QString kMm = QString::fromLatin1(CLinuxWirelessDevices::kModemManager);
const QString kMmPath = QString::fromLatin1(CLinuxWirelessDevices::kModemManagerPath);
const QString kModem = QString::fromLatin1(CLinuxWirelessDevices::kModemInterface);
const QString kWirelessEnabled = QStringLiteral("WirelessEnabled");
constexpr int kCallTimeoutMs = 5000;

Result failure(const QDBusMessage& reply) {
    return net::accessDenied(reply) ? ERROR_ACCESS_DENIED : ERROR_WRITE_FAULT;
}

}  // namespace

CLinuxWirelessDevices::CLinuxWirelessDevices(CDBusThread& bus, IRegistry& registry)
    : _bus(bus), _registry(registry) {
    std::string error = "the service is not running";
    if (_bus.hasService(CDBusThread::Bus::System, kNm)) {
        // Subscribed before the first reading, so that no change falls between the two.
        _subscription = _bus.subscribeProperties(
            CDBusThread::Bus::System, kNm, kNmPath, kNm,
            [this](const QVariantMap& changed, const QStringList&) {
                if (changed.contains(kWirelessEnabled)) {
                    writeWifiValues(_registry, changed.value(kWirelessEnabled).toBool());
                }
            });
        QVariant enabled =
            net::readProperty(_bus, kNm, kNmPath, kNm, kWirelessEnabled, net::kProbeTimeoutMs, &error);
        if (enabled.isValid()) {
            _networkManager = true;
            writeWifiValues(_registry, enabled.toBool());
            return;
        }
        _subscription = CDBusThread::Subscription();
    }
    _reason = net::unavailableLine("NetworkManager", kNm, error);
    writeWifiValues(_registry, std::nullopt);
}

CLinuxWirelessDevices::~CLinuxWirelessDevices() {
    _subscription = CDBusThread::Subscription();
}

std::string CLinuxWirelessDevices::unavailableReason() const {
    return _reason;
}

Result CLinuxWirelessDevices::writeWifiValues(IRegistry& registry, std::optional<bool> on,
                                              std::optional<uint32_t> power) {
    if (!on) {
        Result a = registry.deleteValue(RegRoot::LocalMachine, kPowerStateKey, kWifiAdapter);
        Result b = registry.deleteValue(RegRoot::LocalMachine, kHardwareKey, kWifiValue);
        auto ok = [](Result r) { return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND; };
        return !ok(a) ? a : (!ok(b) ? b : ERROR_SUCCESS);
    }
    const uint32_t state = power.value_or(*on ? 0u : 4u);
    Result a = registry.setDword(RegRoot::LocalMachine, kPowerStateKey, kWifiAdapter, state);
    Result b = registry.setDword(RegRoot::LocalMachine, kHardwareKey, kWifiValue, *on ? kWifiOn : kWifiOff);
    return a != ERROR_SUCCESS ? a : b;
}

Result CLinuxWirelessDevices::setWirelessEnabled(CDBusThread& bus, bool on) {
    QDBusMessage reply =
        bus.call(CDBusThread::Bus::System, kNm, kNmPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                 QStringLiteral("Set"), {kNm, kWirelessEnabled, QVariant::fromValue(QDBusVariant(on))},
                 kCallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage ? ERROR_SUCCESS : failure(reply);
}

QString CLinuxWirelessDevices::modemPath() {
    if (!_bus.hasService(CDBusThread::Bus::System, kMm)) {
        return {};
    }
    return net::firstObjectWith(_bus, kMm, kMmPath, kModem, net::kProbeTimeoutMs);
}

uint32_t CLinuxWirelessDevices::GetWirelessDevices(std::vector<WirelessDevice>& list, uint32_t /*flags*/) {
    list.clear();
    if (_networkManager) {
        QVariant enabled = net::readProperty(_bus, kNm, kNmPath, kNm, kWirelessEnabled, kCallTimeoutMs);
        if (!enabled.isValid()) {
            return ERROR_READ_FAULT;
        }
        list.push_back(WirelessDeviceRecord(kWifiName, "Wi-Fi", enabled.toBool() ? 1 : 0, WDEVICE_WIFI));
    }
    if (QString modem = modemPath(); !modem.isEmpty()) {
        QVariant power =
            net::readProperty(_bus, kMm, modem, kModem, QStringLiteral("PowerState"), kCallTimeoutMs);
        if (!power.isValid()) {
            list.clear();
            return ERROR_READ_FAULT;
        }
        list.push_back(WirelessDeviceRecord(kPhoneName, "Phone", power.toUInt() == kModemPowerOn ? 1 : 0,
                                            WDEVICE_PHONE));
    }
    if (_bus.hasService(CDBusThread::Bus::System, QString::fromLatin1(CLinuxBluetoothStack::kService))) {
        QString adapter = net::firstObjectWith(
            _bus, QString::fromLatin1(CLinuxBluetoothStack::kService), QStringLiteral("/"),
            QString::fromLatin1(CLinuxBluetoothStack::kAdapterInterface), net::kProbeTimeoutMs);
        uint32_t mode = 0;
        if (!adapter.isEmpty()) {
            if (CLinuxBluetoothStack::readMode(_bus, adapter, mode) != ERROR_SUCCESS) {
                list.clear();
                return ERROR_READ_FAULT;
            }
            list.push_back(WirelessDeviceRecord(kBluetoothName, "Bluetooth", mode, WDEVICE_BLUETOOTH));
        }
    }
    return ERROR_SUCCESS;
}

uint32_t CLinuxWirelessDevices::ChangeRadioState(const WirelessDevice& device, uint32_t state,
                                                 uint32_t /*saveAction*/) {
    auto named = [&](const char* name) { return strcasecmp(device.name.c_str(), name) == 0; };
    switch (device.deviceType) {
        case WDEVICE_WIFI: {
            if (!named(kWifiName) || !_networkManager) {
                return ERROR_FILE_NOT_FOUND;
            }
            if (state > 1) {
                return ERROR_INVALID_PARAMETER;
            }
            Result r = setWirelessEnabled(_bus, state == 1);
            if (r == ERROR_SUCCESS) {
                // Written now as well as on the service's change, so that whoever is told of the
                // switch reads the new state.
                r = writeWifiValues(_registry, state == 1);
            }
            return static_cast<uint32_t>(r);
        }
        case WDEVICE_PHONE: {
            if (!named(kPhoneName)) {
                return ERROR_FILE_NOT_FOUND;
            }
            if (state > 1) {
                return ERROR_INVALID_PARAMETER;
            }
            QString modem = modemPath();
            if (modem.isEmpty()) {
                return ERROR_FILE_NOT_FOUND;
            }
            // Enabling powers the modem up and lets it register; disabling powers it down.
            QDBusMessage reply = _bus.call(CDBusThread::Bus::System, kMm, modem, kModem,
                                           QStringLiteral("Enable"), {state == 1}, kCallTimeoutMs);
            return static_cast<uint32_t>(reply.type() == QDBusMessage::ReplyMessage ? ERROR_SUCCESS
                                                                                    : failure(reply));
        }
        case WDEVICE_BLUETOOTH: {
            if (!named(kBluetoothName)) {
                return ERROR_FILE_NOT_FOUND;
            }
            if (state > BTH_DISCOVERABLE) {
                return ERROR_INVALID_PARAMETER;
            }
            QString adapter;
            if (_bus.hasService(CDBusThread::Bus::System,
                                QString::fromLatin1(CLinuxBluetoothStack::kService))) {
                adapter = net::firstObjectWith(
                    _bus, QString::fromLatin1(CLinuxBluetoothStack::kService), QStringLiteral("/"),
                    QString::fromLatin1(CLinuxBluetoothStack::kAdapterInterface), net::kProbeTimeoutMs);
            }
            if (adapter.isEmpty()) {
                return ERROR_FILE_NOT_FOUND;
            }
            return static_cast<uint32_t>(CLinuxBluetoothStack::writeMode(_bus, adapter, state));
        }
        default:
            return ERROR_FILE_NOT_FOUND;
    }
}

void CLinuxWirelessDevices::FreeDeviceList(std::vector<WirelessDevice>& list) {
    list.clear();
    list.shrink_to_fit();
}

}  // namespace platform::lnx

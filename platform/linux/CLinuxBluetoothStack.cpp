#include "platform/linux/CLinuxBluetoothStack.h"

#include <QDBusVariant>

#include "platform/linux/NetBusHelpers.h"

namespace platform::lnx {

namespace {

const QString kBluez = QString::fromLatin1(CLinuxBluetoothStack::kService);
const QString kAdapter = QString::fromLatin1(CLinuxBluetoothStack::kAdapterInterface);

uint32_t modeOf(bool powered, bool discoverable) {
    if (!powered) {
        return BTH_POWER_OFF;
    }
    return discoverable ? BTH_DISCOVERABLE : BTH_CONNECTABLE;
}

}  // namespace

CLinuxBluetoothStack::CLinuxBluetoothStack(CDBusThread& bus) : _bus(bus) {
    std::string error;
    if (!_bus.hasService(CDBusThread::Bus::System, kBluez)) {
        _reason = net::unavailableLine("BlueZ", kBluez, "the service is not running");
        return;
    }
    _adapter =
        net::firstObjectWith(_bus, kBluez, QStringLiteral("/"), kAdapter, net::kProbeTimeoutMs, &error);
    if (_adapter.isEmpty()) {
        _reason = net::unavailableLine("BlueZ", kBluez, error.empty() ? "no Bluetooth adapter" : error);
        return;
    }
    // Subscribed before the first reading, so that no change falls between the two.
    _subscription = _bus.subscribeProperties(
        CDBusThread::Bus::System, kBluez, _adapter, kAdapter,
        [this](const QVariantMap& properties, const QStringList&) { changed(properties); });
    QVariant powered = net::readProperty(_bus, kBluez, _adapter, kAdapter, QStringLiteral("Powered"),
                                         net::kProbeTimeoutMs, &error);
    QVariant discoverable = net::readProperty(_bus, kBluez, _adapter, kAdapter,
                                              QStringLiteral("Discoverable"), net::kProbeTimeoutMs, &error);
    if (!powered.isValid() || !discoverable.isValid()) {
        _reason = net::unavailableLine("BlueZ", kBluez, error);
        return;
    }
    std::lock_guard lock(_lock);
    _powered = powered.toBool();
    _discoverable = discoverable.toBool();
}

CLinuxBluetoothStack::~CLinuxBluetoothStack() {
    _subscription = CDBusThread::Subscription();
}

std::string CLinuxBluetoothStack::unavailableReason() const {
    return _reason;
}

Result CLinuxBluetoothStack::readMode(CDBusThread& bus, const QString& adapter, uint32_t& mode) {
    mode = 0;
    if (adapter.isEmpty()) {
        return ERROR_NOT_READY;
    }
    QVariant powered = net::readProperty(bus, kBluez, adapter, kAdapter, QStringLiteral("Powered"), 5000);
    QVariant discoverable =
        net::readProperty(bus, kBluez, adapter, kAdapter, QStringLiteral("Discoverable"), 5000);
    if (!powered.isValid() || !discoverable.isValid()) {
        return ERROR_READ_FAULT;
    }
    mode = modeOf(powered.toBool(), discoverable.toBool());
    return ERROR_SUCCESS;
}

Result CLinuxBluetoothStack::writeMode(CDBusThread& bus, const QString& adapter, uint32_t mode) {
    if (mode > BTH_DISCOVERABLE) {
        return ERROR_INVALID_PARAMETER;
    }
    if (adapter.isEmpty()) {
        return ERROR_NOT_READY;
    }
    auto set = [&](const char* name, bool value) {
        return bus.call(CDBusThread::Bus::System, kBluez, adapter,
                        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
                        {kAdapter, QString::fromLatin1(name), QVariant::fromValue(QDBusVariant(value))});
    };
    // Off is Powered alone: an adapter that is off is neither connectable nor discoverable, and
    // BlueZ clears Discoverable itself. Coming on as connectable, Discoverable is cleared before
    // the power comes, so that the adapter does not show itself for a moment (BlueZ may refuse
    // that while the adapter is off: it is cleared again once it is on). Discoverable needs the
    // power first; from off that is two changes, up and then the mode.
    struct Step {
        const char* name;
        bool value;
        bool mayFail;
    };
    std::vector<Step> steps;
    if (mode == BTH_POWER_OFF) {
        steps = {{"Powered", false, false}};
    } else if (mode == BTH_CONNECTABLE) {
        steps = {{"Discoverable", false, true}, {"Powered", true, false}, {"Discoverable", false, false}};
    } else {
        steps = {{"Powered", true, false}, {"Pairable", true, false}, {"Discoverable", true, false}};
    }
    for (const Step& step : steps) {
        QDBusMessage reply = set(step.name, step.value);
        if (reply.type() != QDBusMessage::ReplyMessage && !step.mayFail) {
            return net::accessDenied(reply) ? ERROR_ACCESS_DENIED : ERROR_WRITE_FAULT;
        }
    }
    return ERROR_SUCCESS;
}

Result CLinuxBluetoothStack::getRadioMode(uint32_t& mode) {
    return readMode(_bus, _adapter, mode);
}

Result CLinuxBluetoothStack::setRadioMode(uint32_t mode) {
    if (mode > BTH_DISCOVERABLE) {
        return ERROR_INVALID_PARAMETER;
    }
    return writeMode(_bus, _adapter, mode);
}

Result CLinuxBluetoothStack::requestNotifications(uint32_t classes, std::shared_ptr<IMsgQueue> queue,
                                                  BtNotificationHandle& handle) {
    return _events.add(classes, std::move(queue), handle);
}

Result CLinuxBluetoothStack::stopNotifications(BtNotificationHandle handle) {
    return _events.remove(handle);
}

void CLinuxBluetoothStack::changed(const QVariantMap& properties) {
    std::lock_guard lock(_lock);
    const uint32_t before = modeOf(_powered, _discoverable);
    if (properties.contains(QStringLiteral("Powered"))) {
        _powered = properties.value(QStringLiteral("Powered")).toBool();
    }
    if (properties.contains(QStringLiteral("Discoverable"))) {
        _discoverable = properties.value(QStringLiteral("Discoverable")).toBool();
    }
    const uint32_t after = modeOf(_powered, _discoverable);
    _events.deliver(CBtStackEvents::eventFor(before, after), after);
}

}  // namespace platform::lnx

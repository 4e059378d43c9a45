#include "platform/Services.h"

#include <atomic>
#include <string>

#include "platform/CPolicyMessageBoxes.h"
#include "platform/PlatformError.h"

namespace platform {

namespace {
std::atomic<Services*> g_current{nullptr};
}

Services::Services(CHome home, Parts parts) : _home(std::move(home)), _parts(std::move(parts)) {}

Services::~Services() {
    // Notifications first: at exit they may hand pending triggers on and read the clock.
    _parts.notifications.reset();
    _parts.databaseVolume.reset();
    // The phone writes the registry: it goes before it.
    _parts.controlCommands = nullptr;
    _parts.serialPorts.reset();
    _parts.http.reset();
    _parts.connectionManager.reset();
    _parts.messageStores.reset();
    _parts.sms.reset();
    _parts.controlPanel.reset();
    _parts.namedEvents.reset();
    _parts.deviceDrivers.reset();
    _parts.sound.reset();
    _parts.bluetooth.reset();
    _parts.todayThemePanel.reset();
    _parts.shell.reset();
    _parts.radioInterface.reset();
    _parts.telephony.reset();
    _parts.sim.reset();
    _parts.systemInfo.reset();
    _parts.wirelessDevices.reset();
    _parts.power.reset();
    _parts.registry.reset();
    _parts.queues.reset();
    _parts.clock.reset();
    _parts.backend.reset();
    // The message boxes may be made by a module's code too; the module goes last.
    {
        std::lock_guard lock(_boxesLock);
        _parts.boxes.reset();
    }
    _module.reset();
}

IPower& Services::power() {
    if (!_parts.power) {
        throw PlatformError("this phone has no power manager");
    }
    return *_parts.power;
}

namespace {
template <typename T>
T& part(const std::unique_ptr<T>& p, const char* what) {
    if (!p) {
        throw PlatformError(std::string("this phone has no ") + what);
    }
    return *p;
}
}  // namespace

ITelephony& Services::telephony() {
    return part(_parts.telephony, "telephony line");
}

ISim& Services::sim() {
    return part(_parts.sim, "SIM");
}

IRadioInterface& Services::radioInterface() {
    return part(_parts.radioInterface, "radio interface");
}

ISystemInfo& Services::systemInfo() {
    return part(_parts.systemInfo, "system information");
}

IDatabaseVolume& Services::databaseVolume() {
    if (!_parts.databaseVolume) {
        throw PlatformError("this phone has no database volumes");
    }
    return *_parts.databaseVolume;
}

IShell& Services::shell() {
    return part(_parts.shell, "shell");
}

ITodayThemePanel& Services::todayThemePanel() {
    return part(_parts.todayThemePanel, "Today settings panel");
}

IBluetoothStack& Services::bluetooth() {
    return part(_parts.bluetooth, "Bluetooth stack");
}

ISoundSettings& Services::sound() {
    return part(_parts.sound, "sound settings");
}

IDeviceDrivers& Services::deviceDrivers() {
    return part(_parts.deviceDrivers, "device drivers");
}

INamedEvents& Services::namedEvents() {
    return part(_parts.namedEvents, "named events");
}

IControlPanel& Services::controlPanel() {
    return part(_parts.controlPanel, "control panel");
}

ISms& Services::sms() {
    return part(_parts.sms, "SMS library");
}

IMessageStores& Services::messageStores() {
    return part(_parts.messageStores, "message stores");
}

ISerialPorts& Services::serialPorts() {
    return part(_parts.serialPorts, "serial ports");
}

IConnectionManager& Services::connectionManager() {
    return part(_parts.connectionManager, "connection manager");
}

IHttp& Services::http() {
    return part(_parts.http, "HTTP client");
}

void Services::registerControlCommands(CControlServer& control) {
    if (_parts.controlCommands) {
        _parts.controlCommands(control);
    }
}

void Services::handOffPendingNotifications() {
    if (_parts.notifications) {
        _parts.notifications->handOffPending();
    }
}

Services& Services::get() {
    Services* s = g_current.load(std::memory_order_acquire);
    if (!s) {
        throw PlatformError("no platform services are set up");
    }
    return *s;
}

bool Services::isInstalled() {
    return g_current.load(std::memory_order_acquire) != nullptr;
}

std::shared_ptr<IMessageBoxes> Services::boxes() const {
    std::lock_guard lock(_boxesLock);
    return _parts.boxes;
}

void Services::setBoxes(std::shared_ptr<IMessageBoxes> boxes) {
    std::lock_guard lock(_boxesLock);
    _parts.boxes = std::move(boxes);
}

Services::Scope::Scope(Services& services) : _previous(g_current.exchange(&services)) {}

Services::Scope::~Scope() {
    g_current.store(_previous);
}

}  // namespace platform

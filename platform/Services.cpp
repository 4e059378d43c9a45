#include "platform/Services.h"

#include <atomic>
#include <cstdlib>
#include <string>

#include "platform/CPolicyMessageBoxes.h"
#include "platform/PlatformError.h"
#include "platform/sim/CSimClock.h"
#include "platform/sim/CSimDatabaseVolume.h"
#include "platform/sim/CSimMessageQueues.h"
#include "platform/sim/CSimPhone.h"
#include "platform/sim/CSimPower.h"
#include "platform/sim/CSimRadioInterface.h"
#include "platform/sim/CSimRegistry.h"
#include "platform/sim/CSimSim.h"
#include "platform/sim/CSimSystemInfo.h"
#include "platform/sim/CSimTelephony.h"
#include "platform/sim/CSimShell.h"
#include "platform/sim/CSimTodayThemePanel.h"
#include "platform/sim/CSimUserNotifications.h"
#include "platform/sim/CSimWirelessDevices.h"

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
}

std::unique_ptr<Services> Services::createDefault(const std::filesystem::path& root, Role role) {
    CHome home(root);
    home.create();
    auto clock = std::make_unique<sim::CSimClock>(home.clockFile());
    if (role == Role::Program) {
        if (const char* speed = std::getenv("ZENTROVA_CLOCK_SPEED"); speed && *speed) {
            char* end = nullptr;
            double factor = std::strtod(speed, &end);
            if (end == speed || *end != '\0' || !(factor > 0)) {
                throw PlatformError(std::string("ZENTROVA_CLOCK_SPEED: not a positive number: ") + speed);
            }
            clock->setSpeed(factor);
        }
    }
    auto queues = std::make_unique<sim::CSimMessageQueues>(*clock);
    auto registry = std::make_unique<sim::CSimRegistry>(home.registryFile(), *queues);
    auto notifications = std::make_unique<sim::CSimUserNotifications>(home, *clock, role == Role::Program);
    // The running program owns the phone's registry values; tools only create the missing ones.
    auto phone = std::make_shared<sim::CSimPhone>(home, *registry, role == Role::Program);
    // Declared after the clock and the registry: should a later step throw, the parts that use
    // them go first.
    Parts parts;
    parts.wirelessDevices = std::make_unique<sim::CSimWirelessDevices>(phone);
    parts.power = std::make_unique<sim::CSimPower>(phone);
    // The cellular side answers on threads of its own, timed by the phone's clock; the services
    // go before the clock and the registry (see the destructor).
    parts.telephony = std::make_unique<sim::CSimTelephony>(phone, *clock);
    parts.sim = std::make_unique<sim::CSimSim>(phone);
    parts.radioInterface = std::make_unique<sim::CSimRadioInterface>(phone, *clock);
    parts.systemInfo = std::make_unique<sim::CSimSystemInfo>(phone);
    parts.shell = std::make_unique<sim::CSimShell>(phone, *registry);
    parts.todayThemePanel = std::make_unique<sim::CSimTodayThemePanel>(phone, *registry, *clock);
    parts.controlCommands = [weak = std::weak_ptr<sim::CSimPhone>(phone)](CControlServer& control) {
        sim::CSimPhone::registerControlCommands(weak, control);
    };
    parts.databaseVolume = std::make_unique<sim::CSimDatabaseVolume>();
    parts.boxes = std::make_shared<CPolicyMessageBoxes>(CPolicyMessageBoxes::fromEnvironment());
    parts.clock = std::move(clock);
    parts.queues = std::move(queues);
    parts.registry = std::move(registry);
    parts.notifications = std::move(notifications);
    return std::make_unique<Services>(std::move(home), std::move(parts));
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

void Services::registerControlCommands(CControlServer& control) {
    if (_parts.controlCommands) {
        _parts.controlCommands(control);
    }
}

void Services::handOffPendingNotifications() {
    if (auto* sim = dynamic_cast<sim::CSimUserNotifications*>(_parts.notifications.get())) {
        sim->handOffPending();
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

#include "platform/sim/CSimServices.h"

#include <cstdlib>
#include <string>

#include "platform/CCurlHttp.h"
#include "platform/CMessageQueues.h"
#include "platform/CPolicyMessageBoxes.h"
#include "platform/CSqliteDatabaseVolume.h"
#include "platform/CSqliteRegistry.h"
#include "platform/PlatformError.h"
#include "platform/sim/CSimBluetoothStack.h"
#include "platform/sim/CSimClock.h"
#include "platform/sim/CSimConnectionManager.h"
#include "platform/sim/CSimControlPanel.h"
#include "platform/sim/CSimDeviceDrivers.h"
#include "platform/sim/CSimMessageStores.h"
#include "platform/sim/CSimNamedEvents.h"
#include "platform/sim/CSimPhone.h"
#include "platform/sim/CSimPower.h"
#include "platform/sim/CSimRadioInterface.h"
#include "platform/sim/CSimSerialPorts.h"
#include "platform/sim/CSimShell.h"
#include "platform/sim/CSimSim.h"
#include "platform/sim/CSimSms.h"
#include "platform/sim/CSimSoundSettings.h"
#include "platform/sim/CSimSystemInfo.h"
#include "platform/sim/CSimTelephony.h"
#include "platform/sim/CSimTodayThemePanel.h"
#include "platform/sim/CSimUserNotifications.h"
#include "platform/sim/CSimWirelessDevices.h"

namespace platform::sim {

std::unique_ptr<Services> CSimServices::Create(const std::filesystem::path& root, Services::Role role) {
    return Create(root, role, role == Services::Role::Program);
}

std::unique_ptr<Services> CSimServices::Create(const std::filesystem::path& root, Services::Role role,
                                               bool gpsReceiver) {
    CHome home(root);
    home.create();
    auto clock = std::make_unique<CSimClock>(home.clockFile());
    if (role == Services::Role::Program) {
        if (const char* speed = std::getenv("ZENTROVA_CLOCK_SPEED"); speed && *speed) {
            char* end = nullptr;
            double factor = std::strtod(speed, &end);
            if (end == speed || *end != '\0' || !(factor > 0)) {
                throw PlatformError(std::string("ZENTROVA_CLOCK_SPEED: not a positive number: ") + speed);
            }
            clock->setSpeed(factor);
        }
    }
    auto queues = std::make_unique<CMessageQueues>(*clock);
    auto registry = std::make_unique<CSqliteRegistry>(home.registryFile(), *queues);
    auto notifications =
        std::make_unique<CSimUserNotifications>(home, *clock, role == Services::Role::Program);
    // The running program owns the phone's registry values; tools only create the missing ones.
    auto phone = std::make_shared<CSimPhone>(home, *registry, role == Services::Role::Program);
    // Declared after the clock and the registry: should a later step throw, the parts that use
    // them go first.
    Services::Parts parts;
    parts.wirelessDevices = std::make_unique<CSimWirelessDevices>(phone);
    parts.power = std::make_unique<CSimPower>(phone);
    // The cellular side answers on threads of its own, timed by the phone's clock; the services
    // go before the clock and the registry (see the destructor).
    parts.telephony = std::make_unique<CSimTelephony>(phone, *clock);
    parts.sim = std::make_unique<CSimSim>(phone);
    parts.radioInterface = std::make_unique<CSimRadioInterface>(phone, *clock);
    parts.systemInfo = std::make_unique<CSimSystemInfo>(phone);
    parts.shell = std::make_unique<CSimShell>(phone, *registry);
    parts.todayThemePanel = std::make_unique<CSimTodayThemePanel>(phone, *registry, *clock);
    parts.bluetooth = std::make_unique<CSimBluetoothStack>(phone);
    parts.sound = std::make_unique<CSimSoundSettings>(phone);
    parts.deviceDrivers = std::make_unique<CSimDeviceDrivers>(phone);
    parts.namedEvents = std::make_unique<CSimNamedEvents>(phone);
    parts.controlPanel = std::make_unique<CSimControlPanel>(phone, *registry, *clock);
    parts.sms = std::make_unique<CSimSms>(phone, *clock);
    parts.messageStores = std::make_unique<CSimMessageStores>(phone, *registry, *clock);
    parts.connectionManager = std::make_unique<CSimConnectionManager>(phone, *registry, *clock);
    parts.http = std::make_unique<CCurlHttp>();
    parts.serialPorts = std::make_unique<CSimSerialPorts>(
        *registry, gpsReceiver ? std::make_unique<CSimGpsReceiver>(phone, *registry, *clock) : nullptr);
    parts.controlCommands = [weak = std::weak_ptr<CSimPhone>(phone)](CControlServer& control) {
        CSimPhone::registerControlCommands(weak, control);
    };
    parts.databaseVolume = std::make_unique<CSqliteDatabaseVolume>();
    parts.boxes = std::make_shared<CPolicyMessageBoxes>(CPolicyMessageBoxes::fromEnvironment());
    parts.clock = std::move(clock);
    parts.queues = std::move(queues);
    parts.registry = std::move(registry);
    parts.notifications = std::move(notifications);
    return std::make_unique<Services>(std::move(home), std::move(parts));
}

}  // namespace platform::sim

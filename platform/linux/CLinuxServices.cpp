#include "platform/linux/CLinuxServices.h"

#include <algorithm>
#include <string>

#include "platform/CCurlHttp.h"
#include "platform/CMessageQueues.h"
#include "platform/CPolicyMessageBoxes.h"
#include "platform/CPosixSerialPorts.h"
#include "platform/CSqliteDatabaseVolume.h"
#include "platform/CSqliteRegistry.h"
#include "platform/linux/CDBusThread.h"
#include "platform/linux/CLinuxBluetoothStack.h"
#include "platform/linux/CLinuxClock.h"
#include "platform/linux/CLinuxConnectionManager.h"
#include "platform/linux/CLinuxControlPanel.h"
#include "platform/linux/CLinuxDeviceDrivers.h"
#include "platform/linux/CLinuxMessageStores.h"
#include "platform/linux/CLinuxModem.h"
#include "platform/linux/CLinuxNamedEvents.h"
#include "platform/linux/CLinuxPower.h"
#include "platform/linux/CLinuxRadioInterface.h"
#include "platform/linux/CLinuxShell.h"
#include "platform/linux/CLinuxSim.h"
#include "platform/linux/CLinuxSms.h"
#include "platform/linux/CLinuxSoundSettings.h"
#include "platform/linux/CLinuxSystemInfo.h"
#include "platform/linux/CLinuxTelephony.h"
#include "platform/linux/CLinuxTodayThemePanel.h"
#include "platform/linux/CLinuxUserNotifications.h"
#include "platform/linux/CLinuxWirelessDevices.h"

namespace platform::lnx {

namespace {

// Each line of a part's reason (empty when its service answers) joins the lines the program
// writes to its event log at start.
void report(Services::Parts& parts, const std::string& reason) {
    size_t start = 0;
    while (start < reason.size()) {
        size_t end = reason.find('\n', start);
        if (end == std::string::npos) {
            end = reason.size();
        }
        std::string line = reason.substr(start, end - start);
        // Two parts over one missing service may give the same line: it is written once.
        if (!line.empty() &&
            std::find(parts.unavailable.begin(), parts.unavailable.end(), line) == parts.unavailable.end()) {
            parts.unavailable.push_back(std::move(line));
        }
        start = end + 1;
    }
}

}  // namespace

std::unique_ptr<Services> CLinuxServices::Create(const std::filesystem::path& root, Services::Role role) {
    CHome home(root);
    home.create();
    auto clock = std::make_unique<CLinuxClock>();
    auto queues = std::make_unique<CMessageQueues>(*clock);
    auto registry = std::make_unique<CSqliteRegistry>(home.registryFile(), *queues);
    // Every part reaches its service through this one bus thread; it goes after all of them.
    auto bus = std::make_shared<CDBusThread>();

    Services::Parts parts;
    // The cellular side over ModemManager: one modem object under the four interfaces, which go
    // before it (they hold it), and it before the bus thread.
    auto modem = std::make_shared<CLinuxModem>(*bus, *registry);
    report(parts, modem->unavailableReason());
    parts.radioInterface = std::make_unique<CLinuxRadioInterface>(modem);
    parts.telephony = std::make_unique<CLinuxTelephony>(modem);
    parts.sim = std::make_unique<CLinuxSim>(modem);
    auto sms = std::make_unique<CLinuxSms>(modem);
    // Wi-Fi, power, Bluetooth, data connections and the backlight over NetworkManager, UPower,
    // BlueZ and logind.
    auto wireless = std::make_unique<CLinuxWirelessDevices>(*bus, *registry);
    report(parts, wireless->unavailableReason());
    parts.wirelessDevices = std::move(wireless);
    auto power = std::make_unique<CLinuxPower>(*bus, *registry);
    report(parts, power->unavailableReason());
    parts.power = std::move(power);
    auto bluetooth = std::make_unique<CLinuxBluetoothStack>(*bus);
    report(parts, bluetooth->unavailableReason());
    parts.bluetooth = std::move(bluetooth);
    auto connections = std::make_unique<CLinuxConnectionManager>(*bus, *registry, *clock);
    report(parts, connections->unavailableReason());
    parts.connectionManager = std::move(connections);
    auto drivers = std::make_unique<CLinuxDeviceDrivers>(*bus);
    report(parts, drivers->unavailableReason());
    parts.deviceDrivers = std::move(drivers);
    // The session side: wake-ups, sound, shell, device information, events, panels, messages.
    // Wake-ups are timer units of the user's service manager: they fire whether or not a program
    // of this home runs, so the role changes nothing here.
    (void)role;
    auto notifications = std::make_unique<CLinuxUserNotifications>(*bus, *registry, *clock);
    report(parts, notifications->unavailableReason());
    parts.notifications = std::move(notifications);
    auto sound = std::make_unique<CLinuxSoundSettings>(*registry);
    report(parts, sound->unavailableReason());
    parts.sound = std::move(sound);
    parts.shell = std::make_unique<CLinuxShell>(*bus, *registry);
    parts.systemInfo = std::make_unique<CLinuxSystemInfo>();
    // The backlight driver reads nothing from a change event: the manager's driver calls carry it.
    parts.namedEvents = std::make_unique<CLinuxNamedEvents>();
    parts.controlPanel = std::make_unique<CLinuxControlPanel>();
    parts.todayThemePanel = std::make_unique<CLinuxTodayThemePanel>();
    parts.messageStores = std::make_unique<CLinuxMessageStores>(*registry, sms.get());
    parts.sms = std::move(sms);

    // What every backend shares.
    parts.http = std::make_unique<CCurlHttp>();
    parts.serialPorts = std::make_unique<CPosixSerialPorts>(*registry);
    parts.databaseVolume = std::make_unique<CSqliteDatabaseVolume>();
    parts.boxes = std::make_shared<CPolicyMessageBoxes>(CPolicyMessageBoxes::fromEnvironment());
    parts.clock = std::move(clock);
    parts.queues = std::move(queues);
    parts.registry = std::move(registry);
    parts.backend = std::move(bus);
    return std::make_unique<Services>(std::move(home), std::move(parts));
}

}  // namespace platform::lnx

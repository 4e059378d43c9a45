#include "platform/linux/CLinuxServices.h"

#include <string>

#include "platform/CCurlHttp.h"
#include "platform/CMessageQueues.h"
#include "platform/CPolicyMessageBoxes.h"
#include "platform/CPosixSerialPorts.h"
#include "platform/CSqliteDatabaseVolume.h"
#include "platform/CSqliteRegistry.h"
#include "platform/linux/CDBusThread.h"
#include "platform/linux/CLinuxClock.h"
#include "platform/linux/CNotWiredBluetoothStack.h"
#include "platform/linux/CNotWiredConnectionManager.h"
#include "platform/linux/CNotWiredControlPanel.h"
#include "platform/linux/CNotWiredDeviceDrivers.h"
#include "platform/linux/CNotWiredMessageStores.h"
#include "platform/linux/CNotWiredNamedEvents.h"
#include "platform/linux/CNotWiredNotifications.h"
#include "platform/linux/CNotWiredPower.h"
#include "platform/linux/CNotWiredRadioInterface.h"
#include "platform/linux/CNotWiredShell.h"
#include "platform/linux/CNotWiredSim.h"
#include "platform/linux/CNotWiredSms.h"
#include "platform/linux/CNotWiredSoundSettings.h"
#include "platform/linux/CNotWiredSystemInfo.h"
#include "platform/linux/CNotWiredTelephony.h"
#include "platform/linux/CNotWiredTodayThemePanel.h"
#include "platform/linux/CNotWiredWirelessDevices.h"

namespace platform::lnx {

namespace {

// NOT YET WIRED: a part whose class has not joined the backend yet. An adapter that fails every
// call stands for it (the manager that needs it reports the device as unavailable) and a line
// names it.
void notWired(Services::Parts& parts, const char* what, const char* service) {
    parts.unavailable.push_back(std::string(what) + " (" + service +
                                ") not available: not wired in this build");
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
    // The role matters to the wake-ups only (the program fires them, a tool does not).
    (void)role;

    Services::Parts parts;
    // The cellular side over ModemManager.
    // NOT YET WIRED: parts.radioInterface =
    //     std::make_unique<CLinuxRadioInterface>(*bus, *registry, *clock, *queues);
    parts.radioInterface = std::make_unique<CNotWiredRadioInterface>();
    notWired(parts, "radio interface", "ModemManager, org.freedesktop.ModemManager1");
    // NOT YET WIRED: parts.telephony = std::make_unique<CLinuxTelephony>(*bus, *registry, *clock);
    parts.telephony = std::make_unique<CNotWiredTelephony>();
    notWired(parts, "telephony line", "ModemManager, org.freedesktop.ModemManager1");
    // NOT YET WIRED: parts.sim = std::make_unique<CLinuxSim>(*bus, *registry);
    parts.sim = std::make_unique<CNotWiredSim>();
    notWired(parts, "SIM", "ModemManager, org.freedesktop.ModemManager1");
    // NOT YET WIRED: parts.sms = std::make_unique<CLinuxSms>(*bus, *registry, *clock);
    parts.sms = std::make_unique<CNotWiredSms>();
    notWired(parts, "SMS", "ModemManager, org.freedesktop.ModemManager1");
    // Wi-Fi, power, Bluetooth, data connections, device drivers over NetworkManager, UPower,
    // BlueZ and logind.
    // NOT YET WIRED: parts.wirelessDevices = std::make_unique<CLinuxWirelessDevices>(*bus, *registry);
    parts.wirelessDevices = std::make_unique<CNotWiredWirelessDevices>();
    notWired(parts, "Wi-Fi", "NetworkManager, org.freedesktop.NetworkManager");
    // NOT YET WIRED: parts.power = std::make_unique<CLinuxPower>(*bus, *registry);
    parts.power = std::make_unique<CNotWiredPower>();
    notWired(parts, "battery and power", "UPower, org.freedesktop.UPower");
    // NOT YET WIRED: parts.bluetooth = std::make_unique<CLinuxBluetoothStack>(*bus, *registry, *queues);
    parts.bluetooth = std::make_unique<CNotWiredBluetoothStack>();
    notWired(parts, "Bluetooth", "BlueZ, org.bluez");
    // NOT YET WIRED: parts.connectionManager =
    //     std::make_unique<CLinuxConnectionManager>(*bus, *registry, *clock);
    parts.connectionManager = std::make_unique<CNotWiredConnectionManager>();
    notWired(parts, "data connections", "NetworkManager, org.freedesktop.NetworkManager");
    // NOT YET WIRED: parts.deviceDrivers = std::make_unique<CLinuxDeviceDrivers>(*bus, *registry);
    parts.deviceDrivers = std::make_unique<CNotWiredDeviceDrivers>();
    notWired(parts, "backlight", "logind, org.freedesktop.login1");
    // The session side: wake-ups, sound, shell, device information, events, panels, messages.
    // NOT YET WIRED (set below): parts.notifications =
    //     std::make_unique<CLinuxUserNotifications>(*bus, *registry, *clock);
    notWired(parts, "wake-ups", "systemd user instance, org.freedesktop.systemd1");
    // NOT YET WIRED: parts.sound = std::make_unique<CLinuxSoundSettings>(*bus, *registry);
    parts.sound = std::make_unique<CNotWiredSoundSettings>();
    notWired(parts, "sound settings", "sound server");
    // NOT YET WIRED: parts.shell = std::make_unique<CLinuxShell>(*bus, *registry);
    parts.shell = std::make_unique<CNotWiredShell>();
    // NOT YET WIRED: parts.systemInfo = std::make_unique<CLinuxSystemInfo>(*bus, *registry);
    parts.systemInfo = std::make_unique<CNotWiredSystemInfo>();
    // NOT YET WIRED: parts.namedEvents = std::make_unique<CLinuxNamedEvents>(*bus, *registry);
    parts.namedEvents = std::make_unique<CNotWiredNamedEvents>();
    // NOT YET WIRED: parts.controlPanel = std::make_unique<CLinuxControlPanel>(*bus, *registry, *clock);
    parts.controlPanel = std::make_unique<CNotWiredControlPanel>();
    // NOT YET WIRED: parts.todayThemePanel = std::make_unique<CLinuxTodayThemePanel>(*registry, *clock);
    parts.todayThemePanel = std::make_unique<CNotWiredTodayThemePanel>();
    // NOT YET WIRED: parts.messageStores = std::make_unique<CLinuxMessageStores>(*bus, *registry, *clock);
    parts.messageStores = std::make_unique<CNotWiredMessageStores>();

    // What every backend shares.
    parts.http = std::make_unique<CCurlHttp>();
    parts.serialPorts = std::make_unique<CPosixSerialPorts>(*registry);
    parts.databaseVolume = std::make_unique<CSqliteDatabaseVolume>();
    parts.boxes = std::make_shared<CPolicyMessageBoxes>(CPolicyMessageBoxes::fromEnvironment());
    // NOT YET WIRED: the wake-ups' class replaces this line.
    parts.notifications = std::make_unique<CNotWiredNotifications>();
    parts.clock = std::move(clock);
    parts.queues = std::move(queues);
    parts.registry = std::move(registry);
    parts.backend = std::move(bus);
    return std::make_unique<Services>(std::move(home), std::move(parts));
}

}  // namespace platform::lnx

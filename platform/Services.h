#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/CHome.h"
#include "platform/IBluetoothStack.h"
#include "platform/IClock.h"
#include "platform/IConnectionManager.h"
#include "platform/IControlPanel.h"
#include "platform/IDatabaseVolume.h"
#include "platform/IDeviceDrivers.h"
#include "platform/IHttp.h"
#include "platform/IMessageBoxes.h"
#include "platform/IMessageQueues.h"
#include "platform/IMessageStores.h"
#include "platform/INamedEvents.h"
#include "platform/IPower.h"
#include "platform/IRadioInterface.h"
#include "platform/IRegistry.h"
#include "platform/ISerialPorts.h"
#include "platform/IShell.h"
#include "platform/ISim.h"
#include "platform/ISms.h"
#include "platform/ISoundSettings.h"
#include "platform/ISystemInfo.h"
#include "platform/ITelephony.h"
#include "platform/ITodayThemePanel.h"
#include "platform/IUserNotifications.h"
#include "platform/IWirelessDevices.h"

namespace platform {

class CControlServer;

// The one context through which the system reaches the phone's services. The program sets one
// up at start, tools and test fixtures set up their own; nothing else creates platform objects.
class Services {
  public:
    enum class Role {
        Program,  // the running program: it fires due notifications and hands pending ones on at exit
        Tool,     // a command-line tool or a test: reads and writes the same state, fires nothing
    };

    struct Parts {
        std::unique_ptr<IClock> clock;
        std::unique_ptr<IMessageQueues> queues;
        std::unique_ptr<IRegistry> registry;
        std::unique_ptr<IUserNotifications> notifications;
        std::shared_ptr<IMessageBoxes> boxes;
        // The phone's devices. The wireless-device list may be missing (a phone without the
        // system library that provides it).
        std::unique_ptr<IWirelessDevices> wirelessDevices;
        std::unique_ptr<IPower> power;
        // The cellular side: telephony line, SIM, radio interface; and the device information.
        std::unique_ptr<ITelephony> telephony;
        std::unique_ptr<ISim> sim;
        std::unique_ptr<IRadioInterface> radioInterface;
        std::unique_ptr<ISystemInfo> systemInfo;
        // Property-database volumes (the device database).
        std::unique_ptr<IDatabaseVolume> databaseVolume;
        // The shell (open a file, ring tone) and the Today settings panel.
        std::unique_ptr<IShell> shell;
        std::unique_ptr<ITodayThemePanel> todayThemePanel;
        // The Bluetooth stack, the sound settings, the device drivers ("BKL1:", "OBX0:"), named
        // events and the control-panel applets.
        std::unique_ptr<IBluetoothStack> bluetooth;
        std::unique_ptr<ISoundSettings> sound;
        std::unique_ptr<IDeviceDrivers> deviceDrivers;
        std::unique_ptr<INamedEvents> namedEvents;
        std::unique_ptr<IControlPanel> controlPanel;
        // Messaging: the SMS library and the message stores.
        std::unique_ptr<ISms> sms;
        std::unique_ptr<IMessageStores> messageStores;
        // The data connections: remote-access entries and the connection manager.
        std::unique_ptr<IConnectionManager> connectionManager;
        // HTTP GET requests (real on every backend).
        std::unique_ptr<IHttp> http;
        // The serial ports (real lines of the machine; the simulated phone adds its GPS receiver).
        std::unique_ptr<ISerialPorts> serialPorts;
        // Adds the phone's own verbs to a control socket; may be empty.
        std::function<void(CControlServer&)> controlCommands;
        // One line per service the backend could not reach (absent, refused, no permission),
        // naming the service and why; the program writes each to the event log at start.
        std::vector<std::string> unavailable;
        // What the parts of a backend share and must outlive them (a bus connection); goes after
        // every part. May be null.
        std::shared_ptr<void> backend;
    };

    Services(CHome home, Parts parts);
    ~Services();
    Services(const Services&) = delete;
    Services& operator=(const Services&) = delete;

    // The current context; throws PlatformError when none is installed.
    static Services& get();
    static bool isInstalled();

    const CHome& home() const { return _home; }
    // The services the backend could not reach, one line each (empty when all are there).
    const std::vector<std::string>& unavailable() const { return _parts.unavailable; }
    // Keeps the module whose code built these services loaded until every part is gone.
    void keepModuleLoaded(std::shared_ptr<void> module) { _module = std::move(module); }
    IClock& clock() { return *_parts.clock; }
    IMessageQueues& queues() { return *_parts.queues; }
    IRegistry& registry() { return *_parts.registry; }
    IUserNotifications& notifications() { return *_parts.notifications; }
    std::shared_ptr<IMessageBoxes> boxes() const;
    // Null when the phone has no wireless-device list.
    IWirelessDevices* wirelessDevices() { return _parts.wirelessDevices.get(); }
    // Throws PlatformError when these services were set up without a power manager.
    IPower& power();
    // Each throws PlatformError when these services were set up without that part.
    ITelephony& telephony();
    ISim& sim();
    IRadioInterface& radioInterface();
    ISystemInfo& systemInfo();
    // Throws PlatformError when these services were set up without database volumes.
    IDatabaseVolume& databaseVolume();
    // Each throws PlatformError when these services were set up without that part.
    IShell& shell();
    ITodayThemePanel& todayThemePanel();
    IBluetoothStack& bluetooth();
    ISoundSettings& sound();
    IDeviceDrivers& deviceDrivers();
    INamedEvents& namedEvents();
    IControlPanel& controlPanel();
    ISms& sms();
    IMessageStores& messageStores();
    IConnectionManager& connectionManager();
    IHttp& http();
    ISerialPorts& serialPorts();

    // Lets the phone answer its own verbs on the running program's control socket (for the
    // simulated phone: wifi, bt and radio changes made outside the program, and "phone"). The
    // control server must stop before these services go.
    void registerControlCommands(CControlServer& control);
    // For a process about to end without its destructors (an abrupt restart): makes sure the
    // pending notifications still fire after it.
    void handOffPendingNotifications();

    // Lets the user interface put real message boxes in place of the answering policy.
    void setBoxes(std::shared_ptr<IMessageBoxes> boxes);

    // Makes `services` the current context for as long as the scope lives. Scopes nest.
    class Scope {
      public:
        explicit Scope(Services& services);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

      private:
        Services* _previous;
    };

  private:
    CHome _home;
    Parts _parts;
    std::shared_ptr<void> _module;
    mutable std::mutex _boxesLock;
};

}  // namespace platform

#pragma once

#include <QString>
#include <memory>
#include <mutex>
#include <string>

#include "platform/CBtStackEvents.h"
#include "platform/IBluetoothStack.h"
#include "platform/linux/CDBusThread.h"

namespace platform::lnx {

// The Bluetooth stack over BlueZ (org.bluez on the system bus): the first adapter (Adapter1, in
// path order) is the phone's radio. Its mode is read from and written to the adapter's properties:
// off is Powered false; connectable is Powered without Discoverable; discoverable is Powered,
// Discoverable and Pairable. Every change of Powered or Discoverable, made here or by anyone else,
// reaches the queues that asked for BTE_CLASS_STACK as a stack event (BTE_STACK_UP when the radio
// comes on, BTE_STACK_DOWN when it goes off, BTE_STACK_MODE between connectable and discoverable),
// written from the bus thread without waiting (a full queue loses the event).
//
// Without BlueZ or without an adapter the stack does not answer: the mode can be neither read nor
// set (ERROR_NOT_READY) and unavailableReason() says why.
class CLinuxBluetoothStack : public IBluetoothStack {
  public:
    static constexpr const char* kService = "org.bluez";
    static constexpr const char* kAdapterInterface = "org.bluez.Adapter1";

    explicit CLinuxBluetoothStack(CDBusThread& bus);
    ~CLinuxBluetoothStack() override;
    CLinuxBluetoothStack(const CLinuxBluetoothStack&) = delete;
    CLinuxBluetoothStack& operator=(const CLinuxBluetoothStack&) = delete;

    // ERROR_NOT_READY (mode 0) without an adapter, ERROR_READ_FAULT when it does not answer.
    Result getRadioMode(uint32_t& mode) override;
    // ERROR_INVALID_PARAMETER for a mode other than the three, ERROR_NOT_READY without an adapter,
    // ERROR_ACCESS_DENIED when BlueZ refuses for want of permission, else ERROR_WRITE_FAULT when
    // it refuses.
    Result setRadioMode(uint32_t mode) override;
    Result requestNotifications(uint32_t classes, std::shared_ptr<IMsgQueue> queue,
                                BtNotificationHandle& handle) override;
    // ERROR_INVALID_HANDLE for a registration that does not exist.
    Result stopNotifications(BtNotificationHandle handle) override;

    // Empty when the adapter answers, else the line naming the service and the reason.
    std::string unavailableReason() const;
    // The adapter's object path (empty without one).
    QString adapterPath() const { return _adapter; }

    // The mode of `adapter` and a switch of it, for this class and the wireless-device list.
    static Result readMode(CDBusThread& bus, const QString& adapter, uint32_t& mode);
    static Result writeMode(CDBusThread& bus, const QString& adapter, uint32_t mode);

  private:
    // On the bus thread: a change of the adapter's properties.
    void changed(const QVariantMap& properties);

    CDBusThread& _bus;
    QString _adapter;
    std::string _reason;
    mutable std::mutex _lock;  // the mode below; held while its events are written, so they keep order
    bool _powered = false;
    bool _discoverable = false;
    CBtStackEvents _events;
    // Last: ends first, so that no change reaches a half-destroyed stack.
    CDBusThread::Subscription _subscription;
};

}  // namespace platform::lnx

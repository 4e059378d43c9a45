#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariant>
#include <array>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class QObject;
class QThread;

namespace platform::lnx {

class CDBusJobRunner;
class CDBusSignalRelay;

// The Linux backend's one thread for the message bus. Calls to a service may be made from any
// thread (a blocking call is thread-safe); the signals the backend listens to (property changes
// of the modem, the Wi-Fi and the battery) are delivered here, on a thread that runs its own
// event loop, so that they arrive whether or not the process runs a Qt event loop of its own.
//
// The buses are those the environment names (DBUS_SYSTEM_BUS_ADDRESS, DBUS_SESSION_BUS_ADDRESS),
// which is how the tests point the backend at a private bus. The process needs a Qt core
// application object (the program's, or one a tool makes) before the first connection.
//
// Subscriptions must end before the thread does.
class CDBusThread {
  public:
    enum class Bus { System, Session };
    using Handler = std::function<void(const QDBusMessage&)>;

    // A subscription to one signal; unsubscribes when it goes (before the thread goes).
    class Subscription {
      public:
        Subscription() = default;
        ~Subscription();
        Subscription(Subscription&& other) noexcept;
        Subscription& operator=(Subscription&& other) noexcept;
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;
        bool active() const { return _relay != nullptr; }

      private:
        friend class CDBusThread;
        void reset();
        CDBusThread* _thread = nullptr;
        CDBusSignalRelay* _relay = nullptr;  // owned by the bus thread, deleted there
        Bus _bus = Bus::System;
        std::array<QString, 4> _match;  // service, path, interface, member
    };

    CDBusThread();
    ~CDBusThread();
    CDBusThread(const CDBusThread&) = delete;
    CDBusThread& operator=(const CDBusThread&) = delete;

    // The connection to a bus, opened on first use under a name of this thread's own. A
    // connection that could not be opened is returned too: isConnected() is false and
    // lastError() says why.
    QDBusConnection connection(Bus bus);
    // Whether `service` has an owner on the bus (the service runs, or can be started).
    bool hasService(Bus bus, const QString& service);

    // Calls `member` and waits for the answer (at most `timeoutMs`). An error answer comes back
    // as a message of type ErrorMessage.
    QDBusMessage call(Bus bus, const QString& service, const QString& path, const QString& interface,
                      const QString& member, const QList<QVariant>& arguments = {}, int timeoutMs = 5000);
    // Reads one property (org.freedesktop.DBus.Properties.Get); an invalid QVariant when the call
    // failed (`error`, when given, receives the reason).
    QVariant property(Bus bus, const QString& service, const QString& path, const QString& interface,
                      const QString& name, std::string* error = nullptr);
    // Writes one property; empty on success, else the reason.
    std::string setProperty(Bus bus, const QString& service, const QString& path, const QString& interface,
                            const QString& name, const QVariant& value);

    // Runs `handler` on the bus thread for each `member` signal matching the arguments (an empty
    // service or path matches any). Returns an inactive subscription when the bus refused it.
    Subscription subscribe(Bus bus, const QString& service, const QString& path, const QString& interface,
                           const QString& member, Handler handler);
    // A helper for the common case: property changes of `interface` on `path`; the handler
    // receives the changed properties and the names of those that were invalidated.
    Subscription subscribeProperties(Bus bus, const QString& service, const QString& path,
                                     const QString& interface,
                                     std::function<void(const QVariantMap&, const QStringList&)> handler);

    // Runs `work` on the bus thread and waits until it is done.
    void runOnThread(const std::function<void()>& work);

  private:
    QString connectionName(Bus bus) const;

    std::unique_ptr<QThread> _qthread;
    CDBusJobRunner* _runner = nullptr;  // lives on the bus thread's stack while it runs
    std::mutex _connectionsLock;
    bool _opened[2] = {false, false};
    int _id;
};

}  // namespace platform::lnx

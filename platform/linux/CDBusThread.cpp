#include "platform/linux/CDBusThread.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDBusVariant>
#include <QEventLoop>
#include <QMetaObject>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "platform/linux/CDBusJobRunner.h"
#include "platform/linux/CDBusSignalRelay.h"

namespace platform::lnx {

namespace {

std::atomic<int> g_nextId{1};

const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

QDBusConnection::BusType busType(CDBusThread::Bus bus) {
    return bus == CDBusThread::Bus::System ? QDBusConnection::SystemBus : QDBusConnection::SessionBus;
}

}  // namespace

CDBusThread::Subscription::~Subscription() {
    reset();
}

CDBusThread::Subscription::Subscription(Subscription&& other) noexcept
    : _thread(other._thread), _relay(other._relay), _bus(other._bus), _match(std::move(other._match)) {
    other._thread = nullptr;
    other._relay = nullptr;
}

CDBusThread::Subscription& CDBusThread::Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        reset();
        _thread = other._thread;
        _relay = other._relay;
        _bus = other._bus;
        _match = std::move(other._match);
        other._thread = nullptr;
        other._relay = nullptr;
    }
    return *this;
}

void CDBusThread::Subscription::reset() {
    if (!_relay) {
        return;
    }
    CDBusSignalRelay* relay = _relay;
    CDBusThread* thread = _thread;
    _relay = nullptr;
    _thread = nullptr;
    // Disconnected and deleted on the bus thread: once this returns, the handler is not running
    // and never runs again.
    thread->runOnThread([&] {
        QDBusConnection connection = thread->connection(_bus);
        connection.disconnect(_match[0], _match[1], _match[2], _match[3], relay, SLOT(deliver(QDBusMessage)));
        delete relay;
    });
}

CDBusThread::CDBusThread() : _id(g_nextId++) {
    // The runner is made, used and destroyed on the bus thread itself; the caller learns of it
    // through a lock of our own, so no hand-over depends on Qt's (which the thread checker
    // cannot follow).
    std::mutex readyLock;
    std::condition_variable readyChanged;
    bool ready = false;
    _qthread.reset(QThread::create([this, &readyLock, &readyChanged, &ready] {
        CDBusJobRunner runner;
        QEventLoop loop;
        {
            std::lock_guard lock(readyLock);
            _runner = &runner;
            ready = true;
            readyChanged.notify_all();
        }
        loop.exec();
    }));
    _qthread->setObjectName(QStringLiteral("zentrova-dbus"));
    _qthread->start();
    std::unique_lock lock(readyLock);
    readyChanged.wait(lock, [&] { return ready; });
}

CDBusThread::~CDBusThread() {
    // Ends the thread's event loop; the runner goes with the thread.
    _qthread->quit();
    _qthread->wait();
    std::lock_guard lock(_connectionsLock);
    for (Bus bus : {Bus::System, Bus::Session}) {
        if (_opened[static_cast<int>(bus)]) {
            QDBusConnection::disconnectFromBus(connectionName(bus));
        }
    }
}

QString CDBusThread::connectionName(Bus bus) const {
    return QStringLiteral("zentrova-%1-%2").arg(_id).arg(bus == Bus::System ? "system" : "session");
}

QDBusConnection CDBusThread::connection(Bus bus) {
    std::lock_guard lock(_connectionsLock);
    int index = static_cast<int>(bus);
    if (!_opened[index]) {
        _opened[index] = true;
        // The address is read at every connection, not once per process as the bus library
        // does for a bus type: a process may be pointed at another bus later (tests do).
        const char* address =
            std::getenv(bus == Bus::System ? "DBUS_SYSTEM_BUS_ADDRESS" : "DBUS_SESSION_BUS_ADDRESS");
        if (address && *address) {
            return QDBusConnection::connectToBus(QString::fromLocal8Bit(address), connectionName(bus));
        }
        return QDBusConnection::connectToBus(busType(bus), connectionName(bus));
    }
    return QDBusConnection(connectionName(bus));
}

bool CDBusThread::hasService(Bus bus, const QString& service) {
    QDBusConnection bus_ = connection(bus);
    if (!bus_.isConnected() || !bus_.interface()) {
        return false;
    }
    if (bus_.interface()->isServiceRegistered(service).value()) {
        return true;
    }
    QDBusReply<QStringList> activatable = bus_.interface()->call(QStringLiteral("ListActivatableNames"));
    return activatable.isValid() && activatable.value().contains(service);
}

QDBusMessage CDBusThread::call(Bus bus, const QString& service, const QString& path, const QString& interface,
                               const QString& member, const QList<QVariant>& arguments, int timeoutMs) {
    QDBusConnection bus_ = connection(bus);
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, member);
    message.setArguments(arguments);
    if (!bus_.isConnected()) {
        return message.createErrorReply(QDBusError::Disconnected, bus_.lastError().message());
    }
    return bus_.call(message, QDBus::Block, timeoutMs);
}

QVariant CDBusThread::property(Bus bus, const QString& service, const QString& path, const QString& interface,
                               const QString& name, std::string* error) {
    QDBusMessage reply = call(bus, service, path, kProperties, QStringLiteral("Get"), {interface, name});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        if (error) {
            *error = (reply.errorName() + QStringLiteral(": ") + reply.errorMessage()).toStdString();
        }
        return {};
    }
    return reply.arguments().at(0).value<QDBusVariant>().variant();
}

std::string CDBusThread::setProperty(Bus bus, const QString& service, const QString& path,
                                     const QString& interface, const QString& name, const QVariant& value) {
    QDBusMessage reply = call(bus, service, path, kProperties, QStringLiteral("Set"),
                              {interface, name, QVariant::fromValue(QDBusVariant(value))});
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return (reply.errorName() + QStringLiteral(": ") + reply.errorMessage()).toStdString();
    }
    return {};
}

CDBusThread::Subscription CDBusThread::subscribe(Bus bus, const QString& service, const QString& path,
                                                 const QString& interface, const QString& member,
                                                 Handler handler) {
    Subscription subscription;
    runOnThread([&] {
        auto relay = std::make_unique<CDBusSignalRelay>(std::move(handler));
        QDBusConnection bus_ = connection(bus);
        if (!bus_.isConnected() ||
            !bus_.connect(service, path, interface, member, relay.get(), SLOT(deliver(QDBusMessage)))) {
            return;
        }
        subscription._thread = this;
        subscription._relay = relay.release();
        subscription._bus = bus;
        subscription._match = {service, path, interface, member};
    });
    return subscription;
}

CDBusThread::Subscription CDBusThread::subscribeProperties(
    Bus bus, const QString& service, const QString& path, const QString& interface,
    std::function<void(const QVariantMap&, const QStringList&)> handler) {
    return subscribe(bus, service, path, kProperties, QStringLiteral("PropertiesChanged"),
                     [interface, handler = std::move(handler)](const QDBusMessage& message) {
                         const QList<QVariant> args = message.arguments();
                         if (args.size() < 2 || args.at(0).toString() != interface) {
                             return;
                         }
                         QVariantMap changed = qdbus_cast<QVariantMap>(args.at(1));
                         QStringList invalidated =
                             args.size() > 2 ? args.at(2).toStringList() : QStringList();
                         handler(changed, invalidated);
                     });
}

void CDBusThread::runOnThread(const std::function<void()>& work) {
    if (QThread::currentThread() == _qthread.get()) {
        work();
        return;
    }
    _runner->runAndWait(work);
}

}  // namespace platform::lnx

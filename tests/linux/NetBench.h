#pragma once

// What the tests of the Linux network, power and device classes share: a temporary home (its
// registry is the simulated phone's), a private bus with mocked system services, the Qt core
// application the bus needs, and the backend's bus thread, in that order of construction.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <memory>
#include <string>
#include <vector>

#include "platform/linux/CDBusThread.h"
#include "support/ChildProcess.h"
#include "support/PrivateBus.h"
#include "support/TempHome.h"

// A method of a mocked object: its name, in and out signatures and the Python code it runs.
struct MockMethod {
    QString name;
    QString in;
    QString out;
    QString code;
};
Q_DECLARE_METATYPE(MockMethod)

inline QDBusArgument& operator<<(QDBusArgument& arg, const MockMethod& m) {
    arg.beginStructure();
    arg << m.name << m.in << m.out << m.code;
    arg.endStructure();
    return arg;
}
inline const QDBusArgument& operator>>(const QDBusArgument& arg, MockMethod& m) {
    arg.beginStructure();
    arg >> m.name >> m.in >> m.out >> m.code;
    arg.endStructure();
    return arg;
}

class NetBench {
  public:
    using Bus = platform::lnx::CDBusThread::Bus;

    NetBench() : _bus(_home.root() / "bus") {
        if (!_bus.why().empty()) {
            return;
        }
        _bus.exportEnvironment();
        _app = std::make_unique<QCoreApplication>(_argc, nullptr);
        _thread = std::make_unique<platform::lnx::CDBusThread>();
        qDBusRegisterMetaType<MockMethod>();
        qDBusRegisterMetaType<QList<MockMethod>>();
    }
    ~NetBench() {
        _thread.reset();
        _plain.clear();
        _app.reset();
    }
    NetBench(const NetBench&) = delete;
    NetBench& operator=(const NetBench&) = delete;

    // Empty when the bus runs, else why the test skips.
    const std::string& why() const { return _bus.why(); }
    PrivateBus& bus() { return _bus; }
    TempHome& home() { return _home; }
    platform::IRegistry& registry() { return _home.services().registry(); }
    platform::lnx::CDBusThread& thread() { return *_thread; }

    // A mock of our own making without a template: `service` with one object at `path`, an
    // object manager there, more objects added with addObject.
    bool startPlain(const std::string& service, const std::string& path, const std::string& interface) {
        std::string log = (_home.root() / ("plain-" + std::to_string(_plain.size()) + ".out")).string();
        _plain.push_back(std::make_unique<ChildProcess>(
            "/usr/bin/python3",
            std::vector<std::string>{"-m", "dbusmock", "--system", "-m", service, path, interface},
            _bus.environment(), log));
        return WaitUntil([&] { return _bus.hasOwner(service); });
    }

    // A method of the mock's own interface (org.freedesktop.DBus.Mock) on `path`.
    QDBusMessage mock(const QString& service, const QString& path, const QString& method,
                      const QList<QVariant>& args = {}) {
        return _thread->call(Bus::System, service, path, QStringLiteral("org.freedesktop.DBus.Mock"), method,
                             args);
    }
    // Adds the Bluetooth adapter hci0 to the BlueZ template (its own mock interface).
    QDBusMessage addAdapter() {
        return _thread->call(Bus::System, QStringLiteral("org.bluez"), QStringLiteral("/"),
                             QStringLiteral("org.bluez.Mock"), QStringLiteral("AddAdapter"),
                             {QStringLiteral("hci0"), QStringLiteral("phone")});
    }
    // Adds an object with properties and methods to a mock (AddObject of its own interface).
    QDBusMessage addObject(const QString& service, const QString& mainPath, const QString& path,
                           const QString& interface, const QVariantMap& properties,
                           const QList<MockMethod>& methods = {}) {
        return mock(service, mainPath, QStringLiteral("AddObject"),
                    {QVariant::fromValue(QDBusObjectPath(path)), interface, properties,
                     QVariant::fromValue(methods)});
    }
    // Adds properties of another interface to a mocked object.
    QDBusMessage addProperties(const QString& service, const QString& path, const QString& interface,
                               const QVariantMap& properties) {
        return mock(service, path, QStringLiteral("AddProperties"), {interface, properties});
    }
    // Sets a property of a mocked object the way its service would: the change is signalled.
    QDBusMessage setProperty(const QString& service, const QString& path, const QString& interface,
                             const QString& name, const QVariant& value) {
        return _thread->call(Bus::System, service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                             QStringLiteral("Set"),
                             {interface, name, QVariant::fromValue(QDBusVariant(value))});
    }
    // The value of a property of a mocked object.
    QVariant property(const QString& service, const QString& path, const QString& interface,
                      const QString& name) {
        return _thread->property(Bus::System, service, path, interface, name);
    }
    // The methods of a mocked object called so far (names only).
    QStringList calls(const QString& service, const QString& path) {
        QDBusMessage reply = mock(service, path, QStringLiteral("GetCalls"));
        QStringList names;
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            return names;
        }
        const QDBusArgument arg = reply.arguments().at(0).value<QDBusArgument>();
        arg.beginArray();
        while (!arg.atEnd()) {
            arg.beginStructure();
            qulonglong when = 0;
            QString method;
            arg >> when >> method;
            QVariantList args;
            arg >> args;
            arg.endStructure();
            names.append(method);
        }
        arg.endArray();
        return names;
    }

  private:
    TempHome _home;
    PrivateBus _bus;
    int _argc = 0;
    std::unique_ptr<QCoreApplication> _app;
    std::unique_ptr<platform::lnx::CDBusThread> _thread;
    std::vector<std::unique_ptr<ChildProcess>> _plain;
};

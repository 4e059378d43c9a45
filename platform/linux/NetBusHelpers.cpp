#include "platform/linux/NetBusHelpers.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QStringList>
#include <algorithm>

namespace platform::lnx::net {

QVariant readProperty(CDBusThread& bus, const QString& service, const QString& path, const QString& interface,
                      const QString& name, int timeoutMs, std::string* error) {
    QDBusMessage reply =
        bus.call(CDBusThread::Bus::System, service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                 QStringLiteral("Get"), {interface, name}, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        if (error) {
            *error = errorText(reply);
        }
        return {};
    }
    return reply.arguments().at(0).value<QDBusVariant>().variant();
}

QString firstObjectWith(CDBusThread& bus, const QString& service, const QString& root,
                        const QString& interface, int timeoutMs, std::string* error) {
    QDBusMessage reply = bus.call(CDBusThread::Bus::System, service, root,
                                  QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                  QStringLiteral("GetManagedObjects"), {}, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        if (error) {
            *error = errorText(reply);
        }
        return {};
    }
    // a{oa{sa{sv}}}: only the paths and the names of their interfaces count here.
    QStringList found;
    const QDBusArgument objects = reply.arguments().at(0).value<QDBusArgument>();
    objects.beginMap();
    while (!objects.atEnd()) {
        QDBusObjectPath path;
        QMap<QString, QVariantMap> interfaces;
        objects.beginMapEntry();
        objects >> path >> interfaces;
        objects.endMapEntry();
        if (interfaces.contains(interface)) {
            found.append(path.path());
        }
    }
    objects.endMap();
    if (found.isEmpty()) {
        if (error) {
            *error = "no object with " + interface.toStdString();
        }
        return {};
    }
    std::sort(found.begin(), found.end());
    return found.front();
}

std::string unavailableLine(const std::string& what, const QString& service, const std::string& why) {
    return what + " (" + service.toStdString() + ") not available: " + why;
}

std::string errorText(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ErrorMessage) {
        return "no answer";
    }
    return (reply.errorName() + QStringLiteral(": ") + reply.errorMessage()).toStdString();
}

bool accessDenied(const QDBusMessage& reply) {
    const QString name = reply.errorName();
    return name.endsWith(QStringLiteral(".AccessDenied")) ||
           name.endsWith(QStringLiteral(".PermissionDenied")) ||
           name.endsWith(QStringLiteral(".NotAuthorized")) ||
           name.contains(QStringLiteral("InteractiveAuthorization"));
}

}  // namespace platform::lnx::net

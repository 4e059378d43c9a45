#pragma once

#include <QString>
#include <QVariant>
#include <string>

#include "platform/linux/CDBusThread.h"

// Small reads over the system bus shared by the network, power and Bluetooth classes of the Linux
// backend: a property with a time-out of its own, the first object of a service that carries an
// interface, and the line that tells why a service cannot be used.
namespace platform::lnx::net {

// Start-up probes wait this long for a service, so that a missing or hung one never holds the
// program for the default time-out of a call.
inline constexpr int kProbeTimeoutMs = 1000;

// One property of `interface` on `path` (org.freedesktop.DBus.Properties.Get) on the system bus;
// an invalid QVariant when the call failed, with the bus's error in `error` when given.
QVariant readProperty(CDBusThread& bus, const QString& service, const QString& path, const QString& interface,
                      const QString& name, int timeoutMs, std::string* error = nullptr);

// The path of the first object (in path order) of `service`'s object manager at `root` that has
// `interface`; empty when there is none or the service did not answer (`error` then says why).
QString firstObjectWith(CDBusThread& bus, const QString& service, const QString& root,
                        const QString& interface, int timeoutMs, std::string* error = nullptr);

// "<what> (<service>) not available: <why>", the line the event log gets for a missing service.
std::string unavailableLine(const std::string& what, const QString& service, const std::string& why);

// The error of a failed call as text ("name: message").
std::string errorText(const QDBusMessage& reply);

// Whether a failed call was refused for want of permission (polkit or the bus policy).
bool accessDenied(const QDBusMessage& reply);

}  // namespace platform::lnx::net

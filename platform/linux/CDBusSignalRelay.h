#pragma once

#include <QDBusMessage>
#include <QObject>
#include <functional>

namespace platform::lnx {

// Receives one subscribed signal on the bus thread and hands the whole message to a function.
class CDBusSignalRelay : public QObject {
    Q_OBJECT

  public:
    explicit CDBusSignalRelay(std::function<void(const QDBusMessage&)> handler);

  public slots:
    void deliver(const QDBusMessage& message);

  private:
    std::function<void(const QDBusMessage&)> _handler;
};

}  // namespace platform::lnx

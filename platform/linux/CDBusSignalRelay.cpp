#include "platform/linux/CDBusSignalRelay.h"

namespace platform::lnx {

CDBusSignalRelay::CDBusSignalRelay(std::function<void(const QDBusMessage&)> handler)
    : _handler(std::move(handler)) {}

void CDBusSignalRelay::deliver(const QDBusMessage& message) {
    if (_handler) {
        _handler(message);
    }
}

}  // namespace platform::lnx

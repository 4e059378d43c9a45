#include "ui/CWindowMessageEvent.h"

QEvent::Type CWindowMessageEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

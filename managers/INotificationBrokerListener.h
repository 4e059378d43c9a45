#pragma once

#include "platform/IRegistry.h"

// Receives every registry change that the notification broker learns of. Each listener compares
// the handle with the ones it registered and ignores the others. Called on the broker's reader
// thread (queue delivery) or on the registry's notification thread (callback delivery), so an
// implementation only reads state and posts work to its own worker thread.
class INotificationBrokerListener {
  public:
    virtual ~INotificationBrokerListener() = default;
    virtual void HandleNotification(platform::HREGNOTIFY notification) = 0;
};

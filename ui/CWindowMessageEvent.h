#pragma once

#include <QEvent>
#include <future>
#include <optional>

#include "platform/WindowMessages.h"

// A window message travelling to the window's thread. A sent message carries the promise of its
// result; when the window is gone before it is handled, Qt drops the event and the waiting sender
// sees a broken promise.
class CWindowMessageEvent : public QEvent {
  public:
    static QEvent::Type EventType();

    CWindowMessageEvent(UINT message, WPARAM wParam, LPARAM lParam)
        : QEvent(EventType()), message(message), wParam(wParam), lParam(lParam) {}

    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::optional<std::promise<LRESULT>> reply;
};

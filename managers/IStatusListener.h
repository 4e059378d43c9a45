#pragma once

#include <string>

// Told when a manager's status changes. Called in the thread that found the change: an
// implementation only reads state and posts work to its own thread.
class IStatusListener {
  public:
    virtual ~IStatusListener() = default;
    // code: 10 a change found by a refresh, 1 location, 2 battery, 0 signal or a manager's own event.
    virtual void StatusChanged(int status, int mgrId, int code) = 0;
    // A name for diagnostics.
    virtual std::string& GetName() = 0;
};

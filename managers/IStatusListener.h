#pragma once

#include <string>

// Told when a manager's status changes. Called in the thread that found the change: an
// implementation only reads state and posts work to its own thread.
class IStatusListener {
  public:
    // What a status change is about. The location engine reports signal, location and battery
    // separately; every synchronous manager reports refreshes.
    enum Code : int {
        kCodeSignal = 0,  // signal strength (also a manager's own device event)
        kCodeLocation = 1,
        kCodeBattery = 2,
        kCodeRefresh = 10,  // a change found by RefreshStatus
    };
    virtual ~IStatusListener() = default;
    virtual void StatusChanged(int status, int mgrId, int code) = 0;
    // A name for diagnostics.
    virtual std::string& GetName() = 0;
};

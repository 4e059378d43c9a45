#pragma once

// Told by the data-connections manager when it has read the traffic of its connections again
// (after each idle check), so that a page showing the traffic can show the new figures. Called
// on the thread of the idle check; an implementation only reads the manager or posts work.
class ITrafficDataListener {
  public:
    virtual ~ITrafficDataListener() = default;
    virtual void TrafficChanged() = 0;
};

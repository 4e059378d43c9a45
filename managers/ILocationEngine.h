#pragma once

// What the device managers may ask of the location engine (which sits above them): forget the
// current location when the phone radio is unregistered from the network. The location engine
// implements it; a manager finds it as the manager with the location engine's id.
class ILocationEngine {
  public:
    virtual ~ILocationEngine() = default;
    // The current location (cell id or area code, by the location mode) becomes `location`; the
    // engine's listeners hear of it.
    virtual void SetLocation(int location) = 0;
};

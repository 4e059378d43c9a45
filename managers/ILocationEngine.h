#pragma once

#include "platform/IRadioInterface.h"

// What the device managers may ask of the location engine (which sits above them): forget the
// current location when the phone radio is unregistered from the network, and its radio
// interface connection. The location engine
// implements it; a manager finds it as the manager with the location engine's id.
class ILocationEngine {
  public:
    virtual ~ILocationEngine() = default;
    // The engine's connection to the radio interface (0 when it has none), for the makers'
    // radio commands the band manager sends.
    virtual platform::RilHandle GetRilHandle() { return 0; }
    // The current location (cell id or area code, by the location mode) becomes `location`; the
    // engine's listeners hear of it.
    virtual void SetLocation(int location) = 0;
};

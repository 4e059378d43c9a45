#pragma once

#include "store/CStrPeriod.h"

// What the data-connections manager asks of the location and schedule engines, which sit above
// the managers: the time frame that runs now in the place the phone is in, so that the frame's
// connection action can be applied again when the phone radio comes back. The application
// implements it and installs it in the manager (CConnectionsMgr::SetCurrentFrame).
class ICurrentFrame {
  public:
    virtual ~ICurrentFrame() = default;
    // The current place's current frame; false when the place or its frame is not known.
    virtual bool GetCurrentFrame(CStrPeriod& period) = 0;
};

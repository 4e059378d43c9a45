#pragma once

#include <filesystem>

#include "platform/CHome.h"

namespace platform {

// The single-instance lock of a home: an exclusive lock on <home>/run/zentrova.lock. The program
// takes it at the very start of a launch, before it touches anything of the home, and keeps it
// until the process has tidied up; a second launch that finds it held knows that a program of
// this home runs or is starting. The lock goes with the object (and with the process).
class CInstanceLock {
  public:
    explicit CInstanceLock(const CHome& home);
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    // Takes the lock without waiting; false while another process (or another object) holds it.
    // Throws PlatformError when the run folder or the lock file cannot be made.
    bool tryLock();
    bool held() const { return _fd >= 0; }
    void release();

  private:
    CHome _home;
    int _fd = -1;
};

}  // namespace platform

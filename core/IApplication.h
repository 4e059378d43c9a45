#pragma once

#include "platform/WindowMessages.h"

class CBaseWindow;
namespace platform {
class CControlServer;
}

// What the parts below the application need of the running application: registering the main
// window, the control socket, and the restart. The application object implements it and installs
// itself while it lives; tools and most tests run without one.
class IApplication {
  public:
    // The running application, null when there is none.
    static IApplication* Get();

    virtual ~IApplication() = default;

    // Closes the application through its normal close path, so that the phone starts it again
    // ten seconds later (the exported Restart). Returns at once.
    virtual void RequestRestart() = 0;
    // Non-zero once a restart was asked for.
    virtual int GetRestart() const = 0;
    // Removes every pending phone notification that would start this program.
    virtual void ClearOwnNotifications() = 0;
    // The main window registers itself here when it is made and leaves when it goes (null).
    virtual void SetMainWindow(CBaseWindow* window) = 0;
    // The control socket of the running program (the instance marker and zentrova-device's way in).
    virtual platform::CControlServer& GetControlServer() = 0;

  protected:
    static void Install(IApplication* application);
    // Leaves only when `application` is the installed one.
    static void Uninstall(IApplication* application);
};

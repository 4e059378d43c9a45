#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "core/IApplication.h"
#include "core/IConfiguration.h"

class CBaseWindow;
namespace platform {
class CControlServer;
}

// The application: one per process. It runs the start-up (InitInstance of the concrete
// application), the message loop, and the shutdown; it schedules its own relaunch when a restart
// was asked for.
class CApp : public IApplication {
  public:
    // Seconds after the end of the process at which a restart starts the program again.
    static constexpr int kRelaunchSeconds = 10;

    static CApp* GetInstance() { return _me.load(); }

    virtual uintptr_t GetHInstance() { return _hInstance; }
    ~CApp() override;
    // The abrupt restart: schedules the relaunch and ends the process at once, without clean-up.
    virtual void Restart();
    virtual IConfiguration* GetConfiguration() = 0;
    // Non-zero when the main window could be created.
    virtual int InitInstance() = 0;

    // Runs the application: start-up, then the message loop until the main window is closed.
    // Returns the exit code. Exceptions that escape start-up or the loop are shown and end the run.
    int WinMain(uintptr_t hInstance, uintptr_t hPrevInstance, const std::string& commandLine, int showMode);

    void SetRestart(int restart) { _restart.store(restart); }
    int GetRestart() const override { return _restart.load(); }
    CBaseWindow* GetMainWindow() const { return _mainWindow.load(); }
    void SetMainWindow(CBaseWindow* window) override { _mainWindow.store(window); }
    // The exported Restart: sets the restart flag and closes the main window.
    void RequestRestart() override;
    void ClearOwnNotifications() override { ClearNotifications(); }
    bool IsInitiated() const { return _initiated.load(); }
    const std::string& GetCommandLine() const { return _commandLine; }

    // Marks the main window as closing and asks it to close (the path of Restart and Exit).
    void RequestClose();

    // Removes every pending phone notification that would start this program.
    static void ClearNotifications();

    // The control socket of the running program (the instance marker and zentrova-device's way in).
    platform::CControlServer& GetControlServer() override { return *_control; }

  protected:
    CApp();
    void SetInitiated(bool initiated) { _initiated.store(initiated); }
    // The exit code of a start-up that failed (1 unless the failure was already explained to the
    // user and ends the program normally, 0).
    void SetStartFailureCode(int code) { _startFailureCode = code; }

  private:
    int _startFailureCode = 1;
    void ScheduleRelaunch();

    static std::atomic<CApp*> _me;
    uintptr_t _hInstance = 0;
    uintptr_t _hPrevInstance = 0;
    std::string _commandLine;
    int _showMode = 0;
    std::atomic<int> _restart{0};
    std::atomic<CBaseWindow*> _mainWindow{nullptr};
    std::atomic<bool> _initiated{false};
    std::unique_ptr<platform::CControlServer> _control;
};

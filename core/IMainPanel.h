#pragma once

#include <functional>
#include <string>

#include "platform/WindowMessages.h"

// The main window as the model code sees it: the managers, the location and schedule engines and
// the store tell it what to show through this interface, never through the window's own class.
// The window implements it and the application installs it while the window lives. Every
// operation may be called from any thread and returns without waiting for the window's thread.
class IMainPanel {
  public:
    // Parts of the panel that can be repainted alone.
    enum class Area { All, Signal, Battery, Location };

    virtual ~IMainPanel() = default;

    // Repaints the whole panel, or one of its parts, soon.
    virtual void InvalidatePanel(Area area = Area::All) = 0;
    // Tells the Today-screen companion a manager's status (when one has registered).
    virtual void NotifyTodayPlugin(int mgrId, int status) = 0;
    // Tells the Today-screen companion a new position: a cell and area code from the location
    // engine, or a place and frame from the schedule engine.
    virtual void NotifyTodayPluginChangePosition(int a, int b) = 0;
    // The place and time frame shown on the panel; empty texts clear them.
    virtual void SetPlaceAndFrame(const std::string& place, const std::string& frame) = 0;
    // Reads this program's pending notifications again for the debug display.
    virtual void UpdateNotificationsDebugInfo() = 0;
    // Shows (true) or ends (false) the wait cursor around a long operation; calls nest.
    virtual void SetWaitCursor(bool wait) = 0;
    // The window's handle, so that its messages (WM_APP + 1 of the Bluetooth events) can be posted
    // to it; 0 when it has none.
    virtual HWND GetPanelWindow() { return 0; }
    // The screen's resolution kind: 2 on a VGA screen (height 640 upright, 480 lying), else 1.
    virtual int GetResolution() { return 1; }

    // Calls `use` with the installed panel; false (and no call) when there is none. The panel
    // cannot go while a call runs, so `use` must not wait for the window's thread.
    static bool With(const std::function<void(IMainPanel&)>& use);
    static void Install(IMainPanel* panel);
    // Waits for running calls to end; then With finds no panel.
    static void Uninstall(IMainPanel* panel);
};

#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/ILogListener.h"
#include "core/IMainPanel.h"
#include "managers/ITimeNotificationListener.h"
#include "platform/SystemTime.h"
#include "ui/CBaseWindow.h"

struct COPYDATASTRUCT;

// The program's panel and the hub through which commands reach the application: menu and button
// commands, and the notifications the phone's notification service forwards through a second
// launch of the program. For now it shows the latest lines of the event log.
class CWindowMain : public CBaseWindow, public ILogListener, public IMainPanel {
  public:
    static const char* const szClassName;  // "MainWindow"

    // Paint statistics, reported by the program at exit.
    static std::atomic<float> _OnPaintMajorTimeExecution;
    static std::atomic<float> _OnPaintMinorTimeExecution;
    static std::atomic<int> _OnPaintExecuted;

    // Message numbers of the window's own vocabulary.
    static constexpr UINT WM_TIMER_NOTIFICATION = WM_USER + 200;  // lParam: const std::string* text
    static constexpr UINT WM_IDLE_NOTIFICATION = WM_USER + 201;
    static constexpr UINT WM_REGISTER_TODAY = WM_USER + 203;
    static constexpr UINT WM_TODAY_CHANGE_POSITION = WM_USER + 204;
    static constexpr UINT WM_TODAY_STATUS = WM_USER + 205;
    static constexpr UINT WM_CLEAR_AND_END = WM_USER + 214;
    static constexpr WPARAM CMD_EXIT = 1234;
    static constexpr WPARAM CMD_HIDE = 111;
    static constexpr WPARAM CMD_HIDE_SOFTKEY = 5;
    static constexpr WPARAM CMD_REFRESH = 112;
    static constexpr WPARAM CMD_TEST_RESTART = 40057;
    static constexpr WPARAM CMD_TEST_DEBUG_INFO = 40279;
    static constexpr WPARAM CMD_XML_IMPORT = 40059;
    static constexpr WPARAM CMD_XML_EXPORT = 40060;

    // The phone's screen: the window's size (the launcher's --screen option).
    static void SetScreenSize(int width, int height);

    CWindowMain(int background, int baseWindow);
    ~CWindowMain() override;

    int InitGUI(uintptr_t hInstance, const std::string& commandLine, int showMode) override;
    LRESULT OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnClose() override;
    void OnDestroy() override;
    LRESULT ProcessMsgChild(UINT message, WPARAM wParam, LPARAM lParam) override;

    void SetClosingZVA(int closing) { _closing.store(closing); }
    int GetClosingZVA() const { return _closing.load(); }

    void AddTimeNotificationListener(ITimeNotificationListener* listener);
    // Parses a timer command line and hands it to every listener, in registration order.
    void OnTimerNotification(const std::string& text);
    // Takes a forwarded command line (UTF-16LE with its terminating zero) and dispatches it on a
    // thread of its own.
    LRESULT OnCopyDataNotification(WPARAM from, const COPYDATASTRUCT* data);
    void OnIdleNotification();
    void OnExit();
    void OnCloseApp();
    void OnRefresh();
    void OnTestRestart();
    void OnXMLExport();
    void OnXMLImport();
    // Refreshes the list of this program's pending notifications shown in debug mode.
    void UpdateNotificationsDebugInfo() override;

    // Messages to the Today-screen companion, posted only when one has registered.
    void NotifyTodayPlugin(int a, int b) override;
    void NotifyTodayPluginChangePosition(int a, int b) override;
    HWND GetTodayWindow() const { return _todayWindow.load(); }

    void LogChanged(int count) override;

    // The place and time frame shown on the panel; callable from any thread.
    void SetPlaceAndFrame(const std::string& place, const std::string& frame) override;

    // Repaints the panel (or a part of it) soon; callable from any thread.
    void InvalidatePanel(Area area = Area::All) override;
    // The wait cursor, on the window's thread; callable from any thread.
    void SetWaitCursor(bool wait) override;
    HWND GetPanelWindow() override { return GetHandle(); }
    // 2 on a VGA screen (640 high upright, 480 high lying), else 1.
    int GetResolution() override;

    // key=value lines for zentrova-device app.
    std::string DescribeState() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void RegisterControlCommands();
    void JoinFinishedThreads();
    // Registers the connection manager's status-change message and asks for it.
    void SubscribeToConnectionEvents();

    int _background;
    std::atomic<int> _closing{0};
    std::atomic<int> _shown{0};
    std::atomic<bool> _ready{false};  // set up and shown: other threads may ask for repaints
    std::atomic<int> _activations{0};
    std::atomic<int> _idleNotifications{0};
    std::atomic<int> _timerNotifications{0};
    std::atomic<int> _timerLinesRefused{0};  // forwarded lines with a field out of range
    std::atomic<uint32_t> _lastCopyDataBytes{0};
    std::atomic<HWND> _todayWindow{0};
    std::atomic<UINT> _connMgrMessage{0};
    std::atomic<bool> _connMgrSubscribed{false};

    mutable std::mutex _lock;  // guards what follows
    std::vector<ITimeNotificationListener*> _timeListeners;
    std::string _lastTimerText;
    unsigned int _lastTimerId = 0;
    long _lastTimerValue = 0;
    SYSTEMTIME _lastTimerTime;
    std::vector<std::string> _notificationsDebug;
    std::string _placeName;
    std::string _frameName;

    struct TimerThread {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::mutex _threadsLock;
    std::vector<TimerThread> _timerThreads;
    std::atomic<bool> _logListening{false};
};

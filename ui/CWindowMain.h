#pragma once

#include <QImage>
#include <QRect>
#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/IMainPanel.h"
#include "managers/IStatusListener.h"
#include "managers/ITimeNotificationListener.h"
#include "platform/SystemTime.h"
#include "store/CStrPlace.h"
#include "ui/CBarBatteryConfigXML.h"
#include "ui/CBarSignalConfigXML.h"
#include "ui/CBaseWindow.h"
#include "ui/CDownTextConfig.h"
#include "ui/CImageConfig.h"
#include "ui/CPageWithHelp.h"

struct COPYDATASTRUCT;
class CButtonOwnDrawImage;
class CButtonOwnCurrentLocation;
class CMgr;
class IModalDialog;
class QMenu;
class QPushButton;
class QSystemTrayIcon;

// The program's full-screen panel: background, battery and signal bars, the place line, the
// status buttons and the soft-key menu; the hub through which commands reach the managers (menu,
// buttons, tray icon, the Today-screen companion, forwarded timer lines).
class CWindowMain : public CBaseWindow, public IMainPanel, public IStatusListener, public CPageWithHelp {
  public:
    static const char* const szClassName;  // "MainWindow"

    // Paint statistics, reported by the program at exit.
    static std::atomic<float> _OnPaintMajorTimeExecution;
    static std::atomic<float> _OnPaintMinorTimeExecution;
    static std::atomic<int> _OnPaintExecuted;

    // Message numbers of the window's own vocabulary.
    static constexpr UINT WM_TRAY_ICON = WM_USER + 2;
    static constexpr UINT WM_COMMANDS_PENDING = WM_USER + 100;
    static constexpr UINT WM_COMMANDS_EXECUTED = WM_USER + 101;
    static constexpr UINT WM_TIMER_NOTIFICATION = WM_USER + 200;  // lParam: const std::string* text
    static constexpr UINT WM_IDLE_NOTIFICATION = WM_USER + 201;
    static constexpr UINT WM_REGISTER_TODAY = WM_USER + 203;
    static constexpr UINT WM_TODAY_CHANGE_POSITION = WM_USER + 204;
    static constexpr UINT WM_TODAY_STATUS = WM_USER + 205;
    static constexpr UINT WM_TODAY_PLACE_SCHEDULE = WM_USER + 206;
    static constexpr UINT WM_TODAY_PROFILE = WM_USER + 207;
    static constexpr UINT WM_TODAY_WIFI = WM_USER + 208;
    static constexpr UINT WM_TODAY_BT = WM_USER + 209;
    static constexpr UINT WM_TODAY_SPEAKER = WM_USER + 210;
    static constexpr UINT WM_TODAY_PHONE = WM_USER + 211;
    static constexpr UINT WM_TODAY_CONNECTIONS = WM_USER + 212;
    static constexpr UINT WM_TODAY_BAND = WM_USER + 213;
    static constexpr UINT WM_CLEAR_AND_END = WM_USER + 214;
    static constexpr LPARAM kLeftButtonUp = 0x0202;

    // Command ids: buttons, menu entries and internal ones.
    static constexpr WPARAM CMD_BT = 103;
    static constexpr WPARAM CMD_SPEAKER = 104;
    static constexpr WPARAM CMD_WIFI = 105;
    static constexpr WPARAM CMD_CURRENT_PLACE = 106;
    static constexpr WPARAM CMD_PHONE = 107;
    static constexpr WPARAM CMD_CONNECTIONS = 108;
    static constexpr WPARAM CMD_CANCEL = 109;
    static constexpr WPARAM CMD_BAND = 110;
    static constexpr WPARAM CMD_HIDE = 111;
    static constexpr WPARAM CMD_REFRESH = 112;
    static constexpr WPARAM CMD_HIDE_SOFTKEY = 5;
    static constexpr WPARAM CMD_ABOUT = 9;
    static constexpr WPARAM CMD_EXIT = 1234;
    static constexpr WPARAM CMD_OPTIONS = 40002;
    static constexpr WPARAM CMD_PLACES = 40021;
    static constexpr WPARAM CMD_TEST_RESTART = 40057;
    static constexpr WPARAM CMD_TEST_DEBUG_INFO = 40279;
    static constexpr WPARAM CMD_XML_IMPORT = 40059;
    static constexpr WPARAM CMD_XML_EXPORT = 40060;

    // The phone's screen: the window's size (the launcher's --screen option).
    static void SetScreenSize(int width, int height);
    // The images the window reads while it is built: the default bars and every button's own
    // defaults (a skin's images come on top).
    static std::vector<std::string> StartupImages();

    CWindowMain(int background, int baseWindow);
    ~CWindowMain() override;

    int InitGUI(uintptr_t hInstance, const std::string& commandLine, int showMode) override;
    LRESULT OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnCreate() override;
    void OnClose() override;
    void OnDestroy() override;
    void OnPaint(QPainter& painter) override;
    void OnActivate(bool active) override;
    void ReorderShellChild() override;
    LRESULT ProcessMsgChild(UINT message, WPARAM wParam, LPARAM lParam) override;
    QRect ClientRect() const override;

    void SetClosingZVA(int closing) { _closing.store(closing); }
    // InitGUI failed because the skin could not be found, read or completed (the user was told).
    bool IsSkinMissing() const { return _skinMissing; }
    int GetClosingZVA() const { return _closing.load(); }

    // Reads the bars, the background and the bottom text of the orientations the skin rule selects.
    virtual void LoadConfigXML();
    virtual void SetCurrentUpperText(const std::string& text);
    virtual void WriteUpperText(QPainter& painter);

    void AddTimeNotificationListener(ITimeNotificationListener* listener);
    // Parses a timer command line and hands it to every listener, in registration order.
    void OnTimerNotification(const std::string& text);
    // Takes a forwarded command line (UTF-16LE with its terminating zero) and dispatches it on a
    // thread of its own.
    LRESULT OnCopyDataNotification(WPARAM from, const COPYDATASTRUCT* data);
    virtual void OnIdleNotification();

    // Commands (virtual so that each can be followed alone).
    virtual void OnBT();
    virtual void OnSpeaker();
    virtual void OnWifi();
    virtual void OnCurrentPlace();
    virtual void OnMobilePhone();
    virtual void OnConnections();
    virtual void OnBand();
    virtual void OnCloseApp();
    virtual void OnRefresh();
    virtual void OnAbout();
    virtual void OnTest();
    virtual void OnTest2();
    virtual void OnTest3();
    virtual void OnTest4();
    virtual void OnExit();
    virtual void OnOptions();
    virtual void OnCurrentPlace_Settings();
    virtual void OnCurrentPlace_AddProfile();
    virtual void OnCurrentPlace_AssignToProfile();
    virtual void OnCurrentPlace_Actions();
    virtual void OnCurrentPlace_SelectProfile();
    virtual void OnCurrentPlace_UnselectProfile();
    virtual void OnBackup();
    virtual void OnRestore();
    virtual void OnCheckDBIntregrity();
    virtual void OnFormat();
    virtual void OnXMLExport();
    virtual void OnXMLImport();
    virtual void OnHelp();
    virtual void OnTestDecBattery();
    virtual void OnTestDecSignal();
    virtual void OnTestChangeLocation();
    virtual void OnTestChangeLocation2();
    virtual void OnTestRestart();
    virtual void OnTestRemoveIddleConnections();
    virtual void OnTestMail();
    virtual void OnTestMailProviders();
    virtual void OnTestSMS();
    virtual void OnTestBeam(int on);
    virtual void OnTestCallForward(int on);
    virtual void OnTestVolumeLevel(int level);
    virtual void OnTestBackLight();
    virtual void OnTestTheme();
    virtual void OnTestRingTone();
    virtual void OnTestMemory();
    virtual void OnTestLocationsReport();
    virtual void OnTestDebugInfo();
    virtual void OnTestUploadLocation();
    virtual void OnTestCellChange(WPARAM command);
    virtual void OnClickTrayIcon(LPARAM lParam);
    virtual void ShowTrayIcon(bool show);
    void ShowHelp() override;
    std::string GetTxtFile() const override { return "main_window"; }

    // Today-screen companion.
    virtual void OnRegisterToday(HWND companion);
    virtual void OnProfileToday();
    void NotifyTodayPlugin(int a, int b) override;
    void NotifyTodayPluginChangePosition(int a, int b) override;
    // Stores place and frame in "current_place" and "current_frame", then tells the companion.
    virtual void NotifyTodayPluginChangePlaceSchedule(const std::string& place, const std::string& frame);
    HWND GetTodayWindow() const { return _todayWindow.load(); }

    // The phone radio manager's status: a change to "on" repaints the bars.
    void StatusChanged(int status, int mgrId, int code) override;
    std::string& GetName() override { return _name; }

    // IMainPanel: callable from any thread.
    void SetPlaceAndFrame(const std::string& place, const std::string& frame) override;
    void InvalidatePanel(Area area = Area::All) override;
    void SetWaitCursor(bool wait) override;
    void UpdateNotificationsDebugInfo() override;
    HWND GetPanelWindow() override { return GetHandle(); }
    int GetResolution() override { return GetResolutionKind(); }

    // A newer version was found: the panel says so.
    void SetNewVersionFound(bool found);

    // key=value lines for zentrova-device app.
    std::string DescribeState() const;

    // Where the last paint drew the bars (battery, signal) in the current orientation.
    QRect GetBatteryBarRect() const { return _batteryBarRect; }
    QRect GetSignalBarRect() const { return _signalBarRect; }
    const CBarBatteryConfigXML& GetBatteryConfig(int orientation) const {
        return _battery[static_cast<size_t>(orientation)];
    }
    const CBarSignalConfigXML& GetSignalConfig(int orientation) const {
        return _signal[static_cast<size_t>(orientation)];
    }
    QMenu* GetMenu() const { return _menu; }
    CButtonOwnDrawImage* GetCurrentLocationButton() const override;
    CButtonOwnCurrentLocation* GetCurrentLocation() const { return _currentLocation; }

    // Runs a factory of the dialog library: loads it, makes the dialog with `make`, runs it,
    // deletes it and unloads the library. -1 (after telling the user) when the library or the
    // factory is missing, else what the dialog returned.
    template <class Factory, class... Args>
    int RunDialog(const char* factory, Args... args);

  protected:
    // What the bars show: the location engine's levels (0-100) and the power line.
    virtual int GetBatteryLevelShown() const;
    virtual int GetSignalLevelShown() const;
    virtual bool IsOnAC() const { return _onAC.load(); }
    // One choice of a status button's popup: its caption key and command id, and the image it
    // shows: the image the button `imagesOf` shows for `status`, else the skin id's own.
    struct Choice {
        std::string captionKey;
        int id;
        int imagesOf = -1;  // control id of a panel button, -1 for none
        int status = 0;
        std::string skinId = "settings";
    };
    // Offers the choices of a status button in a popup; the chosen id, or 109 (cancel).
    virtual int ShowOptions(const std::vector<Choice>& choices);
    // Asks for how long a change lasts: 999 (no limit), the minutes, or 109 (cancel).
    virtual int ShowTimeLimit();
    // After a choice of a device's popup: the "on" state asks for a time limit and is then forced
    // for that long, coming back to the present status; any other state is forced at once.
    void ApplyChoice(CMgr* mgr, int choice, int onStatus);
    // Assigns the current cell (or area, by the tracking mode) to a place the user picks.
    virtual void AssignCurrentLocation();
    // Every place of the device database (empty, after telling the user, when it cannot be read).
    std::vector<CStrPlace> AllPlaces();
    // Starts a settings applet of the phone; a failure shows `errorKey` with the error code.
    void StartApplet(const std::string& program, const std::string& arguments, const char* errorKey);
    // A file chosen by the user: ZENTROVA_FILE_ANSWER when set (empty cancels), else a file
    // dialog; empty when cancelled or when nobody can answer.
    virtual std::string AskFile(bool save, const std::string& title, const std::string& defaultName);
    // Tells the user a dialog of the library cannot be run.
    virtual void ReportDialogLibraryMissing(const std::string& factory, const std::string& error);

  private:
    void RegisterControlCommands();
    void JoinFinishedThreads();
    // Registers the connection manager's status-change message and asks for it.
    void SubscribeToConnectionEvents();
    // Runs `work` on a thread of its own (joined at the latest when the window goes), so that the
    // window's thread never waits on a manager.
    void RunInBackground(std::function<void()> work);
    void CreateButtons();
    void CreateMenu();
    void TranslateMenu(QMenu* menu);
    int RunDialogObject(IModalDialog* dialog, bool disablesWindow);
    // A skin image with white (or the given colour) made transparent.
    QRect PaintBar(QPainter& painter, const CBarConfigXML& bar, const CImageConfig& symbol,
                   const std::string& defaultImage, int level, bool rightSide, QRect& symbolRect);
    void ReadPowerLine();

    int _background;
    bool _skinMissing = false;
    std::string _name = "CWindowMain";
    std::atomic<int> _closing{0};
    std::atomic<int> _shown{0};
    std::atomic<int> _dialogOpen{0};
    std::atomic<bool> _ready{false};  // set up and shown: other threads may ask for repaints
    std::atomic<int> _activations{0};
    std::atomic<int> _idleNotifications{0};
    std::atomic<int> _timerNotifications{0};
    std::atomic<int> _timerLinesRefused{0};  // forwarded lines with a field out of range
    std::atomic<uint32_t> _lastCopyDataBytes{0};
    std::atomic<HWND> _todayWindow{0};
    std::atomic<UINT> _connMgrMessage{0};
    std::atomic<bool> _connMgrSubscribed{false};
    std::atomic<bool> _onAC{false};
    std::atomic<bool> _newVersion{false};
    std::atomic<bool> _listeningPhone{false};

    // Skin records per orientation (filled on the window's thread before it is shown).
    std::array<CBarBatteryConfigXML, 3> _battery;
    std::array<CBarSignalConfigXML, 3> _signal;
    std::array<CImageConfig, 3> _backgroundImage;
    std::array<CDownTextConfig, 3> _bottomText;
    QImage _defaultBatteryImage;
    QImage _defaultSignalImage;
    QImage _backgroundFile;

    // Widgets, owned by the window.
    CButtonOwnCurrentLocation* _currentLocation = nullptr;
    QWidget* _softKeys = nullptr;
    QMenu* _menu = nullptr;
    QSystemTrayIcon* _trayIcon = nullptr;

    // What the last paint covered, for partial repaints (window's thread).
    QRect _batteryBarRect;
    QRect _signalBarRect;
    QRect _textRect;

    mutable std::mutex _lock;  // guards what follows
    std::vector<ITimeNotificationListener*> _timeListeners;
    std::string _lastTimerText;
    unsigned int _lastTimerId = 0;
    long _lastTimerValue = 0;
    SYSTEMTIME _lastTimerTime;
    std::vector<std::string> _notificationsDebug;
    std::string _placeName;
    std::string _frameName;
    std::string _upperText;

    struct TimerThread {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::mutex _threadsLock;
    std::vector<TimerThread> _timerThreads;
};

#include "ui/CDialogLibrary.h"
#include "ui/IModalDialog.h"

template <class Factory, class... Args>
int CWindowMain::RunDialog(const char* factory, Args... args) {
    CDialogLibrary library;
    void* symbol = library.Find(factory);
    if (!symbol) {
        ReportDialogLibraryMissing(factory, library.GetError());
        return -1;
    }
    IModalDialog* dialog = reinterpret_cast<Factory*>(symbol)(args...);
    // The settings sheet disables the panel while it is open.
    return RunDialogObject(dialog, std::string(factory) == "New_CPropertySheetDialogZentrova");
}

#include "ui/CWindowMain.h"

#include <QApplication>
#include <QCursor>
#include <QPainter>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/CBaseException.h"
#include "core/CConfigurationZentrova.h"
#include "core/CHiResTimer.h"
#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/DateTime.h"
#include "core/DebugTrace.h"
#include "core/IApplication.h"
#include "core/MessageBoxes.h"
#include "core/TextBuffer.h"
#include "core/TimerLine.h"
#include "core/Utf16.h"
#include "managers/CBTMgr.h"
#include "managers/CConnectionsMgr.h"
#include "managers/CMgr.h"
#include "platform/CControlServer.h"
#include "platform/CProcessLauncher.h"
#include "platform/CWindowHandles.h"
#include "platform/Services.h"
#include "store/CDB.h"

const char* const CWindowMain::szClassName = "MainWindow";
std::atomic<float> CWindowMain::_OnPaintMajorTimeExecution{0};
std::atomic<float> CWindowMain::_OnPaintMinorTimeExecution{0};
std::atomic<int> CWindowMain::_OnPaintExecuted{0};

namespace {

std::atomic<int> g_screenWidth{480};
std::atomic<int> g_screenHeight{640};

// A forwarded command line is copied into a buffer of this many characters.
constexpr size_t kNotificationBuffer = 99;
// Event-log entries of the window: the application's source, their severity and text buffers.
constexpr int kSourceApplication = 300;
constexpr int kSeverityWarning = 3;
constexpr size_t kResumeBuffer = 99;
constexpr size_t kDescriptionBuffer = 299;

std::vector<uint8_t> fromHex(const std::string& hex) {
    std::vector<uint8_t> bytes;
    if (hex.size() % 2) {
        throw platform::CControlServer::ControlError("copydata: odd number of hex digits");
    }
    for (size_t i = 0; i < hex.size(); i += 2) {
        auto digit = [&](char c) -> int {
            if (c >= '0' && c <= '9')
                return c - '0';
            if (c >= 'a' && c <= 'f')
                return c - 'a' + 10;
            if (c >= 'A' && c <= 'F')
                return c - 'A' + 10;
            throw platform::CControlServer::ControlError("copydata: not hex");
        };
        bytes.push_back(static_cast<uint8_t>(digit(hex[i]) * 16 + digit(hex[i + 1])));
    }
    return bytes;
}

long parseNumber(const std::string& text) {
    char* end = nullptr;
    long n = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end) {
        throw platform::CControlServer::ControlError("not a number: '" + text + "'");
    }
    return n;
}

}  // namespace

void CWindowMain::SetScreenSize(int width, int height) {
    g_screenWidth.store(width);
    g_screenHeight.store(height);
}

CWindowMain::CWindowMain(int background, int /*baseWindow*/) : _background(background) {
    if (IApplication* app = IApplication::Get()) {
        app->SetMainWindow(this);
    }
}

CWindowMain::~CWindowMain() {
    if (_connMgrSubscribed.exchange(false)) {
        try {
            platform::Services::get().connectionManager().registerForStatusChangeNotification(false,
                                                                                              GetHandle());
        } catch (const std::exception& e) {
            LogFormateado(1, "%s", e.what());
        }
    }
    if (_logListening.exchange(false)) {
        CLogMgr::GetInstance()->RemoveLogListener(this);
    }
    std::vector<TimerThread> threads;
    {
        std::lock_guard lock(_threadsLock);
        threads.swap(_timerThreads);
    }
    for (auto& t : threads) {
        t.thread.join();
    }
    if (IApplication* app = IApplication::Get()) {
        app->SetMainWindow(nullptr);
    }
}

int CWindowMain::InitGUI(uintptr_t, const std::string&, int) {
    LogFormateado(1, "CWindowMain::InitGUI()");
    // Only one program per home: the control socket is this window's registration.
    IApplication* app = IApplication::Get();
    if (!app || !app->GetControlServer().start()) {
        LogFormateado(1, "La aplicacion ya estaba en ejecucion");
        return 0;
    }
    setWindowTitle(szClassName);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    resize(g_screenWidth.load(), g_screenHeight.load());
    RegisterControlCommands();
    CLogMgr::GetInstance()->AddLogListener(this);
    _logListening = true;
    SubscribeToConnectionEvents();
    UpdateNotificationsDebugInfo();
    show();
    raise();
    activateWindow();
    _shown = 1;
    _ready = true;
    return 1;
}

void CWindowMain::SubscribeToConnectionEvents() {
    UINT message = platform::CWindowHandles::RegisterWindowMessageW(platform::kConnMgrStatusChangeMessage);
    if (message == 0) {
        LogFormateado(1, "Error creando mensaje de conexiones");
        return;
    }
    _connMgrMessage = message;
    platform::Result r = platform::ERROR_NOT_SUPPORTED;
    try {
        r = platform::Services::get().connectionManager().registerForStatusChangeNotification(true,
                                                                                              GetHandle());
    } catch (const std::exception& e) {
        LogFormateado(1, "%s", e.what());
    }
    if (r != platform::ERROR_SUCCESS) {
        ProcesarError("Error suscribiendose a notificaciones de conexiones. %d", static_cast<int>(r));
        return;
    }
    _connMgrSubscribed = true;
    LogFormateado(1, "Suscripcion satisfactoria a eventos de conexiones.");
}

void CWindowMain::RegisterControlCommands() {
    platform::CControlServer& control = IApplication::Get()->GetControlServer();
    const HWND self = GetHandle();
    control.on("show", [this](const std::vector<std::string>&) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                show();
                raise();
                activateWindow();
                _shown = 1;
                ++_activations;
            },
            Qt::QueuedConnection);
        return std::string();
    });
    control.on("copydata", [self](const std::vector<std::string>& args) {
        if (args.size() != 1) {
            throw platform::CControlServer::ControlError("copydata takes one hex argument");
        }
        std::vector<uint8_t> bytes = fromHex(args[0]);
        COPYDATASTRUCT data;
        data.dwData = 0;
        data.cbData = static_cast<uint32_t>(bytes.size());
        data.lpData = bytes.data();
        LRESULT r =
            platform::CWindowHandles::SendMessageW(self, WM_COPYDATA, self, reinterpret_cast<LPARAM>(&data));
        return std::to_string(r) + "\n";
    });
    control.on("post", [self](const std::vector<std::string>& args) {
        if (args.empty() || args.size() > 3) {
            throw platform::CControlServer::ControlError("post takes MESSAGE [WPARAM [LPARAM]]");
        }
        auto message = static_cast<UINT>(parseNumber(args[0]));
        if (message == WM_COPYDATA || message == WM_TIMER_NOTIFICATION) {
            // Their lParam points into the sender's memory: they can only be sent.
            throw platform::CControlServer::ControlError("this message carries data and cannot be posted");
        }
        WPARAM w = args.size() > 1 ? static_cast<WPARAM>(parseNumber(args[1])) : 0;
        LPARAM l = args.size() > 2 ? static_cast<LPARAM>(parseNumber(args[2])) : 0;
        platform::CWindowHandles::PostMessageW(self, message, w, l);
        return std::string();
    });
    control.on("command", [self](const std::vector<std::string>& args) {
        if (args.size() != 1) {
            throw platform::CControlServer::ControlError("command takes one command id");
        }
        long id = parseNumber(args[0]);
        if (id <= 0 || id > 0xFFFF) {
            throw platform::CControlServer::ControlError("command ids are 1 to 65535");
        }
        platform::CWindowHandles::PostMessageW(self, WM_COMMAND, static_cast<WPARAM>(id), 0);
        return std::string();
    });
}

LRESULT CWindowMain::OnCommand(WPARAM wParam, LPARAM) {
    const WPARAM id = wParam & 0xFFFF;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    LRESULT handled = 1;
    switch (id) {
        case CMD_EXIT:
            OnExit();
            break;
        case CMD_HIDE:
        case CMD_HIDE_SOFTKEY:
            OnCloseApp();
            break;
        case CMD_REFRESH:
            OnRefresh();
            break;
        case CMD_TEST_RESTART:
            OnTestRestart();
            break;
        case CMD_XML_EXPORT:
            OnXMLExport();
            break;
        case CMD_XML_IMPORT:
            OnXMLImport();
            break;
        case CMD_TEST_DEBUG_INFO:
            UpdateNotificationsDebugInfo();
            update();
            break;
        default:
            handled = 0;
            break;
    }
    QApplication::restoreOverrideCursor();
    return handled;
}

LRESULT CWindowMain::ProcessMsgChild(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != 0 && message == _connMgrMessage.load()) {
        // A data connection changed: the manager reads its connections again on this thread.
        if (CConnectionsMgr* connections = CConnectionsMgr::GetInstance()) {
            connections->NewEvent();
        }
        return 0;
    }
    switch (message) {
        case WM_COPYDATA:
            return OnCopyDataNotification(wParam, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case WM_TIMER_NOTIFICATION:
            if (lParam) {
                OnTimerNotification(*reinterpret_cast<const std::string*>(lParam));
            }
            return 0;
        case WM_IDLE_NOTIFICATION:
            OnIdleNotification();
            return 0;
        case WM_REGISTER_TODAY:
            // The companion tells its window; it then gets every manager's status.
            _todayWindow = static_cast<HWND>(lParam);
            CMgr::SendStatusToPlugin();
            return 0;
        case CBTMgr::WM_BT_EVENT:
            // A Bluetooth stack event: the manager reads the mode again on this thread.
            if (CBTMgr* bt = CBTMgr::GetInstance()) {
                bt->HandleEvent(static_cast<unsigned>(wParam), static_cast<long>(lParam));
            }
            return 0;
        case WM_CLEAR_AND_END:
            if (IApplication* app = IApplication::Get()) {
                app->ClearOwnNotifications();
            }
            std::fflush(nullptr);
            ::_exit(0);
        default:
            return 0;
    }
}

void CWindowMain::OnExit() {
    SetClosingZVA(1);
    platform::CWindowHandles::PostMessageW(GetHandle(), WM_CLOSE, 0, 0);
}

void CWindowMain::OnClose() {
    if (_closing.load()) {
        IApplication* app = IApplication::Get();
        bool restarting = app && app->GetRestart();
        if (!restarting &&
            QuestionBox(CTextsMgr::GetInstance()->GetText("MAIN_PANEL_CONFIRM_CLOSE").c_str()) !=
                IDYES_ANSWER) {
            _closing = 0;
            return;
        }
        if (app) {
            app->ClearOwnNotifications();
        }
        _closing = 0;
        DestroyWindow();
        return;
    }
    // A close asked by the window system (the title bar): only when the user allows it.
    bool allowed = false;
    try {
        allowed = CConfigurationZentrova::GetInstance()->GetLongParameter("allow_windows_close_zva") != 0;
    } catch (const CBaseException& e) {
        LogFormateado(1, "%s", e.GetMessageW());
    }
    _closing = 0;
    if (allowed) {
        DestroyWindow();
    }
}

void CWindowMain::OnDestroy() {
    if (_logListening.exchange(false)) {
        CLogMgr::GetInstance()->RemoveLogListener(this);
    }
    QApplication::exit(0);
}

void CWindowMain::OnCloseApp() {
    hide();
    _shown = 0;
}

void CWindowMain::OnRefresh() {
    UpdateNotificationsDebugInfo();
    update();
}

void CWindowMain::OnTestRestart() {
    if (IApplication* app = IApplication::Get()) {
        app->RequestRestart();
    }
}

void CWindowMain::OnXMLExport() {
    CDB* db = CDB::GetInstance();
    if (!db) {
        return;
    }
    try {
        int opened = db->OpenDB(0);
        std::string path;
        db->GetXML(path);
        if (opened) {
            db->CloseDB(0);
        }
    } catch (const CBaseException& e) {
        e.ShowErrorBox();
    }
}

void CWindowMain::OnXMLImport() {
    CTextsMgr* texts = CTextsMgr::GetInstance();
    const std::string xml = CDB::XmlPath();
    if (!std::filesystem::exists(xml)) {
        TextBox(SafeSprintf(texts->GetText("ERROR_XML_IMPORT_FILE_NOT_FOUND"), xml));
        return;
    }
    // The whole file is checked now, so a broken one is reported at once and costs no restart.
    std::string error;
    if (!CDB::CheckXML(xml, error)) {
        TextBox(texts->GetText("ERROR READING FILE") + "\n" + error);
        return;
    }
    if (QuestionBox(texts->GetText("OPERATION WILL DELETE RECORDS").c_str()) != IDYES_ANSWER) {
        return;
    }
    // The import runs at the next start and replaces the database only once it is complete, so
    // the database is kept until then. Only this marked copy is imported then.
    if (!CDB::MarkImportPending(error)) {
        ErrorBox("%s", error);
        return;
    }
    TextBox(SafeSprintf(texts->GetText("DB_RESTORE_RESTART")));
    if (IApplication* app = IApplication::Get()) {
        app->RequestRestart();
    }
}

void CWindowMain::AddTimeNotificationListener(ITimeNotificationListener* listener) {
    std::lock_guard lock(_lock);
    _timeListeners.push_back(listener);
}

void CWindowMain::OnTimerNotification(const std::string& text) {
    std::string reason;
    std::optional<TimerLine> line = ParseTimerLine(text, reason);
    if (!line) {
        // A line with a field out of range did not come from the program's own triggers; acting on
        // it could switch a device or a frame at a time that does not exist.
        LogFormateado(1, "CWindowMain: timer line refused, %s: %s", reason, text);
        CTextsMgr* texts = CTextsMgr::GetInstance();
        CLogMgr::Log(
            kSourceApplication, kSeverityWarning,
            FitBuffer(SafeSprintf(texts->GetText("EVENT_LOG_TIMER_LINE_REFUSED_RESUME")), kResumeBuffer),
            FitBuffer(SafeSprintf(texts->GetText("EVENT_LOG_TIMER_LINE_REFUSED_DESCRIPTION"), text),
                      kDescriptionBuffer));
        ++_timerLinesRefused;
        return;
    }
    std::vector<ITimeNotificationListener*> listeners;
    {
        std::lock_guard lock(_lock);
        _lastTimerText = text;
        _lastTimerId = line->id;
        _lastTimerValue = line->value;
        _lastTimerTime = line->time;
        listeners = _timeListeners;
    }
    ++_timerNotifications;
    for (ITimeNotificationListener* listener : listeners) {
        listener->TimeNotification(line->id, line->value, line->time);
    }
}

LRESULT CWindowMain::OnCopyDataNotification(WPARAM, const COPYDATASTRUCT* data) {
    if (!data || !data->lpData) {
        return 0;
    }
    _lastCopyDataBytes = data->cbData;
    std::string text = Utf16LeToUtf8(std::string_view(static_cast<const char*>(data->lpData), data->cbData));
    if (auto zero = text.find('\0'); zero != std::string::npos) {
        text.resize(zero);
    }
    text = FitBuffer(text, kNotificationBuffer);
    JoinFinishedThreads();
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard lock(_threadsLock);
    _timerThreads.push_back({std::thread([this, text, done] {
                                 OnTimerNotification(text);
                                 done->store(true);
                             }),
                             done});
    return 1;
}

void CWindowMain::JoinFinishedThreads() {
    std::lock_guard lock(_threadsLock);
    auto finished = std::partition(_timerThreads.begin(), _timerThreads.end(),
                                   [](const TimerThread& t) { return !t.done->load(); });
    for (auto it = finished; it != _timerThreads.end(); ++it) {
        it->thread.join();
    }
    _timerThreads.erase(finished, _timerThreads.end());
}

void CWindowMain::OnIdleNotification() {
    ++_idleNotifications;
    if (CConnectionsMgr* connections = CConnectionsMgr::GetInstance()) {
        connections->OnIdleNotification();
    }
}

void CWindowMain::UpdateNotificationsDebugInfo() {
    std::vector<std::string> lines;
    auto& notifications = platform::Services::get().notifications();
    const std::string self = platform::CProcessLauncher::selfExecutable().string();
    for (uint32_t handle : notifications.getUserNotificationHandles()) {
        platform::UserNotificationTrigger t;
        if (notifications.getUserNotification(handle, t) && t.application == self) {
            lines.push_back(DT_Format(t.start) + " " + t.arguments);
        }
    }
    std::lock_guard lock(_lock);
    _notificationsDebug = std::move(lines);
}

void CWindowMain::NotifyTodayPlugin(int a, int b) {
    if (HWND today = _todayWindow.load()) {
        platform::CWindowHandles::PostMessageW(today, WM_TODAY_STATUS, static_cast<WPARAM>(a), b);
    }
}

void CWindowMain::NotifyTodayPluginChangePosition(int a, int b) {
    if (HWND today = _todayWindow.load()) {
        platform::CWindowHandles::PostMessageW(today, WM_TODAY_CHANGE_POSITION, static_cast<WPARAM>(a), b);
    }
}

void CWindowMain::LogChanged(int) {
    // Called on the logging thread: repaint on the window's own thread.
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
}

void CWindowMain::SetPlaceAndFrame(const std::string& place, const std::string& frame) {
    {
        std::lock_guard lock(_lock);
        _placeName = place;
        _frameName = frame;
    }
    InvalidatePanel();
}

int CWindowMain::GetResolution() {
    const int width = g_screenWidth.load();
    const int height = g_screenHeight.load();
    if (height > width) {
        return height == 640 ? 2 : 1;
    }
    return width > height && height == 480 ? 2 : 1;
}

void CWindowMain::SetWaitCursor(bool wait) {
    auto apply = [wait] {
        if (wait) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else if (QApplication::overrideCursor()) {
            QApplication::restoreOverrideCursor();
        }
    };
    if (QThread::currentThread() == thread()) {
        apply();
    } else {
        QMetaObject::invokeMethod(this, apply, Qt::QueuedConnection);
    }
}

void CWindowMain::InvalidatePanel(Area) {
    if (!_ready.load()) {
        return;  // still being set up on its thread; it paints when it is shown
    }
    // Queued to the window's thread; dropped by Qt when the window is gone by then.
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
}

std::string CWindowMain::DescribeState() const {
    std::string out;
    out += std::string("window=") + (_shown.load() ? "shown" : "hidden") + "\n";
    out += "activations=" + std::to_string(_activations.load()) + "\n";
    out += "idle_notifications=" + std::to_string(_idleNotifications.load()) + "\n";
    out += "timer_notifications=" + std::to_string(_timerNotifications.load()) + "\n";
    out += "timer_lines_refused=" + std::to_string(_timerLinesRefused.load()) + "\n";
    out += "last_copydata_bytes=" + std::to_string(_lastCopyDataBytes.load()) + "\n";
    std::lock_guard lock(_lock);
    out += "time_listeners=" + std::to_string(_timeListeners.size()) + "\n";
    out += "shown_place=" + _placeName + "\n";
    out += "shown_frame=" + _frameName + "\n";
    if (_timerNotifications.load()) {
        out += "last_timer=" + std::to_string(_lastTimerId) + " " + std::to_string(_lastTimerValue) + " " +
               DT_Format(_lastTimerTime) + "\n";
        out += "last_timer_text=" + _lastTimerText + "\n";
    }
    for (const std::string& n : _notificationsDebug) {
        out += "pending_notification=" + n + "\n";
    }
    return out;
}

void CWindowMain::paintEvent(QPaintEvent*) {
    CHiResTimer timer;
    timer.Start();
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    QFont title("Sans", 14, QFont::Bold);
    painter.setFont(title);
    painter.drawText(QRect(10, 10, width() - 20, 30), Qt::AlignLeft | Qt::AlignVCenter, "Zentrova");
    {
        std::lock_guard lock(_lock);
        if (!_placeName.empty()) {
            painter.drawText(QRect(10, 10, width() - 20, 30), Qt::AlignRight | Qt::AlignVCenter,
                             QString::fromStdString(_placeName + " - " + _frameName));
        }
    }
    painter.setFont(QFont("Sans", 9));
    const int lineHeight = painter.fontMetrics().height() + 2;
    const int firstLine = 50;
    const int room = std::max(0, (height() - firstLine - 10) / lineHeight);
    std::deque<CLogEvent> events = CLogMgr::GetInstance()->GetQueue();
    std::vector<std::string> lines;
    for (auto it = events.rbegin(); it != events.rend() && lines.size() < static_cast<size_t>(room); ++it) {
        char when[32];
        const SYSTEMTIME& t = it->GetTime();
        std::snprintf(when, sizeof when, "%02u:%02u:%02u ", t.wHour, t.wMinute, t.wSecond);
        lines.push_back(when + it->GetResume());
    }
    int y = firstLine;
    for (const std::string& line : lines) {
        painter.drawText(QRect(10, y, width() - 20, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromStdString(line));
        y += lineHeight;
    }
    if (IsDebugMode()) {
        std::lock_guard lock(_lock);
        for (const std::string& n : _notificationsDebug) {
            if (y > height() - lineHeight) {
                break;
            }
            painter.drawText(QRect(10, y, width() - 20, lineHeight), Qt::AlignLeft,
                             QString::fromStdString(n));
            y += lineHeight;
        }
    }
    timer.Stop();
    float ms = timer.GetTime() * 1000.0f;
    int executed = ++_OnPaintExecuted;
    if (executed == 1 || ms > _OnPaintMajorTimeExecution.load()) {
        _OnPaintMajorTimeExecution = ms;
    }
    if (executed == 1 || ms < _OnPaintMinorTimeExecution.load()) {
        _OnPaintMinorTimeExecution = ms;
    }
}

#include "app/CApp.h"

#include <unistd.h>

#include <QApplication>
#include <QCursor>

#include "core/CBaseException.h"
#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/DateTime.h"
#include "core/DebugTrace.h"
#include "core/MessageBoxes.h"
#include "platform/CControlServer.h"
#include "platform/CProcessLauncher.h"
#include "platform/CWindowHandles.h"
#include "platform/Services.h"
#include "ui/CBaseWindow.h"
#include "ui/CQtApplication.h"
#include "ui/CWindowMain.h"

std::atomic<CApp*> CApp::_me{nullptr};

namespace {

constexpr int kApplicationSource = 300;
constexpr int kSeverityInfo = 2;
constexpr int kSeverityWarning = 3;

std::string modulePath() {
    return platform::CProcessLauncher::selfExecutable().string();
}

void restoreCursor() {
    if (QApplication::instance()) {
        while (QApplication::overrideCursor()) {
            QApplication::restoreOverrideCursor();
        }
    }
}

}  // namespace

CApp::CApp() : _control(std::make_unique<platform::CControlServer>(platform::Services::get().home())) {
    _me.store(this);
    Install(this);
    CTextsMgr* texts = CTextsMgr::GetInstance();
    CLogMgr::Log(kApplicationSource, kSeverityInfo, texts->GetText("EVENT_LOG_MGR_STARTING_RESUME"),
                 texts->GetText("EVENT_LOG_MGR_STARTING_DESCRIPTION"));
    // The services the phone could not reach: their managers report -1; say which and why.
    for (const std::string& line : platform::Services::get().unavailable()) {
        // The summary names the service; the description adds the reason.
        CLogMgr::Log(kApplicationSource, kSeverityWarning, line.substr(0, line.find(": ")), line);
    }
}

CApp::~CApp() {
    _control->stop();
    // Only the user's Exit (which clears them when the window closes) and a restart give up the
    // pending wake-ups. Any other end (Ctrl-C, SIGTERM, a failed start) keeps them, as a phone
    // keeps them through a reboot, so that a time-limited change still reverts.
    if (GetRestart()) {
        ClearNotifications();
        ScheduleRelaunch();
    }
    Uninstall(this);
    CApp* self = this;
    _me.compare_exchange_strong(self, nullptr);
}

void CApp::RequestRestart() {
    SetRestart(1);
    RequestClose();
}

void CApp::Restart() {
    ScheduleRelaunch();
    // No clean-up at all: only make sure the relaunch outlives this process.
    platform::Services::get().handOffPendingNotifications();
    std::fflush(nullptr);
    ::_exit(0);
}

int CApp::WinMain(uintptr_t hInstance, uintptr_t hPrevInstance, const std::string& commandLine,
                  int showMode) {
    _hInstance = hInstance;
    _hPrevInstance = hPrevInstance;
    _commandLine = commandLine;
    _showMode = showMode;
    try {
        if (!InitInstance()) {
            restoreCursor();
            return _startFailureCode;
        }
        restoreCursor();
        // Qt's loop dispatches the window messages; modeless dialogs get their keyboard handling
        // from Qt itself.
        int code = QApplication::exec();
        CQtApplication::RethrowPending();
        return code;
    } catch (const CBaseException& e) {
        restoreCursor();
        TextBox(e.GetMessageW());
    } catch (...) {
        restoreCursor();
        TextBox(SafeSprintf(CTextsMgr::GetInstance()->GetText("UNEXPECTED ERROR")));
    }
    return 1;
}

void CApp::RequestClose() {
    if (CBaseWindow* window = GetMainWindow()) {
        if (auto* main = dynamic_cast<CWindowMain*>(window)) {
            main->SetClosingZVA(1);
        }
        platform::CWindowHandles::PostMessageW(window->GetHandle(), WM_CLOSE, 0, 0);
    }
}

void CApp::ClearNotifications() {
    auto& notifications = platform::Services::get().notifications();
    const std::string self = modulePath();
    for (uint32_t handle : notifications.getUserNotificationHandles()) {
        platform::UserNotificationTrigger trigger;
        if (notifications.getUserNotification(handle, trigger) && trigger.application == self) {
            notifications.clearUserNotification(handle);
        }
    }
}

void CApp::ScheduleRelaunch() {
    auto& services = platform::Services::get();
    platform::UserNotificationTrigger trigger;
    trigger.application = modulePath();
    trigger.start = services.clock().localTime();
    DT_AddDiff(trigger.start, kRelaunchSeconds, DT_SECOND);
    if (services.notifications().setUserNotification(trigger) == 0) {
        LogFormateado(1, "the relaunch of %s could not be scheduled", trigger.application);
    }
}

#include "core/CAppConnMgr.h"

#include <time.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include <QApplication>
#include <QCursor>

#include "core/CLogMgr.h"
#include "platform/CControlServer.h"
#include "platform/Services.h"
#include "ui/CWindowMain.h"

CAppConnMgr::CAppConnMgr() = default;

CAppConnMgr::~CAppConnMgr() {
    // No more requests from outside: their handlers use the window and the members.
    GetControlServer().stop();
    // The main window first, then the members in reverse order of construction.
    _mainWindow.reset();
    SetMainWindow(nullptr);
}

int CAppConnMgr::InitInstance() {
    // 1. Wait cursor while the application starts.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // 2-3. Database opening and its round-trip check come with the data store.
    // 4. Managers are initialised here, in their fixed order, as they come.
    // 5. The main window.
    _mainWindow = std::make_unique<CWindowMain>(0, 1);
    int result = _mainWindow->InitGUIBase(GetHInstance(), GetCommandLine(), 1);
    // 6-9. Bluetooth, listener registrations, refresh of every manager and the schedule engine
    // come with their managers.
    // 10. Arrow cursor again.
    QApplication::restoreOverrideCursor();
    // 11-13. Included places, database closing and the location upload come with their parts.
    RegisterControlCommands();
    // 14. Start-up is complete.
    _startupMs.store(MillisecondsSinceProcessStart());
    SetInitiated(result != 0);
    return result;
}

long CAppConnMgr::MillisecondsSinceProcessStart() {
    // Field 22 of /proc/self/stat: the process's start in clock ticks after boot.
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    auto close = text.rfind(')');
    if (close == std::string::npos) {
        return -1;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long startTicks = 0;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
        if (i == 22) {
            startTicks = std::stoull(field);
        }
    }
    timespec now{};
    ::clock_gettime(CLOCK_BOOTTIME, &now);
    double nowMs = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
    double startMs = startTicks * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
    return static_cast<long>(nowMs - startMs);
}

void CAppConnMgr::RegisterControlCommands() {
    GetControlServer().on("app", [this](const std::vector<std::string>&) {
        std::string out = "pid=" + std::to_string(::getpid()) + "\n";
        out += "home=" + platform::Services::get().home().root().string() + "\n";
        out += std::string("initiated=") + (IsInitiated() ? "1" : "0") + "\n";
        out += "startup_ms=" + std::to_string(_startupMs.load()) + "\n";
        if (CWindowMain* window = _mainWindow.get()) {
            out += window->DescribeState();
        }
        return out;
    });
}

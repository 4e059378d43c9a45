// The program entry. It decides, from its command line and from whether a program of this home
// already runs, whether to start the application, to bring the running one forward, or to hand a
// notification of the phone over to it.

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "app/AppExports.h"
#include "app/CAppConnMgr.h"
#include "core/CBaseException.h"
#include "core/CInstaller.h"
#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/MemoryState.h"
#include "core/MessageBoxes.h"
#include "core/Utf16.h"
#include "core/WorkerThread.h"
#include "location/CCellMgr.h"
#include "platform/CBackend.h"
#include "platform/CControlClient.h"
#include "platform/CControlServer.h"
#include "platform/CInstanceLock.h"
#include "platform/PlatformError.h"
#include "platform/Services.h"
#include "platform/sim/CSimServices.h"
#include "schedule/CScheduleEngine.h"
#include "ui/CButtonOwnDrawImage.h"
#include "ui/CQtApplication.h"
#include "ui/CQtMessageBoxes.h"
#include "ui/CWindowMain.h"

// The program's own Restart, the same as the library's.
void Restart() {
    RequestApplicationRestart();
}

namespace {

constexpr int kShowNormal = 1;
constexpr const char* kTimerWord = "timer_notification";
constexpr const char* kIdleLine = "iddle_notification";

struct Options {
    std::string home;
    std::string backend;
    bool install = false;
    bool help = false;
    int width = 480;
    int height = 640;
    std::string commandLine;
};

void usage(FILE* out) {
    std::fprintf(
        out,
        "usage: zentrova [--home DIR] [--backend sim|linux] [--screen WxH] [COMMAND LINE]\n"
        "       zentrova [--home DIR] --install\n"
        "  --backend B    the phone the program runs on: sim (the simulated phone, the default)\n"
        "                 or linux (this machine's own services over the system bus); default\n"
        "                 $ZENTROVA_BACKEND, else sim\n"
        "  --home DIR     the phone's root folder (default $ZENTROVA_HOME, else\n"
        "                 $XDG_DATA_HOME/zentrova, else ~/.local/share/zentrova)\n"
        "  --install      create the home, copy the resources, write missing settings, and exit\n"
        "  --screen WxH   size of the main window, the phone's screen (default 480x640)\n"
        "With no command line the program starts, or brings the running one forward. The phone's\n"
        "notification service starts it with a \"timer_notification_...\" or \"iddle_notification\"\n"
        "command line, which is handed to the running program. With no display the program runs\n"
        "on Qt's offscreen platform.\n");
}

// Our own options come first; the rest is the command line the phone passes.
bool parse(int argc, char** argv, Options& o, std::string& error) {
    int i = 1;
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--home" && i + 1 < argc) {
            o.home = argv[++i];
        } else if (a == "--backend" && i + 1 < argc) {
            o.backend = argv[++i];
        } else if (a == "--install") {
            o.install = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--screen" && i + 1 < argc) {
            char tail = 0;
            if (std::sscanf(argv[++i], "%dx%d%c", &o.width, &o.height, &tail) != 2 || o.width < 100 ||
                o.height < 100 || o.width > 8000 || o.height > 8000) {
                error = std::string("--screen: expected WIDTHxHEIGHT, got '") + argv[i] + "'";
                return false;
            }
        } else if (a.rfind("--", 0) == 0) {
            error = "unknown option " + a;
            return false;
        } else {
            break;
        }
    }
    for (; i < argc; ++i) {
        if (!o.commandLine.empty()) {
            o.commandLine += ' ';
        }
        o.commandLine += argv[i];
    }
    return true;
}

std::string toHex(const std::string& bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

// Whether a command line is one that a running program takes (empty, a timer line, the idle line).
bool isForwarded(const std::string& commandLine) {
    return commandLine.empty() || commandLine.find(kTimerWord) != std::string::npos ||
           commandLine == kIdleLine;
}

// Step 3: a program of this home runs; hand the command line over to it.
void forward(const platform::CControlClient& running, const std::string& commandLine) {
    std::string reply;
    if (commandLine.empty()) {
        running.request({"show"}, reply);
    } else if (commandLine.find(kTimerWord) != std::string::npos) {
        // The whole line with its terminating zero, as UTF-16LE: (characters + 1) x 2 bytes.
        std::string data = Utf8ToUtf16Le(commandLine);
        data.append(2, '\0');
        running.request({"copydata", toHex(data)}, reply);
    } else if (commandLine == kIdleLine) {
        running.request({"post", std::to_string(CWindowMain::WM_IDLE_NOTIFICATION), "0", "0"}, reply);
    }
    // Anything else is ignored.
}

// Whether the running program has finished its start-up, so that a forwarded line reaches its
// listeners (a line handed over earlier would find none).
bool isReady(const platform::CControlClient& running) {
    std::string reply;
    if (running.request({"app"}, reply, 2000) != platform::CControlClient::Status::Ok) {
        return false;
    }
    return reply.rfind("initiated=1\n", 0) == 0 || reply.find("\ninitiated=1\n") != std::string::npos;
}

// How long a launch waits, in real time, for the program that holds the instance lock to finish
// its start-up (a new home's database takes a while on a slow phone clock).
constexpr auto kReadyWait = std::chrono::seconds(120);
constexpr auto kReadyPoll = std::chrono::milliseconds(50);

enum class HandOver { Done, TakeOver, TimedOut };

// Another launch of this home holds the instance lock: it runs or is starting. Waits until it can
// take the command line and hands it over. When the holder ends without becoming ready, this
// launch takes the lock and its place.
HandOver handOver(const platform::CHome& home, platform::CInstanceLock& lock,
                  const std::string& commandLine) {
    if (!isForwarded(commandLine)) {
        return HandOver::Done;  // ignored anyway: nothing to wait for
    }
    platform::CControlClient running(home);
    auto deadline = std::chrono::steady_clock::now() + kReadyWait;
    while (std::chrono::steady_clock::now() < deadline) {
        if (isReady(running)) {
            forward(running, commandLine);
            return HandOver::Done;
        }
        if (lock.tryLock()) {
            return HandOver::TakeOver;
        }
        std::this_thread::sleep_for(kReadyPoll);
    }
    return HandOver::TimedOut;
}

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
    char c = 's';
    (void)!::write(g_signalPipe[1], &c, 1);
}

bool hasDisplay() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* v = std::getenv(name);
        if (v && *v) {
            return true;
        }
    }
    return false;
}

// A failure before the application runs (installing, constructing it) is shown like any other
// error of the application: in its message box, or printed when nobody can answer one.
void showStartError(const std::string& message) {
    try {
        TextBox(message);
    } catch (const std::exception&) {
        std::fprintf(stderr, "zentrova: %s\n", message.c_str());
    }
}

std::string unexpectedErrorText(const std::string& detail) {
    std::string text;
    try {
        text = CTextsMgr::GetInstance()->GetText("UNEXPECTED ERROR");
    } catch (const std::exception&) {
    }
    if (text.empty() || text == "????") {
        text = "Unexpected error";
    }
    return text + "\n" + detail;
}

// Step 5: what is left to tidy once the application has ended (or never started).
void finalCleanUp() {
    // The skin images the buttons cached for the whole run.
    CButtonOwnDrawImage::ClearBitmapList();
    if (platform::Services::isInstalled()) {
        try {
            CLogMgr::GetInstance()->vaciar();
            CCellMgr::GetInstance()->vaciar();
        } catch (const CBaseException& e) {
            LogFormateado(1, "%s", e.GetMessageW());
        }
    }
    LogFormateado(1, "paint: %d executed, longest %f ms, shortest %f ms",
                  CWindowMain::_OnPaintExecuted.load(),
                  static_cast<double>(CWindowMain::_OnPaintMajorTimeExecution.load()),
                  static_cast<double>(CWindowMain::_OnPaintMinorTimeExecution.load()));
    LogFormateado(1, "frames started: %d, longest %f ms, shortest %f ms",
                  CActionExecutor::_StartPeriodExecuted.load(),
                  static_cast<double>(CActionExecutor::_StartPeriodMajorTimeExecution.load()),
                  static_cast<double>(CActionExecutor::_StartPeriodMinorTimeExecution.load()));
    LogFormateado(1, "worker threads alive: %d", static_cast<int>(WorkerThread::GetNumeroInstancias()));
    WorkerThread::TerminateAll();
}

// The services of the chosen backend; the linux backend's bus needs the Qt application first.
std::unique_ptr<platform::Services> createServices(platform::CBackend::Kind backend,
                                                   const std::filesystem::path& home,
                                                   platform::Services::Role role) {
    if (backend == platform::CBackend::Kind::Linux) {
        return platform::CBackend::loadModule(platform::CBackend::kModuleFile, home, role);
    }
    return platform::sim::CSimServices::Create(home, role);
}

// Step 4, empty command line: run the application until its window closes, on the services of
// `backend`, and tidy up (step 5) while they are still there.
int runApplication(const Options& o, platform::CBackend::Kind backend, const platform::CHome& home,
                   const std::shared_ptr<platform::CInstanceLock>& lock) {
    bool offscreen = !hasDisplay();
    if (offscreen) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::printf(
            "zentrova: no display found; running with Qt's offscreen platform\n"
            "zentrova: to see the panel, start it with QT_QPA_PLATFORM=vnc:size=480x640:port=5900 and "
            "connect\n"
            "          a VNC viewer to localhost:5900 (another port: change 5900)\n");
        std::fflush(stdout);
    }
    int qargc = 1;
    char name[] = "zentrova";
    char* qargv[] = {name, nullptr};
    CQtApplication qt(qargc, qargv);
    auto services = createServices(backend, home.root(), platform::Services::Role::Program);
    platform::Services::Scope scope(*services);
    if (!offscreen && !std::getenv("ZENTROVA_BOX_ANSWER") &&
        std::string_view(std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "") !=
            "offscreen") {
        services->setBoxes(std::make_shared<CQtMessageBoxes>());
    }
    // Ctrl-C and SIGTERM end the loop; the application then shuts down in order.
    if (::pipe2(g_signalPipe, O_CLOEXEC) != 0) {
        throw platform::PlatformError(std::string("cannot create a pipe: ") + std::strerror(errno));
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &qt, [] { QApplication::exit(0); });
    CWindowMain::SetScreenSize(o.width, o.height);

    int code = 1;
    try {
        // A home of an older version gets the settings it lacks here, not only with --install.
        CInstaller installer(services->home());
        if (installer.IsNeeded()) {
            installer.Install();
        }
        CAppConnMgr application;
        application.GetControlServer().useInstanceLock(lock);
        code = application.WinMain(0, 0, o.commandLine, kShowNormal);
    } catch (const CBaseException& e) {
        showStartError(e.GetMessageW());
    } catch (const platform::PlatformError& e) {
        showStartError(e.what());
    } catch (const std::exception& e) {
        showStartError(unexpectedErrorText(e.what()));
    }
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    finalCleanUp();
    return code;
}

int programEntry(const Options& o, platform::CBackend::Kind backend) {
    LogMemoryState("Inicio:", 0);
    platform::CHome home(platform::CHome::resolve());
    // The instance lock comes first: a second launch must not touch the home (its settings, its
    // database, the notifications of the phone) while the first one starts or runs.
    auto lock = std::make_shared<platform::CInstanceLock>(home);
    if (!lock->tryLock()) {
        switch (handOver(home, *lock, o.commandLine)) {
            case HandOver::Done:
                return 0;
            case HandOver::TimedOut:
                std::fprintf(stderr,
                             "zentrova: the program running for %s did not finish starting; the "
                             "command line was not handed over\n",
                             home.root().c_str());
                return 1;
            case HandOver::TakeOver:
                break;  // the holder ended without becoming ready: this launch starts instead
        }
    }
    int code = 0;
    if (o.commandLine.empty()) {
        code = runApplication(o, backend, home, lock);
    } else {
        // A notification that arrives while the program is not running is dropped.
        finalCleanUp();
    }
    return code;
}

}  // namespace

#if defined(__SANITIZE_THREAD__)
// Qt is not built with the thread sanitizer: the reference count of a functor queued to the
// window thread with QMetaObject::invokeMethod is an atomic the sanitizer cannot see, and it
// reports the functor's deletion as a race with its call.
extern "C" const char* __tsan_default_suppressions() {
    return "race:QMetaObject::invokeMethodImpl\n";
}
#endif

int main(int argc, char** argv) {
    Options o;
    std::string error;
    if (!parse(argc, argv, o, error)) {
        std::fprintf(stderr, "zentrova: %s\n", error.c_str());
        usage(stderr);
        return 2;
    }
    if (o.help) {
        usage(stdout);
        return 0;
    }
    if (!o.home.empty()) {
        // Programs started on our behalf (notifications, the relaunch) must find the same home.
        ::setenv("ZENTROVA_HOME", std::filesystem::absolute(o.home).c_str(), 1);
    }
    if (!o.backend.empty()) {
        // ... and the same backend.
        ::setenv(platform::CBackend::kEnvironment, o.backend.c_str(), 1);
    }
    try {
        const platform::CBackend::Kind backend = platform::CBackend::choose(o.backend);
        if (o.install) {
            // On the chosen backend, so that the simulated phone's devices are not written into the
            // registry of a home that runs on the real ones. The bus needs a Qt core application.
            int qargc = 1;
            char name[] = "zentrova";
            char* qargv[] = {name, nullptr};
            std::unique_ptr<QCoreApplication> qt;
            if (backend == platform::CBackend::Kind::Linux) {
                qt = std::make_unique<QCoreApplication>(qargc, qargv);
            }
            auto services =
                createServices(backend, platform::CHome::resolve(), platform::Services::Role::Tool);
            platform::Services::Scope scope(*services);
            CInstaller::Report r = CInstaller(services->home()).Install();
            std::printf("installed in %s: %d settings added, %d kept, %d repaired, %d files copied\n",
                        services->home().root().c_str(), r.valuesAdded, r.valuesKept, r.valuesRepaired,
                        r.filesCopied);
            return 0;
        }
        return programEntry(o, backend);
    } catch (const platform::PlatformError& e) {
        std::fprintf(stderr, "zentrova: %s\n", e.what());
    } catch (const CBaseException& e) {
        std::fprintf(stderr, "zentrova: %s\n", e.GetMessageW().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zentrova: unexpected error: %s\n", e.what());
    }
    return 1;
}

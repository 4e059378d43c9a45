// The program entry: chooses the home, installs it when needed, and runs the program on the
// simulated phone until it is closed.

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "core/CBaseException.h"
#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "platform/CControlClient.h"
#include "platform/CControlServer.h"
#include "platform/PlatformError.h"
#include "platform/Services.h"
#include "platform/qt/CQtMessageBoxes.h"

namespace {

struct Options {
    std::string home;
    bool install = false;
    bool help = false;
    int width = 480;
    int height = 640;
    std::string commandLine;
};

void usage(FILE* out) {
    std::fprintf(out,
                 "usage: zentrova [--home DIR] [--screen WxH] [COMMAND LINE]\n"
                 "       zentrova [--home DIR] --install\n"
                 "  --home DIR     the phone's root folder (default $ZENTROVA_HOME, else\n"
                 "                 $XDG_DATA_HOME/zentrova, else ~/.local/share/zentrova)\n"
                 "  --install      create the home, copy the resources, write missing settings, and exit\n"
                 "  --screen WxH   size of the main window, the phone's screen (default 480x640)\n"
                 "With no display the program runs on Qt's offscreen platform.\n");
}

bool parse(int argc, char** argv, Options& o, std::string& error) {
    int i = 1;
    for (; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--home" && i + 1 < argc) {
            o.home = argv[++i];
        } else if (a == "--install") {
            o.install = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--screen" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &o.width, &o.height) != 2 || o.width < 100 ||
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
    // What follows the options is the command line the phone's notification service passes.
    for (; i < argc; ++i) {
        if (!o.commandLine.empty()) {
            o.commandLine += ' ';
        }
        o.commandLine += argv[i];
    }
    return true;
}

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
    char c = 's';
    (void)!::write(g_signalPipe[1], &c, 1);
}

bool hasDisplay() {
    const char* platformName = std::getenv("QT_QPA_PLATFORM");
    if (platformName && *platformName) {
        return true;
    }
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}

int run(const Options& o, platform::Services& services) {
    platform::CControlClient client(services.home());
    if (client.isRunning()) {
        // Another instance of this home is running; it keeps running alone.
        return 0;
    }
    if (!o.commandLine.empty()) {
        // A notification that arrives while the program is not running is dropped.
        return 0;
    }
    CInstaller installer(services.home());
    if (installer.IsNeeded()) {
        installer.Install();
    }
    CConfigurationZentrova configuration;
    std::string language;
    configuration.GetStringParameter("language", language);

    bool offscreen = false;
    if (!hasDisplay()) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        offscreen = true;
        std::printf("zentrova: no display found; running with Qt's offscreen platform\n");
        std::fflush(stdout);
    }
    int qargc = 1;
    char name[] = "zentrova";
    char* qargv[] = {name, nullptr};
    QApplication app(qargc, qargv);
    if (!offscreen && !std::getenv("ZENTROVA_BOX_ANSWER")) {
        services.setBoxes(std::make_shared<platform::qt::CQtMessageBoxes>());
    }

    platform::CControlServer control(services.home());
    control.on("ping", [](const std::vector<std::string>&) { return std::string("pong\n"); });
    control.on("app", [&services](const std::vector<std::string>&) {
        return "pid=" + std::to_string(::getpid()) + "\nhome=" + services.home().root().string() + "\n";
    });
    if (!control.start()) {
        return 0;  // another instance started at the same moment and won
    }

    if (::pipe2(g_signalPipe, O_CLOEXEC) != 0) {
        throw platform::PlatformError(std::string("cannot create a pipe: ") + std::strerror(errno));
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] { QApplication::quit(); });

    QLabel window(QString::fromStdString("Zentrova\n\nhome: " + services.home().root().string()));
    window.setAlignment(Qt::AlignCenter);
    window.setWindowTitle("Zentrova");
    window.resize(o.width, o.height);
    window.show();
    std::printf("zentrova: running (home %s, language %s)\n", services.home().root().c_str(),
                language.c_str());
    std::fflush(stdout);
    int rc = app.exec();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    control.stop();
    return rc;
}

}  // namespace

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
        // Processes started on our behalf (notifications, the restart) must find the same home.
        ::setenv("ZENTROVA_HOME", std::filesystem::absolute(o.home).c_str(), 1);
    }
    try {
        auto services =
            platform::Services::createDefault(platform::CHome::resolve(), platform::Services::Role::Program);
        platform::Services::Scope scope(*services);
        if (o.install) {
            CInstaller::Report r = CInstaller(services->home()).Install();
            std::printf("installed in %s: %d settings added, %d kept, %d repaired, %d files copied\n",
                        services->home().root().c_str(), r.valuesAdded, r.valuesKept, r.valuesRepaired,
                        r.filesCopied);
            return 0;
        }
        return run(o, *services);
    } catch (const platform::PlatformError& e) {
        std::fprintf(stderr, "zentrova: %s\n", e.what());
    } catch (const CBaseException& e) {
        std::fprintf(stderr, "zentrova: %s\n", e.GetMessageW().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zentrova: unexpected error: %s\n", e.what());
    }
    return 1;
}

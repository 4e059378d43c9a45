// The anchor of the start-up figure: a bare Qt Widgets window of the phone's size, shown once.
// Prints "startup_ms=N", the milliseconds from the process's start to the end of its first show
// (counted as the program counts its own start-up), and exits.

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include "platform/ProcessUptime.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(240, 320);
    window.show();
    // Runs once the show and its first paint have been handled.
    QTimer::singleShot(0, [&] {
        std::printf("startup_ms=%ld\nstartup_at_us=%lld\n", platform::MillisecondsSinceProcessStart(),
                    platform::WallClockMicroseconds());
        app.quit();
    });
    return app.exec();
}

// The anchor of the start-up figure: a bare Qt Widgets window of the phone's size, shown once.
// Prints "startup_ms=N", the milliseconds from the process's start to the end of its first show
// (counted as the program counts its own start-up), and exits. With "--with-text" the window
// also shows one line of text, for reference: the first text drawn reads the font database.

#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/ProcessUptime.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(240, 320);
    std::unique_ptr<QLabel> text;
    if (argc > 1 && std::strcmp(argv[1], "--with-text") == 0) {
        text = std::make_unique<QLabel>(QStringLiteral("Place: Home"), &window);
    }
    window.show();
    // Runs once the show and its first paint have been handled.
    QTimer::singleShot(0, [&] {
        std::printf("startup_ms=%ld\nstartup_at_us=%lld\n", platform::MillisecondsSinceProcessStart(),
                    platform::WallClockMicroseconds());
        app.quit();
    });
    return app.exec();
}

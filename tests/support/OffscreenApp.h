#pragma once

#include <stdlib.h>

#include <QApplication>
#include <memory>

#include "ui/CQtApplication.h"

// The program's Qt application on the offscreen platform, made once for a test program: the
// first caller owns it (null when one exists already).
inline std::unique_ptr<CQtApplication> MakeOffscreenApp() {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance()) {
        return nullptr;
    }
    return std::make_unique<CQtApplication>(argc, argv);
}

#include "ui/CQtApplication.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>

std::exception_ptr CQtApplication::_pending;

CQtApplication::CQtApplication(int& argc, char** argv) : QApplication(argc, argv) {
    _pending = nullptr;
    // Hiding the panel keeps the program running; only the main window's destruction ends the loop.
    setQuitOnLastWindowClosed(false);
    // The font database's functions are thread-safe; the window's first use of a font then finds
    // it read, or waits for the reading already under way. Measuring a text in the default font
    // also looks up that font's fallback families, which the database keeps for every thread
    // (the font engines themselves are per thread: the window loads its own).
    _fontDatabaseReader = std::thread([] {
        QFontDatabase::families();
        QFontMetrics(QFont()).size(0, QStringLiteral("X"));
    });
}

CQtApplication::~CQtApplication() {
    _fontDatabaseReader.join();
}

bool CQtApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        if (!_pending) {
            _pending = std::current_exception();
        }
        QApplication::exit(1);
        return true;
    }
}

void CQtApplication::RethrowPending() {
    if (_pending) {
        std::exception_ptr e = _pending;
        _pending = nullptr;
        std::rethrow_exception(e);
    }
}

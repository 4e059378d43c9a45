#include "ui/CQtApplication.h"

std::exception_ptr CQtApplication::_pending;

CQtApplication::CQtApplication(int& argc, char** argv) : QApplication(argc, argv) {
    _pending = nullptr;
    // Hiding the panel keeps the program running; only the main window's destruction ends the loop.
    setQuitOnLastWindowClosed(false);
}

CQtApplication::~CQtApplication() = default;

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

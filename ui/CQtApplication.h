#pragma once

#include <QApplication>
#include <exception>
#include <thread>

// The program's Qt application. An exception that escapes a window's message handling ends the
// message loop; the application object then rethrows it where the loop was started, so that it
// is shown and ends the run like one thrown during start-up.
//
// While the program starts, a thread of its own reads the font database (the system's font
// configuration and caches, the list of families, the default font's fallbacks): the main
// window's first layout needs it, and reading it on the start-up's own thread would add several
// milliseconds to it.
class CQtApplication : public QApplication {
  public:
    CQtApplication(int& argc, char** argv);
    ~CQtApplication() override;

    bool notify(QObject* receiver, QEvent* event) override;

    // Rethrows the exception that ended the loop, if any.
    static void RethrowPending();

  private:
    static std::exception_ptr _pending;
    std::thread _fontDatabaseReader;
};

#pragma once

#include <QApplication>
#include <exception>

// The program's Qt application. An exception that escapes a window's message handling ends the
// message loop; the application object then rethrows it where the loop was started, so that it
// is shown and ends the run like one thrown during start-up.
class CQtApplication : public QApplication {
  public:
    CQtApplication(int& argc, char** argv);
    ~CQtApplication() override;

    bool notify(QObject* receiver, QEvent* event) override;

    // Rethrows the exception that ended the loop, if any.
    static void RethrowPending();

  private:
    static std::exception_ptr _pending;
};

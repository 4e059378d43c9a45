#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <deque>
#include <functional>
#include <utility>

#include "ui/COptionDialog.h"

// Answers the dialogs and option popups that a command opens one after another: each step acts on
// the modal dialog (or the popup) showing when its turn comes. A step that leaves its dialog open
// (a check on saving failed) is followed by the next step on the same dialog.
class ModalScript {
  public:
    using DialogStep = std::function<void(QDialog*)>;

    ModalScript() {
        QObject::connect(&_timer, &QTimer::timeout, [this] { Tick(); });
        _timer.start(5);
    }
    ~ModalScript() { _timer.stop(); }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    // The next modal dialog: `act` fills it and saves or cancels it.
    ModalScript& Dialog(DialogStep act) {
        _steps.push_back({std::move(act), -1});
        return *this;
    }
    // The next option popup: the choice with this command id.
    ModalScript& Popup(int choice) {
        _steps.push_back({nullptr, choice});
        return *this;
    }
    // Steps run so far, and steps never reached.
    int Ran() const { return _ran; }
    size_t Left() const { return _steps.size(); }

  private:
    struct Step {
        DialogStep dialog;
        int choice;
    };

    void Tick() {
        if (_steps.empty()) {
            return;
        }
        Step& step = _steps.front();
        if (step.dialog) {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) {
                return;
            }
            DialogStep act = std::move(step.dialog);
            _steps.pop_front();
            ++_ran;
            act(dialog);
        } else if (COptionDialog* popup = COptionDialog::GetOpen(nullptr)) {
            const int choice = step.choice;
            _steps.pop_front();
            ++_ran;
            popup->OnOptionSelected(choice);
        }
    }

    QTimer _timer;
    std::deque<Step> _steps;
    int _ran = 0;
};

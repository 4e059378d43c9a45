#pragma once

#include <deque>

#include "core/CLogEvent.h"
#include "dialogs/CDialogModalBase.h"

class QLabel;
class QPushButton;

// One event of the event log in full (time, severity, summary and description), with buttons to
// the previous and the next event of the list it was opened from.
class CDialogModalEventDetail : public CDialogModalBase {
  public:
    CDialogModalEventDetail(QWidget* parent, int templateId, std::deque<CLogEvent> events, int index);

    void Previous();
    void Next();
    int GetIndex() const { return _index; }
    // The text shown, for tests.
    QString GetShown() const;

  protected:
    void OnInitDialog() override;

  private:
    void Show();

    std::deque<CLogEvent> _events;
    int _index;
    QLabel* _when = nullptr;
    QLabel* _resume = nullptr;
    QLabel* _description = nullptr;
    QPushButton* _previous = nullptr;
    QPushButton* _next = nullptr;
};

#pragma once

#include <deque>

#include "core/CLogEvent.h"
#include "core/ILogListener.h"
#include "dialogs/CPropertyPageBase.h"

class QTreeWidget;

// The event log as it changes: time and summary of each event, newest first; an event's detail
// with the previous and next ones; the log's options, clearing it and logging a test event.
// The log tells the page of changes from any thread: the page reads the log again on its own
// thread.
class CPropertyPageEventLog : public CPropertyPageBase, public ILogListener {
  public:
    CPropertyPageEventLog() : CPropertyPageBase("DIALOG_EVENT_LOG_TITLE", "log_dialog") {}
    ~CPropertyPageEventLog() override;

    // ILogListener: any thread.
    void LogChanged(int count) override;

    // Reads the events again.
    void Reload();
    // The detail of the selected event (the first when none is selected).
    void ShowDetail();
    void ShowOptions();
    void Clear();
    void Test();

    QTreeWidget* GetList() const { return _list; }
    // The events shown, in list order (newest first).
    const std::deque<CLogEvent>& GetEvents() const { return _events; }

  protected:
    void OnInitPage() override;
    std::string GetLeftKey() const override { return "DIALOG_EVENT_LOG_DETAIL"; }
    void OnLeftKey() override { ShowDetail(); }
    void FillMenu(QMenu* menu) override;

  private:
    QTreeWidget* _list = nullptr;
    std::deque<CLogEvent> _events;
    bool _listening = false;
};

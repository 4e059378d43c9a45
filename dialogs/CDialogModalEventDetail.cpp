#include "dialogs/CDialogModalEventDetail.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/CLogMgr.h"
#include "core/SafeFormat.h"
#include "dialogs/CSoftKeyBar.h"
#include "dialogs/DialogStyle.h"
#include "dialogs/PageFields.h"

CDialogModalEventDetail::CDialogModalEventDetail(QWidget* parent, int templateId,
                                                 std::deque<CLogEvent> events, int index)
    : CDialogModalBase(parent, templateId, "DIALOG_EVENT_LOG_TITLE"),
      _events(std::move(events)),
      _index(index) {}

void CDialogModalEventDetail::OnInitDialog() {
    using namespace page_fields;
    _when = AddLabel(Content(), QString(), "when");
    _resume = AddLabel(Content(), QString(), "resume");
    _resume->setFont(dialog_style::Font(this, true));
    _description = AddLabel(Content(), QString(), "description");
    _description->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* buttons = new QHBoxLayout();
    _previous = new QPushButton(Text("PREVIOUS"));
    _previous->setObjectName("previous");
    _next = new QPushButton(Text("NEXT"));
    _next->setObjectName("next");
    buttons->addWidget(_previous);
    buttons->addWidget(_next);
    Content()->addLayout(buttons);
    connect(_previous, &QPushButton::clicked, this, [this] { Previous(); });
    connect(_next, &QPushButton::clicked, this, [this] { Next(); });
    // Reading only: the right key closes.
    SoftKeys()->SetLeft("", nullptr);
    SoftKeys()->SetRight("EXIT", [this] { Save(); });
    Show();
    page_fields::UseScreenFont(this);
}

void CDialogModalEventDetail::Previous() {
    if (_index > 0) {
        --_index;
        Show();
    }
}

void CDialogModalEventDetail::Next() {
    if (_index + 1 < static_cast<int>(_events.size())) {
        ++_index;
        Show();
    }
}

void CDialogModalEventDetail::Show() {
    if (!_when) {
        return;
    }
    if (_index < 0 || _index >= static_cast<int>(_events.size())) {
        _when->clear();
        _resume->clear();
        _description->clear();
        _previous->setEnabled(false);
        _next->setEnabled(false);
        return;
    }
    const CLogEvent& event = _events[static_cast<size_t>(_index)];
    const SYSTEMTIME& t = event.GetTime();
    _when->setText(QString::fromStdString(SafeSprintf(
                       "%04d-%02d-%02d %02d:%02d:%02d", static_cast<int>(t.wYear), static_cast<int>(t.wMonth),
                       static_cast<int>(t.wDay), static_cast<int>(t.wHour), static_cast<int>(t.wMinute),
                       static_cast<int>(t.wSecond))) +
                   "\n" + page_fields::Text("DIALOG_EVENT_LOG_TEXT_SEVERITY") + ": " +
                   CLogMgr::SeverityName(event.GetSeverity()));
    _resume->setText(QString::fromStdString(event.GetResume()));
    _description->setText(QString::fromStdString(event.GetDescription()));
    _previous->setEnabled(_index > 0);
    _next->setEnabled(_index + 1 < static_cast<int>(_events.size()));
}

QString CDialogModalEventDetail::GetShown() const {
    return _when ? _when->text() + "\n" + _resume->text() + "\n" + _description->text() : QString();
}

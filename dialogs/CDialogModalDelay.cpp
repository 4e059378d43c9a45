#include "dialogs/CDialogModalDelay.h"

#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

CDialogModalDelay::CDialogModalDelay(QWidget* parent, int seconds)
    : CDialogModalBase(parent, kTemplate, "DIALOG_DELAY_TITTLE"),
      _seconds(std::clamp(seconds, 0, kMaxSeconds)) {}

void CDialogModalDelay::OnInitDialog() {
    auto* label = new QLabel(Text("DIALOG_DELAY_DESCRIPTION"));
    label->setWordWrap(true);
    Content()->addWidget(label);
    _spin = new QSpinBox();
    _spin->setObjectName("delay");
    _spin->setRange(0, kMaxSeconds);
    _spin->setValue(_seconds);
    Content()->addWidget(_spin);
}

bool CDialogModalDelay::OnSave() {
    _seconds = _spin->value();
    return true;
}

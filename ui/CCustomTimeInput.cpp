#include "ui/CCustomTimeInput.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>

#include "core/CTextsMgr.h"

CCustomTimeInput::CCustomTimeInput(QWidget* parent) : QDialog(parent) {
    CTextsMgr* texts = CTextsMgr::GetInstance();
    auto text = [texts](const char* key) { return QString::fromStdString(texts->GetText(key)); };
    setObjectName("CustomTime");
    setWindowTitle(text("DIALOG_CUSTOM_TIME_TITLE"));
    auto* layout = new QFormLayout(this);
    _hours = new QSpinBox(this);
    _hours->setObjectName("hours");
    _hours->setRange(0, 23);
    _minutes = new QSpinBox(this);
    _minutes->setObjectName("minutes");
    _minutes->setRange(0, 59);
    layout->addRow(text("HOURS"), _hours);
    layout->addRow(text("MINUTES"), _minutes);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(text("SAVE"));
    buttons->button(QDialogButtonBox::Cancel)->setText(text("CANCEL"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addRow(buttons);
}

int CCustomTimeInput::AskMinutes() {
    if (exec() != QDialog::Accepted) {
        return 0;
    }
    return _hours->value() * 60 + _minutes->value();
}

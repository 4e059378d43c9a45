#include "dialogs/CDialogModalCustomTime.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/CConfigurationZentrova.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/SafeFormat.h"
#include "dialogs/Factories.h"

CDialogModalCustomTime::CDialogModalCustomTime(QWidget* parent, int templateId)
    : CDialogModalBase(parent, templateId, "DIALOG_CUSTOM_TIME_TITLE") {}

std::array<long, 3> CDialogModalCustomTime::Push(const std::array<long, 3>& last, long chosen) {
    if (chosen == last[0]) {
        return last;
    }
    return {chosen, last[0], last[1]};
}

void CDialogModalCustomTime::OnInitDialog() {
    for (int i = 0; i < 3; ++i) {
        _last[i] = CConfigurationZentrova::GetLongOr(kKeys[i], 0);
    }
    auto* grid = new QGridLayout();
    grid->setHorizontalSpacing(6);
    _hoursBox = new QSpinBox(this);
    _hoursBox->setObjectName("hours");
    _hoursBox->setRange(0, kMaxHours);
    _minutesBox = new QSpinBox(this);
    _minutesBox->setObjectName("minutes");
    _minutesBox->setRange(0, 59);
    grid->addWidget(new QLabel(Text("HOURS"), this), 0, 0);
    grid->addWidget(_hoursBox, 0, 1);
    grid->addWidget(new QLabel(Text("MINUTES"), this), 1, 0);
    grid->addWidget(_minutesBox, 1, 1);
    grid->setColumnStretch(1, 1);
    Content()->addLayout(grid);

    Content()->addSpacing(6);
    Content()->addWidget(new QLabel(Text("DIALOG_CUSTOM_LAST_VALUES"), this));
    for (int i = 0; i < 3; ++i) {
        auto* button = new QPushButton(this);
        button->setObjectName(QString::fromLatin1(kKeys[i]));
        if (_last[i] > 0) {
            button->setText(
                QString::fromStdString(SafeSprintf(CTextsMgr::Text("TIME LIMIT MINUTES"), _last[i])));
        } else {
            button->setText("-");
            button->setEnabled(false);
        }
        connect(button, &QPushButton::clicked, this, [this, i] { SelectLast(i); });
        Content()->addWidget(button);
    }
    _hoursBox->setFocus();
}

void CDialogModalCustomTime::SelectLast(int index) {
    if (index < 0 || index > 2 || _last[index] <= 0 || !_hoursBox) {
        return;
    }
    // A time longer than the hours field holds is kept at its longest.
    const long minutes = std::min<long>(_last[index], kMaxHours * 60 + 59);
    _hoursBox->setValue(static_cast<int>(minutes / 60));
    _minutesBox->setValue(static_cast<int>(minutes % 60));
    Save();
}

bool CDialogModalCustomTime::OnSave() {
    const int hours = _hoursBox ? _hoursBox->value() : 0;
    const int minutes = _minutesBox ? _minutesBox->value() : 0;
    const long total = hours * 60L + minutes;
    if (total <= 0) {
        return PleaseFillData();
    }
    _hours = hours;
    _minutes = minutes;
    const std::array<long, 3> pushed = Push(_last, total);
    if (pushed != _last) {
        try {
            CConfigurationZentrova* config = CConfigurationZentrova::GetInstance();
            for (int i = 0; i < 3; ++i) {
                config->SetLongParameter(kKeys[i], static_cast<uint32_t>(pushed[i]));
            }
            _last = pushed;
        } catch (const std::exception& e) {
            // The time is still used; only the list of last values is not kept.
            LogFormateado(1, "Custom times not stored: %s", e.what());
        }
    }
    return true;
}

void CDialogModalCustomTime::accept() {
    // Save() ends here once the values are stored (its result is then 1).
    if (GetResult() == 1) {
        CDialogModalBase::accept();
        return;
    }
    Save();
}

ICustomTimeDialog* New_CDialogModalCustomTime(QWidget* parent, int templateId) {
    return new CDialogModalCustomTime(parent, templateId);
}

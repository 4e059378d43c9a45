#include "dialogs/CDialogModalWeekDays.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

#include "core/SafeFormat.h"

namespace {

constexpr const char* kDayKeys[7] = {"DIALOG_WEEK_MONDAY",   "DIALOG_WEEK_TUESDAY", "DIALOG_WEEK_WEDNESDAY",
                                     "DIALOG_WEEK_THURSDAY", "DIALOG_WEEK_FRIDAY",  "DIALOG_WEEK_SATURDAY",
                                     "DIALOG_WEEK_SUNDAY"};

}  // namespace

CDialogModalWeekDays::CDialogModalWeekDays(QWidget* parent, std::string days, bool copyText)
    : CDialogModalBase(parent, kTemplate, "DIALOG_WEEK_TITLE"), _days(std::move(days)), _copyText(copyText) {}

bool CDialogModalWeekDays::IsDayIn(const std::string& days, int weekDay) {
    return weekDay >= 1 && weekDay <= 7 && days.size() >= static_cast<size_t>(weekDay) &&
           days[static_cast<size_t>(weekDay - 1)] == '1';
}

std::string CDialogModalWeekDays::OnlyDay(int weekDay) {
    std::string days(7, '0');
    if (weekDay >= 1 && weekDay <= 7) {
        days[static_cast<size_t>(weekDay - 1)] = '1';
    }
    return days;
}

void CDialogModalWeekDays::OnInitDialog() {
    if (_copyText) {
        auto* label = new QLabel(Text("DIALOG_BATTERY_COPY_PASTE_TEXT"));
        label->setWordWrap(true);
        Content()->addWidget(label);
    }
    for (int day = 1; day <= 7; ++day) {
        auto* box = new QCheckBox(Text(kDayKeys[day - 1]));
        box->setObjectName(QString("day%1").arg(day));
        box->setChecked(IsDayIn(_days, day));
        Content()->addWidget(box);
        _boxes[static_cast<size_t>(day - 1)] = box;
    }
}

bool CDialogModalWeekDays::OnSave() {
    int d[7];
    for (size_t i = 0; i < 7; ++i) {
        d[i] = _boxes[i]->isChecked() ? 1 : 0;
    }
    _days = SafeSprintf("%1d%1d%1d%1d%1d%1d%1d", d[0], d[1], d[2], d[3], d[4], d[5], d[6]);
    return true;
}

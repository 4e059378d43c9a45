#include "dialogs/CDialogModalTimeFrame.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "core/CTextsMgr.h"
#include "core/MessageBoxes.h"
#include "store/CDB.h"
#include "store/CPeriod.h"

namespace {

QTimeEdit* NewTimeEdit(const char* name, const SYSTEMTIME& time) {
    auto* edit = new QTimeEdit(QTime(time.wHour % 24, time.wMinute % 60));
    edit->setObjectName(name);
    edit->setDisplayFormat("HH:mm");
    return edit;
}

SYSTEMTIME TimeOf(const QTimeEdit* edit) {
    SYSTEMTIME t{};
    t.wHour = static_cast<uint16_t>(edit->time().hour());
    t.wMinute = static_cast<uint16_t>(edit->time().minute());
    return t;
}

}  // namespace

CDialogModalTimeFrame::CDialogModalTimeFrame(QWidget* parent, const CStrPeriod& period)
    : CDialogModalBase(parent, kTemplate, "DIALOG_TIME_FRAME_TITLE"), _period(period) {}

void CDialogModalTimeFrame::OnInitDialog() {
    Content()->addWidget(new QLabel(Text("DIALOG_TIME_FRAME_NAME")));
    _name = new QLineEdit(QString::fromStdString(_period.GetName()));
    _name->setObjectName("name");
    Content()->addWidget(_name);
    Content()->addWidget(new QLabel(Text("DIALOG_TIME_FRAME_BEGIN")));
    _begin = NewTimeEdit("begin", _period.GetInicio());
    Content()->addWidget(_begin);
    Content()->addWidget(new QLabel(Text("DIALOG_TIME_FRAME_END")));
    _end = NewTimeEdit("end", _period.GetFinal());
    Content()->addWidget(_end);
    _enabled = new QCheckBox(Text("DIALOG_TIME_FRAME_ENABLED"));
    _enabled->setObjectName("enabled");
    _enabled->setChecked(_period.GetEnabled() != 0);
    Content()->addWidget(_enabled);
    _alwaysOn = new QCheckBox(Text("DIALOG_TIME_FRAME_ALWAYSON"));
    _alwaysOn->setObjectName("alwayson");
    _alwaysOn->setChecked(_period.GetAlwaysOn() != 0);
    Content()->addWidget(_alwaysOn);
    connect(_alwaysOn, &QCheckBox::toggled, this, [this](bool on) { AlwaysOnToggled(on); });
}

void CDialogModalTimeFrame::AlwaysOnToggled(bool on) {
    if (on && QuestionBox("%s", CTextsMgr::Text("DIALOG_TIME_FRAME_ALWAYSON_WARNING")) != IDYES_ANSWER) {
        const QSignalBlocker quiet(_alwaysOn);
        _alwaysOn->setChecked(false);
    }
}

bool CDialogModalTimeFrame::CollidesWithAlwaysOn(const CStrPeriod& period) {
    CDB* db = CDB::GetOpened();
    if (!db) {
        return false;
    }
    bool collides = false;
    db->GetTablePeriods()->ForEachCached([&](const CStrPeriod& other) {
        if (other.GetAlwaysOn() && other.GetId() != period.GetId() &&
            other.GetWeekDay() == period.GetWeekDay() && CPeriod(period).Intersect(CPeriod(other))) {
            collides = true;
        }
    });
    return collides;
}

bool CDialogModalTimeFrame::OnSave() {
    const std::string name = _name->text().trimmed().toStdString();
    if (name.empty()) {
        return PleaseFillData();
    }
    CStrPeriod edited = _period;
    edited.SetName(name);
    edited.SetInicio(TimeOf(_begin));
    edited.SetFinal(TimeOf(_end));
    edited.SetEnabled(_enabled->isChecked() ? 1 : 0);
    edited.SetAlwaysOn(_alwaysOn->isChecked() ? 1 : 0);
    if (edited.GetAlwaysOn() && CollidesWithAlwaysOn(edited)) {
        TextBox(CTextsMgr::Text("DIALOG_TIME_FRAME_ALWAYSON_COLISION"));
        return false;
    }
    _period = edited;
    return true;
}

#include "dialogs/CDialogModalBacklight.h"

#include <QFormLayout>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/Factories.h"
#include "managers/CBackLightMgr.h"

namespace {

QSpinBox* NewLevel(const char* name, int value) {
    auto* spin = new QSpinBox();
    spin->setObjectName(name);
    spin->setRange(0, CDialogModalBacklight::kMaxLevel);
    spin->setValue(std::clamp(value, 0, CDialogModalBacklight::kMaxLevel));
    return spin;
}

}  // namespace

CDialogModalBacklight::CDialogModalBacklight(QWidget* parent, int templateId, int packed)
    : CDialogModalBase(parent, templateId, "DIALOG_BACKLIGHT_TITLE"), _packed(packed) {}

void CDialogModalBacklight::OnInitDialog() {
    auto* form = new QFormLayout();
    _ac = NewLevel("ac", AcOf(_packed));
    _battery = NewLevel("battery", BatteryOf(_packed));
    form->addRow(Text("AC:"), _ac);
    form->addRow(Text("Bat:"), _battery);
    Content()->addLayout(form);
}

bool CDialogModalBacklight::OnSave() {
    _packed = Pack(_ac->value(), _battery->value());
    if (_applies) {
        if (CBackLightMgr* backlight = CBackLightMgr::GetInstance()) {
            backlight->ForceStatus(_packed, 0, 0, 0);
        }
    }
    return true;
}

IModalDialog* New_CDialogModalBacklight(QWidget* parent, int templateId) {
    auto* dialog = new CDialogModalBacklight(parent, templateId);
    dialog->SetAppliesOnSave(true);
    return dialog;
}

#include "dialogs/CDialogModalAddLocation.h"

#include <QIntValidator>
#include <QLineEdit>
#include <QVBoxLayout>

#include "dialogs/CLocationAssigner.h"
#include "dialogs/PageFields.h"

CDialogModalAddLocation::CDialogModalAddLocation(QWidget* parent, int templateId)
    : CDialogModalBase(parent, templateId, "DIALOG_ADD_LOCATION_TITLE") {}

void CDialogModalAddLocation::OnInitDialog() {
    using namespace page_fields;
    AddLabel(Content(), Text("ENTER LOCATION"));
    _cell = AddText(Content(), "Cell ID:", "cell", "");
    _cell->setValidator(new QIntValidator(1, 0x7fffffff, _cell));
    _lac = AddText(Content(), "LAC:", "lac", "");
    _lac->setValidator(new QIntValidator(1, 0x7fffffff, _lac));
    page_fields::UseScreenFont(this);
}

bool CDialogModalAddLocation::OnSave() {
    uint32_t cell = 0;
    uint32_t lac = 0;
    const bool hasCell = page_fields::ReadNumber(_cell, cell) && cell > 0;
    const bool hasLac = page_fields::ReadNumber(_lac, lac) && lac > 0;
    if (CLocationAssigner::AreaMode() ? !hasLac : !hasCell) {
        return PleaseFillData();
    }
    _cellValue = hasCell ? static_cast<int>(cell) : 0;
    _lacValue = hasLac ? static_cast<int>(lac) : 0;
    return true;
}

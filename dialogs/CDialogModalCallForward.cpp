#include "dialogs/CDialogModalCallForward.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "dialogs/Factories.h"
#include "managers/CCallForwardMgr.h"

CDialogModalCallForward::CDialogModalCallForward(QWidget* parent, int templateId, std::string number)
    : CDialogModalBase(parent, templateId, "DIALOG_CALL_FORWARD_TITLE"), _number(std::move(number)) {}

void CDialogModalCallForward::OnInitDialog() {
    Content()->addWidget(new QLabel(Text("NUMBER")));
    _edit = new QLineEdit(QString::fromStdString(_number));
    _edit->setObjectName("number");
    _edit->setInputMethodHints(Qt::ImhDialableCharactersOnly);
    _edit->setMaxLength(static_cast<int>(CCallForwardMgr::kMaxNumberChars));
    Content()->addWidget(_edit);
}

bool CDialogModalCallForward::OnSave() {
    const std::string number = _edit->text().trimmed().toStdString();
    if (number.empty()) {
        return PleaseFillData();
    }
    _number = number;
    if (_applies) {
        if (CCallForwardMgr* forward = CCallForwardMgr::GetInstance()) {
            forward->SetNumberToForward(_number);
            forward->ForceStatus(1, 0, 0, 0);
        }
    }
    return true;
}

IModalDialog* New_CDialogModalCallForward(QWidget* parent, int templateId) {
    auto* dialog = new CDialogModalCallForward(parent, templateId);
    dialog->SetAppliesOnSave(true);
    if (CCallForwardMgr* forward = CCallForwardMgr::GetInstance()) {
        dialog->SetNumber(forward->GetNumberToForward());
    }
    return dialog;
}

#include "ui/COptionDialogTimeLimit.h"

#include <memory>

#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/SafeFormat.h"
#include "ui/CCustomTimeInput.h"
#include "ui/CDialogLibrary.h"
#include "ui/ICustomTimeDialog.h"

namespace {

constexpr int kTemplateCustomTime = 143;
using FactoryCustomTime = ICustomTimeDialog*(QWidget*, int);

}  // namespace

COptionDialogTimeLimit::COptionDialogTimeLimit(const std::string& title, int x, int y, int width, int height,
                                               QWidget* ownerWindow, CBaseWindow* owner)
    : COptionDialog(title, x, y, width, height, ownerWindow, owner) {
    setObjectName(kClassName);
    CTextsMgr* texts = CTextsMgr::GetInstance();
    AddButton(kNoLimit, "time_limit_none", texts->GetText("TIME LIMIT NONE"), "time_none.png");
    for (int minutes : {1, 5, 10, 30, 60, 120}) {
        const std::string id = std::to_string(minutes);
        AddButton(minutes, "time_limit_" + id, SafeSprintf(texts->GetText("TIME LIMIT MINUTES"), minutes),
                  "time_" + id + ".png");
    }
    AddButton(kCustom, "time_limit_custom", texts->GetText("TIME LIMIT CUSTOM"), "time_custom.png");
}

LRESULT COptionDialogTimeLimit::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = static_cast<int>(wParam & 0xFFFF);
    if (id != kCustom) {
        return COptionDialog::OnCommand(wParam, lParam);
    }
    const int minutes = AskCustomTime();
    if (minutes > 0) {
        OnOptionSelected(minutes);
    }
    // Cancelled: the popup stays for another choice.
    return 1;
}

int COptionDialogTimeLimit::AskCustomTime() {
    {
        CDialogLibrary library;
        if (void* symbol = library.Find("New_CDialogModalCustomTime")) {
            std::unique_ptr<ICustomTimeDialog> dialog(
                reinterpret_cast<FactoryCustomTime*>(symbol)(GetOwnerWindow(), kTemplateCustomTime));
            if (!dialog) {
                return 0;
            }
            const int minutes = dialog->DoModal() == 1 ? dialog->GetHours() * 60 + dialog->GetMinutes() : 0;
            dialog.reset();  // before the library that holds its code goes
            return minutes;
        }
        LogFormateado(1, "COptionDialogTimeLimit: no custom-time dialog in the library: %s",
                      library.GetError());
    }
    CCustomTimeInput input(GetOwnerWindow());
    return input.AskMinutes();
}

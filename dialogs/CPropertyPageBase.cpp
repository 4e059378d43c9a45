#include "dialogs/CPropertyPageBase.h"

#include <QMenu>
#include <QVBoxLayout>
#include <memory>

#include "core/CTextsMgr.h"
#include "dialogs/CSoftKeyBar.h"
#include "dialogs/DialogStyle.h"
#include "dialogs/Factories.h"
#include "ui/IModalDialog.h"

namespace {

constexpr int kTemplateTextFile = 180;

}  // namespace

CPropertyPageBase::CPropertyPageBase(std::string titleKey, std::string helpName)
    : _titleKey(std::move(titleKey)), _helpName(std::move(helpName)) {
    setObjectName(QString::fromStdString(_helpName));
    _content = new QVBoxLayout(this);
    _content->setContentsMargins(4, 4, 4, 4);
    _content->setSpacing(4);
}

QString CPropertyPageBase::Text(const std::string& key) {
    return QString::fromStdString(CTextsMgr::Text(key));
}

void CPropertyPageBase::InitPage() {
    if (_initialised) {
        return;
    }
    _initialised = true;
    OnInitPage();
}

void CPropertyPageBase::ShowHelp() {
    const std::string file = FindHelpFile();
    const std::string title = CTextsMgr::Text("DIALOG_HELP_TITLE");
    std::unique_ptr<IModalDialog> dialog(
        New_CDialogModalTextFile(window(), kTemplateTextFile, title.c_str(), file.c_str()));
    dialog->DoModal();
}

void CPropertyPageBase::Activate(CSoftKeyBar* keys) {
    InitPage();
    if (IsSettingsPage()) {
        keys->SetLeft("SAVE", [this] { OnSave(); });
    } else {
        keys->SetLeft(GetLeftKey(), [this] { OnLeftKey(); });
    }
    if (!_menu) {
        _menu = new QMenu(this);
        dialog_style::Apply(_menu);
        FillMenu(_menu);
        if (!_menu->isEmpty()) {
            _menu->addSeparator();
        }
        _menu->addAction(Text("MENU_HELP_TEXT"), [this] { ShowHelp(); })->setObjectName("MENU_HELP_TEXT");
    }
    keys->SetRightMenu("MENU_MENU", _menu);
}

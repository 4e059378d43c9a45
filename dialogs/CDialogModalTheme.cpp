#include "dialogs/CDialogModalTheme.h"

#include <QListWidget>
#include <QVBoxLayout>

#include "core/CTextsMgr.h"
#include "core/MessageBoxes.h"
#include "dialogs/Factories.h"
#include "platform/Services.h"
#include "schedule/CScheduleEngine.h"

namespace {

// The list takes the height the dialog has (the base ends the content with a stretch of 1).
constexpr int kListStretch = 100;

}  // namespace

CDialogModalTheme::CDialogModalTheme(QWidget* parent, int templateId, std::string current)
    : CDialogModalBase(parent, templateId, "DIALOG_THEME_TITLE"), _theme(std::move(current)) {}

std::vector<std::string> CDialogModalTheme::InstalledThemes() {
    std::vector<std::string> themes;
    try {
        if (platform::Services::isInstalled() &&
            platform::Services::get().todayThemePanel().listThemes(themes) != platform::ERROR_SUCCESS) {
            themes.clear();
        }
    } catch (const std::exception&) {
        themes.clear();  // a phone without a Today panel
    }
    return themes;
}

void CDialogModalTheme::OnInitDialog() {
    _list = new QListWidget();
    _list->setObjectName("themes");
    for (const std::string& theme : InstalledThemes()) {
        auto* item = new QListWidgetItem(QString::fromStdString(theme), _list);
        if (theme == _theme) {
            _list->setCurrentItem(item);
        }
    }
    connect(_list, &QListWidget::itemActivated, this, [this] { Save(); });
    Content()->addWidget(_list, kListStretch);
}

bool CDialogModalTheme::OnSave() {
    QListWidgetItem* item = _list->currentItem();
    if (!item) {
        return PleaseFillData();
    }
    _theme = item->text().toStdString();
    if (_applies) {
        if (CScheduleEngine* engine = CScheduleEngine::GetInstance()) {
            TextBox(CTextsMgr::Text("DONT TOUCH SCREEN"));
            engine->SetTheme(_theme);
        }
    }
    return true;
}

IModalDialog* New_CDialogModalTheme(QWidget* parent, int templateId) {
    auto* dialog = new CDialogModalTheme(parent, templateId);
    dialog->SetAppliesOnSave(true);
    return dialog;
}

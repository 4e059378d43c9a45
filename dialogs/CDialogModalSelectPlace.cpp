#include "dialogs/CDialogModalSelectPlace.h"

#include <QListWidget>
#include <QVBoxLayout>

#include "core/CTextsMgr.h"
#include "core/MessageBoxes.h"
#include "dialogs/PageFields.h"

CDialogModalSelectPlace::CDialogModalSelectPlace(QWidget* parent, int templateId,
                                                 std::vector<CStrPlace> places)
    : CDialogModalBase(parent, templateId, "Choose Place"), _places(std::move(places)) {}

void CDialogModalSelectPlace::OnInitDialog() {
    _list = new QListWidget();
    _list->setObjectName("places");
    for (const CStrPlace& place : _places) {
        _list->addItem(QString::fromStdString(place.GetName()));
    }
    connect(_list, &QListWidget::itemActivated, this, [this] { Save(); });
    Content()->addWidget(_list, 1);
    page_fields::UseScreenFont(this);
}

bool CDialogModalSelectPlace::OnSave() {
    const int row = _list->currentRow();
    if (row < 0 || row >= static_cast<int>(_places.size())) {
        TextBox(CTextsMgr::Text("SELECT PROFILE"));
        return false;
    }
    _chosen = _places[static_cast<size_t>(row)];
    return true;
}

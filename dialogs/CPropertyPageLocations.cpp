#include "dialogs/CPropertyPageLocations.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QVBoxLayout>

#include "core/CBaseException.h"
#include "core/CTextsMgr.h"
#include "core/MessageBoxes.h"
#include "core/SafeFormat.h"
#include "dialogs/CDialogModalAddLocation.h"
#include "dialogs/PageFields.h"

namespace {

constexpr int kTemplateAddLocation = 191;

bool Confirmed(const char* key) {
    return QuestionBox("%s", CTextsMgr::Text(key)) == IDYES_ANSWER;
}

void Report(const std::exception& e) {
    const auto* base = dynamic_cast<const CBaseException*>(&e);
    ReportError(base ? base->GetMessageW() : std::string(e.what()));
}

}  // namespace

void CPropertyPageLocations::OnInitPage() {
    using namespace page_fields;
    // Whether places are found by cell or by location area; the engine follows a change at once.
    _mode = AddCombo(Content(), "LOCATION MODE", "location_mode");
    _mode->addItem(Text("CELL MODE"), 1);
    _mode->addItem(Text("LAC MODE"), 0);
    _mode->setCurrentIndex(CLocationAssigner::AreaMode() ? 1 : 0);
    connect(_mode, &QComboBox::activated, this, [this] { SetMode(_mode->currentData().toInt()); });
    _current = AddLabel(Content(), QString(), "current");
    _places = AddCombo(Content(), "STATIC SELECT PROFILE", "places");
    AddLabel(Content(), Text("ALLOCATE PLACES TO PROFILES"));
    _list = new QListWidget();
    _list->setObjectName("locations");
    Content()->addWidget(_list, 1);
    Reload();
    page_fields::UseScreenFont(this);
}

void CPropertyPageLocations::Reload() {
    using namespace page_fields;
    _mode->setCurrentIndex(CLocationAssigner::AreaMode() ? 1 : 0);
    const int chosen = _places->currentIndex() >= 0 ? _places->currentData().toInt() : 0;
    _places->clear();
    _list->clear();
    _entries.clear();
    try {
        for (const CStrPlace& place : CLocationAssigner::Places()) {
            _places->addItem(QString::fromStdString(place.GetName()), place.GetId());
        }
        _entries = CLocationAssigner::Entries();
    } catch (const std::exception& e) {
        Report(e);
    }
    _places->setCurrentIndex(chosen > 0 ? _places->findData(chosen) : -1);
    for (const CLocationAssigner::Entry& entry : _entries) {
        QString text =
            QString::fromStdString(SafeSprintf("%s-%s", std::to_string(entry.location), entry.place));
        if (entry.hasGps) {
            text += " \u00b7 " + Text("DIALOG_GPS_TITLE");
        }
        _list->addItem(text);
    }
    // The current location and its place, when one is known.
    const int location = CLocationAssigner::CurrentLocation();
    QString current = Text("CURRENT LOCATION") + ": ";
    if (location > 0) {
        CLocationAssigner::Entry entry;
        const bool known = CLocationAssigner::Find(location, entry);
        current += QString::fromStdString(
            SafeSprintf("%s-%s", std::to_string(location), known ? entry.place : CTextsMgr::Text("UNKNOWN")));
    } else {
        current += "-";
    }
    _current->setText(current);
}

void CPropertyPageLocations::SetMode(int mode) {
    try {
        CLocationAssigner::SetMode(mode);
    } catch (const std::exception& e) {
        Report(e);
    }
    Reload();
}

void CPropertyPageLocations::FillMenu(QMenu* menu) {
    menu->addAction(Text("UNASSIGN"), [this] { UnassignLocation(); })->setObjectName("UNASSIGN");
    menu->addAction(Text("MENU_ADD_LOCATION"), [this] { AddLocation(); })->setObjectName("MENU_ADD_LOCATION");
    menu->addAction(Text("MENU_REMOVE_LOCATION"), [this] { RemoveLocation(); })
        ->setObjectName("MENU_REMOVE_LOCATION");
    menu->addAction(Text("DIALOG_MAIN_POPUP_REMOVE_GPS"), [this] { RemoveGps(); })
        ->setObjectName("DIALOG_MAIN_POPUP_REMOVE_GPS");
    menu->addAction(Text("REFRESH_MENU"), [this] { Reload(); })->setObjectName("REFRESH_MENU");
}

int CPropertyPageLocations::ChosenPlace() {
    const int id = _places->currentIndex() >= 0 ? _places->currentData().toInt() : 0;
    if (id <= 0) {
        TextBox(CTextsMgr::Text("SELECT PROFILE"));
    }
    return id;
}

bool CPropertyPageLocations::SelectedEntry(CLocationAssigner::Entry& entry) const {
    const int row = _list->currentRow();
    if (row < 0 || row >= static_cast<int>(_entries.size())) {
        return false;
    }
    entry = _entries[static_cast<size_t>(row)];
    return true;
}

void CPropertyPageLocations::AssignAsked(int location, int idPlace) {
    if (!Confirmed("CONFIRM ALLOCATE")) {
        return;
    }
    try {
        CLocationAssigner::Assign(location, idPlace);
    } catch (const std::exception& e) {
        Report(e);
        return;
    }
    Reload();
    TextBox(CTextsMgr::Text("LOCATION ASSIGNED"));
}

int CPropertyPageLocations::TargetLocation() const {
    CLocationAssigner::Entry entry;
    return SelectedEntry(entry) ? entry.location : CLocationAssigner::CurrentLocation();
}

void CPropertyPageLocations::AssignLocation() {
    const int idPlace = ChosenPlace();
    if (idPlace <= 0) {
        return;
    }
    const int location = TargetLocation();
    if (location <= 0) {
        TextBox(CTextsMgr::Text("LOCATION NOT FOUND"));
        return;
    }
    AssignAsked(location, idPlace);
}

void CPropertyPageLocations::UnassignLocation() {
    const int location = TargetLocation();
    CLocationAssigner::Entry entry;
    try {
        if (location <= 0 || !CLocationAssigner::Find(location, entry)) {
            TextBox(CTextsMgr::Text("LOCATION NOT FOUND"));
            return;
        }
        if (!Confirmed("CONFIRM DEALLOCATE")) {
            return;
        }
        CLocationAssigner::Unassign(location);
    } catch (const std::exception& e) {
        Report(e);
    }
    Reload();
}

void CPropertyPageLocations::AddLocation() {
    const int idPlace = ChosenPlace();
    if (idPlace <= 0) {
        return;
    }
    CDialogModalAddLocation dialog(window(), kTemplateAddLocation);
    if (dialog.DoModal() != 1) {
        return;
    }
    AssignAsked(CLocationAssigner::AreaMode() ? dialog.GetLac() : dialog.GetCell(), idPlace);
}

void CPropertyPageLocations::RemoveLocation() {
    CLocationAssigner::Entry entry;
    if (!SelectedEntry(entry)) {
        TextBox(CTextsMgr::Text("SELECT LOCATION"));
        return;
    }
    if (!Confirmed("CONFIRM DEALLOCATE")) {
        return;
    }
    try {
        if (!CLocationAssigner::Unassign(entry.location)) {
            TextBox(CTextsMgr::Text("LOCATION NOT FOUND"));
        }
    } catch (const std::exception& e) {
        Report(e);
    }
    Reload();
}

void CPropertyPageLocations::RemoveGps() {
    CLocationAssigner::Entry entry;
    if (CLocationAssigner::AreaMode() || !SelectedEntry(entry) || !entry.hasGps) {
        TextBox(CTextsMgr::Text("SELECT ROW VALID CELL"));
        return;
    }
    if (!Confirmed("DIALOG_MAIN_POPUP_REMOVE_GPS_CONFIRMATION")) {
        return;
    }
    try {
        CLocationAssigner::RemoveGps(entry.location);
    } catch (const std::exception& e) {
        Report(e);
    }
    Reload();
}

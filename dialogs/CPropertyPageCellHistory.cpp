#include "dialogs/CPropertyPageCellHistory.h"

#include <QHeaderView>
#include <QMenu>
#include <QMetaObject>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <exception>

#include "core/CBaseException.h"
#include "core/CTextsMgr.h"
#include "core/MessageBoxes.h"
#include "core/SafeFormat.h"
#include "dialogs/CDialogModalSelectPlace.h"
#include "dialogs/CLocationAssigner.h"
#include "dialogs/PageFields.h"
#include "location/CCellMgr.h"

namespace {

constexpr int kTemplateSelectPlace = 194;

void Report(const std::exception& e) {
    const auto* base = dynamic_cast<const CBaseException*>(&e);
    ReportError(base ? base->GetMessageW() : std::string(e.what()));
}

}  // namespace

CPropertyPageCellHistory::~CPropertyPageCellHistory() {
    if (_listening) {
        CCellMgr::GetInstance()->RemoveCellChangeListener(this);
    }
}

void CPropertyPageCellHistory::OnInitPage() {
    using namespace page_fields;
    _list = new QTreeWidget();
    _list->setObjectName("cells");
    _list->setRootIsDecorated(false);
    _list->setColumnCount(4);
    _list->setHeaderLabels(
        {Text("DIALOG_CELL_HISTORY_LIST_COLUMN_TIME"), Text("DIALOG_CELL_HISTORY_LIST_COLUMN_CELL"),
         Text("DIALOG_CELL_HISTORY_LIST_COLUMN_LAC"), Text("DIALOG_CELL_HISTORY_LIST_COLUMN_PROFILE")});
    for (int column = 0; column < 3; ++column) {
        _list->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    _list->header()->setStretchLastSection(true);
    _list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Content()->addWidget(_list, 1);
    CCellMgr::GetInstance()->AddCellChangeListener(this);
    _listening = true;
    Reload();
    page_fields::UseScreenFont(this);
}

void CPropertyPageCellHistory::CellHistoryChanged(size_t) {
    QMetaObject::invokeMethod(
        this, [this] { Reload(); }, Qt::QueuedConnection);
}

void CPropertyPageCellHistory::Reload() {
    if (!_list) {
        return;
    }
    const int row = _list->currentIndex().row();
    _events = CCellMgr::GetInstance()->GetQueue();
    _list->clear();
    for (CCellEvent& event : _events) {
        const SYSTEMTIME& t = event.GetTime();
        auto* item = new QTreeWidgetItem(_list);
        item->setText(0, QString::fromStdString(SafeSprintf("%02d:%02d", static_cast<int>(t.wHour),
                                                            static_cast<int>(t.wMinute))));
        item->setText(1, QString::number(event.GetCell()));
        item->setText(2, QString::number(event.GetLac()));
        item->setText(3, QString::fromStdString(event.GetProfile()));
    }
    if (row >= 0 && row < _list->topLevelItemCount()) {
        _list->setCurrentItem(_list->topLevelItem(row));
    }
}

void CPropertyPageCellHistory::FillMenu(QMenu* menu) {
    using namespace page_fields;
    menu->addAction(Text("DIALOG_CELL_HISTORY_MENU_LOCATION_ASSIGN"), [this] { AssignSelected(); })
        ->setObjectName("DIALOG_CELL_HISTORY_MENU_LOCATION_ASSIGN");
    menu->addAction(Text("DIALOG_CELL_HISTORY_MENU_LOCATION_UNASSIGN"), [this] { UnassignSelected(); })
        ->setObjectName("DIALOG_CELL_HISTORY_MENU_LOCATION_UNASSIGN");
    menu->addAction(Text("DIALOG_EVENT_LOG_LIST_MENU_CLEAR"), [this] { Clear(); })
        ->setObjectName("DIALOG_EVENT_LOG_LIST_MENU_CLEAR");
}

int CPropertyPageCellHistory::SelectedLocation() {
    const int row = _list->currentIndex().row();
    if (row < 0 || row >= static_cast<int>(_events.size())) {
        TextBox(CTextsMgr::Text("SELECT LOCATION"));
        return 0;
    }
    CCellEvent& event = _events[static_cast<size_t>(row)];
    const int location = CLocationAssigner::AreaMode() ? event.GetLac() : event.GetCell();
    if (location <= 0) {
        TextBox(CTextsMgr::Text("SELECT ROW VALID CELL"));
    }
    return location;
}

void CPropertyPageCellHistory::AssignSelected() {
    const int location = SelectedLocation();
    if (location <= 0) {
        return;
    }
    try {
        CDialogModalSelectPlace choose(window(), kTemplateSelectPlace, CLocationAssigner::Places());
        if (choose.DoModal() != 1) {
            return;
        }
        if (QuestionBox("%s", CTextsMgr::Text("CONFIRM ALLOCATE")) != IDYES_ANSWER) {
            return;
        }
        CLocationAssigner::Assign(location, choose.GetPlace().GetId());
    } catch (const std::exception& e) {
        Report(e);
        return;
    }
    Reload();
    TextBox(CTextsMgr::Text("LOCATION ASSIGNED"));
}

void CPropertyPageCellHistory::UnassignSelected() {
    const int location = SelectedLocation();
    if (location <= 0) {
        return;
    }
    try {
        CLocationAssigner::Entry entry;
        if (!CLocationAssigner::Find(location, entry)) {
            TextBox(CTextsMgr::Text("LOCATION NOT FOUND"));
            return;
        }
        if (QuestionBox("%s", CTextsMgr::Text("CONFIRM DEALLOCATE")) != IDYES_ANSWER) {
            return;
        }
        CLocationAssigner::Unassign(location);
    } catch (const std::exception& e) {
        Report(e);
    }
    Reload();
}

void CPropertyPageCellHistory::Clear() {
    CCellMgr::GetInstance()->vaciar();
    Reload();
}

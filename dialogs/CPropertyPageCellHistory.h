#pragma once

#include <vector>

#include "dialogs/CPropertyPageBase.h"
#include "location/CCellEvent.h"
#include "location/ICellChangeListener.h"

class QTreeWidget;

// The cells the phone has been in, newest first: time, cell, area and the place the location
// belongs to. The location of the selected row can be assigned to a place or unassigned, and the
// history cleared. The history tells the page of changes from the radio's threads: the page reads
// it again on its own thread.
class CPropertyPageCellHistory : public CPropertyPageBase, public ICellChangeListener {
  public:
    CPropertyPageCellHistory() : CPropertyPageBase("DIALOG_CELL_HISTORY_TITTLE", "cell_history") {}
    ~CPropertyPageCellHistory() override;

    // ICellChangeListener: any thread.
    void CellHistoryChanged(size_t entries) override;

    void Reload();
    void AssignSelected();
    void UnassignSelected();
    void Clear();

    QTreeWidget* GetList() const { return _list; }

  protected:
    void OnInitPage() override;
    std::string GetLeftKey() const override { return "DIALOG_CELL_HISTORY_MENU_LOCATION_ASSIGN"; }
    void OnLeftKey() override { AssignSelected(); }
    void FillMenu(QMenu* menu) override;

  private:
    // The location (by mode) of the selected row; 0 (after telling the user) when none.
    int SelectedLocation();

    QTreeWidget* _list = nullptr;
    std::vector<CCellEvent> _events;
    bool _listening = false;
};

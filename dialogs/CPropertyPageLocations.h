#pragma once

#include <vector>

#include "dialogs/CLocationAssigner.h"
#include "dialogs/CPropertyPageBase.h"

class QComboBox;
class QLabel;
class QListWidget;

// Associates locations (cells, or location area codes in area mode) with places: the current or
// the selected location, or one entered by hand, goes to the chosen place; the list shows every association
// as "location-place" and lets one be removed, or a cell's GPS position be forgotten.
class CPropertyPageLocations : public CPropertyPageBase {
  public:
    CPropertyPageLocations() : CPropertyPageBase("PAGE MAIN", "main_dialog") {}

    // The commands, each asking and reporting as the user sees it. Assign and unassign act on the
    // selected location, or on the current one when none is selected.
    void AssignLocation();
    void UnassignLocation();
    void AddLocation();
    void RemoveLocation();
    void RemoveGps();
    // Places are found by cell (1) or by location area (0) from now on.
    void SetMode(int mode);
    // Reads the current location and the associations again.
    void Reload();

    QComboBox* GetPlaceList() const { return _places; }
    QListWidget* GetLocationList() const { return _list; }

  protected:
    void OnInitPage() override;
    std::string GetLeftKey() const override { return "ASSIGN"; }
    void OnLeftKey() override { AssignLocation(); }
    void FillMenu(QMenu* menu) override;

  private:
    // The chosen place's id; 0 (after telling the user) when none is chosen.
    int ChosenPlace();
    // Asks, then associates `location` with the place and reports it.
    void AssignAsked(int location, int idPlace);
    // The selected location, else the current one; 0 when there is neither.
    int TargetLocation() const;
    // The selected entry; false when none is selected.
    bool SelectedEntry(CLocationAssigner::Entry& entry) const;

    QComboBox* _mode = nullptr;
    QLabel* _current = nullptr;
    QComboBox* _places = nullptr;
    QListWidget* _list = nullptr;
    std::vector<CLocationAssigner::Entry> _entries;
};

#pragma once

#include <string>
#include <vector>

#include "store/CStrPlace.h"

// Associates locations with places for the pages of the settings: a location is a cell id in cell
// mode (setting "location_mode" non-zero) and a location area code otherwise. Every change is
// told to the schedule engine, which finds the place of the current location again (and has the
// cell history look its places up again).
class CLocationAssigner {
  public:
    // One association as listed: the location, its place id and name, and for cells whether GPS
    // coordinates are stored.
    struct Entry {
        int location = 0;
        int idPlace = 0;
        std::string place;
        bool hasGps = false;
    };

    // Whether the locations are area codes (else cells).
    static bool AreaMode();
    // Sets the mode (1 cells, 0 areas) of the location engine, or the setting when none runs, and
    // has the places found again.
    static void SetMode(int mode);
    // The current location of the phone by mode; 0 when none is known.
    static int CurrentLocation();
    // Every place, in name order.
    static std::vector<CStrPlace> Places();
    // Every association of the current mode, by location.
    static std::vector<Entry> Entries();
    // The place of a location; false when it has none.
    static bool Find(int location, Entry& entry);
    // Associates `location` with the place (moving it from another place). Table errors throw.
    static void Assign(int location, int idPlace);
    // Removes the association of `location`; false when there was none.
    static bool Unassign(int location);
    // Forgets the GPS coordinates of a stored cell; false when the cell is not stored.
    static bool RemoveGps(int cell);
    // Tells the schedule engine and the cell history that the associations changed.
    static void Changed();
};

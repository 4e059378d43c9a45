#pragma once

#include <string>

#include "platform/SystemTime.h"

// One change of serving cell in the cell history: the cell, its location area, when it happened,
// how it was learned (1 from an unsolicited radio notification, 0 from a polled reading) and the
// place the location belonged to (0 none, -1 to be looked up again).
class CCellEvent {
  public:
    CCellEvent(int cell, int lac, int type, const SYSTEMTIME& time);

    // The values; with `recalculate` a place marked for recalculation is looked up first.
    int GetCell(bool recalculate = false);
    int GetLac(bool recalculate = false);
    const SYSTEMTIME& GetTime() const { return time; }
    void SetTime(const SYSTEMTIME& value) { time = value; }
    int GetIdProfile() const { return idProfile; }
    void SetIdProfile(int value) { idProfile = value; }
    const std::string& GetProfile() const { return profile; }
    void SetProfile(const std::string& value) { profile = value; }
    int GetType() const { return type; }
    void SetType(int value) { type = value; }

    // Looks the place of the location up again (by the location engine's mode: the cell in cell
    // mode, the area code otherwise).
    void Calculate();

  private:
    int cell;
    int lac;
    SYSTEMTIME time;
    int idProfile = 0;
    std::string profile;
    int type;
};

#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "store/CStrPeriod.h"
#include "store/CStrPlace.h"

class CDB;

// The zentrova-device commands that set up places: new places, their time frames and the
// actions of the frames, the cells and location area codes that lead to them, and the locked
// place. They write the device database of the home directly (so they work whether or not the
// program runs) and then ask a running program to read its tables again.
class CProfileCommands {
  public:
    using Command = std::function<int(const std::vector<std::string>&)>;

    explicit CProfileCommands(platform::Services& services);

    // Adds "place", "frame", "action", "lock" and "unlock" to a command table, and "cell" and
    // "lac" for their "assign" form: their other forms go to `forward` (the running program).
    void Register(std::map<std::string, Command>& commands, Command forward);

    int Place(const std::vector<std::string>& args);
    int Frame(const std::vector<std::string>& args);
    int Action(const std::vector<std::string>& args);
    // "cell assign CELLID PLACE" and "lac assign LAC PLACE" (args start after "cell"/"lac").
    int AssignCell(const std::vector<std::string>& args);
    int AssignLac(const std::vector<std::string>& args);
    int Lock(const std::vector<std::string>& args);
    int Unlock(const std::vector<std::string>& args);

    // The rule a new frame must pass against the frames its place already has on the same day:
    // none of them may overlap it. The empty text when it passes, else why not.
    static std::string CheckNewFrame(const std::vector<CStrPeriod>& sameDay, const CStrPeriod& frame);
    // Whether two frames of one day share a minute; the end of a frame is not part of it, a
    // frame whose end is not later than its start runs past midnight, and one whose start
    // equals its end lasts the whole day.
    static bool Overlap(const CStrPeriod& a, const CStrPeriod& b);

    // The action codes a frame can carry.
    static bool IsActionCode(int code);

  private:
    // The place of that name; false (with the reason in `why`) when there is none or more than one.
    static bool FindPlace(CDB& db, const std::string& name, CStrPlace& place, std::string& why);
    int AssignLocation(const char* what, const std::vector<std::string>& args);
    // Asks a running program to read its tables again after a change.
    int TablesChanged();
    // Hands a lock or unlock request to the running program, or stores the locked place for the
    // program's next start when none runs.
    int SetLocked(int placeId, const std::string& placeName);

    platform::Services& _services;
};

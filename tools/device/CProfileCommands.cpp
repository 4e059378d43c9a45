#include "tools/device/CProfileCommands.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <utility>

#include "core/CBaseException.h"
#include "core/CConfigurationZentrova.h"
#include "core/CTextsMgr.h"
#include "core/SafeFormat.h"
#include "platform/CControlClient.h"
#include "platform/ControlProtocol.h"
#include "store/CDB.h"
#include "store/CPeriod.h"
#include "store/LocationAssignment.h"
#include "tools/device/CDeviceArgs.h"
#include "tools/device/CDeviceTool.h"
#include "tools/device/CToolDatabase.h"

namespace {

constexpr const char* kDayNames[] = {"", "mon", "tue", "wed", "thu", "fri", "sat", "sun"};

std::string hhmm(const SYSTEMTIME& t) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02u:%02u", t.wHour % 100u, t.wMinute % 100u);
    return buf;
}

// "--name VALUE" style options after the fixed words; flags take no value.
struct Options {
    std::map<std::string, std::string> values;
    std::string error;
};

Options parseOptions(const std::vector<std::string>& args, size_t from,
                     const std::vector<std::string>& withValue, const std::vector<std::string>& flags) {
    Options o;
    for (size_t i = from; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (std::find(flags.begin(), flags.end(), a) != flags.end()) {
            o.values[a] = "1";
        } else if (std::find(withValue.begin(), withValue.end(), a) != withValue.end()) {
            if (i + 1 >= args.size()) {
                o.error = a + " needs a value";
                return o;
            }
            o.values[a] = args[++i];
        } else {
            o.error = "unexpected '" + a + "'";
            return o;
        }
    }
    return o;
}

}  // namespace

CProfileCommands::CProfileCommands(platform::Services& services) : _services(services) {}

void CProfileCommands::Register(std::map<std::string, Command>& commands, Command forward) {
    commands["place"] = [this](const auto& a) { return Place(a); };
    commands["frame"] = [this](const auto& a) { return Frame(a); };
    commands["action"] = [this](const auto& a) { return Action(a); };
    commands["lock"] = [this](const auto& a) { return Lock(a); };
    commands["unlock"] = [this](const auto& a) { return Unlock(a); };
    // "cell CELL LAC" moves the simulated phone; "cell assign CELLID PLACE" is ours. Same for lac.
    commands["cell"] = [this, forward](const auto& a) {
        if (!a.empty() && a[0] == "assign") {
            return AssignCell(a);
        }
        std::vector<std::string> words{"cell"};
        words.insert(words.end(), a.begin(), a.end());
        return forward(words);
    };
    commands["lac"] = [this, forward](const auto& a) {
        if (!a.empty() && a[0] == "assign") {
            return AssignLac(a);
        }
        std::vector<std::string> words{"lac"};
        words.insert(words.end(), a.begin(), a.end());
        return forward(words);
    };
}

bool CProfileCommands::IsActionCode(int code) {
    return (code >= 0 && code <= 6) || (code >= 9 && code <= 16) || (code >= 50 && code <= 53);
}

bool CProfileCommands::Overlap(const CStrPeriod& a, const CStrPeriod& b) {
    // The same overlap rule as the frames the program adds.
    return CPeriod(a).Intersect(CPeriod(b)) != 0;
}

std::string CProfileCommands::CheckNewFrame(const std::vector<CStrPeriod>& sameDay, const CStrPeriod& frame) {
    CTextsMgr* texts = CTextsMgr::GetInstance();
    if (!sameDay.empty() && CPeriod(frame).IsAllDay()) {
        return SafeSprintf(texts->GetText("FRAME 24 NOT POSSIBLE"));
    }
    for (const CStrPeriod& existing : sameDay) {
        if (Overlap(frame, existing)) {
            return SafeSprintf(texts->GetText("PERIOD INTERSECTS"), existing.GetName()) + " (" +
                   hhmm(existing.GetInicio()) + "-" + hhmm(existing.GetFinal()) + ")";
        }
    }
    return {};
}

bool CProfileCommands::FindPlace(CDB& db, const std::string& name, CStrPlace& place, std::string& why) {
    int found = 0;
    db.GetTablePlaces()->ForEachCached([&](const CStrPlace& p) {
        if (p.GetName() == name) {
            place = p;
            ++found;
        }
    });
    if (found == 0) {
        why = "no place is named '" + name + "'";
    } else if (found > 1) {
        why = "more than one place is named '" + name + "'";
    }
    return found == 1;
}

int CProfileCommands::Place(const std::vector<std::string>& args) {
    if (args.size() != 2 || args[0] != "add") {
        return CDeviceArgs::UsageError("place: expected place add NAME");
    }
    const std::string& name = args[1];
    if (name.empty()) {
        return CDeviceArgs::UsageError("place add: the name is empty");
    }
    try {
        CToolDatabase database(_services.home());
        int matches = 0;
        database.db().GetTablePlaces()->ForEachCached(
            [&](const CStrPlace& p) { matches += p.GetName() == name; });
        if (matches > 0) {
            return CDeviceArgs::Fail("place add: a place named '" + name + "' exists already");
        }
        // Only the place: its frames are added one by one with "frame add".
        CStrPlace place(name, "", "place_unknown.png", -1);
        database.db().GetTablePlaces()->Add(place);
        database.Commit();
        std::printf("place=%d name=%s\n", place.GetId(), name.c_str());
    } catch (const CBaseException& e) {
        return CDeviceArgs::Fail("place add: " + e.GetMessageW());
    }
    return TablesChanged();
}

int CProfileCommands::Frame(const std::vector<std::string>& args) {
    static const char* kForm = "frame add PLACE WEEKDAY|all HH:MM HH:MM [--name N] [--always-on]";
    if (args.size() < 5 || args[0] != "add") {
        return CDeviceArgs::UsageError(std::string("frame: expected ") + kForm);
    }
    const std::string& placeName = args[1];
    std::vector<int> days;
    int day = 0;
    if (args[2] == "all") {
        days = {1, 2, 3, 4, 5, 6, 7};
    } else if (CDeviceArgs::ParseWeekDay(args[2], day)) {
        days = {day};
    } else {
        return CDeviceArgs::UsageError("frame add: the day must be mon ... sun, 1 ... 7 or all, not '" +
                                       args[2] + "'");
    }
    int startHour, startMinute, endHour, endMinute;
    for (size_t i : {3u, 4u}) {
        int& h = i == 3 ? startHour : endHour;
        int& m = i == 3 ? startMinute : endMinute;
        if (!CDeviceArgs::ParseTimeOfDay(args[i], h, m)) {
            return CDeviceArgs::UsageError("frame add: not a time of day HH:MM (00:00 to 23:59): '" +
                                           args[i] + "'");
        }
    }
    Options options = parseOptions(args, 5, {"--name"}, {"--always-on"});
    if (!options.error.empty()) {
        return CDeviceArgs::UsageError("frame add: " + options.error);
    }
    std::string name = args[3] + "-" + args[4];
    if (auto it = options.values.find("--name"); it != options.values.end()) {
        if (it->second.empty()) {
            return CDeviceArgs::UsageError("frame add: the name is empty");
        }
        name = it->second;
    }
    SYSTEMTIME start{};
    start.wHour = static_cast<uint16_t>(startHour);
    start.wMinute = static_cast<uint16_t>(startMinute);
    SYSTEMTIME end{};
    end.wHour = static_cast<uint16_t>(endHour);
    end.wMinute = static_cast<uint16_t>(endMinute);

    try {
        CToolDatabase database(_services.home());
        CStrPlace place;
        std::string why;
        if (!FindPlace(database.db(), placeName, place, why)) {
            return CDeviceArgs::Fail("frame add: " + why);
        }
        CTablePeriods* periods = database.db().GetTablePeriods();
        // Every day is checked before anything is written: "all" adds seven frames or none.
        std::vector<CStrPeriod> frames;
        for (int d : days) {
            CStrPeriod frame(-1, name, place.GetId(), start, end);
            frame.SetWeekDay(d);
            frame.SetEnabled(1);
            frame.SetAlwaysOn(options.values.count("--always-on") ? 1 : 0);
            std::vector<CStrPeriod> sameDay;
            periods->GetAllRecordsForPlace(sameDay, place.GetId(), d);
            std::string refusal = CheckNewFrame(sameDay, frame);
            if (!refusal.empty()) {
                return CDeviceArgs::Fail("frame add: " + placeName + ", " + kDayNames[d] + ": " + refusal);
            }
            frames.push_back(frame);
        }
        for (CStrPeriod& frame : frames) {
            periods->Add(frame);
        }
        database.Commit();
        for (const CStrPeriod& frame : frames) {
            std::printf("frame=%d place=%s day=%s start=%s end=%s name=%s\n", frame.GetId(),
                        placeName.c_str(), kDayNames[frame.GetWeekDay()], args[3].c_str(), args[4].c_str(),
                        name.c_str());
        }
    } catch (const CBaseException& e) {
        return CDeviceArgs::Fail("frame add: " + e.GetMessageW());
    }
    return TablesChanged();
}

int CProfileCommands::Action(const std::vector<std::string>& args) {
    static const char* kForm =
        "action add PLACE FRAME-NAME enter|exit CODE INTOP1 [--level N] [--delay S] [--text S] [--text2 S] "
        "[--text3 S]";
    if (args.size() < 6 || args[0] != "add") {
        return CDeviceArgs::UsageError(std::string("action: expected ") + kForm);
    }
    const std::string& placeName = args[1];
    const std::string& frameName = args[2];
    int type;
    if (args[3] == "enter") {
        type = 0;
    } else if (args[3] == "exit") {
        type = 1;
    } else {
        return CDeviceArgs::UsageError("action add: the moment must be enter or exit, not '" + args[3] + "'");
    }
    long long code, intOp1, level = -1, delay = 0;
    if (!CDeviceArgs::ParseInt(args[4], 0, 99, code) || !IsActionCode(static_cast<int>(code))) {
        return CDeviceArgs::UsageError("action add: not an action code (0-6, 9-16, 50-53): '" + args[4] +
                                       "'");
    }
    if (!CDeviceArgs::ParseInt(args[5], INT_MIN, INT_MAX, intOp1)) {
        return CDeviceArgs::UsageError("action add: INTOP1 must be a whole number, not '" + args[5] + "'");
    }
    Options options = parseOptions(args, 6, {"--level", "--delay", "--text", "--text2", "--text3"}, {});
    if (!options.error.empty()) {
        return CDeviceArgs::UsageError("action add: " + options.error);
    }
    if (auto it = options.values.find("--level");
        it != options.values.end() && !CDeviceArgs::ParseInt(it->second, INT_MIN, INT_MAX, level)) {
        return CDeviceArgs::UsageError("action add: --level must be a whole number, not '" + it->second +
                                       "'");
    }
    if (auto it = options.values.find("--delay");
        it != options.values.end() && !CDeviceArgs::ParseInt(it->second, 0, INT_MAX, delay)) {
        return CDeviceArgs::UsageError("action add: --delay must be whole seconds, not '" + it->second + "'");
    }
    std::string text = options.values.count("--text") ? options.values["--text"] : "";
    std::string text2 = options.values.count("--text2") ? options.values["--text2"] : "";
    std::string text3 = options.values.count("--text3") ? options.values["--text3"] : "";
    // Opening a file, a Today theme and a ring tone do nothing without their file or name; a mail,
    // an SMS and call forwarding nothing without whom they go to.
    if ((code == 12 || code == 15 || code == 16) && text.empty()) {
        return CDeviceArgs::UsageError("action add: code " + args[4] +
                                       " needs --text (the file or theme name)");
    }
    if ((code == 13 || code == 14 || (code == 51 && intOp1 != 0)) && text.empty()) {
        return CDeviceArgs::UsageError("action add: code " + args[4] +
                                       " needs --text (the recipients or the number)");
    }

    try {
        CToolDatabase database(_services.home());
        CStrPlace place;
        std::string why;
        if (!FindPlace(database.db(), placeName, place, why)) {
            return CDeviceArgs::Fail("action add: " + why);
        }
        std::vector<CStrPeriod> frames;
        database.db().GetTablePeriods()->GetAllRecordsForPlace(frames, place.GetId(), 0);
        std::erase_if(frames, [&](const CStrPeriod& f) { return f.GetName() != frameName; });
        if (frames.empty()) {
            return CDeviceArgs::Fail("action add: place '" + placeName + "' has no frame named '" +
                                     frameName + "'");
        }
        CTableActions* actions = database.db().GetTableActions();
        // A frame runs one action of a code per moment: a second one would be run as well but
        // never be shown or edited, so it is refused (for every frame, before anything is written).
        for (const CStrPeriod& frame : frames) {
            if (actions->GetAction(frame.GetId(), static_cast<int>(code), false, type)) {
                return CDeviceArgs::Fail("action add: frame '" + frameName + "' (" +
                                         kDayNames[frame.GetWeekDay() % 8] + ") already has an " + args[3] +
                                         " action with code " + args[4]);
            }
        }
        std::vector<CStrAction> added;
        for (const CStrPeriod& frame : frames) {
            CStrAction action;
            action.SetId(static_cast<int>(code));
            action.SetIdPeriod(frame.GetId());
            action.SetType(type);
            action.SetIntOp1(static_cast<int>(intOp1));
            action.SetIntOp2(0);  // enabled, every day of the week
            action.SetIntOp3(static_cast<int>(level));
            action.SetDelay(static_cast<int>(delay));
            action.SetSzOp1(text);
            action.SetSzOp2(text2);
            action.SetSzOp3(text3);
            actions->Add(action);
            added.push_back(action);
        }
        database.Commit();
        for (const CStrAction& action : added) {
            std::printf("action=%d frame=%d code=%d moment=%s\n", action.GetKey(), action.GetIdPeriod(),
                        action.GetId(), args[3].c_str());
        }
    } catch (const CBaseException& e) {
        return CDeviceArgs::Fail("action add: " + e.GetMessageW());
    }
    return TablesChanged();
}

int CProfileCommands::AssignCell(const std::vector<std::string>& args) {
    return AssignLocation("cell", args);
}

int CProfileCommands::AssignLac(const std::vector<std::string>& args) {
    return AssignLocation("lac", args);
}

int CProfileCommands::AssignLocation(const char* what, const std::vector<std::string>& args) {
    const std::string kind = what;
    const bool isCell = kind == "cell";
    if (args.size() != 3 || args[0] != "assign") {
        return CDeviceArgs::UsageError(kind + ": expected " + kind + " assign " +
                                       (isCell ? "CELLID" : "LAC") + " PLACE");
    }
    long long id = 0;
    if (!CDeviceArgs::ParseInt(args[1], 1, INT_MAX, id)) {
        return CDeviceArgs::UsageError(kind + " assign: not a " +
                                       (isCell ? "cell id" : "location area code") +
                                       " (a whole number from 1): '" + args[1] + "'");
    }
    try {
        CToolDatabase database(_services.home());
        CStrPlace place;
        std::string why;
        if (!FindPlace(database.db(), args[2], place, why)) {
            return CDeviceArgs::Fail(kind + " assign: " + why);
        }
        ::AssignLocation(database.db(), !isCell, static_cast<int>(id), place.GetId());
        database.Commit();
        std::printf("%s=%lld place=%s\n", what, id, place.GetName().c_str());
    } catch (const CBaseException& e) {
        return CDeviceArgs::Fail(kind + " assign: " + e.GetMessageW());
    }
    return TablesChanged();
}

int CProfileCommands::Lock(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        return CDeviceArgs::UsageError("lock: expected lock PLACE");
    }
    CStrPlace place;
    try {
        CToolDatabase database(_services.home());
        std::string why;
        if (!FindPlace(database.db(), args[0], place, why)) {
            return CDeviceArgs::Fail("lock: " + why);
        }
    } catch (const CBaseException& e) {
        return CDeviceArgs::Fail("lock: " + e.GetMessageW());
    }
    return SetLocked(place.GetId(), place.GetName());
}

int CProfileCommands::Unlock(const std::vector<std::string>& args) {
    if (!args.empty()) {
        return CDeviceArgs::UsageError("unlock takes no arguments");
    }
    return SetLocked(0, "");
}

int CProfileCommands::SetLocked(int placeId, const std::string& placeName) {
    const std::string verb = placeId ? "lock" : "unlock";
    std::vector<std::string> words{verb};
    if (placeId) {
        words.push_back(std::to_string(placeId));
    }
    std::string reply;
    switch (platform::CControlClient(_services.home()).request(words, reply)) {
        case platform::CControlClient::Status::Ok:
            std::fputs(reply.c_str(), stdout);
            return CDeviceTool::kOk;
        case platform::CControlClient::Status::Refused:
            if (reply == platform::control::unknownVerbReply(verb)) {
                return CDeviceArgs::Fail(verb + ": the running program cannot " + verb +
                                         " places yet (it does not know the command)");
            }
            return CDeviceArgs::Fail(verb + ": " + reply);
        case platform::CControlClient::Status::Failed:
            return CDeviceArgs::Fail(verb + ": " + reply);
        case platform::CControlClient::Status::NotRunning:
            break;
    }
    // No program runs: it takes the locked place from its settings when it starts.
    try {
        CConfigurationZentrova configuration;
        configuration.GetLongParameter("locked_profile");  // a home that was never installed has none
        configuration.SetLongParameter("locked_profile", static_cast<uint32_t>(placeId));
    } catch (const CBaseException& e) {
        return CDeviceArgs::Fail(verb + ": cannot store the locked place: " + e.GetMessageW());
    }
    std::printf("locked_profile=%d%s%s\n", placeId, placeId ? " place=" : "", placeName.c_str());
    return CDeviceTool::kOk;
}

int CProfileCommands::TablesChanged() {
    std::string reply;
    switch (platform::CControlClient(_services.home()).request({"dbchanged"}, reply)) {
        case platform::CControlClient::Status::Ok:
        case platform::CControlClient::Status::NotRunning:
            return CDeviceTool::kOk;
        case platform::CControlClient::Status::Refused:
            if (reply == platform::control::unknownVerbReply("dbchanged")) {
                reply = "it does not know the command yet";
            }
            break;
        case platform::CControlClient::Status::Failed:
            break;
    }
    // The change is in the database, which is what the command was for: it did not fail. The
    // program reads its tables again at its next start, or at the next change it is told of.
    std::fprintf(stderr,
                 "zentrova-device: warning: the change is stored, but the running program could not be told "
                 "to read its tables again (%s); it sees the change after a restart\n",
                 reply.c_str());
    return CDeviceTool::kOk;
}

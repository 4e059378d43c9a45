#include "schedule/CScheduleFrames.h"

#include <algorithm>
#include <string>

#include "core/CExceptionDB.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/MessageBoxes.h"
#include "core/SafeFormat.h"
#include "platform/Services.h"
#include "store/CDB.h"
#include "store/CPeriod.h"

namespace {

constexpr int kMinutesPerDay = 24 * 60;

// Minutes from `from` forward to `to` around the clock face, 0..1439.
int MinutesAfter(const SYSTEMTIME& from, const SYSTEMTIME& to) {
    return CInstante(from).MinutesUntil(CInstante(to));
}

// Only the hour and minute of a frame's time are stored.
SYSTEMTIME TimeOfDay(const SYSTEMTIME& time) {
    SYSTEMTIME t;
    t.wHour = time.wHour;
    t.wMinute = time.wMinute;
    return t;
}

std::string Text(const char* key) {
    return CTextsMgr::GetInstance()->GetText(key);
}

std::string Describe(const CStrPeriod& period) {
    std::string text;
    return period.toString(text);
}

}  // namespace

CScheduleFrames::CScheduleFrames(CDB* db) : _db(db) {}

CDB& CScheduleFrames::Database() const {
    if (!_db) {
        throw CExceptionDB("The database is not open");
    }
    return *_db;
}

int CScheduleFrames::AddSchedule(CStrPeriod& period) {
    std::lock_guard lock(_lock);
    LogFormateado(0, "CScheduleFrames::AddSchedule(%s)", Describe(period));
    CTablePeriods* periods = Database().GetTablePeriods();
    std::vector<CStrPeriod> frames;
    periods->GetAllRecordsForPlace(frames, period.GetIdPlace(), period.GetWeekDay());
    if (!frames.empty() && CPeriod(period).IsAllDay()) {
        TextBox(SafeSprintf(Text("FRAME 24 NOT POSSIBLE")));
        return 0;
    }
    std::optional<CStrPeriod> container;
    if (!MakeRoom(period, frames, container)) {
        return 0;
    }
    const int key = period.GetKey();
    const platform::CEOID oid = period.GetCEOID();
    try {
        Database().InOneChange([&] {
            if (container) {
                Split(*container, period);
            }
            periods->Add(period);
        });
    } catch (...) {
        // The key the row got was given up with it.
        period.SetKey(key);
        period.SetCEOID(oid);
        throw;
    }
    return 1;
}

int CScheduleFrames::EditSchedule(CStrPeriod& period) {
    std::lock_guard lock(_lock);
    LogFormateado(0, "CScheduleFrames::EditSchedule(%s)", Describe(period));
    CTablePeriods* periods = Database().GetTablePeriods();
    std::vector<CStrPeriod> frames;
    periods->GetAllRecordsForPlace(frames, period.GetIdPlace(), period.GetWeekDay());
    std::erase_if(frames, [&](const CStrPeriod& frame) { return frame.GetKey() == period.GetKey(); });
    std::optional<CStrPeriod> container;
    if (!MakeRoom(period, frames, container)) {
        return 0;
    }
    Database().InOneChange([&] {
        if (container) {
            Split(*container, period);
        }
        periods->Update(period);
    });
    return 1;
}

void CScheduleFrames::OrderPeriods(std::vector<CStrPeriod>& periods) {
    std::stable_sort(periods.begin(), periods.end());
}

bool CScheduleFrames::MakeRoom(const CStrPeriod& period, const std::vector<CStrPeriod>& others,
                               std::optional<CStrPeriod>& container) {
    const CPeriod wanted(period);
    const CStrPeriod* holder = nullptr;
    // Every overlap is looked at before anything is asked or written: a frame that may be split
    // must not be split when another overlap refuses the new frame afterwards.
    for (const CStrPeriod& frame : others) {
        const CPeriod existing(frame);
        if (!existing.Intersect(wanted)) {
            continue;
        }
        // A frame with exactly the new frame's times would have nothing left after a split.
        if (!holder && !wanted.IsAllDay() && !(existing == wanted) && existing.IsInside(wanted)) {
            holder = &frame;
            continue;
        }
        LogFormateado(0, "CScheduleFrames: overlaps %s", Describe(frame));
        TextBox(SafeSprintf(Text("PERIOD INTERSECTS"), frame.GetName()));
        return false;
    }
    if (!holder) {
        return true;
    }
    if (QuestionBox(Text("CONFIRM PERIOD SPLIT").c_str(), holder->GetName()) != IDYES_ANSWER) {
        return false;
    }
    container = *holder;
    return true;
}

void CScheduleFrames::Split(CStrPeriod& container, const CStrPeriod& period) {
    LogFormateado(0, "CScheduleFrames::Split(%s)", Describe(container));
    const SYSTEMTIME start = TimeOfDay(period.GetInicio());
    const SYSTEMTIME end = TimeOfDay(period.GetFinal());
    const SYSTEMTIME containerEnd = TimeOfDay(container.GetFinal());
    const bool allDay = CPeriod(container).IsAllDay();
    const int startAfter = MinutesAfter(container.GetInicio(), start);
    int endAfter = MinutesAfter(container.GetInicio(), end);
    if (endAfter == 0) {
        endAfter = kMinutesPerDay;
    }
    CTablePeriods* periods = Database().GetTablePeriods();
    if (allDay && startAfter > endAfter) {
        // The new frame runs over the start of a 24-hour frame: the rest of the day is one piece.
        container.SetInicio(end);
        container.SetFinal(start);
        periods->Update(container);
        return;
    }
    const bool before = startAfter > 0;
    const bool after =
        endAfter < (allDay ? kMinutesPerDay : MinutesAfter(container.GetInicio(), containerEnd));
    if (!before) {
        container.SetInicio(end);
        periods->Update(container);
        return;
    }
    container.SetFinal(start);
    periods->Update(container);
    if (!after) {
        return;
    }
    CStrPeriod rest = container;
    rest.SetKey(-1);
    rest.SetCEOID(0);
    rest.SetInicio(end);
    rest.SetFinal(containerEnd);
    periods->Add(rest);
    CTableActions* actions = Database().GetTableActions();
    std::vector<CStrAction> own;
    actions->GetAllRecordsForPeriod(own, container.GetId());
    for (const CStrAction& action : own) {
        CStrAction copy = action;
        copy.SetKey(-1);
        copy.SetCEOID(0);
        copy.SetIdPeriod(rest.GetId());
        actions->Add(copy);
    }
}

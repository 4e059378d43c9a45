// Adding and editing the time frames of a place: overlaps refused, a frame inside another split
// on the user's word, nothing stored when refused or when the database fails half-way.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/CConfigurationZentrova.h"
#include "core/CExceptionDB.h"
#include "core/CInstaller.h"
#include "core/CTextsMgr.h"
#include "core/SafeFormat.h"
#include "platform/sim/CSimClock.h"
#include "schedule/CScheduleFrames.h"
#include "store/CDB.h"
#include "support/TempHome.h"

namespace {

constexpr int kWednesday = 3;
using Lines = std::vector<std::string>;

SYSTEMTIME At(int hour, int minute) {
    SYSTEMTIME t;
    t.wHour = static_cast<uint16_t>(hour);
    t.wMinute = static_cast<uint16_t>(minute);
    return t;
}

class ScheduleFramesTest : public ::testing::Test {
  protected:
    ScheduleFramesTest() {
        CInstaller(home.services().home()).Install();
        config = std::make_unique<CConfigurationZentrova>();
        // Creating the tables pauses a few phone seconds.
        dynamic_cast<platform::sim::CSimClock&>(home.services().clock()).setSpeed(1000);
        db = std::make_unique<CDB>();
        db->OpenDB(0);
        place.SetName("Office");
        db->GetTablePlaces()->Add(place);
        frames = std::make_unique<CScheduleFrames>(db.get());
    }

    CStrPeriod Frame(const char* name, int h1, int m1, int h2, int m2, int weekDay = kWednesday) {
        CStrPeriod frame(-1, name, place.GetId(), At(h1, m1), At(h2, m2));
        frame.SetWeekDay(weekDay);
        return frame;
    }
    // Stores a frame directly, with `actions` actions.
    CStrPeriod Stored(const char* name, int h1, int m1, int h2, int m2, int actions = 0) {
        CStrPeriod frame = Frame(name, h1, m1, h2, m2);
        db->GetTablePeriods()->Add(frame);
        for (int i = 0; i < actions; ++i) {
            CStrAction action;
            action.SetId(i);
            action.SetIntOp1(10 + i);
            action.SetType(i % 2);
            action.SetIdPeriod(frame.GetId());
            db->GetTableActions()->Add(action);
        }
        return frame;
    }
    // The day's frames as "name hh:mm-hh:mm", by start time.
    std::vector<std::string> Day(int weekDay = kWednesday) {
        std::vector<CStrPeriod> day;
        db->GetTablePeriods()->GetAllRecordsForPlace(day, place.GetId(), weekDay);
        CScheduleFrames::OrderPeriods(day);
        std::vector<std::string> text;
        for (const CStrPeriod& p : day) {
            text.push_back(SafeSprintf("%s %02d:%02d-%02d:%02d", p.GetName(), p.GetInicio().wHour,
                                       p.GetInicio().wMinute, p.GetFinal().wHour, p.GetFinal().wMinute));
        }
        return text;
    }
    // The actions of a period as "Id/IntOp1/Type" texts.
    std::vector<std::string> Actions(int idPeriod) {
        std::vector<CStrAction> actions;
        db->GetTableActions()->GetAllRecordsForPeriod(actions, idPeriod);
        std::vector<std::string> text;
        for (const CStrAction& a : actions) {
            text.push_back(SafeSprintf("%d/%d/%d", a.GetId(), a.GetIntOp1(), a.GetType()));
        }
        return text;
    }
    std::string Text(const char* key, const std::string& name = "") {
        return SafeSprintf(CTextsMgr::GetInstance()->GetText(key), name);
    }
    std::vector<std::string> Shown() {
        std::vector<std::string> texts;
        for (const auto& box : home.boxes().shown()) {
            texts.push_back(box.text);
        }
        home.boxes().clear();
        return texts;
    }

    TempHome home;
    std::unique_ptr<CConfigurationZentrova> config;
    std::unique_ptr<CDB> db;
    CStrPlace place;
    std::unique_ptr<CScheduleFrames> frames;
};

}  // namespace

TEST_F(ScheduleFramesTest, AFrameInsideAnotherSplitsItOnYesWithCopiesOfItsActions) {
    const CStrPeriod work = Stored("Work", 8, 0, 18, 0, 2);
    CStrPeriod meeting = Frame("Meeting", 10, 0, 11, 0);

    EXPECT_EQ(frames->AddSchedule(meeting), 0);
    EXPECT_EQ(Shown(), Lines{Text("CONFIRM PERIOD SPLIT", "Work")});
    EXPECT_EQ(Day(), Lines{"Work 08:00-18:00"});
    EXPECT_EQ(meeting.GetId(), -1);

    home.boxes().setAnswerYes(true);
    EXPECT_EQ(frames->AddSchedule(meeting), 1);
    EXPECT_GT(meeting.GetId(), 0);
    EXPECT_EQ(Day(), (Lines{"Work 08:00-10:00", "Meeting 10:00-11:00", "Work 11:00-18:00"}));

    std::vector<CStrPeriod> day;
    db->GetTablePeriods()->GetAllRecordsForPlace(day, place.GetId(), kWednesday);
    CScheduleFrames::OrderPeriods(day);
    EXPECT_EQ(day[0].GetId(), work.GetId());
    EXPECT_EQ(Actions(work.GetId()), (Lines{"0/10/0", "1/11/1"}));
    EXPECT_EQ(Actions(day[2].GetId()), (Lines{"0/10/0", "1/11/1"}));
    EXPECT_EQ(db->GetTableActions()->GetAllRecordsCopy().size(), 4u);
}

TEST_F(ScheduleFramesTest, OverlapsAndAllDayFramesOnAUsedDayAreRefused) {
    home.boxes().setAnswerYes(true);
    Stored("Work", 8, 0, 18, 0);
    Stored("Night", 22, 0, 6, 0);

    CStrPeriod late = Frame("Late", 17, 0, 19, 0);
    EXPECT_EQ(frames->AddSchedule(late), 0);
    EXPECT_EQ(Shown(), Lines{Text("PERIOD INTERSECTS", "Work")});
    // Holds all of "Night" and ends with it.
    CStrPeriod evening = Frame("Evening", 21, 0, 6, 0);
    EXPECT_EQ(frames->AddSchedule(evening), 0);
    EXPECT_EQ(Shown(), Lines{Text("PERIOD INTERSECTS", "Night")});
    CStrPeriod allDay = Frame("All day", 7, 0, 7, 0);
    EXPECT_EQ(frames->AddSchedule(allDay), 0);
    EXPECT_EQ(Shown(), Lines{Text("FRAME 24 NOT POSSIBLE")});
    // Inside "Work" but also over "Night": refused before anything is split.
    Stored("Overlapping", 9, 0, 12, 0);
    CStrPeriod inBoth = Frame("In both", 10, 0, 11, 0);
    EXPECT_EQ(frames->AddSchedule(inBoth), 0);
    EXPECT_EQ(Shown(), Lines{Text("PERIOD INTERSECTS", "Overlapping")});
    EXPECT_EQ(Day(), (Lines{"Work 08:00-18:00", "Overlapping 09:00-12:00", "Night 22:00-06:00"}));

    // Frames of other days do not count, an all-day frame is welcome on an empty day, and frames
    // that only touch do not overlap.
    CStrPeriod thursday = Frame("All day", 7, 0, 7, 0, 4);
    EXPECT_EQ(frames->AddSchedule(thursday), 1);
    CStrPeriod adjacent = Frame("Morning", 6, 0, 8, 0);
    EXPECT_EQ(frames->AddSchedule(adjacent), 1);
    EXPECT_TRUE(Shown().empty());
}

TEST_F(ScheduleFramesTest, SplitsNeverLeaveAnEmptyOrOverlappingPiece) {
    home.boxes().setAnswerYes(true);
    Stored("Work", 8, 0, 18, 0);
    CStrPeriod first = Frame("First", 8, 0, 10, 0);
    EXPECT_EQ(frames->AddSchedule(first), 1);
    CStrPeriod last = Frame("Last", 16, 0, 18, 0);
    EXPECT_EQ(frames->AddSchedule(last), 1);
    EXPECT_EQ(Day(), (Lines{"First 08:00-10:00", "Work 10:00-16:00", "Last 16:00-18:00"}));
    CStrPeriod same = Frame("Same", 10, 0, 16, 0);
    EXPECT_EQ(frames->AddSchedule(same), 0);
    EXPECT_EQ(Shown().back(), Text("PERIOD INTERSECTS", "Work"));

    // The all-day frame every place starts with.
    db->GetTablePeriods()->InsertDefaultRecordsForPlace(place.GetId());
    const int friday = 5;
    CStrPeriod office = Frame("Office", 8, 0, 18, 0, friday);
    EXPECT_EQ(frames->AddSchedule(office), 1);
    EXPECT_EQ(Day(friday), (Lines{"Default 00:00-08:00", "Office 08:00-18:00", "Default 18:00-00:00"}));
    const int saturday = 6;
    CStrPeriod night = Frame("Night", 22, 0, 2, 0, saturday);
    EXPECT_EQ(frames->AddSchedule(night), 1);
    EXPECT_EQ(Day(saturday), (Lines{"Default 02:00-22:00", "Night 22:00-02:00"}));
}

TEST_F(ScheduleFramesTest, EditLeavesTheFrameItselfOutAndFailuresChangeNothing) {
    home.boxes().setAnswerYes(true);
    CStrPeriod morning = Stored("Morning", 8, 0, 12, 0);
    Stored("Afternoon", 14, 0, 18, 0, 1);

    morning.SetInicio(At(7, 0));
    morning.SetFinal(At(13, 0));
    EXPECT_EQ(frames->EditSchedule(morning), 1);
    morning.SetFinal(At(15, 0));
    EXPECT_EQ(frames->EditSchedule(morning), 0);
    EXPECT_EQ(Shown(), Lines{Text("PERIOD INTERSECTS", "Afternoon")});
    EXPECT_EQ(Day(), (Lines{"Morning 07:00-13:00", "Afternoon 14:00-18:00"}));

    // A frame that is not stored cannot be edited: the split already made is undone.
    CStrPeriod ghost = Frame("Ghost", 15, 0, 16, 0);
    ghost.SetId(9999);
    EXPECT_THROW(frames->EditSchedule(ghost), CExceptionDB);
    EXPECT_EQ(Day(), (Lines{"Morning 07:00-13:00", "Afternoon 14:00-18:00"}));
    EXPECT_EQ(db->GetTableActions()->GetAllRecordsCopy().size(), 1u);
}

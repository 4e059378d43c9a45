#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "core/TextBuffer.h"
#include "platform/sim/CSimClock.h"
#include "store/CStrAction.h"
#include "store/CStrCell.h"
#include "store/CStrLAC.h"
#include "store/CStrLocation.h"
#include "store/CStrPeriod.h"
#include "store/CStrPlace.h"
#include "support/TempHome.h"

namespace {

SYSTEMTIME Time(int year, int month, int day, int hour, int minute) {
    SYSTEMTIME t;
    t.wYear = static_cast<uint16_t>(year);
    t.wMonth = static_cast<uint16_t>(month);
    t.wDay = static_cast<uint16_t>(day);
    t.wHour = static_cast<uint16_t>(hour);
    t.wMinute = static_cast<uint16_t>(minute);
    return t;
}

SYSTEMTIME HourMinute(int hour, int minute) {
    return Time(0, 0, 0, hour, minute);
}

std::string Text(const CStrBase& record) {
    std::string buffer = "previous text";
    return record.toString(buffer);
}

// Monday ... Sunday as '1' (allowed) or '0'.
std::string AllowedDays(const CStrAction& action) {
    std::string days;
    for (int day = 1; day <= 7; ++day) {
        days += action.IsEnabledOnWeekDay(day) ? '1' : '0';
    }
    return days;
}

// A home with the phone's clock, for the records that read the local time.
class RecordsClockTest : public ::testing::Test {
  protected:
    void SetClock(const SYSTEMTIME& t) {
        dynamic_cast<platform::sim::CSimClock&>(_home.services().clock())
            .setLocalMillis(platform::sim::CSimClock::toMillis(t));
    }

    TempHome _home;
};

TEST(RecordsTest, DefaultRecordsHoldTheResetValues) {
    EXPECT_EQ(Text(CStrPlace()), "CStrPlace:[0,-1,,,]");
    EXPECT_EQ(Text(CStrPeriod()), "CStrPeriod:[0,0,1,0,-1,,-1,(0000-00-00 00:00),(0000-00-00 00:00)]");
    EXPECT_EQ(Text(CStrLAC()), "CStrLAC:[0,0,0]");
    EXPECT_EQ(Text(CStrCell()), "CStrCell:[0,0,0,,]");
}

TEST(RecordsTest, ResetClearsTheCEOIDOfPlacesAndLacsButKeepsItOnTheOthers) {
    CStrPlace place("Home", "desc", "home.png", 4);
    place.SetCEOID(77);
    place.Reset();
    EXPECT_EQ(Text(place), "CStrPlace:[0,-1,,,]");

    CStrLAC lac(3021, 2);
    lac.SetCEOID(77);
    lac.Reset();
    EXPECT_EQ(Text(lac), "CStrLAC:[0,0,0]");

    CStrPeriod period(5, "Morning", 2, HourMinute(8, 0), HourMinute(9, 0));
    period.SetWeekDay(3);
    period.SetEnabled(0);
    period.SetAlwaysOn(1);
    period.SetCEOID(77);
    period.Reset();
    EXPECT_EQ(Text(period), "CStrPeriod:[77,0,1,0,-1,,-1,(0000-00-00 00:00),(0000-00-00 00:00)]");

    CStrCell cell(5500, 2);
    cell.SetLatitud("40.4168");
    cell.SetLongitud("-3.7038");
    cell.SetCEOID(77);
    cell.Reset();
    EXPECT_EQ(Text(cell), "CStrCell:[77,0,0,,]");
}

TEST_F(RecordsClockTest, ActionResetKeepsKeyAndTypeAndTakesTheClockForTheTimeOperands) {
    SetClock(Time(2026, 3, 4, 10, 15));
    CStrAction action;
    EXPECT_EQ(Text(action), "CStrAction:[0,0,-1,-1,-1,0,,,,-1,0,-1]");
    EXPECT_EQ(action.GetInstanteOp1().wYear, 2026);
    EXPECT_EQ(action.GetInstanteOp3().wHour, 10);

    action.SetKey(12);
    action.SetType(1);
    action.SetId(4);
    action.SetIdPeriod(9);
    action.SetDelay(30);
    action.SetSzOp2("b");
    action.SetIntOp1(2);
    action.SetIntOp2(11);
    action.SetIntOp3(5);
    action.SetInstanteOp2(Time(2001, 1, 1, 1, 1));
    action.SetCEOID(40);
    SetClock(Time(2026, 3, 5, 18, 45));
    action.Reset();
    EXPECT_EQ(Text(action), "CStrAction:[40,1,12,-1,-1,0,,,,-1,0,-1]");
    EXPECT_EQ(action.GetInstanteOp2().wDay, 5);
    EXPECT_EQ(action.GetInstanteOp2().wMinute, 45);
}

TEST(RecordsTest, CopiesCarryTheCEOIDAndAreCounted) {
    const long alive = CStrBase::GetNumeroInstancias();
    const long total = CStrBase::GetNumeroInstanciasTotal();
    {
        CStrCell cell(5500, 2);
        cell.SetCEOID(1234);
        cell.SetLatitud("40.4168");
        CStrCell copy(cell);
        EXPECT_EQ(Text(copy), "CStrCell:[1234,5500,2,,40.4168]");

        std::vector<CStrPeriod> periods(3);
        periods[1].SetCEOID(9);
        CStrPeriod assigned;
        assigned = periods[1];
        EXPECT_EQ(assigned.GetCEOID(), 9u);

        EXPECT_EQ(CStrBase::GetNumeroInstancias(), alive + 6);
        EXPECT_EQ(CStrBase::GetNumeroInstanciasTotal(), total + 6);
    }
    EXPECT_EQ(CStrBase::GetNumeroInstancias(), alive);
    EXPECT_EQ(CStrBase::GetNumeroInstanciasTotal(), total + 6);
}

TEST(RecordsTest, EnableDigitsBlockTheGeneralSwitchAndSingleDays) {
    CStrAction action;
    action.SetIntOp2(-1);
    EXPECT_EQ(action.GetIntOp2(), 0);
    EXPECT_TRUE(action.IsEnabled());
    EXPECT_EQ(AllowedDays(action), "1111111");

    action.SetIntOp2(1);  // the general switch alone
    EXPECT_FALSE(action.IsEnabled());
    EXPECT_EQ(AllowedDays(action), "1111111");

    action.SetIntOp2(10);
    EXPECT_TRUE(action.IsEnabled());
    EXPECT_EQ(AllowedDays(action), "0111111");

    action.SetIntOp2(10000000);
    EXPECT_EQ(AllowedDays(action), "1111110");

    action.SetIntOp2(1010101);
    EXPECT_FALSE(action.IsEnabled());
    EXPECT_EQ(AllowedDays(action), "1010101");

    CStrAction copy(action);
    EXPECT_EQ(copy.GetIntOp2(), 1010101);
}

TEST_F(RecordsClockTest, IsEnabledTodayReadsTheDigitOfTheClocksDay) {
    CStrAction action;
    action.SetIntOp2(10000010);  // not on Mondays, not on Sundays

    SetClock(Time(2026, 12, 7, 9, 0));  // Monday
    EXPECT_FALSE(action.IsEnabledToday());
    SetClock(Time(2026, 12, 9, 9, 0));  // Wednesday
    EXPECT_TRUE(action.IsEnabledToday());
    SetClock(Time(2026, 12, 13, 9, 0));  // Sunday counts as the seventh day
    EXPECT_FALSE(action.IsEnabledToday());
    SetClock(Time(2026, 12, 12, 23, 59));  // Saturday
    EXPECT_TRUE(action.IsEnabledToday());
}

TEST(RecordsTest, PeriodsCompareByStartTimeOfDayOnly) {
    CStrPeriod a(1, "A", 1, HourMinute(8, 30), HourMinute(9, 0));
    CStrPeriod b(2, "B", 2, HourMinute(8, 30), HourMinute(20, 0));
    b.SetWeekDay(5);
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a < b || a > b);

    CStrPeriod earlier(3, "C", 1, HourMinute(8, 29), HourMinute(8, 29));
    CStrPeriod later(4, "D", 1, HourMinute(9, 0), HourMinute(7, 0));
    std::vector<CStrPeriod> periods = {later, a, earlier};
    std::sort(periods.begin(), periods.end());
    EXPECT_EQ(periods[0].GetId(), 3);
    EXPECT_EQ(periods[1].GetId(), 1);
    EXPECT_EQ(periods[2].GetId(), 4);
}

TEST(RecordsTest, PlacesSortByNameInUtf16Order) {
    // U+FF21 (one UTF-16 unit, 0xFF21) sorts after U+1F3E0 (surrogates 0xD83C ...).
    std::vector<CStrPlace> places = {CStrPlace("\xEF\xBC\xA1", "", "", 1), CStrPlace("Work", "", "", 2),
                                     CStrPlace("\xF0\x9F\x8F\xA0", "", "", 3), CStrPlace("Home", "", "", 4),
                                     CStrPlace("Hom", "", "", 5)};
    std::sort(places.begin(), places.end());
    std::vector<int> ids;
    for (const auto& p : places) {
        ids.push_back(p.GetId());
    }
    EXPECT_EQ(ids, (std::vector<int>{5, 4, 2, 3, 1}));
}

TEST(RecordsTest, ActionsAndLocationsCompareByKeyAndLocationsNeedAPositivePlace) {
    CStrAction low;
    low.SetKey(2);
    CStrAction high;
    high.SetKey(10);
    EXPECT_TRUE(low < high && high >= low);
    EXPECT_TRUE(CStrLAC(300, 1) == CStrLAC(300, 7));
    EXPECT_TRUE(CStrLAC(299, 9) < CStrLAC(300, 1));
    EXPECT_TRUE(CStrCell(5500, 1) == CStrCell(5500, 2));
    EXPECT_FALSE(CStrLAC(3021, 0).IsAssociated());
    EXPECT_TRUE(CStrLAC(3021, 1).IsAssociated());
    EXPECT_FALSE(CStrCell(55012, -1).IsAssociated());
    EXPECT_FALSE(CStrCell(5500, 1) == CStrCell(5501, 1));
}

TEST(RecordsTest, TextLinesHaveTheirExactForms) {
    CStrPlace place("Oficina", "Trabajo", "place_work.png", 3);
    place.SetCEOID(65538);
    EXPECT_EQ(Text(place), "CStrPlace:[65538,3,Oficina,Trabajo,place_work.png]");

    CStrPeriod period(12,
                      "Ma\xC3\xB1"
                      "ana",
                      3, Time(2026, 12, 9, 8, 5), Time(2026, 12, 10, 0, 30));
    period.SetWeekDay(3);
    period.SetCEOID(7);
    EXPECT_EQ(Text(period),
              "CStrPeriod:[7,3,1,0,12,Ma\xC3\xB1"
              "ana,3,(2026-12-09 08:05),(2026-12-10 00:30)]");

    CStrAction action;
    action.SetCEOID(9);
    action.SetType(1);
    action.SetKey(21);
    action.SetId(13);
    action.SetIdPeriod(12);
    action.SetDelay(5);
    action.SetSzOp1("to@example.org");
    action.SetSzOp3("body");
    action.SetIntOp1(1);
    action.SetIntOp2(10);
    EXPECT_EQ(Text(action), "CStrAction:[9,1,21,13,12,5,to@example.org,,body,1,10,-1]");

    CStrCell cell(55012, 3);
    cell.SetLongitud("-3.7038");
    cell.SetLatitud("40.4168");
    EXPECT_EQ(Text(cell), "CStrCell:[0,55012,3,-3.7038,40.4168]");
    EXPECT_EQ(Text(CStrLAC(3021, 3)), "CStrLAC:[0,3021,3]");
}

TEST(RecordsTest, TextLinesAreCutTo199CharactersWithoutSplittingACharacter) {
    std::string name;
    for (int i = 0; i < 250; ++i) {
        name += "\xC3\xA9";
    }
    const std::string line = Text(CStrPlace(name, "d", "i", 1));
    EXPECT_EQ(CountChars(line), 199u);
    // 15 characters of prefix, then 184 two-byte characters.
    EXPECT_EQ(line.substr(0, 15), "CStrPlace:[0,1,");
    EXPECT_EQ(line.size(), 15u + 2 * 184);
}

TEST(RecordsTest, GpsInformationNeedsMoreThanTwoCharactersInBothCoordinates) {
    CStrCell cell(1, 1);
    cell.SetLatitud("40");
    cell.SetLongitud("-3.7038");
    EXPECT_FALSE(cell.HasGPSInfo());
    cell.SetLatitud("40.");
    EXPECT_TRUE(cell.HasGPSInfo());
    // Characters, not bytes: two degree signs are four bytes but two characters.
    cell.SetLongitud("\xC2\xB0\xC2\xB0");
    EXPECT_FALSE(cell.HasGPSInfo());
    cell.SetLongitud("\xC2\xB0\xC2\xB0\xC2\xB0");
    EXPECT_TRUE(cell.HasGPSInfo());

    cell.RemoveGPSInfo();
    EXPECT_EQ(Text(cell), "CStrCell:[0,1,1,,]");
    EXPECT_FALSE(cell.HasGPSInfo());
}

TEST(RecordsTest, GetInstanceFollowsTheLocationMode) {
    TempHome home;
    CInstaller(home.services().home()).Install();
    CConfigurationZentrova config;

    config.SetLongParameter("location_mode", 1);
    std::unique_ptr<CStrLocation> location = CStrLocation::GetInstance();
    EXPECT_NE(dynamic_cast<CStrCell*>(location.get()), nullptr);

    config.SetLongParameter("location_mode", 0);
    location = CStrLocation::GetInstance();
    EXPECT_NE(dynamic_cast<CStrLAC*>(location.get()), nullptr);
}

}  // namespace

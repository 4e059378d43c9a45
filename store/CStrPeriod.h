#pragma once

#include <string>

#include "platform/SystemTime.h"
#include "store/CStrBase.h"

// A time frame of a place on one day of the week. Only the hour and minute of Inicio and Final
// are kept in the database; the date is filled in when the frame is evaluated. A frame whose end
// is not later than its start runs past midnight, and one whose start equals its end covers the
// whole day.
class CStrPeriod : public CStrBase {
  public:
    CStrPeriod() = default;
    // The other fields take their reset values.
    CStrPeriod(int id, std::string name, int idPlace, const SYSTEMTIME& inicio, const SYSTEMTIME& final);
    CStrPeriod(const CStrPeriod&) = default;
    CStrPeriod& operator=(const CStrPeriod&) = default;
    ~CStrPeriod() override = default;

    // "CStrPeriod:[CEOID,WeekDay,Enabled,AlwaysOn,Id,Name,IdPlace,(Inicio),(Final)]", the times as
    // "(YYYY-MM-DD hh:mm)".
    std::string& toString(std::string& buffer) const override;
    // Every field back to its reset value; CEOID is kept.
    void Reset() override;
    int GetKey() const override { return _id; }
    void SetKey(int key) override { _id = key; }

    int GetId() const { return _id; }
    void SetId(int id) { _id = id; }
    int GetIdPlace() const { return _idPlace; }
    void SetIdPlace(int idPlace) { _idPlace = idPlace; }
    const std::string& GetName() const { return _name; }
    void SetName(const std::string& name) { _name = name; }
    const SYSTEMTIME& GetInicio() const { return _inicio; }
    void SetInicio(const SYSTEMTIME& inicio) { _inicio = inicio; }
    const SYSTEMTIME& GetFinal() const { return _final; }
    void SetFinal(const SYSTEMTIME& final) { _final = final; }
    // 1 Monday ... 7 Sunday; 0 while not set.
    int GetWeekDay() const { return _weekDay; }
    void SetWeekDay(int weekDay) { _weekDay = weekDay; }
    int GetEnabled() const { return _enabled; }
    void SetEnabled(int enabled) { _enabled = enabled; }
    int GetAlwaysOn() const { return _alwaysOn; }
    void SetAlwaysOn(int alwaysOn) { _alwaysOn = alwaysOn; }

    // Frames are ordered by their start time of day (hour, then minute) only: two frames that
    // start at the same minute are equal whatever their day, place or end.
    bool operator<(const CStrPeriod& other) const { return StartMinute() < other.StartMinute(); }
    bool operator<=(const CStrPeriod& other) const { return StartMinute() <= other.StartMinute(); }
    bool operator==(const CStrPeriod& other) const { return StartMinute() == other.StartMinute(); }
    bool operator>(const CStrPeriod& other) const { return StartMinute() > other.StartMinute(); }
    bool operator>=(const CStrPeriod& other) const { return StartMinute() >= other.StartMinute(); }

    // 1 when the frame stays within one day: its end is not earlier than its start, or it ends
    // within the first hour after midnight (22:00-00:30 counts as one day, 22:00-01:00 does not).
    int EsMonoDia() const;
    // Dates the frame: an undated start takes today's date from the phone's clock, the end takes
    // the start's date, and an end that is not later than the start (minutes compared) moves to
    // the next day.
    void SetCorrectDates();
    // 1 when begin <= target <= end, full dates and times compared. Writes the three times and the
    // result to the debug trace.
    static int IsInstantInside(const SYSTEMTIME& begin, const SYSTEMTIME& target, const SYSTEMTIME& end);
    // 1 when `time` lies between the frame's start and end once the frame is dated
    // (SetCorrectDates). Week day, Enabled and AlwaysOn are not looked at.
    int IsHappeningNow(const SYSTEMTIME& time);
    // The same at the phone's local time now.
    int IsHappeningNow();
    // The next start of this weekly frame at or after `from` (minutes compared): `out` gets that
    // date at the frame's start hour and minute, seconds and milliseconds 0. Dates the frame
    // (SetCorrectDates). Returns false, leaving `out` alone, when `from` is not a valid date or
    // the frame has no week day.
    bool GetNextExecution(const SYSTEMTIME& from, SYSTEMTIME& out);
    // Writes "label YYYY-MM-DD hh:mm:ss" to the debug trace.
    static void LogSystemTime(const char* label, const SYSTEMTIME& time);

  private:
    int StartMinute() const { return _inicio.wHour * 60 + _inicio.wMinute; }

    int _id = -1;
    int _idPlace = -1;
    std::string _name;
    SYSTEMTIME _inicio{};
    SYSTEMTIME _final{};
    int _weekDay = 0;
    int _enabled = 1;
    int _alwaysOn = 0;
};

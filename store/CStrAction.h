#pragma once

#include <string>

#include "platform/SystemTime.h"
#include "store/CStrBase.h"

// One action of a time frame: what runs (a manager id or a special action code), when (Type 0 at
// the start of the frame, 1 at its end) and its operands.
//
// IntOp2 holds the enable flags as decimal digits of its eight-digit form ("%08d"): the units
// digit is the general switch and the tens ... ten-millions digits stand for Monday ... Sunday.
// A digit 0 means allowed, so 0 is "enabled every day", 1 "disabled", 10 "not on Mondays" and
// 10000000 "not on Sundays". IntOp2 never holds -1: it is stored as 0.
class CStrAction : public CStrBase {
  public:
    // Key -1 (not stored), Type 0 (at the start of the frame), the rest at reset values.
    CStrAction();
    CStrAction(const CStrAction& other);
    CStrAction& operator=(const CStrAction& other);
    ~CStrAction() override = default;

    // "CStrAction:[CEOID,Type,IdAutonumeric,Id,IdPeriod,Delay,SzOp1,SzOp2,SzOp3,IntOp1,IntOp2,IntOp3]"
    std::string& toString(std::string& buffer) const override;
    // Every operand back to its reset value, the time operands to the current local time. The
    // key, Type and CEOID are kept.
    void Reset() override;
    int GetKey() const override { return _idAutonumeric; }
    void SetKey(int key) override { _idAutonumeric = key; }

    virtual int GetId() const { return _id; }
    virtual void SetId(int id) { _id = id; }

    int GetIdAutonumeric() const { return _idAutonumeric; }
    void SetIdAutonumeric(int idAutonumeric) { _idAutonumeric = idAutonumeric; }
    int GetIdPeriod() const { return _idPeriod; }
    void SetIdPeriod(int idPeriod) { _idPeriod = idPeriod; }
    int GetType() const { return _type; }
    void SetType(int type) { _type = type; }
    int GetDelay() const { return _delay; }
    void SetDelay(int delay) { _delay = delay; }

    int GetIntOp1() const { return _intOp1; }
    void SetIntOp1(int value) { _intOp1 = value; }
    int GetIntOp2() const { return _intOp2; }
    // -1 is stored as 0.
    void SetIntOp2(int value) { _intOp2 = value == -1 ? 0 : value; }
    int GetIntOp3() const { return _intOp3; }
    void SetIntOp3(int value) { _intOp3 = value; }

    const std::string& GetSzOp1() const { return _szOp1; }
    void SetSzOp1(const std::string& value) { _szOp1 = value; }
    const std::string& GetSzOp2() const { return _szOp2; }
    void SetSzOp2(const std::string& value) { _szOp2 = value; }
    const std::string& GetSzOp3() const { return _szOp3; }
    void SetSzOp3(const std::string& value) { _szOp3 = value; }

    const SYSTEMTIME& GetInstanteOp1() const { return _stOp1; }
    void SetInstanteOp1(const SYSTEMTIME& value) { _stOp1 = value; }
    const SYSTEMTIME& GetInstanteOp2() const { return _stOp2; }
    void SetInstanteOp2(const SYSTEMTIME& value) { _stOp2 = value; }
    const SYSTEMTIME& GetInstanteOp3() const { return _stOp3; }
    void SetInstanteOp3(const SYSTEMTIME& value) { _stOp3 = value; }

    // The general switch (units digit of IntOp2) is off.
    bool IsEnabled() const;
    // Today's digit of IntOp2 (from the phone's local clock) is 0. The general switch is not
    // looked at: callers test IsEnabled as well.
    bool IsEnabledToday() const;
    // The digit of `weekDay` (1 Monday ... 7 Sunday) is 0.
    bool IsEnabledOnWeekDay(int weekDay) const;

    // Ordered by key.
    bool operator<(const CStrAction& other) const { return _idAutonumeric < other._idAutonumeric; }
    bool operator<=(const CStrAction& other) const { return _idAutonumeric <= other._idAutonumeric; }
    bool operator>(const CStrAction& other) const { return _idAutonumeric > other._idAutonumeric; }
    bool operator>=(const CStrAction& other) const { return _idAutonumeric >= other._idAutonumeric; }

  private:
    void CopyFields(const CStrAction& other);

    int _idAutonumeric = -1;
    int _id = -1;
    int _idPeriod = -1;
    int _type = 0;
    int _delay = 0;
    std::string _szOp1;
    std::string _szOp2;
    std::string _szOp3;
    int _intOp1 = -1;
    int _intOp2 = 0;
    int _intOp3 = -1;
    SYSTEMTIME _stOp1{};
    SYSTEMTIME _stOp2{};
    SYSTEMTIME _stOp3{};
};

#pragma once

#include <string>
#include <vector>

#include "store/CStrPeriod.h"
#include "store/CStrPlace.h"
#include "store/CTableOf.h"

class CDB;

// Time frames of the places: database "periods", auto-numbered key "Id". Only hour and minute of
// start and end are stored.
class CTablePeriods : public CTableOf<CStrPeriod> {
  public:
    static constexpr platform::CEPROPID kPropId = 0x10066;
    static constexpr platform::CEPROPID kPropName = 0x2001f;
    static constexpr platform::CEPROPID kPropIdPlace = 0x30003;
    static constexpr platform::CEPROPID kPropInitHour = 0x40003;
    static constexpr platform::CEPROPID kPropInitMinute = 0x50003;
    static constexpr platform::CEPROPID kPropEndHour = 0x60003;
    static constexpr platform::CEPROPID kPropEndMinute = 0x70003;
    static constexpr platform::CEPROPID kPropWeekDay = 0x80003;
    static constexpr platform::CEPROPID kPropEnabled = 0x90003;
    static constexpr platform::CEPROPID kPropAlwaysOn = 0xa0003;
    static constexpr uint32_t kPropertyCount = 10;

    CTablePeriods(CDB* db, const std::string& name);
    ~CTablePeriods() override;

    platform::CeDatabaseInfo Schema() const override;
    std::vector<platform::CePropVal> ToProps(const CStrPeriod& period, bool withKey) const override;
    void FromProps(const std::vector<platform::CePropVal>& values, CStrPeriod& period) const override;
    bool HasAutoKey() const override { return true; }
    std::string UpdateFailureText() const override { return "Exception upgrading registry in table Periods"; }

    int FindAndFill(CStrBase& record) override;
    void InsertDefaultRecords() override {}
    void DeleteCascade(CStrBase& record) override;
    void AddNewProperties() override;
    void UpgradeData() override;

    // The periods of a place on a week day (0: every day), in cache order, appended to `out`.
    virtual void GetAllRecordsForPlace(std::vector<CStrPeriod>& out, int idPlace, int weekDay);
    // Seven all-day periods named "Default" for the place.
    virtual void InsertDefaultRecordsForPlace(int idPlace);
    // Deletes the place's periods of a week day (0: all), and through them their actions.
    virtual void DeleteFromPlace(const CStrPlace& place, int weekDay);
    virtual int GetNumRecordsForPlace(int idPlace, int weekDay);

  private:
    CDB* _owner;
};

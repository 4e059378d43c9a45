#pragma once

#include <string>
#include <vector>

#include "store/CStrLAC.h"
#include "store/CTableLocation.h"
#include "store/CTableOf.h"

class CDB;

// Location area codes associated with places: database "lacs", key "ID_LAC" (the code itself).
class CTableLAC : public CTableOf<CStrLAC>, public CTableLocation {
  public:
    static constexpr platform::CEPROPID kPropIdLac = 0x10003;
    static constexpr platform::CEPROPID kPropIdPlace = 0x20003;

    CTableLAC(CDB* db, const std::string& name);
    ~CTableLAC() override;

    platform::CeDatabaseInfo Schema() const override;
    std::vector<platform::CePropVal> ToProps(const CStrLAC& lac, bool withKey) const override;
    void FromProps(const std::vector<platform::CePropVal>& values, CStrLAC& lac) const override;
    bool HasAutoKey() const override { return false; }
    std::string UpdateFailureText() const override { return "Exception upgrading registry in lac table"; }

    void InsertDefaultRecords() override {}
    void DeleteCascade(CStrBase&) override {}

    void DeleteFromPlace(const CStrPlace& place) override;
    // The rows associated with a place.
    virtual void GetAllRecords(std::vector<CStrLAC>& out, int idPlace);
};

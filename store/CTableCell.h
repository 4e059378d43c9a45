#pragma once

#include <string>
#include <vector>

#include "store/CStrCell.h"
#include "store/CTableLocation.h"
#include "store/CTableOf.h"

class CDB;

// Cells associated with places: database "cells", key "ID_LAC" (the cell id), with optional GPS
// coordinates. A cell is never stored twice: adding a known cell moves it to the new place.
class CTableCell : public CTableOf<CStrCell>, public CTableLocation {
  public:
    static constexpr platform::CEPROPID kPropIdCell = 0x10003;
    static constexpr platform::CEPROPID kPropIdPlace = 0x20003;
    static constexpr platform::CEPROPID kPropLongitud = 0x3001f;
    static constexpr platform::CEPROPID kPropLatitud = 0x4001f;
    static constexpr uint32_t kPropertyCount = 4;

    CTableCell(CDB* db, const std::string& name);
    ~CTableCell() override;

    platform::CeDatabaseInfo Schema() const override;
    std::vector<platform::CePropVal> ToProps(const CStrCell& cell, bool withKey) const override;
    void FromProps(const std::vector<platform::CePropVal>& values, CStrCell& cell) const override;
    bool HasAutoKey() const override { return false; }
    std::string UpdateFailureText() const override;

    void Add(CStrBase& record) override;
    void InsertDefaultRecords() override {}
    void DeleteCascade(CStrBase&) override {}
    void AddNewProperties() override;
    void UpgradeData() override;

    void DeleteFromPlace(const CStrPlace& place) override;
    virtual void GetAllRecords(std::vector<CStrCell>& out, int idPlace);
    // Fills `place` with the place of a known cell: 1 when the cell and its place were found.
    virtual int GetPlace(int idCell, CStrPlace& place);

  private:
    CDB* _owner;
};

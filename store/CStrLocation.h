#pragma once

#include <memory>

#include "store/CStrBase.h"

// What can be associated with a place to recognise it: a location area code (CStrLAC) or a cell
// (CStrCell). The location itself is the record's key; IdPlace 0 or less means no place.
class CStrLocation : public CStrBase {
  public:
    CStrLocation() = default;
    CStrLocation(const CStrLocation&) = default;
    CStrLocation& operator=(const CStrLocation&) = default;
    ~CStrLocation() override = default;

    virtual int GetLocation() const = 0;
    virtual int GetIdPlace() const = 0;
    virtual void SetLocation(int location) = 0;
    virtual void SetIdPlace(int idPlace) = 0;
    virtual bool IsAssociated() const = 0;

    // A new default record of the kind the location engine works with: a cell in cell mode
    // (setting "location_mode" non-zero), else a location area code.
    static std::unique_ptr<CStrLocation> GetInstance();
};

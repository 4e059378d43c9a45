#pragma once

#include <string>

#include "store/CStrPlace.h"
#include "store/CTableOf.h"

class CDB;

// Places (profiles): database "places", auto-numbered key "ID". The cache is sorted by name.
class CTablePlaces : public CTableOf<CStrPlace> {
  public:
    static constexpr platform::CEPROPID kPropName = 0x2001f;
    static constexpr platform::CEPROPID kPropDescription = 0x3001f;
    static constexpr platform::CEPROPID kPropImage = 0x4001f;
    static constexpr platform::CEPROPID kPropId = 0x10066;
    // The place strings are written from buffers of 100 characters.
    static constexpr size_t kTextBuffer = 100;

    CTablePlaces(CDB* db, const std::string& name);
    ~CTablePlaces() override;

    platform::CeDatabaseInfo Schema() const override;
    std::vector<platform::CePropVal> ToProps(const CStrPlace& place, bool withKey) const override;
    void FromProps(const std::vector<platform::CePropVal>& values, CStrPlace& place) const override;
    bool HasAutoKey() const override { return true; }
    std::string UpdateFailureText() const override { return "Exception upgrading registry in table Places"; }

    void InsertDefaultRecords() override;
    void DeleteCascade(CStrBase& record) override;
    // The cache is kept in name order.
    bool CacheInKeyOrder() const override { return false; }
    bool CacheLess(const CStrPlace& a, const CStrPlace& b) const override { return a < b; }

    // The names of all places, each preceded by ",".
    std::string& GetAllPlacesInOneString(std::string& out);

  private:
    CDB* _owner;
};

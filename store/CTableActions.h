#pragma once

#include <optional>
#include <string>
#include <vector>

#include "store/CStrAction.h"
#include "store/CStrPeriod.h"
#include "store/CTableOf.h"

class CDB;

// Actions of the time frames: database "actions", auto-numbered key "IdAutonumeric".
class CTableActions : public CTableOf<CStrAction> {
  public:
    static constexpr platform::CEPROPID kPropId = 0x10003;
    static constexpr platform::CEPROPID kPropIdPeriod = 0x20003;
    static constexpr platform::CEPROPID kPropIntOp1 = 0x30003;
    static constexpr platform::CEPROPID kPropIntOp2 = 0x40003;
    static constexpr platform::CEPROPID kPropIntOp3 = 0x50003;
    static constexpr platform::CEPROPID kPropSzOp1 = 0x6001f;
    static constexpr platform::CEPROPID kPropSzOp2 = 0x7001f;
    static constexpr platform::CEPROPID kPropSzOp3 = 0x8001f;
    static constexpr platform::CEPROPID kPropStOp1 = 0x90040;
    static constexpr platform::CEPROPID kPropStOp2 = 0xa0040;
    static constexpr platform::CEPROPID kPropStOp3 = 0xb0040;
    static constexpr platform::CEPROPID kPropType = 0xc0003;
    static constexpr platform::CEPROPID kPropIdAutonumeric = 0x10066;
    static constexpr platform::CEPROPID kPropDelay = 0xd0003;
    static constexpr uint32_t kPropertyCount = 14;

    CTableActions(CDB* db, const std::string& name);
    ~CTableActions() override;

    platform::CeDatabaseInfo Schema() const override;
    std::vector<platform::CePropVal> ToProps(const CStrAction& action, bool withKey) const override;
    void FromProps(const std::vector<platform::CePropVal>& values, CStrAction& action) const override;
    bool HasAutoKey() const override { return true; }
    std::string UpdateFailureText() const override;

    void InsertDefaultRecords() override {}
    void DeleteCascade(CStrBase&) override {}
    void AddNewProperties() override;
    void UpgradeData() override;

    // The actions of a period, in cache order (the vector is cleared first).
    virtual void GetAllRecordsForPeriod(std::vector<CStrAction>& out, int idPeriod);
    // The action of a period with this manager id and type; with `create`, one is added when none
    // exists. Empty when there is none. A copy: other threads may reload the cache meanwhile.
    virtual std::optional<CStrAction> GetAction(int idPeriod, int id, bool create, int type);
    virtual void DeleteFromPeriod(const CStrPeriod& period);
};

#pragma once

#include <string>

#include "store/CStrLocation.h"

// A location area code associated with a place. The code is the key of its row.
class CStrLAC : public CStrLocation {
  public:
    CStrLAC() = default;
    CStrLAC(int idLac, int idPlace);
    CStrLAC(const CStrLAC&) = default;
    CStrLAC& operator=(const CStrLAC&) = default;
    ~CStrLAC() override = default;

    // "CStrLAC:[CEOID,IdLac,IdPlace]"
    std::string& toString(std::string& buffer) const override;
    // IdLac and IdPlace 0, CEOID 0.
    void Reset() override;
    int GetKey() const override { return _idLac; }
    void SetKey(int key) override { _idLac = key; }

    int GetLocation() const override { return _idLac; }
    int GetIdPlace() const override { return _idPlace; }
    void SetLocation(int location) override { _idLac = location; }
    void SetIdPlace(int idPlace) override { _idPlace = idPlace; }
    bool IsAssociated() const override { return _idPlace > 0; }
    // Address of the code, for the tables that read it in place.
    virtual int* GetpIdLac() { return &_idLac; }

    int GetIdLac() const { return _idLac; }
    void SetIdLac(int idLac) { _idLac = idLac; }

    // All by the code.
    bool operator==(const CStrLAC& other) const { return _idLac == other._idLac; }
    bool operator<(const CStrLAC& other) const { return _idLac < other._idLac; }
    bool operator<=(const CStrLAC& other) const { return _idLac <= other._idLac; }
    bool operator>(const CStrLAC& other) const { return _idLac > other._idLac; }
    bool operator>=(const CStrLAC& other) const { return _idLac >= other._idLac; }

  private:
    int _idLac = 0;
    int _idPlace = 0;
};

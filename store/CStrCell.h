#pragma once

#include <string>

#include "store/CStrLocation.h"

// A cell associated with a place, with its coordinates as text when they are known (empty when
// not). The cell id is the key of its row.
class CStrCell : public CStrLocation {
  public:
    CStrCell() = default;
    CStrCell(int idCell, int idPlace);
    CStrCell(const CStrCell&) = default;
    CStrCell& operator=(const CStrCell&) = default;
    ~CStrCell() override = default;

    // "CStrCell:[CEOID,IdCell,IdPlace,Longitud,Latitud]"
    std::string& toString(std::string& buffer) const override;
    // IdCell and IdPlace 0, no coordinates; CEOID is kept.
    void Reset() override;
    int GetKey() const override { return _idCell; }
    void SetKey(int key) override { _idCell = key; }

    int GetLocation() const override { return _idCell; }
    int GetIdPlace() const override { return _idPlace; }
    void SetLocation(int location) override { _idCell = location; }
    void SetIdPlace(int idPlace) override { _idPlace = idPlace; }
    bool IsAssociated() const override { return _idPlace > 0; }
    // Address of the cell id, for the tables that read it in place.
    virtual int* GetpIdCell() { return &_idCell; }
    virtual void SetLongitud(const std::string& longitud) { _longitud = longitud; }
    virtual const std::string& GetLongitud() const { return _longitud; }
    virtual void SetLatitud(const std::string& latitud) { _latitud = latitud; }
    virtual const std::string& GetLatitud() const { return _latitud; }
    // Both coordinates have more than 2 characters.
    virtual bool HasGPSInfo() const;
    // Forgets both coordinates.
    virtual void RemoveGPSInfo();

    int GetIdCell() const { return _idCell; }
    void SetIdCell(int idCell) { _idCell = idCell; }

    bool operator==(const CStrCell& other) const { return _idCell == other._idCell; }

  private:
    int _idCell = 0;
    int _idPlace = 0;
    std::string _longitud;
    std::string _latitud;
};

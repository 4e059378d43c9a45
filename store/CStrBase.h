#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include <pugixml.hpp>

// Base of every record kept in the device database. Records are plain values: tables hand out
// copies and vectors hold them by value. CEOID is the object identifier of the stored row, 0 while
// the record has not been read from or written to the database.
//
// Two process-wide counters help find leaks: records alive (copies included) and records ever
// created; the application writes both to the debug trace when it shuts down.
class CStrBase {
  public:
    // Text lines of the records are cut to a buffer of this many characters.
    static constexpr size_t kTextBuffer = 200;

    CStrBase();
    CStrBase(const CStrBase& other);
    CStrBase& operator=(const CStrBase& other);
    virtual ~CStrBase();

    // Writes the one-line text form of the record into `buffer` and returns it.
    virtual std::string& toString(std::string& buffer) const = 0;
    virtual void Reset() = 0;
    virtual int GetKey() const = 0;
    virtual void SetKey(int key) = 0;
    // Appends the record's data under `node`. Only places write anything: they export their
    // frames and actions from inside themselves.
    virtual void ExportToXML(pugi::xml_node node) const;

    uint32_t GetCEOID() const { return _ceoid; }
    void SetCEOID(uint32_t ceoid) { _ceoid = ceoid; }

    // Records alive now.
    static long GetNumeroInstancias();
    // Records constructed since the process started.
    static long GetNumeroInstanciasTotal();

  private:
    uint32_t _ceoid = 0;

    static std::atomic<long> _instances;
    static std::atomic<long> _instancesTotal;
};

#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "platform/ErrorCodes.h"

namespace platform {

// Property ids: high 16 bits the property number, low 16 bits its type.
using CEPROPID = uint32_t;
// Object id of a database or of a record inside a volume; 0 is no object.
using CEOID = uint32_t;
// A mounted volume; kInvalidVolume while nothing is mounted.
using CeVolumeId = uint32_t;
// An open database; 0 is no database.
using CeDbHandle = uint32_t;

inline constexpr CeVolumeId kInvalidVolume = 0xFFFFFFFFu;

// Property types.
inline constexpr uint16_t CEVT_I4 = 3;
inline constexpr uint16_t CEVT_LPWSTR = 0x1f;  // UTF-8 text here
inline constexpr uint16_t CEVT_FILETIME = 0x40;
inline constexpr uint16_t CEVT_AUTO_I4 = 0x66;  // 32-bit number the volume assigns to new records

// Property flag: a new record must carry the property (an auto-number is filled in by the volume).
inline constexpr uint32_t CEDB_PROPNOTNULL = 1;
// Sort-order key flags: unique primary key.
inline constexpr uint32_t CEDB_SORT_UNIQUE = 0x1000;
inline constexpr uint32_t CEDB_SORT_PRIMARYKEY = 0x0200;

// Longest database name.
inline constexpr size_t CEDB_MAXDBASENAMELEN = 32;

constexpr CEPROPID MakePropId(uint16_t number, uint16_t type) {
    return (static_cast<CEPROPID>(number) << 16) | type;
}
constexpr uint16_t PropType(CEPROPID id) {
    return static_cast<uint16_t>(id & 0xFFFF);
}

// One property of a database's schema.
struct CePropSpec {
    CEPROPID id = 0;
    std::string name;
    uint32_t flags = 0;  // CEDB_PROPNOTNULL
};

// What CreateDatabase needs: name, type, the one sort order (its key property) and the properties.
struct CeDatabaseInfo {
    std::string name;
    uint32_t type = 0;
    CEPROPID sortKey = 0;
    uint32_t sortFlags = CEDB_SORT_UNIQUE | CEDB_SORT_PRIMARYKEY;
    std::vector<CePropSpec> props;
};

// One property value of a record. A FILETIME is the count of 100 ns units since 1601 (64 bits).
struct CePropVal {
    using Value = std::variant<std::monostate, int32_t, std::string, uint64_t>;

    CEPROPID propid = 0;
    Value value;

    static CePropVal i4(CEPROPID id, int32_t v) { return {id, Value(v)}; }
    static CePropVal text(CEPROPID id, std::string v) { return {id, Value(std::move(v))}; }
    static CePropVal filetime(CEPROPID id, uint64_t v) { return {id, Value(v)}; }

    bool isNull() const { return std::holds_alternative<std::monostate>(value); }
    // The value, or a default (0 or empty) when it is of another kind.
    int32_t asI4() const { return std::holds_alternative<int32_t>(value) ? std::get<int32_t>(value) : 0; }
    std::string asText() const {
        return std::holds_alternative<std::string>(value) ? std::get<std::string>(value) : std::string();
    }
    uint64_t asFiletime() const {
        return std::holds_alternative<uint64_t>(value) ? std::get<uint64_t>(value) : 0;
    }
};

// The phone's property-database volumes: a file holds named databases; each database has typed
// properties, one unique sort order on its key property and records identified by object ids.
// Every call returns ERROR_SUCCESS or the phone's error code; outputs are set only on success.
// Every record write is atomic. All operations may be called from any thread.
class IDatabaseVolume {
  public:
    virtual ~IDatabaseVolume() = default;

    // Mounts the volume file, creating it when missing. Mounting a file that is already mounted
    // gives the same id again (each mount needs its unmount). A file that is not a volume gives
    // ERROR_BADDB and, in `why`, the file and the reason.
    virtual Result mount(const std::filesystem::path& file, CeVolumeId& volume,
                         std::string* why = nullptr) = 0;
    // Closes the databases still open on the volume when the last mount goes.
    virtual Result unmount(CeVolumeId volume) = 0;
    // Makes everything written so far durable in the volume file (inside a batch: at its end).
    // Every write is atomic by itself; this is the point after which it survives a power loss.
    virtual Result flush(CeVolumeId volume) = 0;

    // Bulk changes (upgrades, imports, restores): the calling thread's calls on the volume until
    // the matching endBatch form one atomic change; the calls of other threads on the volume wait
    // until it ends. Batches nest; the outermost end commits when no level asked to give up.
    // endBatch(commit = false) undoes everything of the batch (and returns ERROR_SUCCESS); a commit
    // after a level gave up returns ERROR_INVALID_DATA with nothing changed.
    virtual Result beginBatch(CeVolumeId volume) = 0;
    virtual Result endBatch(CeVolumeId volume, bool commit) = 0;

    // ERROR_DUP_NAME when the name exists, ERROR_BAD_LENGTH for an empty or too long name,
    // ERROR_ALREADY_EXISTS for a property id given twice, ERROR_INVALID_PARAMETER for a sort
    // key that is not among the properties or an unknown property type.
    virtual Result createDatabase(CeVolumeId volume, const CeDatabaseInfo& info, CEOID& database) = 0;
    // Opens a database by name with its sort order (the key property). ERROR_FILE_NOT_FOUND when
    // there is no such database, ERROR_INVALID_PARAMETER when the sort order is not the database's.
    virtual Result openDatabase(CeVolumeId volume, const std::string& name, CEPROPID sortKey,
                                CeDbHandle& handle, CEOID& database) = 0;
    virtual Result closeDatabase(CeDbHandle handle) = 0;

    // The record at `offset` from the beginning in sort order; ERROR_NO_MORE_ITEMS past the end.
    virtual Result seekBeginning(CeDbHandle handle, uint32_t offset, CEOID& record) = 0;
    // The first record whose property `value.propid` equals the value; ERROR_NO_MORE_ITEMS when none.
    virtual Result seekValueFirstEqual(CeDbHandle handle, const CePropVal& value, CEOID& record) = 0;
    // Object ids of all records in sort order.
    virtual Result recordIds(CeDbHandle handle, std::vector<CEOID>& records) = 0;
    virtual Result recordCount(CeDbHandle handle, uint32_t& count) = 0;
    // Every record with every property of the schema, in sort order, read at once: `visit` gets
    // each record's object id and values (in schema order). It runs while the volume is held, so
    // it must not call the volume.
    using RecordVisit = std::function<void(CEOID record, const std::vector<CePropVal>& values)>;
    virtual Result readAllRecords(CeDbHandle handle, const RecordVisit& visit) = 0;

    // Reads the listed properties (all of the schema when `props` is empty) of a record. A
    // property the record does not hold comes back null. ERROR_KEY_DELETED when the record is gone.
    virtual Result readRecord(CeDbHandle handle, CEOID record, const std::vector<CEPROPID>& props,
                              std::vector<CePropVal>& values) = 0;
    // Writes properties of a record; `record` 0 adds a new one (its auto-number filled in when not
    // given). `written` receives the record's object id. A null value removes the property.
    // ERROR_ALREADY_EXISTS for a key that another record holds, ERROR_INVALID_PARAMETER for an
    // unknown property, a value of the wrong type or a missing not-null property of a new record,
    // ERROR_KEY_DELETED when the record is gone, ERROR_DISK_FULL when the file cannot grow.
    virtual Result writeRecord(CeDbHandle handle, CEOID record, const std::vector<CePropVal>& values,
                               CEOID& written) = 0;
    // Adds a new record as writeRecord(handle, 0, ...) does; `autoNumber` receives the number the
    // volume gave its auto-numbered property (0 when it has none, or when it was given).
    virtual Result addRecord(CeDbHandle handle, const std::vector<CePropVal>& values, CEOID& written,
                             int32_t& autoNumber) = 0;
    // ERROR_INVALID_PARAMETER for object id 0, ERROR_KEY_DELETED for a record that is not there.
    virtual Result deleteRecord(CeDbHandle handle, CEOID record) = 0;

    // Number of properties of the database's schema.
    virtual Result propertyCount(CeDbHandle handle, uint32_t& count) = 0;
    // Adds properties to a database's schema; stored records keep their data and lack the new
    // properties. ERROR_ALREADY_EXISTS when one of them exists.
    virtual Result addProperties(CeVolumeId volume, CEOID database, const std::vector<CePropSpec>& props) = 0;
    // Removes a database and its records.
    virtual Result deleteDatabase(CeVolumeId volume, CEOID database) = 0;

    // How long a database just created must rest before it is opened: a volume whose new
    // databases are not durable at once (the phone's) needs a pause, one durable at commit none.
    virtual uint32_t createPauseMs() const = 0;
};

}  // namespace platform

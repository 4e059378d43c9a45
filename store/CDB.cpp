#include "store/CDB.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>

#include "core/CConfigurationZentrova.h"
#include "core/CExceptionDB.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/IMainPanel.h"
#include "core/MemoryState.h"
#include "core/MessageBoxes.h"
#include "core/ProgramFolder.h"
#include "core/TextBuffer.h"
#include "core/Utf16.h"
#include "platform/Services.h"

std::atomic<CDB*> CDB::_me{nullptr};

namespace {

constexpr size_t kPathBuffer = 260;

platform::IDatabaseVolume& volume() {
    return platform::Services::get().databaseVolume();
}

// The wait cursor while data is upgraded or imported, when a main window shows one.
void setWaitCursor(bool wait) {
    IMainPanel::With([wait](IMainPanel& panel) { panel.SetWaitCursor(wait); });
}

}  // namespace

CDB::CDB() {
    _me.store(this);
    uint32_t memory = LogMemoryState("CDB::CDB", 0);
    _dbName = FitBuffer(SafeSprintf("%s/%s", GetCurrentDirectory(), std::string("comm_mgr.db")), kPathBuffer);
    _dbNameBak =
        FitBuffer(SafeSprintf("%s/%s", GetCurrentDirectory(), std::string("comm_mgr.bak")), kPathBuffer);
    CreateTables();
    LogMemoryState("-CDB::CDB", memory);
}

CDB::CDB(const std::string& file) : _dbName(file), _dbNameBak(file + ".bak") {
    CreateTables();
}

void CDB::CreateTables() {
    _lacs = std::make_unique<CTableLAC>(this, "lacs");
    _cells = std::make_unique<CTableCell>(this, "cells");
    _actions = std::make_unique<CTableActions>(this, "actions");
    _periods = std::make_unique<CTablePeriods>(this, "periods");
    _places = std::make_unique<CTablePlaces>(this, "places");
}

CDB::~CDB() {
    try {
        CloseDB(1);
    } catch (const std::exception& e) {
        LogFormateado(1, "closing the database: %s", e.what());
    }
    _places.reset();
    _periods.reset();
    _actions.reset();
    _cells.reset();
    _lacs.reset();
    CDB* self = this;
    _me.compare_exchange_strong(self, nullptr);
}

CDB* CDB::GetOpened() {
    CDB* db = GetInstance();
    if (db && !db->IsOpen()) {
        db->OpenDB(0);
    }
    return db;
}

bool CDB::ReopenForUse() {
    std::lock_guard lock(_lock);
    if (_isOpen) {
        // Reopened meanwhile by another reader.
        return true;
    }
    try {
        OpenVolumeAndTables(0);
    } catch (const CBaseException& e) {
        LogFormateado(1, "reopening the database: %s", e.GetMessageW());
        return false;
    }
    return _isOpen;
}

void CDB::InvalidateCaches() {
    for (CTableBase* table : _managed) {
        table->InvalidateCache();
    }
}

void CDB::InOneChange(const std::function<void()>& change) {
    if (!_isOpen && !ReopenForUse()) {
        throw CExceptionDB("The database is not open: nothing was changed");
    }
    platform::IDatabaseVolume& v = volume();
    const platform::CeVolumeId id = _idVolume.load();
    if (v.beginBatch(id) != platform::ERROR_SUCCESS) {
        throw CExceptionDB("The database is not open: nothing was changed");
    }
    try {
        change();
    } catch (...) {
        v.endBatch(id, false);
        InvalidateCaches();
        throw;
    }
    if (v.endBatch(id, true) != platform::ERROR_SUCCESS) {
        InvalidateCaches();
        throw CExceptionDB("The change could not be written: nothing was changed");
    }
}

void CDB::AddManagedTable(CTableBase* table) {
    _managed.push_back(table);
}

CTableLocation* CDB::GetTableLocations() {
    uint32_t mode = 1;
    try {
        mode = CConfigurationZentrova::GetInstance()->GetLongParameter("location_mode");
    } catch (const CBaseException& e) {
        LogFormateado(1, "%s", e.GetMessageW());
    }
    if (mode != 0) {
        return _cells.get();
    }
    return _lacs.get();
}

std::string CDB::GetErrorText() const {
    std::lock_guard lock(_lock);
    return _errorText;
}

int CDB::OpenDB(int insertDefaults) {
    int opened = OpenVolumeAndTables(insertDefaults);
    if (opened) {
        ImportPendingExport();
    }
    return opened;
}

int CDB::OpenVolumeAndTables(int insertDefaults) {
    std::lock_guard lock(_lock);
    if (_isOpen) {
        LogFormateado(1, "CDB::OpenDB: already open");
        return 0;
    }
    uint32_t memory = LogMemoryState("CDB::OpenDB()", 0);
    // The export file is imported by the XML data import, which is not part of this build yet:
    // until then the database is never given up for it.
    platform::CeVolumeId id = platform::kInvalidVolume;
    std::string why;
    platform::Result rc = volume().mount(_dbName, id, &why);
    _volumeDamaged = rc == platform::ERROR_BADDB;
    if (rc == platform::ERROR_BADDB && _recoversDamaged && PutDamagedVolumeAside(why, true)) {
        rc = volume().mount(_dbName, id, &why);
        _volumeDamaged = rc == platform::ERROR_BADDB;
        if (_volumeDamaged && PutDamagedVolumeAside(why, false)) {
            // The backup was damaged as well (and is kept as it was): a new database.
            rc = volume().mount(_dbName, id, &why);
        }
    }
    if (rc != platform::ERROR_SUCCESS) {
        _idVolume = platform::kInvalidVolume;
        _errorText = FitBuffer(SafeSprintf(CTextsMgr::GetInstance()->GetText("ERROR OPENING VOLUME"),
                                           static_cast<int>(rc), _dbName),
                               kPathBuffer);
        LogFormateado(1, "%s (%s)", _errorText, why);
        // A volume that is not damaged failed for a reason the user can act on (a full disk, a
        // file that cannot be written): it goes with the message.
        throw CExceptionDB(rc == platform::ERROR_BADDB || why.empty() ? _errorText : _errorText + "\n" + why);
    }
    _idVolume = id;
    for (CTableBase* table : _managed) {
        LogFormateado(0, "opening table %s", table->GetTableName());
        table->OpenBase(insertDefaults);
        table->AddNewProperties();
    }
    _isOpen = true;
    bool upgraded = false;
    for (CTableBase* table : _managed) {
        if (!table->GetMustUpgradeData()) {
            continue;
        }
        if (!upgraded) {
            TextBox(SafeSprintf(CTextsMgr::GetInstance()->GetText("WARNING_UPDATE_DATA")));
            setWaitCursor(true);
            upgraded = true;
        }
        table->UpgradeData();
        table->SetMustUpgradeData(0);
    }
    if (upgraded) {
        setWaitCursor(false);
        TextBox(SafeSprintf(CTextsMgr::GetInstance()->GetText("UPDATE_DATA_FINISHED")));
    }
    LogMemoryState("-CDB::OpenDB()", memory);
    return 1;
}

bool CDB::PutDamagedVolumeAside(const std::string& why, bool offerBackup) {
    LogFormateado(1, "%s", why);
    namespace fs = std::filesystem;
    SYSTEMTIME t = platform::Services::get().clock().localTime();
    const std::string stamp =
        SafeSprintf("%04d%02d%02d-%02d%02d%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    std::string aside = _dbName + ".damaged-" + stamp;
    std::error_code ec;
    for (int n = 2; fs::exists(aside, ec); ++n) {
        aside = _dbName + ".damaged-" + stamp + "-" + std::to_string(n);
    }
    CTextsMgr* texts = CTextsMgr::GetInstance();
    std::string message = SafeSprintf(texts->GetText("DB_DAMAGED_KEPT_ASIDE"), _dbName, aside);
    const bool restore =
        offerBackup && fs::exists(_dbNameBak, ec) &&
        QuestionBox(
            "%s", message + "\n\n" + SafeSprintf(texts->GetText("DB_DAMAGED_RESTORE_BACKUP"), _dbNameBak)) ==
            IDYES_ANSWER;
    // The backup is copied next to the damaged file first and takes its place by a rename, after
    // the damaged file got its second name: a program stopped at any point leaves either the
    // damaged file or the whole backup under the database's name, never no file or half a copy.
    const std::string restoring = _dbName + ".restoring";
    bool restored = false;
    if (restore) {
        fs::copy_file(_dbNameBak, restoring, fs::copy_options::overwrite_existing, ec);
        restored = !ec;
        if (ec) {
            LogFormateado(1, "%s: %s", _dbNameBak, ec.message());
            std::error_code ignored;
            fs::remove(restoring, ignored);
        }
    }
    if (restored) {
        fs::create_hard_link(_dbName, aside, ec);
    } else {
        fs::rename(_dbName, aside, ec);
    }
    if (ec) {
        LogFormateado(1, "%s: cannot be put aside: %s", _dbName, ec.message());
        std::error_code ignored;
        fs::remove(restoring, ignored);
        return false;
    }
    // Its write-ahead log belongs to it and must not be applied to another file.
    for (const char* suffix : {"-wal", "-shm"}) {
        std::error_code ignored;
        if (fs::exists(_dbName + suffix, ignored)) {
            fs::rename(_dbName + suffix, aside + suffix, ignored);
        }
    }
    if (restored) {
        fs::rename(restoring, _dbName, ec);
        if (ec) {
            LogFormateado(1, "%s: %s", restoring, ec.message());
            restored = false;
            std::error_code ignored;
            fs::remove(restoring, ignored);
            fs::remove(_dbName, ignored);
        }
    }
    TextBox(message + "\n\n" +
            (restored ? SafeSprintf(texts->GetText("DB_DAMAGED_BACKUP_RESTORED"), _dbNameBak)
                      : SafeSprintf(texts->GetText("DB_DAMAGED_NEW_DATABASE"))));
    return true;
}

void CDB::ImportPendingExport() {
    // Only the application's database takes the pending import, and only when it opens at
    // start-up: a later opening (an export, an integrity check) must not put older data in place
    // of what the user changed since. The export file itself is the user's copy and stays alone.
    if (this != _me.load() || _exportLookedAt.exchange(true)) {
        return;
    }
    const std::string pending = PendingImportPath();
    uint32_t firstRun = 0;
    try {
        firstRun = CConfigurationZentrova::GetInstance()->GetLongParameter("first_execution_after_install");
    } catch (const CBaseException& e) {
        LogFormateado(1, "%s", e.GetMessageW());
    }
    std::error_code ec;
    if (firstRun != 0) {
        std::filesystem::remove(pending, ec);
        return;
    }
    if (!std::filesystem::exists(pending, ec)) {
        return;
    }
    if (ImportFromXML(pending)) {
        std::filesystem::remove(pending, ec);
        return;
    }
    // Its error was shown once; kept aside for the user, it is not tried again at every start.
    std::filesystem::rename(pending, FailedImportPath(), ec);
    if (ec) {
        LogFormateado(1, "%s: %s", pending, ec.message());
        std::filesystem::remove(pending, ec);
    }
}

int CDB::CloseDB(int invalidateCaches) {
    {
        std::lock_guard lock(_lock);
        platform::CeVolumeId id = _idVolume.load();
        if (!_isOpen) {
            return 1;
        }
        if (volume().flush(id) != platform::ERROR_SUCCESS) {
            LogFormateado(1, "CDB::CloseDB: the volume could not be flushed");
            return 0;
        }
        // Only the handles: a reader on another thread may hold a table's lock while it waits
        // for this one to reopen the database.
        for (CTableBase* table : _managed) {
            table->Close(0);
        }
        if (volume().unmount(id) != platform::ERROR_SUCCESS) {
            LogFormateado(1, "CDB::CloseDB: the volume could not be unmounted");
            return 0;
        }
        _idVolume = platform::kInvalidVolume;
        _isOpen = false;
    }
    if (invalidateCaches) {
        for (CTableBase* table : _managed) {
            table->InvalidateCache();
        }
    }
    return 1;
}

int CDB::CheckTableIntegrity(int& recordCount) {
    CloseDB(0);
    OpenDB(1);
    int result = 1;
    recordCount = 0;
    for (CTableBase* table : _managed) {
        int count = 0;
        if (table->CheckTableIntegrity(count)) {
            recordCount += count;
        } else {
            result = 0;
        }
    }
    return result;
}

int CDB::GetTotalRecordCount() {
    int total = 0;
    for (CTableBase* table : _managed) {
        total += table->GetNumRecordCount();
    }
    return total;
}

void CDB::LoadData() {
    for (CTableBase* table : _managed) {
        table->CheckAndLoadCache();
    }
}

void CDB::DebugAllRecords() {
    for (CTableBase* table : _managed) {
        table->DebugAllRecords();
    }
}

void CDB::DeleteAllRecords() {
    for (CTableBase* table : _managed) {
        table->DeleteAll();
    }
}

std::string CDB::XmlPath() {
    return (platform::Services::get().home().root() / "Zentrova.xml").string();
}

std::string CDB::PendingImportPath() {
    return XmlPath() + ".pending";
}

std::string CDB::FailedImportPath() {
    return XmlPath() + ".failed";
}

namespace {

std::string number(int n) {
    return std::to_string(n);
}

// The attribute as a whole decimal number in [min, max]; false when it is missing (value left
// alone), true when it fits. Anything else (text, out of range) is a fault described in `error`.
bool parseNumber(const pugi::xml_node& node, const char* name, long long min, long long max, long long& value,
                 std::string& error) {
    pugi::xml_attribute a = node.attribute(name);
    if (!a) {
        return false;
    }
    const char* text = a.value();
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text, &end, 10);
    bool digits = *text != '\0' &&
                  (std::isdigit(static_cast<unsigned char>(*text)) ||
                   ((*text == '-' || *text == '+') && std::isdigit(static_cast<unsigned char>(text[1]))));
    if (!digits || *end != '\0' || errno == ERANGE) {
        error = SafeSprintf("\"%s\" is not a whole number: \"%s\"", std::string(name), std::string(text));
        return false;
    }
    if (v < min || v > max) {
        error = SafeSprintf("\"%s\" %lld is out of range (%lld to %lld)", std::string(name), v, min, max);
        return false;
    }
    value = v;
    return true;
}

// The attribute as a number; missing gives `fallback`. Only called on checked documents.
int attrInt(const pugi::xml_node& node, const char* name, int fallback = 0) {
    pugi::xml_attribute a = node.attribute(name);
    if (!a) {
        return fallback;
    }
    return static_cast<int>(std::strtol(a.value(), nullptr, 10));
}

void setTime(pugi::xml_node& node, int index, const SYSTEMTIME& t) {
    const std::string prefix = "arg_time_" + number(index) + "_";
    node.append_attribute((prefix + "year").c_str()) = number(t.wYear).c_str();
    node.append_attribute((prefix + "month").c_str()) = number(t.wMonth).c_str();
    node.append_attribute((prefix + "day").c_str()) = number(t.wDay).c_str();
    node.append_attribute((prefix + "hour").c_str()) = number(t.wHour).c_str();
    node.append_attribute((prefix + "minute").c_str()) = number(t.wMinute).c_str();
    node.append_attribute((prefix + "second").c_str()) = number(t.wSecond).c_str();
}

SYSTEMTIME readTime(const pugi::xml_node& node, int index) {
    const std::string prefix = "arg_time_" + number(index) + "_";
    SYSTEMTIME t{};
    t.wYear = static_cast<uint16_t>(attrInt(node, (prefix + "year").c_str()));
    t.wMonth = static_cast<uint16_t>(attrInt(node, (prefix + "month").c_str()));
    t.wDay = static_cast<uint16_t>(attrInt(node, (prefix + "day").c_str()));
    t.wHour = static_cast<uint16_t>(attrInt(node, (prefix + "hour").c_str()));
    t.wMinute = static_cast<uint16_t>(attrInt(node, (prefix + "minute").c_str()));
    t.wSecond = static_cast<uint16_t>(attrInt(node, (prefix + "second").c_str()));
    return t;
}

// The codes an action may carry: the managers', vibrate, open file, mail, SMS, Today theme,
// ring tone, and the program's own.
bool isActionCode(long long code) {
    return (code >= 0 && code <= 6) || (code >= 9 && code <= 16) || (code >= 50 && code <= 53);
}

constexpr long long kIntMin = std::numeric_limits<int32_t>::min();
constexpr long long kIntMax = std::numeric_limits<int32_t>::max();
// The places table stores its texts in buffers of 100 characters.
constexpr size_t kPlaceTextChars = 99;

struct Range {
    const char* name;
    long long min;
    long long max;
};

// An export document read whole: the file's text as UTF-8 (what the line numbers count in) and
// its tree.
struct ExportFile {
    std::string text;
    pugi::xml_document doc;

    int lineOf(ptrdiff_t offset) const {
        if (offset < 0) {
            return 0;
        }
        size_t end = std::min(static_cast<size_t>(offset), text.size());
        return 1 +
               static_cast<int>(std::count(text.begin(), text.begin() + static_cast<ptrdiff_t>(end), '\n'));
    }
    std::string where(const pugi::xml_node& node) const {
        return SafeSprintf("line %d, <%s>", lineOf(node.offset_debug()), std::string(node.name()));
    }
};

// Reads the file into `file`, UTF-8 or UTF-16 (either byte order), and parses it. False with
// `error` when it cannot be read or is not well formed.
// The export file's bytes (UTF-8 or UTF-16 either way round, with or without byte-order mark)
// parsed into `file`.
bool parseExport(std::string bytes, ExportFile& file, std::string& error);

bool loadExport(const std::string& path, ExportFile& file, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "the file cannot be read";
        return false;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return parseExport(std::move(bytes), file, error);
}

bool parseExport(std::string bytes, ExportFile& file, std::string& error) {
    auto starts = [&](std::string_view prefix) { return bytes.compare(0, prefix.size(), prefix) == 0; };
    bool le = starts("\xFF\xFE") || (bytes.size() >= 2 && bytes[0] != '\0' && bytes[1] == '\0');
    bool be = starts("\xFE\xFF") || (bytes.size() >= 2 && bytes[0] == '\0' && bytes[1] != '\0');
    if (le || be) {
        size_t skip = (starts("\xFF\xFE") || starts("\xFE\xFF")) ? 2 : 0;
        std::string units = bytes.substr(skip);
        if (be) {
            for (size_t i = 0; i + 1 < units.size(); i += 2) {
                std::swap(units[i], units[i + 1]);
            }
        }
        file.text = Utf16LeToUtf8(units);
    } else {
        file.text = starts("\xEF\xBB\xBF") ? bytes.substr(3) : std::move(bytes);
    }
    pugi::xml_parse_result parsed =
        file.doc.load_buffer(file.text.data(), file.text.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed) {
        error = SafeSprintf("line %d: %s", file.lineOf(parsed.offset), std::string(parsed.description()));
        return false;
    }
    if (std::string(file.doc.document_element().name()) != "Zentrova") {
        error = "not an export file (its root element is not <Zentrova>)";
        return false;
    }
    return true;
}

// Checks the numbers of one element against their ranges.
bool checkRanges(const ExportFile& file, const pugi::xml_node& node, std::initializer_list<Range> ranges,
                 std::string& error) {
    for (const Range& r : ranges) {
        long long v = 0;
        std::string why;
        if (!parseNumber(node, r.name, r.min, r.max, v, why) && !why.empty()) {
            error = file.where(node) + ": " + why;
            return false;
        }
    }
    return true;
}

// Checks the whole document before anything is written: every number must fit its field, every
// place text its buffer, a cell or area code may be given once, and a frame may hold one action
// of a code per moment.
bool checkExport(const ExportFile& file, std::string& error) {
    std::set<long long> cells;
    std::set<long long> lacs;
    for (pugi::xml_node p : file.doc.document_element().children("place")) {
        for (const char* text : {"name", "description", "image"}) {
            if (CountChars(p.attribute(text).value()) > kPlaceTextChars) {
                error = SafeSprintf("%s: \"%s\" is longer than %d characters", file.where(p),
                                    std::string(text), static_cast<int>(kPlaceTextChars));
                return false;
            }
        }
        if (!checkRanges(file, p, {{"id", kIntMin, kIntMax}}, error)) {
            return false;
        }
        for (pugi::xml_node child : p.children()) {
            const std::string kind = child.name();
            if (kind == "cell" || kind == "lac") {
                if (!checkRanges(file, child, {{"id", 0, kIntMax}}, error)) {
                    return false;
                }
                long long id = attrInt(child, "id");
                if (!(kind == "cell" ? cells : lacs).insert(id).second) {
                    error = SafeSprintf("%s: id %lld is given twice", file.where(child), id);
                    return false;
                }
            } else if (kind == "schedule") {
                if (!checkRanges(file, child,
                                 {{"begin_hour", 0, 23},
                                  {"begin_minute", 0, 59},
                                  {"end_hour", 0, 23},
                                  {"end_minute", 0, 59},
                                  {"weekday", 1, 7},
                                  {"alwayson", 0, 1},
                                  {"enabled", 0, 1}},
                                 error)) {
                    return false;
                }
                std::set<std::pair<int, int>> moments;
                for (pugi::xml_node a : child.children("action")) {
                    if (!checkRanges(file, a,
                                     {{"id", 0, 99},
                                      {"type", 0, 1},
                                      {"arg_int_1", kIntMin, kIntMax},
                                      {"arg_int_2", kIntMin, kIntMax},
                                      {"arg_int_3", kIntMin, kIntMax},
                                      {"delay", 0, kIntMax}},
                                     error)) {
                        return false;
                    }
                    for (int i = 1; i <= 3; ++i) {
                        const std::string t = "arg_time_" + number(i) + "_";
                        const std::string y = t + "year", mo = t + "month", d = t + "day", h = t + "hour",
                                          mi = t + "minute", se = t + "second";
                        if (!checkRanges(file, a,
                                         {{y.c_str(), 0, 30827},
                                          {mo.c_str(), 0, 12},
                                          {d.c_str(), 0, 31},
                                          {h.c_str(), 0, 23},
                                          {mi.c_str(), 0, 59},
                                          {se.c_str(), 0, 59}},
                                         error)) {
                            return false;
                        }
                    }
                    int code = attrInt(a, "id");
                    if (!isActionCode(code)) {
                        error = SafeSprintf("%s: %d is not an action code", file.where(a), code);
                        return false;
                    }
                    if (!moments.insert({code, attrInt(a, "type")}).second) {
                        error =
                            SafeSprintf("%s: the frame already has an action with code %d for this moment",
                                        file.where(a), code);
                        return false;
                    }
                }
            }
        }
    }
    return true;
}

}  // namespace

void CDB::ExportPlace(const CStrPlace& place, pugi::xml_node& node) {
    node.append_attribute("name") = place.GetName().c_str();
    node.append_attribute("description") = place.GetDescription().c_str();
    node.append_attribute("image") = place.GetImage().c_str();
    node.append_attribute("id") = number(place.GetId()).c_str();
    std::vector<CStrCell> cells;
    _cells->GetAllRecords(cells, place.GetId());
    for (CStrCell cell : cells) {
        // Coordinates shorter than 5 characters are not worth keeping.
        if (CountChars(cell.GetLatitud()) < 5 || CountChars(cell.GetLongitud()) < 5) {
            cell.SetLatitud("");
            cell.SetLongitud("");
        }
        pugi::xml_node c = node.append_child("cell");
        c.append_attribute("id") = number(cell.GetIdCell()).c_str();
        c.append_attribute("latitude") = cell.GetLatitud().c_str();
        c.append_attribute("longitude") = cell.GetLongitud().c_str();
    }
    std::vector<CStrLAC> lacs;
    _lacs->GetAllRecords(lacs, place.GetId());
    for (const CStrLAC& lac : lacs) {
        node.append_child("lac").append_attribute("id") = number(lac.GetIdLac()).c_str();
    }
    std::vector<CStrPeriod> periods;
    _periods->GetAllRecordsForPlace(periods, place.GetId(), 0);
    for (const CStrPeriod& period : periods) {
        pugi::xml_node f = node.append_child("schedule");
        f.append_attribute("name") = period.GetName().c_str();
        f.append_attribute("begin_hour") = number(period.GetInicio().wHour).c_str();
        f.append_attribute("begin_minute") = number(period.GetInicio().wMinute).c_str();
        f.append_attribute("end_hour") = number(period.GetFinal().wHour).c_str();
        f.append_attribute("end_minute") = number(period.GetFinal().wMinute).c_str();
        f.append_attribute("weekday") = number(period.GetWeekDay()).c_str();
        f.append_attribute("alwayson") = number(period.GetAlwaysOn()).c_str();
        f.append_attribute("enabled") = number(period.GetEnabled()).c_str();
        std::vector<CStrAction> actions;
        _actions->GetAllRecordsForPeriod(actions, period.GetId());
        for (const CStrAction& action : actions) {
            pugi::xml_node a = f.append_child("action");
            a.append_attribute("id") = number(action.GetId()).c_str();
            a.append_attribute("type") = number(action.GetType()).c_str();
            a.append_attribute("arg_int_1") = number(action.GetIntOp1()).c_str();
            a.append_attribute("arg_int_2") = number(action.GetIntOp2()).c_str();
            a.append_attribute("arg_int_3") = number(action.GetIntOp3()).c_str();
            a.append_attribute("arg_char_1") = action.GetSzOp1().c_str();
            a.append_attribute("arg_char_2") = action.GetSzOp2().c_str();
            a.append_attribute("arg_char_3") = action.GetSzOp3().c_str();
            setTime(a, 1, action.GetInstanteOp1());
            setTime(a, 2, action.GetInstanteOp2());
            setTime(a, 3, action.GetInstanteOp3());
            a.append_attribute("delay") = number(action.GetDelay()).c_str();
        }
    }
}

bool CDB::GetXML(std::string& path) {
    path = XmlPath();
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("Zentrova");
    for (const CStrPlace& place : _places->GetAllRecordsCopy()) {
        pugi::xml_node node = root.append_child("place");
        place.ExportToXML(node);
    }
    // Written beside and renamed, so an existing export is never left half written.
    const std::string tmp = path + ".tmp";
    std::error_code ec;
    if (!doc.save_file(tmp.c_str(), "  ", pugi::format_default, pugi::encoding_utf8)) {
        std::filesystem::remove(tmp, ec);
        ErrorBox("%s: cannot be written", tmp);
        return false;
    }
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        std::filesystem::remove(tmp, ec);
        ErrorBox("%s: cannot be written", path);
        return false;
    }
    TextBox(SafeSprintf(CTextsMgr::GetInstance()->GetText("DATA EXPORTED TO"), path));
    return true;
}

void CDB::AddFromXml(const pugi::xml_node& root) {
    for (pugi::xml_node p : root.children("place")) {
        CStrPlace place;
        if (auto a = p.attribute("name")) {
            place.SetName(a.value());
        }
        if (auto a = p.attribute("description")) {
            place.SetDescripcion(a.value());
        }
        if (auto a = p.attribute("image")) {
            place.SetImage(a.value());
        }
        _places->Add(place);
        for (pugi::xml_node child : p.children()) {
            std::string kind = child.name();
            if (kind == "cell") {
                CStrCell cell(attrInt(child, "id"), place.GetId());
                cell.SetLongitud(child.attribute("longitude").value());
                cell.SetLatitud(child.attribute("latitude").value());
                _cells->Add(cell);
            } else if (kind == "lac") {
                CStrLAC lac(attrInt(child, "id"), place.GetId());
                _lacs->Add(lac);
            } else if (kind == "schedule") {
                CStrPeriod period;
                period.SetIdPlace(place.GetId());
                period.SetName(child.attribute("name").value());
                SYSTEMTIME start{};
                SYSTEMTIME end{};
                start.wHour = static_cast<uint16_t>(attrInt(child, "begin_hour"));
                start.wMinute = static_cast<uint16_t>(attrInt(child, "begin_minute"));
                end.wHour = static_cast<uint16_t>(attrInt(child, "end_hour"));
                end.wMinute = static_cast<uint16_t>(attrInt(child, "end_minute"));
                period.SetInicio(start);
                period.SetFinal(end);
                period.SetWeekDay(attrInt(child, "weekday"));
                period.SetAlwaysOn(attrInt(child, "alwayson"));
                // Files written before frames could be switched off hold enabled frames.
                period.SetEnabled(attrInt(child, "enabled", 1));
                _periods->Add(period);
                for (pugi::xml_node a : child.children("action")) {
                    CStrAction action;
                    action.SetIdPeriod(period.GetId());
                    action.SetId(attrInt(a, "id"));
                    action.SetType(attrInt(a, "type"));
                    action.SetIntOp1(attrInt(a, "arg_int_1"));
                    action.SetIntOp2(attrInt(a, "arg_int_2"));
                    action.SetIntOp3(attrInt(a, "arg_int_3"));
                    action.SetSzOp1(a.attribute("arg_char_1").value());
                    action.SetSzOp2(a.attribute("arg_char_2").value());
                    action.SetSzOp3(a.attribute("arg_char_3").value());
                    action.SetInstanteOp1(readTime(a, 1));
                    action.SetInstanteOp2(readTime(a, 2));
                    action.SetInstanteOp3(readTime(a, 3));
                    action.SetDelay(attrInt(a, "delay", 0));
                    _actions->Add(action);
                }
            }
        }
    }
}

bool CDB::CheckXML(const std::string& path, std::string& error) {
    ExportFile file;
    if (!loadExport(path, file, error) || !checkExport(file, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

bool CDB::CheckXMLText(const std::string& bytes, std::string& error) {
    ExportFile file;
    return parseExport(bytes, file, error) && checkExport(file, error);
}

bool CDB::MarkImportPending(std::string& error) {
    // A copy, written beside and renamed: the user's export file stays as it is, and the file
    // imported at the next start is the one just checked.
    const std::string pending = PendingImportPath();
    const std::string tmp = pending + ".tmp";
    std::error_code ec;
    std::filesystem::copy_file(XmlPath(), tmp, std::filesystem::copy_options::overwrite_existing, ec);
    if (!ec) {
        std::filesystem::rename(tmp, pending, ec);
    }
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(tmp, ignored);
        error = pending + ": " + ec.message();
        return false;
    }
    return true;
}

bool CDB::ImportFromXML(const std::string& path) {
    ExportFile file;
    std::string error;
    if (!loadExport(path, file, error) || !checkExport(file, error)) {
        LogFormateado(1, "%s: %s", path, error);
        TextBox(CTextsMgr::GetInstance()->GetText("ERROR READING FILE") + "\n" + path + ": " + error);
        return false;
    }
    pugi::xml_node root = file.doc.document_element();
    setWaitCursor(true);
    const std::string building = _dbName + ".import";
    std::error_code ec;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(building + suffix, ec);
    }
    try {
        CDB fresh(building);
        fresh.OpenVolumeAndTables(0);
        // One transaction for the whole file: fast, and nothing half-written survives a crash.
        fresh.InOneChange([&] { fresh.AddFromXml(root); });
        if (!fresh.CloseDB(1)) {
            throw CExceptionDB("%s: the imported data could not be written", building);
        }
    } catch (const CBaseException& e) {
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::filesystem::remove(building + suffix, ec);
        }
        setWaitCursor(false);
        e.ShowErrorBox();
        return false;
    }
    // The new contents are complete: put them in place of the old ones. Nobody may open the old
    // file meanwhile.
    bool closed = false;
    {
        std::lock_guard hold(_lock);
        bool wasOpen = _isOpen;
        closed = CloseDB(0) != 0;
        if (closed) {
            // The old file's write-ahead log is empty once it is closed; a stale one must not be
            // applied to the new file.
            for (const char* suffix : {"-wal", "-shm"}) {
                std::filesystem::remove(_dbName + suffix, ec);
            }
            std::filesystem::rename(building, _dbName, ec);
            if (wasOpen) {
                OpenVolumeAndTables(0);
            }
        }
    }
    setWaitCursor(false);
    if (!closed) {
        // The old database is still in use: it stays, and so does what it holds.
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::filesystem::remove(building + suffix, ec);
        }
        ErrorBox("%s: the database could not be closed; nothing was imported", _dbName);
        return false;
    }
    if (ec) {
        ErrorBox("%s: %s", _dbName, ec.message());
        return false;
    }
    // Outside the lock: a reader loading a cache may be waiting for it.
    for (CTableBase* table : _managed) {
        table->InvalidateCache();
    }
    TextBox(SafeSprintf(CTextsMgr::GetInstance()->GetText("MESSAGE_XML_IMPORT_SUCCESS"), path));
    return true;
}

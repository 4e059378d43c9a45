#include "store/CDB.h"

#include <cstdlib>
#include <filesystem>

#include "core/CConfigurationZentrova.h"
#include "core/CExceptionDB.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/IMainPanel.h"
#include "core/MemoryState.h"
#include "core/MessageBoxes.h"
#include "core/ProgramFolder.h"
#include "core/TextBuffer.h"
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

void CDB::InvalidateCaches() {
    for (CTableBase* table : _managed) {
        table->InvalidateCache();
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
    if (rc != platform::ERROR_SUCCESS) {
        _idVolume = platform::kInvalidVolume;
        _errorText = FitBuffer(SafeSprintf(CTextsMgr::GetInstance()->GetText("ERROR OPENING VOLUME"),
                                           static_cast<int>(rc), _dbName),
                               kPathBuffer);
        LogFormateado(1, "%s (%s)", _errorText, why);
        throw CExceptionDB(_errorText);
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

void CDB::ImportPendingExport() {
    // Only the application's database takes the export file, and only when it opens at start-up:
    // a later opening (an export, an integrity check) must not put an older export in place of
    // what the user changed since.
    if (this != _me.load() || _exportLookedAt.exchange(true)) {
        return;
    }
    const std::string xml = XmlPath();
    uint32_t firstRun = 0;
    try {
        firstRun = CConfigurationZentrova::GetInstance()->GetLongParameter("first_execution_after_install");
    } catch (const CBaseException& e) {
        LogFormateado(1, "%s", e.GetMessageW());
    }
    std::error_code ec;
    if (firstRun != 0) {
        std::filesystem::remove(xml, ec);
    }
    if (std::filesystem::exists(xml, ec) && ImportFromXML()) {
        std::filesystem::remove(xml, ec);
    }
}

int CDB::CloseDB(int invalidateCaches) {
    std::lock_guard lock(_lock);
    platform::CeVolumeId id = _idVolume.load();
    if (!_isOpen) {
        return 1;
    }
    if (volume().flush(id) != platform::ERROR_SUCCESS) {
        LogFormateado(1, "CDB::CloseDB: the volume could not be flushed");
        return 0;
    }
    for (CTableBase* table : _managed) {
        table->Close(invalidateCaches);
    }
    if (volume().unmount(id) != platform::ERROR_SUCCESS) {
        LogFormateado(1, "CDB::CloseDB: the volume could not be unmounted");
        return 0;
    }
    _idVolume = platform::kInvalidVolume;
    _isOpen = false;
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

namespace {

std::string number(int n) {
    return std::to_string(n);
}

int attrInt(const pugi::xml_node& node, const char* name) {
    // Text that is not a number gives 0.
    return static_cast<int>(std::strtol(node.attribute(name).value(), nullptr, 10));
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
                period.SetEnabled(1);
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
                    action.SetDelay(0);
                    _actions->Add(action);
                }
            }
        }
    }
}

bool CDB::ImportFromXML() {
    const std::string path = XmlPath();
    pugi::xml_document doc;
    // UTF-8 and UTF-16 files are both accepted (the encoding is found from the file).
    pugi::xml_parse_result parsed = doc.load_file(path.c_str());
    pugi::xml_node root = doc.document_element();
    if (!parsed || std::string(root.name()) != "Zentrova") {
        LogFormateado(1, "%s: %s", path, parsed ? "not an export file" : parsed.description());
        TextBox(SafeSprintf(CTextsMgr::GetInstance()->GetText("ERROR READING FILE")));
        return false;
    }
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
        volume().beginBatch(fresh.GetIdVolume());
        try {
            fresh.AddFromXml(root);
        } catch (...) {
            volume().endBatch(fresh.GetIdVolume(), false);
            throw;
        }
        if (volume().endBatch(fresh.GetIdVolume(), true) != platform::ERROR_SUCCESS) {
            throw CExceptionDB("%s: the imported data could not be written", building);
        }
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
    // The new contents are complete: put them in place of the old ones.
    bool wasOpen = _isOpen;
    CloseDB(1);
    // The old file's write-ahead log is empty once it is closed; a stale one must not be applied
    // to the new file.
    for (const char* suffix : {"-wal", "-shm"}) {
        std::filesystem::remove(_dbName + suffix, ec);
    }
    std::filesystem::rename(building, _dbName, ec);
    if (wasOpen) {
        OpenVolumeAndTables(0);
    }
    setWaitCursor(false);
    if (ec) {
        ErrorBox("%s: %s", _dbName, ec.message());
        return false;
    }
    for (CTableBase* table : _managed) {
        table->InvalidateCache();
    }
    TextBox(SafeSprintf(CTextsMgr::GetInstance()->GetText("MESSAGE_XML_IMPORT_SUCCESS"), path));
    return true;
}

#include "location/CUploadedData.h"

#include "core/CConfigurationZentrova.h"
#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/DeviceId.h"
#include "core/OwnerName.h"
#include "core/SafeFormat.h"
#include "core/TextBuffer.h"
#include "location/CRilMgr.h"
#include "managers/CConnectionsMgr.h"
#include "managers/CGPSMgr.h"
#include "managers/CMgr.h"
#include "platform/Services.h"
#include "platform/UrlEncode.h"
#include "store/CDB.h"
#include "store/CStrCell.h"
#include "store/CStrPlace.h"
#include "store/CTableCell.h"

std::atomic<CUploadedData*> CUploadedData::_instance{nullptr};

namespace {

constexpr const char* kPhoneStateKey = "System\\State\\Phone";
constexpr const char* kOperatorValue = "Current Operator Name";
constexpr size_t kOperatorChars = 100;
constexpr size_t kOwnerChars = 100;

bool Switch(const char* name) {
    return CConfigurationZentrova::GetLongOr(name, 0) != 0;
}

// At most `chars` bytes of `text`, never cutting a UTF-8 sequence.
std::string Cut(const std::string& text, size_t chars) {
    if (text.size() <= chars) {
        return text;
    }
    size_t end = chars;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

// "name=value" with the value URL-encoded, shortened until the field fits in kFieldChars.
std::string Field(const std::string& name, const std::string& value) {
    std::string raw = value;
    std::string field = name + "=" + platform::UrlEncode(raw);
    while (field.size() > CUploadedData::kFieldChars && !raw.empty()) {
        raw = Cut(raw, raw.size() - 1);
        field = name + "=" + platform::UrlEncode(raw);
    }
    return field;
}

// The operator's name as the phone publishes it, at most kOperatorChars characters.
bool ReadOperatorName(std::string& out) {
    std::string value;
    if (platform::Services::get().registry().getString(platform::RegRoot::LocalMachine, kPhoneStateKey,
                                                       kOperatorValue, value) != platform::ERROR_SUCCESS) {
        return false;
    }
    out = FitBuffer(value, kOperatorChars + 1);
    return true;
}

}  // namespace

CUploadedData::CUploadedData() : WorkerThread(1, 0) {
    _instance.store(this);
    SetDescripcion("CUploadedData");
    Start();
}

CUploadedData::~CUploadedData() {
    Stop();
    CUploadedData* self = this;
    _instance.compare_exchange_strong(self, nullptr);
}

void CUploadedData::Initialize() {
    StatusChanged(0, CMgr::MGR_RIL, kCodeLocation);
}

void CUploadedData::StatusChanged(int, int mgrId, int code) {
    if (mgrId == CMgr::MGR_RIL && code == kCodeLocation) {
        PostCommand(kCommandLocationChanged, kNoTimeLimit, nullptr);
    }
}

void CUploadedData::HandleCommand(int command, void*) {
    if (command == kCommandLocationChanged) {
        LocationChanged();
    }
}

void CUploadedData::SetCurrentFrame(ICurrentFrame* source) {
    std::lock_guard lock(_frameLock);
    _frame = source;
}

std::string CUploadedData::FrameName() {
    // Held while asking, so that the source cannot be uninstalled under the call.
    std::lock_guard lock(_frameLock);
    CStrPeriod period;
    return _frame != nullptr && _frame->GetCurrentFrame(period) ? period.GetName() : std::string();
}

void CUploadedData::LocationChanged() {
    CRilMgr* ril = CRilMgr::GetInstance();
    const int cell = ril != nullptr ? ril->GetCellID() : 0;
    if (!Switch("upload_enabled") || cell < 1) {
        return;
    }
    CMgr* phone = CMgr::GetMgr(CMgr::MGR_PHONE);
    if (phone == nullptr || phone->GetStatus() != 0) {
        LogFormateado(2, "The phone was off. Dont upload data");
        return;
    }
    // A forced upload (the test menu, the settings' test) counts for this one attempt.
    if (cell == lastCell.load() && !forced.exchange(false)) {
        return;
    }
    forced.store(false);
    lastCell.store(cell);
    CConnectionsMgr* connections = CConnectionsMgr::GetInstance();
    if (connections == nullptr || !connections->ConnectInternet()) {
        CountFailure(CTextsMgr::Text("EVENT_LOG_UPLOAD_NO_CONNECTION"));
        return;
    }
    std::string address = BuildAddress();
    std::string agent;
    CConfigurationZentrova::GetInstance()->GetStringParameter("user_agent", agent);
    auto reply = platform::Services::get().http().get(address, agent, kRequestTimeoutMs, 0);
    if (reply.status == 200) {
        counterUploadOK.fetch_add(1);
        return;
    }
    CountFailure(reply.answered
                     ? SafeSprintf(CTextsMgr::Text("EVENT_LOG_UPLOAD_STATUS"), static_cast<int>(reply.status))
                     : reply.problem);
}

void CUploadedData::CountFailure(const std::string& problem) {
    counterUploadKO.fetch_add(1);
    CLogMgr::Log(CMgr::MGR_RIL, CLogEvent::SEVERITY_WARNING,
                 CTextsMgr::Text("EVENT_LOG_UPLOAD_FAILED_RESUME"),
                 SafeSprintf(CTextsMgr::Text("EVENT_LOG_UPLOAD_FAILED_DESCRIPTION"), problem.c_str()));
}

std::string CUploadedData::BuildAddress() {
    CConfigurationZentrova* config = CConfigurationZentrova::GetInstance();
    CRilMgr* ril = CRilMgr::GetInstance();
    std::string base;
    config->GetStringParameter("url_upload_location", base);
    std::vector<std::string> fields;
    if (Switch("upload_battery") && ril != nullptr) {
        fields.push_back(Field("battery", std::to_string(ril->GetBatteryLeval())));
    }
    if (Switch("upload_date")) {
        std::string date;
        fields.push_back(Field("date", CTextsMgr::GetInstance()->GetSystemTime(date)));
    }
    if (Switch("upload_gps") && ril != nullptr) {
        std::string longitude;
        std::string latitude;
        if (PositionOfCell(ril->GetCellID(), longitude, latitude)) {
            fields.push_back(Field("longitude", longitude) + "&" + Field("latitude", latitude));
        }
    }
    if (Switch("upload_device_id")) {
        fields.push_back(Field("device_id", GetDeviceId()));
    }
    if (Switch("upload_location") && ril != nullptr) {
        fields.push_back(Field("cell", std::to_string(ril->GetCellID())) + "&" +
                         Field("lac", std::to_string(ril->GetAreaCode())));
    }
    std::string text;
    if (Switch("upload_operator") && ReadOperatorName(text)) {
        fields.push_back(Field("operator", text));
    }
    if (Switch("upload_owner") && ReadOwnerName(kOwnerChars, text)) {
        fields.push_back(Field("user", text));
    }
    if (Switch("upload_profile") && ril != nullptr) {
        CStrPlace place;
        fields.push_back(Field("profile", ril->GetCurrentPlace(place) ? place.GetName() : std::string()));
    }
    if (Switch("upload_schedule")) {
        fields.push_back(Field("schedule", FrameName()));
    }
    if (Switch("upload_signal") && ril != nullptr) {
        fields.push_back(Field("signal", std::to_string(ril->GetSignalLevel())));
    }
    // A field that would pass the address's limit is left out whole rather than cut.
    std::string address = base + "?";
    bool first = true;
    for (const std::string& field : fields) {
        if (address.size() + field.size() + (first ? 0 : 1) > kAddressChars) {
            continue;
        }
        address += (first ? "" : "&") + field;
        first = false;
    }
    return address;
}

bool CUploadedData::PositionOfCell(int cell, std::string& longitude, std::string& latitude) {
    CDB* db = CDB::GetInstance();
    CGPSMgr* gps = CGPSMgr::GetInstance();
    if (db == nullptr) {
        return false;
    }
    bool opened = false;
    if (!db->IsOpen()) {
        db->OpenDB(0);
        opened = true;
    }
    bool found = false;
    try {
        CStrCell record;
        record.SetIdCell(cell);
        bool exists = db->GetTableCell()->FindAndFill(record) != 0;
        bool receiverFixed = gps != nullptr && gps->IsOpen() && gps->IsFixed();
        if (exists && record.HasGPSInfo() && !receiverFixed) {
            longitude = record.GetLongitud();
            latitude = record.GetLatitud();
            found = true;
        } else {
            if (!exists) {
                record = CStrCell();
                record.SetIdCell(cell);
                db->GetTableCell()->Add(record);
            }
            if (gps != nullptr && gps->GetCoordenates(longitude, latitude)) {
                lastCell.store(cell);
                found = true;
                if (!record.HasGPSInfo()) {
                    record.SetLongitud(longitude);
                    record.SetLatitud(latitude);
                    db->GetTableCell()->Update(record);
                }
            }
        }
    } catch (const std::exception& e) {
        LogFormateado(3, "Uploader: the cell %d could not be read or stored: %s", cell, e.what());
    }
    if (opened) {
        db->CloseDB(0);
    }
    return found;
}

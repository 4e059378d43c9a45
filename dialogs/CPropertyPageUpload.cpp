#include "dialogs/CPropertyPageUpload.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QVBoxLayout>
#include <exception>
#include <memory>

#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/MessageBoxes.h"
#include "dialogs/PageFields.h"
#include "location/CUploadedData.h"
#include "platform/Services.h"

namespace {

// The settings of the check boxes with their captions, in the order shown.
struct Switch {
    const char* name;
    const char* caption;
};
constexpr Switch kSwitches[] = {
    {"upload_enabled", "DIALOG_UPLOAD_DATA_ENABLED"}, {"upload_location", "DIALOG_UPLOAD_DATA_LOCATION"},
    {"upload_date", "DIALOG_UPLOAD_DATA_DATE"},       {"upload_device_id", "DIALOG_UPLOAD_DATA_DEVICE_ID"},
    {"upload_owner", "DIALOG_UPLOAD_DATA_OWNER"},     {"upload_battery", "DIALOG_UPLOAD_DATA_BATTERY"},
    {"upload_profile", "DIALOG_UPLOAD_DATA_PROFILE"}, {"upload_schedule", "DIALOG_UPLOAD_DATA_SCHEDULE"},
    {"upload_gps", "DIALOG_UPLOAD_DATA_GPS"},
};

}  // namespace

void CPropertyPageUpload::OnInitPage() {
    using namespace page_fields;
    QVBoxLayout* column = ScrollingColumn(Content());
    std::string url = GetText("url_upload_location");
    if (url.empty()) {
        url = GetText("url_upload_location_default");
    }
    _url = AddText(column, "DIALOG_UPLOAD_DATA_URL", "url_upload_location", url);
    _agent = AddText(column, "DIALOG_UPLOAD_DATA_USER_AGENT", "user_agent", GetText("user_agent"));
    for (const Switch& s : kSwitches) {
        _switches.emplace_back(s.name, AddCheck(column, s.caption, s.name, GetLong(s.name) != 0));
    }
    column->addStretch(1);
    page_fields::UseScreenFont(this);
}

bool CPropertyPageUpload::OnSave() {
    using namespace page_fields;
    const std::string url = _url->text().trimmed().toStdString();
    if (url.empty()) {
        TextBox(CTextsMgr::Text("PLEASE FILL DATA"));
        return false;
    }
    try {
        SetText("url_upload_location", url);
        SetText("user_agent", _agent->text().trimmed().toStdString());
        for (const auto& [name, box] : _switches) {
            StoreCheck(box, name);
        }
    } catch (const std::exception& e) {
        ReportError(e.what());
        return false;
    }
    return true;
}

void CPropertyPageUpload::FillMenu(QMenu* menu) {
    using namespace page_fields;
    menu->addAction(Text("TEST"), [this] { TestUpload(); })->setObjectName("TEST");
    menu->addAction(Text("DEFAULT"), [this] { UseDefaultAddress(); })->setObjectName("DEFAULT");
}

void CPropertyPageUpload::UseDefaultAddress() {
    _url->setText(QString::fromStdString(page_fields::GetText("url_upload_location_default")));
}

bool CPropertyPageUpload::TestUpload() {
    // The request the uploader would send now, with its stored address replaced by the one shown.
    std::unique_ptr<CUploadedData> own;
    CUploadedData* uploader = CUploadedData::GetInstance();
    if (!uploader) {
        own = std::make_unique<CUploadedData>();
        uploader = own.get();
    }
    const std::string stored = page_fields::GetText("url_upload_location");
    std::string address = uploader->BuildAddress();
    if (address.compare(0, stored.size(), stored) == 0) {
        address = _url->text().trimmed().toStdString() + address.substr(stored.size());
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    platform::IHttp::Reply reply = platform::Services::get().http().get(
        address, _agent->text().trimmed().toStdString(), kTestTimeoutMs, 0);
    QApplication::restoreOverrideCursor();
    const bool ok = reply.status == 200;
    if (!ok) {
        LogFormateado(2, "Test upload of %s: status %ld %s", address.c_str(), reply.status,
                      reply.problem.c_str());
    }
    TextBox(CTextsMgr::Text(ok ? "DIALOG_UPLOAD_DATA_UPLOAD_OK" : "DIALOG_UPLOAD_DATA_UPLOAD_KO"));
    return ok;
}

// The address of a location upload: the switched-on fields in their fixed order, each value
// URL-encoded and shortened to its field's room; a cell's stored GPS position used without asking
// the receiver, and a new cell stored.

#include <gtest/gtest.h>

#include "location/CCellMgr.h"
#include "location/CRilMgr.h"
#include "location/CUploadedData.h"
#include "store/CDB.h"
#include "store/CStrCell.h"
#include "store/CTableCell.h"
#include "store/CTablePlaces.h"
#include "support/ScriptedPhone.h"

namespace {

class UploadedDataTest : public ScriptedPhoneTest {
  protected:
    UploadedDataTest() {
        CCellMgr::ResetInstance();
        db = std::make_unique<CDB>();
        db->OpenDB(1);
        CStrPlace home;
        home.SetName("Home");
        db->GetTablePlaces()->Add(home);
        CStrCell cell(1234, home.GetId());
        cell.SetLongitud("00210.1234E");
        cell.SetLatitud("4123.2200N");
        db->GetTableCell()->Add(cell);
        config->SetRegistryParameter("url_upload_location", "http://example.test/up");
        for (const char* name :
             {"upload_battery", "upload_date", "upload_gps", "upload_device_id", "upload_location",
              "upload_operator", "upload_owner", "upload_profile", "upload_schedule", "upload_signal"}) {
            config->SetLongParameter(name, 0);
        }
    }
    ~UploadedDataTest() override {
        CCellMgr::ResetInstance();
        db.reset();
    }
    std::unique_ptr<CDB> db;
};

TEST_F(UploadedDataTest, TheAddressCarriesTheSwitchedOnFieldsInTheirOrder) {
    CRilMgr engine;
    engine.Initialize();
    ril->notifyLocation(1234, 56);
    ASSERT_EQ(engine.GetCellID(), 1234);
    CUploadedData upload;
    const std::string base = "http://example.test/up?";
    struct Row {
        const char* turnOn;
        std::string address;
    };
    // Each row switches one more field on. No GPS receiver exists here: the position can only
    // come from the cells table, and asking a receiver would wait "gps_try_during".
    const Row rows[] = {
        {"upload_location", base + "cell=1234&lac=56"},
        {"upload_profile", base + "cell=1234&lac=56&profile=Home"},
        {"upload_gps", base + "longitude=00210.1234E&latitude=4123.2200N&cell=1234&lac=56&profile=Home"},
    };
    for (const Row& row : rows) {
        config->SetLongParameter(row.turnOn, 1);
        EXPECT_EQ(upload.BuildAddress(), row.address) << row.turnOn;
    }

    // A cell the table does not know is stored; with no receiver there is no position.
    ril->notifyLocation(4321, 57);
    EXPECT_EQ(upload.BuildAddress(), base + "cell=4321&lac=57&profile=");
    CStrCell added;
    added.SetIdCell(4321);
    EXPECT_TRUE(db->GetTableCell()->FindAndFill(added));
    EXPECT_FALSE(added.HasGPSInfo());
}

TEST_F(UploadedDataTest, LongValuesAreShortenedWholeCharactersAtATime) {
    CStrPlace place;
    place.SetName(std::string(60, 'a') + "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9 & more");
    db->GetTablePlaces()->Add(place);
    CStrCell cell(777, place.GetId());
    db->GetTableCell()->Add(cell);
    CRilMgr engine;
    engine.Initialize();
    ril->notifyLocation(777, 56);
    config->SetLongParameter("upload_profile", 1);
    CUploadedData upload;
    std::string address = upload.BuildAddress();
    std::string field = address.substr(address.find("profile="));
    EXPECT_LE(field.size(), CUploadedData::kFieldChars);
    // Every "é" that is left is whole: an encoded character is never cut.
    EXPECT_EQ(field, "profile=" + std::string(60, 'a') + "%C3%A9%C3%A9%C3%A9%C3%A9%C3%A9");
}

}  // namespace

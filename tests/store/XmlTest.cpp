// The export file: a round trip through it, the forms it accepts, and imports that must leave the
// database as it was.

#include <gtest/gtest.h>

#include <fstream>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "core/CTextsMgr.h"
#include "core/Utf16.h"
#include "platform/sim/CSimClock.h"
#include "store/CDB.h"
#include "support/TempHome.h"

namespace {

class XmlTest : public ::testing::Test {
  protected:
    XmlTest() {
        CInstaller(home.services().home()).Install();
        config = std::make_unique<CConfigurationZentrova>();
        dynamic_cast<platform::sim::CSimClock&>(home.services().clock()).setSpeed(1000);
        db = std::make_unique<CDB>();
        db->OpenDB(0);
    }
    std::vector<std::string> dump() {
        std::vector<std::string> rows;
        std::string line;
        for (const auto& p : db->GetTablePlaces()->GetAllRecordsCopy()) {
            rows.push_back(p.GetName() + "|" + p.GetDescription() + "|" + p.GetImage());
        }
        return rows;
    }
    void writeXml(const std::string& text) { std::ofstream(CDB::XmlPath(), std::ios::binary) << text; }
    std::string text(const char* key) { return CTextsMgr::GetInstance()->GetText(key); }

    TempHome home;
    std::unique_ptr<CConfigurationZentrova> config;
    std::unique_ptr<CDB> db;
};

TEST_F(XmlTest, ExportThenImportKeepsEveryFieldTheFileCarries) {
    CStrPlace office;
    office.SetName("Office");
    office.SetDescripcion("Work, 3rd floor");
    office.SetImage("place_pc.png");
    CStrAction mail;
    mail.SetId(13);
    mail.SetType(1);
    mail.SetIntOp1(5);
    mail.SetIntOp2(10);
    mail.SetIntOp3(7);
    mail.SetSzOp1("boss@example.com");
    mail.SetSzOp2("Leaving");
    mail.SetSzOp3("Bye & <see you>");
    mail.SetDelay(30);
    mail.SetInstanteOp1(SYSTEMTIME{2009, 3, 6, 7, 8, 5, 9, 0});
    std::vector<CStrAction> actions{mail};
    office.AddMySelfAndDefaultSchedulesAndActions(&actions);
    CStrPeriod evening;
    evening.SetIdPlace(office.GetId());
    evening.SetName("Evening");
    evening.SetInicio(SYSTEMTIME{0, 0, 0, 0, 18, 30, 0, 0});
    evening.SetFinal(SYSTEMTIME{0, 0, 0, 0, 22, 0, 0, 0});
    evening.SetWeekDay(3);
    evening.SetEnabled(0);
    evening.SetAlwaysOn(1);
    db->GetTablePeriods()->Add(evening);
    CStrCell precise(1234, office.GetId());
    precise.SetLatitud("40.4168");
    precise.SetLongitud("-3.7038");
    db->GetTableCell()->Add(precise);
    CStrCell vague(5678, office.GetId());
    vague.SetLatitud("40.4");  // 4 characters: not exported
    vague.SetLongitud("-3.7038");
    db->GetTableCell()->Add(vague);

    std::string path;
    ASSERT_TRUE(db->GetXML(path));
    EXPECT_EQ(home.boxes().shown().back().text, SafeSprintf(text("DATA EXPORTED TO"), path));
    ASSERT_TRUE(db->ImportFromXML());

    auto places = db->GetTablePlaces()->GetAllRecordsCopy();
    ASSERT_EQ(places.size(), 1u);
    EXPECT_EQ(places[0].GetDescription(), "Work, 3rd floor");
    std::vector<CStrPeriod> periods;
    db->GetTablePeriods()->GetAllRecordsForPlace(periods, places[0].GetId(), 0);
    ASSERT_EQ(periods.size(), 8u);
    const CStrPeriod& back = periods.back();
    EXPECT_EQ(back.GetName(), "Evening");
    EXPECT_EQ(back.GetInicio().wMinute, 30);
    EXPECT_EQ(back.GetFinal().wHour, 22);
    EXPECT_EQ(back.GetWeekDay(), 3);
    EXPECT_EQ(back.GetAlwaysOn(), 1);
    EXPECT_EQ(back.GetEnabled(), 1);  // not in the file: enabled again
    std::vector<CStrAction> restored;
    db->GetTableActions()->GetAllRecordsForPeriod(restored, periods[0].GetId());
    ASSERT_EQ(restored.size(), 1u);
    const CStrAction& a = restored[0];
    EXPECT_EQ(a.GetId(), 13);
    EXPECT_EQ(a.GetType(), 1);
    EXPECT_EQ(a.GetIntOp2(), 10);
    EXPECT_EQ(a.GetSzOp3(), "Bye & <see you>");
    EXPECT_EQ(a.GetInstanteOp1().wMinute, 5);
    EXPECT_EQ(a.GetDelay(), 0);  // not in the file
    auto cells = db->GetTableCell()->GetAllRecordsCopy();
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[0].GetLatitud(), "40.4168");
    EXPECT_EQ(cells[1].GetLatitud(), "");
    EXPECT_EQ(cells[1].GetLongitud(), "");
}

TEST_F(XmlTest, LacElementsAndUtf16FilesAreAccepted) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<Zentrova><place name=\"Casa\u00f1\" id=\"9\">"
        "<lac id=\"56\"/><cell id=\"77\" latitude=\"\" longitude=\"\"/></place></Zentrova>";
    writeXml("\xFF\xFE" + Utf8ToUtf16Le(xml));
    ASSERT_TRUE(db->ImportFromXML());
    auto places = db->GetTablePlaces()->GetAllRecordsCopy();
    ASSERT_EQ(places.size(), 1u);
    EXPECT_EQ(places[0].GetName(), "Casa\u00f1");
    auto lacs = db->GetTableLAC()->GetAllRecordsCopy();
    ASSERT_EQ(lacs.size(), 1u);
    EXPECT_EQ(lacs[0].GetIdLac(), 56);
    EXPECT_EQ(lacs[0].GetIdPlace(), places[0].GetId());
}

TEST_F(XmlTest, BrokenMissingOrFailingFilesLeaveTheDatabaseAsItWas) {
    CStrPlace keep;
    keep.SetName("Keep me");
    db->GetTablePlaces()->Add(keep);
    auto before = dump();

    EXPECT_FALSE(db->ImportFromXML());        // no file
    writeXml("<Zentrova><place name=\"x\"");  // not well formed
    EXPECT_FALSE(db->ImportFromXML());
    EXPECT_EQ(home.boxes().shown().back().text, text("ERROR READING FILE"));
    writeXml("<Other/>");
    EXPECT_FALSE(db->ImportFromXML());
    // The second place cannot be stored: the whole import is refused.
    writeXml("<Zentrova><place name=\"Fine\"/><place name=\"" + std::string(120, 'n') + "\"/></Zentrova>");
    EXPECT_FALSE(db->ImportFromXML());
    EXPECT_EQ(dump(), before);
    EXPECT_TRUE(std::filesystem::exists(CDB::XmlPath()));
    EXPECT_FALSE(std::filesystem::exists(db->GetDBName() + ".import"));
}

TEST_F(XmlTest, AtStartUpTheExportIsImportedOnceAndRemoved) {
    db->CloseDB(1);
    writeXml("<Zentrova><place name=\"From file\"/></Zentrova>");
    config->SetLongParameter("first_execution_after_install", 0);
    db.reset();
    db = std::make_unique<CDB>();
    db->OpenDB(1);
    EXPECT_EQ(dump(), std::vector<std::string>{"From file||"});
    EXPECT_FALSE(std::filesystem::exists(CDB::XmlPath()));
    // Later openings of the same run never import.
    std::string path;
    db->GetXML(path);
    db->CloseDB(1);
    CStrPlace added;
    db->OpenDB(1);
    added.SetName("Added later");
    db->GetTablePlaces()->Add(added);
    db->CloseDB(1);
    db->OpenDB(1);
    EXPECT_EQ(dump().size(), 2u);
}

}  // namespace

// The export file: a round trip through it, the forms it accepts, and imports that must leave the
// database as it was.

#include <gtest/gtest.h>

#include <fstream>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "core/CTextsMgr.h"
#include "core/SafeFormat.h"
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
    // Every stored field of every place and what belongs to it, with the keys the volume gives
    // replaced by the place's name, so two databases with the same contents compare equal.
    std::vector<std::string> everything() {
        auto time = [](const SYSTEMTIME& t) {
            return SafeSprintf("%d-%d-%d %d:%d:%d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
        };
        std::vector<std::string> rows;
        for (const auto& p : db->GetTablePlaces()->GetAllRecordsCopy()) {
            const std::string place = p.GetName() + "|" + p.GetDescription() + "|" + p.GetImage();
            rows.push_back(place);
            std::vector<CStrCell> cells;
            db->GetTableCell()->GetAllRecords(cells, p.GetId());
            for (const auto& c : cells) {
                rows.push_back(
                    SafeSprintf("%s cell %d %s %s", place, c.GetIdCell(), c.GetLatitud(), c.GetLongitud()));
            }
            std::vector<CStrLAC> lacs;
            db->GetTableLAC()->GetAllRecords(lacs, p.GetId());
            for (const auto& l : lacs) {
                rows.push_back(SafeSprintf("%s lac %d", place, l.GetIdLac()));
            }
            std::vector<CStrPeriod> periods;
            db->GetTablePeriods()->GetAllRecordsForPlace(periods, p.GetId(), 0);
            for (const auto& f : periods) {
                const std::string frame = SafeSprintf("%s frame %s %s-%s day %d enabled %d always %d", place,
                                                      f.GetName(), time(f.GetInicio()), time(f.GetFinal()),
                                                      f.GetWeekDay(), f.GetEnabled(), f.GetAlwaysOn());
                rows.push_back(frame);
                std::vector<CStrAction> actions;
                db->GetTableActions()->GetAllRecordsForPeriod(actions, f.GetId());
                for (const auto& a : actions) {
                    rows.push_back(SafeSprintf(
                        "%s action %d/%d delay %d ints %d %d %d texts %s|%s|%s times %s %s %s", frame,
                        a.GetId(), a.GetType(), a.GetDelay(), a.GetIntOp1(), a.GetIntOp2(), a.GetIntOp3(),
                        a.GetSzOp1(), a.GetSzOp2(), a.GetSzOp3(), time(a.GetInstanteOp1()),
                        time(a.GetInstanteOp2()), time(a.GetInstanteOp3())));
                }
            }
        }
        return rows;
    }
    void writeXml(const std::string& text, const std::string& path = CDB::XmlPath()) {
        std::ofstream(path, std::ios::binary) << text;
    }
    // The message of the last box shown.
    std::string lastBox() { return home.boxes().shown().empty() ? "" : home.boxes().shown().back().text; }
    std::string text(const char* key) { return CTextsMgr::GetInstance()->GetText(key); }

    TempHome home;
    std::unique_ptr<CConfigurationZentrova> config;
    std::unique_ptr<CDB> db;
};

TEST_F(XmlTest, ExportThenImportKeepsEveryField) {
    CStrPlace office;
    office.SetName("Office");
    office.SetDescripcion("Work, 3rd floor");
    office.SetImage("place_pc.png");
    CStrAction mail;
    mail.SetId(13);
    mail.SetType(1);
    mail.SetIntOp1(5);
    mail.SetIntOp2(10);
    mail.SetIntOp3(-7);
    mail.SetSzOp1("boss@example.com");
    mail.SetSzOp2("Leaving");
    mail.SetSzOp3("Bye & <see you>");
    mail.SetDelay(30);
    mail.SetInstanteOp1(SYSTEMTIME{2009, 3, 6, 7, 8, 5, 9, 0});
    mail.SetInstanteOp3(SYSTEMTIME{2010, 12, 0, 31, 23, 59, 58, 0});
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
    CStrLAC area(4321, office.GetId());
    db->GetTableLAC()->Add(area);
    CStrPlace home2;
    home2.SetName("Home");
    db->GetTablePlaces()->Add(home2);
    CStrLAC homeArea(99, home2.GetId());
    db->GetTableLAC()->Add(homeArea);
    const std::vector<std::string> before = everything();

    std::string path;
    ASSERT_TRUE(db->GetXML(path));
    EXPECT_EQ(lastBox(), SafeSprintf(text("DATA EXPORTED TO"), path));
    CStrPlace extra;
    extra.SetName("Added after the export");
    db->GetTablePlaces()->Add(extra);
    ASSERT_TRUE(db->ImportFromXML());
    EXPECT_EQ(everything(), before);

    // Coordinates shorter than 5 characters are not exported.
    CStrCell vague(5678, db->GetTablePlaces()->GetAllRecordsCopy()[0].GetId());
    vague.SetLatitud("40.4");
    vague.SetLongitud("-3.7038");
    db->GetTableCell()->Add(vague);
    ASSERT_TRUE(db->GetXML(path));
    ASSERT_TRUE(db->ImportFromXML());
    auto cells = db->GetTableCell()->GetAllRecordsCopy();
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[0].GetLatitud(), "40.4168");
    EXPECT_EQ(cells[1].GetLatitud(), "");
    EXPECT_EQ(cells[1].GetLongitud(), "");
}

TEST_F(XmlTest, LacElementsAndUtf16FilesAreAccepted) {
    // A file written before frames could be switched off and actions delayed: its frames come
    // back enabled and its actions without delay.
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<Zentrova><place name=\"Casa\u00f1\" id=\"9\">"
        "<lac id=\"56\"/><cell id=\"77\" latitude=\"\" longitude=\"\"/>"
        "<schedule name=\"Day\" begin_hour=\"8\" begin_minute=\"0\" end_hour=\"9\" end_minute=\"0\" "
        "weekday=\"2\" alwayson=\"0\"><action id=\"2\" type=\"0\" arg_int_1=\"1\"/></schedule>"
        "</place></Zentrova>";
    writeXml("\xFF\xFE" + Utf8ToUtf16Le(xml));
    ASSERT_TRUE(db->ImportFromXML());
    auto places = db->GetTablePlaces()->GetAllRecordsCopy();
    ASSERT_EQ(places.size(), 1u);
    EXPECT_EQ(places[0].GetName(), "Casa\u00f1");
    auto lacs = db->GetTableLAC()->GetAllRecordsCopy();
    ASSERT_EQ(lacs.size(), 1u);
    EXPECT_EQ(lacs[0].GetIdLac(), 56);
    EXPECT_EQ(lacs[0].GetIdPlace(), places[0].GetId());
    auto periods = db->GetTablePeriods()->GetAllRecordsCopy();
    ASSERT_EQ(periods.size(), 1u);
    EXPECT_EQ(periods[0].GetEnabled(), 1);
    auto actions = db->GetTableActions()->GetAllRecordsCopy();
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0].GetDelay(), 0);
    EXPECT_EQ(actions[0].GetIntOp1(), 1);
}

TEST_F(XmlTest, BrokenMissingOrFailingFilesLeaveTheDatabaseAsItWas) {
    CStrPlace keep;
    keep.SetName("Keep me");
    db->GetTablePlaces()->Add(keep);
    auto before = dump();

    EXPECT_FALSE(db->ImportFromXML());        // no file
    writeXml("<Zentrova><place name=\"x\"");  // not well formed
    EXPECT_FALSE(db->ImportFromXML());
    EXPECT_EQ(lastBox().rfind(text("ERROR READING FILE"), 0), 0u) << lastBox();
    writeXml("<Other/>");
    EXPECT_FALSE(db->ImportFromXML());
    // The second place cannot be stored: the whole import is refused.
    writeXml("<Zentrova><place name=\"Fine\"/><place name=\"" + std::string(120, 'n') + "\"/></Zentrova>");
    EXPECT_FALSE(db->ImportFromXML());
    EXPECT_EQ(dump(), before);
    EXPECT_TRUE(std::filesystem::exists(CDB::XmlPath()));
    EXPECT_FALSE(std::filesystem::exists(db->GetDBName() + ".import"));
}

TEST_F(XmlTest, FaultsInsideTheFileRejectItWholeNamingLineAndElement) {
    CStrPlace keep;
    keep.SetName("Keep me");
    db->GetTablePlaces()->Add(keep);
    const auto before = everything();
    const std::string frame =
        "<schedule name=\"F\" begin_hour=\"8\" begin_minute=\"0\" end_hour=\"9\" end_minute=\"0\" "
        "weekday=\"1\">\n";
    struct Row {
        std::string body;  // inside <Zentrova><place name="P">, after a first line
        std::string fault;
    };
    const std::vector<Row> rows = {
        {"<schedule begin_hour=\"24\"/>", "line 3, <schedule>: \"begin_hour\" 24 is out of range"},
        {"<schedule end_minute=\"60\"/>", "line 3, <schedule>: \"end_minute\" 60 is out of range"},
        {"<schedule weekday=\"0\"/>", "line 3, <schedule>: \"weekday\" 0 is out of range"},
        {"<schedule weekday=\"8\"/>", "line 3, <schedule>: \"weekday\" 8 is out of range"},
        {"<schedule enabled=\"2\"/>", "line 3, <schedule>: \"enabled\" 2 is out of range"},
        {"<schedule begin_hour=\"8h\"/>", "line 3, <schedule>: \"begin_hour\" is not a whole number: \"8h\""},
        {"<schedule begin_minute=\"\"/>", "line 3, <schedule>: \"begin_minute\" is not a whole number"},
        {"<cell id=\"4294967296\"/>", "line 3, <cell>: \"id\""},
        {"<cell id=\"-5\"/>", "line 3, <cell>: \"id\" -5 is out of range"},
        {"<lac id=\"7\"/>\n<lac id=\"7\"/>", "line 4, <lac>: id 7 is given twice"},
        {frame + "<action id=\"2\" arg_int_1=\"2147483648\"/></schedule>",
         "line 4, <action>: \"arg_int_1\" 2147483648 is out of range"},
        {frame + "<action id=\"7\"/></schedule>", "line 4, <action>: 7 is not an action code"},
        {frame + "<action id=\"2\" type=\"2\"/></schedule>", "line 4, <action>: \"type\" 2 is out of range"},
        {frame + "<action id=\"2\" delay=\"-1\"/></schedule>",
         "line 4, <action>: \"delay\" -1 is out of range"},
        {frame + "<action id=\"2\" arg_time_2_hour=\"25\"/></schedule>",
         "line 4, <action>: \"arg_time_2_hour\" 25 is out of range"},
        {frame + "<action id=\"2\" type=\"1\"/>\n<action id=\"3\" type=\"1\"/>\n<action id=\"2\" type=\"1\"/>"
                 "</schedule>",
         "line 6, <action>: the frame already has an action with code 2 for this moment"},
    };
    for (const Row& row : rows) {
        // The second line is a good place, the fault comes after it.
        writeXml("<Zentrova>\n<place name=\"Good\"/><place name=\"P\">\n" + row.body + "</place></Zentrova>");
        std::string error;
        EXPECT_FALSE(CDB::CheckXML(CDB::XmlPath(), error)) << row.body;
        EXPECT_NE(error.find(CDB::XmlPath() + ": " + row.fault), std::string::npos) << error;
        EXPECT_FALSE(db->ImportFromXML()) << row.body;
        EXPECT_NE(lastBox().find(row.fault), std::string::npos) << lastBox();
        EXPECT_EQ(everything(), before) << row.body;
    }
    // Two actions of one code for the two moments, and one frame per day, are fine.
    writeXml("<Zentrova><place name=\"P\">" + frame +
             "<action id=\"2\" type=\"0\"/><action id=\"2\" type=\"1\"/></schedule></place></Zentrova>");
    std::string error;
    EXPECT_TRUE(CDB::CheckXML(CDB::XmlPath(), error)) << error;
    EXPECT_TRUE(db->ImportFromXML());
}

TEST_F(XmlTest, AtStartUpOnlyTheImportTheUserChoseRunsOnce) {
    auto restart = [&] {
        db.reset();
        db = std::make_unique<CDB>();
        db->OpenDB(1);
    };
    config->SetLongParameter("first_execution_after_install", 0);
    CStrPlace kept;
    kept.SetName("Kept");
    db->GetTablePlaces()->Add(kept);
    // A plain export file is the user's copy: a start leaves it and the database alone.
    writeXml("<Zentrova><place name=\"From file\"/></Zentrova>");
    restart();
    EXPECT_EQ(dump(), std::vector<std::string>{"Kept||"});
    EXPECT_TRUE(std::filesystem::exists(CDB::XmlPath()));

    // Marked for import, it is imported at the next start and the mark goes.
    std::string error;
    ASSERT_TRUE(CDB::MarkImportPending(error)) << error;
    restart();
    EXPECT_EQ(dump(), std::vector<std::string>{"From file||"});
    EXPECT_FALSE(std::filesystem::exists(CDB::PendingImportPath()));
    EXPECT_TRUE(std::filesystem::exists(CDB::XmlPath()));
    // Later openings of the same run never import.
    writeXml("<Zentrova><place name=\"Again\"/></Zentrova>", CDB::PendingImportPath());
    db->CloseDB(1);
    db->OpenDB(1);
    EXPECT_EQ(dump(), std::vector<std::string>{"From file||"});

    // A pending import that fails shows its error once and is put aside.
    writeXml("<Zentrova><place name=\"Late\"><schedule weekday=\"9\"/></place></Zentrova>",
             CDB::PendingImportPath());
    const size_t boxes = home.boxes().shown().size();
    restart();
    EXPECT_EQ(dump(), std::vector<std::string>{"From file||"});
    EXPECT_EQ(home.boxes().shown().size(), boxes + 1);
    EXPECT_NE(lastBox().find("\"weekday\" 9"), std::string::npos) << lastBox();
    EXPECT_FALSE(std::filesystem::exists(CDB::PendingImportPath()));
    EXPECT_TRUE(std::filesystem::exists(CDB::FailedImportPath()));
    restart();
    EXPECT_EQ(home.boxes().shown().size(), boxes + 1);

    // On the first start after an installation the mark is dropped unread.
    ASSERT_TRUE(CDB::MarkImportPending(error)) << error;
    config->SetLongParameter("first_execution_after_install", 1);
    restart();
    EXPECT_EQ(dump(), std::vector<std::string>{"From file||"});
    EXPECT_FALSE(std::filesystem::exists(CDB::PendingImportPath()));
}

}  // namespace

// The event-log page follows the log as other threads write it and shows an event's detail with
// the previous and next ones; the upload page's test request reaches a local server and reports
// its answer.

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <memory>
#include <thread>

#include "DialogFixture.h"
#include "PageHelpers.h"
#include "core/CLogMgr.h"
#include "dialogs/CDialogModalEventDetail.h"
#include "dialogs/CPropertyPageConnections.h"
#include "dialogs/CPropertyPageEventLog.h"
#include "dialogs/CPropertyPageUpload.h"
#include "dialogs/CPropertySheetDialogZentrova.h"
#include "managers/CConnectionsMgr.h"
#include "platform/sim/CSimPhone.h"
#include "support/HttpServer.h"

namespace {

class EventLogAndUploadTest : public DialogFixture {
  protected:
    // Two data connections on the phone, one of them up, as the connections manager lists them.
    void TwoConnections() {
        config->SetRegistryParameter("url_update", "http://127.0.0.1:1");
        platform::sim::CSimPhone phone(home.services().home(), home.services().registry(), false);
        EXPECT_EQ(phone.addConnection("Internet"), platform::ERROR_SUCCESS);
        EXPECT_EQ(phone.addConnection("Office"), platform::ERROR_SUCCESS);
        phone.setConnectionUp("Internet", true);
        phone.addConnectionTraffic("Internet", 2048);
    }
};

TEST_F(EventLogAndUploadTest, EventLogPageShowsEventsLoggedOnOtherThreadsAndTheirDetail) {
    CLogMgr::GetInstance()->vaciar();
    CPropertySheetDialogZentrova sheet(owner.get());
    sheet.Build();
    sheet.show();
    sheet.SetCurrentPage(5);
    auto* page = dynamic_cast<CPropertyPageEventLog*>(sheet.GetPage(5));
    ASSERT_NE(page, nullptr);
    std::thread worker([] {
        CLogMgr::Log(4, CLogEvent::SEVERITY_INFO, "First resume", "First description");
        CLogMgr::Log(0, CLogEvent::SEVERITY_WARNING, "Second resume", "Second description");
        CLogMgr::Log(300, CLogEvent::SEVERITY_ERROR, "Third resume", "Third description");
    });
    worker.join();
    QTreeWidget* list = page->GetList();
    for (int i = 0; i < 50 && list->topLevelItemCount() < 3; ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    ASSERT_EQ(list->topLevelItemCount(), 3);
    // Newest first, with the time as hh:mm:ss.
    EXPECT_EQ(list->topLevelItem(0)->text(1).toStdString(), "Third resume");
    EXPECT_EQ(list->topLevelItem(2)->text(1).toStdString(), "First resume");
    const SYSTEMTIME& t = page->GetEvents().front().GetTime();
    char expected[32];
    std::snprintf(expected, sizeof expected, "%02d:%02d:%02d", t.wHour, t.wMinute, t.wSecond);
    EXPECT_EQ(list->topLevelItem(0)->text(0).toStdString(), expected);
    ExpectFitsWidth(&sheet);
    Shot(&sheet, "sheet_log_dialog_data_240x320");

    // The detail of the middle event, then the previous and next ones (up to the ends).
    list->setCurrentItem(list->topLevelItem(1));
    std::vector<std::string> seen;
    WhenModal([&](QDialog* dialog) {
        auto* detail = dynamic_cast<CDialogModalEventDetail*>(dialog);
        ASSERT_NE(detail, nullptr);
        auto shown = [&] { seen.push_back(detail->GetShown().toStdString()); };
        shown();
        Shot(dialog, "dialog_event_detail_240x320");
        detail->Previous();
        shown();
        detail->Previous();  // already the first: stays
        shown();
        detail->findChild<QPushButton*>("next")->click();
        detail->Next();
        shown();
        detail->Next();  // already the last
        shown();
        dialog->reject();
    });
    page->ShowDetail();
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_NE(seen[0].find("Second resume\nSecond description"), std::string::npos) << seen[0];
    EXPECT_NE(seen[0].find(CTextsMgr::Text("DIALOG_EVENT_LOG_TEXT_SEVERITY") + ": WARNING"),
              std::string::npos);
    EXPECT_NE(seen[1].find("Third resume"), std::string::npos);
    EXPECT_EQ(seen[2], seen[1]);
    EXPECT_NE(seen[3].find("First resume"), std::string::npos);
    EXPECT_EQ(seen[4], seen[3]);

    // The test command logs an event that the list shows; clearing empties it.
    page->Test();
    QApplication::processEvents();
    EXPECT_EQ(list->topLevelItem(0)->text(1).toStdString(), CTextsMgr::Text("EVENT_LOG_TEST_RESUME"));
    page->Clear();
    EXPECT_EQ(list->topLevelItemCount(), 0);
}

TEST_F(EventLogAndUploadTest, UploadTestReportsTheServersAnswer) {
    HttpServer server(home.root());
    config->SetLongParameter("upload_location", 0);
    config->SetLongParameter("upload_date", 0);
    config->SetLongParameter("upload_device_id", 1);
    CPropertyPageUpload page;
    page.InitPage();
    page_test::Apply(&page, {page_test::Step::Fill, "url_upload_location", server.url() + "/track"});
    page_test::Apply(&page, {page_test::Step::Fill, "user_agent", "PageTest/1"});
    struct Case {
        int status;
        bool ok;
        const char* box;
    };
    for (const Case& c :
         {Case{200, true, "DIALOG_UPLOAD_DATA_UPLOAD_OK"}, Case{500, false, "DIALOG_UPLOAD_DATA_UPLOAD_KO"},
          Case{404, false, "DIALOG_UPLOAD_DATA_UPLOAD_KO"}}) {
        SCOPED_TRACE(c.status);
        server.answer(c.status, "");
        home.boxes().clear();
        EXPECT_EQ(page.TestUpload(), c.ok);
        EXPECT_TRUE(page_test::Shown(home.boxes(), CTextsMgr::Text(c.box)));
    }
    // Each request went to the address shown, with the agent shown and the stored fields.
    std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].rfind("/track?device_id=", 0), 0u) << requests[0];
    EXPECT_EQ(requests[0].substr(requests[0].find('|')), "|PageTest/1");
    // Nothing answers at all: KO.
    page_test::Apply(&page, {page_test::Step::Fill, "url_upload_location", "http://127.0.0.1:1/none"});
    home.boxes().clear();
    EXPECT_FALSE(page.TestUpload());
    EXPECT_TRUE(page_test::Shown(home.boxes(), CTextsMgr::Text("DIALOG_UPLOAD_DATA_UPLOAD_KO")));
}

// The settings pages with data, for the screenshots.
TEST_F(EventLogAndUploadTest, SettingsPagesWithDataFitTheScreen) {
    config->SetLongParameter("activate_idle", 1);
    config->SetLongParameter("refresh_location", 15);
    config->SetLongParameter("upload_enabled", 1);
    TwoConnections();
    CConnectionsMgr connections;
    connections.Initialize();
    CPropertySheetDialogZentrova sheet(owner.get());
    sheet.Build();
    sheet.show();
    for (int index : {0, 1, 2, 9}) {
        sheet.SetCurrentPage(index);
        QApplication::processEvents();
        CPropertyPageBase* page = sheet.GetPage(index);
        SCOPED_TRACE(page->GetTxtFile());
        ExpectFitsWidth(&sheet);
        Shot(&sheet, "sheet_" + page->GetTxtFile() + "_data_240x320");
    }
}

TEST_F(EventLogAndUploadTest, ConnectionsPageSwitchesTheSelectedConnection) {
    TwoConnections();
    CConnectionsMgr connections;
    connections.Initialize();
    CPropertyPageConnections page;
    page.InitPage();
    QTreeWidget* list = page.GetList();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    auto flags = [&](int row) {
        std::string out;
        for (int column = 1; column <= 3; ++column) {
            out += list->topLevelItem(row)->text(column).isEmpty() ? "-" : "x";
        }
        return out;
    };
    EXPECT_EQ(flags(0), "xx-");  // Internet: enabled, connected
    EXPECT_EQ(flags(1), "x--");
    list->setCurrentItem(list->topLevelItem(1));
    page.Toggle(CPropertyPageConnections::kEnabled);
    EXPECT_EQ(flags(1), "---");
    page.Toggle(CPropertyPageConnections::kAlwaysOn);
    EXPECT_EQ(flags(1), "--x");
    // The manager wrote the provider key of the connection.
    uint32_t enabled = 99;
    home.services().registry().getDword(platform::RegRoot::LocalMachine,
                                        platform::sim::CSimPhone::connectionKey("Office"), "enabled",
                                        enabled);
    EXPECT_EQ(enabled, 0u);
    // Nothing selected: the user is asked to choose.
    list->setCurrentItem(nullptr);
    home.boxes().clear();
    page.Toggle(CPropertyPageConnections::kEnabled);
    EXPECT_TRUE(page_test::Shown(home.boxes(), CTextsMgr::Text("SELECT OPTION")));
}

}  // namespace

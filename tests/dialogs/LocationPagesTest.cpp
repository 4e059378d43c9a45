// The locations and cell-history pages: what their commands leave in the cells and area tables,
// with the user's answers, and the cell history's rows as the radio's threads add them.

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <thread>

#include "DialogFixture.h"
#include "PageHelpers.h"
#include "dialogs/CDialogModalSelectPlace.h"
#include "dialogs/CPropertyPageCellHistory.h"
#include "dialogs/CPropertyPageLocations.h"
#include "dialogs/CPropertySheetDialogZentrova.h"
#include "location/CCellMgr.h"
#include "location/CRilMgr.h"
#include "schedule/CScheduleEngine.h"

namespace {

class LocationPagesTest : public DialogFixture {
  protected:
    LocationPagesTest() {
        CCellMgr::ResetInstance();
        for (const char* name : {"Home", "Office"}) {
            CStrPlace place(name, "", "place_unknown.png", -1);
            db->GetTablePlaces()->Add(place);
            ids[name] = place.GetId();
        }
    }
    ~LocationPagesTest() override {
        CScheduleEngine::DestroyInstance();
        CCellMgr::ResetInstance();
    }
    void AreaMode(bool area) { config->SetLongParameter("location_mode", area ? 0 : 1); }
    // The rows of the cells (or area) table as "location:place" texts, in key order.
    std::vector<std::string> Rows(bool area) {
        std::vector<std::string> rows;
        if (area) {
            for (const CStrLAC& lac : db->GetTableLAC()->GetAllRecordsCopy()) {
                rows.push_back(std::to_string(lac.GetIdLac()) + ":" + std::to_string(lac.GetIdPlace()));
            }
        } else {
            for (const CStrCell& cell : db->GetTableCell()->GetAllRecordsCopy()) {
                rows.push_back(std::to_string(cell.GetIdCell()) + ":" + std::to_string(cell.GetIdPlace()) +
                               (cell.HasGPSInfo() ? ":gps" : ""));
            }
        }
        return rows;
    }
    std::string Row(int location, const char* place, bool gps = false) {
        return std::to_string(location) + ":" + std::to_string(ids[place]) + (gps ? ":gps" : "");
    }
    static void ChoosePlace(CPropertyPageLocations& page, const std::string& name) {
        QComboBox* places = page.GetPlaceList();
        places->setCurrentIndex(places->findText(QString::fromStdString(name)));
    }
    static void SelectLocation(CPropertyPageLocations& page, const std::string& prefix) {
        QListWidget* list = page.GetLocationList();
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->text().startsWith(QString::fromStdString(prefix))) {
                list->setCurrentRow(i);
            }
        }
    }
    // Fills the add-location dialog once it shows, and saves it.
    static void WhenAddLocation(const std::string& cell, const std::string& lac) {
        WhenModal([cell, lac](QDialog* dialog) {
            page_test::Apply(dialog, {page_test::Step::Fill, "cell", cell});
            page_test::Apply(dialog, {page_test::Step::Fill, "lac", lac});
            static_cast<CDialogModalBase*>(dialog)->Save();
        });
    }
    std::map<std::string, int> ids;
};

TEST_F(LocationPagesTest, LocationsPageAssignsAndUnassignsRows) {
    struct Case {
        const char* name;
        bool area;
        std::vector<CStrCell> cells;  // stored first (cell mode)
        std::vector<CStrLAC> lacs;    // stored first (area mode)
        bool yes;
        std::function<void(LocationPagesTest&, CPropertyPageLocations&)> act;
        std::vector<std::string> rows;
        const char* box;  // key of the last box shown
    };
    auto cell = [&](int id, const char* place, bool gps = false) {
        CStrCell c(id, ids[place]);
        if (gps) {
            c.SetLongitud("00210.1234E");
            c.SetLatitud("4807.0380N");
        }
        return c;
    };
    const std::vector<Case> cases = {
        {"a cell entered by hand goes to the chosen place",
         false,
         {},
         {},
         true,
         [](auto&, auto& page) {
             ChoosePlace(page, "Home");
             WhenAddLocation("1234", "77");
             page.AddLocation();
         },
         {Row(1234, "Home")},
         "LOCATION ASSIGNED"},
        {"declining the confirmation stores nothing",
         false,
         {},
         {},
         false,
         [](auto&, auto& page) {
             ChoosePlace(page, "Home");
             WhenAddLocation("1234", "77");
             page.AddLocation();
         },
         {},
         "CONFIRM ALLOCATE"},
        {"in area mode the area code is stored",
         true,
         {},
         {},
         true,
         [](auto&, auto& page) {
             ChoosePlace(page, "Office");
             WhenAddLocation("1234", "77");
             page.AddLocation();
         },
         {Row(77, "Office")},
         "LOCATION ASSIGNED"},
        {"a known cell moves to the new place, keeping its position",
         false,
         {cell(1234, "Home", true)},
         {},
         true,
         [](auto&, auto& page) {
             ChoosePlace(page, "Office");
             WhenAddLocation("1234", "");
             page.AddLocation();
         },
         {Row(1234, "Office", true)},
         "LOCATION ASSIGNED"},
        {"without a chosen place nothing is asked",
         false,
         {},
         {},
         true,
         [](auto&, auto& page) { page.AddLocation(); },
         {},
         "SELECT PROFILE"},
        {"the selected location is removed",
         false,
         {cell(1, "Home"), cell(2, "Office")},
         {},
         true,
         [](auto&, auto& page) {
             SelectLocation(page, "2-");
             page.RemoveLocation();
         },
         {Row(1, "Home")},
         "CONFIRM DEALLOCATE"},
        {"the selected location goes to the chosen place",
         false,
         {cell(1, "Home"), cell(2, "Home")},
         {},
         true,
         [](auto&, auto& page) {
             ChoosePlace(page, "Office");
             SelectLocation(page, "2-");
             page.AssignLocation();
         },
         {Row(1, "Home"), Row(2, "Office")},
         "LOCATION ASSIGNED"},
        {"unassign takes the selected location away",
         false,
         {cell(1, "Home"), cell(2, "Home")},
         {},
         true,
         [](auto&, auto& page) {
             SelectLocation(page, "1-");
             page.UnassignLocation();
         },
         {Row(2, "Home")},
         "CONFIRM DEALLOCATE"},
        {"removing needs a selection",
         false,
         {cell(1, "Home")},
         {},
         true,
         [](auto&, auto& page) { page.RemoveLocation(); },
         {Row(1, "Home")},
         "SELECT LOCATION"},
        {"an area is removed in area mode",
         true,
         {},
         {CStrLAC(77, 0), CStrLAC(78, 0)},
         true,
         [](auto&, auto& page) {
             SelectLocation(page, "78-");
             page.RemoveLocation();
         },
         {"77:0"},
         "CONFIRM DEALLOCATE"},
        {"a cell's GPS position is forgotten",
         false,
         {cell(5, "Home", true)},
         {},
         true,
         [](auto&, auto& page) {
             SelectLocation(page, "5-");
             page.RemoveGps();
         },
         {Row(5, "Home")},
         "DIALOG_MAIN_POPUP_REMOVE_GPS_CONFIRMATION"},
        {"a cell without a position is not valid for that",
         false,
         {cell(5, "Home")},
         {},
         true,
         [](auto&, auto& page) {
             SelectLocation(page, "5-");
             page.RemoveGps();
         },
         {Row(5, "Home")},
         "SELECT ROW VALID CELL"},
        {"without a current location there is nothing to assign",
         false,
         {},
         {},
         true,
         [](auto&, auto& page) {
             ChoosePlace(page, "Home");
             page.AssignLocation();
         },
         {},
         "LOCATION NOT FOUND"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        db->GetTableCell()->DeleteAll();
        db->GetTableLAC()->DeleteAll();
        AreaMode(row.area);
        for (CStrCell c : row.cells) {
            db->GetTableCell()->Add(c);
        }
        for (CStrLAC l : row.lacs) {
            db->GetTableLAC()->Add(l);
        }
        home.boxes().setAnswerYes(row.yes);
        home.boxes().clear();
        CPropertyPageLocations page;
        page.InitPage();
        row.act(*this, page);
        EXPECT_EQ(Rows(row.area), row.rows);
        auto shown = home.boxes().shown();
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown.back().text, CTextsMgr::Text(row.box));
    }
}

TEST_F(LocationPagesTest, LocationsPageListsEntriesAsLocationAndPlace) {
    CStrCell c(4321, ids["Office"]);
    db->GetTableCell()->Add(c);
    CPropertySheetDialogZentrova sheet(owner.get());
    sheet.Build();
    sheet.show();
    sheet.SetCurrentPage(3);
    auto* page = dynamic_cast<CPropertyPageLocations*>(sheet.GetPage(3));
    ASSERT_NE(page, nullptr);
    ChoosePlace(*page, "Office");
    ASSERT_EQ(page->GetLocationList()->count(), 1);
    EXPECT_EQ(page->GetLocationList()->item(0)->text().toStdString(), "4321-Office");
    page->GetLocationList()->setCurrentRow(0);
    QApplication::processEvents();
    ExpectFitsWidth(&sheet);
    Shot(&sheet, "sheet_main_dialog_data_240x320");
    WhenModal([](QDialog* dialog) {
        page_test::Apply(dialog, {page_test::Step::Fill, "cell", "1234"});
        Shot(dialog, "dialog_add_location_240x320");
        dialog->reject();
    });
    page->AddLocation();
}

TEST_F(LocationPagesTest, CellHistoryShowsCellsFromOtherThreadsAndAssignsThem) {
    AreaMode(false);
    CStrCell known(200, ids["Office"]);
    db->GetTableCell()->Add(known);
    CPropertySheetDialogZentrova sheet(owner.get());
    sheet.Build();
    sheet.show();
    sheet.SetCurrentPage(6);
    auto* page = dynamic_cast<CPropertyPageCellHistory*>(sheet.GetPage(6));
    ASSERT_NE(page, nullptr);
    // The radio reports two cells on its own thread.
    std::thread radio([] {
        CCellMgr::GetInstance()->CellChanged(100, 7, 1);
        CCellMgr::GetInstance()->CellChanged(200, 7, 0);
    });
    radio.join();
    QTreeWidget* list = page->GetList();
    for (int i = 0; i < 50 && list->topLevelItemCount() < 2; ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    ASSERT_EQ(list->topLevelItemCount(), 2);
    // Newest first: time "hh:mm", cell, area, place.
    EXPECT_EQ(list->topLevelItem(0)->text(1).toStdString(), "200");
    EXPECT_EQ(list->topLevelItem(0)->text(3).toStdString(), "Office");
    EXPECT_EQ(list->topLevelItem(1)->text(1).toStdString(), "100");
    EXPECT_EQ(list->topLevelItem(1)->text(2).toStdString(), "7");
    EXPECT_EQ(list->topLevelItem(1)->text(3).toStdString(), CTextsMgr::Text("UNKNOWN"));
    EXPECT_EQ(list->topLevelItem(1)->text(0).size(), 5);
    EXPECT_EQ(list->topLevelItem(1)->text(0)[2], ':');
    ExpectFitsWidth(&sheet);
    Shot(&sheet, "sheet_cell_history_data_240x320");

    // Assign the older cell to Home: a row in the cells table, and the list shows the place.
    home.boxes().setAnswerYes(true);
    home.boxes().clear();
    list->setCurrentItem(list->topLevelItem(1));
    WhenModal([](QDialog* dialog) {
        auto* places = dialog->findChild<QListWidget*>("places");
        places->setCurrentRow(places->row(places->findItems("Home", Qt::MatchExactly).value(0)));
        Shot(dialog, "dialog_select_place_240x320");
        static_cast<CDialogModalBase*>(dialog)->Save();
    });
    page->AssignSelected();
    EXPECT_EQ(Rows(false), (std::vector<std::string>{Row(100, "Home"), Row(200, "Office")}));
    EXPECT_EQ(list->topLevelItem(1)->text(3).toStdString(), "Home");
    EXPECT_EQ(home.boxes().shown().back().text, CTextsMgr::Text("LOCATION ASSIGNED"));

    // Unassign the newer one.
    list->setCurrentItem(list->topLevelItem(0));
    page->UnassignSelected();
    EXPECT_EQ(Rows(false), (std::vector<std::string>{Row(100, "Home")}));
    EXPECT_EQ(list->topLevelItem(0)->text(3).toStdString(), CTextsMgr::Text("UNKNOWN"));
    // Unassigning a cell with no place says so.
    home.boxes().clear();
    page->UnassignSelected();
    EXPECT_EQ(home.boxes().shown().back().text, CTextsMgr::Text("LOCATION NOT FOUND"));

    page->Clear();
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_TRUE(CCellMgr::GetInstance()->GetQueue().empty());
}

TEST_F(LocationPagesTest, LocationsPageAssignsAndUnassignsTheCurrentLocation) {
    CRilMgr ril;
    ril.LocationChanged(555, 66, 0);
    home.boxes().setAnswerYes(true);
    for (bool area : {false, true}) {
        SCOPED_TRACE(area ? "area mode" : "cell mode");
        const int location = area ? 66 : 555;
        CPropertyPageLocations page;
        page.InitPage();
        // The mode chosen on the page is the engine's (and the stored one).
        page.SetMode(area ? 0 : 1);
        EXPECT_EQ(ril.GetLocationMode(), area ? 0 : 1);
        page_test::ExpectStored({"location_mode", area ? 0u : 1u});
        ChoosePlace(page, "Office");
        page.AssignLocation();
        EXPECT_EQ(Rows(area), std::vector<std::string>{Row(location, "Office")});
        auto* current = page.findChild<QLabel*>("current");
        ASSERT_NE(current, nullptr);
        EXPECT_NE(current->text().toStdString().find(std::to_string(location) + "-Office"), std::string::npos)
            << current->text().toStdString();
        page.UnassignLocation();
        EXPECT_TRUE(Rows(area).empty());
        home.boxes().clear();
        page.UnassignLocation();  // nothing left to unassign
        EXPECT_EQ(home.boxes().shown().back().text, CTextsMgr::Text("LOCATION NOT FOUND"));
    }
}

}  // namespace

// The settings sheet: its ten pages in order with their titles and help pages, the soft keys of
// each page, and the help text a page shows.

#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <memory>

#include "DialogFixture.h"
#include "dialogs/CDialogModalTextFile.h"
#include "dialogs/CPropertyPageBase.h"
#include "dialogs/CPropertySheetDialogZentrova.h"
#include "dialogs/CSoftKeyBar.h"
#include "dialogs/Factories.h"

namespace {

class SheetTest : public DialogFixture {};

TEST_F(SheetTest, TenPagesInOrderWithTheirTitlesHelpAndSoftKeys) {
    std::unique_ptr<IModalDialog> made(New_CPropertySheetDialogZentrova(owner.get()));
    auto* sheet = dynamic_cast<CPropertySheetDialogZentrova*>(made.get());
    ASSERT_NE(sheet, nullptr);
    sheet->Build();
    struct Row {
        const char* title;
        const char* help;
    };
    const Row rows[] = {
        {"PAGE CONNECTIONS", "connections_dialog"},
        {"PAGE OPTIONS1", "options1_dialog"},
        {"PAGE OPTIONS2", "options2_dialog"},
        {"PAGE MAIN", "main_dialog"},
        {"PAGE PROFILES", "profiles_dialog"},
        {"DIALOG_EVENT_LOG_TITLE", "log_dialog"},
        {"DIALOG_CELL_HISTORY_TITTLE", "cell_history"},
        {"PAGE BATTERY", "battery_dialog"},
        {"PAGE CURRENT", "current_dialog"},
        {"DIALOG_UPLOAD_DATA_TITLE", "upload_dialog"},
    };
    ASSERT_EQ(sheet->GetTabs()->count(), 10);
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(rows[i].title);
        CPropertyPageBase* page = sheet->GetPage(i);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->GetTitleKey(), rows[i].title);
        EXPECT_EQ(page->GetTxtFile(), rows[i].help);
        EXPECT_EQ(sheet->GetTabs()->tabText(i).toStdString(), CTextsMgr::Text(rows[i].title));
        sheet->SetCurrentPage(i);
        EXPECT_TRUE(page->IsInitialised());
        // Every page's right key is a menu that ends with its help.
        QPushButton* right = sheet->GetSoftKeys()->GetRight();
        EXPECT_EQ(right->text().toStdString(), CTextsMgr::Text("MENU_MENU"));
        QMenu* menu = page->findChild<QMenu*>();
        ASSERT_NE(menu, nullptr);
        ASSERT_FALSE(menu->actions().isEmpty());
        EXPECT_EQ(menu->actions().back()->text().toStdString(), CTextsMgr::Text("MENU_HELP_TEXT"));
        // The page's help exists in English.
        EXPECT_NE(page->FindHelpFile().find(std::string("en_") + rows[i].help), std::string::npos);
    }
}

TEST_F(SheetTest, HelpShowsThePagesTextFileAndAMissingFileSaysSo) {
    CPropertySheetDialogZentrova sheet(owner.get());
    sheet.Build();
    CPropertyPageBase* page = sheet.GetPage(0);
    std::string shown;
    WhenModal([&](QDialog* dialog) {
        auto* view = dialog->findChild<QPlainTextEdit*>("text");
        shown = view ? view->toPlainText().toStdString() : "";
        dialog->reject();
    });
    page->ShowHelp();
    EXPECT_NE(shown.find("Connections"), std::string::npos) << shown;

    CDialogModalTextFile missing(owner.get(), 180, "Title", "/no/such/file.txt");
    WhenModal([](QDialog* dialog) { dialog->reject(); });
    missing.DoModal();
    EXPECT_NE(missing.GetText().toStdString().find("/no/such/file.txt"), std::string::npos);
    EXPECT_EQ(missing.GetTitle().toStdString(), "Title");
}

}  // namespace

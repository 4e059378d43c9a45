// Every page of the settings sheet on a quarter-VGA and a VGA screen: nothing reaches past the
// right edge. With ZENTROVA_SHOTS_DIR set (scripts/screenshots.sh), each is saved as a PNG.

#include <QTabWidget>

#include "DialogFixture.h"
#include "dialogs/CPropertyPageBase.h"
#include "dialogs/CPropertySheetDialogZentrova.h"

namespace {

class ScreensTest : public DialogFixture {};

TEST_F(ScreensTest, EveryPageOfTheSheetFitsTheScreen) {
    for (const auto& [width, height] : {std::pair{240, 320}, std::pair{480, 640}}) {
        Screen(width, height);
        CPropertySheetDialogZentrova sheet(owner.get());
        sheet.Build();
        sheet.show();
        EXPECT_EQ(sheet.size(), QSize(width, height));
        for (int i = 0; i < CPropertySheetDialogZentrova::kPages; ++i) {
            sheet.SetCurrentPage(i);
            QApplication::processEvents();
            CPropertyPageBase* page = sheet.GetPage(i);
            SCOPED_TRACE(page->GetTxtFile() + " at " + std::to_string(width));
            ExpectFitsWidth(&sheet);
            Shot(&sheet,
                 "sheet_" + page->GetTxtFile() + "_" + std::to_string(width) + "x" + std::to_string(height));
        }
        sheet.hide();
    }
}

}  // namespace

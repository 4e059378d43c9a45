// The battery and current pages: the graph of a known history checked at known points, the
// scales, the statistics of each scale, clearing, export, compare, the bitmap, and files that
// are missing or hold no history.

#include <QAction>
#include <QImage>
#include <QImageReader>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "DialogFixture.h"
#include "core/DateTime.h"
#include "core/Utf16.h"
#include "dialogs/CHistoryGraph.h"
#include "dialogs/CPropertyPageBattery.h"
#include "dialogs/CPropertyPageCurrent.h"
#include "dialogs/CPropertySheetDialogZentrova.h"
#include "platform/sim/CSimClock.h"

namespace {

constexpr int kBatteryPage = 7;
constexpr int kCurrentPage = 8;

// Four hours on one day: 42% used (two drops of 10, a charge of 5, a drop of 22).
const char* const kBattery =
    "2024-01-31 10:00:00 100%\r\n"
    "2024-01-31 11:00:00 090%\r\n"
    "2024-01-31 12:00:00 080%\r\n"
    "2024-01-31 12:30:00 085%\r\n"
    "2024-01-31 14:00:00 063%\r\n";

const char* const kCurrent =
    "2024-01-31 10:00:00 -200mA\r\n"
    "2024-01-31 10:30:00 -100mA\r\n"
    "2024-01-31 11:00:00 +050mA\r\n";

int64_t At(int hour, int minute, int day = 31) {
    SYSTEMTIME t;
    t.wYear = 2024;
    t.wMonth = 1;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    int64_t ticks = 0;
    SystemTimeToTicks(t, ticks);
    return ticks / DT_SECOND;
}

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class HistoryPagesTest : public DialogFixture {
  protected:
    ~HistoryPagesTest() override { ::unsetenv("ZENTROVA_FILE_ANSWER"); }

    std::filesystem::path Program() { return home.services().home().programDir(); }
    void WriteHistory(const char* name, const std::string& utf8) {
        std::ofstream(Program() / name, std::ios::binary) << Utf8ToUtf16Le(utf8);
    }
    // The sheet open on `index`, and that page.
    template <typename Page>
    Page* Open(CPropertySheetDialogZentrova& sheet, int index) {
        sheet.Build();
        sheet.show();
        sheet.SetCurrentPage(index);
        QApplication::processEvents();
        return dynamic_cast<Page*>(sheet.GetPage(index));
    }
    std::string LastBox() const {
        auto shown = const_cast<TempHome&>(home).boxes().shown();
        return shown.empty() ? std::string() : shown.back().text;
    }
};

// Whether a pixel of `colour` lies within one pixel of `at` (lines are two pixels wide).
bool ColourNear(const QImage& image, QPointF at, const QColor& colour) {
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            const QPoint p(qRound(at.x()) + dx, qRound(at.y()) + dy);
            if (image.rect().contains(p) && image.pixelColor(p) == colour) {
                return true;
            }
        }
    }
    return false;
}

TEST_F(HistoryPagesTest, BatteryGraphDrawsTheHistoryAtItsPoints) {
    WriteHistory("log_battery.txt", kBattery);
    auto sheet = std::make_unique<CPropertySheetDialogZentrova>(owner.get());
    auto* page = Open<CPropertyPageBattery>(*sheet, kBatteryPage);
    ASSERT_NE(page, nullptr);
    CHistoryGraph* graph = page->GetGraph();
    ASSERT_EQ(graph->GetHistory().size(), 5u);
    const QSize size(240, 160);
    const QImage image = graph->Render(size);
    struct Row {
        int hour, minute, value;
        QColor colour;
        bool drawn;
    };
    const Row rows[] = {
        {10, 30, 100, CHistoryGraph::kLine, true},  // a level held between two lines
        {11, 0, 95, CHistoryGraph::kLine, true},    // the step from 100 to 90
        {12, 15, 80, CHistoryGraph::kLine, true},   // held until the charge
        {13, 0, 85, CHistoryGraph::kLine, true},    // after the charge
        {14, 0, 70, CHistoryGraph::kLine, true},    // the last step down
        {10, 30, 50, CHistoryGraph::kLine, false},  // nothing there
        {13, 30, 40, CHistoryGraph::kLine, false},
        {11, 30, 63, CHistoryGraph::kLevel, true},  // the level line of the latest value
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.hour) + ":" + std::to_string(row.minute) + " " +
                     std::to_string(row.value));
        QPointF at = graph->ToPixel(At(row.hour, row.minute), row.value, size);
        bool found = ColourNear(image, at, row.colour);
        if (row.colour == CHistoryGraph::kLevel) {
            // A dashed line: somewhere on a short stretch.
            for (int dx = 0; dx < 12 && !found; ++dx) {
                found = ColourNear(image, at + QPointF(dx, 0), row.colour);
            }
        }
        EXPECT_EQ(found, row.drawn);
    }
    // The whole history fills the width: its first line at the left edge, its last at the right.
    const QRect plot = graph->PlotRect(size);
    EXPECT_NEAR(graph->ToPixel(At(10, 0), 0, size).x(), plot.left(), 0.5);
    EXPECT_NEAR(graph->ToPixel(At(14, 0), 0, size).x(), plot.right() + 1, 1.0);
    EXPECT_NEAR(graph->ToPixel(At(10, 0), 100, size).y(), plot.top(), 1.0);

    ExpectFitsWidth(sheet.get());
    Shot(sheet.get(), "page_battery_history_240x320");
    sheet.reset();

    // On a VGA screen the same page with larger text.
    Screen(480, 640);
    CPropertySheetDialogZentrova large(owner.get());
    ASSERT_NE(Open<CPropertyPageBattery>(large, kBatteryPage), nullptr);
    ExpectFitsWidth(&large);
    Shot(&large, "page_battery_history_480x640");
}

TEST_F(HistoryPagesTest, ScalesOfTheMenuAndTheStatisticsOfEach) {
    WriteHistory("log_battery.txt", kBattery);
    WriteHistory("log_current.txt", kCurrent);
    CPropertySheetDialogZentrova sheet(owner.get());
    auto* battery = Open<CPropertyPageBattery>(sheet, kBatteryPage);
    ASSERT_NE(battery, nullptr);
    struct Row {
        int64_t seconds;
        const char* statistics;
    };
    const Row batteryRows[] = {
        {0, "Duration: 4 h 00 min\nUsed: 42%\nSpeed: 10.5% per hour"},
        {86400, "Duration: 4 h 00 min\nUsed: 42%\nSpeed: 10.5% per hour"},
        {3 * 3600, "Duration: 3 h 00 min\nUsed: 32%\nSpeed: 10.7% per hour"},
        {3600, "Duration: 1 h 00 min\nUsed: 22%\nSpeed: 22.0% per hour"},
        {1800, "Duration: 0 h 30 min\nUsed: 22%\nSpeed: 44.0% per hour"},
    };
    std::vector<int64_t> offered;
    for (const auto& scale : battery->Scales()) {
        offered.push_back(scale.seconds);
    }
    EXPECT_EQ(offered, (std::vector<int64_t>{0, 86400, 43200, 21600, 10800, 3600, 1800}));
    EXPECT_EQ(battery->Scales().front().caption, "All");
    EXPECT_EQ(battery->Scales()[1].caption, "24 h");
    EXPECT_EQ(battery->Scales().back().caption, "30 min");
    for (const Row& row : batteryRows) {
        SCOPED_TRACE(row.seconds);
        // Chosen from the page's menu, as the user does.
        auto* action = battery->findChild<QAction*>(QString("scale_%1").arg(row.seconds));
        ASSERT_NE(action, nullptr);
        action->trigger();
        EXPECT_EQ(battery->GetGraph()->GetSpan(), row.seconds);
        EXPECT_TRUE(action->isChecked());
        EXPECT_EQ(battery->GetStatistics().toStdString(), row.statistics);
    }
    // At one hour the graph starts at 13:00 with the level that held then.
    battery->SetScale(3600);
    EXPECT_EQ(battery->GetGraph()->WindowStart(), At(13, 0));
    const QSize size(240, 160);
    const QImage hour = battery->GetGraph()->Render(size);
    EXPECT_TRUE(ColourNear(hour, battery->GetGraph()->ToPixel(At(13, 10), 85, size), CHistoryGraph::kLine));
    Shot(&sheet, "page_battery_history_1h_240x320");

    auto* current = Open<CPropertyPageCurrent>(sheet, kCurrentPage);
    ASSERT_NE(current, nullptr);
    offered.clear();
    for (const auto& scale : current->Scales()) {
        offered.push_back(scale.seconds);
    }
    EXPECT_EQ(offered, (std::vector<int64_t>{0, 21600, 10800, 3600, 1800, 600, 300, 60}));
    const Row currentRows[] = {
        {0, "Duration: 1 h 00 min\nAverage: -150 mA"},
        {1800, "Duration: 0 h 30 min\nAverage: -100 mA"},
        {600, "Duration: 0 h 10 min\nAverage: -100 mA"},
        {60, "Duration: 0 h 01 min\nAverage: -100 mA"},
    };
    for (const Row& row : currentRows) {
        SCOPED_TRACE(row.seconds);
        current->SetScale(row.seconds);
        EXPECT_EQ(current->GetStatistics().toStdString(), row.statistics);
    }
    current->SetScale(0);
    // The scale of a current graph reaches over both signs in hundreds of mA.
    EXPECT_EQ(current->GetGraph()->ScaleMin(), -200);
    EXPECT_EQ(current->GetGraph()->ScaleMax(), 100);
    const QImage image = current->GetGraph()->Render(size);
    EXPECT_TRUE(
        ColourNear(image, current->GetGraph()->ToPixel(At(10, 15), -200, size), CHistoryGraph::kLine));
    EXPECT_TRUE(
        ColourNear(image, current->GetGraph()->ToPixel(At(10, 45), -100, size), CHistoryGraph::kLine));
    Shot(&sheet, "page_current_history_240x320");
}

TEST_F(HistoryPagesTest, MissingEmptyAndBrokenFilesAreToldAndNothingIsDrawn) {
    struct Row {
        const char* name;
        const char* bytes;  // null: no file
        const char* state;
        size_t samples;
    };
    const Row rows[] = {
        {"missing", nullptr, "could not be read", 0},
        {"empty", "", "No history yet.", 0},
        {"noise", "\x01\x02garbage\r\n2024-99-99 10:00:00 050%\r\n", "2 lines were not history lines", 0},
        {"partly", "2024-01-31 10:00:00 050%\r\nbroken\r\n", "1 lines were not history lines", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(Program() / "log_battery.txt");
        if (row.bytes) {
            WriteHistory("log_battery.txt", row.bytes);
        }
        CPropertySheetDialogZentrova sheet(owner.get());
        auto* page = Open<CPropertyPageBattery>(sheet, kBatteryPage);
        ASSERT_NE(page, nullptr);
        EXPECT_NE(page->GetState().toStdString().find(row.state), std::string::npos)
            << page->GetState().toStdString();
        EXPECT_EQ(page->GetGraph()->GetHistory().size(), row.samples);
        page->GetGraph()->Render(QSize(240, 160));  // draws without data
        if (std::string(row.name) == "missing") {
            Shot(&sheet, "page_battery_history_missing_240x320");
        }
    }
}

TEST_F(HistoryPagesTest, ClearKeepsTheCopyOnlyWhenTheUserSaysYes) {
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes);
        WriteHistory("log_current.txt", kCurrent);
        std::filesystem::remove(Program() / "log_current.bak");
        home.boxes().setAnswerYes(yes);
        CPropertySheetDialogZentrova sheet(owner.get());
        auto* page = Open<CPropertyPageCurrent>(sheet, kCurrentPage);
        ASSERT_NE(page, nullptr);
        page->ClearHistory();
        EXPECT_EQ(LastBox(), "Clear the current history?");
        EXPECT_EQ(std::filesystem::exists(Program() / "log_current.bak"), yes);
        EXPECT_EQ(page->GetGraph()->GetHistory().size(), yes ? 0u : 3u);
        if (yes) {
            EXPECT_EQ(ReadAll(Program() / "log_current.bak"), Utf8ToUtf16Le(kCurrent));
            EXPECT_EQ(std::filesystem::file_size(Program() / "log_current.txt"), 0u);
        }
    }
}

TEST_F(HistoryPagesTest, ExportWritesTheHistoryThatCompareReadsBack) {
    WriteHistory("log_battery.txt", kBattery);
    CPropertySheetDialogZentrova sheet(owner.get());
    auto* page = Open<CPropertyPageBattery>(sheet, kBatteryPage);
    ASSERT_NE(page, nullptr);
    const std::filesystem::path exported = home.root() / "exported.txt";
    ::setenv("ZENTROVA_FILE_ANSWER", exported.c_str(), 1);
    ASSERT_TRUE(page->ExportHistory());
    EXPECT_EQ(ReadAll(exported), kBattery);
    EXPECT_EQ(LastBox(), "Your data have been exported to " + exported.string());
    // A place that cannot be written is told.
    const std::string nowhere = (home.root() / "no" / "such" / "folder.txt").string();
    ::setenv("ZENTROVA_FILE_ANSWER", nowhere.c_str(), 1);
    EXPECT_FALSE(page->ExportHistory());
    EXPECT_EQ(LastBox(), "The history could not be written to " + nowhere + ".");
    // Cancelled: nothing.
    ::setenv("ZENTROVA_FILE_ANSWER", "", 1);
    EXPECT_FALSE(page->ExportHistory());

    // Another day's history, drawn beside this one so that both end at the right edge.
    const std::filesystem::path other = home.root() / "other.txt";
    std::ofstream(other, std::ios::binary) << "2024-01-30 08:00:00 050%\r\n2024-01-30 10:00:00 040%\r\n";
    ::setenv("ZENTROVA_FILE_ANSWER", other.c_str(), 1);
    ASSERT_TRUE(page->CompareHistory());
    CHistoryGraph* graph = page->GetGraph();
    ASSERT_EQ(graph->GetCompare().size(), 2u);
    const QSize size(240, 160);
    const QImage image = graph->Render(size);
    EXPECT_TRUE(ColourNear(image, graph->ToPixel(At(13, 0), 50, size), CHistoryGraph::kCompare));
    EXPECT_TRUE(ColourNear(image, graph->ToPixel(At(13, 0), 85, size), CHistoryGraph::kLine));
    Shot(&sheet, "page_battery_history_compare_240x320");
    // A file without history lines leaves the comparison as it was.
    ::setenv("ZENTROVA_FILE_ANSWER", (Program() / "en.xml").c_str(), 1);
    std::ofstream(Program() / "en.xml") << "<texts/>\n";
    EXPECT_FALSE(page->CompareHistory());
    EXPECT_EQ(graph->GetCompare().size(), 2u);
    EXPECT_NE(LastBox().find("holds no history lines"), std::string::npos);
}

TEST_F(HistoryPagesTest, BitmapIsNamedAfterThePhonesClockAndIsAReadableBmp) {
    WriteHistory("log_battery.txt", kBattery);
    auto* clock = dynamic_cast<platform::sim::CSimClock*>(&home.services().clock());
    ASSERT_NE(clock, nullptr);
    SYSTEMTIME when;
    when.wYear = 2024;
    when.wMonth = 1;
    when.wDay = 31;
    when.wHour = 15;
    when.wMinute = 45;
    clock->setLocalMillis(platform::sim::CSimClock::toMillis(when));
    CPropertySheetDialogZentrova sheet(owner.get());
    auto* page = Open<CPropertyPageBattery>(sheet, kBatteryPage);
    ASSERT_NE(page, nullptr);
    const std::string name = page->GenerateBitmap();
    // The clock runs on: the name holds the second it was saved in.
    ASSERT_EQ(name.size(), std::string("20240131_154500.bmp").size()) << name;
    EXPECT_EQ(name.substr(0, 13), "20240131_1545");
    EXPECT_LE(std::stoi(name.substr(13, 2)), 5);
    EXPECT_EQ(name.substr(15), ".bmp");
    EXPECT_EQ(LastBox(), "Graph saved as " + name);
    QImageReader reader(QString::fromStdString((Program() / name).string()));
    EXPECT_EQ(reader.format().toStdString(), "bmp");
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull());
    EXPECT_GT(image.width(), 200);
    EXPECT_EQ(image.pixelColor(image.width() - 2, 2), CHistoryGraph::kBackground);
}

}  // namespace

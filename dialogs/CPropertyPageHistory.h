#pragma once

#include <QString>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "dialogs/CPropertyPageBase.h"
#include "location/CHistoryReader.h"

class CHistoryGraph;
class QActionGroup;
class QLabel;

// What the battery and the current pages share: the graph of one history file of the program
// folder, its statistics under it, and the commands of the page's menu (scale, clear, export,
// compare, save the graph as a bitmap). The page reads the file when it is built and again after
// every command that changes it.
class CPropertyPageHistory : public CPropertyPageBase {
  public:
    using Kind = CHistoryReader::Kind;

    // One choice of the scale menu: its caption and the seconds shown (0: the whole history).
    struct Scale {
        std::string caption;
        int64_t seconds;
    };

    CPropertyPageHistory(std::string titleKey, std::string helpName, Kind kind);

    // The history file the page shows.
    std::filesystem::path HistoryPath() const;
    // Reads the history file again and redraws.
    void Reload();
    // The scale choices of the menu, in order.
    std::vector<Scale> Scales() const;
    void SetScale(int64_t seconds);
    // Menu commands (public for tests and keyboard use).
    void ClearHistory();
    // Writes the history as a text file at a place the user chooses; false when none was chosen
    // or it could not be written (the user is told).
    bool ExportHistory();
    // Reads another history file chosen by the user and draws it beside this one.
    bool CompareHistory();
    // Saves the graph as "<date>_<time>.bmp" in the program folder; the file's name, or empty.
    std::string GenerateBitmap();

    CHistoryGraph* GetGraph() const { return _graph; }
    // The statistics and the state line under the graph, as shown.
    QString GetStatistics() const;
    QString GetState() const;

  protected:
    void OnInitPage() override;
    // Lines written while the page was hidden show when it comes back.
    void showEvent(QShowEvent* event) override;
    void FillMenu(QMenu* menu) override;
    // The statistics of the samples shown, one line each.
    virtual std::vector<std::string> Statistics(const std::vector<CHistoryReader::Sample>& shown) const = 0;
    Kind GetKind() const { return _kind; }

  private:
    void Refresh();

    Kind _kind;
    CHistoryGraph* _graph = nullptr;
    QLabel* _statistics = nullptr;
    QLabel* _state = nullptr;
    QActionGroup* _scales = nullptr;
};

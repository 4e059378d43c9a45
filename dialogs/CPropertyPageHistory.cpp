#include "dialogs/CPropertyPageHistory.h"

#include <QActionGroup>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QShowEvent>
#include <QVBoxLayout>
#include <fstream>
#include <system_error>

#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/MessageBoxes.h"
#include "core/ProgramFolder.h"
#include "core/SafeFormat.h"
#include "dialogs/CHistoryGraph.h"
#include "dialogs/DialogStyle.h"
#include "ui/FileChoice.h"
#include "location/CRilMgr.h"
#include "platform/Services.h"

namespace {

// The size of the saved bitmap: the graph as a quarter-VGA screen shows it, twice as large.
const QSize kBitmapSize(480, 300);

const char* FileName(CHistoryReader::Kind kind) {
    return kind == CHistoryReader::Kind::Battery ? "log_battery.txt" : "log_current.txt";
}

}  // namespace

CPropertyPageHistory::CPropertyPageHistory(std::string titleKey, std::string helpName, Kind kind)
    : CPropertyPageBase(std::move(titleKey), std::move(helpName)), _kind(kind) {}

std::filesystem::path CPropertyPageHistory::HistoryPath() const {
    if (CRilMgr* ril = CRilMgr::GetInstance()) {
        return _kind == Kind::Battery ? ril->GetBatteryLogPath() : ril->GetCurrentLogPath();
    }
    return std::filesystem::path(GetCurrentDirectory()) / FileName(_kind);
}

std::vector<CPropertyPageHistory::Scale> CPropertyPageHistory::Scales() const {
    const std::string total = CTextsMgr::Text("DIALOG_BATTERY_MENU_SCALE_TOTAL");
    auto hours = [](int h) {
        return Scale{SafeSprintf(CTextsMgr::Text("DIALOG_BATTERY_MENU_SCALE_HOURS"), h), h * 3600LL};
    };
    auto minutes = [](int m) {
        return Scale{SafeSprintf(CTextsMgr::Text("DIALOG_BATTERY_MENU_SCALE_MINUTES"), m), m * 60LL};
    };
    if (_kind == Kind::Battery) {
        return {{total, 0}, hours(24), hours(12), hours(6), hours(3), hours(1), minutes(30)};
    }
    return {{total, 0}, hours(6), hours(3), hours(1), minutes(30), minutes(10), minutes(5), minutes(1)};
}

void CPropertyPageHistory::OnInitPage() {
    _graph = new CHistoryGraph(_kind, this);
    Content()->addWidget(_graph, 1);
    _statistics = new QLabel(this);
    _statistics->setObjectName("statistics");
    _statistics->setWordWrap(true);
    // The text size of the screen the sheet is shown on (known once the page is in it).
    _statistics->setFont(dialog_style::Font(this));
    Content()->addWidget(_statistics);
    _state = new QLabel(this);
    _state->setObjectName("state");
    _state->setWordWrap(true);
    _state->setFont(dialog_style::Font(this));
    QPalette palette = _state->palette();
    palette.setColor(QPalette::WindowText, dialog_style::kDimText);
    _state->setPalette(palette);
    Content()->addWidget(_state);
    Reload();
}

void CPropertyPageHistory::showEvent(QShowEvent* event) {
    CPropertyPageBase::showEvent(event);
    if (_graph && !event->spontaneous()) {
        Reload();
    }
}

void CPropertyPageHistory::FillMenu(QMenu* menu) {
    QMenu* scale = menu->addMenu(Text("DIALOG_BATTERY_MENU_SCALE"));
    scale->setObjectName("scale");
    dialog_style::Apply(scale);
    _scales = new QActionGroup(this);
    for (const Scale& choice : Scales()) {
        QAction* action = scale->addAction(QString::fromStdString(choice.caption));
        action->setObjectName(QString("scale_%1").arg(choice.seconds));
        action->setCheckable(true);
        action->setChecked(_graph && _graph->GetSpan() == choice.seconds);
        _scales->addAction(action);
        const int64_t seconds = choice.seconds;
        QObject::connect(action, &QAction::triggered, this, [this, seconds] { SetScale(seconds); });
    }
    menu->addAction(Text("DIALOG_BATTERY_MENU_CLEAR"), [this] { ClearHistory(); })->setObjectName("clear");
    menu->addAction(Text("DIALOG_BATTERY_MENU_EXPORT"), [this] { ExportHistory(); })->setObjectName("export");
    menu->addAction(Text("DIALOG_BATTERY_MENU_COMPARE"), [this] { CompareHistory(); })
        ->setObjectName("compare");
    menu->addAction(Text("Generate Bitmap"), [this] { GenerateBitmap(); })->setObjectName("bitmap");
}

void CPropertyPageHistory::Reload() {
    if (!_graph) {
        return;
    }
    const std::filesystem::path path = HistoryPath();
    CHistoryReader::Result read = CHistoryReader::Read(path, _kind);
    QString state;
    if (!read.opened) {
        state = QString::fromStdString(
            SafeSprintf(CTextsMgr::Text("DIALOG_BATTERY_HISTORY_NOT_READ"), path.string()));
    } else if (read.samples.empty() && read.refused == 0) {
        state = Text("DIALOG_BATTERY_HISTORY_EMPTY");
    } else if (read.refused > 0) {
        state = QString::fromStdString(
            SafeSprintf(CTextsMgr::Text("DIALOG_BATTERY_HISTORY_REFUSED"), read.refused));
    }
    _state->setText(state);
    _state->setVisible(!state.isEmpty());
    _graph->SetHistory(std::move(read.samples));
    Refresh();
}

void CPropertyPageHistory::SetScale(int64_t seconds) {
    if (!_graph) {
        return;
    }
    _graph->SetSpan(seconds);
    if (_scales) {
        for (QAction* action : _scales->actions()) {
            action->setChecked(action->objectName() == QString("scale_%1").arg(seconds));
        }
    }
    Refresh();
}

void CPropertyPageHistory::Refresh() {
    QStringList lines;
    if (!_graph->GetHistory().empty()) {
        for (const std::string& line : Statistics(_graph->Visible())) {
            lines << QString::fromStdString(line);
        }
    }
    _statistics->setText(lines.join('\n'));
    _statistics->setVisible(!lines.isEmpty());
}

QString CPropertyPageHistory::GetStatistics() const {
    return _statistics ? _statistics->text() : QString();
}

QString CPropertyPageHistory::GetState() const {
    return _state ? _state->text() : QString();
}

void CPropertyPageHistory::ClearHistory() {
    if (CRilMgr* ril = CRilMgr::GetInstance()) {
        // The location engine asks, keeps the ".bak" copy and starts the file with the present value.
        if (_kind == Kind::Battery) {
            ril->ClearBatteryHistory();
        } else {
            ril->ClearCurrentHistory();
        }
    } else {
        // Nothing writes the file while no location engine runs: keep the copy and empty it here.
        const char* question = _kind == Kind::Battery ? "DIALOG_BATTERY_CLEAN_HISTORY_CONFIRMATION"
                                                      : "DIALOG_CURRENT_CLEAN_HISTORY_CONFIRMATION";
        if (QuestionBox("%s", CTextsMgr::Text(question)) != IDYES_ANSWER) {
            return;
        }
        const std::filesystem::path path = HistoryPath();
        std::filesystem::path backup = path;
        backup.replace_extension(".bak");
        std::error_code ec;
        std::filesystem::remove(backup, ec);
        std::filesystem::rename(path, backup, ec);
        if (ec) {
            LogFormateado(1, "History not cleared: %s: %s", path.string(), ec.message());
        } else {
            std::ofstream(path, std::ios::binary | std::ios::trunc);
        }
    }
    Reload();
}

bool CPropertyPageHistory::ExportHistory() {
    const std::string target = file_choice::Ask(this, true, CTextsMgr::Text("DIALOG_BATTERY_MENU_EXPORT"),
                                                FileName(_kind), "Text File (*.txt);;All (*)");
    if (target.empty()) {
        return false;
    }
    // The lines as the history writes them, in UTF-8: readable anywhere, and read back by the
    // compare command.
    const CHistoryReader::Result read = CHistoryReader::Read(HistoryPath(), _kind);
    if (!read.opened) {
        TextBox(SafeSprintf(CTextsMgr::Text("DIALOG_BATTERY_HISTORY_NOT_READ"), HistoryPath().string()));
        return false;
    }
    std::string text;
    for (const CHistoryReader::Sample& sample : read.samples) {
        text += CHistoryReader::FormatLine(sample, _kind) + "\r\n";
    }
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        TextBox(SafeSprintf(CTextsMgr::Text("DIALOG_BATTERY_EXPORT_FAILED"), target));
        return false;
    }
    TextBox(SafeSprintf(CTextsMgr::Text("DATA EXPORTED TO"), target));
    return true;
}

bool CPropertyPageHistory::CompareHistory() {
    const std::string source = file_choice::Ask(this, false, CTextsMgr::Text("DIALOG_BATTERY_MENU_COMPARE"),
                                                GetCurrentDirectory(), "Text File (*.txt *.bak);;All (*)");
    if (source.empty() || !_graph) {
        return false;
    }
    CHistoryReader::Result read = CHistoryReader::Read(source, _kind);
    if (!read.opened) {
        TextBox(SafeSprintf(CTextsMgr::Text("DIALOG_BATTERY_HISTORY_NOT_READ"), source));
        return false;
    }
    if (read.samples.empty()) {
        TextBox(SafeSprintf(CTextsMgr::Text("DIALOG_BATTERY_COMPARE_EMPTY"), source));
        return false;
    }
    _graph->SetCompare(std::move(read.samples));
    return true;
}

std::string CPropertyPageHistory::GenerateBitmap() {
    if (!_graph) {
        return {};
    }
    const SYSTEMTIME now = platform::Services::get().clock().localTime();
    const std::string name = SafeSprintf("%04d%02d%02d_%02d%02d%02d.bmp", now.wYear, now.wMonth, now.wDay,
                                         now.wHour, now.wMinute, now.wSecond);
    const std::string path = GetCurrentDirectory() + "/" + name;
    if (!_graph->Render(kBitmapSize).save(QString::fromStdString(path), "BMP")) {
        TextBox(SafeSprintf(CTextsMgr::Text("DIALOG_BATTERY_BITMAP_FAILED"), path));
        return {};
    }
    TextBox(SafeSprintf(CTextsMgr::Text("DIALOG_BATTERY_BITMAP_EXPORTED_AS"), name));
    return name;
}

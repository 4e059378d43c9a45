#include "dialogs/CDialogModalEventLogOptions.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QVBoxLayout>
#include <exception>

#include "core/CTextsMgr.h"
#include "core/MessageBoxes.h"
#include "core/ProgramFolder.h"
#include "dialogs/PageFields.h"

CDialogModalEventLogOptions::CDialogModalEventLogOptions(QWidget* parent, int templateId)
    : CDialogModalBase(parent, templateId, "DIALOG_EVENT_LOG_MENU_OPTIONS") {}

void CDialogModalEventLogOptions::OnInitDialog() {
    using namespace page_fields;
    _items = AddNumber(Content(), "DIALOG_EVENT_LOG_ITEMS_SCREEN", "events_log_items_screen",
                       GetLong("events_log_items_screen"));
    _size = AddNumber(Content(), "DIALOG_EVENT_LOG_FILE_MAX_SIZE", "events_log_file_max_size",
                      GetLong("events_log_file_max_size"));
    _write = AddCheck(Content(), "DIALOG_EVENT_LOG_WRITE_TO_FILE", "events_log_write_to_file",
                      GetLong("events_log_write_to_file") != 0);
    std::string path = GetText("events_log_path");
    if (path.empty()) {
        path = GetCurrentDirectory() + "/log.txt";
    }
    _path = AddText(Content(), "DIALOG_EVENT_LOG_PATH", "events_log_path", path);
    page_fields::UseScreenFont(this);
}

bool CDialogModalEventLogOptions::OnSave() {
    using namespace page_fields;
    try {
        StoreNumberIfFilled(_items, "events_log_items_screen");
        StoreNumberIfFilled(_size, "events_log_file_max_size");
        StoreCheck(_write, "events_log_write_to_file");
        // An empty path is the default file "log.txt" in the program folder.
        const std::string path = _path->text().trimmed().toStdString();
        SetText("events_log_path", path.empty() ? GetCurrentDirectory() + "/log.txt" : path);
    } catch (const std::exception& e) {
        ReportError(e.what());
        return false;
    }
    TextBox(CTextsMgr::Text("RESTART TO APPLY"));
    return true;
}

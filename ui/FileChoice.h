#pragma once

#include <string>

class QWidget;

namespace file_choice {

// A file chosen by the user, as the main window asks for one: ZENTROVA_FILE_ANSWER when set
// (empty cancels), else a file dialog; empty when cancelled or when nobody can answer (offscreen,
// or message boxes answered by policy). `filter` is a Qt file-dialog filter.
std::string Ask(QWidget* parent, bool save, const std::string& title, const std::string& start,
                const std::string& filter);

}  // namespace file_choice

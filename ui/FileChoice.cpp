#include "ui/FileChoice.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <cstdlib>

namespace file_choice {

std::string Ask(QWidget* parent, bool save, const std::string& title, const std::string& start,
                const std::string& filter) {
    if (const char* answer = std::getenv("ZENTROVA_FILE_ANSWER")) {
        return answer;
    }
    const QString platform = QGuiApplication::platformName();
    if (std::getenv("ZENTROVA_BOX_ANSWER") || platform == "offscreen" || platform == "minimal") {
        return {};
    }
    const QString caption = QString::fromStdString(title);
    const QString from = QString::fromStdString(start);
    const QString filters = QString::fromStdString(filter);
    const QString chosen = save ? QFileDialog::getSaveFileName(parent, caption, from, filters)
                                : QFileDialog::getOpenFileName(parent, caption, from, filters);
    return chosen.toStdString();
}

}  // namespace file_choice

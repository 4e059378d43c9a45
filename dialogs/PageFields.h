#pragma once

#include <QString>
#include <cstdint>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QVBoxLayout;
class QWidget;

// The controls the settings pages and dialogs are made of, each named after the setting it edits
// (so that tests and the help find them), and the settings they read and write. Settings are read
// and written through CConfigurationZentrova; a value that cannot be read shows as 0 or empty.
namespace page_fields {

// A scrolling column inside `content`: pages taller than the screen scroll instead of being cut.
QVBoxLayout* ScrollingColumn(QVBoxLayout* content);

QLabel* AddLabel(QVBoxLayout* layout, const QString& text, const QString& name = QString());
// A check box with its caption beside it; the caption wraps on narrow screens.
QCheckBox* AddCheck(QVBoxLayout* layout, const std::string& captionKey, const std::string& name, bool ticked);
// Changes, and reads, the caption of a check box made by AddCheck.
void SetCheckCaption(QCheckBox* box, const QString& caption);
QString CheckCaption(const QCheckBox* box);
// A whole-number field under its caption; `value` shown as it is.
QLineEdit* AddNumber(QVBoxLayout* layout, const std::string& captionKey, const std::string& name,
                     uint32_t value);
QLineEdit* AddText(QVBoxLayout* layout, const std::string& captionKey, const std::string& name,
                   const std::string& value);
QComboBox* AddCombo(QVBoxLayout* layout, const std::string& captionKey, const std::string& name);

uint32_t GetLong(const std::string& name);
std::string GetText(const std::string& name);
void SetLong(const std::string& name, uint32_t value);
void SetText(const std::string& name, const std::string& value);

// Stores the check box as 1 or 0 (`inverted`: ticked stores 0).
void StoreCheck(const QCheckBox* box, const std::string& name, bool inverted = false);
// The number in `field`; false when the field is empty (or holds no number).
bool ReadNumber(const QLineEdit* field, uint32_t& value);
// Stores the number of a filled field; an empty field leaves the setting as it was.
void StoreNumberIfFilled(const QLineEdit* field, const std::string& name);

QString Text(const std::string& key);

// Gives `root` and every widget in it the text size of the screen `root` is shown on (bold kept).
// Run once the controls are built and `root` sits in its window: fonts set on a window with a style
// sheet do not reach the widgets added to it later.
void UseScreenFont(QWidget* root);

}  // namespace page_fields

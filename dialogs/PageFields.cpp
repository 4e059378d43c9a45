#include "dialogs/PageFields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QVBoxLayout>
#include <exception>

#include "core/CConfigurationZentrova.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"

namespace page_fields {

QString Text(const std::string& key) {
    return QString::fromStdString(CTextsMgr::Text(key));
}

QVBoxLayout* ScrollingColumn(QVBoxLayout* content) {
    auto* scroll = new QScrollArea();
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* body = new QWidget();
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(4);
    scroll->setWidget(body);
    content->addWidget(scroll, 1);
    return column;
}

QLabel* AddLabel(QVBoxLayout* layout, const QString& text, const QString& name) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setObjectName(name);
    layout->addWidget(label);
    return label;
}

QCheckBox* AddCheck(QVBoxLayout* layout, const std::string& captionKey, const std::string& name,
                    bool ticked) {
    // The caption is a wrapping label beside the box, so long captions fit a narrow screen.
    auto* box = new QCheckBox(Text(captionKey));
    box->setObjectName(QString::fromStdString(name));
    box->setChecked(ticked);
    box->setStyleSheet("QCheckBox { spacing: 4px; }");
    layout->addWidget(box);
    return box;
}

QLineEdit* AddNumber(QVBoxLayout* layout, const std::string& captionKey, const std::string& name,
                     uint32_t value) {
    QLineEdit* field = AddText(layout, captionKey, name, std::to_string(value));
    field->setValidator(new QIntValidator(0, 999999, field));
    return field;
}

QLineEdit* AddText(QVBoxLayout* layout, const std::string& captionKey, const std::string& name,
                   const std::string& value) {
    if (!captionKey.empty()) {
        AddLabel(layout, Text(captionKey));
    }
    auto* field = new QLineEdit(QString::fromStdString(value));
    field->setObjectName(QString::fromStdString(name));
    layout->addWidget(field);
    return field;
}

QComboBox* AddCombo(QVBoxLayout* layout, const std::string& captionKey, const std::string& name) {
    if (!captionKey.empty()) {
        AddLabel(layout, Text(captionKey));
    }
    auto* combo = new QComboBox();
    combo->setObjectName(QString::fromStdString(name));
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(8);
    layout->addWidget(combo);
    return combo;
}

uint32_t GetLong(const std::string& name) {
    try {
        return CConfigurationZentrova::GetInstance()->GetLongParameter(name);
    } catch (const std::exception& e) {
        LogFormateado(1, "Setting %s: %s", name.c_str(), e.what());
        return 0;
    }
}

std::string GetText(const std::string& name) {
    std::string value;
    try {
        CConfigurationZentrova::GetInstance()->GetStringParameter(name, value);
    } catch (const std::exception& e) {
        LogFormateado(1, "Setting %s: %s", name.c_str(), e.what());
        value.clear();
    }
    return value;
}

void SetLong(const std::string& name, uint32_t value) {
    CConfigurationZentrova::GetInstance()->SetLongParameter(name, value);
}

void SetText(const std::string& name, const std::string& value) {
    CConfigurationZentrova::GetInstance()->SetRegistryParameter(name, value);
}

void StoreCheck(const QCheckBox* box, const std::string& name, bool inverted) {
    SetLong(name, box->isChecked() != inverted ? 1 : 0);
}

bool ReadNumber(const QLineEdit* field, uint32_t& value) {
    bool ok = false;
    const QString text = field->text().trimmed();
    const uint number = text.toUInt(&ok);
    if (text.isEmpty() || !ok) {
        return false;
    }
    value = number;
    return true;
}

void StoreNumberIfFilled(const QLineEdit* field, const std::string& name) {
    uint32_t value = 0;
    if (ReadNumber(field, value)) {
        SetLong(name, value);
    }
}

}  // namespace page_fields

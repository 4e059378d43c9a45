#include "dialogs/PageFields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QTextDocumentFragment>
#include <QVBoxLayout>
#include <QVariant>
#include <exception>

#include "core/CConfigurationZentrova.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "dialogs/DialogStyle.h"

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
    // A check box cannot wrap its text: the caption is a wrapping label beside the box, and a tap
    // on it toggles the box as a tap on the box's own text would.
    auto* row = new QWidget();
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(4);
    auto* box = new QCheckBox();
    box->setObjectName(QString::fromStdString(name));
    box->setChecked(ticked);
    auto* caption = new QLabel();
    caption->setObjectName(QString::fromStdString(name + "_caption"));
    caption->setWordWrap(true);
    caption->setTextFormat(Qt::RichText);
    caption->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QObject::connect(caption, &QLabel::linkActivated, box, [box] { box->toggle(); });
    box->setProperty("caption", QVariant::fromValue(static_cast<QObject*>(caption)));
    line->addWidget(box, 0, Qt::AlignTop);
    line->addWidget(caption, 1);
    layout->addWidget(row);
    SetCheckCaption(box, Text(captionKey));
    return box;
}

void SetCheckCaption(QCheckBox* box, const QString& caption) {
    auto* label = qobject_cast<QLabel*>(box->property("caption").value<QObject*>());
    if (!label) {
        box->setText(caption);
        return;
    }
    label->setText(QString("<a href=\"toggle\" style=\"color: %1; text-decoration: none;\">%2</a>")
                       .arg(dialog_style::kText.name(), caption.toHtmlEscaped()));
}

QString CheckCaption(const QCheckBox* box) {
    auto* label = qobject_cast<QLabel*>(box->property("caption").value<QObject*>());
    return label ? QTextDocumentFragment::fromHtml(label->text()).toPlainText() : box->text();
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

void UseScreenFont(QWidget* root) {
    root->setFont(dialog_style::Font(root, root->font().bold()));
    for (QWidget* child : root->findChildren<QWidget*>()) {
        child->setFont(dialog_style::Font(root, child->font().bold()));
    }
}

}  // namespace page_fields

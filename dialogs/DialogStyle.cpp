#include "dialogs/DialogStyle.h"

#include <QApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

namespace dialog_style {

int FontPixels(const QWidget* widget) {
    const QWidget* top = widget ? widget->window() : nullptr;
    const QWidget* parent = top && top->parentWidget() ? top->parentWidget()->window() : top;
    const int side = parent ? std::min(parent->width(), parent->height()) : 240;
    return side >= 480 ? 18 : 12;
}

QFont Font(const QWidget* widget, bool bold) {
    QFont font("DejaVu Sans");
    font.setPixelSize(FontPixels(widget));
    font.setBold(bold);
    return font;
}

void Apply(QWidget* widget) {
    if (!widget) {
        return;
    }
    widget->setFont(Font(widget));
    const QString sheet =
        QStringLiteral(
            "QWidget { background: %1; color: %2; }"
            "QLineEdit, QSpinBox, QComboBox, QTimeEdit, QPlainTextEdit, QListWidget, QTreeWidget,"
            " QTableWidget { background: %3; color: %2; border: 1px solid %4; padding: 2px; }"
            "QPushButton { background: %3; color: %2; border: 1px solid %4; padding: 3px 6px; }"
            "QPushButton:focus, QLineEdit:focus, QSpinBox:focus, QComboBox:focus { border: 1px "
            "solid %5; }"
            "QPushButton:disabled { color: %4; }"
            "QTabBar::tab { background: %3; color: %6; padding: 3px 5px; }"
            "QTabBar::tab:selected { color: %2; border-bottom: 2px solid %5; }"
            "QHeaderView::section { background: %3; color: %6; border: none; padding: 2px; }"
            "QCheckBox::indicator { border: 1px solid %4; background: %3; width: 12px; height: 12px; }"
            "QCheckBox::indicator:checked { background: %5; }"
            "QMenu { background: %3; color: %2; } QMenu::item:selected { background: %5; color: %1; }")
            .arg(kBackground.name(), kText.name(), kPanel.name(), QColor(71, 85, 105).name(), kAccent.name(),
                 kDimText.name());
    widget->setStyleSheet(sheet);
}

QVBoxLayout* CoverOwner(QWidget* dialog) {
    if (QWidget* owner = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr) {
        dialog->setGeometry(owner->geometry());
    } else {
        dialog->resize(240, 320);
    }
    Apply(dialog);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

}  // namespace dialog_style

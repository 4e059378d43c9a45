#include "dialogs/CSoftKeyBar.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPushButton>

#include "core/CTextsMgr.h"
#include "dialogs/DialogStyle.h"

CSoftKeyBar::CSoftKeyBar(QWidget* parent) : QWidget(parent) {
    setObjectName("softkeys");
    setFixedHeight(kHeight);
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(
        "QWidget#softkeys { background: rgb(40, 60, 110); }"
        "QPushButton { background: transparent; border: none; color: white; padding: 2px 8px; }"
        "QPushButton:focus { border: none; text-decoration: underline; }");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 0, 2, 0);
    _left = new QPushButton(this);
    _left->setObjectName("softkey_left");
    _right = new QPushButton(this);
    _right->setObjectName("softkey_right");
    layout->addWidget(_left);
    layout->addStretch(1);
    layout->addWidget(_right);
    _left->hide();
    _right->hide();
    connect(_left, &QPushButton::clicked, this, [this] {
        if (_leftAction) {
            _leftAction();
        }
    });
    connect(_right, &QPushButton::clicked, this, [this] {
        if (_menu) {
            _menu->popup(_right->mapToGlobal(
                QPoint(_right->width() - _menu->sizeHint().width(), -_menu->sizeHint().height())));
        } else if (_rightAction) {
            _rightAction();
        }
    });
}

void CSoftKeyBar::SetLeft(const std::string& captionKey, std::function<void()> action) {
    _leftAction = std::move(action);
    _left->setText(QString::fromStdString(captionKey.empty() ? "" : CTextsMgr::Text(captionKey)));
    _left->setVisible(!captionKey.empty());
}

void CSoftKeyBar::SetRight(const std::string& captionKey, std::function<void()> action) {
    _rightAction = std::move(action);
    _menu = nullptr;
    _right->setText(QString::fromStdString(captionKey.empty() ? "" : CTextsMgr::Text(captionKey)));
    _right->setVisible(!captionKey.empty());
}

void CSoftKeyBar::SetRightMenu(const std::string& captionKey, QMenu* menu) {
    SetRight(captionKey, nullptr);
    _menu = menu;
}

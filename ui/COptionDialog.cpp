#include "ui/COptionDialog.h"

#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>
#include <map>
#include <mutex>

#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "ui/CButtonOwnFixed.h"

namespace {

constexpr int kTop = 20;     // the title band above the buttons
constexpr int kMargin = 3;   // left and right of a row
constexpr int kRowGap = 2;   // between rows
constexpr int kBottom = 15;  // below the last row
constexpr int kDefaultY = 30;

std::mutex g_openLock;
std::map<CBaseWindow*, COptionDialog*> g_open;   // by owner
std::map<CBaseWindow*, std::string> g_openText;  // what DescribeOpen tells of each

// Swallows every input the owner would get while a popup is open; a tap on it cancels the popup.
class Shield : public QObject {
  public:
    explicit Shield(COptionDialog* popup) : QObject(popup), _popup(popup) {}
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonRelease:
                _popup->OnOptionSelected(COptionDialog::kCancel);
                return true;
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::Wheel:
                return true;
            default:
                return false;
        }
    }

  private:
    COptionDialog* _popup;
};

}  // namespace

COptionDialog::COptionDialog(const std::string& title, int x, int y, int width, int height,
                             QWidget* ownerWindow, CBaseWindow* owner)
    : _title(title), _x(x), _y(y), _width(width), _height(height), _ownerWindow(ownerWindow), _owner(owner) {
    setObjectName(kClassName);
    if (ownerWindow) {
        setParent(ownerWindow);
    }
    hide();
}

COptionDialog::~COptionDialog() {
    {
        std::lock_guard lock(g_openLock);
        if (auto it = g_open.find(_owner); it != g_open.end() && it->second == this) {
            g_open.erase(it);
            g_openText.erase(_owner);
        }
    }
    ReleaseOwner();
    if (_loop) {
        _loop->quit();
    }
}

COptionDialog* COptionDialog::GetOpen(CBaseWindow* owner) {
    std::lock_guard lock(g_openLock);
    auto it = g_open.find(owner);
    return it == g_open.end() ? nullptr : it->second;
}

std::string COptionDialog::DescribeOpen() {
    std::lock_guard lock(g_openLock);
    std::string out;
    for (const auto& [owner, text] : g_openText) {
        out += text;
    }
    return out;
}

CButtonOwnFixed* COptionDialog::AddButton(int id, const std::string& skinId, const std::string& caption,
                                          const std::string& fileImage) {
    auto* button = new CButtonOwnFixed(this, id, skinId, caption, fileImage);  // owned by the popup
    _choices.push_back(button);
    return button;
}

CButtonOwnFixed* COptionDialog::AddButton(int id, const std::string& caption, CButtonOwnDrawImage* images,
                                          int status) {
    CButtonOwnFixed* button = AddButton(id, images ? images->GetSkinName() : std::string("cancel"), caption);
    if (images) {
        button->SetButtonForGettingImages(images, status);
    }
    return button;
}

CButtonOwnFixed* COptionDialog::FindButton(int id) const {
    for (CButtonOwnFixed* button : _choices) {
        if (button->GetId() == id) {
            return button;
        }
    }
    return _cancel && _cancel->GetId() == id ? _cancel : nullptr;
}

int COptionDialog::InitGUI(uintptr_t, const std::string&, int) {
    if (_created) {
        return 1;
    }
    _created = true;
    _cancel = new CButtonOwnFixed(this, kCancel, GetCancelSkinId(),
                                  CTextsMgr::GetInstance()->GetText("CANCEL"), "cancel.png");
    if (!CButtonOwnDrawImage::GetCachedConfig(GetCancelSkinId())) {
        // A skin without the small cancel button: the usual one.
        _cancel->SetSkinName("cancel");
        _cancel->GetConfigFromXML();
        _cancel->resize(CButtonOwnFixed::kWidth, CButtonOwnFixed::kHeight);
    }
    std::vector<CButtonOwnFixed*> all = _choices;
    all.push_back(_cancel);
    for (CButtonOwnFixed* button : all) {
        RegisterOwnerButton(button);
    }

    QWidget* owner = _ownerWindow.data();
    CBaseWindow* ownerBase = dynamic_cast<CBaseWindow*>(owner);
    const QRect client =
        ownerBase ? ownerBase->ClientRect() : (owner ? owner->rect() : QRect(0, 0, 240, 320));
    const int ownerWidth = std::max(client.width(), 1);
    int total = 0;
    int buttonHeight = _cancel->height();
    int buttonWidth = 0;
    for (CButtonOwnFixed* button : all) {
        total += button->width();
        buttonWidth = std::max(buttonWidth, button->width());
        buttonHeight = std::max(buttonHeight, button->height());
    }
    int width = _width > 0 ? _width : total;
    int x = _x > 0 ? _x : std::max(ownerWidth / 2 - width / 2, 0);
    int y = _y > 0 ? _y : kDefaultY;
    const int windowWidth = std::min(ownerWidth, width + 10);
    // As many buttons a row as fit across the popup.
    const int perRow = std::max(1, (windowWidth - 2 * kMargin) / std::max(buttonWidth, 1));
    const int rows = (static_cast<int>(all.size()) + perRow - 1) / perRow;
    const int needed = kTop + rows * (buttonHeight + kRowGap) - kRowGap + kBottom;
    int height = std::max(_height > 0 ? _height : 0, needed);
    const int available = client.height();
    if (y + height > client.bottom() + 1) {
        y = std::max(client.top(), client.bottom() + 1 - height);
    }
    height = std::min(height, available - (y - client.top()));
    x = std::clamp(x, 0, std::max(ownerWidth - windowWidth, 0));
    setGeometry(x, y, windowWidth, height);

    const QRect area(0, kTop, windowWidth, height - kTop - kBottom / 2);
    if (needed > height) {
        // Taller than the window: the rows scroll under the title.
        _scroll = new QScrollArea(this);
        _scroll->setFrameShape(QFrame::NoFrame);
        _scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        _scroll->setWidgetResizable(false);
        _scroll->setStyleSheet("background: transparent;");
        auto* content = new QWidget();
        content->resize(windowWidth - _scroll->verticalScrollBar()->sizeHint().width(),
                        rows * (buttonHeight + kRowGap));
        for (CButtonOwnFixed* button : all) {
            button->setParent(content);
        }
        _scroll->setWidget(content);  // owned by the scroll area
        _scroll->setGeometry(area);
        PlaceButtons(content->rect());
    } else {
        PlaceButtons(area);
    }

    if (owner) {
        // The owner takes no input while the popup is open; a tap outside it cancels.
        _shield = std::make_unique<QWidget>(owner);
        _shield->setGeometry(owner->rect());
        _shield->setAttribute(Qt::WA_NoSystemBackground);
        _shield->setAttribute(Qt::WA_TranslucentBackground);
        _shield->installEventFilter(new Shield(this));  // a child of the popup
        _shield->show();
        _shield->raise();
    }
    show();
    raise();
    if (!all.empty()) {
        all.front()->setFocus(Qt::OtherFocusReason);
    }
    return 1;
}

void COptionDialog::PlaceButtons(const QRect& area) {
    std::vector<CButtonOwnFixed*> all = _choices;
    all.push_back(_cancel);
    int buttonWidth = 1;
    int buttonHeight = 1;
    for (CButtonOwnFixed* button : all) {
        buttonWidth = std::max(buttonWidth, button->width());
        buttonHeight = std::max(buttonHeight, button->height());
    }
    const int perRow = std::max(1, (area.width() - 2 * kMargin) / buttonWidth);
    const int count = static_cast<int>(all.size());
    for (int i = 0; i < count; ++i) {
        const int row = i / perRow;
        const int inRow = std::min(perRow, count - row * perRow);
        // Each row is centred across the popup.
        const int left = area.left() + (area.width() - inRow * buttonWidth) / 2;
        all[static_cast<size_t>(i)]->move(left + (i % perRow) * buttonWidth,
                                          area.top() + row * (buttonHeight + kRowGap));
        all[static_cast<size_t>(i)]->show();
    }
}

int COptionDialog::ShowModal() {
    InitGUI(0, "", 1);
    if (_owner) {
        _owner->SetDialogShowed(this);
    }
    {
        std::string text =
            std::string("popup=") + GetClassName() + "\npopup_title=" + _title + "\npopup_ids=";
        for (CButtonOwnFixed* button : _choices) {
            text += std::to_string(button->GetId()) + ",";
        }
        text += std::to_string(kCancel) + "\n";
        std::lock_guard lock(g_openLock);
        g_open[_owner] = this;
        g_openText[_owner] = text;
    }
    if (isVisible() && !IsDestroyed()) {
        QEventLoop loop;
        _loop = &loop;
        loop.exec();
        _loop = nullptr;
    }
    {
        std::lock_guard lock(g_openLock);
        if (auto it = g_open.find(_owner); it != g_open.end() && it->second == this) {
            g_open.erase(it);
            g_openText.erase(_owner);
        }
    }
    ReleaseOwner();
    return _selected;
}

void COptionDialog::ReleaseOwner() {
    if (_shield) {
        _shield->hide();
        _shield.reset();
    }
    if (_owner && _owner->GetDialogShowed() == this) {
        _owner->SetDialogShowed(nullptr);
    }
}

void COptionDialog::OnOptionSelected(int id) {
    _selected = id;
    ReleaseOwner();
    DestroyWindow();
}

LRESULT COptionDialog::OnCommand(WPARAM wParam, LPARAM) {
    OnOptionSelected(static_cast<int>(wParam & 0xFFFF));
    return 1;
}

void COptionDialog::OnDestroy() {
    if (_loop) {
        _loop->quit();
    }
}

void COptionDialog::OnSize(int, int) {}

void COptionDialog::OnPaint(QPainter& painter) {
    painter.setPen(QPen(QColor(50, 200, 50), 3));
    painter.setBrush(QColor(168, 255, 188));
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
    QFont font("Tahoma");
    font.setPixelSize(12);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QRect band(4, 5, width() - 8, 15);
    painter.drawText(
        band, Qt::AlignCenter,
        painter.fontMetrics().elidedText(QString::fromStdString(_title), Qt::ElideRight, band.width()));
}

void COptionDialog::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Back) {
        OnOptionSelected(kCancel);
        return;
    }
    CBaseWindow::keyReleaseEvent(event);
}

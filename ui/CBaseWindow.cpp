#include "ui/CBaseWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QThread>
#include <map>

#include "platform/CWindowHandles.h"
#include "ui/CButtonOwnDrawImage.h"
#include "ui/CSkinMgr.h"
#include "ui/CWindowMessageEvent.h"

namespace {

std::mutex g_windowsLock;
std::map<HWND, CBaseWindow*> g_windows;

}  // namespace

CBaseWindow::CBaseWindow() : _link(std::make_shared<Link>()) {
    _link->window = this;
    std::weak_ptr<Link> weak = _link;
    platform::CWindowHandles::Receiver receiver;
    receiver.post = [weak](UINT message, WPARAM wParam, LPARAM lParam) {
        if (auto link = weak.lock()) {
            std::lock_guard lock(link->lock);
            if (link->window) {
                // Qt owns the event from here on.
                QCoreApplication::postEvent(link->window, new CWindowMessageEvent(message, wParam, lParam));
            }
        }
    };
    receiver.send = [weak](UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        auto link = weak.lock();
        if (!link) {
            return 0;
        }
        std::unique_lock lock(link->lock);
        if (!link->window) {
            return 0;
        }
        if (QThread::currentThread() == link->window->thread()) {
            CBaseWindow* window = link->window;
            lock.unlock();
            return window->ProcessMsg(message, wParam, lParam);
        }
        auto event = std::make_unique<CWindowMessageEvent>(message, wParam, lParam);
        event->reply.emplace();
        std::future<LRESULT> result = event->reply->get_future();
        QCoreApplication::postEvent(link->window, event.release());
        lock.unlock();
        try {
            return result.get();
        } catch (const std::future_error&) {
            return 0;  // the window went away before handling it
        }
    };
    _handle = platform::CWindowHandles::Register(std::move(receiver));
    std::lock_guard lock(g_windowsLock);
    g_windows[_handle] = this;
}

CBaseWindow::~CBaseWindow() {
    platform::CWindowHandles::Unregister(_handle);
    {
        std::lock_guard lock(g_windowsLock);
        g_windows.erase(_handle);
    }
    std::lock_guard lock(_link->lock);
    _link->window = nullptr;
}

CBaseWindow* CBaseWindow::GetWindow(HWND handle) {
    std::lock_guard lock(g_windowsLock);
    auto it = g_windows.find(handle);
    return it == g_windows.end() ? nullptr : it->second;
}

int CBaseWindow::InitGUIBase(uintptr_t hInstance, const std::string& commandLine, int showMode) {
    _hInstance = hInstance;
    return InitGUI(hInstance, commandLine, showMode);
}

LRESULT CBaseWindow::ProcessMsg(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_COMMAND:
            return OnCommand(wParam, lParam);
        case WM_KEYUP:
            OnKeyUp(static_cast<int>(wParam));
            return 0;
        case WM_ACTIVATE:
            OnActivate((wParam & 0xFFFF) != 0);
            return 0;
        default:
            return ProcessMsgChild(message, wParam, lParam);
    }
}

void CBaseWindow::OnClose() {
    DestroyWindow();
}

LRESULT CBaseWindow::OnCommand(WPARAM, LPARAM) {
    return 0;
}

void CBaseWindow::OnDestroy() {}

LRESULT CBaseWindow::ProcessMsgChild(UINT, WPARAM, LPARAM) {
    return 0;
}

void CBaseWindow::DestroyWindow() {
    if (_destroyed) {
        return;
    }
    _destroyed = true;
    hide();
    ProcessMsg(WM_DESTROY, 0, 0);
}

void CBaseWindow::closeEvent(QCloseEvent* event) {
    // The window system's close request is a WM_CLOSE: the window decides whether it closes.
    event->ignore();
    ProcessMsg(WM_CLOSE, 0, 0);
}

void CBaseWindow::customEvent(QEvent* event) {
    if (event->type() != CWindowMessageEvent::EventType()) {
        QWidget::customEvent(event);
        return;
    }
    auto* message = static_cast<CWindowMessageEvent*>(event);
    LRESULT result = ProcessMsg(message->message, message->wParam, message->lParam);
    if (message->reply) {
        message->reply->set_value(result);
    }
}

void CBaseWindow::RegisterOwnerButton(CButtonOwnDrawImage* button) {
    if (!button) {
        return;
    }
    _buttons.push_back(button);
    _buttonsById[button->GetId()] = button;
}

void CBaseWindow::OnEnterButton() {
    for (CButtonOwnDrawImage* button : _buttons) {
        if (button->hasFocus() && button->isEnabled()) {
            button->click();
            return;
        }
    }
}

void CBaseWindow::OnCreate() {
    _orientation = kNoOrientation;
}

void CBaseWindow::OnSize(int width, int height) {
    CSkinMgr::SetScreenSize(width, height);
    CSkinMgr* skin = CSkinMgr::GetInstance();
    skin->RefreshCaps();
    if (height > width) {
        _resolution = height == 640 ? 2 : 1;
        _buttonWidth = 60;
        _buttonHeight = 65;
    } else if (width > height) {
        _resolution = height == 480 ? 2 : 1;
        _buttonWidth = height == 480 ? 60 : 40;
        _buttonHeight = height == 480 ? 65 : 45;
    } else {
        _buttonWidth = 40;
        _buttonHeight = 45;
    }
    const int orientation = skin->GetOrientation();
    if (orientation == _orientation) {
        return;
    }
    _orientation = orientation;
    Reorder(1);
    update();
}

void CBaseWindow::Reorder(int) {
    ReorderShell();
}

void CBaseWindow::ReorderShell() {
    const QRect client = ClientRect();
    int baseline = client.bottom() + 1 - (_resolution == 2 ? 50 : 25);
    int x = client.left();
    CButtonOwnDrawImage* currentLocation = GetCurrentLocationButton();
    for (CButtonOwnDrawImage* button : _buttons) {
        const CRectConfig& skin = button->GetConfig().position;
        if (button == currentLocation) {
            // Its own place and size; where the skin gives none, the top of the panel.
            const int w = skin.cx > 0 ? skin.cx : client.width();
            const int h = skin.cy > 0 ? skin.cy : _buttonHeight * 2;
            button->setGeometry(skin.x >= 0 ? skin.x : client.left(), skin.y >= 0 ? skin.y : client.top(), w,
                                h);
            continue;
        }
        const bool flow = button->GetReorder() != 0;
        const int w = flow || skin.cx <= 0 ? _buttonWidth : skin.cx;
        const int h = flow || skin.cy <= 0 ? _buttonHeight : skin.cy;
        if (x > client.right() + 1 - _buttonWidth) {
            baseline -= _buttonHeight;
            x = client.left();
        }
        if (flow || skin.x < 0 || skin.y < 0) {
            button->setGeometry(x, baseline - h, w, h);
        } else {
            button->setGeometry(skin.x, skin.y, w, h);
        }
        x += _buttonWidth;
    }
    _rowsTop = baseline - _buttonHeight;
    ++_layouts;
    ReorderShellChild();
}

void CBaseWindow::OnPaint(QPainter&) {}

void CBaseWindow::MoveFocus(int step) {
    const int n = static_cast<int>(_buttons.size());
    if (n == 0) {
        return;
    }
    int current = -1;
    for (int i = 0; i < n; ++i) {
        if (_buttons[static_cast<size_t>(i)]->hasFocus()) {
            current = i;
        }
    }
    int i = current < 0 ? (step > 0 ? -1 : n) : current;
    for (int tries = 0; tries < n; ++tries) {
        i = (i + step + n) % n;
        CButtonOwnDrawImage* candidate = _buttons[static_cast<size_t>(i)];
        if (candidate->isEnabled()) {
            candidate->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void CBaseWindow::OnKeyUp(int key) {
    switch (key) {
        case kKeyDown:
        case kKeyTab:
        case kKeyRight:
            MoveFocus(1);
            break;
        case kKeyUp:
        case kKeyLeft:
            MoveFocus(-1);
            break;
        case kKeyAction:
            OnEnterButton();
            break;
        default:
            break;
    }
}

void CBaseWindow::OnActivate(bool) {}

void CBaseWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    OnSize(width(), height());
}

void CBaseWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    OnPaint(painter);
}

void CBaseWindow::keyReleaseEvent(QKeyEvent* event) {
    // The keypad's codes: arrows, tab and the action key.
    int key = 0;
    switch (event->key()) {
        case Qt::Key_Left:
            key = kKeyLeft;
            break;
        case Qt::Key_Up:
            key = kKeyUp;
            break;
        case Qt::Key_Right:
            key = kKeyRight;
            break;
        case Qt::Key_Down:
            key = kKeyDown;
            break;
        case Qt::Key_Tab:
            key = kKeyTab;
            break;
        case Qt::Key_F6:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            key = kKeyAction;
            break;
        default:
            QWidget::keyReleaseEvent(event);
            return;
    }
    OnKeyUp(key);
}

void CBaseWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) {
        OnActivate(isActiveWindow());
    }
    QWidget::changeEvent(event);
}

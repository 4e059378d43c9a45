#include "ui/CBaseWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QThread>
#include <map>

#include "platform/CWindowHandles.h"
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

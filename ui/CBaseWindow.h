#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/WindowMessages.h"

class QCloseEvent;

// The small window framework of the program: a Qt widget with a handle in the window-handle
// registry, so that any thread can post or send it numbered messages. Messages are handled on
// the window's thread by ProcessMsg, which dispatches the common ones to the On... handlers and
// passes the rest to ProcessMsgChild.
class CBaseWindow : public QWidget {
  public:
    CBaseWindow();
    ~CBaseWindow() override;
    CBaseWindow(const CBaseWindow&) = delete;
    CBaseWindow& operator=(const CBaseWindow&) = delete;

    virtual LRESULT ProcessMsg(UINT message, WPARAM wParam, LPARAM lParam);
    // Stores the start arguments and builds the window (InitGUI).
    virtual int InitGUIBase(uintptr_t hInstance, const std::string& commandLine, int showMode);
    virtual HWND GetHandle() const { return _handle; }
    virtual int InitGUI(uintptr_t hInstance, const std::string& commandLine, int showMode) = 0;
    virtual void OnClose();
    virtual LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
    virtual void OnDestroy();
    virtual LRESULT ProcessMsgChild(UINT message, WPARAM wParam, LPARAM lParam);

    // Ends the window: hides it and calls OnDestroy once.
    void DestroyWindow();
    bool IsDestroyed() const { return _destroyed; }

    static CBaseWindow* GetWindow(HWND handle);

  protected:
    uintptr_t GetInstanceHandle() const { return _hInstance; }
    void closeEvent(QCloseEvent* event) override;
    void customEvent(QEvent* event) override;

  private:
    // Shared with the handle registry's receivers, which may run on other threads while the
    // window is being destroyed.
    struct Link {
        std::mutex lock;
        CBaseWindow* window = nullptr;
    };
    std::shared_ptr<Link> _link;
    HWND _handle = 0;
    uintptr_t _hInstance = 0;
    bool _destroyed = false;
};

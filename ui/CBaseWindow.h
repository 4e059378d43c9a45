#pragma once

#include <QRect>
#include <QWidget>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/WindowMessages.h"

class QCloseEvent;
class QPainter;
class CButtonOwnDrawImage;

// The small window framework of the program: a Qt widget with a handle in the window-handle
// registry, so that any thread can post or send it numbered messages. Messages are handled on
// the window's thread by ProcessMsg, which dispatches the common ones to the On... handlers and
// passes the rest to ProcessMsgChild. It also keeps the window's status buttons (children owned by
// the widget) in creation order and lays them out from the bottom left whenever the orientation
// changes.
class CBaseWindow : public QWidget {
  public:
    // The orientation last laid out before the first layout.
    static constexpr int kNoOrientation = 3;
    // Key codes of the phone's keypad.
    static constexpr int kKeyTab = 9;
    static constexpr int kKeyLeft = 37;
    static constexpr int kKeyUp = 38;
    static constexpr int kKeyRight = 39;
    static constexpr int kKeyDown = 40;
    static constexpr int kKeyAction = 117;

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

    // Adds a button to the layout order (and the lookup by control id).
    virtual void RegisterOwnerButton(CButtonOwnDrawImage* button);
    virtual const std::map<int, CButtonOwnDrawImage*>& GetMapButtonsOwner() const { return _buttonsById; }
    virtual const std::vector<CButtonOwnDrawImage*>& GetListButtonsOwner() const { return _buttons; }
    // The orientation last laid out (0 portrait, 1 landscape, 2 square, 3 none yet).
    virtual int GetHorientacion() const { return _orientation; }
    // The option popup being shown over this window (null when none).
    virtual void SetDialogShowed(QWidget* popup) { _dialogShowed = popup; }
    QWidget* GetDialogShowed() const { return _dialogShowed; }
    // 2 on a screen with a side of 640 (upright) or 480 (lying), else 1.
    virtual int GetResolutionKind() const { return _resolution; }
    virtual void OnEnterButton();
    virtual void OnCreate();
    // The screen changed size: works out the resolution kind and button size, and lays the
    // buttons out again when the orientation changed.
    virtual void OnSize(int width, int height);
    virtual void OnPaint(QPainter& painter);
    virtual void OnKeyUp(int key);
    virtual void OnActivate(bool active);
    // Lays the buttons out (force non-zero: even when the orientation did not change).
    virtual void Reorder(int force);
    virtual void ReorderShell();
    virtual void ReorderShellChild() {}

    int GetButtonWidth() const { return _buttonWidth; }
    int GetButtonHeight() const { return _buttonHeight; }
    // How many times the buttons were laid out.
    int GetLayoutCount() const { return _layouts; }
    // The area the buttons and the panel's drawing use (the window less its soft-key bar).
    virtual QRect ClientRect() const { return rect(); }
    // The top of the highest button row of the last layout.
    int GetButtonRowsTop() const { return _rowsTop; }

    // Ends the window: hides it and calls OnDestroy once.
    void DestroyWindow();
    bool IsDestroyed() const { return _destroyed; }

    static CBaseWindow* GetWindow(HWND handle);

  protected:
    uintptr_t GetInstanceHandle() const { return _hInstance; }
    void closeEvent(QCloseEvent* event) override;
    void customEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    // The button the current-location panel is (placed at its own skin position); null when none.
    virtual CButtonOwnDrawImage* GetCurrentLocationButton() const { return nullptr; }
    // Moves the focus to the next (step 1) or previous (step -1) enabled button.
    void MoveFocus(int step);

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
    std::vector<CButtonOwnDrawImage*> _buttons;  // owned by the widget tree
    std::map<int, CButtonOwnDrawImage*> _buttonsById;
    int _orientation = kNoOrientation;
    int _resolution = 1;
    int _buttonWidth = 60;
    int _buttonHeight = 65;
    int _layouts = 0;
    int _rowsTop = 0;
    QWidget* _dialogShowed = nullptr;
};

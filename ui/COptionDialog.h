#pragma once

#include <QPointer>
#include <memory>
#include <string>
#include <vector>

#include "ui/CBaseWindow.h"

class CButtonOwnDrawImage;
class CButtonOwnFixed;
class QEventLoop;
class QScrollArea;

// A popup over a window: a title and one image button per choice, then a cancel button. It is
// shown modally (the window under it takes no input meanwhile) and returns the command id of the
// choice made, 109 for cancel. Rows hold as many buttons as fit across the window; a popup taller
// than the window scrolls.
class COptionDialog : public CBaseWindow {
  public:
    static constexpr int kCancel = 109;
    static constexpr const char* kClassName = "Options Window";

    // Geometry 0 means "work it out"; `ownerWindow` is the widget the popup covers and `owner`
    // the window that knows the popup is open (often the same).
    COptionDialog(const std::string& title, int x, int y, int width, int height, QWidget* ownerWindow,
                  CBaseWindow* owner);
    ~COptionDialog() override;

    // A choice with the images of its skin id (or `fileImage` where the skin has none).
    CButtonOwnFixed* AddButton(int id, const std::string& skinId, const std::string& caption,
                               const std::string& fileImage = "");
    // A choice showing the image `button` shows for `status`.
    CButtonOwnFixed* AddButton(int id, const std::string& caption, CButtonOwnDrawImage* button, int status);

    // Adds the cancel button, works out the geometry, places the buttons and shows the popup.
    int InitGUI(uintptr_t hInstance, const std::string& commandLine, int showMode) override;
    // Shows the popup and waits for a choice; the chosen id (109 when it went without one).
    virtual int ShowModal();
    // Stores the choice and closes the popup.
    virtual void OnOptionSelected(int id);
    LRESULT OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnPaint(QPainter& painter) override;
    // A popup keeps the geometry it was given; the phone's screen does not change with it.
    void OnSize(int width, int height) override;
    void OnDestroy() override;

    virtual const char* GetClassName() const { return kClassName; }
    const std::string& GetTitle() const { return _title; }
    int GetSelected() const { return _selected; }
    const std::vector<CButtonOwnFixed*>& GetButtons() const { return _choices; }
    CButtonOwnFixed* GetCancelButton() const { return _cancel; }
    // The button with that command id (choices and cancel), or null.
    CButtonOwnFixed* FindButton(int id) const;
    bool IsScrolling() const { return _scroll != nullptr; }
    QWidget* GetOwnerWindow() const { return _ownerWindow; }

    // The popup open over `owner` now (null when none). Window's thread.
    static COptionDialog* GetOpen(CBaseWindow* owner);
    // key=value lines of the popups open now (class, title, command ids); any thread.
    static std::string DescribeOpen();

  protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    // The cancel button's skin id ("cancel"; the place and image lists use "cancel_small").
    virtual std::string GetCancelSkinId() const { return "cancel"; }
    // Gives the owner back its input, shows and raises it.
    void ReleaseOwner();

  private:
    void PlaceButtons(const QRect& area);

    std::string _title;
    int _x, _y, _width, _height;
    QPointer<QWidget> _ownerWindow;
    CBaseWindow* _owner;
    std::vector<CButtonOwnFixed*> _choices;  // owned by the widget tree
    CButtonOwnFixed* _cancel = nullptr;
    int _selected = kCancel;  // a popup closed without a choice cancels
    bool _created = false;
    QEventLoop* _loop = nullptr;
    std::unique_ptr<QWidget> _shield;  // takes the owner's input while the popup is open
    QScrollArea* _scroll = nullptr;
};

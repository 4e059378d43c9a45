#pragma once

#include <QWidget>
#include <string>

#include "ui/CPageWithHelp.h"

class CSoftKeyBar;
class QMenu;
class QVBoxLayout;

// One page of the settings sheet: a translated title for its tab, a help page, and its soft keys.
// Settings pages save with the left key ("SAVE"); every page offers its own commands and "Help" in
// the right key's menu. The page's controls are built the first time it is shown.
class CPropertyPageBase : public QWidget, public CPageWithHelp {
  public:
    CPropertyPageBase(std::string titleKey, std::string helpName);

    const std::string& GetTitleKey() const { return _titleKey; }
    std::string GetTxtFile() const override { return _helpName; }
    // Shows the page's help in the library's text-file dialog.
    void ShowHelp() override;

    // Builds the page once; the sheet calls it when the page is first shown.
    void InitPage();
    bool IsInitialised() const { return _initialised; }
    // Gives the sheet's soft keys to this page (it became the current one).
    void Activate(CSoftKeyBar* keys);
    // Saves as the left key does on a settings page; false when a check failed.
    bool Save() { return OnSave(); }

  protected:
    // Adds the controls to Content().
    virtual void OnInitPage() {}
    // A settings page saves its values with the left key.
    virtual bool IsSettingsPage() const { return false; }
    // Stores the page's values; false (after telling the user) when something is wrong.
    virtual bool OnSave() { return true; }
    // The page's own commands, put in the right key's menu before "Help".
    virtual void FillMenu(QMenu*) {}
    // For list pages: the left key's command (empty caption: none).
    virtual std::string GetLeftKey() const { return ""; }
    virtual void OnLeftKey() {}

    QVBoxLayout* Content() const { return _content; }
    static QString Text(const std::string& key);

  private:
    std::string _titleKey;
    std::string _helpName;
    bool _initialised = false;
    QVBoxLayout* _content = nullptr;
    QMenu* _menu = nullptr;
};

#pragma once

#include <QDialog>
#include <QString>
#include <string>

#include "ui/IModalDialog.h"

class CSoftKeyBar;
class QLabel;
class QVBoxLayout;

// The common base of the library's modal dialogs: a full-screen dialog over the phone's panel with
// a translated title, its controls in a scrolling area, and the soft keys "SAVE" and "CANCEL".
// DoModal returns 1 when the user saved. A dialog keeps itself open when its check on saving
// fails (OnSave returns false).
class CDialogModalBase : public QDialog, public IModalDialog {
  public:
    CDialogModalBase(QWidget* parent, int templateId, std::string titleKey);
    ~CDialogModalBase() override;

    // Builds the dialog the first time, shows it over the parent's screen and waits; 1 on save.
    int DoModal() override;
    int GetTemplateId() const { return _templateId; }
    int GetResult() const { return _result; }
    // Saves as the left soft key does (tests and keyboard users).
    void Save();
    // The title shown (translated), for tests.
    QString GetTitle() const;

  protected:
    // Adds the controls to Content(); runs once, before the first showing.
    virtual void OnInitDialog() {}
    // Checks and stores what was entered; false keeps the dialog open.
    virtual bool OnSave() { return true; }
    // The left soft key's caption ("SAVE"; "MENU_MENU" for dialogs whose left key is a menu).
    virtual std::string GetSaveKey() const { return "SAVE"; }

    // The title given to the constructor is already a text, not a key.
    void UseTitleAsText() { _titleIsText = true; }
    QVBoxLayout* Content() const { return _content; }
    CSoftKeyBar* SoftKeys() const { return _keys; }
    // The translated text of a key.
    static QString Text(const std::string& key);
    // Tells the user that required fields are empty ("PLEASE FILL DATA"); returns false.
    static bool PleaseFillData();

  private:
    void Build();

    int _templateId;
    std::string _titleKey;
    int _result = 0;
    bool _built = false;
    bool _titleIsText = false;
    QLabel* _title = nullptr;
    QVBoxLayout* _content = nullptr;
    CSoftKeyBar* _keys = nullptr;
};

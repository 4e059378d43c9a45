#pragma once

#include <string>

#include "dialogs/CDialogModalBase.h"

class QPlainTextEdit;

// Shows a text file to read (a help page, the list of changes): UTF-8, or UTF-16LE as the
// program writes its own text files. Its left key closes it.
class CDialogModalTextFile : public CDialogModalBase {
  public:
    CDialogModalTextFile(QWidget* parent, int templateId, std::string title, std::string file);

    // The text shown (for tests).
    QString GetText() const;
    // Reads a text file, telling UTF-16LE (with or without its mark) from UTF-8.
    static QString ReadText(const std::string& file, bool& ok);

  protected:
    void OnInitDialog() override;
    std::string GetSaveKey() const override { return "MENU_MENU"; }

  private:
    std::string _file;
    QPlainTextEdit* _view = nullptr;
};

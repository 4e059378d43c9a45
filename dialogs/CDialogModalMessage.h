#pragma once

#include <string>

#include "dialogs/CDialogModalBase.h"

class QLineEdit;
class QPlainTextEdit;

// An SMS (recipient and text) or a mail (recipient, subject and text). The fields follow the
// operands of the message actions: recipient, subject, text. Made by its factory (the main
// window's test commands) the dialog sends the message itself on saving.
class CDialogModalMessage : public CDialogModalBase {
  public:
    static constexpr int kTemplate = 150;
    static constexpr int kSms = 0;
    static constexpr int kMail = 1;

    CDialogModalMessage(QWidget* parent, int templateId, int kind);
    void SetFields(const std::string& to, const std::string& subject, const std::string& text);
    void SetSendsOnSave(bool sends) { _sends = sends; }
    int GetKind() const { return _kind; }
    const std::string& GetTo() const { return _to; }
    const std::string& GetSubject() const { return _subject; }
    const std::string& GetText() const { return _text; }

  protected:
    void OnInitDialog() override;
    bool OnSave() override;

  private:
    int _kind;
    bool _sends = false;
    std::string _to, _subject, _text;
    QLineEdit* _toEdit = nullptr;
    QLineEdit* _subjectEdit = nullptr;
    QPlainTextEdit* _textEdit = nullptr;
};

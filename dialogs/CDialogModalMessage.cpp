#include "dialogs/CDialogModalMessage.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "dialogs/Factories.h"
#include "managers/CMessageMgr.h"

namespace {

constexpr int kTextLines = 4;

}  // namespace

CDialogModalMessage::CDialogModalMessage(QWidget* parent, int templateId, int kind)
    : CDialogModalBase(parent, templateId, "DIALOG_MESSAGE_TITLE"), _kind(kind == kMail ? kMail : kSms) {}

void CDialogModalMessage::SetFields(const std::string& to, const std::string& subject,
                                    const std::string& text) {
    _to = to;
    _subject = subject;
    _text = text;
}

void CDialogModalMessage::OnInitDialog() {
    auto* kind = new QLabel(Text(_kind == kMail ? "MAIL" : "SMS"));
    kind->setObjectName("kind");
    Content()->addWidget(kind);
    Content()->addWidget(new QLabel(Text("DIALOG_MESSAGE_TO")));
    _toEdit = new QLineEdit(QString::fromStdString(_to));
    _toEdit->setObjectName("to");
    if (_kind == kSms) {
        _toEdit->setInputMethodHints(Qt::ImhDialableCharactersOnly);
    }
    Content()->addWidget(_toEdit);
    if (_kind == kMail) {
        Content()->addWidget(new QLabel(Text("DIALOG_MESSAGE_SUBJECT")));
        _subjectEdit = new QLineEdit(QString::fromStdString(_subject));
        _subjectEdit->setObjectName("subject");
        Content()->addWidget(_subjectEdit);
    }
    Content()->addWidget(new QLabel(Text("DIALOG_MESSAGE_TEXT")));
    _textEdit = new QPlainTextEdit(QString::fromStdString(_text));
    _textEdit->setObjectName("text");
    _textEdit->setFixedHeight(_textEdit->fontMetrics().lineSpacing() * kTextLines + 8);
    Content()->addWidget(_textEdit);
}

bool CDialogModalMessage::OnSave() {
    const std::string to = _toEdit->text().trimmed().toStdString();
    if (to.empty()) {
        return PleaseFillData();
    }
    _to = to;
    _subject = _subjectEdit ? _subjectEdit->text().toStdString() : std::string();
    _text = _textEdit->toPlainText().toStdString();
    if (_sends) {
        if (CMessageMgr* messages = CMessageMgr::GetInstance()) {
            if (_kind == kMail) {
                messages->SendMail(_to, _subject, _text, CMessageMgr::kConfiguredStore, 0);
            } else {
                messages->SendSMS(_to, _text, 0);
            }
        }
    }
    return true;
}

IModalDialog* New_CDialogModalMessage(QWidget* parent, int templateId, int kind) {
    auto* dialog = new CDialogModalMessage(parent, templateId, kind);
    dialog->SetSendsOnSave(true);
    return dialog;
}

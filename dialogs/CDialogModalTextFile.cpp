#include "dialogs/CDialogModalTextFile.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "core/CTextsMgr.h"
#include "dialogs/CSoftKeyBar.h"
#include "dialogs/Factories.h"

CDialogModalTextFile::CDialogModalTextFile(QWidget* parent, int templateId, std::string title,
                                           std::string file)
    : CDialogModalBase(parent, templateId, std::move(title)), _file(std::move(file)) {
    UseTitleAsText();
}

QString CDialogModalTextFile::ReadText(const std::string& file, bool& ok) {
    QFile in(QString::fromStdString(file));
    ok = in.open(QIODevice::ReadOnly);
    if (!ok) {
        return {};
    }
    const QByteArray bytes = in.readAll();
    if (bytes.startsWith("\xFF\xFE")) {
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                                  (bytes.size() - 2) / 2);
    }
    // UTF-16LE without its mark: every second byte of plain text is zero.
    if (bytes.size() >= 4 && bytes.size() % 2 == 0 && bytes[1] == '\0' && bytes[3] == '\0') {
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    }
    return QString::fromUtf8(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
}

void CDialogModalTextFile::OnInitDialog() {
    bool ok = false;
    QString text = ReadText(_file, ok);
    if (!ok) {
        text = QString::fromStdString(CTextsMgr::Text("ERROR OPENING TEXT FILE")) + "\n" +
               QString::fromStdString(_file);
    }
    _view = new QPlainTextEdit(this);
    _view->setObjectName("text");
    _view->setReadOnly(true);
    _view->setPlainText(text);
    _view->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Content()->addWidget(_view, 1);
    // Reading only: the left key closes, there is nothing to cancel.
    SoftKeys()->SetLeft("", nullptr);
    SoftKeys()->SetRight("EXIT", [this] { Save(); });
}

QString CDialogModalTextFile::GetText() const {
    return _view ? _view->toPlainText() : QString();
}

IModalDialog* New_CDialogModalTextFile(QWidget* parent, int templateId, const char* title, const char* file) {
    return new CDialogModalTextFile(parent, templateId, title ? title : "", file ? file : "");
}

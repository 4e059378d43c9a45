#include "ui/CQtMessageBoxes.h"

#include <atomic>

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

using platform::BoxKind;
using platform::IDNO;
using platform::IDOK;
using platform::IDYES;

namespace {

int showOnThisThread(BoxKind kind, const std::string& text) {
    const QString title = QStringLiteral("Zentrova");
    const QString body = QString::fromStdString(text);
    switch (kind) {
        case BoxKind::Question:
            return QMessageBox::question(nullptr, title, body, QMessageBox::Yes | QMessageBox::No,
                                         QMessageBox::No) == QMessageBox::Yes
                       ? IDYES
                       : IDNO;
        case BoxKind::Error:
            QMessageBox::critical(nullptr, title, body);
            return IDOK;
        case BoxKind::Text:
            break;
    }
    QMessageBox::information(nullptr, title, body);
    return IDOK;
}

}  // namespace

int CQtMessageBoxes::show(platform::BoxKind kind, const std::string& text) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        return kind == BoxKind::Question ? IDNO : IDOK;
    }
    if (QThread::currentThread() == app->thread()) {
        return showOnThisThread(kind, text);
    }
    std::atomic<int> answer{IDNO};  // atomic: the wait is Qt's own, which the thread checker does not see
    QMetaObject::invokeMethod(
        app, [&] { answer = showOnThisThread(kind, text); }, Qt::BlockingQueuedConnection);
    return answer;
}

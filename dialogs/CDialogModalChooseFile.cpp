#include "dialogs/CDialogModalChooseFile.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace {

// The list takes the height the dialog has (the base ends the content with a stretch of 1).
constexpr int kListStretch = 100;
constexpr int kIsFolder = Qt::UserRole + 1;

}  // namespace

CDialogModalChooseFile::CDialogModalChooseFile(QWidget* parent, std::string current, std::string folder,
                                               std::string filterKey)
    : CDialogModalBase(parent, kTemplate, "DIALOG_CHOOSE_FILE_TITLE"),
      _file(std::move(current)),
      _filterKey(std::move(filterKey)) {
    const QFileInfo currentFile(QString::fromStdString(_file));
    _folder = !_file.empty() && currentFile.absoluteDir().exists() ? currentFile.absolutePath()
                                                                   : QString::fromStdString(folder);
}

bool CDialogModalChooseFile::Passes(const QString& name) const {
    if (_filterKey != "SOUND FILES") {
        return true;
    }
    const QString suffix = QFileInfo(name).suffix().toLower();
    return suffix == "wav" || suffix == "mid" || suffix == "mp3" || suffix == "wma";
}

void CDialogModalChooseFile::OnInitDialog() {
    auto* filter = new QLabel(Text(_filterKey));
    filter->setObjectName("filter");
    Content()->addWidget(filter);
    _path = new QLabel();
    _path->setObjectName("path");
    _path->setWordWrap(true);
    Content()->addWidget(_path);
    _list = new QListWidget();
    _list->setObjectName("files");
    connect(_list, &QListWidget::itemActivated, this, [this] { Activated(); });
    connect(_list, &QListWidget::itemClicked, this, [this] { Activated(); });
    Content()->addWidget(_list, kListStretch);
    OpenFolder(_folder);
}

void CDialogModalChooseFile::OpenFolder(const QString& folder) {
    QDir dir(folder.isEmpty() ? QDir::homePath() : folder);
    if (!dir.exists()) {
        dir = QDir::home();
    }
    _folder = dir.absolutePath();
    if (!_list) {
        return;
    }
    _path->setText(QDir::toNativeSeparators(_folder));
    _list->clear();
    if (!dir.isRoot()) {
        auto* up = new QListWidgetItem("..", _list);
        up->setData(Qt::UserRole, dir.absoluteFilePath(".."));
        up->setData(kIsFolder, true);
    }
    for (const QFileInfo& info :
         dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        auto* item = new QListWidgetItem(info.fileName() + "/", _list);
        item->setData(Qt::UserRole, info.absoluteFilePath());
        item->setData(kIsFolder, true);
    }
    const QString current = QString::fromStdString(_file);
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase)) {
        if (!Passes(info.fileName())) {
            continue;
        }
        auto* item = new QListWidgetItem(info.fileName(), _list);
        item->setData(Qt::UserRole, info.absoluteFilePath());
        item->setData(kIsFolder, false);
        if (info.absoluteFilePath() == current) {
            _list->setCurrentItem(item);
        }
    }
}

void CDialogModalChooseFile::Activated() {
    QListWidgetItem* item = _list->currentItem();
    if (!item) {
        return;
    }
    if (item->data(kIsFolder).toBool()) {
        OpenFolder(QDir::cleanPath(item->data(Qt::UserRole).toString()));
    } else {
        Save();
    }
}

bool CDialogModalChooseFile::OnSave() {
    QListWidgetItem* item = _list->currentItem();
    if (!item || item->data(kIsFolder).toBool()) {
        return PleaseFillData();
    }
    _file = item->data(Qt::UserRole).toString().toStdString();
    return true;
}

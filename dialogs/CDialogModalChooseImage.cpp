#include "dialogs/CDialogModalChooseImage.h"

#include <QIcon>
#include <QListWidget>
#include <QVBoxLayout>

#include "dialogs/Factories.h"
#include "ui/COptionDialogChooseImage.h"
#include "ui/CSkinMgr.h"

namespace {

// The list takes the height the dialog has (the base ends the content with a stretch of 1).
constexpr int kListStretch = 100;
constexpr int kIconSize = 32;

}  // namespace

CDialogModalChooseImage::CDialogModalChooseImage(QWidget* parent, int templateId, std::string current)
    : CDialogModalBase(parent, templateId, "Choose Image"), _image(std::move(current)) {}

std::string CDialogModalChooseImage::ImagePath(const std::string& file) {
    std::string directory;
    CSkinMgr::GetInstance()->GetImageDirectory(directory);
    if (!directory.empty() && directory.back() != '/') {
        directory += '/';
    }
    return directory + file;
}

void CDialogModalChooseImage::OnInitDialog() {
    _files = COptionDialogChooseImage::ListPlaceImages();
    _list = new QListWidget();
    _list->setObjectName("images");
    _list->setIconSize(QSize(kIconSize, kIconSize));
    for (const std::string& file : _files) {
        // Shown without "place_" and ".png".
        auto* item = new QListWidgetItem(QIcon(QString::fromStdString(ImagePath(file))),
                                         QString::fromStdString(file.substr(6, file.size() - 10)), _list);
        item->setData(Qt::UserRole, QString::fromStdString(file));
        if (file == _image) {
            _list->setCurrentItem(item);
        }
    }
    connect(_list, &QListWidget::itemActivated, this, [this] { Save(); });
    connect(_list, &QListWidget::itemClicked, this, [this] { Save(); });
    Content()->addWidget(_list, kListStretch);
}

bool CDialogModalChooseImage::OnSave() {
    if (QListWidgetItem* item = _list->currentItem()) {
        _image = item->data(Qt::UserRole).toString().toStdString();
        return true;
    }
    return PleaseFillData();
}

IModalDialog* New_CDialogModalChooseImage(QWidget* parent, int templateId) {
    return new CDialogModalChooseImage(parent, templateId);
}

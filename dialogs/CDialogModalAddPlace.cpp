#include "dialogs/CDialogModalAddPlace.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/CBaseException.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/MessageBoxes.h"
#include "dialogs/CDialogModalChooseImage.h"
#include "dialogs/Factories.h"
#include "schedule/CScheduleEngine.h"
#include "store/CDB.h"

namespace {

constexpr int kPictureSize = 32;

void TellEngine() {
    if (CScheduleEngine* engine = CScheduleEngine::GetInstance()) {
        engine->ChangeInDB();
    }
}

}  // namespace

CDialogModalAddPlace::CDialogModalAddPlace(QWidget* parent, int templateId, CStrPlace* place, bool edit,
                                           int* id)
    : CDialogModalBase(parent, templateId, "DIALOG_ADD_PLACE_TITLE"),
      _place(place),
      _edit(edit && place),
      _id(id) {
    _image = _edit && !place->GetImage().empty() ? place->GetImage() : kDefaultImage;
}

void CDialogModalAddPlace::OnInitDialog() {
    Content()->addWidget(new QLabel(Text("DIALOG_ADD_PLACE_NAME")));
    _name = new QLineEdit(_edit ? QString::fromStdString(_place->GetName()) : QString());
    _name->setObjectName("name");
    Content()->addWidget(_name);
    Content()->addWidget(new QLabel(Text("DIALOG_ADD_PLACE_DESCRIPTION")));
    _description = new QLineEdit(_edit ? QString::fromStdString(_place->GetDescription()) : QString());
    _description->setObjectName("description");
    Content()->addWidget(_description);
    auto* row = new QHBoxLayout();
    _picture = new QLabel();
    _picture->setObjectName("picture");
    _picture->setFixedSize(kPictureSize, kPictureSize);
    row->addWidget(_picture);
    auto* change = new QPushButton(Text("DIALOG_ADD_PLACE_CHANGE_ICON"));
    change->setObjectName("change_icon");
    connect(change, &QPushButton::clicked, this, [this] { ChooseImage(); });
    row->addWidget(change, 1);
    Content()->addLayout(row);
    ShowImage();
}

void CDialogModalAddPlace::ShowImage() {
    QPixmap pixmap(QString::fromStdString(CDialogModalChooseImage::ImagePath(_image)));
    _picture->setPixmap(pixmap.isNull() ? QPixmap()
                                        : pixmap.scaled(kPictureSize, kPictureSize, Qt::KeepAspectRatio,
                                                        Qt::SmoothTransformation));
    _picture->setToolTip(QString::fromStdString(_image));
}

void CDialogModalAddPlace::ChooseImage() {
    CDialogModalChooseImage dialog(this, CDialogModalChooseImage::kTemplate, _image);
    if (dialog.DoModal() == 1) {
        _image = dialog.GetImage();
        ShowImage();
    }
}

bool CDialogModalAddPlace::OnSave() {
    const std::string name = _name->text().trimmed().toStdString();
    if (name.empty()) {
        return PleaseFillData();
    }
    CStrPlace entered(name, _description->text().trimmed().toStdString(), _image, -1);
    try {
        return _edit ? EditPlace(entered) : AddPlace(entered);
    } catch (const CBaseException& e) {
        ReportError(e.GetMessageW());
        return false;
    }
}

bool CDialogModalAddPlace::AddPlace(const CStrPlace& entered) {
    CDB* db = CDB::GetOpened();
    if (!db) {
        return false;
    }
    CStrPlace place = entered;
    db->GetTablePlaces()->Add(place);
    if (_id) {
        *_id = place.GetId();
    }
    if (_place) {
        *_place = place;
    }
    if (QuestionBox("%s", CTextsMgr::Text("CONFIRM CREATE DEFAULT SCHEDULE")) == IDYES_ANSWER) {
        // An all-day frame on every day of the week, all of them or none.
        CTablePeriods* periods = db->GetTablePeriods();
        const std::string frameName = CTextsMgr::Text("NAME DEFAULT TIME FRAME");
        db->InOneChange([&] {
            for (int day = 1; day <= 7; ++day) {
                CStrPeriod frame(-1, frameName, place.GetId(), SYSTEMTIME{}, SYSTEMTIME{});
                frame.SetWeekDay(day);
                frame.SetEnabled(1);
                frame.SetAlwaysOn(0);
                periods->Add(frame);
            }
        });
    }
    TellEngine();
    return true;
}

bool CDialogModalAddPlace::EditPlace(const CStrPlace& entered) {
    CDB* db = CDB::GetOpened();
    if (!db) {
        return false;
    }
    CStrPlace stored;
    stored.SetId(_place->GetId());
    if (!db->GetTablePlaces()->FindAndFill(stored)) {
        LogFormateado(1, "Place to edit not found");
        reject();
        return false;
    }
    stored.SetName(entered.GetName());
    stored.SetDescripcion(entered.GetDescription());
    stored.SetImage(entered.GetImage());
    db->GetTablePlaces()->Update(stored);
    *_place = stored;
    if (_id) {
        *_id = stored.GetId();
    }
    TellEngine();
    return true;
}

IModalDialog* New_CDialogModalAddPlace(QWidget* parent, int templateId, CStrPlace* place, int edit, int* id) {
    return new CDialogModalAddPlace(parent, templateId, place, edit != 0, id);
}

#include "dialogs/CDialogModalBase.h"

#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/MessageBoxes.h"
#include "dialogs/CSoftKeyBar.h"
#include "dialogs/DialogStyle.h"

CDialogModalBase::CDialogModalBase(QWidget* parent, int templateId, std::string titleKey)
    : QDialog(parent), _templateId(templateId), _titleKey(std::move(titleKey)) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setObjectName(QString::fromStdString(_titleKey));
}

CDialogModalBase::~CDialogModalBase() = default;

QString CDialogModalBase::Text(const std::string& key) {
    return QString::fromStdString(CTextsMgr::Text(key));
}

bool CDialogModalBase::PleaseFillData() {
    TextBox(CTextsMgr::Text("PLEASE FILL DATA"));
    return false;
}

QString CDialogModalBase::GetTitle() const {
    return _title ? _title->text() : QString();
}

void CDialogModalBase::Build() {
    if (_built) {
        return;
    }
    _built = true;
    // Full screen over the panel, as dialogs are on the phone.
    QVBoxLayout* outer = dialog_style::CoverOwner(this);
    _title = new QLabel(_titleIsText ? QString::fromStdString(_titleKey) : Text(_titleKey), this);
    _title->setObjectName("title");
    _title->setFont(dialog_style::Font(this, true));
    _title->setContentsMargins(6, 4, 6, 4);
    _title->setWordWrap(true);
    outer->addWidget(_title);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* body = new QWidget();
    _content = new QVBoxLayout(body);
    _content->setContentsMargins(6, 4, 6, 4);
    _content->setSpacing(4);
    scroll->setWidget(body);  // owned by the scroll area
    outer->addWidget(scroll, 1);
    _keys = new CSoftKeyBar(this);
    outer->addWidget(_keys);
    _keys->SetLeft(GetSaveKey(), [this] { Save(); });
    _keys->SetRight("CANCEL", [this] { reject(); });
    OnInitDialog();
    // Short forms keep their fields at the top; a control that stretches (a text) takes the room.
    bool stretches = false;
    for (int i = 0; i < _content->count(); ++i) {
        stretches = stretches || _content->stretch(i) > 0;
    }
    if (!stretches) {
        _content->addStretch(1);
    }
}

void CDialogModalBase::Save() {
    if (OnSave()) {
        _result = 1;
        accept();
    }
}

int CDialogModalBase::DoModal() {
    try {
        Build();
    } catch (const std::exception& e) {
        LogFormateado(1, "%s", e.what());
        ErrorBox("%s", CTextsMgr::Text("ERROR CREATING DIALOG"));
        return 0;
    }
    _result = 0;
    exec();
    return _result;
}

#include "dialogs/CDialogModalRingTone.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/CDialogModalChooseFile.h"
#include "dialogs/Factories.h"
#include "platform/Services.h"
#include "schedule/CActionThreads.h"
#include "store/CStrAction.h"

namespace {

struct RingType {
    const char* key;
    // The sound settings' script: a plays the tone, r repeats it, p raises the volume, v vibrates,
    // n stays silent.
    const char* script;
};

constexpr RingType kRingTypes[CDialogModalRingTone::kTypes] = {
    {"RING", "ar"},   {"INCREASING RING", "apr"},  {"RING ONCE", "a"},
    {"VIBRATE", "v"}, {"VIBRATE AND RING", "var"}, {"VIBRATE AFTER RING", "arv"},
    {"NONE", "n"},
};

constexpr int kCodeRingTone = 16;

std::string SoundFolder() {
    if (platform::Services::isInstalled()) {
        return platform::Services::get().home().root().string();
    }
    return {};
}

}  // namespace

CDialogModalRingTone::CDialogModalRingTone(QWidget* parent, int templateId)
    : CDialogModalBase(parent, templateId, "DIALOG_RING_TITLE") {}

const char* CDialogModalRingTone::TypeKey(int type) {
    return type >= 0 && type < kTypes ? kRingTypes[type].key : "";
}

const char* CDialogModalRingTone::TypeScript(int type) {
    return type >= 0 && type < kTypes ? kRingTypes[type].script : "";
}

void CDialogModalRingTone::SetFields(int type, const std::string& tone, int volume) {
    _type = type >= 0 && type < kTypes ? type : 0;
    _tone = tone;
    _volume = volume >= 1 && volume <= kMaxVolume ? volume : 0;
}

void CDialogModalRingTone::OnInitDialog() {
    Content()->addWidget(new QLabel(Text("DIALOG_PROFILES_TYPE")));
    _types = new QComboBox();
    _types->setObjectName("type");
    for (int type = 0; type < kTypes; ++type) {
        _types->addItem(Text(kRingTypes[type].key), type);
    }
    _types->setCurrentIndex(_type);
    Content()->addWidget(_types);
    Content()->addWidget(new QLabel(Text("DIALOG_PROFILES_TONE")));
    auto* row = new QHBoxLayout();
    _toneEdit = new QLineEdit(QString::fromStdString(_tone));
    _toneEdit->setObjectName("tone");
    row->addWidget(_toneEdit, 1);
    auto* browse = new QPushButton("...");
    browse->setObjectName("browse");
    browse->setFixedWidth(browse->fontMetrics().horizontalAdvance("...") + 16);
    connect(browse, &QPushButton::clicked, this, [this] { ChooseTone(); });
    row->addWidget(browse);
    Content()->addLayout(row);
    Content()->addWidget(new QLabel(Text("VOLUME")));
    _volumes = new QComboBox();
    _volumes->setObjectName("volume");
    _volumes->addItem(Text("NO CHANGE"), 0);
    for (int volume = 1; volume <= kMaxVolume; ++volume) {
        _volumes->addItem(QString::number(volume), volume);
    }
    _volumes->setCurrentIndex(_volume);
    Content()->addWidget(_volumes);
}

void CDialogModalRingTone::ChooseTone() {
    CDialogModalChooseFile files(this, _toneEdit->text().toStdString(), SoundFolder(), "SOUND FILES");
    if (files.DoModal() == 1) {
        _toneEdit->setText(QString::fromStdString(files.GetFile()));
    }
}

bool CDialogModalRingTone::OnSave() {
    const std::string tone = _toneEdit->text().trimmed().toStdString();
    if (tone.empty()) {
        return PleaseFillData();
    }
    _tone = tone;
    _type = _types->currentData().toInt();
    _volume = _volumes->currentData().toInt();
    if (_applies) {
        CStrAction action;
        action.SetId(kCodeRingTone);
        action.SetSzOp1(_tone);
        action.SetSzOp2(TypeScript(_type));
        action.SetIntOp1(_volume);
        action.SetIntOp3(_type);
        action.SetDelay(0);
        CActionThreads::ThreadRingTone(action);
    }
    return true;
}

IModalDialog* New_CDialogModalRingTone(QWidget* parent, int templateId) {
    auto* dialog = new CDialogModalRingTone(parent, templateId);
    dialog->SetAppliesOnSave(true);
    return dialog;
}

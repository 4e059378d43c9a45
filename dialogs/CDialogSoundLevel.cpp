#include "dialogs/CDialogSoundLevel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "core/DebugTrace.h"
#include "dialogs/Factories.h"
#include "managers/CSpeakerMgr.h"
#include "platform/Services.h"

namespace {

// The level nearest to a wave volume (the level times 51 in the low byte).
int LevelOfVolume(uint32_t volume) {
    const int low = static_cast<int>(volume & 0xFF);
    return std::clamp((low + 25) / 51, CDialogSoundLevel::kMinLevel, CDialogSoundLevel::kMaxLevel);
}

}  // namespace

CDialogSoundLevel::CDialogSoundLevel(QWidget* parent, int templateId)
    : CDialogModalBase(parent, templateId, "DIALOG_SOUND_LEVEL_TITLE") {
    // The speaker manager's level, else the phone's present volume.
    CSpeakerMgr* speaker = CSpeakerMgr::GetInstance();
    if (speaker && speaker->GetSound() >= 0) {
        _level = std::clamp(speaker->GetSound(), kMinLevel, kMaxLevel);
    } else {
        uint32_t volume = 0;
        try {
            if (platform::Services::get().sound().getWaveVolume(volume) == platform::ERROR_SUCCESS) {
                _level = LevelOfVolume(volume);
            }
        } catch (const std::exception& e) {
            LogFormateado(1, "No volume: %s", e.what());
        }
    }
}

void CDialogSoundLevel::SetLevel(int level) {
    _level = std::clamp(level, kMinLevel, kMaxLevel);
    if (_slider) {
        _slider->setValue(_level);
    }
    ShowLevel();
}

void CDialogSoundLevel::ShowLevel() {
    if (_value) {
        _value->setText(QString::number(_slider ? _slider->value() : _level));
    }
}

void CDialogSoundLevel::OnInitDialog() {
    Content()->addWidget(new QLabel(Text("VOLUME_LEVEL"), this));
    auto* row = new QHBoxLayout();
    _slider = new QSlider(Qt::Horizontal, this);
    _slider->setObjectName("level");
    _slider->setRange(kMinLevel, kMaxLevel);
    _slider->setPageStep(1);
    _slider->setTickPosition(QSlider::TicksBelow);
    _slider->setTickInterval(1);
    _slider->setValue(_level);
    _value = new QLabel(this);
    _value->setObjectName("value");
    _value->setMinimumWidth(_value->fontMetrics().horizontalAdvance("00"));
    row->addWidget(_slider, 1);
    row->addWidget(_value);
    Content()->addLayout(row);
    connect(_slider, &QSlider::valueChanged, this, [this] { ShowLevel(); });
    ShowLevel();
    _slider->setFocus();
}

bool CDialogSoundLevel::OnSave() {
    _level = _slider ? _slider->value() : _level;
    const auto level = static_cast<unsigned short>(_level);
    if (CSpeakerMgr* speaker = CSpeakerMgr::GetInstance()) {
        speaker->SetLevel(_level);
        speaker->SetSound(level);
    } else {
        platform::Services::get().sound().setWaveVolume(CSpeakerMgr::VolumeOfLevel(level));
    }
    return true;
}

IModalDialog* New_CDialogSoundLevel(QWidget* parent, int templateId) {
    return new CDialogSoundLevel(parent, templateId);
}

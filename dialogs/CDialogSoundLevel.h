#pragma once

#include "dialogs/CDialogModalBase.h"

class QLabel;
class QSlider;

// The speaker level: 0 (quietest) to 5 (loudest), the levels of the speaker manager's volume.
// Saving gives the level to the speaker manager (used whenever the speaker is switched on) and
// sets the volume at once.
class CDialogSoundLevel : public CDialogModalBase {
  public:
    static constexpr int kMinLevel = 0;
    static constexpr int kMaxLevel = 5;

    CDialogSoundLevel(QWidget* parent, int templateId);

    // The level shown, and after a save the level saved.
    int GetLevel() const { return _level; }
    void SetLevel(int level);

  protected:
    void OnInitDialog() override;
    bool OnSave() override;

  private:
    void ShowLevel();

    int _level = kMaxLevel;
    QSlider* _slider = nullptr;
    QLabel* _value = nullptr;
};

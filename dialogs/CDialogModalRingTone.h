#pragma once

#include <string>

#include "dialogs/CDialogModalBase.h"

class QComboBox;
class QLineEdit;

// The ring tone of line 1: the ring type, the sound file and the ring volume (1 to 5; 0 leaves the
// volume as it is). Each ring type is stored with its value and written to the sound settings as
// its ring script. Made by its factory (the main window's test command) the dialog sets the ring
// tone itself on saving.
class CDialogModalRingTone : public CDialogModalBase {
  public:
    static constexpr int kTemplate = 165;
    static constexpr int kTypes = 7;
    static constexpr int kMaxVolume = 5;

    CDialogModalRingTone(QWidget* parent, int templateId);
    void SetFields(int type, const std::string& tone, int volume);
    void SetAppliesOnSave(bool applies) { _applies = applies; }
    int GetType() const { return _type; }
    const std::string& GetTone() const { return _tone; }
    int GetVolume() const { return _volume; }
    // The caption key and the ring script of a type (0 "RING" ... 6 "NONE").
    static const char* TypeKey(int type);
    static const char* TypeScript(int type);

  protected:
    void OnInitDialog() override;
    bool OnSave() override;

  private:
    void ChooseTone();

    int _type = 0;
    std::string _tone;
    int _volume = 0;
    bool _applies = false;
    QComboBox* _types = nullptr;
    QLineEdit* _toneEdit = nullptr;
    QComboBox* _volumes = nullptr;
};

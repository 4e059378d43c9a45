#pragma once

#include <QString>
#include <string>
#include <vector>

#include "dialogs/CDialogModalBase.h"

class QLabel;
class QListWidget;

// Chooses a file for an action (a file to open, a ring tone). One list, sized for the phone's
// screen: ".." to go up, the folders, then the files that pass the filter. A tap on a folder opens
// it, a tap on a file chooses it.
class CDialogModalChooseFile : public CDialogModalBase {
  public:
    static constexpr int kTemplate = 175;

    // `filterKey` names the files shown ("ALL FILES", or "SOUND FILES" for .wav, .mid, .mp3 and
    // .wma). The list starts in the folder of `current` when it exists, else in `folder`.
    CDialogModalChooseFile(QWidget* parent, std::string current, std::string folder, std::string filterKey);
    const std::string& GetFile() const { return _file; }
    const QString& GetFolder() const { return _folder; }
    // Opens a folder of the list (for tests as for taps).
    void OpenFolder(const QString& folder);

  protected:
    void OnInitDialog() override;
    bool OnSave() override;

  private:
    bool Passes(const QString& name) const;
    void Activated();

    std::string _file;
    QString _folder;
    std::string _filterKey;
    QLabel* _path = nullptr;
    QListWidget* _list = nullptr;
};

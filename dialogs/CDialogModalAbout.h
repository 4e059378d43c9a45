#pragma once

#include <string>

#include "dialogs/CDialogModalBase.h"

class QLabel;
class QMenu;
class QPushButton;

// About the program: its version, build time and translator, whether it is the latest version
// (asked from the update server through the data connections manager), the download of a newer
// installation package and the list of changes. Its left key is the menu of these commands.
class CDialogModalAbout : public CDialogModalBase {
  public:
    enum class Check { Latest, Newer, Failed };
    static constexpr const char* kChangesFile = "changesZVA.txt";
    // Real time the download of an installation package may take, and its largest size.
    static constexpr long kDownloadTimeoutMs = 120000;
    static constexpr size_t kMaxDownload = 64u * 1024u * 1024u;

    CDialogModalAbout(QWidget* parent, int templateId);

    // Asks the update server (waiting, with the dialog still painted) and tells the user.
    Check CheckVersion();
    // Saves the newer installation package the update server named where the user chooses;
    // false (after "ERROR_ABOUT_DOWNLOAD_FILE") when it could not be fetched or written, false
    // without a message when the user chose no file.
    bool Download();
    // Shows the list of changes of the program folder.
    void ShowChanges();
    // The line that says whether this is the latest version.
    QString GetVersionState() const;

  protected:
    void OnInitDialog() override;
    std::string GetSaveKey() const override { return "MENU_MENU"; }

  private:
    void ShowVersionState();

    QLabel* _state = nullptr;
    QPushButton* _check = nullptr;
    QMenu* _menu = nullptr;
};

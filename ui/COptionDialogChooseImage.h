#pragma once

#include <string>
#include <vector>

#include "ui/COptionDialog.h"

// The popup that lists the place images of the skin (every "place_*.png" of its image folder);
// the file chosen is written to the string given.
class COptionDialogChooseImage : public COptionDialog {
  public:
    static constexpr int kFirstImage = 1000;

    COptionDialogChooseImage(QWidget* ownerWindow, CBaseWindow* owner, std::string& chosen);

    void OnOptionSelected(int id) override;
    // The place images of the skin, sorted by name.
    static std::vector<std::string> ListPlaceImages();

  protected:
    std::string GetCancelSkinId() const override { return "cancel_small"; }

  private:
    std::string& _chosen;
    std::vector<std::string> _files;
};

#pragma once

#include <string>
#include <vector>

#include "dialogs/CDialogModalBase.h"

class QListWidget;

// Lists the place images of the skin ("place_*.png" of its image folder) with their pictures; the
// one chosen is the result. Choosing an image (a tap) saves at once.
class CDialogModalChooseImage : public CDialogModalBase {
  public:
    static constexpr int kTemplate = 131;

    CDialogModalChooseImage(QWidget* parent, int templateId, std::string current = "");
    // The file name chosen ("place_car.png"); the current one until another is chosen.
    const std::string& GetImage() const { return _image; }
    // The full path of a place image of the skin.
    static std::string ImagePath(const std::string& file);

  protected:
    void OnInitDialog() override;
    bool OnSave() override;

  private:
    std::string _image;
    std::vector<std::string> _files;
    QListWidget* _list = nullptr;
};

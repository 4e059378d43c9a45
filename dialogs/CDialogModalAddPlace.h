#pragma once

#include <string>

#include "dialogs/CDialogModalBase.h"
#include "store/CStrPlace.h"

class QLabel;
class QLineEdit;

// Adds a place, or edits one: name, description and image (chosen among the skin's place images).
// A new place needs a name; its image is "place_unknown.png" until another is chosen. After adding
// a place the dialog offers to give it an all-day time frame on every day of the week.
class CDialogModalAddPlace : public CDialogModalBase {
  public:
    static constexpr int kTemplate = 130;
    static constexpr const char* kDefaultImage = "place_unknown.png";

    // `place` is filled with what was stored; `id` (may be null) receives the new place's id.
    // With `edit` the place given (found by its id) is changed instead.
    CDialogModalAddPlace(QWidget* parent, int templateId, CStrPlace* place, bool edit, int* id);
    const std::string& GetImage() const { return _image; }

  protected:
    void OnInitDialog() override;
    bool OnSave() override;

  private:
    void ChooseImage();
    void ShowImage();
    bool AddPlace(const CStrPlace& entered);
    bool EditPlace(const CStrPlace& entered);

    CStrPlace* _place;
    bool _edit;
    int* _id;
    std::string _image;
    QLineEdit* _name = nullptr;
    QLineEdit* _description = nullptr;
    QLabel* _picture = nullptr;
};

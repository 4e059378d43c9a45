#pragma once

#include "ui/CButtonOwnDrawImage.h"

// A choice of an option popup: a button with one fixed image and its caption above it. It shows
// either the image that another button (the main window's button of the device) shows for the
// state the choice offers, or its own image file, and takes its look from the cached skin records
// of its skin id.
class CButtonOwnFixed : public CButtonOwnDrawImage {
  public:
    // The standard size of a popup choice.
    static constexpr int kWidth = 60;
    static constexpr int kHeight = 65;

    // `fileImage` is the image used where neither a borrowed button nor the skin gives one.
    CButtonOwnFixed(CBaseWindow* parent, int controlId, const std::string& skinId, const std::string& caption,
                    const std::string& fileImage = "");

    // Shows the image `button` shows for `status`, instead of its own.
    void SetButtonForGettingImages(CButtonOwnDrawImage* button, int status);
    CButtonOwnDrawImage* GetButtonForGettingImages() const { return _images; }
    const std::string& GetFileImage() const { return _fileImage; }
    // Shows this image file whatever the skin names (a place's own image in the place lists).
    void SetFixedImage(const std::string& file);
    int GetStatusShown() const { return _statusShown; }

    Bitmap GetCurrentBitmapWithStatusFixed(int status, bool pressed) override;
    // The caption: what the choice does.
    void GetTextStatus(std::string& text) override { text = GetCaption(); }

  protected:
    void Draw(QPainter& painter) override;

  private:
    std::string _fileImage;
    bool _fixedImage = false;
    CButtonOwnDrawImage* _images = nullptr;
    int _statusShown = 1;
};

#include "ui/CButtonOwnFixed.h"

#include <QPainter>

CButtonOwnFixed::CButtonOwnFixed(CBaseWindow* parent, int controlId, const std::string& skinId,
                                 const std::string& caption, const std::string& fileImage)
    : CButtonOwnDrawImage(parent, controlId, skinId, DefaultImages{fileImage, fileImage, fileImage, "", ""},
                          caption, nullptr, 1),
      _fileImage(fileImage) {
    SetUseCachedConfig(true);
    GetConfigFromXML();
    // Every choice has the same size, whatever size the skin gives its device's own button.
    resize(kWidth, kHeight);
}

void CButtonOwnFixed::SetButtonForGettingImages(CButtonOwnDrawImage* button, int status) {
    _images = button;
    _statusShown = status;
    update();
}

void CButtonOwnFixed::SetFixedImage(const std::string& file) {
    _fileImage = file;
    _fixedImage = true;
    update();
}

CButtonOwnDrawImage::Bitmap CButtonOwnFixed::GetCurrentBitmapWithStatusFixed(int status, bool pressed) {
    if (_images) {
        return _images->GetCurrentBitmapWithStatusFixed(_statusShown, pressed);
    }
    if (_fixedImage) {
        Bitmap bitmap = ImageForKind(kOnUnpressed);
        bitmap.file = _fileImage;
        bitmap.image = GetBitmap(_fileImage);
        return bitmap;
    }
    // Its own image: the skin's on image, else the file it was given.
    return CButtonOwnDrawImage::GetCurrentBitmapWithStatusFixed(status < 0 ? 1 : status, pressed);
}

void CButtonOwnFixed::Draw(QPainter& painter) {
    const CXMLConfig& config = GetConfig();
    DrawFrame(painter);
    Bitmap bitmap = GetCurrentBitmap(isDown());
    // A borrowed image was placed for a button of another size: it is centred across this one.
    if (_images) {
        bitmap.record.rect.x = -1;
    }
    DrawImage(painter, rect(), bitmap, config.transparent != 0);
    if (hasFocus()) {
        DrawImage(painter, rect(), ImageForKind(kOverlay), true);
    }
    std::string caption;
    GetTextStatus(caption);
    WriteUpperStatus(painter, rect(), config.topText, caption);
}

#pragma once

#include <array>
#include <mutex>
#include <string>

#include "ui/CButtonOwnDrawImage.h"
#include "ui/CButtonTextConfig.h"

// The current-place panel of the main window: the place's image over a background, the place line
// (place and the current time frame) and four small texts: location area, cell, tracking mode
// and profile lock. It listens to the location engine and composes its texts again on every
// location change and whenever the window tells it the place or frame changed.
class CButtonOwnCurrentLocation : public CButtonOwnDrawImage {
  public:
    CButtonOwnCurrentLocation(CBaseWindow* parent, int controlId, const DefaultImages& images,
                              CMgr* locationEngine);

    // A location change: the texts are composed again on the window's thread.
    void StatusChanged(int status, int mgrId, int code) override;
    void GetConfigFromXMLChild(pugi::xml_node element, int orientation) override;
    void CreateChild() override;
    // The place line.
    void GetTextStatus(std::string& text) override;

    // Composes the place line and the four texts from the schedule and location engines, stores
    // the place shown in "last_place" when it changed, and repaints. Window's thread.
    void RefreshStrPlace();
    // Where the last paint put each part (for the panel's tests).
    void Reorder();

    struct Texts {
        std::string place;  // the place line
        std::string image;  // the place's image file
        std::string lac;
        std::string cell;
        std::string mode;
        std::string lock;
    };
    Texts GetTexts() const;

  protected:
    void Draw(QPainter& painter) override;

  private:
    struct Parts {
        CImageConfig place;
        CImageConfig background;
        CButtonTextConfig lac;
        CButtonTextConfig cell;
        CButtonTextConfig mode;
        CButtonTextConfig lock;
    };
    Parts& CurrentParts();
    void DrawText(QPainter& painter, const CButtonTextConfig& area, const QRect& fallback,
                  const std::string& text);

    std::array<Parts, 3> _parts;
    mutable std::mutex _textsLock;
    Texts _texts;
    int _lastPlaceStored = -1;
};

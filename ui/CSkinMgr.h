#pragma once

#include <memory>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "ui/CButtonTextConfig.h"
#include "ui/CDownTextConfig.h"
#include "ui/CFontConfig.h"
#include "ui/CImageConfig.h"
#include "ui/CRGBConfig.h"
#include "ui/CRectConfig.h"

class CBarConfigXML;

// The skin in use: finds the skin file that fits the screen (theme folder and resolution class),
// loads it and answers queries for the window, button and bar elements of an orientation. The
// fillers copy an element into a configuration record. The document lives from Initialize to
// UnloadXML; the records filled from it stay valid afterwards. Used on the window's thread only
// (its static helpers excepted).
class CSkinMgr {
  public:
    // Orientations: the index of every per-orientation array of the window and the buttons.
    static constexpr int kPortrait = 0;
    static constexpr int kLandscape = 1;
    static constexpr int kSquare = 2;
    static constexpr int kOrientations = 3;
    // Resolution classes.
    static constexpr int kResolutionSquare = 0;
    static constexpr int kResolutionQvga = 1;
    static constexpr int kResolutionVga = 2;

    static CSkinMgr* GetInstance();
    // Forgets the instance (tests, and the end of the program).
    static void DestroyInstance();
    // The screen the skin is chosen for: the main window's size.
    static void SetScreenSize(int width, int height);

    virtual ~CSkinMgr();
    CSkinMgr(const CSkinMgr&) = delete;
    CSkinMgr& operator=(const CSkinMgr&) = delete;

    // Finds and loads the skin of the screen. On failure the user is told ("ERROR LOCATING SKIN"
    // or "ERROR READING SKIN" with the path) and 0 is returned: the caller ends the program.
    virtual int Initialize();
    // A skin document already parsed from `path`: the next Initialize uses it instead of reading
    // the file, if `path` is still the skin to read.
    void OfferParsed(const std::string& path, std::unique_ptr<pugi::xml_document> document);
    // Parses a skin held in memory: 1 when it is a skin document (a "zentrova" root), which then
    // becomes the current skin with its button records read; else 0 and `why` says what is wrong.
    int LoadFromMemory(const void* data, size_t size, std::string& why);
    virtual void UnloadXML();
    // Orientation and resolution class from the current screen size.
    virtual void RefreshCaps();
    // The "button" element of that id in the window element of the orientation, or null.
    virtual pugi::xml_node GetButtonConfig(const std::string& id, int orientation);
    virtual pugi::xml_node GetButtonConfig(const std::string& id);
    // The window element of the resolution class and the orientation, or null.
    virtual pugi::xml_node GetWindowConfig(int orientation);
    virtual pugi::xml_node GetWindowConfig();
    // Fills `bar` from its "bar" element (defaults and the id when there is none).
    virtual void LoadBarConfig(CBarConfigXML* bar, const std::string& id, int orientation);
    virtual void LoadBarConfig(CBarConfigXML* bar, const std::string& id);
    // The folder every image name of the skin is relative to, ending in a separator.
    virtual std::string& GetImageDirectory(std::string& directory);
    virtual void FillPosition(CRectConfig* rect, pugi::xml_node node);
    virtual void FillFont(CFontConfig* font, pugi::xml_node node);
    virtual void FillText(CDownTextConfig* text, pugi::xml_node node);
    virtual void FillImage(CImageConfig* image, pugi::xml_node node);
    virtual void FillButtonText(CButtonTextConfig* text, pugi::xml_node node);
    virtual void FillRGB(CRGBConfig* rgb, pugi::xml_node node);
    virtual int GetOrientation() { return _orientation; }
    virtual int GetStatusXML() { return _loaded; }

    int GetResolutionClass() const { return _resolution; }
    // The skin file for the current theme and resolution class.
    std::string GetSkinPath();
    // The path of the window element of the resolution class and `orientation`.
    std::string GetWindowPath(int orientation);

    // The orientations whose records are read: square alone on a square screen, else portrait and
    // landscape, so that a rotation needs no second reading.
    static std::vector<int> OrientationsToRead(int orientation);
    static const char* OrientationId(int orientation);
    static const char* ResolutionId(int resolution);
    static const char* ResolutionFolder(int resolution);
    // A decimal integer read by its leading digits (optional blanks and sign first); text without
    // digits reads as 0, and values beyond the 32-bit range are clamped.
    static int ReadNumber(const char* text);
    // The file name an "image" element holds, without surrounding blanks.
    static std::string ImageFile(pugi::xml_node node);
    // The single node at `path` relative to `node`; null when there is none or the path is bad.
    static pugi::xml_node Select(pugi::xml_node node, const char* path);

  protected:
    CSkinMgr();
    // The window element path of the resolution class and `orientation` (the current one when -1).
    void SetResolutionAndOrientation(std::string& path, int orientation = -1);

  private:
    // Makes a parsed skin the current one and fills the button record cache from it.
    void Adopt(std::unique_ptr<pugi::xml_document> document);

    std::unique_ptr<pugi::xml_document> _document;
    std::unique_ptr<pugi::xml_document> _offered;
    std::string _offeredPath;
    int _loaded = 0;
    int _resolution = kResolutionVga;
    int _orientation = kPortrait;

    static std::unique_ptr<CSkinMgr> _me;
};

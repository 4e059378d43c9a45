#pragma once

#include <QAbstractButton>
#include <QImage>
#include <array>
#include <atomic>
#include <map>
#include <string>

#include <pugixml.hpp>

#include "managers/IStatusListener.h"
#include "ui/CDownTextConfig.h"
#include "ui/CFontConfig.h"
#include "ui/CImageConfig.h"
#include "ui/CRGBConfig.h"
#include "ui/CRectConfig.h"

class CBaseWindow;
class CMgr;

// A status button of the panel: a child widget with a control id and a skin id that listens to
// its manager and posts its control id to the parent window when pressed. It draws a plain look
// (its state's image and a frame); the buttons of each device refine it. Also holds the
// process-wide caches of skin records (by skin id) and of images (by name and size).
class CButtonOwnDrawImage : public QAbstractButton, public IStatusListener {
  public:
    // One button's skin record for one orientation.
    class CXMLConfig {
      public:
        struct Style {
            int borderWidth = -1;
            CRGBConfig borderColor;
            CRGBConfig brushColor;
        };
        int orientation = -1;
        CRectConfig position;
        CDownTextConfig topText;
        CImageConfig onPressed;
        CImageConfig onUnpressed;
        CImageConfig offPressed;
        CImageConfig offUnpressed;
        CImageConfig disabled;
        CImageConfig overlay;
        Style focusedPressed;
        Style focusedUnpressed;
        Style notFocusedPressed;
        Style notFocusedUnpressed;
        CFontConfig font;
        int border = 1;
        int text = 1;
        int autolocate = 1;
        int transparent = 0;
    };
    using ConfigSet = std::array<CXMLConfig, 3>;

    // The skin ids whose records are cached, in reading order.
    static const std::array<const char*, 28> kSkinIds;

    // The image files used where the skin names none.
    struct DefaultImages {
        std::string off;
        std::string on;
        std::string disabled;
        std::string third;  // the third state of three-state buttons
    };

    CButtonOwnDrawImage(CBaseWindow* parent, int controlId, const std::string& skinId,
                        const DefaultImages& images, const std::string& caption, CMgr* mgr, int transparent);
    ~CButtonOwnDrawImage() override;

    // Status of its manager; called on the manager's thread: stores it and repaints later.
    void StatusChanged(int status, int mgrId, int code) override;
    std::string& GetName() override { return _name; }

    int GetId() const { return _controlId; }
    const std::string& GetSkinName() const { return _skinId; }
    CMgr* GetMgr() const { return _mgr; }
    int GetStatus() const { return _status.load(); }
    // The record of the current orientation, and of a given one.
    CXMLConfig& GetConfig();
    CXMLConfig& GetConfig(int orientation) { return _config[static_cast<size_t>(orientation)]; }
    // Whether the panel places this button in its flow (autolocate of the current orientation).
    int GetReorder() { return GetConfig().autolocate; }
    int GetTransparent() { return GetConfig().transparent; }
    // Takes the records from the cache, or reads the skin when the id is not cached.
    void GetConfigFromXML();
    // Number of repaints asked by status changes (for the panel's tests).
    int GetRepaintsRequested() const { return _repaintsRequested.load(); }

    // Fills `config` from a "button" element.
    static void FillConfig(CXMLConfig* config, pugi::xml_node element, int orientation);
    // Reads the records of every cached id for the orientations the skin rule selects.
    static void FillCache();
    static void ClearCache();
    static const ConfigSet* GetCachedConfig(const std::string& skinId);

    // An image of the skin by file name, loaded once; "question.png" stands in for a missing
    // one. Null when neither can be read.
    static QImage GetBitmap(const std::string& name);
    // The same image at a given size (scaled copies are kept too).
    static QImage GetBitmap(const std::string& name, int cx, int cy);
    static void ClearBitmapList();

  protected:
    void paintEvent(QPaintEvent* event) override;
    // The image record and file of the current status.
    const CImageConfig& CurrentImage(std::string& file);

  private:
    CBaseWindow* _parent;
    int _controlId;
    std::string _skinId;
    DefaultImages _defaults;
    std::string _caption;
    CMgr* _mgr;
    std::string _name = "CButtonOwnDrawImage";
    std::atomic<int> _status{-1};
    std::atomic<int> _repaintsRequested{0};
    ConfigSet _config;
};

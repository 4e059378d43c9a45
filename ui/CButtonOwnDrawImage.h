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
class QPainter;

// A status button of the panel: a child widget with a control id and a skin id that listens to
// its manager, draws the image of the manager's status with the skin's styles, and posts its
// control id to the parent window when pressed. The buttons of each device choose their images
// and texts. Also holds the process-wide caches of skin records (by skin id) and of images (by
// name, and by name and size).
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

    // The kinds of image a button has.
    enum ImageKind { kOffUnpressed, kOffPressed, kOnUnpressed, kDisabled, kOverlay, kOnPressed, kImageKinds };

    // The image files used where the skin names none.
    struct DefaultImages {
        std::string off;
        std::string on;
        std::string disabled;
        std::string third;  // the third state of three-state buttons
        std::string overlay;
    };

    // An image chosen for a status: the picture, its file and its skin record (where it goes and
    // its transparent colour).
    struct Bitmap {
        QImage image;
        std::string file;
        CImageConfig record;
    };

    CButtonOwnDrawImage(CBaseWindow* parent, int controlId, const std::string& skinId,
                        const DefaultImages& images, const std::string& caption, CMgr* mgr, int transparent);
    ~CButtonOwnDrawImage() override;

    // Status of its manager; called on the manager's thread: stores it, and enables and repaints
    // the button later on the window's thread.
    void StatusChanged(int status, int mgrId, int code) override;
    std::string& GetName() override { return _name; }

    // Loads the images of every kind (and of the third state) and registers the button with its
    // window. Throws CBaseException ("ERROR LOADING" and the name) when an image and its stand-in
    // are both missing.
    virtual void Create();
    // Loads the images particular to a kind of button.
    virtual void CreateChild() {}
    // Runs on the window's thread after a status change, before the repaint.
    virtual void StatusChangedChild() {}
    virtual int GetTransparent() { return GetConfig().transparent; }
    // Whether the panel places this button in its flow (autolocate of the current orientation).
    virtual int GetReorder() { return GetConfig().autolocate; }
    virtual int GetId() const { return _controlId; }
    // The image of the current status, pressed or not.
    Bitmap GetCurrentBitmap(bool pressed) { return GetCurrentBitmapWithStatusFixed(GetStatus(), pressed); }
    // The image this button shows for `status` (the popups show the states they offer).
    virtual Bitmap GetCurrentBitmapWithStatusFixed(int status, bool pressed);
    // The translated text written above the image for the current status.
    virtual void GetTextStatus(std::string& text);
    // Reads the skin children particular to a kind of button.
    virtual void GetConfigFromXMLChild(pugi::xml_node, int) {}

    const std::string& GetSkinName() const { return _skinId; }
    void SetSkinName(const std::string& skinId) { _skinId = skinId; }
    const std::string& GetCaption() const { return _caption; }
    CMgr* GetMgr() const { return _mgr; }
    int GetStatus() const { return _status.load(); }
    void SetStatus(int status) { _status = status; }
    // The record of the current orientation, and of a given one.
    CXMLConfig& GetConfig();
    CXMLConfig& GetConfig(int orientation) { return _config[static_cast<size_t>(orientation)]; }
    // Records come from the cache of skin ids (popup buttons) instead of the skin itself.
    void SetUseCachedConfig(bool use) { _useCache = use; }
    // Takes the records from the cache, or reads the skin (with the kind's own children).
    void GetConfigFromXML();
    // Number of repaints asked by status changes, and of paints done (for the panel's tests).
    int GetRepaintsRequested() const { return _repaintsRequested.load(); }
    int GetPaintCount() const { return _paints; }

    // Fills `config` from a "button" element; `button` reads its own children too.
    static void FillConfig(CXMLConfig* config, pugi::xml_node element, int orientation,
                           CButtonOwnDrawImage* button = nullptr);
    // Reads the records of every cached id for the orientations the skin rule selects.
    static void FillCache();
    static void ClearCache();
    static const ConfigSet* GetCachedConfig(const std::string& skinId);

    // An image of the skin by file name, loaded once; "question.png" stands in for a missing
    // one. Null when neither can be read.
    static QImage GetBitmap(const std::string& name);
    // Reads the image `name` of the skin folder `directory` into the cache (a copy already there
    // stays) and returns the cached one. Safe on any thread: it reads no settings.
    static QImage LoadBitmap(const std::string& directory, const std::string& name);
    static bool IsBitmapCached(const std::string& name);
    // The same image at a given size; scaled copies are kept, the natural size adds nothing.
    static QImage GetBitmap(const std::string& name, int cx, int cy);
    // The image with every pixel of the colour (r, g, b) made transparent (kept too).
    static QImage GetKeyedBitmap(const std::string& name, int r, int g, int b);
    static void ClearBitmapList();
    // Number of images read from disk since the last clearing, and of scaled copies kept.
    static int GetLoadedBitmapCount();
    static int GetScaledBitmapCount();

    // Writes `text` at the top text's place of a button's rectangle: the skin's font, or Tahoma.
    static void WriteUpperStatus(QPainter& painter, const QRect& button, const CDownTextConfig& topText,
                                 const std::string& text, Qt::Alignment align = Qt::AlignCenter);
    // Draws an image at its record's rectangle inside `area` (-1 centres, no size keeps the
    // natural size), keyed by the record's colour when `transparent`.
    static void DrawImage(QPainter& painter, const QRect& area, const Bitmap& bitmap, bool transparent);

  protected:
    void paintEvent(QPaintEvent* event) override;
    // The whole look: style, image, overlay while focused, status text and caption.
    virtual void Draw(QPainter& painter);
    // Fills and outlines the button with the style of its focus and pressed state.
    void DrawFrame(QPainter& painter);
    // The image of a kind, with the file the button was given where the skin names none.
    Bitmap ImageOf(const CImageConfig& record, const std::string& defaultFile);
    // The plain table: 0 off, -1 and -2 disabled, any other on.
    Bitmap ImageForKind(ImageKind kind);
    Bitmap OnOrOff(bool on, bool pressed) { return ImageForKind(ImageKindFor(on, pressed)); }
    static ImageKind ImageKindFor(bool on, bool pressed) {
        if (on) {
            return pressed ? kOnPressed : kOnUnpressed;
        }
        return pressed ? kOffPressed : kOffUnpressed;
    }
    const DefaultImages& GetDefaults() const { return _defaults; }
    // Loads one image for Create; throws when it cannot.
    static void LoadForCreate(const std::string& file);
    CBaseWindow* GetParentWindow() const { return _parent; }

  private:
    CBaseWindow* _parent;
    int _controlId;
    std::string _skinId;
    DefaultImages _defaults;
    std::string _caption;
    CMgr* _mgr;
    bool _useCache = false;
    std::string _name = "CButtonOwnDrawImage";
    std::atomic<int> _status{-1};
    std::atomic<int> _repaintsRequested{0};
    int _paints = 0;
    ConfigSet _config;
};

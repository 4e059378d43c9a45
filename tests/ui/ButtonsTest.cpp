// The status buttons offscreen on the shipped theme: the image and text of every status of every
// kind of button, the repaint of only the button whose manager changed, the skin's styles, the
// colour key, and the image caches.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <filesystem>
#include <memory>

#include "core/CBaseException.h"
#include "core/CInstaller.h"
#include "core/CTextsMgr.h"
#include "support/RecordingMgr.h"
#include "support/OffscreenApp.h"
#include "support/TempHome.h"
#include "ui/CBaseWindow.h"
#include "ui/CButtonBT.h"
#include "ui/CButtonBand.h"
#include "ui/CButtonConnections.h"
#include "ui/CButtonMobilePhone.h"
#include "ui/CButtonOwnDrawImage.h"
#include "ui/CButtonOwnFixed.h"
#include "ui/CButtonSpeaker.h"
#include "ui/CButtonWifi.h"
#include "ui/CQtApplication.h"
#include "ui/CSkinMgr.h"

namespace fs = std::filesystem;

namespace {

class TestWindow : public CBaseWindow {
  public:
    int InitGUI(uintptr_t, const std::string&, int) override { return 1; }
};

// A manager whose status the test sets, telling its listeners as a device change would.
class SettableMgr : public RecordingMgr {
  public:
    using RecordingMgr::RecordingMgr;
    void Change(int status) {
        SetStatus(status);
        FireStatusChanged(10);
    }
};

class ButtonsTest : public ::testing::Test {
  protected:
    ButtonsTest() {
        qt = MakeOffscreenApp();
        CInstaller(home.services().home()).Install();
        CSkinMgr::DestroyInstance();
        CButtonOwnDrawImage::ClearBitmapList();
        CSkinMgr::SetScreenSize(240, 320);
        skinLoaded = CSkinMgr::GetInstance()->Initialize() == 1;
        window = std::make_unique<TestWindow>();
        window->resize(240, 320);
    }
    ~ButtonsTest() override {
        window.reset();
        CSkinMgr::GetInstance()->UnloadXML();
        CButtonOwnDrawImage::ClearBitmapList();
        CButtonOwnDrawImage::ClearCache();
        CSkinMgr::DestroyInstance();
    }

    using Images = CButtonOwnDrawImage::DefaultImages;
    static Images images(const char* off, const char* on, const char* disabled, const char* third = "") {
        return Images{off, on, disabled, third, ""};
    }
    template <class Button>
    Button* make(int id, const char* skinId, const Images& images, CMgr* mgr) {
        auto* button = new Button(window.get(), id, skinId, images, "", mgr, 0);
        button->GetConfigFromXML();
        button->Create();
        return button;
    }
    static void settle() {
        for (int i = 0; i < 5; ++i) {
            QApplication::processEvents();
        }
    }
    static std::string text(const char* key) { return CTextsMgr::Text(key); }

    TempHome home{platform::Services::Role::Program};
    std::unique_ptr<CQtApplication> qt;
    bool skinLoaded = false;
    std::unique_ptr<TestWindow> window;
};

TEST_F(ButtonsTest, EveryButtonShowsTheImageAndTextOfEachOfItsStatuses) {
    ASSERT_TRUE(skinLoaded);
    CButtonOwnDrawImage* wifi =
        make<CButtonWifi>(105, "wifi", images("wifi_des.png", "wifi.png", "wifi_dis.png"), nullptr);
    CButtonOwnDrawImage* bt = make<CButtonBT>(
        103, "bt",
        images("bluetooth_des.png", "bluetooth.png", "bluetooth_dis.png", "bluetooth_discoverable.png"),
        nullptr);
    CButtonOwnDrawImage* speaker = make<CButtonSpeaker>(
        104, "speaker", images("speaker_des.png", "speaker.png", "speaker_dis.png", "speaker_vibrate.png"),
        nullptr);
    CButtonOwnDrawImage* band =
        make<CButtonBand>(110, "band", images("2g.png", "3g.png", "2g_dis.png", "auto.png"), nullptr);
    CButtonOwnDrawImage* phone = make<CButtonMobilePhone>(
        107, "phone", images("mobilephone_des.png", "mobilephone.png", "mobilephone_dis.png"), nullptr);
    CButtonOwnDrawImage* connections = make<CButtonConnections>(
        108, "connections", images("connection_des.png", "connection.png", "connection_dis.png"), nullptr);
    struct Row {
        CButtonOwnDrawImage* button;
        int status;
        bool pressed;
        const char* image;
        const char* textKey;
    };
    const Row rows[] = {
        {wifi, -2, false, "wifi_dis.png", "DISABLED"},
        {wifi, -1, false, "wifi_dis.png", "DISABLED"},
        {wifi, 0, false, "wifi_des.png", "OFF"},
        {wifi, 1, false, "wifi.png", "ON"},
        {wifi, 7, false, "wifi_dis.png", "UNKNOWN"},
        {bt, -1, false, "bluetooth_dis.png", "DISABLED"},
        {bt, 0, false, "bluetooth_des.png", "OFF"},
        {bt, 1, true, "bluetooth.png", "ON"},
        {bt, 2, false, "bluetooth_discoverable.png", "DISCOVERABLE"},
        {bt, 2, true, "bluetooth_discoverable.png", "DISCOVERABLE"},
        {speaker, -1, false, "speaker_dis.png", "DISABLED"},
        {speaker, 0, false, "speaker_des.png", "OFF"},
        {speaker, 1, false, "speaker_vibrate.png", "VIBRATE"},
        {speaker, 2, false, "speaker.png", "ON"},
        {band, -2, false, "2g_dis.png", "DISABLED"},
        {band, 0, false, "auto.png", "BAND AUTO"},
        {band, 1, false, "2g.png", "BAND 2G"},
        {band, 2, true, "3g.png", "BAND 3G"},
        {phone, -1, false, "mobilephone_dis.png", "DISABLED"},
        {phone, 0, true, "mobilephone.png", "ON"},
        {phone, 1, false, "mobilephone_des.png", "OFF"},
        {connections, -2, false, "connection_dis.png", "DISABLED"},
        {connections, 0, false, "connection_dis.png", "DISABLED"},
        {connections, 1, true, "connection_des.png", "OFF"},
        {connections, 2, false, "connection.png", "ON"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.button->GetSkinName() + " " + std::to_string(row.status));
        row.button->SetStatus(row.status);
        CButtonOwnDrawImage::Bitmap bitmap = row.button->GetCurrentBitmap(row.pressed);
        EXPECT_EQ(bitmap.file, row.image);
        EXPECT_FALSE(bitmap.image.isNull());
        // The skin's record of that image: where it goes and its key colour.
        EXPECT_EQ(bitmap.record.rect.cx, 44);
        EXPECT_EQ(bitmap.record.color.g, 0);
        std::string shown;
        row.button->GetTextStatus(shown);
        EXPECT_EQ(shown, text(row.textKey));
    }
    // A popup choice shows the image its device's button shows for the state it offers.
    CButtonOwnFixed choice(window.get(), 1, "speaker", text("VIBRATE"));
    choice.SetButtonForGettingImages(speaker, 1);
    speaker->SetStatus(0);
    EXPECT_EQ(choice.GetCurrentBitmap(false).file, "speaker_vibrate.png");
}

TEST_F(ButtonsTest, AStatusChangeRepaintsOnlyItsButtonAndFollowsTheDisabledState) {
    ASSERT_TRUE(skinLoaded);
    SettableMgr wifiMgr(CMgr::MGR_WIFI);
    SettableMgr btMgr(CMgr::MGR_BT);
    wifiMgr.SetStatus(0);
    btMgr.SetStatus(0);
    CButtonOwnDrawImage* wifi =
        make<CButtonWifi>(105, "wifi", images("wifi_des.png", "wifi.png", "wifi_dis.png"), &wifiMgr);
    CButtonOwnDrawImage* bt = make<CButtonBT>(
        103, "bt",
        images("bluetooth_des.png", "bluetooth.png", "bluetooth_dis.png", "bluetooth_discoverable.png"),
        &btMgr);
    wifi->setGeometry(0, 200, 60, 65);
    bt->setGeometry(60, 200, 60, 65);
    window->show();
    settle();
    const int wifiPaints = wifi->GetPaintCount();
    const int btPaints = bt->GetPaintCount();
    ASSERT_GT(wifiPaints, 0);

    wifiMgr.Change(1);
    settle();
    EXPECT_GT(wifi->GetPaintCount(), wifiPaints);
    EXPECT_EQ(bt->GetPaintCount(), btPaints);
    EXPECT_EQ(wifi->GetStatus(), 1);

    wifiMgr.Change(-1);
    settle();
    EXPECT_FALSE(wifi->isEnabled());
    wifiMgr.Change(0);
    settle();
    EXPECT_TRUE(wifi->isEnabled());
    // A change of another manager's id is not this button's business.
    wifi->StatusChanged(1, CMgr::MGR_BT, 10);
    EXPECT_EQ(wifi->GetStatus(), 0);
    // The buttons leave their managers before the managers go.
    delete wifi;
    delete bt;
}

TEST_F(ButtonsTest, DrawingUsesTheSkinsStyleAndKeysOutTheTransparentColour) {
    ASSERT_TRUE(skinLoaded);
    SettableMgr wifiMgr(CMgr::MGR_WIFI);
    wifiMgr.SetStatus(1);
    CButtonOwnDrawImage* wifi =
        make<CButtonWifi>(105, "wifi", images("wifi_des.png", "wifi.png", "wifi_dis.png"), &wifiMgr);
    wifi->setGeometry(0, 0, 60, 65);
    // Not focused (the window is not shown yet), not pressed: the skin's 1-pixel border and its
    // dark brush.
    QImage unfocused = wifi->grab().toImage();
    window->show();
    EXPECT_EQ(unfocused.pixelColor(0, 30), QColor(36, 50, 74));
    EXPECT_EQ(unfocused.pixelColor(3, 3), QColor(21, 32, 51));
    wifi->setFocus();
    settle();
    QImage focused = wifi->grab().toImage();
    EXPECT_EQ(focused.pixelColor(0, 30), QColor(56, 189, 248));
    EXPECT_EQ(focused.pixelColor(1, 30), QColor(56, 189, 248));
    EXPECT_EQ(focused.pixelColor(3, 3), QColor(28, 42, 64));
    delete wifi;  // it leaves its manager before the manager goes

    // The colour key: magenta goes, every other colour stays.
    std::string directory;
    CSkinMgr::GetInstance()->GetImageDirectory(directory);
    QImage keyed(4, 1, QImage::Format_RGB32);
    keyed.setPixel(0, 0, qRgb(255, 0, 255));
    keyed.setPixel(1, 0, qRgb(255, 0, 254));
    keyed.setPixel(2, 0, qRgb(10, 20, 30));
    keyed.setPixel(3, 0, qRgb(255, 0, 255));
    ASSERT_TRUE(keyed.save(QString::fromStdString(directory + "keyed_test.png")));
    QImage out = CButtonOwnDrawImage::GetKeyedBitmap("keyed_test.png", 255, 0, 255);
    EXPECT_EQ(qAlpha(out.pixel(0, 0)), 0);
    EXPECT_EQ(out.pixel(1, 0), qRgb(255, 0, 254));
    EXPECT_EQ(out.pixel(2, 0), qRgb(10, 20, 30));
    EXPECT_EQ(qAlpha(out.pixel(3, 0)), 0);
}

TEST_F(ButtonsTest, ImagesAreLoadedOnceAndScaledCopiesKeptOnlyForOtherSizes) {
    ASSERT_TRUE(skinLoaded);
    CButtonOwnDrawImage::ClearBitmapList();
    QImage first = CButtonOwnDrawImage::GetBitmap("wifi.png");
    QImage again = CButtonOwnDrawImage::GetBitmap("wifi.png");
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first.cacheKey(), again.cacheKey());
    EXPECT_EQ(CButtonOwnDrawImage::GetLoadedBitmapCount(), 1);
    // Its natural size: the same image, nothing kept.
    QImage natural = CButtonOwnDrawImage::GetBitmap("wifi.png", first.width(), first.height());
    EXPECT_EQ(natural.cacheKey(), first.cacheKey());
    EXPECT_EQ(CButtonOwnDrawImage::GetScaledBitmapCount(), 0);
    QImage small = CButtonOwnDrawImage::GetBitmap("wifi.png", 20, 20);
    QImage smallAgain = CButtonOwnDrawImage::GetBitmap("wifi.png", 20, 20);
    EXPECT_EQ(small.size(), QSize(20, 20));
    EXPECT_EQ(small.cacheKey(), smallAgain.cacheKey());
    EXPECT_EQ(CButtonOwnDrawImage::GetScaledBitmapCount(), 1);
    EXPECT_EQ(CButtonOwnDrawImage::GetLoadedBitmapCount(), 1);
    // A missing image: the skin's question mark stands in; with that gone too, nothing.
    QImage question = CButtonOwnDrawImage::GetBitmap("question.png");
    QImage missing = CButtonOwnDrawImage::GetBitmap("no_such_image.png");
    EXPECT_EQ(missing.size(), question.size());
    std::string directory;
    CSkinMgr::GetInstance()->GetImageDirectory(directory);
    fs::remove(directory + "question.png");
    CButtonOwnDrawImage::ClearBitmapList();
    EXPECT_TRUE(CButtonOwnDrawImage::GetBitmap("no_such_image.png").isNull());
    // A button whose image cannot be had at all refuses to be created.
    auto* broken = new CButtonWifi(window.get(), 105, "wifi", images("gone.png", "gone.png", "gone.png"), "",
                                   nullptr, 0);
    EXPECT_THROW(broken->Create(), CBaseException);
    CButtonOwnDrawImage::ClearBitmapList();
    EXPECT_EQ(CButtonOwnDrawImage::GetLoadedBitmapCount(), 0);
    EXPECT_EQ(CButtonOwnDrawImage::GetScaledBitmapCount(), 0);
}

}  // namespace

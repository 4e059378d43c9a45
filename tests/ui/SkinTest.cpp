// The skin: screen classes, the reading of the XML vocabulary where it is easy to get wrong, and
// skins that cannot be used.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "core/CTextsMgr.h"
#include "core/SafeFormat.h"
#include "support/OffscreenApp.h"
#include "support/TempHome.h"
#include "support/TestSkin.h"
#include "ui/CBarBatteryConfigXML.h"
#include "ui/CBarSignalConfigXML.h"
#include "ui/CButtonOwnDrawImage.h"
#include "ui/CSkinMgr.h"
#include "ui/CSkinPreloader.h"
#include "ui/CWindowMain.h"

namespace fs = std::filesystem;

namespace {

class SkinTest : public ::testing::Test {
  protected:
    SkinTest() {
        CInstaller(home.services().home()).Install();
        CSkinMgr::DestroyInstance();
    }
    ~SkinTest() override { CSkinMgr::DestroyInstance(); }

    fs::path skinFolder(const char* resolution) {
        return home.services().home().programDir() / "themes" / "default" / resolution;
    }
    void writeSkin(const char* resolution, const std::string& xml) {
        fs::create_directories(skinFolder(resolution));
        std::ofstream(skinFolder(resolution) / "skin.xml") << xml;
    }

    TempHome home{platform::Services::Role::Program};
};

TEST_F(SkinTest, ScreenSizesGiveTheirClassOrientationAndFolder) {
    struct Row {
        int width, height;
        const char* resolution;
        int orientation;
    };
    const Row rows[] = {
        {240, 320, "qvga", CSkinMgr::kPortrait},
        {320, 240, "qvga", CSkinMgr::kLandscape},
        {480, 640, "vga", CSkinMgr::kPortrait},
        {640, 480, "vga", CSkinMgr::kLandscape},
        {240, 240, "square", CSkinMgr::kSquare},
        {480, 480, "square", CSkinMgr::kSquare},
        {480, 800, "vga", CSkinMgr::kPortrait},
        // Small screens of no class take the quarter-VGA skin.
        {240, 300, "qvga", CSkinMgr::kPortrait},
        {320, 200, "qvga", CSkinMgr::kLandscape},
    };
    for (const Row& row : rows) {
        CSkinMgr::SetScreenSize(row.width, row.height);
        CSkinMgr* skin = CSkinMgr::GetInstance();
        skin->RefreshCaps();
        SCOPED_TRACE(std::to_string(row.width) + "x" + std::to_string(row.height));
        EXPECT_STREQ(CSkinMgr::ResolutionId(skin->GetResolutionClass()), row.resolution);
        EXPECT_EQ(skin->GetOrientation(), row.orientation);
        EXPECT_EQ(skin->GetSkinPath(), (skinFolder(row.resolution) / "skin.xml").string());
    }
}

TEST_F(SkinTest, AttributesAreReadExactlyAndMissingOnesLeaveDefaults) {
    writeSkin("vga", R"(<zentrova><resolution id="vga"><orientation id="portrait">
        <bar id="battery" border="No" autolocate="no" mode="Gradient">
          <position x="12" y="7abc" cx="x"/>
          <border_color width="2"><rgb r="1" g="2"/></border_color>
          <gradient id="begin"><rgb r="300" g="-4" b="9"/></gradient>
          <image id="battery" r="10" g="20" b="30">  bat.png
          </image>
          <image id="AC">ac.png</image>
          <font family="Tahoma" fontbold="700"/>
        </bar>
        <bar id="signal" border="no" autolocate="yes" mode="gradient"/>
        <button id="wifi" border="no" text="No" autolocate="NO" transparent="yes"/>
      </orientation></resolution></zentrova>)");
    CSkinMgr::SetScreenSize(480, 640);
    CSkinMgr* skin = CSkinMgr::GetInstance();
    ASSERT_EQ(skin->Initialize(), 1);
    CBarBatteryConfigXML battery;
    skin->LoadBarConfig(&battery, "battery");
    CBarSignalConfigXML signal;
    skin->LoadBarConfig(&signal, "signal");
    CBarSignalConfigXML missing;
    skin->LoadBarConfig(&missing, "signal", CSkinMgr::kLandscape);
    const auto* wifi = CButtonOwnDrawImage::GetCachedConfig("wifi");
    ASSERT_NE(wifi, nullptr);
    const CButtonOwnDrawImage::CXMLConfig& w = (*wifi)[CSkinMgr::kPortrait];

    struct Row {
        const char* what;
        int got, expected;
    };
    const Row rows[] = {
        {"'No' is still a border", battery.border, 1},
        {"only 'no' removes it", signal.border, 0},
        {"'Gradient' is image mode", battery.mode, CBarConfigXML::kModeImage},
        {"'gradient' is gradient mode", signal.mode, CBarConfigXML::kModeGradient},
        {"autolocate no", battery.autolocate, 0},
        {"leading digits", battery.position.y, 7},
        {"no digits reads 0", battery.position.cx, 0},
        {"absent stays -1", battery.position.cy, -1},
        {"border width", battery.borderWidth, 2},
        {"colour lacking a component stays unset", battery.borderColor.r, -1},
        {"components are brought into range", battery.gradientBegin.r, 255},
        {"... from below too", battery.gradientBegin.g, 0},
        {"image colour from its attributes", battery.imageBattery.color.b, 30},
        {"image without colour stays unset", battery.imageAC.color.r, -1},
        {"font without size keeps -1", battery.font.fontSize, -1},
        {"font weight", battery.font.weight, 700},
        {"missing bar keeps its defaults", missing.border, 1},
        {"button border no", w.border, 0},
        {"button text 'No'", w.text, 1},
        {"button autolocate 'NO'", w.autolocate, 1},
        {"button transparent", w.transparent, 1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.got, row.expected) << row.what;
    }
    EXPECT_EQ(battery.imageBattery.file, "bat.png");
    EXPECT_EQ(battery.font.family, "Tahoma");
    EXPECT_EQ(missing.id, "signal");
    EXPECT_FALSE(missing.GetXMLConfig());
    // A button the skin does not name keeps its defaults in the cache.
    EXPECT_EQ((*CButtonOwnDrawImage::GetCachedConfig("time_limit_60"))[0].position.x, -1);
    skin->UnloadXML();
    EXPECT_EQ(skin->GetStatusXML(), 0);
}

TEST_F(SkinTest, AMissingOrBrokenSkinIsReportedWithItsPath) {
    CTextsMgr* texts = CTextsMgr::GetInstance();
    CSkinMgr::SetScreenSize(240, 320);
    const std::string path = (skinFolder("qvga") / "skin.xml").string();
    std::filesystem::remove(path);  // the installed theme's, if any
    EXPECT_EQ(CSkinMgr::GetInstance()->Initialize(), 0);
    test_skin::Install(home.services().home().programDir());
    std::string whole;
    {
        std::ifstream in(path);
        whole.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::ofstream(path, std::ios::trunc) << whole.substr(0, whole.size() / 2);
    EXPECT_EQ(CSkinMgr::GetInstance()->Initialize(), 0);
    auto shown = home.boxes().shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, SafeSprintf(texts->GetText("ERROR LOCATING SKIN"), path));
    EXPECT_EQ(shown[1].text, SafeSprintf(texts->GetText("ERROR READING SKIN"), path));
    EXPECT_EQ(CSkinMgr::GetInstance()->GetStatusXML(), 0);
}

// The skin read ahead of the window is the one Initialize uses, but only while it is still the
// skin of the screen; a skin the read-ahead could not parse is read and reported as before. The
// panel's images are in the cache once the read-ahead is done.
TEST_F(SkinTest, ASkinReadAheadIsUsedOnlyForItsOwnFile) {
    auto qt = MakeOffscreenApp();  // the JPEG reader is a plugin of the application
    CTextsMgr* texts = CTextsMgr::GetInstance();
    CSkinMgr::SetScreenSize(240, 320);
    const std::string qvga = (skinFolder("qvga") / "skin.xml").string();
    CButtonOwnDrawImage::ClearBitmapList();
    {
        CSkinPreloader preloader(CWindowMain::StartupImages());
        preloader.OfferSkin();
        // Broken after the read: the document read ahead is the one taken.
        std::ofstream(qvga, std::ios::trunc) << "<zentrova><resolution";
        EXPECT_EQ(CSkinMgr::GetInstance()->Initialize(), 1);
        EXPECT_TRUE(CSkinMgr::GetInstance()->GetButtonConfig("wifi"));
    }
    for (const std::string& name : CWindowMain::StartupImages()) {
        EXPECT_TRUE(CButtonOwnDrawImage::IsBitmapCached(name)) << name;
    }
    EXPECT_TRUE(CButtonOwnDrawImage::IsBitmapCached("mainwindow_bg.jpg"));
    CSkinMgr::GetInstance()->UnloadXML();

    // Offered for the quarter-VGA screen, then the screen changes: the VGA file is read.
    test_skin::Install(home.services().home().programDir(), true);
    {
        CSkinPreloader preloader({});
        preloader.OfferSkin();
        CSkinMgr::SetScreenSize(480, 640);
        writeSkin("vga", "<zentrova><resolution");
        EXPECT_EQ(CSkinMgr::GetInstance()->Initialize(), 0);
    }
    // Broken before the read: nothing is offered and Initialize tells what is wrong.
    {
        CSkinPreloader preloader({});
        preloader.OfferSkin();
        EXPECT_EQ(CSkinMgr::GetInstance()->Initialize(), 0);
    }
    auto shown = home.boxes().shown();
    ASSERT_EQ(shown.size(), 2u);
    const std::string vga = (skinFolder("vga") / "skin.xml").string();
    EXPECT_EQ(shown[0].text, SafeSprintf(texts->GetText("ERROR READING SKIN"), vga));
    EXPECT_EQ(shown[1].text, shown[0].text);
    CButtonOwnDrawImage::ClearBitmapList();
}

}  // namespace

namespace {

// Select walks simple paths itself and leaves other forms to XPath: either way it finds the node
// XPath finds, the first in document order.
TEST(SkinSelectTest, FindsWhatXPathFinds) {
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(R"(
        <zentrova>
          <resolution id="qvga"><orientation id="portrait"><button id="a"/></orientation></resolution>
          <resolution id="vga">
            <orientation id="portrait">
              <button id="place"><position x="1"/></button>
              <button id="wifi" kind="radio">
                <state id="focused"><border_color id="pressed" width="2"><rgb r="1"/></border_color></state>
                <image id="on_pressed">on.png</image>
                <image>no-id.png</image>
                <image id="on_pressed">second.png</image>
              </button>
              <bar><rgb r="7"/></bar>
              <bar id="signal"><position x="5"/><rgb r="9"/></bar>
              <TopTextSate><font size="3"/></TopTextSate>
            </orientation>
          </resolution>
        </zentrova>)"));
    const pugi::xml_node window = document.select_node("/zentrova/resolution[@id='vga']/orientation").node();
    ASSERT_TRUE(window);
    const char* const paths[] = {
        "/zentrova/resolution[@id='vga']/orientation[@id='portrait']",
        "/zentrova/resolution[@id='qvga']/orientation[@id='landscape']",
        "/zentrova/resolution/orientation/button",  // the first resolution's button
        "./button[@id='wifi']",
        "./button[@id='wifi']/image[@id='on_pressed']",  // the first of two
        "./button[@kind=\"radio\"]/state[@id='focused']/border_color[@id='pressed']/rgb",
        "./button/image",  // under the second button: the first has none
        "./bar/position",  // under the second bar
        "./bar/rgb",       // under the first bar
        "./button[@id='none']/position",
        "./button[@missing='x']",
        "./TopTextSate/font",
        "./image",      // not a child of the window
        "./button[2]",  // other forms: XPath
        "//rgb",
        "./button/*",
        "./button[@id='wifi']/image[.='second.png']",
        ".",
    };
    for (const char* path : paths) {
        SCOPED_TRACE(path);
        EXPECT_EQ(CSkinMgr::Select(window, path), window.select_node(path).node());
    }
    EXPECT_FALSE(CSkinMgr::Select(window, "./button[@id='wifi'"));  // bad path: none, no throw
    EXPECT_FALSE(CSkinMgr::Select(pugi::xml_node(), "./button"));
}

}  // namespace

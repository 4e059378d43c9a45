#include <pugixml.hpp>
#include <string>

#include "FuzzTargets.h"
#include "ui/CBarBatteryConfigXML.h"
#include "ui/CBarSignalConfigXML.h"
#include "ui/CButtonTextConfig.h"
#include "ui/CDownTextConfig.h"
#include "ui/CImageConfig.h"
#include "ui/CSkinMgr.h"

// A skin file as the panel reads it: parsed, its button records filled for every screen class,
// the two bars of each orientation loaded, and every element of each window element put through
// each filler, as a skin author's mistake could put any element anywhere.
int FuzzSkin(const uint8_t* data, size_t size) {
    CSkinMgr* skin = CSkinMgr::GetInstance();
    static const int kScreens[][2] = {{240, 320}, {480, 640}, {240, 240}};
    for (const auto& screen : kScreens) {
        CSkinMgr::SetScreenSize(screen[0], screen[1]);
        skin->RefreshCaps();
        std::string why;
        if (!skin->LoadFromMemory(data, size, why)) {
            return 0;
        }
        for (int orientation = 0; orientation < CSkinMgr::kOrientations; ++orientation) {
            CBarBatteryConfigXML battery;
            CBarSignalConfigXML signal;
            skin->LoadBarConfig(&battery, "battery", orientation);
            skin->LoadBarConfig(&signal, "signal", orientation);
            pugi::xml_node window = skin->GetWindowConfig(orientation);
            for (pugi::xml_node element : window.children()) {
                CRectConfig rect;
                CDownTextConfig text;
                CImageConfig image;
                CButtonTextConfig buttonText;
                CFontConfig font;
                skin->FillPosition(&rect, element);
                skin->FillText(&text, element);
                skin->FillImage(&image, element);
                skin->FillButtonText(&buttonText, element);
                skin->FillFont(&font, element);
            }
        }
        skin->UnloadXML();
    }
    return 0;
}

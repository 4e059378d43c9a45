#include "ui/CBarConfigXML.h"

#include <cstring>

#include "ui/CSkinMgr.h"

void CBarConfigXML::Initialize(pugi::xml_node element, const std::string& barId) {
    id = barId;
    _element = element;
    if (!element) {
        return;
    }
    // Only the exact lower-case words switch a flag off or choose the gradient.
    if (pugi::xml_attribute a = element.attribute("border")) {
        border = std::strcmp(a.value(), "no") == 0 ? 0 : 1;
    }
    if (pugi::xml_attribute a = element.attribute("autolocate")) {
        autolocate = std::strcmp(a.value(), "no") == 0 ? 0 : 1;
    }
    if (pugi::xml_attribute a = element.attribute("mode")) {
        mode = std::strcmp(a.value(), "gradient") == 0 ? kModeGradient : kModeImage;
    }
    CSkinMgr* skin = CSkinMgr::GetInstance();
    skin->FillPosition(&position, CSkinMgr::Select(element, "./position"));
    skin->FillRGB(&gradientBegin, CSkinMgr::Select(element, "./gradient[@id='begin']/rgb"));
    skin->FillRGB(&gradientEnd, CSkinMgr::Select(element, "./gradient[@id='end']/rgb"));
    skin->FillFont(&font, CSkinMgr::Select(element, "./font"));
    skin->FillImage(&image, CSkinMgr::Select(element, "./image[@id='bar']"));
    skin->FillButtonText(&percentage, CSkinMgr::Select(element, "./ButtonText[@id='percentage']"));
    if (pugi::xml_node borderNode = CSkinMgr::Select(element, "./border_color")) {
        if (pugi::xml_attribute w = borderNode.attribute("width")) {
            borderWidth = CSkinMgr::ReadNumber(w.value());
        }
    }
    skin->FillRGB(&borderColor, CSkinMgr::Select(element, "./border_color/rgb"));
    InitializeChild(element, barId);
}

void CBarConfigXML::InitializeChild(pugi::xml_node, const std::string&) {}

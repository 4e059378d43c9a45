#include "ui/CBarBatteryConfigXML.h"

#include "ui/CSkinMgr.h"

void CBarBatteryConfigXML::InitializeChild(pugi::xml_node element, const std::string&) {
    CSkinMgr* skin = CSkinMgr::GetInstance();
    skin->FillImage(&imageAC, CSkinMgr::Select(element, "./image[@id='AC']"));
    skin->FillImage(&imageBattery, CSkinMgr::Select(element, "./image[@id='battery']"));
}

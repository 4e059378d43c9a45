#include "ui/CBarSignalConfigXML.h"

#include "ui/CSkinMgr.h"

void CBarSignalConfigXML::InitializeChild(pugi::xml_node element, const std::string&) {
    CSkinMgr::GetInstance()->FillImage(&imageSignal, CSkinMgr::Select(element, "./image[@id='signal']"));
}

#pragma once

#include "ui/CBarConfigXML.h"

// The battery bar: adds the symbols shown on external power and on battery.
class CBarBatteryConfigXML : public CBarConfigXML {
  public:
    void InitializeChild(pugi::xml_node element, const std::string& id) override;

    CImageConfig imageAC;
    CImageConfig imageBattery;
};

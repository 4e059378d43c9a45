#pragma once

#include "ui/CBarConfigXML.h"

// The signal bar: adds the signal symbol.
class CBarSignalConfigXML : public CBarConfigXML {
  public:
    void InitializeChild(pugi::xml_node element, const std::string& id) override;

    CImageConfig imageSignal;
};

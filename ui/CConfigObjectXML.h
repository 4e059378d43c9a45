#pragma once

#include <pugixml.hpp>

// A record filled from one skin element. The element handle is only valid while the skin
// document is loaded; after it is released the handle must not be used.
class CConfigObjectXML {
  public:
    virtual ~CConfigObjectXML() = default;

    pugi::xml_node GetXMLConfig() const { return _element; }

  protected:
    pugi::xml_node _element;
};

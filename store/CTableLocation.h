#pragma once

#include "store/CStrPlace.h"

// What the location tables (location area codes and cells) share beyond the table machinery:
// removing the associations of a place.
class CTableLocation {
  public:
    virtual ~CTableLocation() = default;
    virtual void DeleteFromPlace(const CStrPlace& place) = 0;
};

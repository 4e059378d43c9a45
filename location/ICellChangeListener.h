#pragma once

#include <cstddef>

// Told whenever the cell history changes, with the number of entries it holds now.
class ICellChangeListener {
  public:
    virtual ~ICellChangeListener() = default;
    virtual void CellHistoryChanged(size_t entries) = 0;
};

#pragma once

#include "dialogs/CPropertyPageHistory.h"

// The current history page: the battery current over time and its average.
class CPropertyPageCurrent : public CPropertyPageHistory {
  public:
    CPropertyPageCurrent() : CPropertyPageHistory("PAGE CURRENT", "current_dialog", Kind::Current) {}

    // The average current of the samples in milliamperes, each value weighted by how long it
    // held, rounded to the nearest.
    static int Average(const std::vector<CHistoryReader::Sample>& shown);

  protected:
    std::vector<std::string> Statistics(const std::vector<CHistoryReader::Sample>& shown) const override;
};

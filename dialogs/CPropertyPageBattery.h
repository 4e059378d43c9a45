#pragma once

#include "dialogs/CPropertyPageHistory.h"

// The battery history page: the charge over time and how fast it was used.
class CPropertyPageBattery : public CPropertyPageHistory {
  public:
    CPropertyPageBattery() : CPropertyPageHistory("PAGE BATTERY", "battery_dialog", Kind::Battery) {}

    // Duration of the samples (seconds from the first to the last), the charge used in it
    // (percent), and the charge used per hour.
    struct Figures {
        int64_t seconds = 0;
        int used = 0;
        double perHour = 0;
    };
    static Figures Compute(const std::vector<CHistoryReader::Sample>& shown);

  protected:
    std::vector<std::string> Statistics(const std::vector<CHistoryReader::Sample>& shown) const override;
};

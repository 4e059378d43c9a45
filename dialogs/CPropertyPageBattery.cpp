#include "dialogs/CPropertyPageBattery.h"

#include "core/CTextsMgr.h"
#include "core/SafeFormat.h"

// duration = time of the last sample - time of the first;
// used     = the sum of every drop between two following samples (charging, a rise, is not
//            counted, so that a charge in the middle does not hide what was used around it);
// per hour = used / duration in hours (0 for a duration of 0).
CPropertyPageBattery::Figures CPropertyPageBattery::Compute(
    const std::vector<CHistoryReader::Sample>& shown) {
    Figures figures;
    if (shown.size() < 2) {
        return figures;
    }
    figures.seconds = shown.back().seconds - shown.front().seconds;
    for (size_t i = 1; i < shown.size(); ++i) {
        if (shown[i].value < shown[i - 1].value) {
            figures.used += shown[i - 1].value - shown[i].value;
        }
    }
    if (figures.seconds > 0) {
        figures.perHour = figures.used * 3600.0 / static_cast<double>(figures.seconds);
    }
    return figures;
}

std::vector<std::string> CPropertyPageBattery::Statistics(
    const std::vector<CHistoryReader::Sample>& shown) const {
    const Figures figures = Compute(shown);
    const int minutes = static_cast<int>(figures.seconds / 60);
    return {SafeSprintf(CTextsMgr::Text("DIALOG_BATTERY_STATISTICS_DURATION"), minutes / 60, minutes % 60),
            SafeSprintf(CTextsMgr::Text("DIALOG_BATTERY_STATISTICS_CONSUMPTION"), figures.used),
            SafeSprintf(CTextsMgr::Text("DIALOG_BATTERY_STATISTICS_SPEED"), figures.perHour)};
}

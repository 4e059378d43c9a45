#include "dialogs/CPropertyPageCurrent.h"

#include <cmath>

#include "core/CTextsMgr.h"
#include "core/SafeFormat.h"

// A line is written when the current changes, so each value holds until the next line:
// average = sum(value[i] x (time[i+1] - time[i])) / (time[last] - time[first]).
// When all samples share one time, the plain mean of their values.
int CPropertyPageCurrent::Average(const std::vector<CHistoryReader::Sample>& shown) {
    if (shown.empty()) {
        return 0;
    }
    const int64_t duration = shown.back().seconds - shown.front().seconds;
    double sum = 0;
    if (duration > 0) {
        for (size_t i = 0; i + 1 < shown.size(); ++i) {
            sum += static_cast<double>(shown[i].value) *
                   static_cast<double>(shown[i + 1].seconds - shown[i].seconds);
        }
        return static_cast<int>(std::lround(sum / static_cast<double>(duration)));
    }
    for (const CHistoryReader::Sample& s : shown) {
        sum += s.value;
    }
    return static_cast<int>(std::lround(sum / static_cast<double>(shown.size())));
}

std::vector<std::string> CPropertyPageCurrent::Statistics(
    const std::vector<CHistoryReader::Sample>& shown) const {
    const int minutes =
        shown.empty() ? 0 : static_cast<int>((shown.back().seconds - shown.front().seconds) / 60);
    return {SafeSprintf(CTextsMgr::Text("DIALOG_BATTERY_STATISTICS_DURATION"), minutes / 60, minutes % 60),
            SafeSprintf(CTextsMgr::Text("DIALOG_CURRENT_STATISTICS_AVERAGE"), Average(shown))};
}

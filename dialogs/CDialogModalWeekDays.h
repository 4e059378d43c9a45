#pragma once

#include <array>
#include <string>

#include "dialogs/CDialogModalBase.h"

class QCheckBox;

// Seven check boxes, Monday to Sunday. The choice is a text of seven digits, Monday first, 1 for
// a ticked day ("1010000": Monday and Wednesday).
class CDialogModalWeekDays : public CDialogModalBase {
  public:
    static constexpr int kTemplate = 174;

    // `days` ticks the days whose digit is 1; `copyText` shows the line that says the days are
    // copy targets.
    CDialogModalWeekDays(QWidget* parent, std::string days, bool copyText);
    const std::string& GetDays() const { return _days; }
    // Whether day `weekDay` (1 Monday ... 7 Sunday) of a seven-digit text is ticked.
    static bool IsDayIn(const std::string& days, int weekDay);
    // The seven-digit text with only `weekDay` ticked.
    static std::string OnlyDay(int weekDay);

  protected:
    void OnInitDialog() override;
    bool OnSave() override;

  private:
    std::string _days;
    bool _copyText;
    std::array<QCheckBox*, 7> _boxes{};
};

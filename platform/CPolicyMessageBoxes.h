#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "platform/IMessageBoxes.h"

namespace platform {

// Message boxes for runs with nobody to answer them (no display, tests, scripts): every question
// gets the same configured answer, text and error boxes are acknowledged at once. Each text is
// written to standard output (when enabled) and kept so that tests can read what was shown.
class CPolicyMessageBoxes : public IMessageBoxes {
  public:
    struct Shown {
        BoxKind kind;
        std::string text;
    };

    explicit CPolicyMessageBoxes(bool answerYes = false, bool echo = true);
    // Answer from ZENTROVA_BOX_ANSWER: "yes" or "no" (default "no", the safe answer).
    static CPolicyMessageBoxes fromEnvironment();

    CPolicyMessageBoxes(const CPolicyMessageBoxes& other);

    int show(BoxKind kind, const std::string& text) override;

    void setAnswerYes(bool yes);
    std::vector<Shown> shown() const;
    void clear();

  private:
    mutable std::mutex _lock;
    bool _answerYes;
    bool _echo;
    std::vector<Shown> _shown;
};

}  // namespace platform

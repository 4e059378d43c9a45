#include "platform/CPolicyMessageBoxes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

CPolicyMessageBoxes::CPolicyMessageBoxes(bool answerYes, bool echo) : _answerYes(answerYes), _echo(echo) {}

CPolicyMessageBoxes::CPolicyMessageBoxes(const CPolicyMessageBoxes& other) {
    std::lock_guard lock(other._lock);
    _answerYes = other._answerYes;
    _echo = other._echo;
    _shown = other._shown;
}

CPolicyMessageBoxes CPolicyMessageBoxes::fromEnvironment() {
    const char* answer = std::getenv("ZENTROVA_BOX_ANSWER");
    bool yes = false;
    if (answer && *answer) {
        if (std::strcmp(answer, "yes") == 0) {
            yes = true;
        } else if (std::strcmp(answer, "no") != 0) {
            std::fprintf(stderr,
                         "ZENTROVA_BOX_ANSWER: '%s' is neither yes nor no; questions are answered no\n",
                         answer);
        }
    }
    return CPolicyMessageBoxes(yes, true);
}

int CPolicyMessageBoxes::show(BoxKind kind, const std::string& text) {
    std::lock_guard lock(_lock);
    _shown.push_back({kind, text});
    int answer = IDOK;
    if (kind == BoxKind::Question) {
        answer = _answerYes ? IDYES : IDNO;
    }
    if (_echo) {
        const char* label = kind == BoxKind::Question ? "question"
                            : kind == BoxKind::Error  ? "error"
                                                      : "message";
        if (kind == BoxKind::Question) {
            std::printf("[%s] %s -> %s\n", label, text.c_str(), answer == IDYES ? "yes" : "no");
        } else {
            std::printf("[%s] %s\n", label, text.c_str());
        }
        std::fflush(stdout);
    }
    return answer;
}

void CPolicyMessageBoxes::setAnswerYes(bool yes) {
    std::lock_guard lock(_lock);
    _answerYes = yes;
}

std::vector<CPolicyMessageBoxes::Shown> CPolicyMessageBoxes::shown() const {
    std::lock_guard lock(_lock);
    return _shown;
}

void CPolicyMessageBoxes::clear() {
    std::lock_guard lock(_lock);
    _shown.clear();
}

}  // namespace platform

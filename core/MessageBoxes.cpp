#include "core/MessageBoxes.h"

#include <cstdio>

#include "core/DebugTrace.h"
#include "platform/Services.h"

namespace {

int show(platform::BoxKind kind, const std::string& text) {
    if (!platform::Services::isInstalled()) {
        // Nothing to show it with (a tool before its set-up): the terminal is the user.
        std::fprintf(stderr, "%s\n", text.c_str());
        return platform::IDNO;
    }
    return platform::Services::get().boxes()->show(kind, text);
}

}  // namespace

void TextBox(const std::string& text) {
    LogFormateado(1, "TextBox: %s", text);
    show(platform::BoxKind::Text, text);
}

void ShowErrorText(const std::string& text) {
    LogFormateado(1, "ErrorBox: %s", text);
    show(platform::BoxKind::Error, text);
}

int AskQuestion(const std::string& text) {
    int answer = show(platform::BoxKind::Question, text);
    LogFormateado(1, "QuestionBox: %s -> %d", text, answer);
    return answer;
}

void ReportError(const std::string& text) {
    LogFormateado(1, "ProcesarError: %s", text);
    show(platform::BoxKind::Error, text);
}

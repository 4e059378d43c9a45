#pragma once

#include <string>

#include "core/SafeFormat.h"

// Message boxes and error reports for the user. They go through the platform's message boxes:
// real dialogs on the window thread when a display is used, else the answering policy
// (ZENTROVA_BOX_ANSWER). Callers on other threads wait for the answer.

inline constexpr int IDYES_ANSWER = 6;

// Shows a text and waits until it is acknowledged.
void TextBox(const std::string& text);

void ShowErrorText(const std::string& text);
int AskQuestion(const std::string& text);

// Shows a formatted error message.
template <typename... Args>
void ErrorBox(const char* format, const Args&... args) {
    ShowErrorText(SafeSprintf(format, args...));
}

// Asks a yes/no question; 6 means yes, anything else no.
template <typename... Args>
int QuestionBox(const char* format, const Args&... args) {
    return AskQuestion(SafeSprintf(format, args...));
}

// Reports an error text to the user (and to the debug trace); the caller carries on.
void ReportError(const std::string& text);

template <typename... Args>
void ProcesarError(const char* format, const Args&... args) {
    ReportError(SafeSprintf(format, args...));
}

#pragma once

#include <string>

// The program folder (database, event log, histories, themes, translations) without a trailing
// separator, so that callers append names such as "/log.txt".
std::string GetCurrentDirectory();

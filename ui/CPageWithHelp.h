#pragma once

#include <string>

// A page that has a help text: the main window and the pages of the settings sheet. The text is
// "<program folder>/traductions/<language>_<name>.txt", in the configured language, else in
// English, else the "no_help" page of the language.
class CPageWithHelp {
  public:
    virtual ~CPageWithHelp() = default;
    // Shows the help file of the page.
    virtual void ShowHelp() = 0;
    // The page's help name.
    virtual std::string GetTxtFile() const { return "no_help"; }
    // The help file of a language and page; false when it does not exist.
    virtual bool GetFilePath(const std::string& language, const std::string& name, std::string& path) const;
    // The file ShowHelp shows, after the fallbacks.
    std::string FindHelpFile() const;
};

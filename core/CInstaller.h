#pragma once

#include <filesystem>
#include <string>

#include "platform/CHome.h"

// Sets up a home folder: its folders, the program folder with the shipped resources (themes,
// translations) and every setting with its default. Running it again adds what is missing and
// brings shipped files up to date, leaving settings the user changed alone.
class CInstaller {
  public:
    struct Report {
        int valuesAdded = 0;
        int valuesKept = 0;
        int valuesRepaired = 0;  // present with another type than the setting has
        int filesCopied = 0;
    };

    explicit CInstaller(platform::CHome home);

    // Whether this home was never installed (no program folder or no settings key), or lacks a
    // setting (installed by an older version) or holds one with another type than it has.
    bool IsNeeded() const;
    // Throws CBaseException with a message naming the folder or file when something cannot be
    // created or copied. Settings are written through the platform registry of the current context.
    Report Install() const;

    // Where the shipped resources are: $ZENTROVA_RESOURCES, else <program>/../share/zentrova/resources,
    // else the source tree's resources folder.
    static std::filesystem::path ResourcesFolder();

  private:
    int copyResources() const;
    void writeDefaults(Report& report) const;

    platform::CHome _home;
};

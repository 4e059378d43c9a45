#include "ui/CPageWithHelp.h"

#include <filesystem>

#include "core/CBaseException.h"
#include "core/CConfigurationZentrova.h"
#include "core/DebugTrace.h"
#include "core/ProgramFolder.h"

bool CPageWithHelp::GetFilePath(const std::string& language, const std::string& name,
                                std::string& path) const {
    path = GetCurrentDirectory() + "/traductions/" + language + "_" + name + ".txt";
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

std::string CPageWithHelp::FindHelpFile() const {
    std::string language = "en";
    try {
        if (CConfigurationZentrova* config = CConfigurationZentrova::GetInstance()) {
            config->GetStringParameter("language", language);
        }
    } catch (const CBaseException& e) {
        LogFormateado(1, "%s", e.GetMessageW());
    }
    std::string path;
    if (GetFilePath(language, GetTxtFile(), path) || GetFilePath("en", GetTxtFile(), path) ||
        GetFilePath(language, "no_help", path)) {
        return path;
    }
    GetFilePath("en", "no_help", path);
    return path;
}

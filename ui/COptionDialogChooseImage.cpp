#include "ui/COptionDialogChooseImage.h"

#include <algorithm>
#include <filesystem>

#include "core/CTextsMgr.h"
#include "ui/CButtonOwnFixed.h"
#include "ui/CSkinMgr.h"

COptionDialogChooseImage::COptionDialogChooseImage(QWidget* ownerWindow, CBaseWindow* owner,
                                                   std::string& chosen)
    : COptionDialog(CTextsMgr::GetInstance()->GetText("Choose Image"), 0, 0, 0, 0, ownerWindow, owner),
      _chosen(chosen),
      _files(ListPlaceImages()) {
    for (size_t i = 0; i < _files.size(); ++i) {
        // The caption is the name without "place_" and ".png".
        const std::string& file = _files[i];
        CButtonOwnFixed* button =
            AddButton(kFirstImage + static_cast<int>(i), "places", file.substr(6, file.size() - 10));
        button->SetFixedImage(file);
    }
}

std::vector<std::string> COptionDialogChooseImage::ListPlaceImages() {
    std::string directory;
    CSkinMgr::GetInstance()->GetImageDirectory(directory);
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ec)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file(ec) && name.size() > 10 && name.rfind("place_", 0) == 0 &&
            name.compare(name.size() - 4, 4, ".png") == 0) {
            files.push_back(name);
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

void COptionDialogChooseImage::OnOptionSelected(int id) {
    const int index = id - kFirstImage;
    if (index >= 0 && index < static_cast<int>(_files.size())) {
        _chosen = _files[static_cast<size_t>(index)];
    }
    COptionDialog::OnOptionSelected(id);
}

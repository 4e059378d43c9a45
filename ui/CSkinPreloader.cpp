#include "ui/CSkinPreloader.h"

#include <set>
#include <string_view>

#include "core/DebugTrace.h"
#include "ui/CButtonOwnDrawImage.h"
#include "ui/CSkinMgr.h"

CSkinPreloader::CSkinPreloader(std::vector<std::string> firstImages) : _images(std::move(firstImages)) {
    CSkinMgr* skin = CSkinMgr::GetInstance();
    skin->RefreshCaps();
    _path = skin->GetSkinPath();
    skin->GetImageDirectory(_directory);
    _windowPath = skin->GetWindowPath(skin->GetOrientation());
    _thread = std::thread([this] { Run(); });
}

CSkinPreloader::~CSkinPreloader() {
    _thread.join();
}

void CSkinPreloader::OfferSkin() {
    std::unique_lock lock(_lock);
    _read.wait(lock, [this] { return _done; });
    if (_document) {
        CSkinMgr::GetInstance()->OfferParsed(_path, std::move(_document));
    }
}

namespace {

// The text of every "image" element below `node`, in document order.
void collectImages(pugi::xml_node node, std::vector<std::string>& names) {
    for (pugi::xml_node child : node.children()) {
        if (std::string_view(child.name()) == "image") {
            if (std::string file = CSkinMgr::ImageFile(child); !file.empty()) {
                names.push_back(std::move(file));
            }
        }
        collectImages(child, names);
    }
}

}  // namespace

void CSkinPreloader::Run() {
    auto document = std::make_unique<pugi::xml_document>();
    if (document->load_file(_path.c_str()) && document->child("zentrova")) {
        // The names are taken before the document goes to the window's thread.
        collectImages(CSkinMgr::Select(*document, _windowPath.c_str()), _images);
    } else {
        document.reset();  // the window reads the file again and tells what is wrong with it
    }
    {
        std::lock_guard lock(_lock);
        _document = std::move(document);
        _done = true;
    }
    _read.notify_all();
    std::set<std::string> seen;
    for (const std::string& name : _images) {
        if (seen.insert(name).second && !CButtonOwnDrawImage::IsBitmapCached(name)) {
            CButtonOwnDrawImage::LoadBitmap(_directory, name);
        }
    }
    LogFormateado(1, "CSkinPreloader: %d images read ahead", static_cast<int>(seen.size()));
}

#include "ui/CSkinMgr.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

#include "core/CBaseException.h"
#include "core/CConfigurationZentrova.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/MemoryState.h"
#include "core/MessageBoxes.h"
#include "core/ProgramFolder.h"
#include "core/SafeFormat.h"
#include "ui/CBarConfigXML.h"
#include "ui/CButtonOwnDrawImage.h"

std::unique_ptr<CSkinMgr> CSkinMgr::_me;

namespace {

// One step of a simple path: an element name, with at most one "[@attribute='value']" test.
struct PathStep {
    std::string_view name;
    std::string_view attribute;  // empty: no test
    std::string_view value;
};

bool isNameChar(char c, bool first) {
    const auto u = static_cast<unsigned char>(c);
    return std::isalpha(u) || c == '_' || (!first && (std::isdigit(u) || c == '-' || c == '.'));
}

// Reads a name at `at`; empty when there is none.
std::string_view readName(std::string_view text, size_t& at) {
    const size_t start = at;
    while (at < text.size() && isNameChar(text[at], at == start)) {
        ++at;
    }
    return text.substr(start, at - start);
}

// Splits the paths the skin is read with ("./a/b", "./a[@id='x']/b", "/a[@id='x']/b") into
// steps. False for any other form, which is left to XPath.
bool parseSimplePath(std::string_view path, bool& absolute, std::vector<PathStep>& steps) {
    size_t at = 0;
    if (path.substr(0, 2) == "./") {
        absolute = false;
        at = 2;
    } else if (path.substr(0, 1) == "/") {
        absolute = true;
        at = 1;
    } else {
        return false;
    }
    while (true) {
        PathStep step;
        step.name = readName(path, at);
        if (step.name.empty()) {
            return false;
        }
        if (path.substr(at, 2) == "[@") {
            at += 2;
            step.attribute = readName(path, at);
            if (step.attribute.empty() || path.substr(at, 1) != "=" || at + 1 >= path.size()) {
                return false;
            }
            const char quote = path[at + 1];
            if (quote != '\'' && quote != '"') {
                return false;
            }
            at += 2;
            const size_t close = path.find(quote, at);
            if (close == std::string_view::npos || path.substr(close + 1, 1) != "]") {
                return false;
            }
            step.value = path.substr(at, close - at);
            at = close + 2;
        }
        steps.push_back(step);
        if (at == path.size()) {
            return true;
        }
        if (path[at] != '/') {
            return false;
        }
        ++at;
    }
}

// The first node in document order that the steps lead to from `node`, as XPath finds it:
// children are tried in order, each one's whole subtree before the next sibling.
pugi::xml_node findFirst(pugi::xml_node node, const PathStep* step, const PathStep* end) {
    if (step == end) {
        return node;
    }
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element || step->name != child.name()) {
            continue;
        }
        if (!step->attribute.empty()) {
            pugi::xml_attribute a = child.first_attribute();
            while (a && step->attribute != a.name()) {
                a = a.next_attribute();
            }
            if (!a || step->value != a.value()) {
                continue;
            }
        }
        if (pugi::xml_node found = findFirst(child, step + 1, end)) {
            return found;
        }
    }
    return {};
}

std::atomic<int> g_screenWidth{480};
std::atomic<int> g_screenHeight{640};

// The formatted window path is at most this long.
constexpr size_t kMaxPathChars = 200;

}  // namespace

CSkinMgr* CSkinMgr::GetInstance() {
    if (!_me) {
        _me.reset(new CSkinMgr());
    }
    return _me.get();
}

void CSkinMgr::DestroyInstance() {
    _me.reset();
}

void CSkinMgr::SetScreenSize(int width, int height) {
    g_screenWidth.store(width);
    g_screenHeight.store(height);
}

CSkinMgr::CSkinMgr() {
    RefreshCaps();
    _loaded = 0;
}

CSkinMgr::~CSkinMgr() = default;

void CSkinMgr::RefreshCaps() {
    const int width = g_screenWidth.load();
    const int height = g_screenHeight.load();
    _orientation = width > height ? kLandscape : (width < height ? kPortrait : kSquare);
    if ((width == 240 && height == 320) || (width == 320 && height == 240)) {
        _resolution = kResolutionQvga;
    } else if (width == height) {
        _resolution = kResolutionSquare;
    } else if (width > 320 || height > 320) {
        _resolution = kResolutionVga;
    } else {
        // A small screen that is neither square nor 240 x 320: the quarter-VGA skin is the
        // nearest in size.
        _resolution = kResolutionQvga;
    }
}

const char* CSkinMgr::OrientationId(int orientation) {
    switch (orientation) {
        case kLandscape:
            return "landscape";
        case kSquare:
            return "square";
        default:
            return "portrait";
    }
}

const char* CSkinMgr::ResolutionId(int resolution) {
    switch (resolution) {
        case kResolutionSquare:
            return "square";
        case kResolutionQvga:
            return "qvga";
        default:
            return "vga";
    }
}

const char* CSkinMgr::ResolutionFolder(int resolution) {
    return ResolutionId(resolution);
}

std::vector<int> CSkinMgr::OrientationsToRead(int orientation) {
    if (orientation == kSquare) {
        return {kSquare};
    }
    return {kPortrait, kLandscape};
}

std::string CSkinMgr::GetSkinPath() {
    std::string directory;
    return GetImageDirectory(directory) + "skin.xml";
}

std::string& CSkinMgr::GetImageDirectory(std::string& directory) {
    std::string theme;
    try {
        CConfigurationZentrova::GetInstance()->GetStringParameter("theme", theme);
    } catch (const CBaseException& e) {
        LogFormateado(1, "CSkinMgr: %s", e.GetMessageW());
    }
    directory = GetCurrentDirectory() + "/themes/" + theme + "/" + ResolutionFolder(_resolution) + "/";
    return directory;
}

int CSkinMgr::Initialize() {
    uint32_t memory = LogMemoryState("CSkinMgr::Initialize()", 0);
    RefreshCaps();
    const std::string path = GetSkinPath();
    CTextsMgr* texts = CTextsMgr::GetInstance();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        ErrorBox("%s", SafeSprintf(texts->GetText("ERROR LOCATING SKIN"), path));
        return 0;
    }
    // A document read ahead of the window (see CSkinPreloader) is used when it is this skin's.
    std::unique_ptr<pugi::xml_document> document = std::move(_offered);
    pugi::xml_parse_result result;
    if (document && _offeredPath == path) {
        result.status = pugi::status_ok;
    } else {
        document = std::make_unique<pugi::xml_document>();
        result = document->load_file(path.c_str());
    }
    _offeredPath.clear();
    if (!result || !document->child("zentrova")) {
        LogFormateado(1, "CSkinMgr: %s: %s at %d", path, result.description(),
                      static_cast<int>(result.offset));
        ErrorBox("%s", SafeSprintf(texts->GetText("ERROR READING SKIN"), path));
        return 0;
    }
    // The version check reports the screen class the program runs in. Written only when it
    // changed: a start on the same screen writes nothing.
    try {
        CConfigurationZentrova* config = CConfigurationZentrova::GetInstance();
        std::string stored;
        const std::string current = ResolutionId(_resolution);
        if (config->GetStringParameter("resolution", stored) != current) {
            config->SetRegistryParameter("resolution", current);
        }
    } catch (const CBaseException& e) {
        LogFormateado(1, "CSkinMgr: %s", e.GetMessageW());
    }
    Adopt(std::move(document));
    LogMemoryState("CSkinMgr::-Initialize()", memory);
    return 1;
}

int CSkinMgr::LoadFromMemory(const void* data, size_t size, std::string& why) {
    auto document = std::make_unique<pugi::xml_document>();
    pugi::xml_parse_result result = document->load_buffer(data, size);
    if (!result) {
        why = SafeSprintf("%s at %d", result.description(), static_cast<int>(result.offset));
        return 0;
    }
    if (!document->child("zentrova")) {
        why = "no zentrova element";
        return 0;
    }
    Adopt(std::move(document));
    return 1;
}

void CSkinMgr::Adopt(std::unique_ptr<pugi::xml_document> document) {
    _document = std::move(document);
    _loaded = 1;
    CButtonOwnDrawImage::FillCache();
}

void CSkinMgr::OfferParsed(const std::string& path, std::unique_ptr<pugi::xml_document> document) {
    _offeredPath = path;
    _offered = std::move(document);
}

std::string CSkinMgr::GetWindowPath(int orientation) {
    std::string path;
    SetResolutionAndOrientation(path, orientation);
    return path;
}

void CSkinMgr::UnloadXML() {
    LogFormateado(1, "CSkinMgr::UnloadXML()");
    _document.reset();
    _loaded = 0;
    LogFormateado(1, "CSkinMgr::-UnloadXML()");
}

void CSkinMgr::SetResolutionAndOrientation(std::string& path, int orientation) {
    if (orientation < 0) {
        orientation = _orientation;
    }
    path = SafeSprintf("/zentrova/resolution[@id='%s']/orientation[@id='%s']", ResolutionId(_resolution),
                       OrientationId(orientation));
    if (path.size() > kMaxPathChars) {
        path.resize(kMaxPathChars);
    }
}

pugi::xml_node CSkinMgr::Select(pugi::xml_node node, const char* path) {
    if (!node) {
        return {};
    }
    // The skin's reading selects some 1,500 nodes; compiling an XPath query for each one costs far
    // more than walking the few children of a simple path directly.
    bool absolute = false;
    std::vector<PathStep> steps;
    if (path && parseSimplePath(path, absolute, steps)) {
        return findFirst(absolute ? node.root() : node, steps.data(), steps.data() + steps.size());
    }
    try {
        return node.select_node(path).node();
    } catch (const pugi::xpath_exception& e) {
        LogFormateado(1, "CSkinMgr: bad path %s: %s", path, e.what());
        return {};
    }
}

pugi::xml_node CSkinMgr::GetWindowConfig(int orientation) {
    if (!_document) {
        return {};
    }
    std::string path;
    SetResolutionAndOrientation(path, orientation);
    return Select(*_document, path.c_str());
}

pugi::xml_node CSkinMgr::GetWindowConfig() {
    return GetWindowConfig(_orientation);
}

// Ids come from the program, never from outside, but a quote in one would end the predicate: such
// an id finds nothing.
static bool isPlainId(const std::string& id) {
    return id.find('\'') == std::string::npos;
}

pugi::xml_node CSkinMgr::GetButtonConfig(const std::string& id, int orientation) {
    pugi::xml_node window = GetWindowConfig(orientation);
    if (!window || !isPlainId(id)) {
        return {};
    }
    return Select(window, ("./button[@id='" + id + "']").c_str());
}

pugi::xml_node CSkinMgr::GetButtonConfig(const std::string& id) {
    return GetButtonConfig(id, _orientation);
}

void CSkinMgr::LoadBarConfig(CBarConfigXML* bar, const std::string& id, int orientation) {
    if (!bar) {
        return;
    }
    pugi::xml_node window = GetWindowConfig(orientation);
    pugi::xml_node element;
    if (window && isPlainId(id)) {
        element = Select(window, ("./bar[@id='" + id + "']").c_str());
    }
    bar->Initialize(element, id);
}

void CSkinMgr::LoadBarConfig(CBarConfigXML* bar, const std::string& id) {
    LoadBarConfig(bar, id, _orientation);
}

int CSkinMgr::ReadNumber(const char* text) {
    if (!text) {
        return 0;
    }
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text) {
        return 0;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

static void readOptional(pugi::xml_node node, const char* name, int& into) {
    if (pugi::xml_attribute a = node.attribute(name)) {
        into = CSkinMgr::ReadNumber(a.value());
    }
}

void CSkinMgr::FillPosition(CRectConfig* rect, pugi::xml_node node) {
    if (!rect || !node) {
        return;
    }
    readOptional(node, "x", rect->x);
    readOptional(node, "y", rect->y);
    readOptional(node, "cx", rect->cx);
    readOptional(node, "cy", rect->cy);
}

void CSkinMgr::FillRGB(CRGBConfig* rgb, pugi::xml_node node) {
    if (!rgb || !node) {
        return;
    }
    pugi::xml_attribute r = node.attribute("r");
    pugi::xml_attribute g = node.attribute("g");
    pugi::xml_attribute b = node.attribute("b");
    // A colour needs all three components; components outside 0-255 are brought into range.
    if (!r || !g || !b) {
        return;
    }
    auto component = [](pugi::xml_attribute a) { return std::clamp(ReadNumber(a.value()), 0, 255); };
    rgb->r = component(r);
    rgb->g = component(g);
    rgb->b = component(b);
}

void CSkinMgr::FillFont(CFontConfig* font, pugi::xml_node node) {
    if (!font || !node) {
        return;
    }
    if (pugi::xml_attribute a = node.attribute("family")) {
        font->family = a.value();
    }
    readOptional(node, "fontsize", font->fontSize);
    readOptional(node, "fontbold", font->weight);
    FillRGB(&font->color, Select(node, "./rgb"));
}

std::string CSkinMgr::ImageFile(pugi::xml_node node) {
    std::string file = node.child_value();
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    file.erase(file.begin(), std::find_if_not(file.begin(), file.end(), blank));
    file.erase(std::find_if_not(file.rbegin(), file.rend(), blank).base(), file.end());
    return file;
}

void CSkinMgr::FillImage(CImageConfig* image, pugi::xml_node node) {
    if (!image || !node) {
        return;
    }
    image->file = ImageFile(node);
    FillPosition(&image->rect, node);
    FillRGB(&image->color, node);
}

void CSkinMgr::FillText(CDownTextConfig* text, pugi::xml_node node) {
    if (!text || !node) {
        return;
    }
    FillPosition(&text->position, Select(node, "./position"));
    FillFont(&text->font, Select(node, "./font"));
}

void CSkinMgr::FillButtonText(CButtonTextConfig* text, pugi::xml_node node) {
    if (!text || !node) {
        return;
    }
    if (pugi::xml_attribute a = node.attribute("id")) {
        text->id = a.value();
    }
    FillPosition(&text->position, Select(node, "./position"));
    FillFont(&text->font, Select(node, "./font"));
}

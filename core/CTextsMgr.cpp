#include "core/CTextsMgr.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <pugixml.hpp>
#include <system_error>
#include <utility>
#include <vector>

#include "core/CBaseException.h"
#include "core/CConfigurationZentrova.h"
#include "core/CLogMgr.h"
#include "core/DebugTrace.h"
#include "core/MessageBoxes.h"
#include "core/ProgramFolder.h"
#include "core/SafeFormat.h"
#include "core/TextBuffer.h"
#include "platform/Services.h"

namespace fs = std::filesystem;

std::atomic<CTextsMgr*> CTextsMgr::_me{nullptr};

namespace {

std::mutex g_createLock;
// The instance, kept until the process ends (or a test resets it).
std::unique_ptr<CTextsMgr> g_instance;

constexpr const char* kMissingText = "????";
// The event-log entry of a language that falls back to the default one.
constexpr int kLogSourceApplication = 300;
constexpr int kLogSeverityWarning = 3;
constexpr size_t kLogResumeBuffer = 99;
constexpr size_t kLogDescriptionBuffer = 299;
constexpr const char* kMissingTextShort = "?";
constexpr const char* kLocatingError = "Error locating texts file %s. ";
constexpr const char* kReadingError = "Error reading texts file %s. ";
// " YYYY-MM-DD hh:mm:ss" fits easily; the buffer bounds it all the same.
constexpr size_t kTimeBuffer = 48;

// Index 0 is Monday, 6 Sunday.
constexpr const char* kWeekDayKeys[] = {
    "DIALOG_WEEK_MONDAY", "DIALOG_WEEK_TUESDAY",  "DIALOG_WEEK_WEDNESDAY", "DIALOG_WEEK_THURSDAY",
    "DIALOG_WEEK_FRIDAY", "DIALOG_WEEK_SATURDAY", "DIALOG_WEEK_SUNDAY",
};

// Without its texts the program cannot show anything sensible, so a broken translation file ends
// it. The process ends at once, after flushing what was written: running the static destructors
// while worker threads may still be using those objects could crash on the way out.
[[noreturn]] void EndProcess() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    ::_exit(0);
}

// The message cannot be translated: no table is loaded yet.
[[noreturn]] void FailWithFile(const char* format, const std::string& path) {
    ErrorBox(format, path);
    EndProcess();
}

bool IsXmlFileName(const fs::path& name) {
    std::string ext = name.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".xml";
}

// The names of the translation files in `folder`, sorted, so that "the file found first" is the
// same on every run. Sub-folders are skipped; a missing folder has no files.
std::vector<std::string> ListTranslationFiles(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) {
        LogFormateado(1, "CTextMgr: no translations folder %s (%s)", folder.string(), ec.message());
        return names;
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code statusError;
        if (it->is_directory(statusError) || !IsXmlFileName(it->path().filename())) {
            continue;
        }
        names.push_back(it->path().filename().string());
    }
    if (ec) {
        LogFormateado(1, "CTextMgr: listing %s stopped (%s)", folder.string(), ec.message());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The text content of an element: all its text, descendants included, in document order. Walked
// without recursion: a file nesting markup deeply must not exhaust the stack.
void AppendTextContent(const pugi::xml_node& node, std::string& out) {
    pugi::xml_node current = node.first_child();
    while (current) {
        if (current.type() == pugi::node_pcdata || current.type() == pugi::node_cdata) {
            out += current.value();
        } else if (current.type() == pugi::node_element && current.first_child()) {
            current = current.first_child();
            continue;
        }
        while (current != node && !current.next_sibling()) {
            current = current.parent();
        }
        if (current == node) {
            break;
        }
        current = current.next_sibling();
    }
}

// Adds one translation file to `tables`; ends the process when the file cannot be used.
void LoadFile(const std::string& path, const std::string& currentLanguage, CTextsMgr::FileTables& tables) {
    std::error_code ec;
    fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) {
        FailWithFile(kLocatingError, path);
    }
    if (!fs::is_regular_file(status)) {
        FailWithFile(kReadingError, path);
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
        FailWithFile(kReadingError, path);
    }
    std::string why;
    if (!CTextsMgr::ParseFile(bytes.data(), bytes.size(), currentLanguage, tables, why)) {
        LogFormateado(1, "CTextMgr: %s: %s", path, why);
        FailWithFile(kReadingError, path);
    }
}

}  // namespace

bool CTextsMgr::ParseFile(const void* bytes, size_t size, const std::string& currentLanguage,
                          FileTables& tables, std::string& why) {
    pugi::xml_document doc;
    // Blanks are part of a translation, also between inline markup.
    pugi::xml_parse_result parsed =
        doc.load_buffer(bytes, size, pugi::parse_default | pugi::parse_ws_pcdata, pugi::encoding_auto);
    if (!parsed) {
        why = SafeSprintf("%s at offset %d", parsed.description(), static_cast<long long>(parsed.offset));
        return false;
    }

    // The language entry and its four attributes are required: a file without them cannot be
    // told apart from any other XML file, so it counts as unreadable.
    pugi::xml_node language = doc.select_node("/zentrova/languages/language").node();
    pugi::xml_attribute name = language.attribute("name");
    pugi::xml_attribute tag = language.attribute("tag");
    pugi::xml_attribute author = language.attribute("author");
    pugi::xml_attribute isDefault = language.attribute("default");
    if (!language || !name || !tag || !author || !isDefault) {
        why = "no complete language element";
        return false;
    }

    tables.languages.try_emplace(tag.value(), name.value());
    if (std::string(isDefault.value()) == "yes") {
        tables.defaultLanguage = tag.value();
    }
    if (currentLanguage != tag.value()) {
        return true;
    }
    tables.translator = author.value();
    pugi::xml_node texts = doc.select_node("/zentrova/texts").node();
    for (pugi::xml_node child : texts.children()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        std::string key = child.attribute("id").value();
        if (key.empty()) {
            LogFormateado(1, "CTextMgr: a text without id is skipped");
            continue;
        }
        std::string text;
        AppendTextContent(child, text);
        // The first text of a key wins, also over files read later.
        tables.texts.try_emplace(std::move(key), std::move(text));
    }
    return true;
}

CTextsMgr::CTextsMgr() {
    Initialize();
}

CTextsMgr::~CTextsMgr() {
    CTextsMgr* self = this;
    _me.compare_exchange_strong(self, nullptr);
}

CTextsMgr* CTextsMgr::GetInstance() {
    if (CTextsMgr* me = _me.load()) {
        return me;
    }
    // Published only once loaded: other threads wait on the lock instead of seeing empty tables.
    CTextsMgr* created = nullptr;
    {
        std::lock_guard lock(g_createLock);
        if (CTextsMgr* me = _me.load()) {
            return me;
        }
        g_instance.reset(new CTextsMgr());
        created = g_instance.get();
        _me.store(created);
    }
    // Outside the creation lock: the event log may look texts up itself.
    created->LogLanguageFallback();
    return created;
}

void CTextsMgr::LogLanguageFallback() {
    std::string from;
    std::string to;
    {
        std::lock_guard lock(_lock);
        if (!_fellBack || _fallbackLogged) {
            return;
        }
        _fallbackLogged = true;
        from = _fallbackFrom;
        to = _currentLanguage;
    }
    // Told once per loading of the texts, in the language that stands in.
    CLogMgr::Log(kLogSourceApplication, kLogSeverityWarning,
                 FitBuffer(SafeSprintf(GetText("EVENT_LOG_LANGUAGE_FALLBACK_RESUME")), kLogResumeBuffer),
                 FitBuffer(SafeSprintf(GetText("EVENT_LOG_LANGUAGE_FALLBACK_DESCRIPTION"), from, to),
                           kLogDescriptionBuffer));
}

void CTextsMgr::Reset() {
    std::lock_guard lock(g_createLock);
    _me.store(nullptr);
    g_instance.reset();
}

void CTextsMgr::Initialize() {
    LogFormateado(1, "CTextMgr::Initialize()");
    std::string language;
    try {
        CConfigurationZentrova::GetInstance()->GetStringParameter("language", language);
    } catch (const CBaseException& e) {
        // Without a language no file contributes texts; lookups answer "????" and the program
        // goes on, as with a language that has no file.
        LogFormateado(1, "CTextMgr: %s", e.GetMessageW());
        language.clear();
    }

    std::string folder = GetCurrentDirectory() + "/traductions";
    const std::vector<std::string> files = ListTranslationFiles(folder);
    FileTables tables;
    for (const std::string& file : files) {
        LoadFile(SafeSprintf("%s/%s", folder, file), language, tables);
    }
    // A language no file has would leave every text "????": the default language stands in for
    // it. The setting is kept, so the chosen language is used again once its file is installed.
    std::string fallbackFrom;
    bool fellBack = false;
    if (!tables.languages.count(language) && !tables.defaultLanguage.empty()) {
        LogFormateado(1, "CTextMgr: no translation file has the language '%s', using '%s'", language,
                      tables.defaultLanguage);
        fallbackFrom = language;
        fellBack = true;
        language = tables.defaultLanguage;
        tables = FileTables{};
        for (const std::string& file : files) {
            LoadFile(SafeSprintf("%s/%s", folder, file), language, tables);
        }
    }

    {
        std::lock_guard lock(_lock);
        _currentLanguage = std::move(language);
        _texts = std::move(tables.texts);
        _languages = std::move(tables.languages);
        _defaultLanguage = std::move(tables.defaultLanguage);
        _translator = std::move(tables.translator);
        _fallbackFrom = std::move(fallbackFrom);
        _fellBack = fellBack;
        _fallbackLogged = false;
    }
    // A reload of the published instance tells of a fallback at once; the first load does so in
    // GetInstance, once the instance is published.
    if (_me.load() == this) {
        LogLanguageFallback();
    }
    LogFormateado(1, "-CTextMgr::Initialize()");
}

std::string CTextsMgr::GetText(const std::string& key) {
    std::string text;
    {
        std::lock_guard lock(_lock);
        auto it = _texts.find(key);
        if (it == _texts.end()) {
            return kMissingText;
        }
        text = it->second;
    }
    if (size_t pos = text.find("\\n"); pos != std::string::npos) {
        text.replace(pos, 2, "\n");
    }
    return text;
}

std::string& CTextsMgr::GetText(const std::string& key, std::string& result) {
    std::lock_guard lock(_lock);
    auto it = _texts.find(key);
    result = it == _texts.end() ? kMissingTextShort : it->second;
    return result;
}

void CTextsMgr::GetLanguages(std::map<std::string, std::string>& languages, std::string& defaultLanguage) {
    std::lock_guard lock(_lock);
    languages = _languages;
    defaultLanguage = _defaultLanguage;
}

std::string CTextsMgr::GetTranslator() {
    std::lock_guard lock(_lock);
    return _translator;
}

std::string& CTextsMgr::GetSystemTime(std::string& text) {
    return GetSystemTime(text, platform::Services::get().clock().localTime());
}

std::string& CTextsMgr::GetSystemTime(std::string& text, const SYSTEMTIME& time) {
    text += FitBuffer(SafeSprintf(" %04d-%02d-%02d %02d:%02d:%02d", time.wYear, time.wMonth, time.wDay,
                                  time.wHour, time.wMinute, time.wSecond),
                      kTimeBuffer);
    return text;
}

std::string& CTextsMgr::GetWeekDayTranslated(std::string& text, int day) {
    if (day == 0) {
        // The clock counts from Sunday (0); the week-day keys from Monday (1) to Sunday (7).
        int weekDay = platform::Services::get().clock().localTime().wDayOfWeek;
        day = weekDay == 0 ? 7 : weekDay;
    }
    if (day >= 1 && day <= 7) {
        text = GetText(kWeekDayKeys[day - 1]);
    }
    return text;
}

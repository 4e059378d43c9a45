#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "platform/SystemTime.h"

// The translated texts of the program. Every text shown to the user or written to the event log
// is looked up here by key. The texts come from the translation files "<program>/traductions/*.xml":
// each file is one language; only the file (or files) of the language chosen in the setting
// "language" contributes texts, the others only name their language. When no file has the chosen
// language, the default language's files stand in (and the event log says so once).
//
// File format:
//   <zentrova>
//     <languages><language name="English" tag="en" author="..." default="yes"/></languages>
//     <texts><text id="KEY">translation</text>...</texts>
//   </zentrova>
// Inside a translation the two characters backslash and n stand for a line break.
//
// One instance per process, created and loaded on first use; lookups may come from any thread.
class CTextsMgr {
  public:
    // The instance, created and loaded on the first call. A translation file that cannot be found
    // or read ends the process (after an error box) with exit code 0.
    static CTextsMgr* GetInstance();
    // The translated text of `key` from the one instance.
    static std::string Text(const std::string& key) { return GetInstance()->GetText(key); }

    virtual ~CTextsMgr();
    CTextsMgr(const CTextsMgr&) = delete;
    CTextsMgr& operator=(const CTextsMgr&) = delete;

    // (Re)loads every translation file. Run by the constructor.
    void Initialize();

    // The text of `key`, "????" when there is none; the first backslash-n becomes a line break.
    std::string GetText(const std::string& key);
    // Writes the text of `key` into `result`, "?" when there is none; no line-break replacement.
    std::string& GetText(const std::string& key, std::string& result);

    // The installed languages (tag -> display name) and the tag of the default language.
    void GetLanguages(std::map<std::string, std::string>& languages, std::string& defaultLanguage);
    // The author named in the file of the current language.
    std::string GetTranslator();

    // Appends " YYYY-MM-DD hh:mm:ss" (local time now, or the given time) to `text`; returns it.
    std::string& GetSystemTime(std::string& text);
    std::string& GetSystemTime(std::string& text, const SYSTEMTIME& time);

    // Writes the translated name of the week day into `text` (1 Monday ... 7 Sunday, 0 today);
    // any other day leaves `text` as it was. Returns `text`.
    std::string& GetWeekDayTranslated(std::string& text, int day);

    // What translation files contribute: every language's name by tag, the default language, and
    // the texts and author of the current language's files.
    struct FileTables {
        std::map<std::string, std::string> texts;
        std::map<std::string, std::string> languages;
        std::string defaultLanguage;
        std::string translator;
    };
    // Adds the contents of one translation file (its bytes) to `tables`; false (with the reason)
    // when the bytes are no translation file.
    static bool ParseFile(const void* bytes, size_t size, const std::string& currentLanguage,
                          FileTables& tables, std::string& why);

    // For tests only: drops the instance so that the next GetInstance loads the files of the
    // current home again. Nothing may be using the instance at that moment.
    static void Reset();

  private:
    CTextsMgr();
    // Writes the event-log entry of a language that fell back to the default, once per loading.
    void LogLanguageFallback();

    static std::atomic<CTextsMgr*> _me;

    std::mutex _lock;  // guards every field below
    std::string _currentLanguage;
    std::map<std::string, std::string> _texts;
    std::map<std::string, std::string> _languages;
    std::string _defaultLanguage;
    std::string _translator;
    // The chosen language had no file and the default language's file stands in for it.
    bool _fellBack = false;
    std::string _fallbackFrom;
    bool _fallbackLogged = false;
};

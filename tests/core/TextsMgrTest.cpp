#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/Utf16.h"
#include "platform/sim/CSimClock.h"
#include "support/TempHome.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// A translation file; `texts` is the inside of the "texts" element.
std::string LanguageFile(const std::string& name, const std::string& tag, const std::string& isDefault,
                         const std::string& texts, const std::string& author = "Ana") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<zentrova><languages><language name=\"" + name +
           "\" tag=\"" + tag + "\" author=\"" + author + "\" default=\"" + isDefault +
           "\"/></languages>\n<texts>" + texts + "</texts></zentrova>\n";
}

SYSTEMTIME At(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute, uint16_t second) {
    SYSTEMTIME t;
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    return t;
}

// An installed home whose translations folder holds only what the test writes.
class TextsMgrTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CInstaller(_home.services().home()).Install();
        fs::remove_all(Folder());
        fs::create_directories(Folder());
        // A store of its own, so that no cached "language" of an earlier test is seen.
        _config = std::make_unique<CConfigurationZentrova>();
        CTextsMgr::Reset();
    }
    void TearDown() override { CTextsMgr::Reset(); }

    fs::path Folder() { return _home.services().home().programDir() / "traductions"; }
    void Write(const std::string& name, const std::string& bytes) { WriteFile(Folder() / name, bytes); }
    void SetLanguage(const std::string& tag) { _config->SetRegistryParameter("language", tag); }
    void SetClock(const SYSTEMTIME& t) {
        dynamic_cast<platform::sim::CSimClock&>(_home.services().clock())
            .setLocalMillis(platform::sim::CSimClock::toMillis(t));
    }
    CTextsMgr& Texts() { return *CTextsMgr::GetInstance(); }

    TempHome _home;
    std::unique_ptr<CConfigurationZentrova> _config;
};

TEST_F(TextsMgrTest, OnlyTheFirstLineBreakIsReplacedAndOnlyByTheOneArgumentLookup) {
    Write("en.xml", LanguageFile("English", "en", "yes",
                                 R"(<text id="ONE">first\nsecond</text><text id="TWO">a\nb\nc</text>)"));
    EXPECT_EQ(Texts().GetText("ONE"), "first\nsecond");
    EXPECT_EQ(Texts().GetText("TWO"), "a\nb\\nc");
    std::string result = "old";
    std::string& returned = Texts().GetText("TWO", result);
    EXPECT_EQ(&returned, &result);
    EXPECT_EQ(result, "a\\nb\\nc");
}

TEST_F(TextsMgrTest, MissingKeysAndMissingLanguagesGiveQuestionMarks) {
    Write("en.xml", LanguageFile("English", "en", "yes", R"(<text id="KNOWN">known</text>)"));
    std::string result = "old";
    EXPECT_EQ(Texts().GetText("NOT THERE"), "????");
    EXPECT_EQ(Texts().GetText("NOT THERE", result), "?");

    // A language without a file: the default language's texts stand in.
    SetLanguage("fr");
    CTextsMgr::Reset();
    EXPECT_EQ(Texts().GetText("KNOWN"), "known");
    EXPECT_EQ(Texts().GetText("KNOWN", result), "known");
    std::map<std::string, std::string> languages;
    std::string defaultLanguage;
    Texts().GetLanguages(languages, defaultLanguage);
    EXPECT_EQ(languages.size(), 1u);
    EXPECT_EQ(defaultLanguage, "en");
}

// With a language that no file has, the default language's file is used and the event log says
// so once; without a default language nothing can stand in.
TEST_F(TextsMgrTest, ALanguageWithoutAFileFallsBackToTheDefaultOnce) {
    struct Row {
        const char* language;
        const char* defaultOfEs;  // the "default" attribute of the Spanish file
        const char* text;
        size_t logged;
    };
    const Row rows[] = {
        {"xx", "yes", "sí", 1}, {"", "yes", "sí", 1},    {"en", "yes", "yes", 0},
        {"es", "yes", "sí", 0}, {"xx", "no", "????", 0},
    };
    for (const Row& row : rows) {
        Write(
            "en.xml",
            LanguageFile(
                "English", "en", "no",
                R"(<text id="YES">yes</text><text id="EVENT_LOG_LANGUAGE_FALLBACK_RESUME">fallback</text>)"));
        Write("es.xml",
              LanguageFile(
                  "Español", "es", row.defaultOfEs,
                  R"(<text id="YES">sí</text><text id="EVENT_LOG_LANGUAGE_FALLBACK_RESUME">idioma</text>)"));
        SetLanguage(row.language);
        CLogMgr::GetInstance()->vaciar();
        CTextsMgr::Reset();
        EXPECT_EQ(Texts().GetText("YES"), row.text) << row.language;
        EXPECT_EQ(Texts().GetText("YES"), row.text) << row.language;
        size_t logged = 0;
        for (const CLogEvent& e : CLogMgr::GetInstance()->GetQueue()) {
            logged += e.GetResume() == "idioma";
        }
        EXPECT_EQ(logged, row.logged) << row.language;
    }
}

TEST_F(TextsMgrTest, FilesOfTheSameLanguageAddUpAndTheFirstFileByNameWins) {
    // Written out of order so that the folder's own order does not decide.
    for (std::string letter : {"c", "a", "e", "b", "d"}) {
        Write(letter + ".xml", LanguageFile("English", "en", letter == "a" ? "yes" : "no",
                                            "<text id=\"SHARED\">" + letter + "</text><text id=\"ONLY " +
                                                letter + "\">" + letter + "</text>"));
    }
    fs::create_directories(Folder() / "folder.xml");  // a sub-folder is not a translation file
    EXPECT_EQ(Texts().GetText("SHARED"), "a");
    for (std::string letter : {"a", "b", "c", "d", "e"}) {
        EXPECT_EQ(Texts().GetText("ONLY " + letter), letter);
    }
}

TEST_F(TextsMgrTest, OtherLanguagesContributeOnlyTheirNames) {
    Write("en.xml", LanguageFile("English", "en", "yes", R"(<text id="HELLO">Hello</text>)"));
    Write("es.xml", LanguageFile("Español", "es", "no", R"(<text id="HELLO">Hola</text>)", "Beatriz"));
    Write("fr.xml", LanguageFile("Français", "fr", "YES", R"(<text id="FR ONLY">Bonjour</text>)"));
    SetLanguage("es");
    EXPECT_EQ(Texts().GetText("HELLO"), "Hola");
    EXPECT_EQ(Texts().GetText("FR ONLY"), "????");
    EXPECT_EQ(Texts().GetTranslator(), "Beatriz");
    std::map<std::string, std::string> languages;
    std::string defaultLanguage;
    Texts().GetLanguages(languages, defaultLanguage);
    EXPECT_EQ(languages,
              (std::map<std::string, std::string>{{"en", "English"}, {"es", "Español"}, {"fr", "Français"}}));
    EXPECT_EQ(defaultLanguage, "en");  // only the exact "yes" marks the default
}

TEST_F(TextsMgrTest, EveryElementChildWithAnIdIsOneText) {
    Write("en.xml",
          LanguageFile("English", "en", "yes",
                       "<!-- a comment -->loose text<other id=\"ANY NAME\">any</other>"
                       "<text>no id</text><text id=\"MARKUP\">a &amp; <![CDATA[<b>]]> <i>c</i></text>"
                       "<text id=\"BLANK\"> </text><text id=\"EMPTY\"/>"));
    EXPECT_EQ(Texts().GetText("ANY NAME"), "any");
    EXPECT_EQ(Texts().GetText("MARKUP"), "a & <b> c");
    EXPECT_EQ(Texts().GetText("BLANK"), " ");
    EXPECT_EQ(Texts().GetText("EMPTY"), "");
    EXPECT_EQ(Texts().GetText(""), "????");
}

TEST_F(TextsMgrTest, Utf16FilesLoad) {
    std::string utf8 = LanguageFile("English", "en", "yes", R"(<text id="DAY">Miércoles</text>)");
    utf8.replace(utf8.find("UTF-8"), 5, "UTF-16");
    // Little endian with a byte-order mark, and big endian without one.
    Write("le.xml", "\xFF\xFE" + Utf8ToUtf16Le(utf8));
    std::string bigEndian = Utf8ToUtf16Le(utf8);
    for (size_t i = 0; i + 1 < bigEndian.size(); i += 2) {
        std::swap(bigEndian[i], bigEndian[i + 1]);
    }
    Write("be.xml", bigEndian);
    EXPECT_EQ(Texts().GetText("DAY"), "Miércoles");
    fs::remove(Folder() / "le.xml");
    CTextsMgr::Reset();
    EXPECT_EQ(Texts().GetText("DAY"), "Miércoles");
}

TEST_F(TextsMgrTest, TimesAndWeekDays) {
    Write("en.xml", LanguageFile("English", "en", "yes",
                                 R"(<text id="DIALOG_WEEK_MONDAY">Monday</text>)"
                                 R"(<text id="DIALOG_WEEK_WEDNESDAY">Wednesday</text>)"
                                 R"(<text id="DIALOG_WEEK_SATURDAY">Saturday</text>)"
                                 R"(<text id="DIALOG_WEEK_SUNDAY">Sunday</text>)"));
    std::string text = "Started";
    EXPECT_EQ(Texts().GetSystemTime(text, At(2009, 3, 7, 8, 5, 9)), "Started 2009-03-07 08:05:09");
    SetClock(At(2009, 3, 7, 8, 5, 9));
    text = "Started";
    std::string& returned = Texts().GetSystemTime(text);
    EXPECT_EQ(&returned, &text);
    EXPECT_EQ(text.substr(0, 24), "Started 2009-03-07 08:05");  // the clock keeps running

    text = "as it was";
    EXPECT_EQ(Texts().GetWeekDayTranslated(text, 8), "as it was");
    EXPECT_EQ(Texts().GetWeekDayTranslated(text, -1), "as it was");
    EXPECT_EQ(Texts().GetWeekDayTranslated(text, 3), "Wednesday");
    // Day 0 is today: 2009-03-07 was a Saturday, the 8th a Sunday, the 9th a Monday.
    EXPECT_EQ(Texts().GetWeekDayTranslated(text, 0), "Saturday");
    SetClock(At(2009, 3, 8, 12, 0, 0));
    EXPECT_EQ(Texts().GetWeekDayTranslated(text, 0), "Sunday");
    SetClock(At(2009, 3, 9, 12, 0, 0));
    EXPECT_EQ(Texts().GetWeekDayTranslated(text, 0), "Monday");
}

TEST_F(TextsMgrTest, ThreadsStartingTogetherAllSeeTheLoadedTexts) {
    Write("en.xml", LanguageFile("English", "en", "yes", R"(<text id="KEY">value</text>)"));
    std::vector<std::string> seen(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&seen, i] { seen[i] = CTextsMgr::GetInstance()->GetText("KEY"); });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (const auto& s : seen) {
        EXPECT_EQ(s, "value");
    }
}

// Error boxes that print their text where a death test can read it.
class StderrBoxes : public platform::IMessageBoxes {
  public:
    int show(platform::BoxKind, const std::string& text) override {
        std::fprintf(stderr, "%s\n", text.c_str());
        return platform::IDOK;
    }
};

// Runs inside the death test's child process, with a home of its own (the parent's open
// database connections must not be used across the fork). The child ends without cleaning up,
// so it leaves the name of its home in `report` for the parent to remove.
void LoadTextsInNewHome(const std::string& fileName, const std::string& bytes, const fs::path& report) {
    TempHome home;
    home.services().setBoxes(std::make_shared<StderrBoxes>());
    CInstaller(home.services().home()).Install();
    WriteFile(report, home.root().string());
    fs::path file = home.services().home().programDir() / "traductions" / fileName;
    if (bytes.empty()) {
        fs::create_symlink(file.parent_path() / "gone", file);
    } else {
        WriteFile(file, bytes);
    }
    CTextsMgr::Reset();
    CTextsMgr::GetInstance();
}

class TextsMgrDeathTest : public ::testing::Test {
  protected:
    // Removes the home the last child left behind.
    void RemoveChildHome() {
        std::ifstream in(Report());
        std::string childHome;
        if (std::getline(in, childHome) && childHome.rfind("/tmp/zentrova-test-", 0) == 0) {
            fs::remove_all(childHome);
        }
    }
    fs::path Report() const { return _scratch.root() / "child_home"; }

    TempHome _scratch;
};

TEST_F(TextsMgrDeathTest, AnUnusableFileEndsTheProgramCleanlyAfterItsMessage) {
    EXPECT_EXIT(LoadTextsInNewHome("broken.xml", "<zentrova><languages>", Report()),
                ::testing::ExitedWithCode(0),
                "Error reading texts file /.*/program/traductions/broken\\.xml\\. ");
    RemoveChildHome();
    // A language element without its author counts as unreadable.
    EXPECT_EXIT(LoadTextsInNewHome("nolang.xml",
                                   "<zentrova><languages><language name=\"X\" tag=\"x\" default=\"no\"/>"
                                   "</languages><texts/></zentrova>",
                                   Report()),
                ::testing::ExitedWithCode(0),
                "Error reading texts file /.*/program/traductions/nolang\\.xml\\. ");
    RemoveChildHome();
    EXPECT_EXIT(LoadTextsInNewHome("dangling.xml", "", Report()), ::testing::ExitedWithCode(0),
                "Error locating texts file /.*/program/traductions/dangling\\.xml\\. ");
    RemoveChildHome();
}

}  // namespace

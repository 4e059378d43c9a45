#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "core/SafeFormat.h"
#include "support/TempHome.h"
#include "core/CTextsMgr.h"

namespace fs = std::filesystem;

// The keys the program uses, kept in tests/data/text_keys.txt: one key a line, sorted, and after a
// tab the printf conversions its callers pass (for example "%s%d"); no tab means no arguments.
// Every shipped translation must hold every key with exactly those conversions.
namespace {

const fs::path kShipped = fs::path(ZENTROVA_TEST_DATA) / ".." / ".." / "resources" / "traductions";

struct ListedKey {
    std::string key;
    std::string conversions;
};

std::vector<ListedKey> ReadKeyList() {
    std::vector<ListedKey> keys;
    std::ifstream in(fs::path(ZENTROVA_TEST_DATA) / "text_keys.txt");
    std::string line;
    while (std::getline(in, line)) {
        size_t tab = line.find('\t');
        keys.push_back({line.substr(0, tab), tab == std::string::npos ? "" : line.substr(tab + 1)});
    }
    return keys;
}

// The conversions of a printf format in order, each written as '%' and its letter ("%s", "%d",
// "%f"; "%i" counts as "%d"). "%%" is a literal percent. A '%' that starts no conversion fmt can
// apply shows as "%!", so it never matches a listed sequence.
std::string Conversions(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            continue;
        }
        size_t j = i + 1;
        auto skip = [&](const char* set) {
            while (j < text.size() && std::strchr(set, text[j]) && text[j] != '\0') {
                ++j;
            }
        };
        skip("-+ #0");
        skip("0123456789*");
        if (j < text.size() && text[j] == '.') {
            ++j;
            skip("0123456789*");
        }
        skip("hlLjzt");
        char letter = j < text.size() ? text[j] : '\0';
        if (letter == '%' && j == i + 1) {
            i = j;
            continue;
        }
        out += '%';
        out +=
            letter != '\0' && std::strchr("diouxXeEfFgGcsp", letter) ? (letter == 'i' ? 'd' : letter) : '!';
        i = j;
    }
    return out;
}

struct Shipped {
    std::map<std::string, std::string> language;  // attribute -> value
    std::map<std::string, std::string> texts;
};

Shipped ReadShipped(const std::string& fileName) {
    Shipped shipped;
    pugi::xml_document doc;
    pugi::xml_parse_result parsed = doc.load_file((kShipped / fileName).c_str());
    EXPECT_TRUE(parsed) << fileName << ": " << parsed.description() << " at " << parsed.offset;
    for (pugi::xml_attribute a : doc.select_node("/zentrova/languages/language").node().attributes()) {
        shipped.language[a.name()] = a.value();
    }
    for (pugi::xml_node text : doc.select_node("/zentrova/texts").node().children()) {
        EXPECT_TRUE(shipped.texts.emplace(text.attribute("id").value(), text.text().get()).second)
            << fileName << ": key given twice: " << text.attribute("id").value();
    }
    return shipped;
}

TEST(TextKeysTest, ConversionsAreReadAsFmtWouldApplyThem) {
    EXPECT_EQ(Conversions("%s changed from %s to %s."), "%s%s%s");
    EXPECT_EQ(Conversions("Error %d on %s, 100%%"), "%d%s");
    EXPECT_EQ(Conversions("%-3i %02d %.1f%% %lu"), "%d%d%f%u");
    EXPECT_EQ(Conversions("On - 20%"), "%!");
    EXPECT_EQ(Conversions("20%, then"), "%!");
    EXPECT_EQ(Conversions("20% off"), "%o");  // "% o" is an octal conversion with a blank flag
}

TEST(TextKeysTest, KeyListIsSortedWithoutRepeats) {
    std::vector<ListedKey> keys = ReadKeyList();
    ASSERT_GT(keys.size(), 300u);
    for (size_t i = 1; i < keys.size(); ++i) {
        EXPECT_LT(keys[i - 1].key, keys[i].key) << "line " << i + 1;
    }
    for (const ListedKey& k : keys) {
        EXPECT_EQ(Conversions(k.conversions), k.conversions) << k.key;
    }
}

TEST(TextKeysTest, ShippedFilesHoldEveryListedKeyWithTheListedConversions) {
    std::vector<ListedKey> keys = ReadKeyList();
    Shipped en = ReadShipped("en.xml");
    Shipped es = ReadShipped("es.xml");
    EXPECT_EQ(en.language["name"], "English");
    EXPECT_EQ(en.language["tag"], "en");
    EXPECT_EQ(en.language["default"], "yes");
    EXPECT_FALSE(en.language["author"].empty());
    EXPECT_EQ(es.language["name"], "Español");
    EXPECT_EQ(es.language["tag"], "es");
    EXPECT_EQ(es.language["default"], "no");
    EXPECT_FALSE(es.language["author"].empty());

    std::map<std::string, std::string> listed;
    for (const ListedKey& k : keys) {
        listed[k.key] = k.conversions;
    }
    for (const auto* file : {&en, &es}) {
        const char* name = file == &en ? "en.xml" : "es.xml";
        for (const ListedKey& k : keys) {
            auto it = file->texts.find(k.key);
            if (it == file->texts.end()) {
                ADD_FAILURE() << name << " lacks " << k.key;
                continue;
            }
            EXPECT_FALSE(it->second.empty()) << name << ": " << k.key;
            EXPECT_EQ(Conversions(it->second), k.conversions) << name << ": " << k.key << ": " << it->second;
            // Only the first line break of a text is turned into one.
            if (size_t first = it->second.find("\\n"); first != std::string::npos) {
                EXPECT_EQ(it->second.find("\\n", first + 2), std::string::npos) << name << ": " << k.key;
            }
        }
        for (const auto& [key, text] : file->texts) {
            EXPECT_TRUE(listed.count(key)) << name << ": " << key << " is not in text_keys.txt";
        }
    }
    for (const auto& [key, text] : en.texts) {
        auto other = es.texts.find(key);
        if (other != es.texts.end()) {
            EXPECT_EQ(Conversions(text), Conversions(other->second)) << key;
        }
    }
}

// The shipped files as the program reads them, after an installation.
TEST(TextKeysTest, ShippedLanguagesLoadAndFormat) {
    TempHome home;
    CInstaller(home.services().home()).Install();
    CConfigurationZentrova config;
    std::vector<ListedKey> keys = ReadKeyList();
    for (const char* tag : {"en", "es"}) {
        config.SetRegistryParameter("language", tag);
        CTextsMgr::Reset();
        CTextsMgr* texts = CTextsMgr::GetInstance();
        for (const ListedKey& k : keys) {
            EXPECT_NE(texts->GetText(k.key), "????") << tag << ": " << k.key;
        }
        std::map<std::string, std::string> languages;
        std::string defaultLanguage;
        texts->GetLanguages(languages, defaultLanguage);
        EXPECT_EQ(languages, (std::map<std::string, std::string>{{"en", "English"}, {"es", "Español"}}));
        EXPECT_EQ(defaultLanguage, "en");
    }
    CTextsMgr* texts = CTextsMgr::GetInstance();
    EXPECT_EQ(texts->GetText("DIALOG_WEEK_WEDNESDAY"), "Miércoles");
    EXPECT_EQ(SafeSprintf(texts->GetText("ERROR OPENING VOLUME"), 5, std::string("comm_mgr.db")),
              "Error 5 al abrir la base de datos comm_mgr.db.");
    EXPECT_EQ(SafeSprintf(texts->GetText("ON - 20%")), "Encendido - 20%");
    CTextsMgr::Reset();
}

}  // namespace

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzTargets.h"

namespace fs = std::filesystem;

namespace {

struct Target {
    const char* name;
    int (*entry)(const uint8_t*, size_t);
};

const Target kTargets[] = {
    {"TimerLine", FuzzTimerLine}, {"ControlRequest", FuzzControlRequest},
    {"ExportXml", FuzzExportXml}, {"Translation", FuzzTranslation},
    {"Scenario", FuzzScenario},   {"DeviceArgs", FuzzDeviceArgs},
    {"Nmea", FuzzNmea},           {"VersionAnswer", FuzzVersionAnswer},
    {"History", FuzzHistory},     {"Skin", FuzzSkin},
};

std::vector<fs::path> FilesOf(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        return files;
    }
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files.push_back(entry.path());
        }
    }
    return files;
}

}  // namespace

// Each target's seed corpus and every input a fuzzing run once crashed on go through the same
// body the fuzzer runs: under the routine build they must neither crash nor trip a sanitizer, and
// every target has seeds to start from.
TEST(FuzzInputs, EveryKeptInputRunsThroughItsTarget) {
    const fs::path root = fs::path(ZENTROVA_SOURCE_DIR) / "tests" / "fuzz";
    for (const Target& target : kTargets) {
        SCOPED_TRACE(target.name);
        std::vector<fs::path> corpus = FilesOf(root / "corpus" / target.name);
        EXPECT_FALSE(corpus.empty()) << "no seed corpus";
        std::vector<fs::path> files = corpus;
        for (const fs::path& regression : FilesOf(root / "regressions" / target.name)) {
            files.push_back(regression);
        }
        for (const fs::path& file : files) {
            SCOPED_TRACE(file.string());
            std::ifstream in(file, std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_EQ(0, target.entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
        }
    }
}

#pragma once

#include <filesystem>
#include <string>

// The test skin of tests/data/skins: a small complete skin per resolution class. Programs and
// windows under test use it wherever the shipped theme has no skin of that class.
namespace test_skin {

inline std::filesystem::path Folder() {
    return std::filesystem::path(ZENTROVA_TEST_DATA) / "skins" / "default";
}

// Copies the test skin into `programDir`/themes/default for each class that has no skin there,
// or, with `replace`, in place of the installed one (tests that check the test skin's pixels).
inline void Install(const std::filesystem::path& programDir, bool replace = false) {
    namespace fs = std::filesystem;
    for (const char* resolution : {"vga", "qvga", "square"}) {
        const fs::path target = programDir / "themes" / "default" / resolution;
        if (replace) {
            fs::remove_all(target);
        } else if (fs::exists(target / "skin.xml")) {
            continue;
        }
        fs::create_directories(target);
        fs::copy(Folder() / resolution, target,
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
}

// A copy of the shipped resources with the test skin added where they have none, for programs
// that install their home themselves. Returns the folder to give as ZENTROVA_RESOURCES.
inline std::filesystem::path ResourcesWithSkin(const std::filesystem::path& base) {
    namespace fs = std::filesystem;
    const fs::path shipped = fs::path(ZENTROVA_SOURCE_DIR) / "resources";
    const fs::path copy = base / "resources";
    fs::create_directories(copy);
    fs::copy(shipped, copy, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    Install(copy);
    return copy;
}

}  // namespace test_skin

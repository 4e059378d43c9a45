#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

namespace {

// The dialog library is loaded by name for each use, never linked: it must load on its own (its
// dependency on the common library resolved) and export its entry points undecorated.
TEST(DialogLibraryTest, LoadsByNameAndExportsItsEntryPoints) {
    std::string path = std::string(ZENTROVA_BIN_DIR) + "/libZentrovaDLL.so";
    void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << ::dlerror();
    using VersionFn = const char* (*)();
    auto version = reinterpret_cast<VersionFn>(::dlsym(library, "ZentrovaDLL_Version"));
    ASSERT_NE(version, nullptr);
    EXPECT_STREQ(version(), ZENTROVA_VERSION);
    EXPECT_EQ(::dlclose(library), 0);
}

}  // namespace

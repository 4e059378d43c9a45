#pragma once

#include <string>

// The dialog library ("libZentrovaDLL.so"), loaded for one use and unloaded when the object goes.
// It is looked for beside the common library first, then by the loader's search path.
class CDialogLibrary {
  public:
    static constexpr const char* kFileName = "libZentrovaDLL.so";

    CDialogLibrary();
    ~CDialogLibrary();
    CDialogLibrary(const CDialogLibrary&) = delete;
    CDialogLibrary& operator=(const CDialogLibrary&) = delete;

    bool IsLoaded() const { return _handle != nullptr; }
    // The exported function of that name, or null.
    void* Find(const char* name) const;
    // What went wrong in loading or the last lookup.
    const std::string& GetError() const { return _error; }

    // Another file to load instead (tests); empty for the usual one.
    static void SetPathForTests(const std::string& path);

  private:
    void* _handle = nullptr;
    mutable std::string _error;
};

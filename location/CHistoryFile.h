#pragma once

#include <filesystem>
#include <string>

// A history file kept open for appending (the battery and current histories). Not locked: its
// owner serialises every use.
class CHistoryFile {
  public:
    explicit CHistoryFile(std::filesystem::path path);
    ~CHistoryFile();
    CHistoryFile(const CHistoryFile&) = delete;
    CHistoryFile& operator=(const CHistoryFile&) = delete;

    // Opens (creating when missing, keeping the contents) and moves to the end.
    void Open();
    void Close();
    // Closes and opens the file anew, empty.
    void Restart();
    // Appends; false when the file is not open or the write fails.
    bool Append(const std::string& bytes);
    // Keeps the current file as the ".bak" copy (replacing an older one) and starts empty. When
    // the file cannot be moved it is kept as it is, open for appending, and false is returned.
    bool MoveToBackup();
    long Size() const { return _size; }
    bool IsOpen() const { return _fd >= 0; }
    const std::filesystem::path& Path() const { return _path; }

  private:
    std::filesystem::path _path;
    int _fd = -1;
    long _size = 0;
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "core/IConfiguration.h"
#include "platform/ErrorCodes.h"

// Settings as named values under one key of HKEY_LOCAL_MACHINE. Numbers and texts are read from
// the registry once and then served from a cache; writes go to the registry first and reach the
// cache only when they succeeded. A missing value or a failed write throws CExceptionDB. Binary
// values bypass the cache and report nothing.
class CConfiguration : public IConfiguration {
  public:
    // Texts are read into a buffer of this many characters.
    static constexpr size_t kTextBuffer = 2000;

    explicit CConfiguration(std::string keyPath);

    std::string& GetStringParameter(const std::string& name, std::string& result) override;
    void SetRegistryParameter(const std::string& name, const std::string& text) override;
    uint32_t GetLongParameter(const std::string& name) override;
    void SetLongParameter(const std::string& name, uint32_t value) override;
    ~CConfiguration() override = default;

    // `size` holds the buffer size on entry and the stored size on return. On failure the buffer
    // is left unchanged and false is returned.
    bool GetBinaryParameter(const std::string& name, void* buffer, size_t& size);
    bool SetBinaryParameter(const std::string& name, const void* buffer, size_t size);

    const std::string& GetKeyPath() const { return _keyPath; }

  protected:
    // Whether the key exists; `keyPath` receives its path.
    platform::Result GetKey(std::string& keyPath) const;

  private:
    std::string _keyPath;
    std::mutex _cacheLock;
    std::map<std::string, uint32_t> _numbers;
    std::map<std::string, std::string> _texts;
};

#pragma once

#include <filesystem>
#include <memory>

#include "platform/IMessageQueues.h"
#include "platform/IRegistry.h"

namespace platform {

// The device registry kept in a SQLite file (WAL mode) that several processes may use at once.
// Watches are served by a thread of this object that notices commits of this process at once and
// those of other processes within a short polling interval.
class CSqliteRegistry : public IRegistry {
  public:
    // Creates the file when it does not exist. Throws PlatformError naming the file when it cannot
    // be opened or is not a registry.
    CSqliteRegistry(const std::filesystem::path& file, IMessageQueues& queues);
    ~CSqliteRegistry() override;

    Result createKey(RegRoot root, const std::string& key) override;
    bool keyExists(RegRoot root, const std::string& key) override;
    Result deleteKey(RegRoot root, const std::string& key) override;
    Result getValue(RegRoot root, const std::string& key, const std::string& name, RegValue& out) override;
    Result getDword(RegRoot root, const std::string& key, const std::string& name, uint32_t& out) override;
    Result getString(RegRoot root, const std::string& key, const std::string& name,
                     std::string& out) override;
    Result getBinary(RegRoot root, const std::string& key, const std::string& name,
                     std::vector<uint8_t>& out) override;
    Result setValue(RegRoot root, const std::string& key, const std::string& name,
                    const RegValue& v) override;
    Result setDword(RegRoot root, const std::string& key, const std::string& name, uint32_t v) override;
    Result setString(RegRoot root, const std::string& key, const std::string& name,
                     const std::string& v) override;
    Result setBinary(RegRoot root, const std::string& key, const std::string& name,
                     const std::vector<uint8_t>& v) override;
    Result deleteValue(RegRoot root, const std::string& key, const std::string& name) override;
    Result enumValues(RegRoot root, const std::string& key, std::vector<std::string>& names) override;
    Result enumSubKeys(RegRoot root, const std::string& key, std::vector<std::string>& names) override;
    Result notifyToQueue(RegRoot root, const std::string& key, const std::string& name, uint32_t mask,
                         const std::string& queueName, HREGNOTIFY& handle) override;
    Result notifyCallback(RegRoot root, const std::string& key, const std::string& name, uint32_t mask,
                          RegNotifyCallback callback, HREGNOTIFY& handle) override;
    Result closeNotification(HREGNOTIFY handle) override;

  private:
    struct Impl;
    std::unique_ptr<Impl> _impl;
};

}  // namespace platform

#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ErrorCodes.h"

namespace platform {

enum class RegRoot : int { LocalMachine = 0, CurrentUser = 1, ClassesRoot = 2 };

// Value types, numbered as the platform numbers them.
enum class RegType : uint32_t { None = 0, Sz = 1, Binary = 3, Dword = 4 };

struct RegValue {
    RegType type = RegType::None;
    std::vector<uint8_t> data;  // Sz: UTF-8 bytes without terminator; Dword: 4 bytes little-endian
};

using HREGNOTIFY = uint32_t;

// Called with the handle of the watch that fired and the value's new data (empty when the
// value was deleted).
using RegNotifyCallback = std::function<void(HREGNOTIFY, const RegValue&)>;

// The device registry: keys under three roots, values of type DWORD, string and binary.
// Key paths use backslashes, may start with one, and are compared without regard to case,
// as are value names. Every call returns a platform result code.
class IRegistry {
  public:
    virtual ~IRegistry() = default;

    virtual Result createKey(RegRoot root, const std::string& key) = 0;
    virtual bool keyExists(RegRoot root, const std::string& key) = 0;
    // Removes the key, its values and all its sub-keys.
    virtual Result deleteKey(RegRoot root, const std::string& key) = 0;

    // Reads fail with ERROR_FILE_NOT_FOUND for a missing value and ERROR_INVALID_DATA when the
    // stored value has another type than the one asked for.
    virtual Result getValue(RegRoot root, const std::string& key, const std::string& name, RegValue& out) = 0;
    virtual Result getDword(RegRoot root, const std::string& key, const std::string& name, uint32_t& out) = 0;
    virtual Result getString(RegRoot root, const std::string& key, const std::string& name,
                             std::string& out) = 0;
    virtual Result getBinary(RegRoot root, const std::string& key, const std::string& name,
                             std::vector<uint8_t>& out) = 0;

    // Writes create the key when it does not exist yet.
    virtual Result setValue(RegRoot root, const std::string& key, const std::string& name,
                            const RegValue& v) = 0;
    virtual Result setDword(RegRoot root, const std::string& key, const std::string& name, uint32_t v) = 0;
    virtual Result setString(RegRoot root, const std::string& key, const std::string& name,
                             const std::string& v) = 0;
    virtual Result setBinary(RegRoot root, const std::string& key, const std::string& name,
                             const std::vector<uint8_t>& v) = 0;
    virtual Result deleteValue(RegRoot root, const std::string& key, const std::string& name) = 0;

    // Names in the case they were first written, sorted without regard to case.
    virtual Result enumValues(RegRoot root, const std::string& key, std::vector<std::string>& names) = 0;
    virtual Result enumSubKeys(RegRoot root, const std::string& key, std::vector<std::string>& names) = 0;

    // Watches one value for any change. For a DWORD value only the bits of `mask` count; for
    // other types any change of the data counts; creation and deletion always count. Changes
    // made by other processes sharing the registry are seen too.
    // To a queue: each change writes a message into the named message queue (see
    // IMessageQueues), whose first 4 bytes are the handle, followed by the value's data.
    virtual Result notifyToQueue(RegRoot root, const std::string& key, const std::string& name, uint32_t mask,
                                 const std::string& queueName, HREGNOTIFY& handle) = 0;
    // To a callback, called on the registry's own notification thread.
    virtual Result notifyCallback(RegRoot root, const std::string& key, const std::string& name,
                                  uint32_t mask, RegNotifyCallback callback, HREGNOTIFY& handle) = 0;
    // Stops a watch; after it returns its callback is not called any more.
    virtual Result closeNotification(HREGNOTIFY handle) = 0;
};

}  // namespace platform

#include "core/CConfiguration.h"

#include <cstring>
#include <vector>

#include "core/CExceptionDB.h"
#include "core/DebugTrace.h"
#include "core/TextBuffer.h"
#include "platform/Services.h"

namespace {

platform::IRegistry& registry() {
    return platform::Services::get().registry();
}

constexpr platform::RegRoot kRoot = platform::RegRoot::LocalMachine;

void traceReadFailure(const std::string& key, const std::string& name, platform::Result rc) {
    if (rc == platform::ERROR_INVALID_DATA) {
        LogFormateado(1, "registry value %s\\%s has another type than expected", key, name);
    } else if (rc != platform::ERROR_FILE_NOT_FOUND) {
        LogFormateado(1, "registry value %s\\%s cannot be read (error %ld)", key, name, rc);
    }
}

}  // namespace

CConfiguration::CConfiguration(std::string keyPath) : _keyPath(std::move(keyPath)) {}

uint32_t CConfiguration::GetLongParameter(const std::string& name) {
    std::lock_guard lock(_cacheLock);
    if (auto it = _numbers.find(name); it != _numbers.end()) {
        return it->second;
    }
    uint32_t value = 0;
    platform::Result rc = registry().getDword(kRoot, _keyPath, name, value);
    if (rc != platform::ERROR_SUCCESS) {
        traceReadFailure(_keyPath, name, rc);
        throw CExceptionDB("Registry value %s not found", name);
    }
    _numbers[name] = value;
    return value;
}

void CConfiguration::SetLongParameter(const std::string& name, uint32_t value) {
    std::lock_guard lock(_cacheLock);
    if (registry().setDword(kRoot, _keyPath, name, value) != platform::ERROR_SUCCESS) {
        throw CExceptionDB("Error storing %s on registry", name);
    }
    _numbers[name] = value;
}

std::string& CConfiguration::GetStringParameter(const std::string& name, std::string& result) {
    std::lock_guard lock(_cacheLock);
    if (auto it = _texts.find(name); it != _texts.end()) {
        result = it->second;
        return result;
    }
    std::string text;
    platform::Result rc = registry().getString(kRoot, _keyPath, name, text);
    if (rc != platform::ERROR_SUCCESS) {
        traceReadFailure(_keyPath, name, rc);
        throw CExceptionDB("Registry value %s not found", name);
    }
    text = FitBuffer(text, kTextBuffer);
    _texts[name] = text;
    result = text;
    return result;
}

void CConfiguration::SetRegistryParameter(const std::string& name, const std::string& text) {
    std::lock_guard lock(_cacheLock);
    if (registry().setString(kRoot, _keyPath, name, text) != platform::ERROR_SUCCESS) {
        throw CExceptionDB("Error storing %s on registry", name);
    }
    _texts[name] = text;
}

bool CConfiguration::GetBinaryParameter(const std::string& name, void* buffer, size_t& size) {
    std::vector<uint8_t> data;
    if (registry().getBinary(kRoot, _keyPath, name, data) != platform::ERROR_SUCCESS || data.size() > size) {
        return false;
    }
    if (!data.empty()) {
        std::memcpy(buffer, data.data(), data.size());
    }
    size = data.size();
    return true;
}

bool CConfiguration::SetBinaryParameter(const std::string& name, const void* buffer, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    std::vector<uint8_t> data(bytes, bytes + size);
    return registry().setBinary(kRoot, _keyPath, name, data) == platform::ERROR_SUCCESS;
}

platform::Result CConfiguration::GetKey(std::string& keyPath) const {
    keyPath = _keyPath;
    return registry().keyExists(kRoot, _keyPath) ? platform::ERROR_SUCCESS : platform::ERROR_FILE_NOT_FOUND;
}

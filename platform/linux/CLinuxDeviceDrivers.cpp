#include "platform/linux/CLinuxDeviceDrivers.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/linux/NetBusHelpers.h"

namespace platform::lnx {

namespace {

uint32_t word(const std::vector<uint8_t>& data, size_t bytes) {
    uint32_t v = 0;
    for (size_t i = 0; i < bytes && i < data.size(); ++i) {
        v |= static_cast<uint32_t>(data[i]) << (8 * i);
    }
    return v;
}

std::filesystem::path sysfsRoot() {
    const char* root = std::getenv(CLinuxDeviceDrivers::kSysfsRootVariable);
    return root && *root ? std::filesystem::path(root) : std::filesystem::path("/sys");
}

}  // namespace

CLinuxDeviceDrivers::CLinuxDeviceDrivers(CDBusThread& bus) : _bus(bus) {
    const std::filesystem::path classFolder = sysfsRoot() / "class" / "backlight";
    std::vector<std::filesystem::path> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(classFolder, ec)) {
        found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    if (!found.empty()) {
        _folder = found.front();
    }
    if (_folder.empty() || !readNumber("max_brightness")) {
        _reason = "backlight (" + classFolder.string() + ") not available: no backlight device";
        _folder.clear();
        return;
    }
    const QString logind = QString::fromLatin1(kLogind);
    if (!_bus.hasService(CDBusThread::Bus::System, logind)) {
        _reason = net::unavailableLine("logind", logind, "the service is not running");
    }
}

std::string CLinuxDeviceDrivers::unavailableReason() const {
    return _reason;
}

uint32_t CLinuxDeviceDrivers::rawOf(uint32_t level, uint32_t max) {
    level = std::min(level, kMaxLevel);
    return static_cast<uint32_t>((static_cast<uint64_t>(level) * max + kMaxLevel / 2) / kMaxLevel);
}

uint32_t CLinuxDeviceDrivers::levelOf(uint32_t raw, uint32_t max) {
    if (max == 0) {
        return 0;
    }
    raw = std::min(raw, max);
    return static_cast<uint32_t>((static_cast<uint64_t>(raw) * kMaxLevel + max / 2) / max);
}

std::optional<uint32_t> CLinuxDeviceDrivers::readNumber(const char* file) const {
    std::ifstream in(_folder / file);
    unsigned long value = 0;
    if (!(in >> value)) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

Result CLinuxDeviceDrivers::open(const std::string& device, uint32_t /*access*/, DeviceHandle& handle) {
    handle = 0;
    if (strcasecmp(device.c_str(), kBacklightDevice) != 0 || _folder.empty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    handle = _handles.open(kBacklightDevice);
    return ERROR_SUCCESS;
}

Result CLinuxDeviceDrivers::close(DeviceHandle handle) {
    return _handles.close(handle);
}

Result CLinuxDeviceDrivers::ioControl(DeviceHandle handle, uint32_t code, const std::vector<uint8_t>& input,
                                      std::vector<uint8_t>& output, uint32_t& returned) {
    returned = 0;
    if (!_handles.device(handle)) {
        return ERROR_INVALID_HANDLE;
    }
    if ((code != kBacklightSet && code != kBacklightApply) || input.size() < 2) {
        return ERROR_INVALID_PARAMETER;
    }
    if (code == kBacklightApply && output.size() < 4) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::optional<uint32_t> max = readNumber("max_brightness");
    if (!max) {
        return ERROR_READ_FAULT;
    }
    const uint32_t raw = rawOf(word(input, 2), *max);
    QDBusMessage reply =
        _bus.call(CDBusThread::Bus::System, QString::fromLatin1(kLogind), QString::fromLatin1(kSessionPath),
                  QStringLiteral("org.freedesktop.login1.Session"), QStringLiteral("SetBrightness"),
                  {QStringLiteral("backlight"), QString::fromStdString(_folder.filename().string()), raw});
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return net::accessDenied(reply) ? ERROR_ACCESS_DENIED : ERROR_GEN_FAILURE;
    }
    if (code == kBacklightApply) {
        std::optional<uint32_t> now = readNumber("brightness");
        if (!now) {
            return ERROR_READ_FAULT;
        }
        const uint32_t level = levelOf(*now, *max);
        for (size_t i = 0; i < 4; ++i) {
            output[i] = static_cast<uint8_t>(level >> (8 * i));
        }
        returned = 4;
    }
    return ERROR_SUCCESS;
}

}  // namespace platform::lnx

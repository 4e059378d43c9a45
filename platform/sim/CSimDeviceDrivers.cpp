#include "platform/sim/CSimDeviceDrivers.h"

#include <strings.h>

#include <algorithm>

#include "platform/PlatformError.h"

namespace platform::sim {

namespace {

uint32_t word(const std::vector<uint8_t>& data, size_t bytes) {
    uint32_t v = 0;
    for (size_t i = 0; i < bytes && i < data.size(); ++i) {
        v |= static_cast<uint32_t>(data[i]) << (8 * i);
    }
    return v;
}

}  // namespace

CSimDeviceDrivers::CSimDeviceDrivers(std::shared_ptr<CSimPhone> phone) : _phone(std::move(phone)) {}

Result CSimDeviceDrivers::open(const std::string& device, uint32_t access, DeviceHandle& handle) {
    handle = 0;
    std::string name;
    if (strcasecmp(device.c_str(), kBacklightDevice) == 0) {
        name = kBacklightDevice;
    } else if (strcasecmp(device.c_str(), kBeamDevice) == 0) {
        name = kBeamDevice;
        if ((access & (GENERIC_READ | GENERIC_WRITE)) != (GENERIC_READ | GENERIC_WRITE)) {
            return ERROR_ACCESS_DENIED;
        }
    } else {
        return ERROR_FILE_NOT_FOUND;
    }
    handle = _handles.open(name);
    return ERROR_SUCCESS;
}

Result CSimDeviceDrivers::close(DeviceHandle handle) {
    return _handles.close(handle);
}

Result CSimDeviceDrivers::ioControl(DeviceHandle handle, uint32_t code, const std::vector<uint8_t>& input,
                                    std::vector<uint8_t>& output, uint32_t& returned) {
    returned = 0;
    std::optional<std::string> device = _handles.device(handle);
    if (!device) {
        return ERROR_INVALID_HANDLE;
    }
    try {
        return *device == kBacklightDevice ? backlight(code, input, output, returned) : beam(code, input);
    } catch (const PlatformError&) {
        return ERROR_GEN_FAILURE;
    }
}

Result CSimDeviceDrivers::backlight(uint32_t code, const std::vector<uint8_t>& input,
                                    std::vector<uint8_t>& output, uint32_t& returned) {
    if ((code != kBacklightSet && code != kBacklightApply) || input.size() < 2) {
        return ERROR_INVALID_PARAMETER;
    }
    if (code == kBacklightApply && output.size() < 4) {
        return ERROR_INSUFFICIENT_BUFFER;
    }
    uint32_t level = std::min(word(input, 2), CSimPhone::kMaxBacklight);
    if (Result r = _phone->setBrightness(level); r != ERROR_SUCCESS) {
        return r;
    }
    if (code == kBacklightApply) {
        uint32_t now = _phone->state().brightness;
        for (size_t i = 0; i < 4; ++i) {
            output[i] = static_cast<uint8_t>(now >> (8 * i));
        }
        returned = 4;
    }
    return ERROR_SUCCESS;
}

Result CSimDeviceDrivers::beam(uint32_t code, const std::vector<uint8_t>& input) {
    switch (code) {
        case kBeamEnable:
            return _phone->setBeam(true);
        case kBeamDisable:
            return _phone->setBeam(false);
        case kBeamSetMode:
            if (input.size() < 4) {
                return ERROR_INVALID_PARAMETER;
            }
            return _phone->setBeam(word(input, 4) != 0);
        default:
            return ERROR_INVALID_PARAMETER;
    }
}

}  // namespace platform::sim

#pragma once

#include "platform/ErrorCodes.h"
#include "platform/IMessageStores.h"

namespace platform::lnx {

// NOT YET WIRED: stands for the MessageStores part of the linux backend until its class joins the
// backend. Every call fails as a device that does not answer; the backend's unavailable lines
// name the service.
class CNotWiredMessageStores : public IMessageStores {
  public:
    Result logon(MapiObject&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result logoff(MapiObject) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result getStores(MapiObject, std::vector<MessageStoreRow>&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result openStore(MapiObject, const std::vector<uint8_t>&, MapiObject&) override {
        return ERROR_SERVICE_NOT_ACTIVE;
    }
    Result getBinaryProperty(MapiObject, uint32_t, std::vector<uint8_t>&) override {
        return ERROR_SERVICE_NOT_ACTIVE;
    }
    Result openFolder(MapiObject, const std::vector<uint8_t>&, MapiObject&) override {
        return ERROR_SERVICE_NOT_ACTIVE;
    }
    Result createMessage(MapiObject, MapiObject&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result modifyRecipients(MapiObject, const std::vector<MessageRecipient>&) override {
        return ERROR_SERVICE_NOT_ACTIVE;
    }
    Result setNumberProperty(MapiObject, uint32_t, uint32_t) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result setTextProperty(MapiObject, uint32_t, const std::string&) override {
        return ERROR_SERVICE_NOT_ACTIVE;
    }
    Result writeBody(MapiObject, const std::string&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    Result submitMessage(MapiObject, std::string&) override { return ERROR_SERVICE_NOT_ACTIVE; }
    void release(MapiObject) override {}
};

}  // namespace platform::lnx

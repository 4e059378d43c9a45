#pragma once

#include <cstdint>
#include <string>

// Typed access to the settings of the system.
class IConfiguration {
  public:
    virtual std::string& GetStringParameter(const std::string& name, std::string& result) = 0;
    virtual void SetRegistryParameter(const std::string& name, const std::string& text) = 0;
    virtual uint32_t GetLongParameter(const std::string& name) = 0;
    virtual void SetLongParameter(const std::string& name, uint32_t value) = 0;
    virtual ~IConfiguration() = default;
};

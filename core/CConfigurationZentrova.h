#pragma once

#include <atomic>

#include "core/CConfiguration.h"

// The process-wide settings of the product, under HKEY_LOCAL_MACHINE "\SOFTWARE\Tobren Ilsk\Zentrova".
// The application owns one as a member; code that runs before it exists gets one created on
// demand. Whichever was constructed last serves GetInstance.
class CConfigurationZentrova : public CConfiguration {
  public:
    static constexpr const char* kKeyPath = "\\SOFTWARE\\Tobren Ilsk\\Zentrova";

    CConfigurationZentrova();
    ~CConfigurationZentrova() override;
    CConfigurationZentrova(const CConfigurationZentrova&) = delete;
    CConfigurationZentrova& operator=(const CConfigurationZentrova&) = delete;

    static CConfigurationZentrova* GetInstance();
    // A number setting of the instance, or `fallback` (with a trace) when it cannot be read.
    static long GetLongOr(const char* name, long fallback);

  private:
    static std::atomic<CConfigurationZentrova*> _me;
};

#include "core/CConfigurationZentrova.h"

#include <memory>
#include <mutex>

#include "core/CBaseException.h"
#include "core/DebugTrace.h"

std::atomic<CConfigurationZentrova*> CConfigurationZentrova::_me{nullptr};

namespace {

std::mutex g_createLock;
// The instance created on demand, kept until the process ends.
std::unique_ptr<CConfigurationZentrova> g_onDemand;

}  // namespace

CConfigurationZentrova::CConfigurationZentrova() : CConfiguration(kKeyPath) {
    _me.store(this);
    try {
        if (GetLongParameter("debug_info") == 1) {
            SetDebugMode(true);
        }
    } catch (const CBaseException& e) {
        // Without the value the debug flag simply stays off; the value's absence shows at its
        // first real use.
        LogFormateado(1, "%s", e.GetMessageW());
    }
}

CConfigurationZentrova::~CConfigurationZentrova() {
    CConfigurationZentrova* self = this;
    _me.compare_exchange_strong(self, g_onDemand.get() == this ? nullptr : g_onDemand.get());
}

CConfigurationZentrova* CConfigurationZentrova::GetInstance() {
    if (CConfigurationZentrova* me = _me.load()) {
        return me;
    }
    std::lock_guard lock(g_createLock);
    if (CConfigurationZentrova* me = _me.load()) {
        return me;
    }
    g_onDemand = std::make_unique<CConfigurationZentrova>();
    return g_onDemand.get();
}

long CConfigurationZentrova::GetLongOr(const char* name, long fallback) {
    try {
        return static_cast<long>(GetInstance()->GetLongParameter(name));
    } catch (const CBaseException& e) {
        LogFormateado(1, "%s", e.GetMessageW());
        return fallback;
    }
}

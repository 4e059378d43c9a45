#include "core/IApplication.h"

#include <atomic>

namespace {
std::atomic<IApplication*> g_application{nullptr};
}

IApplication* IApplication::Get() {
    return g_application.load();
}

void IApplication::Install(IApplication* application) {
    g_application.store(application);
}

void IApplication::Uninstall(IApplication* application) {
    g_application.compare_exchange_strong(application, nullptr);
}

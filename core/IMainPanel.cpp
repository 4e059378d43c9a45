#include "core/IMainPanel.h"

#include <mutex>
#include <shared_mutex>

namespace {
std::shared_mutex g_lock;
IMainPanel* g_panel = nullptr;
}  // namespace

bool IMainPanel::With(const std::function<void(IMainPanel&)>& use) {
    std::shared_lock lock(g_lock);
    if (!g_panel) {
        return false;
    }
    use(*g_panel);
    return true;
}

void IMainPanel::Install(IMainPanel* panel) {
    std::unique_lock lock(g_lock);
    g_panel = panel;
}

void IMainPanel::Uninstall(IMainPanel* panel) {
    std::unique_lock lock(g_lock);
    if (g_panel == panel) {
        g_panel = nullptr;
    }
}

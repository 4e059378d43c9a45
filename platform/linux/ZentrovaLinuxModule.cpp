// The entry of libZentrovaLinux.so: the program opens the module for the linux backend and asks
// it for the services through this one C function.

#include <cstring>
#include <exception>
#include <type_traits>

#include "platform/ServicesModule.h"
#include "platform/linux/CLinuxServices.h"

extern "C" __attribute__((visibility("default"))) platform::Services* zentrova_create_services(
    const char* home, int role, char* error, size_t errorSize) {
    try {
        auto services = platform::lnx::CLinuxServices::Create(
            home, role == 0 ? platform::Services::Role::Program : platform::Services::Role::Tool);
        return services.release();
    } catch (const std::exception& e) {
        if (error && errorSize > 0) {
            std::strncpy(error, e.what(), errorSize - 1);
            error[errorSize - 1] = '\0';
        }
    } catch (...) {
        if (error && errorSize > 0) {
            std::strncpy(error, "unknown failure", errorSize - 1);
            error[errorSize - 1] = '\0';
        }
    }
    return nullptr;
}

static_assert(std::is_same_v<decltype(&zentrova_create_services), platform::CreateServicesFunction>,
              "the module's entry must match what the program looks for");

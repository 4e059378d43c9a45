// Registers one time trigger in a home's notification database, as another process of the phone
// would: notifyregister HOME APPLICATION ARGUMENTS DELAY_MS (delay in phone milliseconds).

#include <cstdio>
#include <cstdlib>

#include "platform/PlatformError.h"
#include "platform/Services.h"
#include "platform/sim/CSimClock.h"
#include "platform/sim/CSimServices.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: notifyregister HOME APPLICATION ARGUMENTS DELAY_MS\n");
        return 2;
    }
    try {
        auto services = platform::sim::CSimServices::Create(argv[1], platform::Services::Role::Tool);
        platform::UserNotificationTrigger t;
        t.application = argv[2];
        t.arguments = argv[3];
        t.start = platform::sim::CSimClock::fromMillis(services->clock().localMillis() + std::atoll(argv[4]));
        uint32_t handle = services->notifications().setUserNotification(t);
        std::printf("%u\n", handle);
        return handle ? 0 : 1;
    } catch (const platform::PlatformError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}

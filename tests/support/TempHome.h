#pragma once

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/CPolicyMessageBoxes.h"
#include "platform/Services.h"
#include "platform/sim/CSimServices.h"

// A temporary home folder with the simulated phone's services installed as the current context
// for the lifetime of the object; message boxes answer by a policy the test can change. With
// `gpsReceiver` the phone's GPS receiver is plugged in, as for the program.
class TempHome {
  public:
    explicit TempHome(platform::Services::Role role = platform::Services::Role::Tool,
                      bool gpsReceiver = false) {
        char tmpl[] = "/tmp/zentrova-test-XXXXXX";
        _root = ::mkdtemp(tmpl);
        _services = platform::sim::CSimServices::Create(_root, role, gpsReceiver);
        _boxes = std::make_shared<platform::CPolicyMessageBoxes>(false, false);
        _services->setBoxes(_boxes);
        _scope = std::make_unique<platform::Services::Scope>(*_services);
    }
    ~TempHome() {
        _scope.reset();
        _services.reset();
        std::error_code ec;
        std::filesystem::permissions(_root, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(_root, ec);
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::filesystem::path& root() const { return _root; }
    platform::Services& services() { return *_services; }
    platform::CPolicyMessageBoxes& boxes() { return *_boxes; }

  private:
    std::filesystem::path _root;
    std::unique_ptr<platform::Services> _services;
    std::shared_ptr<platform::CPolicyMessageBoxes> _boxes;
    std::unique_ptr<platform::Services::Scope> _scope;
};

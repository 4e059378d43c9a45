#pragma once

// The whole simulated phone on a temporary home, with its control verbs on a control socket of
// the test (so that the test changes the phone from outside, as zentrova-device would), the
// settings installed and a fast clock.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "core/CLogMgr.h"
#include "managers/CMgr.h"
#include "platform/CControlClient.h"
#include "platform/CControlServer.h"
#include "platform/sim/CSimClock.h"
#include "platform/sim/CSimPhone.h"
#include "support/ChildProcess.h"
#include "support/TempHome.h"

class SimPhoneFixture : public ::testing::Test {
  protected:
    explicit SimPhoneFixture(double speed = 200, bool gpsReceiver = false)
        : home(platform::Services::Role::Tool, gpsReceiver), control(platform::CHome(home.root())) {
        CInstaller(home.services().home()).Install();
        config = std::make_unique<CConfigurationZentrova>();
        clock().setSpeed(speed);
        CMgr::SetMgrConfig("22222222222222");
        CLogMgr::GetInstance()->vaciar();
        home.services().registerControlCommands(control);
        EXPECT_TRUE(control.start());
    }
    platform::sim::CSimClock& clock() {
        return dynamic_cast<platform::sim::CSimClock&>(home.services().clock());
    }
    // A change of the phone from outside the program; the reply, or the refusal.
    std::string outside(const std::vector<std::string>& words) {
        std::string reply;
        platform::CControlClient(platform::CHome(home.root())).request(words, reply);
        return reply;
    }
    platform::sim::CSimPhone::State phone() { return platform::sim::CSimPhone::load(home.services().home()); }
    void setConfig(const char* name, uint32_t value) { config->SetLongParameter(name, value); }
    static std::vector<std::string> logged(int source) {
        std::vector<std::string> out;
        for (const CLogEvent& e : CLogMgr::GetInstance()->GetQueue()) {
            if (e.GetSource() == source) {
                out.push_back(e.GetResume());
            }
        }
        return out;
    }

    TempHome home;
    std::unique_ptr<CConfigurationZentrova> config;
    platform::CControlServer control;
};

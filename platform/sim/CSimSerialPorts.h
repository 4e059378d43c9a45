#pragma once

#include <memory>
#include <string>

#include "platform/CPosixSerialPorts.h"
#include "platform/ISerialPorts.h"
#include "platform/sim/CSimGpsReceiver.h"

namespace platform::sim {

// The simulated phone's serial ports: the machine's own (CPosixSerialPorts, through the same
// termios path), with the simulated GPS receiver plugged into one of them when there is one.
class CSimSerialPorts : public ISerialPorts {
  public:
    // `receiver` may be null (a tool has none: it would take the port from the running program).
    CSimSerialPorts(IRegistry& registry, std::unique_ptr<CSimGpsReceiver> receiver)
        : _ports(registry), _receiver(std::move(receiver)) {}

    Result open(const std::string& name, std::unique_ptr<ISerialPort>& port) override {
        return _ports.open(name, port);
    }
    // Null when these ports have no simulated receiver.
    CSimGpsReceiver* receiver() { return _receiver.get(); }

  private:
    CPosixSerialPorts _ports;
    std::unique_ptr<CSimGpsReceiver> _receiver;
};

}  // namespace platform::sim

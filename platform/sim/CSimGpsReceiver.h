#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/IClock.h"
#include "platform/IRegistry.h"
#include "platform/sim/CPseudoTerminal.h"
#include "platform/sim/CSimPhone.h"

namespace platform::sim {

// The simulated phone's GPS receiver, plugged into serial port kPort. It is a pseudo-terminal
// whose device path the receiver writes under CPosixSerialPorts::kPortsKey while it is plugged
// in, so that the port opens like a receiver on a USB serial line. About once a second of phone
// time it sends a $GPGGA and a $GPRMC sentence of the phone's GPS state (CSimPhone::State::gps);
// a line too slow for both in a second gets the $GPGGA only. Unplugging it (Gps::Off) closes the
// terminal: a reader sees the end of the data, and the port's value goes away.
//
// A port value that names another device (a real receiver the user set up) is left alone: the
// simulated receiver then sends into a line nobody opens.
class CSimGpsReceiver {
  public:
    static constexpr const char* kPort = "COM1:";
    static constexpr uint32_t kSendEveryMs = 1000;  // phone time

    // Follows the phone's changes from now on. When no pseudo-terminal can be had the receiver
    // stays unplugged (no port value) until the phone's next change.
    CSimGpsReceiver(std::shared_ptr<CSimPhone> phone, IRegistry& registry, IClock& clock);
    ~CSimGpsReceiver();
    CSimGpsReceiver(const CSimGpsReceiver&) = delete;
    CSimGpsReceiver& operator=(const CSimGpsReceiver&) = delete;

    // The slave device of the terminal; empty while unplugged.
    std::string devicePath();

    // "$" + body + "*" + the two hex digits of the XOR of the body's bytes + CR LF.
    static std::string sentence(const std::string& body);
    // The sentences the receiver sends for `state` at `time`: $GPGGA then $GPRMC (none when off).
    static std::string sentencesOf(const CSimPhone::State& state, const SYSTEMTIME& time);

  private:
    // Plugs the terminal in or out to match `state`; with _lock held.
    void follow(const CSimPhone::State& state);
    void unplug();
    void run();

    std::shared_ptr<CSimPhone> _phone;
    IRegistry& _registry;
    IClock& _clock;
    std::mutex _lock;  // the state, the terminal and the stop flag
    std::condition_variable _wake;
    bool _stop = false;
    CSimPhone::State _state;
    std::unique_ptr<CPseudoTerminal> _terminal;
    CSimPhone::Subscription _subscription;
    std::thread _thread;
};

}  // namespace platform::sim

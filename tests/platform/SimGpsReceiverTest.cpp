// The simulated GPS receiver: a pseudo-terminal on a serial port, read with the real termios path.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/CControlClient.h"
#include "platform/CControlServer.h"
#include "platform/CPosixSerialPorts.h"
#include "platform/sim/CSimClock.h"
#include "platform/sim/CSimPhone.h"
#include "support/TempHome.h"

namespace {

using platform::CPosixSerialPorts;
using platform::ISerialPort;
using platform::RegRoot;

class SimGpsReceiverTest : public ::testing::Test {
  protected:
    SimGpsReceiverTest() : home(platform::Services::Role::Tool, true), control(platform::CHome(home.root())) {
        // Sentences every 20 ms of real time.
        dynamic_cast<platform::sim::CSimClock&>(home.services().clock()).setSpeed(50);
        home.services().registerControlCommands(control);
        EXPECT_TRUE(control.start());
    }
    // The reply of a phone verb, or its refusal.
    std::string verb(const std::vector<std::string>& words) {
        std::string reply;
        platform::CControlClient(platform::CHome(home.root())).request(words, reply);
        return reply;
    }
    platform::sim::CSimPhone::State phone() { return platform::sim::CSimPhone::load(home.services().home()); }
    std::string portValue() {
        std::string path;
        home.services().registry().getString(RegRoot::LocalMachine, CPosixSerialPorts::kPortsKey,
                                             "COM1:", path);
        return path;
    }
    // Reads until a whole line that starts with `prefix` came, or the data ends.
    static std::string readLine(ISerialPort& port, const std::string& prefix, ISerialPort::ReadStatus& last) {
        std::string text;
        char buffer[256];
        for (int i = 0; i < 500; ++i) {
            size_t count = 0;
            last = port.read(buffer, sizeof buffer, 100, count);
            if (last == ISerialPort::ReadStatus::End || last == ISerialPort::ReadStatus::Closed) {
                return std::string();
            }
            text.append(buffer, count);
            for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at + 1)) {
                size_t end = text.find("\r\n", at);
                if (end != std::string::npos) {
                    return text.substr(at, end - at);
                }
            }
        }
        return std::string();
    }

    TempHome home;
    platform::CControlServer control;
};

TEST_F(SimGpsReceiverTest, SentencesUntilUnpluggedAndThePortValueOnlyWhilePluggedIn) {
    ASSERT_EQ(portValue().rfind("/dev/pts/", 0), 0u) << portValue();
    std::unique_ptr<ISerialPort> port;
    ASSERT_EQ(home.services().serialPorts().open("COM1:", port), platform::ERROR_SUCCESS);
    ASSERT_EQ(port->setSettings({4800}), platform::ERROR_SUCCESS);
    EXPECT_EQ(port->setSettings({14400}), platform::ERROR_INVALID_PARAMETER);
    platform::SerialSettings settings;
    ASSERT_EQ(port->getSettings(settings), platform::ERROR_SUCCESS);
    EXPECT_EQ(settings.baudRate, 4800u);

    verb({"gps", "fix", "48.1173", "11.5167", "--sats", "5"});
    ISerialPort::ReadStatus last;
    std::string line = readLine(*port, "$GPGGA,", last);
    for (int i = 0; i < 5 && line.find(",1,05,") == std::string::npos; ++i) {
        line = readLine(*port, "$GPGGA,", last);  // sentences sent before the change
    }
    EXPECT_NE(line.find(",4807.0380,N,01131.0020,E,1,05,"), std::string::npos) << line;
    EXPECT_NE(readLine(*port, "$GPRMC,", last).find(",A,4807.0380,N,"), std::string::npos);

    // Unplugged: the reader sees the end of the data and the port has no device any more.
    EXPECT_EQ(verb({"gps", "off"}), "gps=off\n");
    EXPECT_EQ(readLine(*port, "$GPGGA,", last), "");
    EXPECT_EQ(last, ISerialPort::ReadStatus::End);
    EXPECT_EQ(portValue(), "");
    std::unique_ptr<ISerialPort> again;
    EXPECT_EQ(home.services().serialPorts().open("COM1:", again), platform::ERROR_FILE_NOT_FOUND);

    // A device the user set up is left alone when the receiver is plugged in again.
    home.services().registry().setString(RegRoot::LocalMachine, CPosixSerialPorts::kPortsKey,
                                         "COM1:", "/dev/ttyUSB7");
    EXPECT_EQ(verb({"gps", "on"}), "gps=nofix\n");
    EXPECT_EQ(portValue(), "/dev/ttyUSB7");
}

TEST_F(SimGpsReceiverTest, RefusedArguments) {
    const std::vector<std::vector<std::string>> refused = {
        {"gps"},
        {"gps", "fix", "91", "0"},
        {"gps", "fix", "0", "-180.5"},
        {"gps", "fix", "1x", "0"},
        {"gps", "fix", "1"},
        {"gps", "nofix", "--sats", "25"},
        {"gps", "nofix", "--sats"},
        {"gps", "off", "now"},
    };
    for (const auto& words : refused) {
        std::string reply;
        EXPECT_EQ(platform::CControlClient(platform::CHome(home.root())).request(words, reply),
                  platform::CControlClient::Status::Refused)
            << words.size() << ": " << reply;
    }
    EXPECT_EQ(phone().gps, platform::sim::CSimPhone::Gps::NoFix);
    EXPECT_EQ(verb({"gps", "nofix", "--sats", "3"}), "gps=nofix\ngps_sats=3\n");
}

}  // namespace

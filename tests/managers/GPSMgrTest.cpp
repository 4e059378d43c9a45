// The GPS receiver manager: reading NMEA text, and positions read through the simulated
// receiver's pseudo-terminal with the real serial-port path.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "managers/CGPSMgr.h"
#include "platform/CPosixSerialPorts.h"
#include "platform/sim/CSimGpsReceiver.h"
#include "support/SimPhoneFixture.h"

namespace {

using platform::sim::CSimGpsReceiver;

// Counts the status changes a manager fires.
struct CountingListener : IStatusListener {
    void StatusChanged(int, int, int) override { ++fired; }
    std::string& GetName() override { return name; }
    std::atomic<int> fired{0};
    std::string name = "counting";
};

std::string Gga(const std::string& fix, const std::string& sats, const std::string& lat = "4807.038",
                const std::string& lon = "01131.000") {
    std::string latHemisphere = lat.empty() ? "" : "N";
    std::string lonHemisphere = lon.empty() ? "" : "E";
    return CSimGpsReceiver::sentence("GPGGA,123519," + lat + "," + latHemisphere + "," + lon + "," +
                                     lonHemisphere + "," + fix + "," + sats + ",0.9,545.4,M,46.9,M,,");
}

using GPSMgrParseTest = SimPhoneFixture;

TEST_F(GPSMgrParseTest, SentencesAsTheyArriveFromThePort) {
    const std::string fix = Gga("1", "08");
    std::string badChecksum = fix;
    badChecksum[badChecksum.size() - 3] = badChecksum[badChecksum.size() - 3] == '0' ? '1' : '0';
    std::string noChecksum = fix.substr(0, fix.find('*')) + "\r\n";
    struct Row {
        const char* name;
        std::vector<std::string> reads;  // one parse() each
        bool received;
        bool fixed;
        int satellites;
        std::string latitude;
        std::string longitude;
        int fired;
    };
    const Row rows[] = {
        {"a fix gives the position", {fix}, true, true, 8, "4807.038N", "01131.000E", 1},
        {"an empty fix field changes neither fix nor received", {Gga("", "05")}, false, false, 5, "", "", 1},
        {"a fix that drops keeps the last position",
         {fix, Gga("0", "08", "", "")},
         true,
         false,
         8,
         "4807.038N",
         "01131.000E",
         2},
        {"a steady fix follows the receiver",
         {fix, Gga("1", "08", "4810.000", "01135.500")},
         true,
         true,
         8,
         "4810.000N",
         "01135.500E",
         1},
        {"a bad checksum is ignored", {badChecksum}, false, false, 0, "", "", 0},
        {"no checksum is taken", {noChecksum}, true, true, 8, "4807.038N", "01131.000E", 1},
        {"a sentence cut between two reads",
         {fix.substr(0, 20), fix.substr(20)},
         true,
         true,
         8,
         "4807.038N",
         "01131.000E",
         1},
        {"a line feed alone ends the line",
         {fix.substr(0, fix.size() - 1), "\n"},
         true,
         true,
         8,
         "4807.038N",
         "01131.000E",
         1},
        {"satellites fire only when they change",
         {Gga("0", "04", "", ""), Gga("0", "04", "", ""), Gga("0", "06", "", "")},
         true,
         false,
         6,
         "",
         "",
         2},
        {"other sentences are ignored",
         {CSimGpsReceiver::sentence("GPRMC,123519,A,4807.038,N,01131.000,E,0.0,0.0,230394,,,A"),
          CSimGpsReceiver::sentence("GPGSV,1,1,08,01,40,083,46")},
         false,
         false,
         0,
         "",
         "",
         0},
        {"garbage before a sentence in the same line is not a sentence",
         {"xx" + fix},
         false,
         false,
         0,
         "",
         "",
         0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CGPSMgr gps;
        CountingListener listener;
        gps.AddStatusListener(&listener);
        for (const std::string& text : row.reads) {
            gps.parse(text);
        }
        EXPECT_EQ(gps.GetReceivedGPGGA(), row.received);
        EXPECT_EQ(gps.IsFixed(), row.fixed);
        EXPECT_EQ(gps.GetNumSatellites(), row.satellites);
        EXPECT_EQ(gps.GetLatitud(), row.latitude);
        EXPECT_EQ(gps.GetLongitud(), row.longitude);
        EXPECT_EQ(listener.fired.load(), row.fired);
        gps.RemoveStatusListener(&listener);
    }
}

TEST_F(GPSMgrParseTest, FieldsAndChecksums) {
    std::string field = "kept";
    EXPECT_EQ(CGPSMgr::DameParametro("$GPGGA,1,,3", field, 1), 1);
    EXPECT_EQ(field, "$GPGGA");
    EXPECT_EQ(CGPSMgr::DameParametro("$GPGGA,1,,3", field, 4), 1);
    EXPECT_EQ(field, "3");
    EXPECT_EQ(CGPSMgr::DameParametro("$GPGGA,1,,3", field, 3), 0);  // empty
    EXPECT_EQ(CGPSMgr::DameParametro("$GPGGA,1,,3", field, 5), 0);  // missing
    EXPECT_EQ(field, "3");

    const std::pair<const char*, bool> sentences[] = {
        {"$GPGGA,1*4B", true},   {"$GPGGA,1*4b", true},  {"$GPGGA,1*4C", false}, {"$GPGGA,1*4", false},
        {"$GPGGA,1*4B0", false}, {"$GPGGA,1*ZZ", false}, {"GPGGA,1*4B", false},  {"$GPGGA,1", true},
    };
    for (const auto& [sentence, valid] : sentences) {
        std::string body;
        EXPECT_EQ(CGPSMgr::CheckSentence(sentence, body), valid) << sentence;
    }
}

// The manager reads the simulated receiver through the pseudo-terminal, at a phone clock 200
// times faster than real time (a five-second wait takes 25 ms).
class GPSMgrPortTest : public SimPhoneFixture {
  protected:
    GPSMgrPortTest() : SimPhoneFixture(200, true) {
        setConfig("gps_port", 1);
        setConfig("gps_baud_rate", 4800);
        setConfig("gps_try_during", 20);
        setConfig("gps_mode", 0);
    }
    int Coordinates(CGPSMgr& gps) {
        lon.clear();
        lat.clear();
        return gps.GetCoordenates(lon, lat);
    }
    std::string lon, lat;
};

TEST_F(GPSMgrPortTest, PositionsThroughTheSimulatedReceiver) {
    CGPSMgr gps;
    gps.Initialize();
    ASSERT_FALSE(gps.IsOpen());  // "gps_mode" 0: opened only when asked

    // No fix: nothing within "gps_try_during"; the port is closed again.
    EXPECT_EQ(Coordinates(gps), 0);
    EXPECT_FALSE(gps.IsOpen());

    EXPECT_EQ(outside({"gps", "fix", "48.1173", "-11.5167", "--sats", "7"}),
              "gps=fix\ngps_lat=48.117300\ngps_lon=-11.516700\ngps_sats=7\n");
    EXPECT_EQ(Coordinates(gps), 1);
    EXPECT_EQ(lat, "4807.0380N");
    EXPECT_EQ(lon, "01131.0020W");
    EXPECT_FALSE(gps.IsOpen());

    // "gps_mode" 1 keeps the port open after the answer.
    setConfig("gps_mode", 1);
    EXPECT_EQ(Coordinates(gps), 1);
    EXPECT_TRUE(gps.IsOpen());
    EXPECT_EQ(gps.GetNumSatellites(), 7);

    // Back to no fix while open: the last position stays, no answer comes.
    outside({"gps", "nofix"});
    EXPECT_TRUE(WaitUntil([&] { return !gps.IsFixed(); }));
    EXPECT_EQ(gps.GetLatitud(), "4807.0380N");
    EXPECT_EQ(Coordinates(gps), 0);
    EXPECT_TRUE(gps.IsOpen());

    // Unplugged while the reader waits: the port closes, and cannot be opened again.
    outside({"gps", "off"});
    EXPECT_TRUE(WaitUntil([&] { return !gps.IsOpen(); }));
    EXPECT_EQ(gps.GetLatitud(), "");
    EXPECT_EQ(Coordinates(gps), 0);
    EXPECT_FALSE(gps.IsOpen());

    // Plugged in again on a new terminal.
    outside({"gps", "on"});
    outside({"gps", "fix", "-33.8688", "151.2093"});
    EXPECT_EQ(Coordinates(gps), 1);
    EXPECT_EQ(lat, "3352.1280S");
    EXPECT_EQ(lon, "15112.5580E");

    // Status 0 and 1 close and open the port on the worker.
    gps.ForceStatus(0, 0, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !gps.IsOpen(); }));
    gps.ForceStatus(1, 0, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return gps.IsOpen() && gps.IsFixed(); }));
}

TEST_F(GPSMgrPortTest, PortsThatCannotBeRead) {
    outside({"gps", "fix", "10", "10"});
    const std::pair<const char*, std::function<void()>> rows[] = {
        {"a baud rate without a serial speed", [&] { setConfig("gps_baud_rate", 14400); }},
        {"a port nobody mapped",
         [&] {
             setConfig("gps_baud_rate", 4800);
             setConfig("gps_port", 7);
         }},
        {"a mapped device that is not a serial line",
         [&] {
             home.services().registry().setString(platform::RegRoot::LocalMachine,
                                                  platform::CPosixSerialPorts::kPortsKey,
                                                  "COM7:", "/dev/null");
         }},
    };
    for (const auto& [name, setUp] : rows) {
        SCOPED_TRACE(name);
        setUp();
        CGPSMgr gps;
        gps.LoadConfiguration();
        EXPECT_EQ(Coordinates(gps), 0);
        EXPECT_FALSE(gps.IsOpen());
    }
}

}  // namespace

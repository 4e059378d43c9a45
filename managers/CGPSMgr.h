#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "managers/CMgr.h"

namespace platform {
class ISerialPort;
}

// The GPS receiver on a serial port. The port ("COM" and "gps_port", at "gps_baud_rate") is read
// by a reader thread, which picks the satellites in use, the fix and the position out of the
// receiver's $GPGGA sentences. The location upload asks for coordinates with GetCoordenates,
// which opens the port when needed and waits up to "gps_try_during" seconds for a fix; with
// "gps_mode" 0 the port is closed again afterwards, with 1 it stays open.
//
// Status 1 opens the port and 0 closes it; the status itself is not kept (its text is always the
// same). Listeners hear code 1 when the port opens and code 0 for any other change.
class CGPSMgr : public CMgr {
  public:
    // Bytes taken from the port at a time.
    static constexpr size_t kReadBytes = 999;
    // Real milliseconds a read waits for data before it looks again; closing the port wakes it at
    // once, and a receiver that stays silent keeps the port open.
    static constexpr uint32_t kReadWaitMs = 1000;
    // Phone milliseconds between two looks for a fix in GetCoordenates.
    static constexpr uint32_t kFixWaitMs = 5000;
    // Longest position text (number and hemisphere letter) and port name kept.
    static constexpr size_t kPositionChars = 98;
    static constexpr size_t kPortChars = 9;
    // A line longer than this without a line feed is not NMEA: it is dropped.
    static constexpr size_t kMaxLineBytes = 1024;
    static constexpr const char* kStatusText = "unknwon state";

    CGPSMgr();
    ~CGPSMgr() override;

    // The manager while it exists, else null; for the location upload.
    static CGPSMgr* GetInstance() { return _instance.load(); }

    void Initialize() override;
    int IsRefreshSynchronus() override { return 1; }
    int GetMgrId() override { return MGR_GPS; }
    void RefreshStatusChild(int) override {}
    void ForceStatusChild(int status, int timeLimitMinutes) override;
    void SetMaxPower() override {}
    void HandleCommandChild(int command, int value) override;
    std::string& GetNameMgr(std::string& name) override;
    std::string& GetNameStatus(int status, std::string& name) override;
    bool HasStatus(int status) override { return status == 0 || status == 1; }

    virtual std::string GetPort();
    // At most kPortChars characters are kept.
    virtual void SetPort(const std::string& port);
    virtual uint32_t GetBaudRate();
    virtual void SetBaudRate(uint32_t baudRate);
    // Closes the port when open: the reading is forgotten and listeners hear code 0.
    virtual void CloseGPSAsync();
    // On the worker thread: CloseGPS closes an open port, OpenGPS opens a closed one.
    virtual void CloseGPS();
    virtual void OpenGPS();
    // Any thread; waits (phone time) for a fix for up to "gps_try_during" seconds. 1 with the
    // position texts copied out, 0 when the port cannot be opened, closes, or no fix came in time.
    virtual int GetCoordenates(std::string& longitude, std::string& latitude);
    // Opens the port and starts the reader thread; nothing changes when it cannot be opened.
    // When the port is open already listeners hear code 0.
    virtual void OpenGPSAsync();
    virtual bool IsOpen();
    // One read step of the open port: what arrived is parsed; the end of the data closes the
    // port. Returns IsOpen(). The reader thread's step; one reader at a time.
    virtual int Read();
    virtual void LoadConfiguration();
    // Text read from the port: split into lines; the piece after the last line feed waits for
    // the rest of its line in the next call. One caller at a time (the reader thread).
    virtual void parse(const std::string& text);
    // One line: a sentence whose checksum does not match is ignored; one without a checksum is
    // taken. $GPGGA sentences are read; others are ignored.
    virtual void processSentence(const std::string& sentence);
    virtual void processGPGGA(const std::string& sentence);
    // Reads the fix flag of a $GPRMC sentence; processSentence does not call it.
    virtual void processGPRMC(const std::string& sentence);
    virtual bool IsFixed();
    virtual int GetNumSatellites();
    virtual std::string GetLongitud();
    virtual std::string GetLatitud();

    bool GetReceivedGPGGA();
    void SetReceivedGPGGA(bool received);

    // Field `index` (1: the sentence name) of a comma-separated sentence into `field`: 1, or 0
    // when the field is missing or empty (`field` is then left alone).
    static int DameParametro(const std::string& sentence, std::string& field, int index);
    // Checks the "*HH" checksum of a sentence ("$...*HH", without line end) and gives the part
    // between "$" and "*". A sentence without "*" has no checksum and is taken whole. False for a
    // sentence not starting with "$", a malformed checksum or one that does not match.
    static bool CheckSentence(const std::string& sentence, std::string& body);

  private:
    // One read of `port`; false when the reader is to stop.
    bool ReadFrom(const std::shared_ptr<platform::ISerialPort>& port);
    // Closes the current port (only when it is `only`, if given) and forgets the reading.
    void ClosePort(const platform::ISerialPort* only, bool notify);
    // With _lock held.
    void ClearReading();

    static std::atomic<CGPSMgr*> _instance;

    std::mutex _lock;  // the fields below, read by callers while the reader thread writes them
    bool receivedGPGGA = false;
    std::shared_ptr<platform::ISerialPort> portHandle;
    std::string portName;
    uint32_t baudRate = 0;
    int fixQuality = 0;
    int numSatellites = 0;
    std::string longitude;
    std::string latitude;

    std::mutex _openLock;  // one open at a time; guards _reader
    std::thread _reader;
    std::string _pending;  // the start of a line not yet ended; the reader's own
};

#include "managers/CGPSMgr.h"

#include <cstdlib>
#include <exception>
#include <vector>

#include "core/CConfigurationZentrova.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "platform/ISerialPorts.h"
#include "platform/Services.h"

std::atomic<CGPSMgr*> CGPSMgr::_instance{nullptr};

CGPSMgr::CGPSMgr() : CMgr(MGR_GPS) {
    _instance.store(this);
}

CGPSMgr::~CGPSMgr() {
    Stop();
    ClosePort(nullptr, false);
    {
        std::lock_guard open(_openLock);
        if (_reader.joinable()) {
            _reader.join();
        }
    }
    CGPSMgr* self = this;
    _instance.compare_exchange_strong(self, nullptr);
}

void CGPSMgr::Initialize() {
    LoadConfiguration();
    CloseGPSAsync();
    if (CConfigurationZentrova::GetLongOr("gps_mode", 0) == 1 &&
        CConfigurationZentrova::GetLongOr("upload_gps", 0) == 1) {
        OpenGPSAsync();
    }
}

void CGPSMgr::LoadConfiguration() {
    SetBaudRate(static_cast<uint32_t>(CConfigurationZentrova::GetLongOr("gps_baud_rate", 0)));
    SetPort("COM" + std::to_string(CConfigurationZentrova::GetLongOr("gps_port", 0)) + ":");
}

void CGPSMgr::ForceStatusChild(int status, int) {
    if (status == 1) {
        OpenGPSAsync();
    } else if (status == 0) {
        CloseGPSAsync();
    }
    SetLastExecution(status == 1 ? (IsOpen() ? 1 : 0) : 1);
}

void CGPSMgr::HandleCommandChild(int command, int) {
    if (command == 1) {
        OpenGPSAsync();
    }
}

std::string& CGPSMgr::GetNameMgr(std::string& name) {
    return name = CTextsMgr::Text("EVENT_LOG_MGR_GPS_NAME");
}

std::string& CGPSMgr::GetNameStatus(int, std::string& name) {
    return name = kStatusText;
}

std::string CGPSMgr::GetPort() {
    std::lock_guard lock(_lock);
    return portName;
}

void CGPSMgr::SetPort(const std::string& port) {
    std::lock_guard lock(_lock);
    portName = port.substr(0, kPortChars);
}

uint32_t CGPSMgr::GetBaudRate() {
    std::lock_guard lock(_lock);
    return baudRate;
}

void CGPSMgr::SetBaudRate(uint32_t rate) {
    std::lock_guard lock(_lock);
    baudRate = rate;
}

bool CGPSMgr::IsOpen() {
    std::lock_guard lock(_lock);
    return portHandle != nullptr;
}

bool CGPSMgr::IsFixed() {
    std::lock_guard lock(_lock);
    return fixQuality > 0;
}

int CGPSMgr::GetNumSatellites() {
    std::lock_guard lock(_lock);
    return numSatellites;
}

std::string CGPSMgr::GetLongitud() {
    std::lock_guard lock(_lock);
    return longitude;
}

std::string CGPSMgr::GetLatitud() {
    std::lock_guard lock(_lock);
    return latitude;
}

bool CGPSMgr::GetReceivedGPGGA() {
    std::lock_guard lock(_lock);
    return receivedGPGGA;
}

void CGPSMgr::SetReceivedGPGGA(bool received) {
    std::lock_guard lock(_lock);
    receivedGPGGA = received;
}

void CGPSMgr::OpenGPS() {
    if (!IsOpen()) {
        ForceStatus(1, 0, 0, 0);
    }
}

void CGPSMgr::CloseGPS() {
    if (IsOpen()) {
        ForceStatus(0, 0, 0, 0);
    }
}

void CGPSMgr::ClearReading() {
    receivedGPGGA = false;
    fixQuality = 0;
    numSatellites = 0;
    longitude.clear();
    latitude.clear();
}

void CGPSMgr::CloseGPSAsync() {
    ClosePort(nullptr, true);
}

void CGPSMgr::ClosePort(const platform::ISerialPort* only, bool notify) {
    std::shared_ptr<platform::ISerialPort> port;
    {
        std::lock_guard lock(_lock);
        if (!portHandle || (only && portHandle.get() != only)) {
            return;
        }
        port = std::move(portHandle);
        portHandle.reset();
        ClearReading();
    }
    // Wakes the reader; the device itself is closed when the reader lets go of it too.
    port->close();
    if (notify) {
        FireStatusChanged(0);
    }
}

void CGPSMgr::OpenGPSAsync() {
    std::lock_guard open(_openLock);
    if (IsOpen()) {
        FireStatusChanged(0);
        return;
    }
    // The reader of a port closed before has been woken; it ends at once.
    if (_reader.joinable()) {
        _reader.join();
    }
    const std::string name = GetPort();
    std::unique_ptr<platform::ISerialPort> opened;
    platform::Result r = platform::ERROR_NOT_SUPPORTED;
    try {
        r = platform::Services::get().serialPorts().open(name, opened);
    } catch (const std::exception& e) {
        LogFormateado(1, "GPS: no serial ports: %s", e.what());
        return;
    }
    if (r != platform::ERROR_SUCCESS || !opened) {
        LogFormateado(1, "GPS: port %s not opened (error %d)", name, static_cast<int>(r));
        return;
    }
    platform::SerialSettings settings;
    opened->getSettings(settings);
    settings.baudRate = GetBaudRate();
    r = opened->setSettings(settings);
    if (r != platform::ERROR_SUCCESS) {
        // A speed the port does not have: the receiver could not be read at it.
        LogFormateado(1, "GPS: port %s refused %u baud (error %d)", name, settings.baudRate,
                      static_cast<int>(r));
        return;
    }
    std::shared_ptr<platform::ISerialPort> port(std::move(opened));
    {
        std::lock_guard lock(_lock);
        ClearReading();
        portHandle = port;
    }
    _pending.clear();
    FireStatusChanged(1);
    _reader = std::thread([this, port] {
        while (ReadFrom(port)) {
        }
    });
}

int CGPSMgr::Read() {
    std::shared_ptr<platform::ISerialPort> port;
    {
        std::lock_guard lock(_lock);
        port = portHandle;
    }
    if (port) {
        ReadFrom(port);
    }
    return IsOpen() ? 1 : 0;
}

bool CGPSMgr::ReadFrom(const std::shared_ptr<platform::ISerialPort>& port) {
    std::vector<char> buffer(kReadBytes);
    size_t count = 0;
    switch (port->read(buffer.data(), buffer.size(), kReadWaitMs, count)) {
        case platform::ISerialPort::ReadStatus::Data:
            parse(std::string(buffer.data(), count));
            break;
        case platform::ISerialPort::ReadStatus::Timeout:
            break;
        case platform::ISerialPort::ReadStatus::End:
            // The receiver went away: close the port unless it is another one by now.
            LogFormateado(1, "GPS: end of the data");
            ClosePort(port.get(), true);
            return false;
        case platform::ISerialPort::ReadStatus::Closed:
            return false;
    }
    std::lock_guard lock(_lock);
    return portHandle == port;
}

void CGPSMgr::parse(const std::string& text) {
    size_t start = 0;
    for (size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', start)) {
        std::string line = _pending + text.substr(start, lf - start);
        _pending.clear();
        start = lf + 1;
        processSentence(line);
    }
    _pending += text.substr(start);
    if (_pending.size() > kMaxLineBytes) {
        _pending.clear();
    }
}

bool CGPSMgr::CheckSentence(const std::string& sentence, std::string& body) {
    if (sentence.empty() || sentence[0] != '$') {
        return false;
    }
    size_t star = sentence.find('*');
    if (star == std::string::npos) {
        body = sentence.substr(1);
        return true;
    }
    if (sentence.size() != star + 3) {
        return false;
    }
    unsigned sum = 0;
    for (size_t i = 1; i < star; ++i) {
        sum ^= static_cast<unsigned char>(sentence[i]);
    }
    char* end = nullptr;
    const std::string digits = sentence.substr(star + 1);
    unsigned long given = std::strtoul(digits.c_str(), &end, 16);
    if (end != digits.c_str() + 2 || given != sum) {
        return false;
    }
    body = sentence.substr(1, star - 1);
    return true;
}

void CGPSMgr::processSentence(const std::string& sentence) {
    std::string line = sentence;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    std::string body;
    if (!CheckSentence(line, body)) {
        return;
    }
    // Fields are numbered on the sentence with its "$", as the receiver sent it.
    const std::string checked = "$" + body;
    std::string name;
    if (!DameParametro(checked, name, 1)) {
        return;
    }
    if (name == "$GPGGA") {
        processGPGGA(checked);
    }
}

int CGPSMgr::DameParametro(const std::string& sentence, std::string& field, int index) {
    if (index < 1) {
        return 0;
    }
    size_t start = 0;
    for (int i = 1; i < index; ++i) {
        size_t comma = sentence.find(',', start);
        if (comma == std::string::npos) {
            return 0;
        }
        start = comma + 1;
    }
    size_t end = sentence.find(',', start);
    std::string value = sentence.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (value.empty()) {
        return 0;
    }
    field = value;
    return 1;
}

void CGPSMgr::processGPGGA(const std::string& sentence) {
    std::string field;
    bool changed = false;
    {
        std::lock_guard lock(_lock);
        if (DameParametro(sentence, field, 8)) {
            int satellites = std::atoi(field.c_str());
            if (satellites != numSatellites) {
                numSatellites = satellites;
                changed = true;
            }
        }
        if (DameParametro(sentence, field, 7)) {
            receivedGPGGA = true;
            int quality = std::atoi(field.c_str());
            if (quality != fixQuality) {
                fixQuality = quality;
                changed = true;
            }
            // Every sentence with a fix carries the position of now: a receiver that moves with a
            // steady fix reports where it is, not where the fix began. Without a fix the last
            // position stays.
            std::string lat, latHemisphere, lon, lonHemisphere;
            if (fixQuality > 0 && DameParametro(sentence, lat, 3) &&
                DameParametro(sentence, latHemisphere, 4) && DameParametro(sentence, lon, 5) &&
                DameParametro(sentence, lonHemisphere, 6)) {
                latitude = (lat + latHemisphere).substr(0, kPositionChars);
                longitude = (lon + lonHemisphere).substr(0, kPositionChars);
            }
        }
    }
    if (changed) {
        FireStatusChanged(0);
    }
}

void CGPSMgr::processGPRMC(const std::string& sentence) {
    std::string field;
    bool changed = false;
    if (DameParametro(sentence, field, 3) && (field == "A" || field == "V")) {
        std::lock_guard lock(_lock);
        int quality = field == "A" ? 1 : 0;
        changed = quality != fixQuality;
        fixQuality = quality;
    }
    if (changed) {
        FireStatusChanged(0);
    }
}

int CGPSMgr::GetCoordenates(std::string& outLongitude, std::string& outLatitude) {
    platform::IClock& clock = platform::Services::get().clock();
    const uint32_t start = clock.tickCount();
    OpenGPSAsync();
    const long tryDuring = CConfigurationZentrova::GetLongOr("gps_try_during", 0);
    if (!IsOpen()) {
        return 0;
    }
    int found = 0;
    for (;;) {
        clock.sleep(kFixWaitMs);
        {
            std::lock_guard lock(_lock);
            // A fix whose position never came is no answer.
            if (portHandle && fixQuality > 0 && !longitude.empty() && !latitude.empty()) {
                outLongitude = longitude;
                outLatitude = latitude;
                found = 1;
                break;
            }
            if (!portHandle) {
                break;
            }
        }
        if (static_cast<long>((clock.tickCount() - start) / 1000) >= tryDuring) {
            break;
        }
    }
    if (CConfigurationZentrova::GetLongOr("gps_mode", 0) == 0) {
        CloseGPSAsync();
    }
    return found;
}

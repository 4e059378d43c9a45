#include "FuzzTargets.h"

#include <string>
#include <string_view>
#include <vector>

#include "core/CTextsMgr.h"
#include "core/TimerLine.h"
#include "location/CHistoryReader.h"
#include "managers/CConnectionsMgr.h"
#include "managers/CGPSMgr.h"
#include "platform/ControlProtocol.h"
#include "store/CDB.h"
#include "tools/device/CDeviceArgs.h"
#include "tools/device/CScenario.h"

namespace {

std::string Text(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace

int FuzzTimerLine(const uint8_t* data, size_t size) {
    std::string reason;
    (void)ParseTimerLine(Text(data, size), reason);
    return 0;
}

int FuzzControlRequest(const uint8_t* data, size_t size) {
    // The server reads a request up to its newline and decodes what comes before it.
    std::string line = Text(data, size);
    line = line.substr(0, line.find('\n'));
    if (line.size() > platform::control::kMaxRequest) {
        return 0;
    }
    std::vector<std::string> words = platform::control::decode(line);
    // The words must come back unchanged through the client's encoding.
    std::string encoded = platform::control::encode(words);
    encoded.pop_back();
    if (encoded != line || platform::control::decode(encoded) != words) {
        __builtin_trap();
    }
    return 0;
}

int FuzzExportXml(const uint8_t* data, size_t size) {
    std::string error;
    (void)CDB::CheckXMLText(Text(data, size), error);
    return 0;
}

int FuzzTranslation(const uint8_t* data, size_t size) {
    CTextsMgr::FileTables tables;
    std::string why;
    (void)CTextsMgr::ParseFile(data, size, "en", tables, why);
    return 0;
}

int FuzzScenario(const uint8_t* data, size_t size) {
    std::vector<CScenario::Step> steps;
    std::string why;
    (void)CScenario::Parse(Text(data, size), steps, why);
    return 0;
}

int FuzzDeviceArgs(const uint8_t* data, size_t size) {
    const std::string text = Text(data, size);
    int64_t ms = 0;
    if (CDeviceArgs::ParseDuration(text, ms)) {
        (void)CDeviceArgs::FormatDuration(ms);
    }
    long long value = 0;
    (void)CDeviceArgs::ParseInt(text, -1000000, 1000000, value);
    int hour = 0;
    int minute = 0;
    (void)CDeviceArgs::ParseTimeOfDay(text, hour, minute);
    int weekDay = 0;
    (void)CDeviceArgs::ParseWeekDay(text, weekDay);
    uint32_t dword = 0;
    (void)CDeviceArgs::ParseDword(text, dword);
    std::vector<uint8_t> bytes;
    std::string why;
    (void)CDeviceArgs::ParseHexBytes(text, bytes, why);
    return 0;
}

int FuzzNmea(const uint8_t* data, size_t size) {
    const std::string text = Text(data, size);
    std::string body;
    (void)CGPSMgr::CheckSentence(text, body);
    std::string field;
    for (int index = 0; index < 20; ++index) {
        (void)CGPSMgr::DameParametro(text, field, index);
    }
    return 0;
}

int FuzzVersionAnswer(const uint8_t* data, size_t size) {
    CConnectionsMgr::VersionAnswer answer;
    std::string failure;
    (void)CConnectionsMgr::ParseVersionAnswer(Text(data, size), answer, failure);
    return 0;
}

int FuzzHistory(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    (void)CHistoryReader::ReadText(bytes, CHistoryReader::Kind::Battery);
    (void)CHistoryReader::ReadText(bytes, CHistoryReader::Kind::Current);
    return 0;
}

#include "platform/RadioRecords.h"

namespace platform {

namespace {

void putWord(std::vector<uint8_t>& data, size_t offset, int64_t value) {
    auto v = static_cast<uint32_t>(value);
    for (size_t i = 0; i < 4; ++i) {
        data[offset + i] = static_cast<uint8_t>(v >> (8 * i));
    }
}

}  // namespace

std::vector<uint8_t> radioCellTowerRecord(const RadioSnapshot& s) {
    std::vector<uint8_t> data(RIL_CELLTOWER_SIZE, 0);
    putWord(data, 0, RIL_CELLTOWER_SIZE);
    putWord(data, RIL_CELLTOWER_LAC_OFFSET, s.lac);
    putWord(data, RIL_CELLTOWER_CELLID_OFFSET, s.cell);
    return data;
}

std::vector<uint8_t> radioSignalRecord(const RadioSnapshot& s) {
    std::vector<uint8_t> data(RIL_SIGNALQUALITY_SIZE, 0);
    putWord(data, 0, RIL_SIGNALQUALITY_SIZE);
    putWord(data, 4,
            RIL_PARAM_SQ_SIGNALSTRENGTH | RIL_PARAM_SQ_MINSIGNALSTRENGTH | RIL_PARAM_SQ_MAXSIGNALSTRENGTH);
    putWord(data, 8, s.signal);
    putWord(data, 12, s.signalMin);
    putWord(data, 16, s.signalMax);
    return data;
}

std::vector<uint8_t> radioLocationRecord(const RadioSnapshot& s) {
    std::vector<uint8_t> data(RIL_LOCATION_SIZE, 0);
    putWord(data, 0, RIL_LOCATION_SIZE);
    putWord(data, 4, s.lac);
    putWord(data, 8, s.cell);
    return data;
}

std::vector<uint8_t> radioEquipmentRecord(const RadioSnapshot& s) {
    std::vector<uint8_t> data(RIL_EQUIPMENTSTATE_SIZE, 0);
    putWord(data, 0, RIL_EQUIPMENTSTATE_SIZE);
    putWord(data, RIL_EQUIPMENTSTATE_STATE_OFFSET, s.radioOn ? RIL_EQSTATE_FULL : RIL_EQSTATE_MINIMUM);
    return data;
}

void answerCellTower(const RadioSnapshot& s, uint32_t& code, std::vector<uint8_t>& data) {
    if (s.radioOn && s.registered && s.cell > 0) {
        code = RIL_RESULT_OK;
        data = radioCellTowerRecord(s);
    }
}

void answerSignalQuality(const RadioSnapshot& s, uint32_t& code, std::vector<uint8_t>& data) {
    if (s.radioOn) {
        code = RIL_RESULT_OK;
        data = radioSignalRecord(s);
    }
}

void answerEquipmentState(const RadioSnapshot& s, uint32_t& code, std::vector<uint8_t>& data) {
    code = RIL_RESULT_OK;
    data = radioEquipmentRecord(s);
}

std::vector<std::pair<uint32_t, std::vector<uint8_t>>> radioNotifications(const RadioSnapshot& before,
                                                                          const RadioSnapshot& after,
                                                                          bool otherRadio) {
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> out;
    if (!after.radioOn) {
        return out;
    }
    // The location is known once the radio is registered; a change of cell, or the loss of
    // coverage (cell and area 0), is told as it happens.
    const bool located = after.registered && (!before.registered || !before.radioOn || otherRadio ||
                                              before.cell != after.cell || before.lac != after.lac);
    if (located) {
        out.emplace_back(RIL_NOTIFY_LOCATIONUPDATE, radioLocationRecord(after));
    }
    if (before.radioOn && (before.signal != after.signal || before.signalMin != after.signalMin ||
                           before.signalMax != after.signalMax)) {
        out.emplace_back(RIL_NOTIFY_SIGNALQUALITY, radioSignalRecord(after));
    }
    return out;
}

}  // namespace platform

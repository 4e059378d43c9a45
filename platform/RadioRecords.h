#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/IRadioInterface.h"

namespace platform {

// What the radio interface layer tells of a radio, read from a backend's own state: whether the
// radio is on and registered, the serving cell and the signal with its range.
struct RadioSnapshot {
    bool radioOn = false;
    bool registered = false;
    int64_t lac = 0;
    int64_t cell = 0;
    int64_t signal = 0;
    int64_t signalMin = 0;
    int64_t signalMax = 0;
};

// The records of the replies and notifications (little-endian words, the size first).
std::vector<uint8_t> radioCellTowerRecord(const RadioSnapshot& s);
std::vector<uint8_t> radioSignalRecord(const RadioSnapshot& s);
std::vector<uint8_t> radioLocationRecord(const RadioSnapshot& s);
std::vector<uint8_t> radioEquipmentRecord(const RadioSnapshot& s);

// The answers to the requests, left as they are (RIL_RESULT_ERROR, no data) when the radio has
// nothing to tell: no serving cell with the radio off, unregistered or without coverage (cell 0),
// no signal with the radio off. The equipment state is always told.
void answerCellTower(const RadioSnapshot& s, uint32_t& code, std::vector<uint8_t>& data);
void answerSignalQuality(const RadioSnapshot& s, uint32_t& code, std::vector<uint8_t>& data);
void answerEquipmentState(const RadioSnapshot& s, uint32_t& code, std::vector<uint8_t>& data);

// The notifications (code and record, in that order) the change from `before` to `after` gives,
// while the radio is on: the location once registered, on a new cell or area and on the loss of
// coverage, or when `otherRadio` says the radio itself was replaced; the signal on a change of it
// or its range while the radio stays on.
std::vector<std::pair<uint32_t, std::vector<uint8_t>>> radioNotifications(const RadioSnapshot& before,
                                                                          const RadioSnapshot& after,
                                                                          bool otherRadio = false);

}  // namespace platform

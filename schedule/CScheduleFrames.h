#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "store/CStrPeriod.h"

class CDB;

// Adds and edits the time frames of a place so that the frames of one place and week day never
// overlap. A new frame that lies inside an existing one may split it in two, after the user
// agrees; any other overlap is refused with a message. The schedule engine hands its frame
// operations to this class.
//
// Database errors propagate as CExceptionDB; the changes of one add or edit are written as one
// change of the database, so a failure leaves the frames as they were.
class CScheduleFrames {
  public:
    // Works on the tables of `db`, which must outlive this object.
    explicit CScheduleFrames(CDB* db);
    CScheduleFrames(const CScheduleFrames&) = delete;
    CScheduleFrames& operator=(const CScheduleFrames&) = delete;

    // Stores a new frame; its Id is set. Returns 1 when stored, 0 when refused (the user was told
    // why): a 24-hour frame on a day that has frames, a frame that overlaps another one, or a
    // frame inside another one that the user chose not to split.
    int AddSchedule(CStrPeriod& period);
    // Stores the changed frame (found by its Id) under the same rules, the frame's own stored
    // version left out of the comparison. Returns 1 when stored, 0 when refused.
    int EditSchedule(CStrPeriod& period);
    // Sorts frames by start time of day; frames starting at the same minute keep their order.
    static void OrderPeriods(std::vector<CStrPeriod>& periods);

  private:
    // Looks at the frames that meet `period`. Returns false, after telling the user, when the
    // frame cannot be stored; otherwise `container` receives the frame to split around it, if
    // any, which the user has agreed to split.
    bool MakeRoom(const CStrPeriod& period, const std::vector<CStrPeriod>& others,
                  std::optional<CStrPeriod>& container);
    // Gives `period` the time it takes from `container`: the container keeps what lies before
    // it and a copy, with copies of the container's actions, takes what lies after it. When
    // nothing of the container is left on one side, the container only shrinks to the other.
    void Split(CStrPeriod& container, const CStrPeriod& period);
    CDB& Database() const;

    CDB* const _db;
    // One add or edit at a time: the check and the writes must see the same frames.
    std::mutex _lock;
};

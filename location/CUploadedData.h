#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "core/WorkerThread.h"
#include "managers/ICurrentFrame.h"
#include "managers/IStatusListener.h"

// Reports the phone's whereabouts to the web address the user configured: each location change
// of the location engine queues one attempt on the worker "Uploader", which sends an HTTP GET
// whose query carries the fields the user switched on, over a data connection. It can also record
// the GPS position of a cell in the cells table. Failures are counted, never retried at once: the
// next attempt is the next location change (or a forced upload).
class CUploadedData : public WorkerThread, public IStatusListener {
  public:
    // Longest wait for the server's answer (real milliseconds).
    static constexpr long kRequestTimeoutMs = 15000;
    // The address with its query holds at most this many characters, each field at most kFieldChars.
    static constexpr size_t kAddressChars = 499;
    static constexpr size_t kFieldChars = 98;
    static constexpr int kCommandLocationChanged = 0;

    CUploadedData();
    ~CUploadedData() override;

    // The running instance, null when there is none.
    static CUploadedData* GetInstance() { return _instance.load(); }

    // Queues one upload attempt for the current location.
    void Initialize();
    // A location change of the location engine queues one attempt.
    void StatusChanged(int status, int mgrId, int code) override;
    std::string& GetName() override { return _name; }
    void HandleCommand(int command, void* argument) override;

    // One upload attempt (on the worker thread).
    void LocationChanged();
    // The address of a request for the current state: the base address, "?", the enabled fields
    // in their fixed order, each value URL-encoded.
    std::string BuildAddress();

    // Where the name of the current time frame comes from (the application, since the schedule
    // sits above the location engine); null: no frame name.
    void SetCurrentFrame(ICurrentFrame* source);

    int GetLastCell() const { return lastCell.load(); }
    int GetCounterUploadOK() const { return counterUploadOK.load(); }
    int GetCounterUploadKO() const { return counterUploadKO.load(); }
    // A forced upload is sent even when the cell has not changed; the next attempt uses it up.
    bool IsForced() const { return forced.load(); }
    void SetForced(bool value) { forced.store(value); }

  private:
    // The GPS position of the current cell: the stored one, or a reading that is then stored.
    bool PositionOfCell(int cell, std::string& longitude, std::string& latitude);
    void CountFailure(const std::string& problem);
    std::string FrameName();

    static std::atomic<CUploadedData*> _instance;

    std::atomic<int> lastCell{0};
    std::atomic<int> counterUploadKO{0};
    std::atomic<int> counterUploadOK{0};
    std::atomic<bool> forced{false};
    std::string _name = "Uploader";
    std::mutex _frameLock;
    ICurrentFrame* _frame = nullptr;
};

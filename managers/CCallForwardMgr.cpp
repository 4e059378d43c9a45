#include "managers/CCallForwardMgr.h"

#include <condition_variable>
#include <cstdio>
#include <memory>

#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/IMainPanel.h"
#include "core/TextBuffer.h"
#include "core/Utf16.h"
#include "platform/ITelephony.h"
#include "platform/Services.h"

std::atomic<CCallForwardMgr*> CCallForwardMgr::_instance{nullptr};

namespace {

constexpr int kSeverityError = 3;
constexpr size_t kResumeBuffer = 99;
constexpr size_t kDescriptionBuffer = 299;

void putWord(std::vector<uint8_t>& data, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        data[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// The reply to one request of a line, waited for by the requester.
struct Reply {
    std::mutex lock;
    std::condition_variable arrived;
    long request = 0;
    bool answered = false;
    long result = 0;
};

}  // namespace

CCallForwardMgr::CCallForwardMgr() : CMgr(MGR_CALL_FORWARD) {
    _instance.store(this);
}

CCallForwardMgr::~CCallForwardMgr() {
    Stop();
    CCallForwardMgr* self = this;
    _instance.compare_exchange_strong(self, nullptr);
}

std::vector<uint8_t> CCallForwardMgr::BuildForwardList(const std::string& number) {
    std::vector<uint8_t> record(kForwardListSize, 0);
    putWord(record, 0, kForwardListSize);
    putWord(record, platform::LINEFORWARDLIST_ENTRIES_OFFSET, 1);
    const size_t entry = platform::LINEFORWARD_FIRST_ENTRY_OFFSET;
    putWord(record, entry, platform::LINEFORWARDMODE_UNCOND);
    putWord(record, entry + 4, 0);   // caller address size
    putWord(record, entry + 8, 0);   // caller address offset
    putWord(record, entry + 12, 0);  // destination country code
    putWord(record, entry + 16, kDestinationSize);
    putWord(record, entry + 20, kDestinationOffset);
    std::string units = Utf8ToUtf16Le(number);
    units.resize(std::min(units.size(), kMaxNumberChars * 2));
    // The terminator follows: the rest of the field is zero.
    std::copy(units.begin(), units.end(), record.begin() + kDestinationOffset);
    return record;
}

void CCallForwardMgr::SetNumberToForward(const std::string& number) {
    std::lock_guard lock(_numberLock);
    numberToForward = number;
}

std::string CCallForwardMgr::GetNumberToForward() const {
    std::lock_guard lock(_numberLock);
    return numberToForward;
}

void CCallForwardMgr::ForceStatusChild(int status, int) {
    long result = SetCallForwarding(status, GetNumberToForward());
    SetLastExecution(result == 0 ? 1 : 0);
    if (result == 0) {
        // What the line accepted is the status: the platform cannot be asked.
        SetStatus(status);
    }
}

long CCallForwardMgr::SetCallForwarding(int on, const std::string& number) {
    auto& services = platform::Services::get();
    auto reply = std::make_shared<Reply>();
    auto callback = [reply](uint32_t, uint32_t message, uintptr_t, uintptr_t p1, uintptr_t p2, uintptr_t) {
        if (message != platform::LINE_REPLY) {
            return;
        }
        std::lock_guard lock(reply->lock);
        if (static_cast<long>(static_cast<intptr_t>(p1)) == reply->request) {
            reply->answered = true;
            reply->result = static_cast<long>(static_cast<int32_t>(p2));
            reply->arrived.notify_all();
        }
    };
    long result = platform::LINEERR_OPERATIONFAILED;
    platform::LineHandle line = 0;
    try {
        result = services.telephony().openLine(0, platform::LINE_API_VERSION, 0,
                                               platform::LINE_PRIVILEGE_NONE, callback, line);
    } catch (const std::exception& e) {
        LogFormateado(1, "No telephony line: %s", e.what());
    }
    if (result == 0) {
        const std::vector<uint8_t> list = BuildForwardList(number);
        IMainPanel::With([](IMainPanel& panel) { panel.SetWaitCursor(true); });
        {
            // The reply may come before the id is kept: the lock holds it back until then.
            std::unique_lock lock(reply->lock);
            long request = services.telephony().forward(line, true, 0, on ? &list : nullptr, 1);
            if (request < 0) {
                result = request;
            } else {
                reply->request = request;
                auto real = services.clock().realDuration(kForwardWaitMs);
                result = reply->arrived.wait_for(lock, real, [&] { return reply->answered; })
                             ? reply->result
                             : platform::LINEERR_OPERATIONFAILED;
            }
        }
        IMainPanel::With([](IMainPanel& panel) { panel.SetWaitCursor(false); });
        // The line of this request only: no reply reaches the callback after this.
        services.telephony().closeLine(line);
    }
    if (result != 0) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%lx", static_cast<unsigned long>(static_cast<uint32_t>(result)));
        std::string shown = on ? number : std::string("-");
        CLogMgr::Log(GetMgrId(), kSeverityError,
                     FitBuffer(SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_CALLFORWARD_FAILED_RESUME"), shown),
                               kResumeBuffer),
                     FitBuffer(SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_CALLFORWARD_FAILED_DESCRIPTION"),
                                           shown, std::string(code)),
                               kDescriptionBuffer));
    }
    return result;
}

std::string& CCallForwardMgr::GetNameMgr(std::string& name) {
    return name = CTextsMgr::Text("EVENT_LOG_MGR_CALLFORWARD_NAME");
}

std::string& CCallForwardMgr::GetNameStatus(int status, std::string& name) {
    if (status < 0) {
        return name = "unknown";  // never changed since the start
    }
    return name = CTextsMgr::Text(status != 0 ? "EVENT_LOG_MGR_CALLFORWARD_STATUS_ON"
                                              : "EVENT_LOG_MGR_CALLFORWARD_STATUS_OFF");
}

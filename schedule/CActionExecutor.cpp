#include "schedule/CActionExecutor.h"

#include <algorithm>
#include <cstdio>

#include "core/CConfigurationZentrova.h"
#include "core/CHiResTimer.h"
#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/MemoryState.h"
#include "core/TextBuffer.h"
#include "managers/CCallForwardMgr.h"
#include "managers/CMessageMgr.h"
#include "managers/CMgr.h"
#include "managers/CMobilePhoneMgr.h"
#include "managers/CSpeakerMgr.h"
#include "platform/Services.h"
#include "schedule/CActionThreads.h"
#include "store/CDB.h"
#include "store/CStrAction.h"
#include "store/CStrPeriod.h"
#include "store/CStrPlace.h"
#include "store/CTableActions.h"

std::atomic<int> CActionExecutor::_StartPeriodExecuted{0};
std::atomic<float> CActionExecutor::_StartPeriodMajorTimeExecution{0};
std::atomic<float> CActionExecutor::_StartPeriodMinorTimeExecution{0};

namespace {

constexpr int kSeverityInfo = 2;
constexpr int kSeverityError = 3;
constexpr size_t kResumeBuffer = 99;
constexpr size_t kDescriptionBuffer = 299;

}  // namespace

CActionExecutor::CActionExecutor() : _threads(std::make_unique<CActionThreads>()) {}

CActionExecutor::~CActionExecutor() {
    _threads->Finish();
}

void CActionExecutor::Log(int severity, const std::string& resume, const std::string& description) {
    CLogMgr::Log(kLogSource, severity, FitBuffer(resume, kResumeBuffer),
                 FitBuffer(description, kDescriptionBuffer));
}

void CActionExecutor::LogSkippedFrame(const CStrPeriod& period) {
    std::string skipped =
        SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_SCHEDULE_SKIPPED_RESUME"), period.GetName());
    Log(kSeverityInfo, skipped, skipped);
}

void CActionExecutor::RunManagerAction(CMgr& mgr, const CStrAction& action) {
    // The values a manager needs before its status: the number to forward to, the sound level.
    if (auto* forward = dynamic_cast<CCallForwardMgr*>(&mgr)) {
        forward->SetNumberToForward(action.GetSzOp1());
    } else if (auto* speaker = dynamic_cast<CSpeakerMgr*>(&mgr)) {
        speaker->SetLevel(action.GetIntOp3());
    }
    mgr.ForceStatus(action.GetIntOp1(), 0, 0, action.GetDelay());
}

void CActionExecutor::LogNotRun(int code) {
    Log(kSeverityError, SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_ACTION_UNKNOWN_RESUME"), code),
        SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_ACTION_UNKNOWN_DESCRIPTION"), code));
}

void CActionExecutor::RunSpecialAction(const CStrAction& action) {
    CMessageMgr* messages = CMessageMgr::GetInstance();
    switch (action.GetId()) {
        case kActionVibrate:
            break;  // felt before the other actions
        case kActionOpenFile:
        case kActionTheme:
        case kActionRingTone:
            _threads->Start(action);
            break;
        case kActionMail:
            if (!messages) {
                LogNotRun(action.GetId());
                break;
            }
            messages->SendMail(action.GetSzOp1(), action.GetSzOp2(), action.GetSzOp3(),
                               CMessageMgr::StoreIndexOfSetting(MailProviderSetting()), action.GetDelay());
            break;
        case kActionSms:
            if (!messages) {
                LogNotRun(action.GetId());
                break;
            }
            messages->SendSMS(action.GetSzOp1(), action.GetSzOp3(), action.GetDelay());
            break;
        default:
            // A code that names no manager of this program, or none at all.
            LogNotRun(action.GetId());
            break;
    }
}

std::string CActionExecutor::MailProviderSetting() {
    std::string setting;
    try {
        if (CConfigurationZentrova* config = CConfigurationZentrova::GetInstance()) {
            config->GetStringParameter("mail_provider", setting);
        }
    } catch (const std::exception&) {
        setting.clear();  // the first mail account
    }
    return setting;
}

void CActionExecutor::Run(CDB& db, const CStrPeriod& period, const CStrPlace& place, int moment) {
    CHiResTimer timer;
    timer.Start();
    std::vector<CStrAction> actions;
    db.GetTableActions()->GetAllRecordsForPeriod(actions, period.GetId());
    std::erase_if(actions, [moment](const CStrAction& a) { return a.GetType() != moment; });
    const MemoryFigures memory = ReadMemoryFigures();
    LogFormateado(2, "(%d)%d%%-total:%d-av:%d-av2:%d", _executions.fetch_add(1),
                  static_cast<int>(memory.loadPercent), static_cast<int>(memory.totalKb),
                  static_cast<int>(memory.availableKb), static_cast<int>(memory.virtualAvailableKb));
    if (CConfigurationZentrova::GetLongOr("awake_to_execute_actions", 0) != 0) {
        platform::Services::get().power().SetSystemPowerState(platform::POWER_STATE_ON);
    }

    char label[128];
    std::snprintf(label, sizeof label, "%s(%02d:%02d-%02d:%02d)", period.GetName().c_str(),
                  period.GetInicio().wHour, period.GetInicio().wMinute, period.GetFinal().wHour,
                  period.GetFinal().wMinute);
    const char* resumeKey =
        moment ? "EVENT_LOG_MGR_END_SCHEDULE_RESUME" : "EVENT_LOG_MGR_START_SCHEDULE_RESUME";
    const int count = static_cast<int>(actions.size());
    // The description names the actions: one text for a single action, one for any other count.
    const char* descriptionKey = moment ? (count == 1 ? "EVENT_LOG_MGR_END_SCHEDULE_DESCRIPTION_ONE"
                                                      : "EVENT_LOG_MGR_END_SCHEDULE_DESCRIPTION")
                                        : (count == 1 ? "EVENT_LOG_MGR_START_SCHEDULE_DESCRIPTION_ONE"
                                                      : "EVENT_LOG_MGR_START_SCHEDULE_DESCRIPTION");
    const std::string frameName = moment ? period.GetName() : std::string(label);
    const std::string resume = SafeSprintf(CTextsMgr::Text(resumeKey), place.GetName(), frameName, count);
    const std::string description =
        SafeSprintf(CTextsMgr::Text(descriptionKey), place.GetName(), frameName, count);

    // The vibrate action is felt first, whatever the order of the others.
    auto vibrate = std::find_if(actions.begin(), actions.end(),
                                [](const CStrAction& a) { return a.GetId() == kActionVibrate; });
    if (vibrate != actions.end() && vibrate->GetIntOp1() != 0) {
        if (CMobilePhoneMgr* phone = CMobilePhoneMgr::GetInstance()) {
            phone->Vibrate(1000);
        }
    }
    for (const CStrAction& action : actions) {
        if (!action.IsEnabled()) {
            std::string name;
            if (CMgr* mgr = CMgr::GetMgr(action.GetId())) {
                mgr->GetNameMgr(name);
            } else {
                name = "#" + std::to_string(action.GetId());
            }
            Log(kSeverityInfo, SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_ACTION_SKIPPED_RESUME"), name),
                SafeSprintf(CTextsMgr::Text("EVENT_LOG_MGR_ACTION_SKIPPED_DESCRIPTION"), name));
            continue;
        }
        if (CMgr* mgr = CMgr::GetMgr(action.GetId())) {
            RunManagerAction(*mgr, action);
            continue;
        }
        RunSpecialAction(action);
    }
    Log(kSeverityInfo, resume, description);
    timer.Stop();
    RecordTime(timer.GetTime() * 1000.0f);
}

void CActionExecutor::RecordTime(float ms) {
    ++_StartPeriodExecuted;
    if (ms > _StartPeriodMajorTimeExecution.load()) {
        _StartPeriodMajorTimeExecution = ms;
    }
    if (_StartPeriodMinorTimeExecution.load() == 0 || ms < _StartPeriodMinorTimeExecution.load()) {
        _StartPeriodMinorTimeExecution = ms;
    }
}

#include "app/CAppConnMgr.h"

#include <time.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <fstream>
#include <iterator>
#include <sstream>

#include <QApplication>
#include <QCursor>

#include "core/CExceptionDB.h"
#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/DateTime.h"
#include "core/IMainPanel.h"
#include "core/WorkerThread.h"
#include "location/CCellMgr.h"
#include "location/CRilMgr.h"
#include "location/CUploadedData.h"
#include "managers/CBTMgr.h"
#include "managers/CBackLightMgr.h"
#include "managers/CBandMgr.h"
#include "managers/CBeamMgr.h"
#include "managers/CCPUMgr.h"
#include "managers/CCallForwardMgr.h"
#include "managers/CConnectionsMgr.h"
#include "managers/CGPSMgr.h"
#include "managers/CMessageMgr.h"
#include "managers/CMobilePhoneMgr.h"
#include "managers/CNotificationBroker.h"
#include "managers/CSpeakerMgr.h"
#include "managers/CWifiOssVcsMgr.h"
#include "platform/CControlServer.h"
#include "platform/ProcessUptime.h"
#include "platform/Services.h"
#include "schedule/CScheduleEngine.h"
#include "store/CDB.h"
#include "store/CTablePlaces.h"
#include "ui/CSkinPreloader.h"
#include "ui/CWindowMain.h"

namespace {

// The longest time limit and delay a forced change from the control socket may ask for.
constexpr int kMaxForceMinutes = 7 * 24 * 60;
constexpr int kMaxForceDelaySeconds = 24 * 60 * 60;

}  // namespace

CAppConnMgr::CAppConnMgr()
    : _db(std::make_unique<CDB>()),
      _bt(std::make_unique<CBTMgr>()),
      _messages(std::make_unique<CMessageMgr>()),
      _cpu(std::make_unique<CCPUMgr>()),
      _gps(std::make_unique<CGPSMgr>()),
      _phone(std::make_unique<CMobilePhoneMgr>()),
      _connections(std::make_unique<CConnectionsMgr>()),
      _band(std::make_unique<CBandMgr>()),
      _speaker(std::make_unique<CSpeakerMgr>()),
      _broker(std::make_unique<CNotificationBroker>()),
      _ril(std::make_unique<CRilMgr>()),
      _beam(std::make_unique<CBeamMgr>()),
      _forward(std::make_unique<CCallForwardMgr>()),
      _backlight(std::make_unique<CBackLightMgr>()),
      _upload(std::make_unique<CUploadedData>()) {
    // A damaged database file is put aside at start, and the backup or a new one used instead.
    _db->SetRecoversDamagedVolume(true);
    _wifi = std::make_unique<CWifiOssVcsMgr>();
    // The cell history exists before any manager reports a cell.
    CCellMgr::GetInstance();
}

CAppConnMgr::~CAppConnMgr() {
    // No more requests from outside: their handlers use the window and the members.
    GetControlServer().stop();
    // The schedule engine drives the managers: no more of its commands run from here on. Its
    // notification entry may still be called by a forwarded line until the window has gone.
    CScheduleEngine* engine = CScheduleEngine::GetInstance();
    if (_ril) {
        _ril->RemoveStatusListener(engine);
    }
    engine->Stop();
    // The connections manager and the upload ask the engines for the current frame: no more from
    // here on.
    if (_connections) {
        _connections->SetCurrentFrame(nullptr);
    }
    // The upload uses the location engine, the connections and the GPS receiver: it goes first. A
    // closed receiver ends an attempt that waits for a position.
    if (_ril && _upload) {
        _ril->RemoveStatusListener(_upload.get());
    }
    if (_gps) {
        _gps->CloseGPSAsync();
    }
    _upload.reset();
    _skinPreloader.reset();
    // The main window first, then the engine, the Wi-Fi manager, then the members in reverse
    // order of construction.
    IMainPanel::Uninstall(_mainWindow.get());
    _mainWindow.reset();
    SetMainWindow(nullptr);
    CScheduleEngine::DestroyInstance();
    _wifi.reset();
    _backlight.reset();
    _forward.reset();
    _beam.reset();
    _ril.reset();
    _broker.reset();
    _speaker.reset();
    _band.reset();
    _connections.reset();
    _phone.reset();
    _gps.reset();
    _cpu.reset();
    _messages.reset();
    _bt.reset();
    _db.reset();
}

int CAppConnMgr::InitInstance() {
    // 1. Wait cursor while the application starts.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The skin and the panel's images are read on a thread of their own meanwhile.
    _skinPreloader = std::make_unique<CSkinPreloader>(CWindowMain::StartupImages());
    // 2. The database, with its default rows when it is new.
    _db->OpenDB(1);
    _db->LoadData();
    // 3. A round trip through the cells table.
    CheckCellRoundTrip();
    // 4. The managers, in their fixed order.
    _phone->Initialize();
    _messages->Initialize();
    _wifi->Initialize();
    _wifi->RefreshStatus(1);
    _connections->SetCurrentFrame(this);
    _connections->Initialize();
    _cpu->Initialize();
    _band->Initialize();
    _forward->Initialize();
    _speaker->Initialize();
    _ril->Initialize();
    _backlight->Initialize();
    _beam->Initialize();
    _gps->Initialize();
    // 5. The main window.
    _skinPreloader->OfferSkin();
    _mainWindow = std::make_unique<CWindowMain>(0, 1);
    int result = _mainWindow->InitGUIBase(GetHInstance(), GetCommandLine(), 1);
    if (!result && _mainWindow->IsSkinMissing()) {
        // The user has been told which skin file is missing or broken: the program ends normally.
        SetStartFailureCode(0);
        return 0;
    }
    IMainPanel::Install(_mainWindow.get());
    // 6. Bluetooth, whose stack events go to the main window.
    _bt->Initialize();
    // 7. The band is read again whenever the phone radio reports a change.
    _phone->AddStatusListener(_band.get());
    // 8. Time-notification listeners, in their fixed order.
    _mainWindow->AddTimeNotificationListener(_phone.get());
    _mainWindow->AddTimeNotificationListener(_wifi.get());
    _mainWindow->AddTimeNotificationListener(_connections.get());
    _mainWindow->AddTimeNotificationListener(_band.get());
    _mainWindow->AddTimeNotificationListener(_speaker.get());
    _mainWindow->AddTimeNotificationListener(_ril.get());
    _mainWindow->AddTimeNotificationListener(_bt.get());
    _mainWindow->AddTimeNotificationListener(_gps.get());
    CScheduleEngine* engine = CScheduleEngine::GetInstance();
    _mainWindow->AddTimeNotificationListener(engine);
    _ril->AddStatusListener(engine);
    // 9. Every manager's first status, then the schedule engine.
    CMgr::RefreshAll();
    engine->Init();
    // 10. Arrow cursor again.
    QApplication::restoreOverrideCursor();
    // 11. The included places of a new installation.
    CheckNewInstallation();
    // 12. The database is opened again by whoever needs it.
    _db->CloseDB(0);
    // 13. The location upload follows the location engine, and tries once now.
    _upload->SetCurrentFrame(this);
    _ril->AddStatusListener(_upload.get());
    _upload->Initialize();
    RegisterControlCommands();
    // 14. Start-up is complete.
    _startupMs.store(platform::MillisecondsSinceProcessStart());
    _startupAtUs.store(platform::WallClockMicroseconds());
    SetInitiated(result != 0);
    return result;
}

bool CAppConnMgr::GetCurrentFrame(CStrPeriod& period) {
    CStrPlace place;
    if (!_ril || !_ril->GetCurrentPlace(place)) {
        return false;
    }
    const SYSTEMTIME now = platform::Services::get().clock().localTime();
    return CScheduleEngine::GetInstance()->GetCurrentFrame(period, place.GetId(), now) != 0;
}

void CAppConnMgr::CheckCellRoundTrip() {
    CTableCell* cells = _db->GetTableCell();
    CStrCell cell;
    cell.SetIdCell(12345);
    if (cells->FindAndFill(cell)) {
        cells->Delete(cell);
    }
    cell.Reset();
    cell.SetIdCell(12345);
    cell.SetLongitud("aaaaaaaaaaaaaaa");
    cell.SetLatitud("bbbbbbbbbb");
    cells->Add(cell);
    cell.Reset();
    cell.SetIdCell(12345);
    cells->FindAndFill(cell);
    cells->Delete(cell);
}

void CAppConnMgr::CheckNewInstallation() {
    if (_configuration.GetLongParameter("first_execution_after_install") != 0) {
        _configuration.SetLongParameter("first_execution_after_install", 0);
    }
    if (_db->GetTablePlaces()->GetAllRecordsCopy().size() >= 2) {
        return;
    }
    // An action without a speaker level keeps IntOp3 at -1 ("no level"): a 0 would set the
    // volume to 0 when the action runs.
    constexpr int n = -1;
    struct Included {
        const char* key;
        const char* image;
        // moment (0 start, 1 end), action id, IntOp1, IntOp3 (level), delay
        std::vector<std::array<int, 5>> actions;
    };
    static const std::vector<Included> kIncluded = {
        {"INCLUDED_PROFILES_SILENT", "place_smells.png", {{0, 2, 0, n, 0}, {1, 2, 2, 4, 0}}},
        {"INCLUDED_PROFILES_FULL_SOUND", "place_car_sedan_green.png", {{0, 2, 2, 4, 0}, {1, 2, 2, 3, 0}}},
        {"INCLUDED_PROFILES_FULL_PERFORMANCE",
         "place_car.png",
         {{0, 2, 2, 100, 0},
          {0, 1, 2, n, 0},
          {0, 0, 1, n, 0},
          {0, 3, 0, n, 0},
          {0, 5, 2, n, 10},
          {0, 4, 2, n, 30}}},
        {"INCLUDED_PROFILES_SAVE_BATTERY",
         "place_hospital.png",
         {{0, 2, 1, n, 0}, {0, 1, 0, n, 0}, {0, 0, 0, n, 0}, {0, 5, 1, n, 0}, {0, 4, 1, n, 0}}},
        {"INCLUDED_PROFILES_NO_CONNECTIONS", "place_Snowy house (dark).png", {{0, 4, 0, n, 0}}},
        {"INCLUDED_PROFILES_CONNECT", "place_pc.png", {{0, 4, 2, n, 0}}},
    };
    auto addAll = [&] {
        CTextsMgr* texts = CTextsMgr::GetInstance();
        for (const auto& included : kIncluded) {
            CStrPlace place;
            place.SetName(texts->GetText(included.key));
            place.SetDescripcion(texts->GetText(included.key));
            place.SetImage(included.image);
            std::vector<CStrAction> actions;
            for (const auto& [moment, id, op1, op3, delay] : included.actions) {
                CStrAction action;
                action.SetType(moment);
                action.SetId(id);
                action.SetIntOp1(op1);
                action.SetIntOp3(op3);
                action.SetDelay(delay);
                actions.push_back(action);
            }
            place.AddMySelfAndDefaultSchedulesAndActions(&actions);
        }
    };
    // One change of the volume: each insert would otherwise be made durable on its own, which
    // for some three hundred rows is most of a first start.
    _db->InOneChange(addAll);
}

std::string CAppConnMgr::DescribeLocation() const {
    std::string out;
    if (CRilMgr* ril = _ril.get()) {
        out += "location_mode=" + std::to_string(ril->GetLocationMode()) + "\n";
        out += "cell=" + std::to_string(ril->GetCellID()) + "\n";
        out += "lac=" + std::to_string(ril->GetAreaCode()) + "\n";
        out += "location=" + std::to_string(ril->GetLocation()) + "\n";
        out += "place=" + std::to_string(ril->GetCurrentPlace()) + "\n";
        out += "signal=" + std::to_string(ril->GetSignalLevel()) + "\n";
        out += "battery=" + std::to_string(ril->GetBatteryLeval()) + "\n";
        out += "current=" + std::to_string(ril->GetCurrentLevel()) + "\n";
        out += "ril_events=" + std::to_string(ril->GetEvents()) + "\n";
        out += "ril_location_events=" + std::to_string(ril->GetLocEvents()) + "\n";
    }
    if (CMobilePhoneMgr* phone = _phone.get()) {
        out += "ac=" + std::to_string(phone->GetAcPlugged()) + "\n";
        out += "model=" + phone->GetModelName() + "\n";
    }
    std::vector<CCellEvent> history = CCellMgr::GetInstance()->GetQueue();
    out += "cell_history=" + std::to_string(history.size()) + "\n";
    for (CCellEvent& event : history) {
        out += "cell_event=" + std::to_string(event.GetCell()) + " " + std::to_string(event.GetLac()) + " " +
               DT_Format(event.GetTime()) + " " + std::to_string(event.GetType()) + " " +
               std::to_string(event.GetIdProfile()) + " " + event.GetProfile() + "\n";
    }
    return out;
}

void CAppConnMgr::RegisterControlCommands() {
    GetControlServer().on("app", [this](const std::vector<std::string>&) {
        std::string out = "pid=" + std::to_string(::getpid()) + "\n";
        out += "home=" + platform::Services::get().home().root().string() + "\n";
        out += std::string("initiated=") + (IsInitiated() ? "1" : "0") + "\n";
        out += "startup_ms=" + std::to_string(_startupMs.load()) + "\n";
        out += "startup_at_us=" + std::to_string(_startupAtUs.load()) + "\n";
        for (CMgr* mgr : CMgr::GetMgrs()) {
            std::string name;
            std::string statusName;
            mgr->GetNameMgr(name);
            mgr->GetNameStatus(mgr->GetStatus(), statusName);
            std::string id = std::to_string(mgr->GetMgrId());
            out += "mgr" + id + "=" + std::to_string(mgr->GetStatus()) + "\n";
            out += "mgr" + id + "_name=" + name + "\n";
            out += "mgr" + id + "_status=" + statusName + "\n";
        }
        if (CWindowMain* window = _mainWindow.get()) {
            out += window->DescribeState();
        }
        // The GPS receiver as the manager reads it: port open, fix, satellites, last position.
        if (CGPSMgr* gps = _gps.get()) {
            out += "gps_open=" + std::to_string(gps->IsOpen() ? 1 : 0) + "\n";
            out += "gps_fix=" + std::to_string(gps->IsFixed() ? 1 : 0) + "\n";
            out += "gps_sats=" + std::to_string(gps->GetNumSatellites()) + "\n";
            out += "gps_lat=" + gps->GetLatitud() + "\n";
            out += "gps_lon=" + gps->GetLongitud() + "\n";
        }
        if (CConnectionsMgr* connections = _connections.get()) {
            out += connections->DescribeState();
        }
        if (CUploadedData* upload = _upload.get()) {
            out += "upload_ok=" + std::to_string(upload->GetCounterUploadOK()) + "\n";
            out += "upload_ko=" + std::to_string(upload->GetCounterUploadKO()) + "\n";
            out += "upload_last_cell=" + std::to_string(upload->GetLastCell()) + "\n";
        }
        out += DescribeLocation();
        out += CScheduleEngine::GetInstance()->DescribeState();
        out += WorkerThread::DescribeAll();
        return out;
    });
    // force MGR STATUS [--minutes N] [--restore S] [--delay S]: a manager's ForceStatus. Words
    // that do not make a change the manager can carry out are refused as bad arguments.
    GetControlServer().on("force", [](const std::vector<std::string>& args) {
        using BadArguments = platform::CControlServer::BadArguments;
        auto number = [](const std::string& text) {
            char* end = nullptr;
            errno = 0;
            long n = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end || errno == ERANGE || n < INT_MIN || n > INT_MAX) {
                throw BadArguments("not a number: '" + text + "'");
            }
            return static_cast<int>(n);
        };
        if (args.size() < 2) {
            throw BadArguments("force takes MGR STATUS [--minutes N] [--restore S] [--delay S]");
        }
        int id = number(args[0]);
        int status = number(args[1]);
        int minutes = 0;
        int restore = 0;
        int delay = 0;
        for (size_t i = 2; i < args.size(); i += 2) {
            if (i + 1 >= args.size()) {
                throw BadArguments(args[i] + " needs a value");
            }
            int value = number(args[i + 1]);
            if (args[i] == "--minutes") {
                minutes = value;
            } else if (args[i] == "--restore") {
                restore = value;
            } else if (args[i] == "--delay") {
                delay = value;
            } else {
                throw BadArguments("unknown option " + args[i]);
            }
        }
        CMgr* mgr = CMgr::GetMgr(id);
        if (!mgr) {
            throw BadArguments("no manager has id " + args[0]);
        }
        auto refuseStatus = [mgr](int wanted, const char* what) {
            if (wanted != CMgr::kStatusNoChange && !mgr->HasStatus(wanted)) {
                std::string name;
                mgr->GetNameMgr(name);
                throw BadArguments(std::string(what) + " " + std::to_string(wanted) + " is not a state of " +
                                   name);
            }
        };
        refuseStatus(status, "status");
        if (minutes < 0 || minutes > kMaxForceMinutes) {
            throw BadArguments("--minutes must be 0 (no limit) to " + std::to_string(kMaxForceMinutes));
        }
        if (minutes > 0) {
            refuseStatus(restore, "--restore");
        }
        if (delay < 0 || delay > kMaxForceDelaySeconds) {
            throw BadArguments("--delay must be 0 to " + std::to_string(kMaxForceDelaySeconds) + " seconds");
        }
        mgr->ForceStatus(status, minutes, restore, delay);
        return std::string();
    });
    // The tables were changed from outside (zentrova-device): read them again and re-evaluate.
    GetControlServer().on("dbchanged", [](const std::vector<std::string>& args) {
        if (!args.empty()) {
            throw platform::CControlServer::ControlError("dbchanged takes no arguments");
        }
        CScheduleEngine::GetInstance()->ChangeInDB();
        return std::string();
    });
    GetControlServer().on("lock", [this](const std::vector<std::string>& args) {
        if (args.size() != 1) {
            throw platform::CControlServer::ControlError("lock takes the id of a place");
        }
        CStrPlace place;
        char* end = nullptr;
        place.SetId(static_cast<int>(std::strtol(args[0].c_str(), &end, 10)));
        if (args[0].empty() || *end) {
            throw platform::CControlServer::ControlError("not a place id: '" + args[0] + "'");
        }
        _db->InvalidateCaches();
        CDB::GetOpened();
        if (!_db->GetTablePlaces()->FindAndFill(place)) {
            throw platform::CControlServer::ControlError("no place has id " + args[0]);
        }
        CScheduleEngine::GetInstance()->SetLockedPlace(place);
        return "locked=" + std::to_string(place.GetId()) + "\n";
    });
    // The SIM PINs the phone manager unlocks the SIM with (what the settings pages store).
    for (const char* verb : {"pin", "pin2"}) {
        GetControlServer().on(verb, [this, verb](const std::vector<std::string>& args) {
            if (args.size() != 1 || args[0].empty() || args[0].size() > 8 ||
                args[0].find_first_not_of("0123456789") != std::string::npos) {
                throw platform::CControlServer::ControlError(std::string(verb) +
                                                             " takes a PIN of up to 8 digits");
            }
            if (std::string(verb) == "pin") {
                _phone->SetPin(args[0]);
            } else {
                _phone->SetPin2(args[0]);
            }
            return std::string(verb) + "=stored\n";
        });
    }
    GetControlServer().on("unlock", [](const std::vector<std::string>& args) {
        if (!args.empty()) {
            throw platform::CControlServer::ControlError("unlock takes no arguments");
        }
        CScheduleEngine* engine = CScheduleEngine::GetInstance();
        engine->SetLockedMode(0);
        // Back to the place the phone is in.
        engine->ChangeInDB();
        return std::string("locked=0\n");
    });
    platform::Services::get().registerControlCommands(GetControlServer());
}

#include "ui/CWindowMain.h"

#include <fmt/format.h>

#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/CBaseException.h"
#include "core/CConfigurationZentrova.h"
#include "core/CHiResTimer.h"
#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/DateTime.h"
#include "core/DebugTrace.h"
#include "core/IApplication.h"
#include "core/MemoryState.h"
#include "core/MessageBoxes.h"
#include "core/ProgramFolder.h"
#include "core/SafeFormat.h"
#include "core/TextBuffer.h"
#include "core/TimerLine.h"
#include "core/Utf16.h"
#include "location/CRilMgr.h"
#include "location/CUploadedData.h"
#include "managers/CBTMgr.h"
#include "managers/CBeamMgr.h"
#include "managers/CCallForwardMgr.h"
#include "managers/CConnectionsMgr.h"
#include "managers/CMgr.h"
#include "managers/CSpeakerMgr.h"
#include "platform/CControlServer.h"
#include "platform/CProcessLauncher.h"
#include "platform/CWindowHandles.h"
#include "platform/Services.h"
#include "schedule/CScheduleEngine.h"
#include "store/CDB.h"
#include "store/CTableCell.h"
#include "store/CTableLAC.h"
#include "store/CTablePlaces.h"
#include "store/LocationAssignment.h"
#include "ui/CButtonBT.h"
#include "ui/CButtonBand.h"
#include "ui/CButtonConnections.h"
#include "ui/CButtonMobilePhone.h"
#include "ui/CButtonOwnCurrentLocation.h"
#include "ui/CButtonOwnDrawImage.h"
#include "ui/CButtonOwnFixed.h"
#include "ui/CButtonSpeaker.h"
#include "ui/CButtonWifi.h"
#include "ui/COptionDialog.h"
#include "ui/COptionDialogAssignPlace.h"
#include "ui/COptionDialogTimeLimit.h"
#include "ui/CSkinMgr.h"
#include "ui/FileChoice.h"

const char* const CWindowMain::szClassName = "MainWindow";
std::atomic<float> CWindowMain::_OnPaintMajorTimeExecution{0};
std::atomic<float> CWindowMain::_OnPaintMinorTimeExecution{0};
std::atomic<int> CWindowMain::_OnPaintExecuted{0};

namespace {

std::atomic<int> g_screenWidth{480};
std::atomic<int> g_screenHeight{640};

// A forwarded command line is copied into a buffer of this many characters.
constexpr size_t kNotificationBuffer = 99;
// Event-log entries of the window: the application's source, their severity and text buffers.
constexpr int kSourceApplication = 300;
constexpr int kSeverityWarning = 3;
constexpr size_t kResumeBuffer = 99;
constexpr size_t kDescriptionBuffer = 299;

// Managers by id.
constexpr int kWifiMgrId = 0;
constexpr int kBTMgrId = 1;
constexpr int kSpeakerMgrId = 2;
constexpr int kPhoneMgrId = 3;
constexpr int kConnectionsMgrId = 4;
constexpr int kBandMgrId = 5;
// The phone manager's change code after which the bars are read again.
constexpr int kStatusCodeRadio = 3;
// Commands of the data-connections manager: the device went idle, and closing idle connections.
// Cells of the test menu's two location changes.
constexpr int kTestCell1 = 1001;
constexpr int kTestArea1 = 101;
constexpr int kTestCell2 = 2002;
constexpr int kTestArea2 = 202;
// Dialog templates of the dialog library.
constexpr int kTemplateAbout = 101;
constexpr int kTemplateAddPlace = 130;
constexpr int kTemplateChooseImage = 131;
constexpr int kTemplateMessage = 150;
constexpr int kTemplateBacklight = 160;
constexpr int kTemplateTheme = 164;
constexpr int kTemplateRingTone = 165;
constexpr int kTemplateCallForward = 170;
constexpr int kTemplateTextFile = 180;
// The default bar images, which every skin must have.
constexpr int kTemplateSoundLevel = 166;

// Popup choices of their own.
constexpr int kChoiceSoundLevel = 40127;
constexpr int kChoiceAssignPlace = 40231;

// Settings applets of the phone.
constexpr const char* kCommManagerProgram = "\\Windows\\CommManager.exe";
constexpr const char* kControlPanelProgram = "ctlpnl.exe";
constexpr const char* kBluetoothApplet = "cplmain.cpl,23";

constexpr const char* kBatteryImage = "battery.png";
constexpr const char* kSignalImage = "signal.png";
constexpr const char* kDatabaseFile = "comm_mgr.db";
constexpr const char* kSafetyCopyFile = "comm_mgr.bak";
// Height of the soft-key bar below the panel.
constexpr int kSoftKeysHeight = 26;

std::vector<uint8_t> fromHex(const std::string& hex) {
    std::vector<uint8_t> bytes;
    if (hex.size() % 2) {
        throw platform::CControlServer::ControlError("copydata: odd number of hex digits");
    }
    for (size_t i = 0; i < hex.size(); i += 2) {
        auto digit = [&](char c) -> int {
            if (c >= '0' && c <= '9')
                return c - '0';
            if (c >= 'a' && c <= 'f')
                return c - 'a' + 10;
            if (c >= 'A' && c <= 'F')
                return c - 'A' + 10;
            throw platform::CControlServer::ControlError("copydata: not hex");
        };
        bytes.push_back(static_cast<uint8_t>(digit(hex[i]) * 16 + digit(hex[i + 1])));
    }
    return bytes;
}

long parseNumber(const std::string& text) {
    char* end = nullptr;
    long n = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end) {
        throw platform::CControlServer::ControlError("not a number: '" + text + "'");
    }
    return n;
}

}  // namespace

void CWindowMain::SetScreenSize(int width, int height) {
    g_screenWidth.store(width);
    g_screenHeight.store(height);
    CSkinMgr::SetScreenSize(width, height);
}

CWindowMain::CWindowMain(int background, int /*baseWindow*/) : _background(background) {
    if (IApplication* app = IApplication::Get()) {
        app->SetMainWindow(this);
    }
}

CWindowMain::~CWindowMain() {
    if (_connMgrSubscribed.exchange(false)) {
        try {
            platform::Services::get().connectionManager().registerForStatusChangeNotification(false,
                                                                                              GetHandle());
        } catch (const std::exception& e) {
            LogFormateado(1, "%s", e.what());
        }
    }
    if (_listeningPhone.exchange(false)) {
        if (CMgr* phone = CMgr::GetMgr(kPhoneMgrId)) {
            phone->RemoveStatusListener(this);
        }
    }
    // The buttons leave their managers before anything else of the window goes.
    for (CButtonOwnDrawImage* button : GetListButtonsOwner()) {
        delete button;
    }
    std::vector<TimerThread> threads;
    {
        std::lock_guard lock(_threadsLock);
        threads.swap(_timerThreads);
    }
    for (auto& t : threads) {
        t.thread.join();
    }
    if (IApplication* app = IApplication::Get()) {
        app->SetMainWindow(nullptr);
    }
}

int CWindowMain::InitGUI(uintptr_t, const std::string&, int) {
    LogFormateado(1, "CWindowMain::InitGUI()");
    CSkinMgr::SetScreenSize(g_screenWidth.load(), g_screenHeight.load());
    CSkinMgr* skin = CSkinMgr::GetInstance();
    // Whatever happens below, the skin document is released before returning.
    struct Unload {
        CSkinMgr* skin;
        ~Unload() { skin->UnloadXML(); }
    } unload{skin};
    if (!skin->Initialize()) {
        _skinMissing = true;
        return 0;
    }
    // Only one program per home: the control socket is this window's registration.
    IApplication* app = IApplication::Get();
    if (!app || !app->GetControlServer().start()) {
        LogFormateado(1, "La aplicacion ya estaba en ejecucion");
        return 0;
    }
    setWindowTitle(szClassName);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    OnCreate();
    // The default bar images must exist in the skin.
    CTextsMgr* texts = CTextsMgr::GetInstance();
    _defaultBatteryImage = CButtonOwnDrawImage::GetBitmap(kBatteryImage);
    _defaultSignalImage = CButtonOwnDrawImage::GetBitmap(kSignalImage);
    for (const auto& [image, name] :
         {std::pair{&_defaultBatteryImage, kBatteryImage}, std::pair{&_defaultSignalImage, kSignalImage}}) {
        if (image->isNull()) {
            ErrorBox("%s", SafeSprintf(texts->GetText("ERROR LOADING"), std::string(name)));
            _skinMissing = true;
            return 0;
        }
    }
    LoadConfigXML();
    if (CMgr* phone = CMgr::GetMgr(kPhoneMgrId)) {
        phone->AddStatusListener(this);
        _listeningPhone = true;
    }
    CreateButtons();
    ReadPowerLine();
    RegisterControlCommands();
    SubscribeToConnectionEvents();
    try {
        if (CConfigurationZentrova::GetInstance()->GetLongParameter("tray_icon")) {
            ShowTrayIcon(true);
        }
    } catch (const CBaseException& e) {
        LogFormateado(1, "%s", e.GetMessageW());
    }
    UpdateNotificationsDebugInfo();
    resize(g_screenWidth.load(), g_screenHeight.load());
    OnSize(width(), height());
    show();
    raise();
    activateWindow();
    _shown = 1;
    _ready = true;
    return 1;
}

void CWindowMain::SubscribeToConnectionEvents() {
    UINT message = platform::CWindowHandles::RegisterWindowMessageW(platform::kConnMgrStatusChangeMessage);
    if (message == 0) {
        LogFormateado(1, "Error creando mensaje de conexiones");
        return;
    }
    _connMgrMessage = message;
    platform::Result r = platform::ERROR_NOT_SUPPORTED;
    try {
        r = platform::Services::get().connectionManager().registerForStatusChangeNotification(true,
                                                                                              GetHandle());
    } catch (const std::exception& e) {
        LogFormateado(1, "%s", e.what());
    }
    if (r != platform::ERROR_SUCCESS) {
        ProcesarError("Error suscribiendose a notificaciones de conexiones. %d", static_cast<int>(r));
        return;
    }
    _connMgrSubscribed = true;
    LogFormateado(1, "Suscripcion satisfactoria a eventos de conexiones.");
}

void CWindowMain::OnCreate() {
    CBaseWindow::OnCreate();
    if (_background) {
        const std::string path = GetCurrentDirectory() + "/mainwindow_bg.jpg";
        std::error_code ec;
        if (std::filesystem::exists(path, ec)) {
            _backgroundFile = QImage(QString::fromStdString(path));
            if (_backgroundFile.isNull()) {
                ReportError(CTextsMgr::GetInstance()->GetText("ERROR GETTING BACKGROUND") + " " + path);
            }
        }
    }
    CreateMenu();
}

void CWindowMain::LoadConfigXML() {
    CSkinMgr* skin = CSkinMgr::GetInstance();
    for (int orientation : CSkinMgr::OrientationsToRead(skin->GetOrientation())) {
        const auto o = static_cast<size_t>(orientation);
        skin->LoadBarConfig(&_battery[o], "battery", orientation);
        skin->LoadBarConfig(&_signal[o], "signal", orientation);
        pugi::xml_node window = skin->GetWindowConfig(orientation);
        skin->FillImage(&_backgroundImage[o], CSkinMgr::Select(window, "./image[@id='background']"));
        skin->FillPosition(&_bottomText[o].position, CSkinMgr::Select(window, "./DownTextSate/position"));
        skin->FillFont(&_bottomText[o].font, CSkinMgr::Select(window, "./DownTextSate/font"));
    }
}

namespace {

using Images = CButtonOwnDrawImage::DefaultImages;
enum class ButtonKind { Plain, Connections, Band, Wifi, BT, Speaker, Phone };
struct PanelButton {
    ButtonKind kind;
    int id;
    const char* skinId;
    Images images;
    int mgrId;  // -1: none
};

// The panel's buttons below the current place, in this order: the flow of the panel starts with
// the connections button.
const std::vector<PanelButton>& PanelButtons() {
    static const std::vector<PanelButton> buttons = {
        {ButtonKind::Connections,
         static_cast<int>(CWindowMain::CMD_CONNECTIONS),
         "connections",
         {"connection_des.png", "connection.png", "connection_dis.png", "", ""},
         kConnectionsMgrId},
        {ButtonKind::Band,
         static_cast<int>(CWindowMain::CMD_BAND),
         "band",
         {"2g.png", "3g.png", "2g_dis.png", "auto.png", ""},
         kBandMgrId},
        {ButtonKind::Plain,
         static_cast<int>(CWindowMain::CMD_HIDE),
         "hide",
         {"hide.png", "hide.png", "hide.png", "", ""},
         -1},
        {ButtonKind::Plain,
         static_cast<int>(CWindowMain::CMD_REFRESH),
         "refresh",
         {"refresh.png", "refresh.png", "refresh.png", "", ""},
         -1},
        {ButtonKind::Wifi,
         static_cast<int>(CWindowMain::CMD_WIFI),
         "wifi",
         {"wifi_des.png", "wifi.png", "wifi_dis.png", "", ""},
         kWifiMgrId},
        {ButtonKind::BT,
         static_cast<int>(CWindowMain::CMD_BT),
         "bt",
         {"bluetooth_des.png", "bluetooth.png", "bluetooth_dis.png", "bluetooth_discoverable.png", ""},
         kBTMgrId},
        {ButtonKind::Speaker,
         static_cast<int>(CWindowMain::CMD_SPEAKER),
         "speaker",
         {"speaker_des.png", "speaker.png", "speaker_dis.png", "speaker_vibrate.png", ""},
         kSpeakerMgrId},
        {ButtonKind::Phone,
         static_cast<int>(CWindowMain::CMD_PHONE),
         "phone",
         {"mobilephone_des.png", "mobilephone.png", "mobilephone_dis.png", "", ""},
         kPhoneMgrId},
    };
    return buttons;
}

const char* const kUnknownPlaceImage = "unknown.png";

}  // namespace

std::vector<std::string> CWindowMain::StartupImages() {
    std::vector<std::string> names = {kBatteryImage, kSignalImage, kUnknownPlaceImage};
    for (const PanelButton& button : PanelButtons()) {
        for (const std::string& name : {button.images.off, button.images.on, button.images.disabled,
                                        button.images.third, button.images.overlay}) {
            if (!name.empty()) {
                names.push_back(name);
            }
        }
    }
    return names;
}

void CWindowMain::CreateButtons() {
    try {
        _currentLocation = new CButtonOwnCurrentLocation(
            this, static_cast<int>(CMD_CURRENT_PLACE),
            {kUnknownPlaceImage, kUnknownPlaceImage, kUnknownPlaceImage, "", ""}, CRilMgr::GetInstance());
        _currentLocation->GetConfigFromXML();
        _currentLocation->Create();
        _currentLocation->RefreshStrPlace();
        for (const PanelButton& made : PanelButtons()) {
            CMgr* mgr = made.mgrId >= 0 ? CMgr::GetMgr(made.mgrId) : nullptr;
            CButtonOwnDrawImage* button = nullptr;
            switch (made.kind) {
                case ButtonKind::Connections:
                    button = new CButtonConnections(this, made.id, made.skinId, made.images, "", mgr, 0);
                    break;
                case ButtonKind::Band:
                    button = new CButtonBand(this, made.id, made.skinId, made.images, "", mgr, 0);
                    break;
                case ButtonKind::Wifi:
                    button = new CButtonWifi(this, made.id, made.skinId, made.images, "", mgr, 0);
                    break;
                case ButtonKind::BT:
                    button = new CButtonBT(this, made.id, made.skinId, made.images, "", mgr, 0);
                    break;
                case ButtonKind::Speaker:
                    button = new CButtonSpeaker(this, made.id, made.skinId, made.images, "", mgr, 0);
                    break;
                case ButtonKind::Phone:
                    button = new CButtonMobilePhone(this, made.id, made.skinId, made.images, "", mgr, 0);
                    break;
                case ButtonKind::Plain:
                    button = new CButtonOwnDrawImage(this, made.id, made.skinId, made.images, "", mgr, 0);
                    break;
            }
            // A button whose manager does not exist shows as disabled.
            if (made.mgrId >= 0 && !mgr) {
                button->SetStatus(-1);
                button->setEnabled(false);
            }
            button->GetConfigFromXML();
            button->Create();  // owned by the window from here on
        }
    } catch (const CBaseException& e) {
        ErrorBox("%s", e.GetMessageW());
    }
}

CButtonOwnDrawImage* CWindowMain::GetCurrentLocationButton() const {
    return _currentLocation;
}

QRect CWindowMain::ClientRect() const {
    QRect r = rect();
    if (_softKeys) {
        r.setBottom(r.bottom() - kSoftKeysHeight);
    }
    return r;
}

void CWindowMain::ReorderShellChild() {
    if (_softKeys) {
        _softKeys->setGeometry(0, height() - kSoftKeysHeight, width(), kSoftKeysHeight);
        _softKeys->raise();
    }
}

void CWindowMain::CreateMenu() {
    if (_menu) {
        return;
    }
    _softKeys = new QWidget(this);
    _softKeys->setObjectName("softkeys");
    _softKeys->setAutoFillBackground(true);
    QPalette palette = _softKeys->palette();
    palette.setColor(QPalette::Window, QColor(40, 60, 110));
    palette.setColor(QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::Button, QColor(40, 60, 110));
    _softKeys->setPalette(palette);
    auto* layout = new QHBoxLayout(_softKeys);
    layout->setContentsMargins(2, 0, 2, 0);
    auto* left = new QPushButton(_softKeys);
    left->setObjectName("MENU_HIDE");
    left->setFlat(true);
    auto* right = new QPushButton(_softKeys);
    right->setObjectName("MENU_MENU");
    right->setFlat(true);
    layout->addWidget(left);
    layout->addStretch(1);
    layout->addWidget(right);
    const HWND self = GetHandle();
    connect(left, &QPushButton::clicked, this,
            [self] { platform::CWindowHandles::PostMessageW(self, WM_COMMAND, CMD_HIDE_SOFTKEY, 0); });

    _menu = new QMenu(this);
    auto add = [self](QMenu* menu, const char* key, int id) {
        QAction* action = menu->addAction(QString::fromUtf8(key));
        action->setObjectName(key);
        action->setData(id);
        QObject::connect(action, &QAction::triggered, [self, id] {
            platform::CWindowHandles::PostMessageW(self, WM_COMMAND, static_cast<WPARAM>(id), 0);
        });
        return action;
    };
    auto sub = [](QMenu* menu, const char* key) {
        QMenu* child = menu->addMenu(QString::fromUtf8(key));
        child->setObjectName(key);
        child->menuAction()->setObjectName(key);
        return child;
    };
    add(_menu, "PAGE MAIN", 40002);
    QMenu* place = sub(_menu, "MENU_MAIN_PANEL_CURRENT_LOCATION");
    add(place, "MENU_MAIN_PANEL_CURRENT_LOCATION_ADD_PROFILE", 40229);
    add(place, "MENU_MAIN_PANEL_CURRENT_LOCATION_ASSIGN_PROFILE", 40231);
    add(place, "MENU_MAIN_PANEL_CURRENT_LOCATION_SCHEDULE_PROFILE", 40232);
    add(place, "MENU_MAIN_PANEL_CURRENT_LOCATION_ACTIONS_PROFILE", 40233);
    add(place, "MENU_MAIN_PANEL_CURRENT_LOCATION_LOCK", 40235);
    add(place, "MENU_MAIN_PANEL_CURRENT_LOCATION_UNLOCK", 40237);
    QMenu* test = sub(_menu, "TEST");
    add(test, "TEST_DEC_BATTERY", 40052);
    add(test, "TEST_DEC_SIGNAL", 40053);
    add(test, "TEST_CHANGE_LOC1", 40054);
    add(test, "TEST_CHANGE_LOC2", 40115);
    add(test, "TEST_RESTART", 40057);
    add(test, "TEST_RIC", 40109);
    add(test, "TEST_SEND_MAIL", 40116);
    add(test, "TEST_PROVIDERS", 40117);
    add(test, "TEST_SEND_SMS", 40118);
    QMenu* beam = sub(test, "BEAM");
    add(beam, "ON", 40111);
    add(beam, "OFF", 40112);
    QMenu* forward = sub(test, "CALL FORWARDING");
    add(forward, "ON", 40095);
    add(forward, "OFF", 40094);
    QMenu* volume = sub(test, "VOLUME_LEVEL");
    const char* levels[] = {"0 %", "20 %", "40 %", "60 %", "80 %", "100 %"};
    for (int i = 0; i < 6; ++i) {
        add(volume, levels[i], 40127 + i)->setObjectName("");  // not translated
    }
    add(test, "BACKLIGHT", 40133);
    add(test, "TODAY THEME", 40135);
    add(test, "RING TONE", 40136);
    add(test, "MEMORY", 40223);
    add(test, "MENU LOCATION REPORT", 40224);
    add(test, "Debug Info", 40279)->setObjectName("");
    add(test, "Upload Location", 40282)->setObjectName("");
    add(test, "Start Test Cell Change", 40298)->setObjectName("");
    add(test, "Stop Test Cell Change", 40300)->setObjectName("");
    add(test, "Bad Locations", 40302)->setObjectName("");
    QMenu* data = sub(_menu, "MENU_DATA");
    add(data, "MENU_DATA_BACKUP", 40047);
    add(data, "MENU_DATA_RESTORE", 40048);
    add(data, "MENU_DATA_CHECK_INTEGRITY", 40049);
    add(data, "MENU_DATA_FORMAT", 40050);
    QMenu* xml = sub(data, "MENU_DATA_XML");
    add(xml, "MENU_DATA_XML_IMPORT", 40059);
    add(xml, "MENU_DATA_XML_EXPORT", 40060);
    add(_menu, "ABOUT TITLE", 9);
    add(_menu, "MENU_HELP_TEXT", 40241);
    add(_menu, "EXIT", static_cast<int>(CMD_EXIT));
    // Every caption becomes its translation; the command ids stay.
    TranslateMenu(_menu);
    CTextsMgr* texts = CTextsMgr::GetInstance();
    left->setText(QString::fromStdString(texts->GetText("MENU_HIDE")));
    right->setText(QString::fromStdString(texts->GetText("MENU_MENU")));
    connect(right, &QPushButton::clicked, this, [this, right] {
        _menu->popup(right->mapToGlobal(
            QPoint(right->width() - _menu->sizeHint().width(), -_menu->sizeHint().height())));
    });
}

void CWindowMain::TranslateMenu(QMenu* menu) {
    CTextsMgr* texts = CTextsMgr::GetInstance();
    for (QAction* action : menu->actions()) {
        const std::string key = action->objectName().toStdString();
        if (!key.empty()) {
            action->setText(QString::fromStdString(texts->GetText(key)));
        }
        if (QMenu* child = action->menu()) {
            TranslateMenu(child);
        }
    }
}

LRESULT CWindowMain::OnCommand(WPARAM wParam, LPARAM) {
    const WPARAM id = wParam & 0xFFFF;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The arrow comes back however the command ends.
    struct Restore {
        ~Restore() { QApplication::restoreOverrideCursor(); }
    } restore;
    switch (id) {
        case CMD_BT:
            OnBT();
            break;
        case CMD_SPEAKER:
            OnSpeaker();
            break;
        case CMD_WIFI:
            OnWifi();
            break;
        case CMD_CURRENT_PLACE:
            OnCurrentPlace();
            break;
        case CMD_PHONE:
            OnMobilePhone();
            break;
        case CMD_CONNECTIONS:
            OnConnections();
            break;
        case CMD_BAND:
            OnBand();
            break;
        case CMD_HIDE:
        case CMD_HIDE_SOFTKEY:
            OnCloseApp();
            break;
        case CMD_REFRESH:
            OnRefresh();
            break;
        case CMD_ABOUT:
            OnAbout();
            break;
        case 10:
        case 40036:
            OnTest();
            break;
        case 100:
            OnTest2();
            break;
        case 101:
            OnTest3();
            break;
        case 102:
            OnTest4();
            break;
        case CMD_EXIT:
            OnExit();
            break;
        case CMD_OPTIONS:
            OnOptions();
            break;
        case 40229:
            OnCurrentPlace_AddProfile();
            break;
        case 40231:
            OnCurrentPlace_AssignToProfile();
            break;
        case 40232:
        case 40233:
            OnCurrentPlace_Actions();
            break;
        case 40235:
            OnCurrentPlace_SelectProfile();
            break;
        case 40237:
            OnCurrentPlace_UnselectProfile();
            break;
        case 40047:
            OnBackup();
            break;
        case 40048:
            OnRestore();
            break;
        case 40049:
            OnCheckDBIntregrity();
            break;
        case 40050:
            OnFormat();
            break;
        case CMD_XML_IMPORT:
            OnXMLImport();
            break;
        case CMD_XML_EXPORT:
            OnXMLExport();
            break;
        case 40241:
            OnHelp();
            break;
        case 40052:
            OnTestDecBattery();
            break;
        case 40053:
            OnTestDecSignal();
            break;
        case 40054:
            OnTestChangeLocation();
            break;
        case 40115:
            OnTestChangeLocation2();
            break;
        case CMD_TEST_RESTART:
            OnTestRestart();
            break;
        case 40109:
            OnTestRemoveIddleConnections();
            break;
        case 40116:
            OnTestMail();
            break;
        case 40117:
            OnTestMailProviders();
            break;
        case 40118:
            OnTestSMS();
            break;
        case 40111:
            OnTestBeam(1);
            break;
        case 40112:
            OnTestBeam(0);
            break;
        case 40095:
            OnTestCallForward(1);
            break;
        case 40094:
            OnTestCallForward(0);
            break;
        case 40127:
        case 40128:
        case 40129:
        case 40130:
        case 40131:
        case 40132: {
            static constexpr int kLevels[] = {0, 1, 2, 3, 4, 100};
            OnTestVolumeLevel(kLevels[id - 40127]);
            break;
        }
        case 40133:
            OnTestBackLight();
            break;
        case 40135:
            OnTestTheme();
            break;
        case 40136:
            OnTestRingTone();
            break;
        case 40223:
            OnTestMemory();
            break;
        case 40224:
            OnTestLocationsReport();
            break;
        case CMD_TEST_DEBUG_INFO:
            OnTestDebugInfo();
            break;
        case 40282:
            OnTestUploadLocation();
            break;
        case 40298:
        case 40300:
        case 40302:
            OnTestCellChange(id);
            break;
        default:
            return 0;
    }
    return 1;
}

void CWindowMain::RegisterControlCommands() {
    platform::CControlServer& control = IApplication::Get()->GetControlServer();
    const HWND self = GetHandle();
    control.on("show", [this](const std::vector<std::string>&) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                show();
                raise();
                activateWindow();
                _shown = 1;
                ++_activations;
            },
            Qt::QueuedConnection);
        return std::string();
    });
    control.on("copydata", [self](const std::vector<std::string>& args) {
        if (args.size() != 1) {
            throw platform::CControlServer::ControlError("copydata takes one hex argument");
        }
        std::vector<uint8_t> bytes = fromHex(args[0]);
        COPYDATASTRUCT data;
        data.dwData = 0;
        data.cbData = static_cast<uint32_t>(bytes.size());
        data.lpData = bytes.data();
        LRESULT r =
            platform::CWindowHandles::SendMessageW(self, WM_COPYDATA, self, reinterpret_cast<LPARAM>(&data));
        return std::to_string(r) + "\n";
    });
    control.on("post", [self](const std::vector<std::string>& args) {
        if (args.empty() || args.size() > 3) {
            throw platform::CControlServer::ControlError("post takes MESSAGE [WPARAM [LPARAM]]");
        }
        auto message = static_cast<UINT>(parseNumber(args[0]));
        if (message == WM_COPYDATA || message == WM_TIMER_NOTIFICATION) {
            // Their lParam points into the sender's memory: they can only be sent.
            throw platform::CControlServer::ControlError("this message carries data and cannot be posted");
        }
        WPARAM w = args.size() > 1 ? static_cast<WPARAM>(parseNumber(args[1])) : 0;
        LPARAM l = args.size() > 2 ? static_cast<LPARAM>(parseNumber(args[2])) : 0;
        platform::CWindowHandles::PostMessageW(self, message, w, l);
        return std::string();
    });
    control.on("screenshot", [this](const std::vector<std::string>& args) {
        if (args.size() != 1) {
            throw platform::CControlServer::ControlError("screenshot takes one PNG file name");
        }
        // Painted and saved on the window's thread; the control thread waits for it. Atomic: the
        // wait is Qt's own, which the thread checker does not see.
        std::atomic<bool> saved{false};
        QMetaObject::invokeMethod(
            this, [this, &args, &saved] { saved = grab().save(QString::fromStdString(args[0]), "PNG"); },
            Qt::BlockingQueuedConnection);
        if (!saved) {
            throw platform::CControlServer::ControlError("cannot write " + args[0]);
        }
        return std::string();
    });
    control.on("click", [this](const std::vector<std::string>& args) {
        if (args.size() != 1) {
            throw platform::CControlServer::ControlError("click takes one button id");
        }
        const long id = parseNumber(args[0]);
        std::atomic<bool> clicked{false};  // set on the window's thread, as `saved` above
        // A tap on the button of that id: in the open popup when there is one, else on the panel.
        QMetaObject::invokeMethod(
            this,
            [this, id, &clicked] {
                QAbstractButton* button = nullptr;
                if (COptionDialog* popup = COptionDialog::GetOpen(this)) {
                    button = popup->FindButton(static_cast<int>(id));
                } else if (auto it = GetMapButtonsOwner().find(static_cast<int>(id));
                           it != GetMapButtonsOwner().end()) {
                    button = it->second;
                }
                if (button && button->isEnabled() && button->isVisible()) {
                    button->click();
                    clicked = true;
                }
            },
            Qt::BlockingQueuedConnection);
        if (!clicked) {
            throw platform::CControlServer::ControlError("no button " + args[0] + " to click");
        }
        return std::string();
    });
    control.on("command", [self](const std::vector<std::string>& args) {
        if (args.size() != 1) {
            throw platform::CControlServer::ControlError("command takes one command id");
        }
        long id = parseNumber(args[0]);
        if (id <= 0 || id > 0xFFFF) {
            throw platform::CControlServer::ControlError("command ids are 1 to 65535");
        }
        platform::CWindowHandles::PostMessageW(self, WM_COMMAND, static_cast<WPARAM>(id), 0);
        return std::string();
    });
}

LRESULT CWindowMain::ProcessMsgChild(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != 0 && message == _connMgrMessage.load()) {
        // A data connection changed: the manager reads its connections again on this thread.
        if (CConnectionsMgr* connections = CConnectionsMgr::GetInstance()) {
            connections->NewEvent();
        }
        return 0;
    }
    switch (message) {
        case WM_COPYDATA:
            return OnCopyDataNotification(wParam, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case WM_TRAY_ICON:
            OnClickTrayIcon(lParam);
            return 0;
        case WM_COMMANDS_PENDING:
        case WM_COMMANDS_EXECUTED:
            // The worker threads' pending and executed counts: shown in debug mode.
            if (IsDebugMode()) {
                update(_textRect);
            }
            return 0;
        case WM_TIMER_NOTIFICATION:
            if (lParam) {
                OnTimerNotification(*reinterpret_cast<const std::string*>(lParam));
            }
            return 0;
        case WM_IDLE_NOTIFICATION:
            OnIdleNotification();
            return 0;
        case WM_REGISTER_TODAY:
            OnRegisterToday(static_cast<HWND>(lParam));
            return 0;
        case WM_TODAY_PROFILE:
            OnProfileToday();
            return 0;
        case WM_TODAY_WIFI:
        case WM_TODAY_BT:
        case WM_TODAY_SPEAKER:
        case WM_TODAY_PHONE:
        case WM_TODAY_CONNECTIONS:
        case WM_TODAY_BAND: {
            static const std::map<UINT, WPARAM> kCommands = {{WM_TODAY_WIFI, CMD_WIFI},
                                                             {WM_TODAY_BT, CMD_BT},
                                                             {WM_TODAY_SPEAKER, CMD_SPEAKER},
                                                             {WM_TODAY_PHONE, CMD_PHONE},
                                                             {WM_TODAY_CONNECTIONS, CMD_CONNECTIONS},
                                                             {WM_TODAY_BAND, CMD_BAND}};
            OnCommand(kCommands.at(message), 0);
            setEnabled(true);
            return 0;
        }
        case CBTMgr::WM_BT_EVENT:
            // A Bluetooth stack event: the manager reads the mode again on this thread.
            if (CBTMgr* bt = CBTMgr::GetInstance()) {
                bt->HandleEvent(static_cast<unsigned>(wParam), static_cast<long>(lParam));
            }
            return 0;
        case WM_CLEAR_AND_END:
            if (IApplication* app = IApplication::Get()) {
                app->ClearOwnNotifications();
            }
            std::fflush(nullptr);
            ::_exit(0);
        default:
            return 0;
    }
}

void CWindowMain::OnExit() {
    SetClosingZVA(1);
    platform::CWindowHandles::PostMessageW(GetHandle(), WM_CLOSE, 0, 0);
}

void CWindowMain::OnClose() {
    if (_closing.load()) {
        IApplication* app = IApplication::Get();
        bool restarting = app && app->GetRestart();
        if (!restarting &&
            QuestionBox(CTextsMgr::GetInstance()->GetText("MAIN_PANEL_CONFIRM_CLOSE").c_str()) !=
                IDYES_ANSWER) {
            _closing = 0;
            return;
        }
        if (app) {
            app->ClearOwnNotifications();
        }
        _closing = 0;
        DestroyWindow();
        return;
    }
    // A close asked by the window system (the title bar): only when the user allows it.
    bool allowed = false;
    try {
        allowed = CConfigurationZentrova::GetInstance()->GetLongParameter("allow_windows_close_zva") != 0;
    } catch (const CBaseException& e) {
        LogFormateado(1, "%s", e.GetMessageW());
    }
    _closing = 0;
    if (allowed) {
        DestroyWindow();
    }
}

void CWindowMain::OnDestroy() {
    if (_trayIcon) {
        _trayIcon->hide();
    }
    QApplication::exit(0);
}

void CWindowMain::OnActivate(bool active) {
    if (active) {
        _shown = 1;
        if (QWidget* popup = GetDialogShowed()) {
            popup->activateWindow();
        }
    } else if (!_shown.load()) {
        hide();
    }
}

void CWindowMain::OnCloseApp() {
    hide();
    _shown = 0;
}

void CWindowMain::OnRefresh() {
    UpdateNotificationsDebugInfo();
    CMgr::RefreshAll();
    if (_currentLocation) {
        _currentLocation->RefreshStrPlace();
    }
    update();
}

// The factories of the dialog library, by their arguments.
using FactoryOwner = IModalDialog*(QWidget*);
using FactoryTemplate = IModalDialog*(QWidget*, int);
using FactoryKind = IModalDialog*(QWidget*, int, int);
using FactoryAddPlace = IModalDialog*(QWidget*, int, CStrPlace*, int, int*);
using FactoryTextFile = IModalDialog*(QWidget*, int, const char*, const char*);

// Status buttons: each offers its states in a popup and hands the choice to its manager.

void CWindowMain::ApplyChoice(CMgr* mgr, int choice, int onStatus) {
    if (!mgr || choice == static_cast<int>(CMD_CANCEL) || choice < 0) {
        return;
    }
    if (choice != onStatus) {
        // Queued to the manager's worker; returns at once.
        mgr->ForceStatus(choice, 0, 0, 0);
        return;
    }
    const int limit = ShowTimeLimit();
    if (limit == static_cast<int>(CMD_CANCEL) || limit <= 0) {
        return;
    }
    if (limit == COptionDialogTimeLimit::kNoLimit) {
        mgr->ForceStatus(choice, 0, 0, 0);
    } else {
        // When the time is up the device goes back to what it is now.
        mgr->ForceStatus(choice, limit, mgr->GetStatus(), 0);
    }
}

void CWindowMain::StartApplet(const std::string& program, const std::string& arguments,
                              const char* errorKey) {
    platform::Result r = platform::ERROR_NOT_SUPPORTED;
    try {
        r = platform::Services::get().controlPanel().startApplet(program, arguments);
    } catch (const std::exception& e) {
        LogFormateado(1, "%s", e.what());
    }
    if (r != platform::ERROR_SUCCESS) {
        TextBox(SafeSprintf(CTextsMgr::GetInstance()->GetText(errorKey), static_cast<int>(r)));
    }
}

void CWindowMain::OnWifi() {
    const int wifi = static_cast<int>(CMD_WIFI);
    const int choice = ShowOptions({{"ON", 1, wifi, 1, "wifi"},
                                    {"OFF", 0, wifi, 0, "wifi"},
                                    {"SETTINGS", static_cast<int>(CMD_PLACES), -1, 0, "settings"}});
    if (choice == static_cast<int>(CMD_PLACES)) {
        // The phone's own manager of wireless devices.
        StartApplet(kCommManagerProgram, "", "ERROR APPLET WIFI");
        return;
    }
    ApplyChoice(CMgr::GetMgr(kWifiMgrId), choice, 1);
}

void CWindowMain::OnBT() {
    const int bt = static_cast<int>(CMD_BT);
    const int choice = ShowOptions({{"BT ON", 1, bt, 1, "bt"},
                                    {"BT DISCOVERABLE", 2, bt, 2, "bt"},
                                    {"BT OFF", 0, bt, 0, "bt"},
                                    {"SETTINGS", static_cast<int>(CMD_PLACES), -1, 0, "settings"}});
    if (choice == static_cast<int>(CMD_PLACES)) {
        StartApplet(kControlPanelProgram, kBluetoothApplet, "ERROR APPLET BT");
        return;
    }
    ApplyChoice(CMgr::GetMgr(kBTMgrId), choice, 1);
}

void CWindowMain::OnBand() {
    const int band = static_cast<int>(CMD_BAND);
    const int choice = ShowOptions({{"BAND AUTO", 0, band, 0, "band"},
                                    {"BAND 2G", 1, band, 1, "band"},
                                    {"BAND 3G", 2, band, 2, "band"}});
    ApplyChoice(CMgr::GetMgr(kBandMgrId), choice, 2);
}

void CWindowMain::OnSpeaker() {
    const int speaker = static_cast<int>(CMD_SPEAKER);
    const int choice = ShowOptions({{"ON", 2, speaker, 2, "speaker"},
                                    {"MUTE", 0, speaker, 0, "speaker"},
                                    {"VIBRATE", 1, speaker, 1, "speaker"},
                                    {"VOLUME_LEVEL", kChoiceSoundLevel, -1, 0, "settings"}});
    if (choice == kChoiceSoundLevel) {
        RunDialog<FactoryTemplate>("New_CDialogSoundLevel", static_cast<QWidget*>(this), kTemplateSoundLevel);
        return;
    }
    ApplyChoice(CMgr::GetMgr(kSpeakerMgrId), choice, 2);
}

void CWindowMain::OnMobilePhone() {
    // The phone manager's status is inverted: 0 is radio on.
    const int phone = static_cast<int>(CMD_PHONE);
    const int choice = ShowOptions({{"ON", 0, phone, 0, "phone"}, {"OFF", 1, phone, 1, "phone"}});
    ApplyChoice(CMgr::GetMgr(kPhoneMgrId), choice, 0);
}

void CWindowMain::OnConnections() {
    const int connections = static_cast<int>(CMD_CONNECTIONS);
    const int choice = ShowOptions({{"DISABLE", 0, connections, 0, "connections"},
                                    {"DISCONNECTED", 1, connections, 1, "connections"},
                                    {"CONNECTED", 2, connections, 2, "connections"},
                                    {"MANAGE", static_cast<int>(CMD_PLACES), -1, 0, "settings"}});
    if (choice == static_cast<int>(CMD_PLACES)) {
        OnOptions();
        return;
    }
    ApplyChoice(CMgr::GetMgr(kConnectionsMgrId), choice, 2);
}

void CWindowMain::OnCurrentPlace() {
    CScheduleEngine* engine = CScheduleEngine::GetInstance();
    const bool locked = engine && engine->GetLockedMode() != 0;
    std::vector<Choice> choices = {{"PLACES", 40021, -1, 0, "places"},
                                   {"SCHEDULE", 40016, -1, 0, "schedule"},
                                   {"ACTIONS", 40041, -1, 0, "actions"},
                                   {"ADD PLACE", 40025, -1, 0, "add_place"},
                                   {"ASSIGN TO PLACE", kChoiceAssignPlace, -1, 0, "assign_place"}};
    choices.push_back(locked ? Choice{"UNBLOCK PROFILE", 40056, -1, 0, "unlock"}
                             : Choice{"BLOCK PROFILE", 40055, -1, 0, "lock"});
    switch (ShowOptions(choices)) {
        case 40021:
            OnCurrentPlace_Settings();
            break;
        case 40016:
        case 40041:
            OnCurrentPlace_Actions();
            break;
        case 40025:
            OnCurrentPlace_AddProfile();
            break;
        case kChoiceAssignPlace:
            AssignCurrentLocation();
            break;
        case 40055:
            OnCurrentPlace_SelectProfile();
            break;
        case 40056:
            OnCurrentPlace_UnselectProfile();
            break;
        default:
            break;
    }
}

int CWindowMain::ShowOptions(const std::vector<Choice>& choices) {
    CTextsMgr* texts = CTextsMgr::GetInstance();
    COptionDialog popup(texts->GetText("SELECT OPTION"), 0, 0, 0, 0, this, this);
    for (const Choice& choice : choices) {
        auto it = GetMapButtonsOwner().find(choice.imagesOf);
        if (it != GetMapButtonsOwner().end()) {
            popup.AddButton(choice.id, texts->GetText(choice.captionKey), it->second, choice.status);
        } else {
            popup.AddButton(choice.id, choice.skinId, texts->GetText(choice.captionKey),
                            choice.skinId + ".png");
        }
    }
    const int chosen = popup.ShowModal();
    LogFormateado(1, "MainWindow activado");
    return chosen;
}

int CWindowMain::ShowTimeLimit() {
    COptionDialogTimeLimit popup(CTextsMgr::GetInstance()->GetText("TIME LIMIT"),
                                 std::max(width() / 2 - 100, 0), 25, 200, 200, this, this);
    const int chosen = popup.ShowModal();
    show();
    raise();
    return chosen;
}

// Dialogs of the dialog library.

int CWindowMain::RunDialogObject(IModalDialog* dialog, bool disablesWindow) {
    if (!dialog) {
        return -1;
    }
    std::unique_ptr<IModalDialog> owned(dialog);
    if (disablesWindow) {
        _dialogOpen = 1;
        setEnabled(false);
    }
    int result = owned->DoModal();
    // Deleted before the library that holds its code goes.
    owned.reset();
    if (disablesWindow) {
        setEnabled(true);
        _dialogOpen = 0;
        if (_currentLocation) {
            _currentLocation->RefreshStrPlace();
            _currentLocation->setFocus();
        }
    }
    return result;
}

void CWindowMain::ReportDialogLibraryMissing(const std::string& factory, const std::string& error) {
    LogFormateado(1, "CWindowMain: dialog library: %s: %s", factory, error);
    TextBox(SafeSprintf(CTextsMgr::GetInstance()->GetText("ERROR DIALOG LIBRARY"), factory));
}

void CWindowMain::OnOptions() {
    RunDialog<FactoryOwner>("New_CPropertySheetDialogZentrova", static_cast<QWidget*>(this));
}

void CWindowMain::OnCurrentPlace_Settings() {
    OnOptions();
}

void CWindowMain::OnCurrentPlace_Actions() {
    OnOptions();
}

void CWindowMain::OnCurrentPlace_AddProfile() {
    CStrPlace place;
    int id = -1;
    if (RunDialog<FactoryAddPlace>("New_CDialogModalAddPlace", static_cast<QWidget*>(this), kTemplateAddPlace,
                                   &place, 0, &id) == 1) {
        OnOptions();
    }
}

void CWindowMain::OnCurrentPlace_AssignToProfile() {
    RunDialog<FactoryTemplate>("New_CDialogModalChooseImage", static_cast<QWidget*>(this),
                               kTemplateChooseImage);
}

std::vector<CStrPlace> CWindowMain::AllPlaces() {
    try {
        if (CDB* db = CDB::GetOpened()) {
            return db->GetTablePlaces()->GetAllRecordsCopy();
        }
    } catch (const CBaseException& e) {
        ReportError(e.GetMessageW());
    }
    return {};
}

void CWindowMain::OnCurrentPlace_SelectProfile() {
    CScheduleEngine* engine = CScheduleEngine::GetInstance();
    if (!engine) {
        return;
    }
    COptionDialogAssignPlace popup(this, this, AllPlaces());
    popup.ShowModal();
    CStrPlace place;
    if (popup.GetPlaceSelected(place)) {
        engine->SetLockedPlace(place);
    }
}

void CWindowMain::AssignCurrentLocation() {
    CRilMgr* ril = CRilMgr::GetInstance();
    const bool areaMode = CRilMgr::GetLocationModeSetting() == 0;
    const int location = ril ? (areaMode ? ril->GetAreaCode() : ril->GetCellID()) : 0;
    if (location <= 0) {
        TextBox(CTextsMgr::GetInstance()->GetText("NO LOCATION TO ASSIGN"));
        return;
    }
    COptionDialogAssignPlace popup(this, this, AllPlaces());
    popup.ShowModal();
    CStrPlace place;
    if (!popup.GetPlaceSelected(place)) {
        return;
    }
    try {
        CDB* db = CDB::GetOpened();
        if (!db) {
            return;
        }
        AssignLocation(*db, areaMode, location, place.GetId());
        LogFormateado(1, "CWindowMain: location %d assigned to place %d", location, place.GetId());
    } catch (const CBaseException& e) {
        ReportError(e.GetMessageW());
        return;
    }
    // The engine finds the place of the current location again.
    if (CScheduleEngine* engine = CScheduleEngine::GetInstance()) {
        engine->ChangeInDB();
    }
    if (_currentLocation) {
        _currentLocation->RefreshStrPlace();
    }
}

void CWindowMain::OnCurrentPlace_UnselectProfile() {
    if (CScheduleEngine* engine = CScheduleEngine::GetInstance()) {
        engine->SetLockedMode(0);
    }
}

void CWindowMain::OnAbout() {
    RunDialog<FactoryTemplate>("New_CDialogModalAbout", static_cast<QWidget*>(this), kTemplateAbout);
}

void CWindowMain::OnTestMail() {
    RunDialog<FactoryKind>("New_CDialogModalMessage", static_cast<QWidget*>(this), kTemplateMessage, 1);
}

void CWindowMain::OnTestSMS() {
    RunDialog<FactoryKind>("New_CDialogModalMessage", static_cast<QWidget*>(this), kTemplateMessage, 0);
}

void CWindowMain::OnTestMailProviders() {
    // The providers come with the messaging dialogs; the mail dialog lists them.
    OnTestMail();
}

void CWindowMain::OnTestBackLight() {
    RunDialog<FactoryTemplate>("New_CDialogModalBacklight", static_cast<QWidget*>(this), kTemplateBacklight);
}

void CWindowMain::OnTestRingTone() {
    RunDialog<FactoryTemplate>("New_CDialogModalRingTone", static_cast<QWidget*>(this), kTemplateRingTone);
}

void CWindowMain::OnTestTheme() {
    // The dialog hands its choice to the schedule engine's SetTheme itself on confirmation.
    RunDialog<FactoryTemplate>("New_CDialogModalTheme", static_cast<QWidget*>(this), kTemplateTheme);
}

void CWindowMain::OnTestCallForward(int on) {
    if (on) {
        RunDialog<FactoryTemplate>("New_CDialogModalCallForward", static_cast<QWidget*>(this),
                                   kTemplateCallForward);
    } else if (CCallForwardMgr* forward = CCallForwardMgr::GetInstance()) {
        forward->ForceStatus(0, 0, 0, 0);
    }
}

void CWindowMain::OnTestBeam(int on) {
    if (CBeamMgr* beam = CBeamMgr::GetInstance()) {
        beam->ForceStatus(on ? 1 : 0, 0, 0, 0);
    }
}

void CWindowMain::OnTestVolumeLevel(int level) {
    if (CSpeakerMgr* speaker = CSpeakerMgr::GetInstance()) {
        speaker->SetLevel(level);
    }
}

void CWindowMain::OnHelp() {
    ShowHelp();
}

void CWindowMain::ShowHelp() {
    const std::string path = FindHelpFile();
    const std::string title = CTextsMgr::GetInstance()->GetText("DIALOG_HELP_TITLE");
    RunDialog<FactoryTextFile>("New_CDialogModalTextFile", static_cast<QWidget*>(this), kTemplateTextFile,
                               title.c_str(), path.c_str());
}

// Test menu.

void CWindowMain::OnTest() {
    UpdateNotificationsDebugInfo();
    update();
}

void CWindowMain::OnTest2() {
    OnTestLocationsReport();
}

void CWindowMain::OnTest3() {
    OnTestMemory();
}

void CWindowMain::OnTest4() {
    OnTestDebugInfo();
}

void CWindowMain::OnTestDecBattery() {
    if (CRilMgr* ril = CRilMgr::GetInstance()) {
        const int level = std::clamp(ril->GetBatteryLeval(), 0, 100);
        ril->SetBatteryLevel(level >= 10 ? level - 10 : 100);
        InvalidatePanel(Area::Battery);
    }
}

void CWindowMain::OnTestDecSignal() {
    if (CRilMgr* ril = CRilMgr::GetInstance()) {
        const int level = std::clamp(ril->GetSignalLevel(), 0, 100);
        ril->SetSignalLevel(level >= 10 ? level - 10 : 100);
        InvalidatePanel(Area::Signal);
    }
}

void CWindowMain::OnTestChangeLocation() {
    RunInBackground([] {
        if (CRilMgr* ril = CRilMgr::GetInstance()) {
            ril->LocationChanged(kTestCell1, kTestArea1, 0);
        }
    });
}

void CWindowMain::OnTestChangeLocation2() {
    RunInBackground([] {
        if (CRilMgr* ril = CRilMgr::GetInstance()) {
            ril->LocationChanged(kTestCell2, kTestArea2, 0);
        }
    });
}

void CWindowMain::OnTestRestart() {
    if (IApplication* app = IApplication::Get()) {
        app->RequestRestart();
    }
}

void CWindowMain::OnTestRemoveIddleConnections() {
    // Runs the idle check of the data connections now, as its wake-up would.
    if (CConnectionsMgr* connections = CConnectionsMgr::GetInstance()) {
        connections->OnIdleNotification();
    }
}

void CWindowMain::OnTestMemory() {
    MemoryFigures m = ReadMemoryFigures();
    TextBox(CTextsMgr::GetInstance()->GetText("MEMORY REPORT") + "\n" +
            SafeSprintf("%ld%% %ld/%ld KB, %ld KB", m.loadPercent, m.availableKb, m.totalKb,
                        m.virtualAvailableKb));
}

void CWindowMain::OnTestLocationsReport() {
    std::string report = CTextsMgr::GetInstance()->GetText("LOCATION REPORT");
    if (CRilMgr* ril = CRilMgr::GetInstance()) {
        report += SafeSprintf("\nevents %d, location events %d, responses %d, commands %d\ncell %d lac %d",
                              ril->GetEvents(), ril->GetLocEvents(), ril->GetLocResponses(),
                              ril->GetCommands(), ril->GetCellID(), ril->GetAreaCode());
    }
    TextBox(report);
}

void CWindowMain::OnTestDebugInfo() {
    UpdateNotificationsDebugInfo();
    update();
}

void CWindowMain::OnTestUploadLocation() {
    // A forced upload: sent even when the cell has not changed since the last one.
    if (CUploadedData* upload = CUploadedData::GetInstance()) {
        upload->SetForced(true);
        upload->StatusChanged(0, CMgr::MGR_RIL, IStatusListener::kCodeLocation);
    }
}

void CWindowMain::OnTestCellChange(WPARAM command) {
    CRilMgr* ril = CRilMgr::GetInstance();
    if (!ril) {
        return;
    }
    if (command == 40302) {
        ril->BadLocations();
        return;
    }
    RunInBackground([command] {
        if (CRilMgr* r = CRilMgr::GetInstance()) {
            if (command == 40298) {
                r->StartTestChangeLocation();
            } else {
                r->StopTestChangeLocation();
            }
        }
    });
}

void CWindowMain::RunInBackground(std::function<void()> work) {
    JoinFinishedThreads();
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard lock(_threadsLock);
    _timerThreads.push_back({std::thread([work = std::move(work), done] {
                                 work();
                                 done->store(true);
                             }),
                             done});
}

// Tray icon.

void CWindowMain::ShowTrayIcon(bool show) {
    if (!show) {
        if (_trayIcon) {
            _trayIcon->hide();
        }
        return;
    }
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        ReportError(CTextsMgr::GetInstance()->GetText("ERROR TRAY ICON"));
        return;
    }
    if (!_trayIcon) {
        QPixmap icon(32, 32);
        icon.fill(Qt::transparent);
        QPainter p(&icon);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(29, 185, 226));
        p.setPen(QPen(QColor(40, 60, 110), 2));
        p.drawEllipse(2, 2, 28, 28);
        p.setPen(Qt::white);
        p.setFont(QFont("Sans", 14, QFont::Bold));
        p.drawText(icon.rect(), Qt::AlignCenter, "Z");
        p.end();
        _trayIcon = new QSystemTrayIcon(QIcon(icon), this);
        const HWND self = GetHandle();
        connect(_trayIcon, &QSystemTrayIcon::activated, this,
                [self](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger) {
                        platform::CWindowHandles::PostMessageW(self, WM_TRAY_ICON, 0, kLeftButtonUp);
                    }
                });
    }
    _trayIcon->show();
}

void CWindowMain::OnClickTrayIcon(LPARAM lParam) {
    if (lParam != kLeftButtonUp) {
        return;
    }
    show();
    update();
    raise();
    activateWindow();
}

// Data commands.

std::string CWindowMain::AskFile(bool save, const std::string& title, const std::string& defaultName) {
    return file_choice::Ask(this, save, title, defaultName, "DB File (*.db *.bak);;All (*)");
}

void CWindowMain::OnBackup() {
    const std::string path = AskFile(true, "Save", kDatabaseFile);
    if (path.empty()) {
        return;
    }
    CDB* db = CDB::GetInstance();
    const std::string source = SafeSprintf("%s/%s", GetCurrentDirectory(), std::string(kDatabaseFile));
    const bool wasOpen = db && db->IsOpen();
    try {
        if (db) {
            db->CloseDB(0);
        }
        // Copied beside the target first, so a failed copy never leaves half a backup under its name.
        const std::string partial = path + ".part";
        std::filesystem::copy_file(source, partial, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::rename(partial, path);
    } catch (const std::filesystem::filesystem_error& e) {
        ErrorBox("%s", e.what());
    }
    if (db && wasOpen) {
        db->OpenDB(0);
    }
}

void CWindowMain::OnRestore() {
    CTextsMgr* texts = CTextsMgr::GetInstance();
    if (QuestionBox(texts->GetText("OPERATION WILL DELETE RECORDS").c_str()) != IDYES_ANSWER) {
        TextBox(texts->GetText("RESTORE_DB_KO"));
        return;
    }
    const std::string chosen = AskFile(false, "Open", kDatabaseFile);
    std::error_code ec;
    if (chosen.empty() || !std::filesystem::is_regular_file(chosen, ec)) {
        TextBox(texts->GetText("RESTORE_DB_KO"));
        return;
    }
    CDB* db = CDB::GetInstance();
    const std::string database = GetCurrentDirectory() + "/" + kDatabaseFile;
    const std::string safety = GetCurrentDirectory() + "/" + kSafetyCopyFile;
    if (db) {
        db->CloseDB(1);
    }
    // The chosen file goes beside the database first: only a complete copy replaces it, and the
    // database it replaces is kept as the safety copy.
    const std::string incoming = database + ".restore";
    bool ok =
        std::filesystem::copy_file(chosen, incoming, std::filesystem::copy_options::overwrite_existing, ec);
    if (ok) {
        std::filesystem::remove(safety, ec);
        ec.clear();
        if (std::filesystem::exists(database)) {
            std::filesystem::rename(database, safety, ec);
        }
        ok = !ec;
        if (ok) {
            std::filesystem::rename(incoming, database, ec);
            if (ec) {
                // Put the database back where it was.
                std::error_code back;
                std::filesystem::rename(safety, database, back);
                ok = false;
            }
        }
    }
    std::filesystem::remove(incoming, ec);
    if (!ok) {
        TextBox(texts->GetText("RESTORE_DB_KO"));
        return;
    }
    TextBox(texts->GetText("DB_RESTORE_RESTART"));
    if (IApplication* app = IApplication::Get()) {
        app->RequestRestart();
    }
}

void CWindowMain::OnFormat() {
    CTextsMgr* texts = CTextsMgr::GetInstance();
    if (QuestionBox(texts->GetText("OPERATION WILL DELETE RECORDS").c_str()) != IDYES_ANSWER) {
        return;
    }
    CDB* db = CDB::GetInstance();
    if (db) {
        db->CloseDB(1);
    }
    const std::string database = GetCurrentDirectory() + "/" + kDatabaseFile;
    std::error_code ec;
    std::filesystem::remove(database, ec);
    if (ec || std::filesystem::exists(database)) {
        TextBox(SafeSprintf(texts->GetText("DB NOT ERASED"), database));
        return;
    }
    OnRefresh();
}

void CWindowMain::OnCheckDBIntregrity() {
    CDB* db = CDB::GetInstance();
    if (!db) {
        return;
    }
    CTextsMgr* texts = CTextsMgr::GetInstance();
    try {
        int records = 0;
        const bool wasOpen = db->IsOpen();
        const int good = db->CheckTableIntegrity(records);
        if (!wasOpen) {
            db->CloseDB(0);
        }
        if (good) {
            TextBox(SafeSprintf(texts->GetText("DB NOT ERRORS"), records));
        } else {
            TextBox(SafeSprintf(texts->GetText("DB REPORT ERRORS"), records));
        }
    } catch (const CBaseException& e) {
        e.ShowErrorBox();
    }
}

void CWindowMain::OnXMLExport() {
    CDB* db = CDB::GetInstance();
    if (!db) {
        return;
    }
    try {
        int opened = db->OpenDB(0);
        std::string path;
        db->GetXML(path);
        if (opened) {
            db->CloseDB(0);
        }
    } catch (const CBaseException& e) {
        e.ShowErrorBox();
    }
}

void CWindowMain::OnXMLImport() {
    CTextsMgr* texts = CTextsMgr::GetInstance();
    const std::string xml = CDB::XmlPath();
    if (!std::filesystem::exists(xml)) {
        TextBox(SafeSprintf(texts->GetText("ERROR_XML_IMPORT_FILE_NOT_FOUND"), xml));
        return;
    }
    // The whole file is checked now, so a broken one is reported at once and costs no restart.
    std::string error;
    if (!CDB::CheckXML(xml, error)) {
        TextBox(texts->GetText("ERROR READING FILE") + "\n" + error);
        return;
    }
    if (QuestionBox(texts->GetText("OPERATION WILL DELETE RECORDS").c_str()) != IDYES_ANSWER) {
        return;
    }
    // The import runs at the next start and replaces the database only once it is complete, so
    // the database is kept until then. Only this marked copy is imported then.
    if (!CDB::MarkImportPending(error)) {
        ErrorBox("%s", error);
        return;
    }
    TextBox(SafeSprintf(texts->GetText("DB_RESTORE_RESTART")));
    if (IApplication* app = IApplication::Get()) {
        app->RequestRestart();
    }
}

void CWindowMain::AddTimeNotificationListener(ITimeNotificationListener* listener) {
    std::lock_guard lock(_lock);
    _timeListeners.push_back(listener);
}

void CWindowMain::OnTimerNotification(const std::string& text) {
    std::string reason;
    std::optional<TimerLine> line = ParseTimerLine(text, reason);
    if (!line) {
        // A line with a field out of range did not come from the program's own triggers; acting on
        // it could switch a device or a frame at a time that does not exist.
        LogFormateado(1, "CWindowMain: timer line refused, %s: %s", reason, text);
        CTextsMgr* texts = CTextsMgr::GetInstance();
        CLogMgr::Log(
            kSourceApplication, kSeverityWarning,
            FitBuffer(SafeSprintf(texts->GetText("EVENT_LOG_TIMER_LINE_REFUSED_RESUME")), kResumeBuffer),
            FitBuffer(SafeSprintf(texts->GetText("EVENT_LOG_TIMER_LINE_REFUSED_DESCRIPTION"), text),
                      kDescriptionBuffer));
        ++_timerLinesRefused;
        return;
    }
    std::vector<ITimeNotificationListener*> listeners;
    {
        std::lock_guard lock(_lock);
        _lastTimerText = text;
        _lastTimerId = line->id;
        _lastTimerValue = line->value;
        _lastTimerTime = line->time;
        listeners = _timeListeners;
    }
    ++_timerNotifications;
    for (ITimeNotificationListener* listener : listeners) {
        listener->TimeNotification(line->id, line->value, line->time);
    }
}

LRESULT CWindowMain::OnCopyDataNotification(WPARAM, const COPYDATASTRUCT* data) {
    if (!data || !data->lpData) {
        return 0;
    }
    _lastCopyDataBytes = data->cbData;
    std::string text = Utf16LeToUtf8(std::string_view(static_cast<const char*>(data->lpData), data->cbData));
    if (auto zero = text.find('\0'); zero != std::string::npos) {
        text.resize(zero);
    }
    text = FitBuffer(text, kNotificationBuffer);
    JoinFinishedThreads();
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard lock(_threadsLock);
    _timerThreads.push_back({std::thread([this, text, done] {
                                 OnTimerNotification(text);
                                 done->store(true);
                             }),
                             done});
    return 1;
}

void CWindowMain::JoinFinishedThreads() {
    std::lock_guard lock(_threadsLock);
    auto finished = std::partition(_timerThreads.begin(), _timerThreads.end(),
                                   [](const TimerThread& t) { return !t.done->load(); });
    for (auto it = finished; it != _timerThreads.end(); ++it) {
        it->thread.join();
    }
    _timerThreads.erase(finished, _timerThreads.end());
}

void CWindowMain::OnIdleNotification() {
    ++_idleNotifications;
    if (CConnectionsMgr* connections = CConnectionsMgr::GetInstance()) {
        connections->OnIdleNotification();
    }
}

void CWindowMain::UpdateNotificationsDebugInfo() {
    std::vector<std::string> lines;
    auto& notifications = platform::Services::get().notifications();
    const std::string self = platform::CProcessLauncher::selfExecutable().string();
    for (uint32_t handle : notifications.getUserNotificationHandles()) {
        platform::UserNotificationTrigger t;
        if (notifications.getUserNotification(handle, t) && t.application == self) {
            lines.push_back(DT_Format(t.start) + " " + t.arguments);
        }
    }
    std::lock_guard lock(_lock);
    _notificationsDebug = std::move(lines);
}

// Today-screen companion.

void CWindowMain::OnRegisterToday(HWND companion) {
    _todayWindow = companion;
    // Every manager sends its status; the place line follows.
    CMgr::SendStatusToPlugin();
    std::string place;
    std::string frame;
    {
        std::lock_guard lock(_lock);
        place = _placeName;
        frame = _frameName;
    }
    NotifyTodayPluginChangePlaceSchedule(place, frame);
    if (_currentLocation) {
        _currentLocation->update();
    }
}

void CWindowMain::OnProfileToday() {
    CScheduleEngine* engine = CScheduleEngine::GetInstance();
    if (engine && engine->GetLockedMode() != 0) {
        OnCurrentPlace_UnselectProfile();
    } else {
        OnCurrentPlace_SelectProfile();
    }
}

void CWindowMain::NotifyTodayPlugin(int a, int b) {
    if (HWND today = _todayWindow.load()) {
        platform::CWindowHandles::PostMessageW(today, WM_TODAY_STATUS, static_cast<WPARAM>(a), b);
    }
}

void CWindowMain::NotifyTodayPluginChangePosition(int a, int b) {
    if (HWND today = _todayWindow.load()) {
        platform::CWindowHandles::PostMessageW(today, WM_TODAY_CHANGE_POSITION, static_cast<WPARAM>(a), b);
    }
}

void CWindowMain::NotifyTodayPluginChangePlaceSchedule(const std::string& place, const std::string& frame) {
    HWND today = _todayWindow.load();
    if (!today) {
        return;
    }
    // The companion reads the two texts from the settings.
    try {
        CConfigurationZentrova* config = CConfigurationZentrova::GetInstance();
        config->SetRegistryParameter("current_place", place);
        config->SetRegistryParameter("current_frame", frame);
    } catch (const CBaseException& e) {
        LogFormateado(1, "%s", e.GetMessageW());
    }
    platform::CWindowHandles::PostMessageW(today, WM_TODAY_PLACE_SCHEDULE, 0, 0);
}

void CWindowMain::StatusChanged(int status, int mgrId, int code) {
    // The phone radio came back: signal and battery are read again, so the bars repaint.
    if (mgrId == kPhoneMgrId && code == kStatusCodeRadio && status == 1) {
        InvalidatePanel(Area::Signal);
        InvalidatePanel(Area::Battery);
    }
}

void CWindowMain::SetPlaceAndFrame(const std::string& place, const std::string& frame) {
    {
        std::lock_guard lock(_lock);
        _placeName = place;
        _frameName = frame;
    }
    NotifyTodayPluginChangePlaceSchedule(place, frame);
    InvalidatePanel(Area::Location);
}

void CWindowMain::SetCurrentUpperText(const std::string& text) {
    {
        std::lock_guard lock(_lock);
        _upperText = text;
    }
    InvalidatePanel(Area::Location);
}

void CWindowMain::SetNewVersionFound(bool found) {
    _newVersion = found;
    InvalidatePanel(Area::Location);
}

void CWindowMain::ReadPowerLine() {
    platform::PowerStatus status;
    if (platform::Services::get().power().GetPowerStatus(status) == platform::ERROR_SUCCESS) {
        _onAC = status.acLineStatus == platform::AC_LINE_ONLINE;
    }
}

void CWindowMain::SetWaitCursor(bool wait) {
    auto apply = [wait] {
        if (wait) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        } else if (QApplication::overrideCursor()) {
            QApplication::restoreOverrideCursor();
        }
    };
    if (QThread::currentThread() == thread()) {
        apply();
    } else {
        QMetaObject::invokeMethod(this, apply, Qt::QueuedConnection);
    }
}

void CWindowMain::InvalidatePanel(Area area) {
    if (!_ready.load()) {
        return;  // still being set up on its thread; it paints when it is shown
    }
    if (area == Area::Battery) {
        ReadPowerLine();  // on the caller's thread: the window's never waits on the phone
    }
    // Queued to the window's thread; dropped by Qt when the window is gone by then. Only the part
    // that changed is painted again.
    QMetaObject::invokeMethod(
        this,
        [this, area] {
            switch (area) {
                case Area::Battery:
                    update(_batteryBarRect.isValid() ? _batteryBarRect : rect());
                    break;
                case Area::Signal:
                    update(_signalBarRect.isValid() ? _signalBarRect : rect());
                    break;
                case Area::Location:
                    update(_textRect.isValid() ? _textRect : rect());
                    if (_currentLocation) {
                        _currentLocation->RefreshStrPlace();
                    }
                    break;
                default:
                    update();
                    break;
            }
        },
        Qt::QueuedConnection);
}

std::string CWindowMain::DescribeState() const {
    std::string out;
    out += std::string("window=") + (_shown.load() ? "shown" : "hidden") + "\n";
    out += "screen=" + std::to_string(width()) + "x" + std::to_string(height()) + "\n";
    out += "orientation=" + std::to_string(GetHorientacion()) + "\n";
    out += "activations=" + std::to_string(_activations.load()) + "\n";
    out += "idle_notifications=" + std::to_string(_idleNotifications.load()) + "\n";
    out += "timer_notifications=" + std::to_string(_timerNotifications.load()) + "\n";
    out += "timer_lines_refused=" + std::to_string(_timerLinesRefused.load()) + "\n";
    out += "last_copydata_bytes=" + std::to_string(_lastCopyDataBytes.load()) + "\n";
    out += "paints=" + std::to_string(_OnPaintExecuted.load()) + "\n";
    out += "paint_longest_ms=" + fmt::format("{:.3f}", _OnPaintMajorTimeExecution.load()) + "\n";
    out += "paint_shortest_ms=" + fmt::format("{:.3f}", _OnPaintMinorTimeExecution.load()) + "\n";
    std::lock_guard lock(_lock);
    out += "time_listeners=" + std::to_string(_timeListeners.size()) + "\n";
    out += "shown_place=" + _placeName + "\n";
    out += "shown_frame=" + _frameName + "\n";
    if (_timerNotifications.load()) {
        out += "last_timer=" + std::to_string(_lastTimerId) + " " + std::to_string(_lastTimerValue) + " " +
               DT_Format(_lastTimerTime) + "\n";
        out += "last_timer_text=" + _lastTimerText + "\n";
    }
    for (const std::string& n : _notificationsDebug) {
        out += "pending_notification=" + n + "\n";
    }
    // What each button shows: its status text and image file (once the window is set up: the
    // list of buttons does not change after that).
    const std::vector<CButtonOwnDrawImage*> none;
    for (CButtonOwnDrawImage* button : _ready.load() ? GetListButtonsOwner() : none) {
        std::string text;
        button->GetTextStatus(text);
        const std::string id = std::to_string(button->GetId());
        out += "button" + id + "_text=" + text + "\n";
        if (button != _currentLocation) {
            out += "button" + id + "_image=" + button->GetCurrentBitmap(false).file + "\n";
        }
    }
    out += COptionDialog::DescribeOpen();
    return out;
}

// Painting.

int CWindowMain::GetBatteryLevelShown() const {
    CRilMgr* ril = CRilMgr::GetInstance();
    return ril ? ril->GetBatteryLeval() : 0;
}

int CWindowMain::GetSignalLevelShown() const {
    CRilMgr* ril = CRilMgr::GetInstance();
    return ril ? ril->GetSignalLevel() : 0;
}

static QColor toColor(const CRGBConfig& c, int r, int g, int b) {
    return QColor(c.r >= 0 ? c.r : r, c.g >= 0 ? c.g : g, c.b >= 0 ? c.b : b);
}

QRect CWindowMain::PaintBar(QPainter& painter, const CBarConfigXML& bar, const CImageConfig& symbol,
                            const std::string& defaultImage, int level, bool rightSide, QRect& symbolRect) {
    level = std::clamp(level, 0, 100);
    const QRect client = ClientRect();
    // The symbol (battery, plug or antenna), white being transparent.
    symbolRect = QRect();
    if (!symbol.file.empty()) {
        QImage image = CButtonOwnDrawImage::GetKeyedBitmap(symbol.file, 255, 255, 255);
        if (!image.isNull()) {
            const CRectConfig& r = symbol.rect;
            if (r.x < 0) {
                // Natural size, just above the button rows.
                const int x = rightSide ? client.right() - image.width() : 1;
                symbolRect = QRect(x, GetButtonRowsTop() - 1 - image.height(), image.width(), image.height());
            } else {
                symbolRect =
                    QRect(r.x, r.y, r.cx > 0 ? r.cx : image.width(), r.cy > 0 ? r.cy : image.height());
            }
            painter.drawImage(symbolRect, image);
        }
    }
    // The outline.
    QRect outline;
    const CRectConfig& p = bar.position;
    if (p.x < 0) {
        const int w = symbolRect.isValid() ? symbolRect.width() : 20;
        const int bottom = symbolRect.isValid() ? symbolRect.top() - 2 : GetButtonRowsTop() - 2;
        const int left = rightSide ? client.right() - w : 1;
        outline = QRect(QPoint(left, 1), QPoint(left + w - 1, bottom));
    } else {
        outline = QRect(p.x, p.y, std::max(p.cx, 1), std::max(p.cy, 1));
    }
    // The fill, rising from the bottom.
    if (level > 0) {
        if (bar.mode == CBarConfigXML::kModeImage) {
            const std::string file = bar.image.file.empty() ? defaultImage : bar.image.file;
            QImage image = CButtonOwnDrawImage::GetBitmap(file);
            QRect target = outline;
            const CRectConfig& r = bar.image.rect;
            if (r.x >= 0 && r.y >= 0 && r.cx > 0 && r.cy > 0) {
                target = QRect(r.x, r.y, r.cx, r.cy);
            }
            if (!image.isNull()) {
                const int sourceHeight = image.height() * level / 100;
                const int targetHeight = target.height() * level / 100;
                if (sourceHeight > 0 && targetHeight > 0) {
                    painter.drawImage(QRect(target.left(), target.bottom() + 1 - targetHeight, target.width(),
                                            targetHeight),
                                      image,
                                      QRect(0, image.height() - sourceHeight, image.width(), sourceHeight));
                }
            }
        } else {
            const int top = outline.bottom() - outline.height() * level / 100;
            QRect fill(QPoint(outline.left() + 1, top), QPoint(outline.right() - 1, outline.bottom() - 1));
            if (fill.isValid()) {
                QLinearGradient gradient(fill.topLeft(), fill.bottomLeft());
                gradient.setColorAt(0, toColor(bar.gradientBegin, 0, 0, 255));
                gradient.setColorAt(1, toColor(bar.gradientEnd, 0, 255, 0));
                painter.fillRect(fill, gradient);
            }
        }
    }
    if (bar.border && bar.borderWidth >= 0) {
        QPen pen(toColor(bar.borderColor, 0, 0, 0));
        pen.setWidth(bar.borderWidth);
        painter.setPen(pen);
    } else {
        painter.setPen(Qt::NoPen);
    }
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(outline);
    // The level as a number.
    const CRectConfig& t = bar.percentage.position;
    QRect textRect = t.x >= 0 && t.cx > 0 ? QRect(t.x, t.y, t.cx, std::max(t.cy, 14)) : outline;
    QFont font("Tahoma");
    font.setPixelSize(12);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(toColor(bar.percentage.font.color, 0, 0, 0));
    painter.drawText(textRect, Qt::AlignCenter, QString::number(level));
    return outline.united(symbolRect).united(textRect).adjusted(-2, -2, 2, 2);
}

void CWindowMain::WriteUpperText(QPainter& painter) {
    std::string text;
    {
        std::lock_guard lock(_lock);
        text = _upperText;
    }
    if (text.empty()) {
        return;
    }
    QFont font("Tahoma");
    font.setPixelSize(12);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(30, 2, width() - 60, 16), Qt::AlignCenter, QString::fromStdString(text));
}

void CWindowMain::OnPaint(QPainter& painter) {
    CHiResTimer timer;
    timer.Start();
    const int orientation = std::clamp(CSkinMgr::GetInstance()->GetOrientation(), 0, 2);
    const auto o = static_cast<size_t>(orientation);
    const QRect client = ClientRect();
    // Background.
    if (_background && !_backgroundFile.isNull()) {
        painter.drawImage(client, _backgroundFile);
    }
    const CImageConfig& background = _backgroundImage[o];
    if (!background.file.empty()) {
        QImage image = CButtonOwnDrawImage::GetBitmap(background.file);
        const CRectConfig& r = background.rect;
        QRect target = r.cx > 0 && r.cy > 0 ? QRect(std::max(r.x, 0), std::max(r.y, 0), r.cx, r.cy) : client;
        if (!image.isNull()) {
            painter.drawImage(target, image);
        }
    }
    // Bars.
    const int battery = GetBatteryLevelShown();
    const int signal = GetSignalLevelShown();
    QRect symbol;
    const CBarBatteryConfigXML& batteryBar = _battery[o];
    _batteryBarRect = PaintBar(painter, batteryBar, IsOnAC() ? batteryBar.imageAC : batteryBar.imageBattery,
                               kBatteryImage, battery, false, symbol);
    const CBarSignalConfigXML& signalBar = _signal[o];
    _signalBarRect = PaintBar(painter, signalBar, signalBar.imageSignal, kSignalImage, signal, true, symbol);
    // Upper text, the place line and what debug mode adds.
    WriteUpperText(painter);
    std::string line;
    std::vector<std::string> debug;
    {
        std::lock_guard lock(_lock);
        line = _frameName.empty() ? _placeName : _placeName + " - " + _frameName;
        if (IsDebugMode()) {
            debug = _notificationsDebug;
        }
    }
    const CDownTextConfig& bottom = _bottomText[o];
    QFont font("Tahoma");
    QRect textRect;
    if (bottom.font.IsSet()) {
        font.setFamily(QString::fromStdString(bottom.font.family));
        font.setPixelSize(bottom.font.fontSize);
        font.setWeight(static_cast<QFont::Weight>(std::clamp(bottom.font.weight, 100, 900)));
        painter.setPen(toColor(bottom.font.color, 0, 0, 0));
    } else {
        font.setPixelSize(16);
        font.setBold(true);
        painter.setPen(Qt::black);
    }
    const CRectConfig& p = bottom.position;
    if (p.x >= 0 && p.y >= 0) {
        textRect = QRect(p.x, p.y, p.cx > 0 ? p.cx : client.width() - p.x, p.cy > 0 ? p.cy : 22);
    } else {
        const QRect place = _currentLocation ? _currentLocation->geometry() : QRect(0, 0, client.width(), 0);
        textRect = QRect(place.left() + 30, place.bottom() + 2, client.width() - place.left() - 32, 22);
    }
    painter.setFont(font);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(line));
    QRect covered = textRect;
    QFont small("Tahoma");
    small.setPixelSize(10);
    painter.setFont(small);
    painter.setPen(QColor(90, 90, 90));
    int y = textRect.bottom() + 2;
    for (const std::string& n : debug) {
        if (y > GetButtonRowsTop() - 12) {
            break;
        }
        QRect r(textRect.left(), y, client.width() - textRect.left(), 12);
        painter.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(n));
        covered = covered.united(r);
        y += 12;
    }
    if (_newVersion.load()) {
        QRect r(textRect.left(), y, client.width() - textRect.left(), 14);
        painter.setPen(QColor(200, 0, 0));
        painter.drawText(r, Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromStdString(CTextsMgr::GetInstance()->GetText("NEW VERSION")));
        covered = covered.united(r);
    }
    _textRect = covered.united(QRect(0, 0, width(), 20));
    timer.Stop();
    const float ms = timer.GetTime() * 1000.0f;
    const int executed = ++_OnPaintExecuted;
    if (executed == 1 || ms > _OnPaintMajorTimeExecution.load()) {
        _OnPaintMajorTimeExecution = ms;
    }
    if (executed == 1 || ms < _OnPaintMinorTimeExecution.load()) {
        _OnPaintMinorTimeExecution = ms;
    }
}

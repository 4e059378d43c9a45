#pragma once

#include <atomic>
#include <memory>

#include "app/CApp.h"
#include "core/CConfigurationZentrova.h"
#include "managers/ICurrentFrame.h"

class CWindowMain;
class CSkinPreloader;
class CWifiOssVcsMgr;
class CNotificationBroker;
class CDB;
class CMobilePhoneMgr;
class CRilMgr;
class CBTMgr;
class CMessageMgr;
class CCPUMgr;
class CGPSMgr;
class CBandMgr;
class CConnectionsMgr;
class CUploadedData;
class CSpeakerMgr;
class CBeamMgr;
class CCallForwardMgr;
class CBackLightMgr;

// The application of this product: owns the main window and the configuration store (and, as
// they come, the database, the managers, the notification broker and the location engine), makes
// them in a fixed order at start and tears them down in reverse.
class CAppConnMgr : public CApp, public ICurrentFrame {
  public:
    CAppConnMgr();
    ~CAppConnMgr() override;

    IConfiguration* GetConfiguration() override { return &_configuration; }
    int InitInstance() override;

    CWindowMain* GetWindowMain() const { return _mainWindow.get(); }
    CWifiOssVcsMgr* GetWifiMgr() const { return _wifi.get(); }
    CDB* GetDB() const { return _db.get(); }
    CMobilePhoneMgr* GetPhoneMgr() const { return _phone.get(); }
    CRilMgr* GetRilMgr() const { return _ril.get(); }
    CConnectionsMgr* GetConnectionsMgr() const { return _connections.get(); }

    // ICurrentFrame: the frame of the place the location engine is in, at the phone's time now.
    bool GetCurrentFrame(CStrPeriod& period) override;

  protected:
    // Creates the places included with the program on a database that has no place of the
    // user's yet, and clears "first_execution_after_install".
    void CheckNewInstallation();

  private:
    void RegisterControlCommands();
    // key=value lines of the location engine, the phone and the cell history.
    std::string DescribeLocation() const;
    // Writes a cell, reads it back and deletes it: the database works before anything else starts.
    void CheckCellRoundTrip();

    std::atomic<long> _startupMs{-1};
    std::atomic<long long> _startupAtUs{-1};

    // The skin and the panel's images, read while the database and the managers start.
    std::unique_ptr<CSkinPreloader> _skinPreloader;
    // In construction order; the Wi-Fi manager is made after all members.
    std::unique_ptr<CWindowMain> _mainWindow;
    std::unique_ptr<CDB> _db;
    std::unique_ptr<CBTMgr> _bt;
    std::unique_ptr<CMessageMgr> _messages;
    std::unique_ptr<CCPUMgr> _cpu;
    std::unique_ptr<CGPSMgr> _gps;
    std::unique_ptr<CMobilePhoneMgr> _phone;
    std::unique_ptr<CWifiOssVcsMgr> _wifi;
    std::unique_ptr<CConnectionsMgr> _connections;
    std::unique_ptr<CBandMgr> _band;
    std::unique_ptr<CSpeakerMgr> _speaker;
    std::unique_ptr<CNotificationBroker> _broker;
    std::unique_ptr<CRilMgr> _ril;
    std::unique_ptr<CBeamMgr> _beam;
    std::unique_ptr<CCallForwardMgr> _forward;
    std::unique_ptr<CBackLightMgr> _backlight;
    std::unique_ptr<CUploadedData> _upload;
    CConfigurationZentrova _configuration;
};

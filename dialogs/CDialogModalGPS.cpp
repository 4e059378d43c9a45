#include "dialogs/CDialogModalGPS.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <exception>
#include <memory>

#include "core/CTextsMgr.h"
#include "core/MessageBoxes.h"
#include "dialogs/PageFields.h"
#include "managers/CGPSMgr.h"

namespace {

constexpr int kPorts = 8;
constexpr int kBaudRates[] = {4800, 9600, 19200, 38400, 57600, 115200};

}  // namespace

CDialogModalGPS::CDialogModalGPS(QWidget* parent, int templateId)
    : CDialogModalBase(parent, templateId, "DIALOG_GPS_TITLE") {}

void CDialogModalGPS::OnInitDialog() {
    using namespace page_fields;
    QVBoxLayout* column = Content();
    _port = AddCombo(column, "DIALOG_GPS_PORT", "gps_port");
    const uint32_t port = GetLong("gps_port");
    for (int i = 1; i <= kPorts; ++i) {
        _port->addItem(QString("COM%1").arg(i), i);
    }
    _port->setCurrentIndex(port >= 1 && port <= kPorts ? static_cast<int>(port) - 1 : 0);

    _baud = AddCombo(column, "DIALOG_GPS_BAUD_RATE", "gps_baud_rate");
    _baud->setEditable(true);
    _baud->setValidator(new QIntValidator(1, 4000000, _baud));
    for (int rate : kBaudRates) {
        _baud->addItem(QString::number(rate));
    }
    _baud->setCurrentText(QString::number(GetLong("gps_baud_rate")));

    _mode = AddCombo(column, "DIALOG_GPS_MODE", "gps_mode");
    _mode->addItem(Text("DIALOG_GPS_MODE_MIN"), 0);
    _mode->addItem(Text("DIALOG_GPS_MODE_MAX"), 1);
    _mode->setCurrentIndex(GetLong("gps_mode") == 1 ? 1 : 0);

    _tryDuring = AddNumber(column, "DIALOG_GPS_TRY_DURING", "gps_try_during", GetLong("gps_try_during"));

    auto* test = new QPushButton(Text("TEST"));
    test->setObjectName("test");
    connect(test, &QPushButton::clicked, this, [this] { Test(); });
    column->addWidget(test);
    page_fields::UseScreenFont(this);
}

bool CDialogModalGPS::OnSave() {
    using namespace page_fields;
    uint32_t baud = 0;
    if (_baud->currentText().trimmed().isEmpty() || _tryDuring->text().trimmed().isEmpty()) {
        return PleaseFillData();
    }
    try {
        SetLong("gps_port", static_cast<uint32_t>(_port->currentData().toInt()));
        baud = _baud->currentText().trimmed().toUInt();
        SetLong("gps_baud_rate", baud);
        SetLong("gps_mode", static_cast<uint32_t>(_mode->currentData().toInt()));
        StoreNumberIfFilled(_tryDuring, "gps_try_during");
    } catch (const std::exception& e) {
        ReportError(e.what());
        return false;
    }
    if (CGPSMgr* gps = CGPSMgr::GetInstance()) {
        gps->LoadConfiguration();
    }
    return true;
}

bool CDialogModalGPS::Test() {
    // The program's receiver manager when it runs, else one for the test alone.
    std::unique_ptr<CGPSMgr> own;
    CGPSMgr* gps = CGPSMgr::GetInstance();
    if (!gps) {
        own = std::make_unique<CGPSMgr>();
        gps = own.get();
    }
    const bool wasOpen = gps->IsOpen();
    gps->CloseGPSAsync();
    gps->SetPort(QString("COM%1:").arg(_port->currentData().toInt()).toStdString());
    gps->SetBaudRate(_baud->currentText().trimmed().toUInt());
    gps->OpenGPSAsync();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QElapsedTimer waited;
    waited.start();
    while (gps->IsOpen() && !gps->GetReceivedGPGGA() && waited.elapsed() < kTestWaitMs) {
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
        QThread::msleep(20);
    }
    QApplication::restoreOverrideCursor();
    const bool answered = gps->IsOpen() && gps->GetReceivedGPGGA();
    std::string report = CTextsMgr::Text(answered ? "DIALOG_GPS_TEST_OK" : "DIALOG_GPS_TEST_KO");
    if (answered && gps->IsFixed()) {
        report += "\n" + gps->GetLatitud() + " " + gps->GetLongitud();
    }
    // Back to the stored settings, and to the port's state before the test.
    gps->CloseGPSAsync();
    gps->LoadConfiguration();
    if (wasOpen) {
        gps->OpenGPSAsync();
    }
    _lastReport = answered ? "DIALOG_GPS_TEST_OK" : "DIALOG_GPS_TEST_KO";
    TextBox(report);
    return answered;
}

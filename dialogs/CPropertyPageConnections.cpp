#include "dialogs/CPropertyPageConnections.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <vector>

#include "core/CTextsMgr.h"
#include "core/MessageBoxes.h"
#include "core/SafeFormat.h"
#include "dialogs/DialogStyle.h"
#include "dialogs/PageFields.h"
#include "managers/CConnectionsMgr.h"

namespace {

// "hh:mm:ss" of a time, "-" when it never happened (zero year).
QString TimeText(const SYSTEMTIME& time) {
    if (time.wYear == 0) {
        return "-";
    }
    return QString::fromStdString(SafeSprintf("%02d:%02d:%02d", static_cast<int>(time.wHour),
                                              static_cast<int>(time.wMinute),
                                              static_cast<int>(time.wSecond)));
}

QString Mark(int flag) {
    return flag ? QString::fromUtf8("\u2713") : QString();
}

}  // namespace

void CPropertyPageConnections::OnInitPage() {
    using namespace page_fields;
    QVBoxLayout* column = ScrollingColumn(Content());
    _list = new QTreeWidget();
    _list->setObjectName("connections");
    _list->setRootIsDecorated(false);
    _list->setColumnCount(4);
    _list->setHeaderLabels({Text("DIALOG_CONNECTIONS_NAME"), Text("DIALOG_CONNECTIONS_ENABLED"),
                            Text("DIALOG_CONNECTIONS_CONNECTED"), Text("DIALOG_CONNECTIONS_ALWAYSON")});
    _list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // About five rows; more scroll inside the list.
    _list->setFixedHeight(dialog_style::FontPixels(this) * 9);
    column->addWidget(_list);

    _preferred = AddCombo(column, "DIALOG_CONNECTIONS_PREFERED", "connection_prefered");
    _counters = AddLabel(column, QString(), "counters");
    _idle = AddCheck(column, "DIALOG_CONNECTIONS_CLOSE_IDLE", "activate_idle", GetLong("activate_idle") != 0);
    _seconds = AddNumber(column, "DIALOG_CONNECTIONS_SECONDS", "seconds_idle", GetLong("seconds_idle"));
    Refresh();
    page_fields::UseScreenFont(this);
}

void CPropertyPageConnections::Refresh() {
    using namespace page_fields;
    std::vector<CRasConnection> connections;
    CConnectionsMgr* manager = CConnectionsMgr::GetInstance();
    if (manager) {
        manager->RefreshConnections();
        connections = manager->GetConnections();
    }
    _list->clear();
    for (const CRasConnection& connection : connections) {
        auto* item = new QTreeWidgetItem(_list);
        item->setText(0, QString::fromStdString(connection.GetName()));
        item->setText(1, Mark(connection.GetEnabled()));
        item->setText(2, Mark(connection.GetConnected()));
        item->setText(3, Mark(connection.GetAlwaysOn()));
    }

    // "Default" (no preferred connection) and every connection; the stored one chosen.
    const std::string preferred = GetText("connection_prefered");
    _preferred->clear();
    _preferred->addItem(Text("DEFAULT"), QString());
    for (const CRasConnection& connection : connections) {
        _preferred->addItem(QString::fromStdString(connection.GetName()),
                            QString::fromStdString(connection.GetName()));
    }
    if (!preferred.empty() && _preferred->findData(QString::fromStdString(preferred)) < 0) {
        _preferred->addItem(QString::fromStdString(preferred), QString::fromStdString(preferred));
    }
    _preferred->setCurrentIndex(std::max(0, _preferred->findData(QString::fromStdString(preferred))));

    SYSTEMTIME lastCheck{};
    SYSTEMTIME lastClose{};
    int checks = 0;
    int closed = 0;
    int traffic = 0;
    if (manager) {
        lastCheck = manager->GetLastIdleCheck();
        lastClose = manager->GetLastClose();
        checks = manager->GetIdleChecks();
        closed = manager->GetNumConnectionsClosed();
        traffic = manager->GetCurrentTotalTraffic();
    }
    const QString line("%1: %2\n");
    _counters->setText((line.arg(Text("CONNECTIONS LAST CHECK"), TimeText(lastCheck)) +
                        line.arg(Text("CONNECTIONS CHECKS")).arg(checks) +
                        line.arg(Text("CONNECTIONS LAST CLOSE"), TimeText(lastClose)) +
                        line.arg(Text("CONNECTIONS CLOSED")).arg(closed) +
                        QString("%1: %2").arg(Text("TRAFFIC")).arg(traffic)));
}

bool CPropertyPageConnections::OnSave() {
    using namespace page_fields;
    try {
        const std::string preferred = _preferred->currentData().toString().toStdString();
        CConnectionsMgr* manager = CConnectionsMgr::GetInstance();
        if (manager && preferred.empty()) {
            manager->SetNoConnectionPrefered();
        } else if (manager) {
            manager->SetConnectionPrefered(preferred);
        }
        // The manager stores only the name of a connection it knows; the setting follows the choice.
        SetText("connection_prefered", preferred);
        const bool wasIdle = GetLong("activate_idle") != 0;
        StoreCheck(_idle, "activate_idle");
        StoreNumberIfFilled(_seconds, "seconds_idle");
        if (manager && wasIdle != _idle->isChecked()) {
            if (_idle->isChecked()) {
                manager->UserHasActivatedCloseIdle();
            } else {
                manager->UserHasDectivatedCloseIdle();
            }
        }
    } catch (const std::exception& e) {
        ReportError(e.what());
        return false;
    }
    return true;
}

void CPropertyPageConnections::FillMenu(QMenu* menu) {
    // Switches of the selected connection, each turning its flag the other way.
    menu->addAction(Text("DIALOG_CONNECTIONS_ENABLED"), [this] { Toggle(kEnabled); })
        ->setObjectName("DIALOG_CONNECTIONS_ENABLED");
    menu->addAction(Text("DIALOG_CONNECTIONS_CONNECTED"), [this] { Toggle(kConnected); })
        ->setObjectName("DIALOG_CONNECTIONS_CONNECTED");
    menu->addAction(Text("DIALOG_CONNECTIONS_ALWAYSON"), [this] { Toggle(kAlwaysOn); })
        ->setObjectName("DIALOG_CONNECTIONS_ALWAYSON");
    menu->addAction(Text("REFRESH_MENU"), [this] { Refresh(); })->setObjectName("REFRESH_MENU");
}

void CPropertyPageConnections::Toggle(int flag) {
    CConnectionsMgr* manager = CConnectionsMgr::GetInstance();
    const int index = _list->currentIndex().row();
    if (!manager || index < 0) {
        TextBox(CTextsMgr::Text("SELECT OPTION"));
        return;
    }
    switch (flag) {
        case kEnabled:
            manager->SwapHabilitarConexion(index);
            break;
        case kConnected:
            manager->SwapConectarConexion(index);
            break;
        default:
            manager->SwapAlwaysOnConexion(index);
            break;
    }
    Refresh();
    _list->setCurrentItem(_list->topLevelItem(index));
}

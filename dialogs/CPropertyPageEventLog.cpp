#include "dialogs/CPropertyPageEventLog.h"

#include <QHeaderView>
#include <QMenu>
#include <QMetaObject>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/CLogMgr.h"
#include "core/CTextsMgr.h"
#include "core/SafeFormat.h"
#include "dialogs/CDialogModalEventDetail.h"
#include "dialogs/CDialogModalEventLogOptions.h"
#include "dialogs/PageFields.h"

namespace {

constexpr int kTemplateDetail = 192;
constexpr int kTemplateOptions = 193;

}  // namespace

CPropertyPageEventLog::~CPropertyPageEventLog() {
    if (_listening) {
        // Waits for a call of another thread that is running now; queued reloads die with the page.
        CLogMgr::GetInstance()->RemoveLogListener(this);
    }
}

void CPropertyPageEventLog::OnInitPage() {
    using namespace page_fields;
    _list = new QTreeWidget();
    _list->setObjectName("events");
    _list->setRootIsDecorated(false);
    _list->setColumnCount(2);
    _list->setHeaderLabels(
        {Text("DIALOG_EVENT_LOG_LIST_COLUMN_TIME"), Text("DIALOG_EVENT_LOG_LIST_COLUMN_MESSAGE")});
    _list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    _list->header()->setStretchLastSection(true);
    _list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    _list->setTextElideMode(Qt::ElideRight);
    connect(_list, &QTreeWidget::itemActivated, this, [this] { ShowDetail(); });
    Content()->addWidget(_list, 1);
    CLogMgr::GetInstance()->AddLogListener(this);
    _listening = true;
    Reload();
    page_fields::UseScreenFont(this);
}

void CPropertyPageEventLog::LogChanged(int) {
    // On the logging thread: the list is read again on the page's own thread.
    QMetaObject::invokeMethod(
        this, [this] { Reload(); }, Qt::QueuedConnection);
}

void CPropertyPageEventLog::Reload() {
    if (!_list) {
        return;
    }
    const int row = _list->currentIndex().row();
    const std::deque<CLogEvent> events = CLogMgr::GetInstance()->GetQueue();
    _events.assign(events.rbegin(), events.rend());
    _list->clear();
    for (const CLogEvent& event : _events) {
        const SYSTEMTIME& t = event.GetTime();
        auto* item = new QTreeWidgetItem(_list);
        item->setText(
            0, QString::fromStdString(SafeSprintf("%02d:%02d:%02d", static_cast<int>(t.wHour),
                                                  static_cast<int>(t.wMinute), static_cast<int>(t.wSecond))));
        item->setText(1, QString::fromStdString(event.GetResume()));
        item->setToolTip(1, QString::fromStdString(event.GetDescription()));
    }
    if (row >= 0 && row < _list->topLevelItemCount()) {
        _list->setCurrentItem(_list->topLevelItem(row));
    }
}

void CPropertyPageEventLog::FillMenu(QMenu* menu) {
    using namespace page_fields;
    menu->addAction(Text("DIALOG_EVENT_LOG_MENU_OPTIONS"), [this] { ShowOptions(); })
        ->setObjectName("DIALOG_EVENT_LOG_MENU_OPTIONS");
    menu->addAction(Text("DIALOG_EVENT_LOG_LIST_MENU_CLEAR"), [this] { Clear(); })
        ->setObjectName("DIALOG_EVENT_LOG_LIST_MENU_CLEAR");
    menu->addAction(Text("TEST"), [this] { Test(); })->setObjectName("TEST");
}

void CPropertyPageEventLog::ShowDetail() {
    if (_events.empty()) {
        return;
    }
    const int row = std::max(0, _list->currentIndex().row());
    CDialogModalEventDetail detail(window(), kTemplateDetail, _events, row);
    detail.DoModal();
}

void CPropertyPageEventLog::ShowOptions() {
    CDialogModalEventLogOptions options(window(), kTemplateOptions);
    options.DoModal();
}

void CPropertyPageEventLog::Clear() {
    CLogMgr::GetInstance()->vaciar();
    Reload();
}

void CPropertyPageEventLog::Test() {
    CLogMgr::Log(CLogEvent::SOURCE_APPLICATION, CLogEvent::SEVERITY_INFO,
                 CTextsMgr::Text("EVENT_LOG_TEST_RESUME"), CTextsMgr::Text("EVENT_LOG_TEST_DESCRIPTION"));
}

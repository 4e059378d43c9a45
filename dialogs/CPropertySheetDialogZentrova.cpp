#include "dialogs/CPropertySheetDialogZentrova.h"

#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/MessageBoxes.h"
#include "dialogs/CPropertyPageBase.h"
#include "dialogs/CPropertyPageBattery.h"
#include "dialogs/CPropertyPageCellHistory.h"
#include "dialogs/CPropertyPageConnections.h"
#include "dialogs/CPropertyPageCurrent.h"
#include "dialogs/CPropertyPageEventLog.h"
#include "dialogs/CPropertyPageLocations.h"
#include "dialogs/CPropertyPageOptions1.h"
#include "dialogs/CPropertyPageOptions2.h"
#include "dialogs/CPropertyPageProfiles.h"
#include "dialogs/CPropertyPageUpload.h"
#include "dialogs/CSoftKeyBar.h"
#include "dialogs/DialogStyle.h"
#include "dialogs/Factories.h"

CPropertySheetDialogZentrova::CPropertySheetDialogZentrova(QWidget* owner) : QDialog(owner) {
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setObjectName("OPTIONS");
}

CPropertySheetDialogZentrova::~CPropertySheetDialogZentrova() = default;

CPropertyPageBase* CPropertySheetDialogZentrova::CreatePage(int index) {
    switch (index) {
        case 0:
            return new CPropertyPageConnections();
        case 1:
            return new CPropertyPageOptions1();
        case 2:
            return new CPropertyPageOptions2();
        case 3:
            return new CPropertyPageLocations();
        case 4:
            return new CPropertyPageProfiles();
        case 5:
            return new CPropertyPageEventLog();
        case 6:
            return new CPropertyPageCellHistory();
        case 7:
            return new CPropertyPageBattery();
        case 8:
            return new CPropertyPageCurrent();
        case 9:
            return new CPropertyPageUpload();
        default:
            return nullptr;
    }
}

void CPropertySheetDialogZentrova::Build() {
    if (_built) {
        return;
    }
    _built = true;
    QVBoxLayout* layout = dialog_style::CoverOwner(this);
    _tabs = new QTabWidget(this);
    _tabs->setObjectName("pages");
    _tabs->setUsesScrollButtons(true);
    _tabs->setDocumentMode(true);
    _tabs->tabBar()->setExpanding(false);
    auto* done = new QPushButton(QString::fromStdString(CTextsMgr::Text("DIALOG_SHEET_DONE")), _tabs);
    done->setObjectName("done");
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    _tabs->setCornerWidget(done, Qt::TopRightCorner);
    layout->addWidget(_tabs, 1);
    _keys = new CSoftKeyBar(this);
    layout->addWidget(_keys);
    for (int i = 0; i < kPages; ++i) {
        CPropertyPageBase* page = nullptr;
        try {
            page = CreatePage(i);
        } catch (const std::exception& e) {
            LogFormateado(1, "%s", e.what());
        }
        if (!page) {
            ErrorBox("Error creating page %d", i + 1);
            continue;
        }
        _pages.push_back(page);
        _tabs->addTab(page, QString::fromStdString(CTextsMgr::Text(page->GetTitleKey())));
    }
    connect(_tabs, &QTabWidget::currentChanged, this, [this](int index) { PageChanged(index); });
    PageChanged(_tabs->currentIndex());
}

void CPropertySheetDialogZentrova::PageChanged(int index) {
    if (CPropertyPageBase* page = GetPage(index)) {
        page->Activate(_keys);
    }
}

CPropertyPageBase* CPropertySheetDialogZentrova::GetPage(int index) const {
    return index >= 0 && index < static_cast<int>(_pages.size()) ? _pages[static_cast<size_t>(index)]
                                                                 : nullptr;
}

void CPropertySheetDialogZentrova::SetCurrentPage(int index) {
    Build();
    _tabs->setCurrentIndex(index);
    PageChanged(_tabs->currentIndex());
}

int CPropertySheetDialogZentrova::DoModal() {
    Build();
    SetCurrentPage(_startPage);
    exec();
    return 1;
}

IModalDialog* New_CPropertySheetDialogZentrova(QWidget* owner) {
    try {
        return new CPropertySheetDialogZentrova(owner);
    } catch (const std::exception& e) {
        ReportError(std::string("Error creando property sheet: ") + e.what());
        return nullptr;
    }
}

#include "dialogs/CDialogModalAbout.h"

#include <QEventLoop>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>
#include <atomic>
#include <fstream>
#include <thread>

#include "core/CConfigurationZentrova.h"
#include "core/CTextsMgr.h"
#include "core/DebugTrace.h"
#include "core/MessageBoxes.h"
#include "core/ProgramFolder.h"
#include "core/SafeFormat.h"
#include "dialogs/CDialogModalTextFile.h"
#include "dialogs/CSoftKeyBar.h"
#include "dialogs/DialogStyle.h"
#include "dialogs/Factories.h"
#include "ui/FileChoice.h"
#include "managers/CConnectionsMgr.h"
#include "platform/Services.h"

namespace {

std::string CurrentVersion() {
    std::string version;
    try {
        CConfigurationZentrova::GetInstance()->GetStringParameter("current_version", version);
    } catch (const std::exception& e) {
        LogFormateado(1, "No current version: %s", e.what());
    }
    return version;
}

}  // namespace

CDialogModalAbout::CDialogModalAbout(QWidget* parent, int templateId)
    : CDialogModalBase(parent, templateId, "ABOUT TITLE") {}

void CDialogModalAbout::OnInitDialog() {
    auto label = [this](const std::string& text, const char* name) {
        auto* l = new QLabel(QString::fromStdString(text), this);
        l->setObjectName(name);
        l->setWordWrap(true);
        Content()->addWidget(l);
        return l;
    };
    QLabel* version =
        label(SafeSprintf(CTextsMgr::Text("DIALOG_ABOUT_VERSION"), CurrentVersion()), "version");
    version->setFont(dialog_style::Font(this, true));
    label(SafeSprintf(CTextsMgr::Text("BUILD TIME"), std::string(__DATE__ " " __TIME__)), "build_time");
    label(SafeSprintf(CTextsMgr::Text("DIALOG_ABOUT_TRANSLATOR"), CTextsMgr::GetInstance()->GetTranslator()),
          "translator");
    Content()->addSpacing(6);
    _state = label("", "version_state");
    ShowVersionState();

    _check = new QPushButton(Text("DIALOG_ABOUT_MENU_CHECK"), this);
    _check->setObjectName("check");
    connect(_check, &QPushButton::clicked, this, [this] { CheckVersion(); });
    Content()->addWidget(_check);
    auto* download = new QPushButton(Text("ABOUT DOWNLOAD"), this);
    download->setObjectName("download");
    connect(download, &QPushButton::clicked, this, [this] { Download(); });
    Content()->addWidget(download);
    auto* changes = new QPushButton(Text("DIALOG_CHANGES_TITLE"), this);
    changes->setObjectName("changes");
    connect(changes, &QPushButton::clicked, this, [this] { ShowChanges(); });
    Content()->addWidget(changes);

    // The left key opens the same commands as a menu; the right key closes.
    _menu = new QMenu(this);
    dialog_style::Apply(_menu);
    _menu->addAction(Text("DIALOG_ABOUT_MENU_CHECK"), [this] { CheckVersion(); });
    _menu->addAction(Text("DIALOG_CHANGES_TITLE"), [this] { ShowChanges(); });
    _menu->addAction(Text("ABOUT DOWNLOAD"), [this] { Download(); });
    SoftKeys()->SetLeft("MENU_MENU", [this] {
        QPushButton* key = SoftKeys()->GetLeft();
        _menu->popup(key->mapToGlobal(QPoint(0, -_menu->sizeHint().height())));
    });
    SoftKeys()->SetRight("EXIT", [this] { reject(); });
}

void CDialogModalAbout::ShowVersionState() {
    if (!_state) {
        return;
    }
    CConnectionsMgr* connections = CConnectionsMgr::GetInstance();
    const char* key = "DIALOG_ABOUT_VERSION_NOT_VERIFIED";
    if (connections && connections->GetVersionVerificada()) {
        key = connections->IsLatestVersion() ? "DIALOG_ABOUT_USING_LATEST_VERSION"
                                             : "DIALOG_ABOUT_NOT_USING_LATEST_VERSION";
    }
    _state->setText(Text(key));
}

QString CDialogModalAbout::GetVersionState() const {
    return _state ? _state->text() : QString();
}

CDialogModalAbout::Check CDialogModalAbout::CheckVersion() {
    CConnectionsMgr* connections = CConnectionsMgr::GetInstance();
    Check result = Check::Failed;
    if (connections && !connections->IsCheckingVersion()) {
        if (_check) {
            _check->setEnabled(false);
        }
        // The answer of this check decides, not one received before.
        connections->SetVersionVerificada(false);
        // The request runs on a thread of its own while this dialog keeps painting.
        QEventLoop wait;
        std::thread request([connections, &wait] {
            connections->GetLastVersion();
            QMetaObject::invokeMethod(&wait, "quit", Qt::QueuedConnection);
        });
        wait.exec(QEventLoop::ExcludeUserInputEvents);
        request.join();
        if (_check) {
            _check->setEnabled(true);
        }
        if (connections->GetVersionVerificada()) {
            result = connections->IsLatestVersion() ? Check::Latest : Check::Newer;
        }
    }
    ShowVersionState();
    if (result == Check::Failed) {
        TextBox(CTextsMgr::Text("DIALOG_ABOUT_COULD_NOT_CHECK_LATEST_VERSION"));
    } else {
        TextBox(CTextsMgr::Text("DIALOG_ABOUT_CHECK_LATEST_VERSION_OK") + "\n" +
                CTextsMgr::Text(result == Check::Latest ? "DIALOG_ABOUT_USING_LATEST_VERSION"
                                                        : "DIALOG_ABOUT_NOT_USING_LATEST_VERSION"));
    }
    return result;
}

bool CDialogModalAbout::Download() {
    CConnectionsMgr* connections = CConnectionsMgr::GetInstance();
    const std::string url = connections ? connections->GetLatestUrl() : std::string();
    std::string name = url.substr(url.find_last_of('/') + 1);
    name = name.substr(0, name.find('?'));
    if (name.empty()) {
        name = "Zentrova.cab";
    }
    const std::string target =
        file_choice::Ask(this, true, CTextsMgr::Text("ABOUT DOWNLOAD"), name, "cab File (*.cab);;All (*)");
    if (target.empty()) {
        return false;
    }
    bool saved = false;
    if (!url.empty()) {
        const platform::IHttp::Reply reply = platform::Services::get().http().get(
            url, CConnectionsMgr::kUpdateAgent, kDownloadTimeoutMs, kMaxDownload);
        if (reply.answered && reply.status == 200 && reply.problem.empty()) {
            std::ofstream out(target, std::ios::binary | std::ios::trunc);
            out << reply.body;
            out.close();
            saved = static_cast<bool>(out);
        } else {
            LogFormateado(1, "Download of %s failed: %ld %s", url, reply.status, reply.problem);
        }
    }
    if (!saved) {
        TextBox(CTextsMgr::Text("ERROR_ABOUT_DOWNLOAD_FILE"));
        return false;
    }
    TextBox(SafeSprintf(CTextsMgr::Text("DIALOG_ABOUT_DOWNLOADED"), target));
    return true;
}

void CDialogModalAbout::ShowChanges() {
    CDialogModalTextFile changes(this, 0, CTextsMgr::Text("DIALOG_CHANGES_TITLE"),
                                 GetCurrentDirectory() + "/" + kChangesFile);
    changes.DoModal();
}

IModalDialog* New_CDialogModalAbout(QWidget* parent, int templateId) {
    return new CDialogModalAbout(parent, templateId);
}

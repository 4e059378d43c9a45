#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "core/CConfigurationZentrova.h"
#include "core/CInstaller.h"
#include "core/CTextsMgr.h"
#include "store/CDB.h"
#include "support/OffscreenApp.h"
#include "support/TempHome.h"
#include "ui/CButtonOwnDrawImage.h"
#include "ui/CQtApplication.h"
#include "ui/CSkinMgr.h"

// The dialog library's tests: an installed home on the simulated phone, its settings, texts and
// device database open, the skin of a 240x320 screen read, and an owner window the size of the
// phone's screen that the dialogs cover. Offscreen.
class DialogFixture : public ::testing::Test {
  protected:
    DialogFixture() {
        qt = MakeOffscreenApp();
        CInstaller(home.services().home()).Install();
        config = std::make_unique<CConfigurationZentrova>();
        db = std::make_unique<CDB>();
        db->OpenDB(1);
        CSkinMgr::DestroyInstance();
        CButtonOwnDrawImage::ClearBitmapList();
        Screen(240, 320);
    }
    ~DialogFixture() override {
        owner.reset();
        CButtonOwnDrawImage::ClearBitmapList();
        CButtonOwnDrawImage::ClearCache();
        CSkinMgr::DestroyInstance();
        if (db) {
            db->CloseDB(1);
        }
        db.reset();
        config.reset();
    }

    // A new owner window of the phone's screen size, with the skin of that screen read.
    void Screen(int width, int height) {
        owner.reset();
        CSkinMgr::DestroyInstance();
        CSkinMgr::SetScreenSize(width, height);
        CSkinMgr::GetInstance()->Initialize();
        CSkinMgr::GetInstance()->UnloadXML();
        owner = std::make_unique<QWidget>();
        owner->setGeometry(0, 0, width, height);
        owner->show();
    }

    // Runs `act` on the dialog that is modal once it shows (polling the event loop), so that a test
    // can fill and save or cancel a dialog that DoModal runs.
    static void WhenModal(std::function<void(QDialog*)> act) {
        auto* timer = new QTimer();
        QObject::connect(timer, &QTimer::timeout, [timer, act] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) {
                return;
            }
            timer->stop();
            timer->deleteLater();
            act(dialog);
        });
        timer->start(5);
    }

    // Every visible child of `top` lies inside its width (nothing cut at the right edge).
    static void ExpectFitsWidth(QWidget* top) {
        for (QWidget* child : top->findChildren<QWidget*>()) {
            if (!child->isVisibleTo(top) || child->inherits("QScrollBar")) {
                continue;
            }
            const QRect r(child->mapTo(top, QPoint(0, 0)), child->size());
            EXPECT_LE(r.right(), top->width() - 1 + 1)
                << child->metaObject()->className() << " " << child->objectName().toStdString();
        }
    }

    // Saves a PNG of `widget` as docs/screenshots/<name>.png when ZENTROVA_SHOTS_DIR is set.
    static void Shot(QWidget* widget, const std::string& name) {
        const char* dir = std::getenv("ZENTROVA_SHOTS_DIR");
        if (!dir || !*dir) {
            return;
        }
        widget->grab().save(QString::fromStdString(std::string(dir) + "/" + name + ".png"), "PNG");
    }

    TempHome home{platform::Services::Role::Program};
    std::unique_ptr<CQtApplication> qt;
    std::unique_ptr<CConfigurationZentrova> config;
    std::unique_ptr<CDB> db;
    std::unique_ptr<QWidget> owner;
};

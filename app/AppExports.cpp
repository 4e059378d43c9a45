#include "app/AppExports.h"

#include "app/CApp.h"

void Restart() {
    RequestApplicationRestart();
}

void RequestApplicationRestart() {
    if (CApp* app = CApp::GetInstance()) {
        app->RequestRestart();
    }
}

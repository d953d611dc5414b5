#pragma once

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/ProcessRunner.h"
#include "platform/ScreenInfo.h"
#include "platform/SettingsStore.h"

namespace tsy {

// The platform services a window uses. The program passes QtPlatform();
// tests pass their own answers.
struct Platform {
    Dialogs& dialogs;
    SettingsStore& settings;
    Clock& clock;
    ScreenInfo& screen;
    ProcessRunner& processes;
};

Platform& QtPlatform();

}  // namespace tsy

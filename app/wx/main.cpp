#include "app/StartUp.h"
#include "app/wx/VobrikApp.h"
#include "core/Services.h"
#include "platform/SingleInstance.h"
#include "platform/wx/Application.h"

#include <exception>
#include <string>

namespace vobrik {

namespace {

constexpr const char* StartCaption = "Erreur";
constexpr int StartingCopyWaitMs = 3000;
constexpr const char* LockFailedText = "Impossible d'initialiser l'instance du Mutex";
// Windows-1252 text: 0xE9 is é.
constexpr const char* AlreadyRunningText =
    "Vobrik d\xE9ja en m\xE9moire ou lancement v\xE9rouill\xE9 !";

int ProgramMain(int argc, char* argv[]) {
    // A running copy is brought forward, silently, before any lock is tried.
    if (BringRunningWindowForward("Vobrik"))
        return 0;

    switch (CreateNamedLock("VobrikMutex")) {
    case TLockResult::Created:
        break;
    case TLockResult::Failed:
        MessageBoxEx(LockFailedText, StartCaption, MB_OK);
        return 0;
    case TLockResult::AlreadyExists:
        // A copy that has just taken the lock may not answer lookups yet.
        if (BringRunningWindowForward("Vobrik", StartingCopyWaitMs))
            return 0;
        MessageBoxEx(AlreadyRunningText, StartCaption, MB_OK);
        return 0;
    }

    TVobrikApp app;
    if (IsHideArgument(argc, argv))
        app.HideOnStart = true;
    return app.Run();
}

} // namespace

} // namespace vobrik

int main(int argc, char* argv[]) {
    try {
        return vobrik::ProgramMain(argc, argv);
    } catch (const std::exception& error) {
        vobrik::MessageBoxEx(error.what(), "Vobrik", vobrik::MB_OK);
        return -1;
    }
}

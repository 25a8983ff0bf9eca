#include "app/StartUp.h"
#include "app/wx/VobrikApp.h"
#include "cli/CommandLine.h"
#include "core/Services.h"
#include "platform/CommandSocket.h"
#include "platform/FolderGuard.h"
#include "platform/SingleInstance.h"
#include "platform/Text1252.h"
#include "platform/wx/Application.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <thread>

namespace vobrik {

namespace {

constexpr const char* StartCaption = "Erreur";
constexpr int StartingCopyWaitMs = 3000;
constexpr const char* LockFailedText = "Impossible d'initialiser l'instance du Mutex";
constexpr const char* AlreadyRunningText = "Vobrik déja en mémoire ou lancement vérouillé !";

// The lock, once any copy that holds it has been asked to come forward. A copy
// that has just taken the lock may not answer lookups yet, and a command from
// the terminal holds it only while it works: both are waited for.
TLockResult TakeProgramLock() {
    constexpr int RetryMs = 50;
    for (int waited = 0;; waited += RetryMs) {
        if (BringRunningWindowForward("Vobrik"))
            return TLockResult::AlreadyExists;
        const TLockResult lock = CreateNamedLock("VobrikMutex");
        if (lock != TLockResult::AlreadyExists || waited >= StartingCopyWaitMs) {
            if (lock == TLockResult::AlreadyExists)
                MessageBoxWithoutOwner(Windows1252FromUtf8(AlreadyRunningText).c_str(),
                                       StartCaption, MB_OK);
            return lock;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(RetryMs));
    }
}

// The guard of the folder the program keeps its files in, held for its life
// and naming where it answers, so that every command for this folder, from
// whatever environment, comes through it. Another copy that holds the folder
// (started from another session) is brought forward instead.
bool TakeFolder(TFolderGuard& guard) {
    constexpr int RetryMs = 10;
    for (int waited = 0; waited < 30000; waited += RetryMs) {
        std::string address;
        switch (guard.TryTake(".", address)) {
        case TFolderGuard::TState::Ours: {
            const std::string own = NewPrivateAddress();
            const int listener = ListenAt(own);
            if (listener < 0 || !guard.Announce(own))
                return false;
            ServeAlso(listener);
            return true;
        }
        case TFolderGuard::TState::HeldByCopy:
            // A copy of another session: it comes forward on its own screen,
            // which may not be this one, so the user is told here too.
            if (BringCopyForward(address)) {
                MessageBoxWithoutOwner(Windows1252FromUtf8(AlreadyRunningText).c_str(),
                                       StartCaption, MB_OK);
                return false;
            }
            break;
        case TFolderGuard::TState::Busy: // a command is at work
            break;
        case TFolderGuard::TState::Failed:
            MessageBoxWithoutOwner(LockFailedText, StartCaption, MB_OK);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(RetryMs));
    }
    MessageBoxWithoutOwner(Windows1252FromUtf8(AlreadyRunningText).c_str(), StartCaption, MB_OK);
    return false;
}

int ProgramMain(int argc, char* argv[]) {
    // The commands are the terminal program's (vobrik), which starts this
    // one for everything else: here only HIDE has a meaning.
    const bool hide = IsHideArgument(argc, argv);

    switch (TakeProgramLock()) {
    case TLockResult::Created:
        break;
    case TLockResult::Failed:
        MessageBoxWithoutOwner(LockFailedText, StartCaption, MB_OK);
        return 0;
    case TLockResult::AlreadyExists:
        return 0;
    }
    TFolderGuard folder;
    if (!TakeFolder(folder))
        return 0;

    TVobrikApp app;
    app.HideOnStart = hide;
    return app.Run();
}

} // namespace

} // namespace vobrik

int main(int argc, char* argv[]) {
    try {
        return vobrik::ProgramMain(argc, argv);
    } catch (const std::exception& error) {
        vobrik::MessageBoxWithoutOwner(error.what(), "Vobrik", vobrik::MB_OK);
        return -1;
    }
}

#include "app/StartUp.h"
#include "app/wx/VobrikApp.h"
#include "cli/CommandLine.h"
#include "core/FolderGuard.h"
#include "core/Services.h"
#include "platform/CommandSocket.h"
#include "platform/SearchPath.h"
#include "platform/SingleInstance.h"
#include "platform/Text1252.h"
#include "platform/wx/Application.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <thread>
#include <unistd.h>

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

// Why the program does not start, said on the terminal and, for whoever
// started it from the menu or at log-in, in a box when a display opens.
int CannotStart(const std::string& why) {
    std::fprintf(stderr, "vobrik : %s\n", why.c_str());
    if (StartToolkit())
        MessageBoxWithoutOwner(Windows1252FromUtf8(why).c_str(), StartCaption, MB_OK);
    return 1;
}

// Where this copy answers the commands that meet the folder's guard: the
// address every process works out from the folder, and a fresh private one
// written in the guard file, which no other user can have taken first. One of
// them is enough: nothing can be written on a full disk, and the guard file
// may be removed.
bool Listen(TFolderGuard& guard) {
    const int derived = ListenAt(guard.Address());
    ServeAlso(derived);
    const std::string own = NewPrivateAddress();
    int listener = ListenAt(own);
    if (listener >= 0 && !guard.Announce(own)) {
        ::close(listener);
        listener = -1;
    }
    ServeAlso(listener);
    return derived >= 0 || listener >= 0;
}

enum class TFolderResult { Taken, OtherCopy, Failed };

// The guard of the folder the program keeps its files in, held for its life
// and naming where it answers, so that every command for this folder, from
// whatever environment, comes through it. Another copy that holds the folder
// (started from another session) is brought forward instead.
TFolderResult TakeFolder(TFolderGuard& guard) {
    constexpr int RetryMs = 10;
    for (int waited = 0; waited < 30000; waited += RetryMs) {
        std::vector<std::string> addresses;
        switch (guard.TryTake(".", addresses)) {
        case TFolderGuard::TState::Ours:
            if (Listen(guard))
                return TFolderResult::Taken;
            CannotStart("impossible d'écouter les commandes : " + FrenchError(errno));
            return TFolderResult::Failed;
        case TFolderGuard::TState::Held: // a copy, or a command at work
            // A copy of another session: it comes forward on its own screen,
            // which may not be this one, so the user is told here too.
            for (const std::string& address : addresses)
                if (BringCopyForward(address)) {
                    MessageBoxWithoutOwner(Windows1252FromUtf8(AlreadyRunningText).c_str(),
                                           StartCaption, MB_OK);
                    return TFolderResult::OtherCopy;
                }
            break;
        case TFolderGuard::TState::Failed:
            CannotStart("impossible de prendre le verrou du dossier " + CurrentDirectory() + " : " +
                        FrenchError(errno));
            return TFolderResult::Failed;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(RetryMs));
    }
    CannotStart("le dossier " + CurrentDirectory() + " reste pris par une commande");
    return TFolderResult::Failed;
}

int ProgramMain(int argc, char* argv[]) {
    // The commands are the terminal program's (vobrik), which starts this
    // one for everything else: here only HIDE has a meaning.
    const bool hide = IsHideArgument(argc, argv);

    switch (TakeProgramLock()) {
    case TLockResult::Created:
        break;
    case TLockResult::Failed:
        std::fprintf(stderr, "vobrik : %s (%s)\n", LockFailedText, FrenchError(errno).c_str());
        MessageBoxWithoutOwner(LockFailedText, StartCaption, MB_OK);
        return 1;
    case TLockResult::AlreadyExists:
        return 0;
    }
    TFolderGuard folder;
    switch (TakeFolder(folder)) {
    case TFolderResult::Taken:
        break;
    case TFolderResult::OtherCopy:
        return 0;
    case TFolderResult::Failed:
        return 1;
    }

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

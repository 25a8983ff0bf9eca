#pragma once

// Test doubles for the seams of the reminder logic, and small helpers shared by
// the test suites and the benchmarks.

#include "core/AlarmCheckXfer.h"
#include "core/AlarmTable.h"
#include "core/CheckPass.h"
#include "core/FileOps.h"
#include "core/Services.h"
#include "summary/ResWin.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vobrik::test {

class FakeClock : public IClock {
  public:
    int32_t Time = 0;
    int32_t Now() override { return Time; }
};

class FakeMessages : public IMessages {
  public:
    struct Shown {
        std::string Text;
        std::string Caption;
        unsigned Type;
    };
    std::vector<Shown> Log;
    int MessageBox(const char* text, const char* caption, unsigned type) override {
        Log.push_back({text, caption, type});
        return IDOK;
    }
};

class FakeList : public IAlarmList {
  public:
    std::vector<std::pair<std::string, int32_t>> Lines;
    int Selected = -1;
    std::vector<std::string> Calls; // redraw and invalidate, in order
    void SetRedraw(bool on) override { Calls.push_back(on ? "redraw on" : "redraw off"); }
    void Clear() override {
        Calls.push_back("clear");
        Lines.clear();
        Selected = -1;
    }
    int AddString(const char* text) override {
        Lines.emplace_back(text, 0);
        return static_cast<int>(Lines.size()) - 1;
    }
    void SetItemData(int index, int32_t data) override { Lines.at(index).second = data; }
    int GetSelIndex() override { return Selected; }
    int32_t GetItemData(int index) override {
        if (index < 0 || index >= static_cast<int>(Lines.size()))
            return -1;
        return Lines[index].second;
    }
    void Invalidate() override { Calls.push_back("invalidate"); }
    std::vector<std::string> Texts() const;
};

class FakeTimer : public ITimer {
  public:
    std::vector<std::string> Calls;
    unsigned SetTimer(unsigned id, unsigned ms) override {
        Calls.push_back("set " + std::to_string(id) + " " + std::to_string(ms));
        return id;
    }
    void KillTimer(unsigned id) override { Calls.push_back("kill " + std::to_string(id)); }
};

class FakeSound : public ISound {
  public:
    std::vector<std::string> Played;
    int Beeps = 0;
    bool Playable = true;
    bool PlayFile(const char* path) override {
        Played.emplace_back(path);
        return Playable;
    }
    void Beep() override { ++Beeps; }
    int Rings() const { return static_cast<int>(Played.size()) + Beeps; }
};

// Answers the ring dialog from a script, and remembers what each dialog showed.
class ScriptedRinger : public IRinger {
  public:
    // The units an answer ticks, or-ed; 0 keeps the preset.
    enum : int { Days = 1, Hours = 2, Minutes = 4, NoUnit = 8 };
    struct Answer {
        int Result = RingAcknowledge;
        const char* Delay = nullptr; // up to the field's 4 bytes; null leaves it as preset
        int Unit = 0;
        bool ForAll = false;
        // Types the answer into the dialog's buffer and gives the result.
        int Give(TAlarmCheckXfer& xfer) const;
    };
    std::deque<Answer> Script;
    std::vector<TAlarmCheckXfer> Shown;
    // Runs when a dialog is shown, before it is answered: a test can move the
    // clock as a user who takes time to answer would.
    std::function<void()> OnShow;
    int RingAlarm(TAlarmCheckXfer& xfer) override;
};

class FakeEditor : public IAlarmEditor {
  public:
    std::function<bool(int)> Edit = [](int) { return false; };
    std::vector<int> Slots;
    bool EditAlarm(int slot) override {
        Slots.push_back(slot);
        return Edit(slot);
    }
};

// The system calls, with one chosen call failing.
class FaultyFileOps : public IFileOps {
  public:
    enum TCall { OpenCall, ReadCall, WriteCall, FsyncCall, CloseCall, RenameCall, UnlinkCall };
    // Fails the nth (0-based) call of this kind with this errno; -1 fails none.
    TCall FailCall = OpenCall;
    int FailAt = -1;
    int FailErrno = EIO;
    int Counts[7] = {};
    // Every call made, in order.
    std::vector<TCall> Trace;
    // Each write stores at most this many bytes, as a disk under pressure may;
    // 0 for no limit.
    size_t WriteLimit = 0;

    int Open(const char* path, int flags, mode_t mode) override;
    ssize_t Read(int fd, void* buffer, size_t size) override;
    ssize_t Write(int fd, const void* buffer, size_t size) override;
    int Fsync(int fd) override;
    int Close(int fd) override;
    int Rename(const char* from, const char* to) override;
    int Unlink(const char* path) override;

  private:
    bool Fails(TCall call);
};

// The main dialog's side of the day summary.
class FakeSummaryOwner : public IResWinOwner {
  public:
    TResWin* ResWin = nullptr;
    int Clears = 0;
    std::function<void()> OnClear; // runs before ResWin is cleared
    void ClearResWin() override {
        if (OnClear)
            OnClear();
        ResWin = nullptr;
        ++Clears;
    }
};

// The summary's screen window: an outer size, of which a frame of the given
// thickness is not client area, and a log of what was asked of it.
class FakeResWinShell : public IResWinShell {
  public:
    int32_t OuterWidth = 400;
    int32_t OuterHeight = 200;
    int32_t FrameWidth = 2;  // left and right together
    int32_t FrameHeight = 2; // top and bottom together
    std::vector<std::string> Calls;
    TRect GetClientRect() override {
        return {0, 0, OuterWidth - FrameWidth, OuterHeight - FrameHeight};
    }
    void SetWindowPos(int32_t x, int32_t y, int32_t width, int32_t height) override {
        Calls.push_back("SetWindowPos " + std::to_string(x) + " " + std::to_string(y) + " " +
                        std::to_string(width) + " " + std::to_string(height));
        OuterWidth = width;
        OuterHeight = height;
    }
    void Invalidate() override { Calls.push_back("Invalidate"); }
    void DestroyWindow() override { Calls.push_back("DestroyWindow"); }
    int MessageBox(const char* text, const char* caption, unsigned type) override {
        Calls.push_back(std::string("MessageBox ") + text + " / " + caption + " / " +
                        std::to_string(type));
        return IDOK;
    }
};

// Sets an environment variable for the life of the object and restores the
// old value. The runtime rereads TZ, which may be the one changed.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    std::string Name;
    std::string Old;
    bool HadOld;
};

class ScopedTz : public ScopedEnv {
  public:
    explicit ScopedTz(const char* zone) : ScopedEnv("TZ", zone) {}
};

// A fresh directory under the system's temporary directory, removed with its
// contents at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Path(const std::string& name) const { return Dir + "/" + name; }
    const std::string& Root() const { return Dir; }

  private:
    std::string Dir;
};

const char* CallName(FaultyFileOps::TCall call);

// A mount made for one test and undone at its end. Where it can, the first one
// moves the test process into a mount namespace of its own, so that nothing is
// left mounted even if the process dies. Mounted() is false, and Failure()
// says why, where mounting is not permitted.
class ScopedMount {
  public:
    // A tmpfs with these options (size=..., nr_inodes=...) on an existing directory.
    static ScopedMount Tmpfs(const std::string& dir, const std::string& options);
    // The directory bound onto itself, read-only.
    static ScopedMount ReadOnlyBind(const std::string& dir);
    ScopedMount(ScopedMount&& other) noexcept;
    ScopedMount& operator=(ScopedMount&&) = delete;
    ~ScopedMount();
    bool Mounted() const { return !Dir.empty(); }
    const std::string& Failure() const { return Why; }
    // Unmounts now; false when the system refused.
    bool Unmount();

  private:
    ScopedMount() = default;
    std::string Dir;
    std::string Why;
};

// Drops root's right to ignore file permissions for the life of the object, so
// that a test running as root meets a read-only directory as any user would.
// Does nothing for an ordinary user, who never had that right.
class ScopedFilePermissions {
  public:
    ScopedFilePermissions();
    ~ScopedFilePermissions();
    ScopedFilePermissions(const ScopedFilePermissions&) = delete;
    ScopedFilePermissions& operator=(const ScopedFilePermissions&) = delete;
    // False when the right could not be dropped: the test cannot be real.
    bool Enforced() const { return Ok; }

  private:
    bool Dropped = false;
    bool Ok = true;
};

// A local time as seconds, with the offset that applies then.
int32_t Local(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
// "YYYY-MM-DD HH:MM:SS" in local time.
std::string ShowLocal(int32_t when);

std::vector<unsigned char> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);

// A reminder table and its check pass on fakes, with the file in a temporary
// directory and the clock read in Paris time.
struct TCoreRig {
    ScopedTz Zone{"Europe/Paris"};
    TempDir Dir;
    FakeList List;
    FakeMessages Messages;
    FakeClock Clock;
    FakeTimer Timer;
    FakeSound Sound;
    ScriptedRinger Ringer;
    FaultyFileOps Files; // fails nothing unless told
    TAlarmTable Table{List, Messages, Clock, Files, Dir.Path("ALARMS.VBK")};
    TAlarmChecker Checker{Table, Timer, Sound, Ringer};

    TAlarm& Add(int32_t when, const char* message = "", uint8_t type = atOnce, int32_t every = 0);
};

} // namespace vobrik::test

#pragma once

// Fakes for the seams of the reminder logic and small helpers, shared by the
// tests, the fuzz harnesses and the benchmarks.

#include "core/AlarmCheckXfer.h"
#include "core/AlarmTable.h"
#include "core/CheckPass.h"
#include "core/FileOps.h"
#include "core/Services.h"
#include "summary/ResWin.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vobrik::test {

struct FakeClock : IClock {
    int32_t Time = 0;
    int32_t Now() override { return Time; }
};

struct FakeMessages : IMessages {
    std::vector<std::string> Log; // the texts shown, in order
    int MessageBox(const char* text, const char*, unsigned) override {
        Log.emplace_back(text);
        return IDOK;
    }
};

struct FakeList : IAlarmList {
    std::vector<std::pair<std::string, int32_t>> Lines; // text and item data
    int Selected = -1;
    void SetRedraw(bool) override {}
    void Clear() override { Lines.clear(), Selected = -1; }
    int AddString(const char* text) override {
        Lines.emplace_back(text, 0);
        return static_cast<int>(Lines.size()) - 1;
    }
    void SetItemData(int index, int32_t data) override { Lines.at(index).second = data; }
    int GetSelIndex() override { return Selected; }
    int32_t GetItemData(int index) override {
        return index >= 0 && index < static_cast<int>(Lines.size()) ? Lines[index].second : -1;
    }
    void Invalidate() override {}
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& line : Lines)
            texts.push_back(line.first);
        return texts;
    }
};

struct FakeTimer : ITimer {
    std::vector<std::string> Calls; // "set 1 30000", "kill 1"
    unsigned SetTimer(unsigned id, unsigned ms) override {
        Calls.push_back("set " + std::to_string(id) + " " + std::to_string(ms));
        return id;
    }
    void KillTimer(unsigned id) override { Calls.push_back("kill " + std::to_string(id)); }
};

struct FakeSound : ISound {
    std::vector<std::string> Played;
    int Beeps = 0;
    bool Playable = true;
    bool PlayFile(const char* path) override { return Played.emplace_back(path), Playable; }
    void Beep() override { ++Beeps; }
    int Rings() const { return static_cast<int>(Played.size()) + Beeps; }
};

// Answers the ring dialog from a script, and remembers what each dialog showed.
struct ScriptedRinger : IRinger {
    enum : int { Days = 1, Hours = 2, Minutes = 4 }; // or-ed; 0 keeps the preset
    struct Answer {
        int Result = RingAcknowledge;
        const char* Delay = nullptr; // null leaves the preset
        int Unit = 0;
        bool ForAll = false;
        int Give(TAlarmCheckXfer& xfer) const {
            if (Delay != nullptr) {
                std::memset(xfer.Delay, 0, sizeof xfer.Delay);
                std::memcpy(xfer.Delay, Delay, strnlen(Delay, sizeof xfer.Delay));
            }
            if (Unit != 0) {
                xfer.DelayDays = (Unit & Days) != 0;
                xfer.DelayHours = (Unit & Hours) != 0;
                xfer.DelayMinutes = (Unit & Minutes) != 0;
            }
            xfer.ForAll = ForAll;
            return Result;
        }
    };
    std::deque<Answer> Script;
    std::vector<TAlarmCheckXfer> Shown;
    std::function<void()> OnShow; // runs before the answer, e.g. to move the clock
    int RingAlarm(TAlarmCheckXfer& xfer, int32_t) override {
        Shown.push_back(xfer);
        if (OnShow)
            OnShow();
        if (Script.empty())
            throw std::logic_error("the ring dialog was shown more often than scripted");
        const Answer answer = Script.front();
        Script.pop_front();
        return answer.Give(xfer);
    }
};

struct FakeEditor : IAlarmEditor {
    std::function<bool(int)> Edit = [](int) { return false; };
    std::vector<int> Slots;
    bool EditAlarm(int slot) override { return Slots.push_back(slot), Edit(slot); }
};

// The system calls, with one chosen call failing.
struct FaultyFileOps : IFileOps {
    enum TCall { OpenCall, ReadCall, WriteCall, FsyncCall, CloseCall, RenameCall, UnlinkCall };
    TCall FailCall = OpenCall;
    int FailAt = -1; // the nth (0-based) call of FailCall fails; -1: none
    int FailErrno = EIO;
    int Counts[7] = {};
    std::vector<TCall> Trace; // every call, in order
    size_t WriteLimit = 0;    // bytes a write stores at most, as a disk under pressure may; 0: all
    bool Sync = true;         // false skips the syncs, which only slow a fuzzer
    std::function<void()> OnFsync; // runs once, as another program would then

    void FailNext(TCall call, int error = EIO) {
        FailCall = call, FailAt = Counts[call], FailErrno = error;
    }
    int Open(const char* path, int flags, mode_t mode) override {
        return Fails(OpenCall) ? -1 : SystemFileOps().Open(path, flags, mode);
    }
    ssize_t Read(int fd, void* buffer, size_t size) override {
        return Fails(ReadCall) ? -1 : SystemFileOps().Read(fd, buffer, size);
    }
    ssize_t Write(int fd, const void* buffer, size_t size) override {
        size = WriteLimit != 0 && size > WriteLimit ? WriteLimit : size;
        return Fails(WriteCall) ? -1 : SystemFileOps().Write(fd, buffer, size);
    }
    int Fsync(int fd) override {
        if (OnFsync)
            std::exchange(OnFsync, nullptr)();
        return Fails(FsyncCall) ? -1 : Sync ? SystemFileOps().Fsync(fd) : 0;
    }
    int Close(int fd) override {
        const bool fail = Fails(CloseCall); // the descriptor is released all the same, as on Linux
        const int saved = errno, rc = SystemFileOps().Close(fd);
        errno = saved;
        return fail ? -1 : rc;
    }
    int Rename(const char* from, const char* to) override {
        return Fails(RenameCall) ? -1 : SystemFileOps().Rename(from, to);
    }
    int Unlink(const char* path) override {
        return Fails(UnlinkCall) ? -1 : SystemFileOps().Unlink(path);
    }

  private:
    bool Fails(TCall call) {
        const bool fail = call == FailCall && Counts[call] == FailAt;
        ++Counts[call];
        Trace.push_back(call);
        if (fail)
            errno = FailErrno;
        return fail;
    }
};

struct FakeSummaryOwner : IResWinOwner {
    void ClearResWin() override {}
};

// The summary's screen window, with a frame of 2 pixels each way around the
// client; Calls counts its moves and messages.
struct FakeResWinShell : IResWinShell {
    int32_t OuterWidth = 400, OuterHeight = 200, FrameWidth = 2, FrameHeight = 2;
    int Calls = 0;
    TRect GetClientRect() override {
        return {0, 0, OuterWidth - FrameWidth, OuterHeight - FrameHeight};
    }
    void SetWindowPos(int32_t, int32_t, int32_t width, int32_t height) override {
        OuterWidth = width, OuterHeight = height, ++Calls;
    }
    void Invalidate() override {}
    void DestroyWindow() override {}
    int MessageBox(const char*, const char*, unsigned) override { return ++Calls, IDOK; }
};

// Sets TZ (or another variable) for the life of the object.
struct ScopedEnv {
    ScopedEnv(const char* name, const char* value) : Name(name) {
        if (const char* old = std::getenv(name))
            Old = old;
        setenv(name, value, 1), tzset();
    }
    ~ScopedEnv() { Old ? setenv(Name.c_str(), Old->c_str(), 1) : unsetenv(Name.c_str()), tzset(); }
    ScopedEnv(const ScopedEnv&) = delete;
    std::string Name;
    std::optional<std::string> Old;
};

struct ScopedTz : ScopedEnv {
    explicit ScopedTz(const char* zone) : ScopedEnv("TZ", zone) {}
};

// A fresh temporary directory, removed with its contents at the end.
class TempDir {
  public:
    TempDir() : Dir((std::filesystem::temp_directory_path() / "vobrik-test-XXXXXX").string()) {
        if (mkdtemp(Dir.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(Dir, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Path(const std::string& name) const { return Dir + "/" + name; }
    const std::string& Root() const { return Dir; }

  private:
    std::string Dir;
};

inline int32_t Local(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    std::tm local{};
    local.tm_year = year - 1900, local.tm_mon = month - 1, local.tm_mday = day;
    local.tm_hour = hour, local.tm_min = minute, local.tm_sec = second, local.tm_isdst = -1;
    return static_cast<int32_t>(mktime(&local));
}

inline std::string ShowLocal(int32_t when) { // "YYYY-MM-DD HH:MM:SS"
    const time_t t = when;
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

inline std::vector<unsigned char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The file image of these records, one after another.
inline std::vector<unsigned char> FileImage(const std::vector<TAlarm>& alarms) {
    std::vector<unsigned char> bytes(alarms.size() * AlarmRecordSize);
    for (size_t i = 0; i < alarms.size(); ++i)
        EncodeAlarm(alarms[i], *reinterpret_cast<unsigned char(*)[AlarmRecordSize]>(
                                   &bytes[i * AlarmRecordSize]));
    return bytes;
}

inline void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// A reminder table and its check pass on fakes, the file in a temporary
// directory, the clock read in Paris.
struct TCoreRig {
    ScopedTz Zone{"Europe/Paris"};
    TempDir Dir;
    FakeList List;
    FakeMessages Messages;
    FakeClock Clock;
    FakeTimer Timer;
    FakeSound Sound;
    ScriptedRinger Ringer;
    FaultyFileOps Files;
    TAlarmTable Table{List, Messages, Clock, Files, Dir.Path("ALARMS.VBK")};
    TAlarmChecker Checker{Table, Timer, Sound, Ringer};

    TAlarm& Add(int32_t when, const char* message = "", uint8_t type = atOnce, int32_t every = 0) {
        TAlarm alarm;
        alarm.When = when, alarm.Type = type, alarm.EveryDays = every;
        SetAlarmMessage(alarm, message);
        return *Table.Append(alarm);
    }
    // "YYYY-MM-DD HH:MM:SS message" of each record, in table order.
    std::vector<std::string> Schedule() const {
        std::vector<std::string> lines;
        for (int i = 0; i < Table.AlarmCount; ++i)
            lines.push_back(ShowLocal(Table.Alarms[i]->When) + " " + Table.Alarms[i]->Message);
        return lines;
    }
};

} // namespace vobrik::test

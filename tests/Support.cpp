#include "Support.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vobrik::test {

int FakeList::AddString(const char* text) {
    Lines.emplace_back(text, 0);
    return static_cast<int>(Lines.size()) - 1;
}

int32_t FakeList::GetItemData(int index) {
    return index >= 0 && index < static_cast<int>(Lines.size()) ? Lines[index].second : -1;
}

std::vector<std::string> FakeList::Texts() const {
    std::vector<std::string> texts;
    for (const auto& line : Lines)
        texts.push_back(line.first);
    return texts;
}

unsigned FakeTimer::SetTimer(unsigned id, unsigned ms) {
    Calls.push_back("set " + std::to_string(id) + " " + std::to_string(ms));
    return id;
}

int ScriptedRinger::Answer::Give(TAlarmCheckXfer& xfer) const {
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

int ScriptedRinger::RingAlarm(TAlarmCheckXfer& xfer) {
    Shown.push_back(xfer);
    if (OnShow)
        OnShow();
    if (Script.empty())
        throw std::logic_error("the ring dialog was shown more often than scripted");
    const Answer answer = Script.front();
    Script.pop_front();
    return answer.Give(xfer);
}

bool FaultyFileOps::Fails(TCall call) {
    const bool fail = call == FailCall && Counts[call] == FailAt;
    ++Counts[call];
    Trace.push_back(call);
    if (fail)
        errno = FailErrno;
    return fail;
}

int FaultyFileOps::Open(const char* path, int flags, mode_t mode) {
    return Fails(OpenCall) ? -1 : SystemFileOps().Open(path, flags, mode);
}
ssize_t FaultyFileOps::Read(int fd, void* buffer, size_t size) {
    return Fails(ReadCall) ? -1 : SystemFileOps().Read(fd, buffer, size);
}
ssize_t FaultyFileOps::Write(int fd, const void* buffer, size_t size) {
    if (WriteLimit != 0 && size > WriteLimit)
        size = WriteLimit;
    return Fails(WriteCall) ? -1 : SystemFileOps().Write(fd, buffer, size);
}
int FaultyFileOps::Fsync(int fd) {
    return Fails(FsyncCall) ? -1 : Sync ? SystemFileOps().Fsync(fd) : 0;
}
int FaultyFileOps::Close(int fd) {
    // A failed close still releases the descriptor, as close(2) does on Linux.
    const bool fail = Fails(CloseCall);
    const int saved = errno;
    const int rc = SystemFileOps().Close(fd);
    errno = saved;
    return fail ? -1 : rc;
}
int FaultyFileOps::Rename(const char* from, const char* to) {
    return Fails(RenameCall) ? -1 : SystemFileOps().Rename(from, to);
}
int FaultyFileOps::Unlink(const char* path) {
    return Fails(UnlinkCall) ? -1 : SystemFileOps().Unlink(path);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : Name(name) {
    const char* old = std::getenv(name);
    HadOld = old != nullptr;
    if (HadOld)
        Old = old;
    setenv(name, value, 1);
    tzset();
}

ScopedEnv::~ScopedEnv() {
    if (HadOld)
        setenv(Name.c_str(), Old.c_str(), 1);
    else
        unsetenv(Name.c_str());
    tzset();
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vobrik-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    Dir = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(Dir, ignored);
}

int32_t Local(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return static_cast<int32_t>(mktime(&local));
}

std::string ShowLocal(int32_t when) {
    const time_t t = when;
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TAlarm& TCoreRig::Add(int32_t when, const char* message, uint8_t type, int32_t every) {
    TAlarm alarm;
    alarm.When = when;
    SetAlarmMessage(alarm, message);
    alarm.Type = type;
    alarm.EveryDays = every;
    return *Table.Append(alarm);
}

std::vector<std::string> TCoreRig::Schedule() const {
    std::vector<std::string> lines;
    for (int i = 0; i < Table.AlarmCount; ++i)
        lines.push_back(ShowLocal(Table.Alarms[i]->When) + " " + Table.Alarms[i]->Message);
    return lines;
}

} // namespace vobrik::test

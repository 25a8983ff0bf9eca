#include "Fakes.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace vobrik::test {

std::vector<std::string> FakeList::Texts() const {
    std::vector<std::string> texts;
    for (const auto& line : Lines)
        texts.push_back(line.first);
    return texts;
}

int ScriptedRinger::RingAlarm(TAlarmCheckXfer& xfer) {
    Shown.push_back(xfer);
    if (OnShow)
        OnShow();
    if (Script.empty())
        throw std::logic_error("the ring dialog was shown more often than scripted");
    const Answer answer = Script.front();
    Script.pop_front();
    if (answer.Delay != nullptr) {
        std::memset(xfer.Delay, 0, sizeof xfer.Delay);
        std::memcpy(xfer.Delay, answer.Delay, strnlen(answer.Delay, sizeof xfer.Delay - 1));
    }
    if (answer.Unit != 0) {
        xfer.DelayDays = answer.Unit == 1;
        xfer.DelayHours = answer.Unit == 2;
        xfer.DelayMinutes = answer.Unit == 3;
    }
    xfer.ForAll = answer.ForAll;
    return answer.Result;
}

bool FaultyFileOps::Fails(TCall call) {
    const bool fail = call == FailCall && Counts[call] == FailAt;
    ++Counts[call];
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
    return Fails(WriteCall) ? -1 : SystemFileOps().Write(fd, buffer, size);
}
int FaultyFileOps::Fsync(int fd) {
    return Fails(FsyncCall) ? -1 : SystemFileOps().Fsync(fd);
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

ScopedTz::ScopedTz(const char* zone) {
    const char* old = std::getenv("TZ");
    HadOld = old != nullptr;
    if (HadOld)
        Old = old;
    setenv("TZ", zone, 1);
    tzset();
}

ScopedTz::~ScopedTz() {
    if (HadOld)
        setenv("TZ", Old.c_str(), 1);
    else
        unsetenv("TZ");
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
    std::filesystem::permissions(Dir, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
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
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

} // namespace vobrik::test

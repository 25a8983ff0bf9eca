#include "Fakes.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <linux/capability.h>
#include <sched.h>
#include <stdexcept>
#include <sys/mount.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vobrik::test {

std::vector<std::string> FakeList::Texts() const {
    std::vector<std::string> texts;
    for (const auto& line : Lines)
        texts.push_back(line.first);
    return texts;
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

const char* CallName(FaultyFileOps::TCall call) {
    static const char* const names[] = {"open",  "read",   "write", "fsync",
                                        "close", "rename", "unlink"};
    return names[call];
}

namespace {

// Once per process: a mount namespace of the test's own, whose mounts vanish
// with the process, and with no propagation back to the system's.
void EnterOwnMountNamespace() {
    static const bool entered = [] {
        if (::unshare(CLONE_NEWNS) != 0)
            return false;
        return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    }();
    (void)entered;
}

std::string MountFailure(const char* what) {
    return std::string(what) + " is not permitted here (" + std::strerror(errno) +
           "); it needs root or CAP_SYS_ADMIN";
}

} // namespace

ScopedMount ScopedMount::Tmpfs(const std::string& dir, const std::string& options) {
    EnterOwnMountNamespace();
    ScopedMount mount;
    if (::mount("tmpfs", dir.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0)
        mount.Dir = dir;
    else
        mount.Why = MountFailure("mounting a tmpfs");
    return mount;
}

ScopedMount ScopedMount::ReadOnlyBind(const std::string& dir) {
    EnterOwnMountNamespace();
    ScopedMount mount;
    if (::mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        mount.Why = MountFailure("a bind mount");
        return mount;
    }
    mount.Dir = dir;
    if (::mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        mount.Why = MountFailure("remounting read-only");
        mount.Unmount();
    }
    return mount;
}

ScopedMount::ScopedMount(ScopedMount&& other) noexcept
    : Dir(std::move(other.Dir)), Why(std::move(other.Why)) {
    other.Dir.clear();
}

ScopedMount::~ScopedMount() {
    Unmount();
}

bool ScopedMount::Unmount() {
    if (Dir.empty())
        return true;
    if (::umount2(Dir.c_str(), MNT_DETACH) != 0)
        return false;
    Dir.clear();
    return true;
}

namespace {

constexpr unsigned PermissionOverrides[] = {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER};

bool SetPermissionOverrides(bool on) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    for (unsigned cap : PermissionOverrides) {
        if (on)
            data[cap / 32].effective |= 1u << (cap % 32);
        else
            data[cap / 32].effective &= ~(1u << (cap % 32));
    }
    return ::syscall(SYS_capset, &header, data) == 0;
}

} // namespace

ScopedFilePermissions::ScopedFilePermissions() {
    if (::geteuid() != 0)
        return;
    Ok = Dropped = SetPermissionOverrides(false);
}

ScopedFilePermissions::~ScopedFilePermissions() {
    if (Dropped)
        SetPermissionOverrides(true);
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

TAlarm& TCoreRig::Add(int32_t when, const char* message, uint8_t type, int32_t every) {
    TAlarm alarm;
    alarm.When = when;
    SetAlarmMessage(alarm, message);
    alarm.Type = type;
    alarm.EveryDays = every;
    return *Table.Append(alarm);
}

} // namespace vobrik::test

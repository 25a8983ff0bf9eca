#include "platform/SearchPath.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace vobrik {

std::string CurrentDirectory() {
    char* cwd = ::getcwd(nullptr, 0);
    const std::string path = cwd != nullptr ? cwd : "";
    std::free(cwd);
    return path;
}

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// True when found; false to go on with the next directory. A path that does
// not fit is treated as absent here too, like a file that is not there.
bool TryDirectory(const std::string& dir, const char* name, char* buffer, size_t size) {
    if (dir.empty())
        return false;
    const std::string full = dir == "/" ? "/" + std::string(name) : dir + "/" + name;
    if (!IsRegularFile(full) || full.size() + 1 > size)
        return false;
    std::memcpy(buffer, full.c_str(), full.size() + 1);
    return true;
}

} // namespace

std::string ProgramDirectory() {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return {};
    self[n] = '\0';
    char* slash = std::strrchr(self, '/');
    if (slash == nullptr)
        return {};
    *slash = '\0';
    return self;
}

std::string AbsoluteVariable(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && value[0] == '/' ? value : "";
}

std::string HomeDirectory() {
    std::string home = AbsoluteVariable("HOME");
    if (home.empty()) {
        const passwd* account = ::getpwuid(::geteuid());
        home = account != nullptr && account->pw_dir != nullptr ? account->pw_dir : "";
    }
    return home;
}

std::string InstalledDataDirectory(const std::string& programDirectory) {
    if (programDirectory.empty())
        return {};
    // Relative to the program, so that an installation works under any
    // prefix: <prefix>/bin, or <prefix>/libexec/vobrik for the programs it
    // starts.
    for (const std::string inner : {"/bin", "/libexec/vobrik"}) {
        const size_t size = programDirectory.size();
        if (size >= inner.size() &&
            programDirectory.compare(size - inner.size(), inner.size(), inner) == 0)
            return programDirectory.substr(0, size - inner.size()) + "/share/vobrik";
    }
    return programDirectory + "/../share/vobrik";
}

bool SearchPath(const char* name, char* buffer, size_t size) {
    if (size > 0)
        buffer[0] = '\0';
    if (name == nullptr || *name == '\0' || size == 0)
        return false;

    const std::string program = ProgramDirectory();
    if (TryDirectory(program, name, buffer, size) ||
        TryDirectory(InstalledDataDirectory(program), name, buffer, size) ||
        TryDirectory(CurrentDirectory(), name, buffer, size))
        return true;

    const char* path = std::getenv("PATH");
    if (path == nullptr)
        return false;
    const std::string dirs = path;
    size_t start = 0;
    for (;;) {
        const size_t colon = dirs.find(':', start);
        const std::string dir = dirs.substr(start, colon - start);
        if (TryDirectory(dir.empty() ? CurrentDirectory() : dir, name, buffer, size))
            return true;
        if (colon == std::string::npos)
            return false;
        start = colon + 1;
    }
}

} // namespace vobrik

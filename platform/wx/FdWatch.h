#pragma once

#include <functional>
#include <memory>
#include <string>

namespace vobrik {

// Calls `ready` from the program's message loop, modal loops included, each
// time the descriptor can be read (or written). Stops when destroyed; it may
// be destroyed from its own call.
class TFdWatch {
  public:
    TFdWatch(int fd, bool forWriting, std::function<void()> ready);
    ~TFdWatch();
    TFdWatch(const TFdWatch&) = delete;
    TFdWatch& operator=(const TFdWatch&) = delete;

    struct TShared;

  private:
    TShared* Shared;
};

} // namespace vobrik

namespace vobrik {

// Calls `changed` from the message loop when a file of that name in the
// folder is written, replaced, created or removed by anyone (inotify).
class TFileWatch {
  public:
    TFileWatch(const char* folder, std::string name, std::function<void()> changed);
    ~TFileWatch();
    TFileWatch(const TFileWatch&) = delete;
    TFileWatch& operator=(const TFileWatch&) = delete;

  private:
    void Read();

    int Fd = -1;
    std::string Name;
    std::function<void()> Changed;
    std::unique_ptr<TFdWatch> Watch;
};

} // namespace vobrik

#pragma once

#include <cstdint>

namespace vobrik {

// Keeps keys and clicks made as a reminder falls due from answering the ring
// dialog. From its start, every key or mouse-button event aimed at the program
// is discarded until at least MinimumMs have passed and QuietMs have passed
// with no new input; from then on the guard stays open. It only reads the
// times it is given (milliseconds on a monotonic clock), so the caller never
// sleeps: it keeps drawing and asks again when OpensAt says.
class TInputGuard {
  public:
    static constexpr int64_t MinimumMs = 1000;
    static constexpr int64_t QuietMs = 500;

    explicit TInputGuard(int64_t startedAt) : StartedAt(startedAt) {}

    // A key or mouse-button event arrives at now. True when it must be
    // discarded; a discarded event starts the quiet interval again.
    bool Discard(int64_t now);

    // True once the guard is open.
    bool Check(int64_t now);

    bool IsOpen() const { return Open; }

    // When the guard opens if no more input comes.
    int64_t OpensAt() const;

  private:
    int64_t StartedAt;
    int64_t LastInput = 0;
    bool HadInput = false;
    bool Open = false;
};

} // namespace vobrik
